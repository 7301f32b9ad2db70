#include "directory/names.h"

#include <gtest/gtest.h>

namespace era {

TEST(Names, SpecialNamesAreExact) {
    for (const char* name : {"[Root]", "[This]", "[Public]", "[Supervisor]"})
        EXPECT_TRUE(U_IsSpecialName(name)) << name;
    for (const char* name : {"[root]", "Root", "[Root] ", "[Inheritance Mask]", ""})
        EXPECT_FALSE(U_IsSpecialName(name)) << name;
}

TEST(Names, FullName) {
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"admin.acme", ".admin.acme"},
        {".admin.acme", ".admin.acme"},
        {"[Root]", "[Root]"},
        {"[Public]", "[Public]"},
        {"", ""},
        {"[ROOT]", ".[ROOT]"},
        {"[public]", ".[public]"},
        {"..x", "..x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U_FullName(c.name), c.expected) << c.name;
}

TEST(Names, StripLeadingDot) {
    EXPECT_EQ(U_StripLeadingDot(".admin.acme"), "admin.acme");
    EXPECT_EQ(U_StripLeadingDot("..acme"), ".acme"); // only the first one
    EXPECT_EQ(U_StripLeadingDot("acme"), "acme");
    EXPECT_EQ(U_StripLeadingDot(""), "");
}

TEST(Names, TypelessName) {
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"cn=admin,o=acme,c=US", "admin.acme.c=US"},         {"cn=admin,ou=sales,o=acme", "admin.sales.acme"},
        {"CN=Admin,OU=Sales,O=Acme", "Admin.Sales.Acme"},    {"admin.acme", "admin.acme"},
        {"cn=printer,l=site,o=acme", "printer.l=site.acme"}, // other types keep their prefix
    };
    for (const Case& c : cases)
        EXPECT_EQ(U_TypelessName(c.name), c.expected) << c.name;
}

TEST(Names, CombineContext) {
    struct Case {
        const char* container;
        const char* item;
        const char* expected;
    };
    const Case cases[] = {
        {".sales.acme", "admin", ".admin.sales.acme"},
        {"sales.acme", "admin", "admin.sales.acme"},
        {"[Root]", "acme", ".acme"},
        {".sales.acme", "[ .. ]", "acme"},
        {"acme", "..", "[Root]"},
        {".sales.acme", ".", ".sales.acme"},
        {".sales.acme", "", ".sales.acme"},
        {"[Root]", "..", "[Root]"},
        {"", "..", "[Root]"},
        {"..acme", "..", "[Root]"}, // every leading dot goes before the parent is taken
        {"", "acme", ".acme"},
        {"sales.acme", ".other.org", ".other.org"},
        {"[Root]", "[Root]", "[Root]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U_CombineContext(c.container, c.item), c.expected) << c.container << " + " << c.item;
    }
}

} // namespace era
