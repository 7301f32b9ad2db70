#pragma once

// eDirectory's standard mapping between LDAP names and directory names, one table for every
// backend: attributes with their syntax numbers, classes with whether they hold other objects.
// Lookups go both ways and ignore ASCII letter case.

#include <cstdint>
#include <string>
#include <string_view>

namespace era {

// One attribute of the mapping.
struct TSchemaAttribute {
    std::string_view LdapName;        // "telephoneNumber"
    std::string_view DirectoryName;   // "Telephone Number"
    uint32_t Syntax;                  // TSyntaxID
};

// One object class of the mapping.
struct TSchemaClass {
    std::string_view LdapName;        // "organizationalUnit"
    std::string_view DirectoryName;   // "Organizational Unit"
    bool Container;                   // objects of this class can hold other objects
};

// The attribute with that LDAP name, or nullptr.
const TSchemaAttribute* FindAttributeByLdapName(std::string_view ldapName);
// The attribute with that directory name, or nullptr.
const TSchemaAttribute* FindAttributeByDirectoryName(std::string_view directoryName);
// The class with that LDAP name, or nullptr.
const TSchemaClass* FindClassByLdapName(std::string_view ldapName);
// The class with that directory name, or nullptr.
const TSchemaClass* FindClassByDirectoryName(std::string_view directoryName);

// The directory name of an LDAP attribute name ("securityEquals" -> "Security Equals"); an
// unknown name stays as it is. Options after ";" ("userCertificate;binary") are dropped.
std::string DirectoryAttributeName(std::string_view ldapName);
// The LDAP name of a directory attribute name; an unknown name stays as it is.
std::string LdapAttributeName(std::string_view directoryName);
// The syntax of a directory attribute name: the table's, or 3 (case-ignore string) when unknown.
uint32_t DirectoryAttributeSyntax(std::string_view directoryName);
// The directory name of an LDAP class name ("inetOrgPerson" -> "User"); unknown names stay.
std::string DirectoryClassName(std::string_view ldapName);
// The LDAP name of a directory class name; unknown names stay.
std::string LdapClassName(std::string_view directoryName);
// True when objects of that directory class hold other objects (Tree Root, Country, Locality,
// Organization, Organizational Unit, domain).
bool IsContainerClass(std::string_view directoryName);

// How many attributes and classes the table maps.
size_t SchemaAttributeCount();
size_t SchemaClassCount();

} // namespace era
