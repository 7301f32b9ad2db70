#include "client/schema_map.h"

#include "client/ascii_fold.h"
#include "directory/client.h"

#include <span>
#include <unordered_map>

namespace era {

namespace {

// The attributes: LDAP name, directory name, syntax. Names that eDirectory exports unchanged
// (creatorsName and the other operational attributes) appear with the same name on both sides.
// creatorsName and modifiersName are strings: the directory hands them back in comma-typed form,
// which is why readers convert them before they use them as names.
constexpr TSchemaAttribute Attributes[] = {
    {"aliasedObjectName", "Aliased Object Name", SynDistName},
    {"objectClass", "Object Class", SynClassName},
    {"ACL", "ACL", SynObjectACL},
    {"inheritedACL", "Inherited ACL", SynObjectACL},
    {"cn", "CN", SynCiString},
    {"ou", "OU", SynCiString},
    {"o", "O", SynCiString},
    {"c", "C", SynPrString},
    {"l", "L", SynCiString},
    {"st", "S", SynCiString},
    {"street", "SA", SynCiString},
    {"dc", "DC", SynCiString},
    {"uid", "uniqueID", SynCiString},
    {"sn", "Surname", SynCiString},
    {"givenName", "Given Name", SynCiString},
    {"initials", "Initials", SynCiString},
    {"generationQualifier", "Generational Qualifier", SynCiString},
    {"fullName", "Full Name", SynCiString},
    {"title", "Title", SynCiString},
    {"description", "Description", SynCiString},
    {"mail", "Internet EMail Address", SynCiString},
    {"emailAddress", "EMail Address", SynEMailAddress},
    {"telephoneNumber", "Telephone Number", SynTelNumber},
    {"facsimileTelephoneNumber", "Facsimile Telephone Number", SynFaxNumber},
    {"mobile", "mobile", SynTelNumber},
    {"pager", "pager", SynTelNumber},
    {"homePhone", "homePhone", SynTelNumber},
    {"postalAddress", "Postal Address", SynPoAddress},
    {"homePostalAddress", "homePostalAddress", SynPoAddress},
    {"postalCode", "Postal Code", SynCiString},
    {"postOfficeBox", "Postal Office Box", SynCiString},
    {"physicalDeliveryOfficeName", "Physical Delivery Office Name", SynCiString},
    {"employeeNumber", "workforceID", SynCiString},
    {"departmentNumber", "departmentNumber", SynCiString},
    {"employeeType", "employeeType", SynCiString},
    {"manager", "manager", SynDistName},
    {"secretary", "secretary", SynDistName},
    {"roomNumber", "roomNumber", SynCiString},
    {"preferredLanguage", "preferredLanguage", SynCiString},
    {"language", "Language", SynCiList},
    {"seeAlso", "See Also", SynDistName},
    {"owner", "Owner", SynDistName},
    {"member", "Member", SynDistName},
    {"uniqueMember", "Member", SynDistName},
    {"groupMembership", "Group Membership", SynDistName},
    {"securityEquals", "Security Equals", SynDistName},
    {"equivalentToMe", "Equivalent To Me", SynDistName},
    {"securityFlags", "Security Flags", SynInteger},
    {"roleOccupant", "Role Occupant", SynDistName},
    {"higherPrivileges", "Higher Privileges", SynDistName},
    {"profile", "Profile", SynDistName},
    {"profileMembership", "Profile Membership", SynDistName},
    {"operator", "Operator", SynDistName},
    {"resource", "Resource", SynDistName},
    {"messageServer", "Message Server", SynDistName},
    {"mailboxLocation", "Mailbox Location", SynDistName},
    {"mailboxID", "Mailbox ID", SynCeString},
    {"defaultQueue", "Default Queue", SynDistName},
    {"hostServer", "Host Server", SynDistName},
    {"hostResourceName", "Host Resource Name", SynCiString},
    {"hostDevice", "Host Device", SynDistName},
    {"networkAddress", "Network Address", SynNetAddress},
    {"networkAddressRestriction", "Network Address Restriction", SynNetAddress},
    {"loginIntruderAddress", "Login Intruder Address", SynNetAddress},
    {"ndsHomeDirectory", "Home Directory", SynPath},
    {"path", "Path", SynPath},
    {"loginScript", "Login Script", SynStream},
    {"printJobConfiguration", "Print Job Configuration", SynStream},
    {"loginDisabled", "Login Disabled", SynBoolean},
    {"loginExpirationTime", "Login Expiration Time", SynTime},
    {"loginTime", "Login Time", SynTime},
    {"lastLoginTime", "Last Login Time", SynTime},
    {"loginGraceLimit", "Login Grace Limit", SynInteger},
    {"loginGraceRemaining", "Login Grace Remaining", SynCounter},
    {"loginIntruderAttempts", "Login Intruder Attempts", SynCounter},
    {"loginIntruderLimit", "Login Intruder Limit", SynInteger},
    {"loginIntruderResetTime", "Login Intruder Reset Time", SynTime},
    {"loginMaximumSimultaneous", "Login Maximum Simultaneous", SynInteger},
    {"loginAllowedTimeMap", "Login Allowed Time Map", SynOctetString},
    {"lockedByIntruder", "Locked By Intruder", SynBoolean},
    {"detectIntruder", "Detect Intruder", SynBoolean},
    {"lockoutAfterDetection", "Lockout After Detection", SynBoolean},
    {"intruderAttemptResetInterval", "Intruder Attempt Reset Interval", SynInterval},
    {"intruderLockoutResetInterval", "Intruder Lockout Reset Interval", SynInterval},
    {"passwordRequired", "Password Required", SynBoolean},
    {"passwordAllowChange", "Password Allow Change", SynBoolean},
    {"passwordUniqueRequired", "Password Unique Required", SynBoolean},
    {"passwordMinimumLength", "Password Minimum Length", SynInteger},
    {"passwordExpirationTime", "Password Expiration Time", SynTime},
    {"passwordExpirationInterval", "Password Expiration Interval", SynInterval},
    {"accountBalance", "Account Balance", SynCounter},
    {"minimumAccountBalance", "Minimum Account Balance", SynInteger},
    {"allowUnlimitedCredit", "Allow Unlimited Credit", SynBoolean},
    {"groupID", "GID", SynInteger},
    {"uidNumber", "UID", SynInteger},
    {"revision", "Revision", SynCounter},
    {"version", "Version", SynCiString},
    {"status", "Status", SynInteger},
    {"dsRevision", "DS Revision", SynInteger},
    {"replica", "Replica", SynReplicaPointer},
    {"partitionCreationTime", "Partition Creation Time", SynTimeStamp},
    {"backLink", "Back Link", SynBackLink},
    {"obituary", "Obituary", SynOctetString},
    {"GUID", "GUID", SynOctetString},
    {"publicKey", "Public Key", SynOctetString},
    {"privateKey", "Private Key", SynOctetString},
    {"binderyProperty", "Bindery Property", SynOctetString},
    {"binderyType", "Bindery Type", SynNuString},
    {"binderyObjectRestriction", "Bindery Object Restriction", SynInteger},
    {"unknownBaseClass", "Unknown Base Class", SynCiString},
    {"creatorsName", "creatorsName", SynCiString},
    {"modifiersName", "modifiersName", SynCiString},
    {"createTimestamp", "createTimestamp", SynTime},
    {"modifyTimestamp", "modifyTimestamp", SynTime},
    {"localEntryID", "localEntryID", SynInteger},
    {"structuralObjectClass", "structuralObjectClass", SynClassName},
};

// The classes: LDAP name, directory name, container.
constexpr TSchemaClass Classes[] = {
    {"top", "Top", false},
    {"treeRoot", "Tree Root", true},
    {"country", "Country", true},
    {"locality", "Locality", true},
    {"organization", "Organization", true},
    {"organizationalUnit", "Organizational Unit", true},
    {"domain", "domain", true},
    {"dcObject", "dcObject", false},
    {"inetOrgPerson", "User", false},
    {"organizationalPerson", "Organizational Person", false},
    {"person", "Person", false},
    {"ndsLoginProperties", "ndsLoginProperties", false},
    {"groupOfNames", "Group", false},
    {"groupOfUniqueNames", "groupOfUniqueNames", false},
    {"dynamicGroup", "dynamicGroup", false},
    {"organizationalRole", "Organizational Role", false},
    {"alias", "Alias", false},
    {"ncpServer", "NCP Server", false},
    {"Volume", "Volume", false},
    {"directoryMap", "Directory Map", false},
    {"profile", "Profile", false},
    {"queue", "Queue", false},
    {"binderyQueue", "Bindery Queue", false},
    {"binderyObject", "Bindery Object", false},
    {"device", "Device", false},
    {"resource", "Resource", false},
    {"partition", "Partition", false},
    {"unknown", "Unknown", false},
    {"externalEntity", "External Entity", false},
};

template <typename T, std::string_view T::*Field>
class TIndex {
public:
    explicit TIndex(std::span<const T> rows) {
        for (const auto& row : rows) map_.try_emplace(std::string(row.*Field), &row);   // first row wins
    }
    const T* Find(std::string_view name) const {
        auto it = map_.find(name);
        return it == map_.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<std::string, const T*, TFoldedHash, TFoldedEqual> map_;
};

const auto& AttributesByLdap() {
    static const TIndex<TSchemaAttribute, &TSchemaAttribute::LdapName> index{Attributes};
    return index;
}
const auto& AttributesByDirectory() {
    static const TIndex<TSchemaAttribute, &TSchemaAttribute::DirectoryName> index{Attributes};
    return index;
}
const auto& ClassesByLdap() {
    static const TIndex<TSchemaClass, &TSchemaClass::LdapName> index{Classes};
    return index;
}
const auto& ClassesByDirectory() {
    static const TIndex<TSchemaClass, &TSchemaClass::DirectoryName> index{Classes};
    return index;
}

std::string_view WithoutOptions(std::string_view name) {
    auto semicolon = name.find(';');
    return semicolon == std::string_view::npos ? name : name.substr(0, semicolon);
}

} // namespace

const TSchemaAttribute* FindAttributeByLdapName(std::string_view ldapName) {
    return AttributesByLdap().Find(WithoutOptions(ldapName));
}
const TSchemaAttribute* FindAttributeByDirectoryName(std::string_view directoryName) {
    return AttributesByDirectory().Find(directoryName);
}
const TSchemaClass* FindClassByLdapName(std::string_view ldapName) { return ClassesByLdap().Find(ldapName); }
const TSchemaClass* FindClassByDirectoryName(std::string_view directoryName) {
    return ClassesByDirectory().Find(directoryName);
}

std::string DirectoryAttributeName(std::string_view ldapName) {
    auto plain = WithoutOptions(ldapName);
    const auto* attribute = AttributesByLdap().Find(plain);
    return std::string(attribute ? attribute->DirectoryName : plain);
}

std::string LdapAttributeName(std::string_view directoryName) {
    const auto* attribute = AttributesByDirectory().Find(directoryName);
    return std::string(attribute ? attribute->LdapName : directoryName);
}

uint32_t DirectoryAttributeSyntax(std::string_view directoryName) {
    const auto* attribute = AttributesByDirectory().Find(directoryName);
    return attribute ? attribute->Syntax : SynCiString;
}

std::string DirectoryClassName(std::string_view ldapName) {
    const auto* schemaClass = ClassesByLdap().Find(ldapName);
    return std::string(schemaClass ? schemaClass->DirectoryName : ldapName);
}

std::string LdapClassName(std::string_view directoryName) {
    const auto* schemaClass = ClassesByDirectory().Find(directoryName);
    return std::string(schemaClass ? schemaClass->LdapName : directoryName);
}

bool IsContainerClass(std::string_view directoryName) {
    const auto* schemaClass = ClassesByDirectory().Find(directoryName);
    return schemaClass && schemaClass->Container;
}

size_t SchemaAttributeCount() { return std::size(Attributes); }
size_t SchemaClassCount() { return std::size(Classes); }

} // namespace era
