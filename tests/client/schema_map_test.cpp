#include "client/schema_map.h"

#include "directory/client.h"

#include <gtest/gtest.h>

namespace era {

TEST(SchemaMap, AttributesMapBothWaysWithTheirSyntax) {
    struct TCase {
        const char* Ldap;
        const char* Directory;
        uint32_t Syntax;
    };
    const TCase cases[] = {
        {"securityEquals", "Security Equals", SynDistName},
        {"groupMembership", "Group Membership", SynDistName},
        {"member", "Member", SynDistName},
        {"telephoneNumber", "Telephone Number", SynTelNumber},
        {"fullName", "Full Name", SynCiString},
        {"aliasedObjectName", "Aliased Object Name", SynDistName},
        {"objectClass", "Object Class", SynClassName},
        {"ACL", "ACL", SynObjectACL},
        {"cn", "CN", SynCiString},
        {"sn", "Surname", SynCiString},
        {"mail", "Internet EMail Address", SynCiString},
        {"uid", "uniqueID", SynCiString},
        {"loginDisabled", "Login Disabled", SynBoolean},
        {"loginGraceLimit", "Login Grace Limit", SynInteger},
        {"createTimestamp", "createTimestamp", SynTime},
        {"creatorsName", "creatorsName", SynCiString},
        {"networkAddress", "Network Address", SynNetAddress},
        {"ndsHomeDirectory", "Home Directory", SynPath},
        {"loginScript", "Login Script", SynStream},
        {"GUID", "GUID", SynOctetString},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectoryAttributeName(c.Ldap), c.Directory);
        EXPECT_EQ(LdapAttributeName(c.Directory), c.Ldap);
        EXPECT_EQ(DirectoryAttributeSyntax(c.Directory), c.Syntax) << c.Directory;
    }
}

TEST(SchemaMap, LookupsIgnoreCaseAndOptions) {
    EXPECT_EQ(DirectoryAttributeName("SECURITYEQUALS"), "Security Equals");
    EXPECT_EQ(LdapAttributeName("security equals"), "securityEquals");
    EXPECT_EQ(DirectoryAttributeName("telephoneNumber;lang-en"), "Telephone Number");
    ASSERT_NE(FindAttributeByDirectoryName("TELEPHONE NUMBER"), nullptr);
    EXPECT_EQ(DirectoryClassName("INETORGPERSON"), "User");
}

TEST(SchemaMap, UnknownNamesStayWithAStringSyntax) {
    EXPECT_EQ(DirectoryAttributeName("acmeBadgeNumber"), "acmeBadgeNumber");
    EXPECT_EQ(LdapAttributeName("acmeBadgeNumber"), "acmeBadgeNumber");
    EXPECT_EQ(DirectoryAttributeSyntax("acmeBadgeNumber"), uint32_t{SynCiString});
    EXPECT_EQ(FindAttributeByLdapName("acmeBadgeNumber"), nullptr);
    EXPECT_EQ(DirectoryClassName("acmeDevice"), "acmeDevice");
    EXPECT_FALSE(IsContainerClass("acmeDevice"));
}

TEST(SchemaMap, ClassesMapAndKnowTheirContainers) {
    struct TCase {
        const char* Ldap;
        const char* Directory;
        bool Container;
    };
    const TCase cases[] = {
        {"inetOrgPerson", "User", false},
        {"organizationalUnit", "Organizational Unit", true},
        {"organization", "Organization", true},
        {"groupOfNames", "Group", false},
        {"organizationalRole", "Organizational Role", false},
        {"country", "Country", true},
        {"locality", "Locality", true},
        {"alias", "Alias", false},
        {"ncpServer", "NCP Server", false},
        {"Volume", "Volume", false},
        {"treeRoot", "Tree Root", true},
        {"domain", "domain", true},
        {"ndsLoginProperties", "ndsLoginProperties", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectoryClassName(c.Ldap), c.Directory);
        EXPECT_EQ(LdapClassName(c.Directory), c.Ldap);
        EXPECT_EQ(IsContainerClass(c.Directory), c.Container) << c.Directory;
    }
    EXPECT_GE(SchemaAttributeCount(), 100u);
    EXPECT_GE(SchemaClassCount(), 25u);
}

} // namespace era
