#include "client/name_forms.h"
#include "client/schema_map.h"

#include <gtest/gtest.h>
#include <ldap.h>

namespace era {

namespace {

TNameParts Context(const std::string& text) {
    TNameParts parts;
    EXPECT_EQ(ParseNameContext(text, parts), 0) << text;
    return parts;
}

} // namespace

TEST(NameForms, InputNamesResolveAgainstTheNameContext) {
    struct TCase {
        const char* Input;
        const char* NameContext;
        NWCCODE Code;
        const char* Full;   // typeless, or the special name
    };
    const TCase cases[] = {
        {"admin", "sales.acme", 0, "admin.sales.acme"},
        {".admin.acme", "sales.acme", 0, "admin.acme"},
        {"admin.", "sales.acme", 0, "admin.acme"},
        {"admin..", "sales.acme", 0, "admin"},
        {"ann.east.", "sales.acme", 0, "ann.east.acme"},
        {"admin...", "sales.acme", ErrIllegalDsName, ""},
        {".admin.", "sales.acme", ErrIllegalDsName, ""},
        {"a..b", "acme", ErrIllegalDsName, ""},
        {".", "acme", ErrIllegalDsName, ""},
        {"CN=admin.OU=sales.O=acme", "[Root]", 0, "admin.sales.acme"},
        {"cn=admin", "OU=sales.O=acme", 0, "admin.sales.acme"},
        {"admin", ".sales.acme", 0, "admin.sales.acme"},
        {"admin", "[Root]", 0, "admin"},
        {"[Root]", "sales.acme", 0, "[Root]"},
        {"[Public]", "sales.acme", 0, "[Public]"},
        {"[This]", "sales.acme", 0, "[This]"},
        {"[Supervisor]", "sales.acme", 0, "[Supervisor]"},
        {"[public]", "acme", 0, "[public].acme"},   // special names are exact
        {"a\\.b", "acme", 0, "a\\.b.acme"},
        {"x\\=y", "acme", 0, "x\\=y.acme"},
        {"", "sales.acme", 0, "sales.acme"},
        {"admin.acme.[Root]", "sales.acme", 0, "admin.acme"},
        {".[Root]", "sales.acme", 0, "[Root]"},
    };
    for (const auto& c : cases) {
        TResolvedName resolved;
        NWCCODE code = ResolveInputName(c.Input, Context(c.NameContext), resolved);
        EXPECT_EQ(code, c.Code) << c.Input << " in " << c.NameContext;
        if (code != 0) continue;
        std::string written = resolved.Special.empty() ? WriteFullName(resolved.Parts, false) : resolved.Special;
        EXPECT_EQ(written, c.Full) << c.Input << " in " << c.NameContext;
    }
}

TEST(NameForms, TypedInputKeepsItsTypesAndValuesKeepTheirCase) {
    TResolvedName resolved;
    ASSERT_EQ(ResolveInputName("CN=Admin.OU=Sales", Context("O=acme"), resolved), 0);
    ASSERT_EQ(resolved.Parts.size(), 3u);
    EXPECT_EQ(resolved.Parts[0].Type, "CN");
    EXPECT_EQ(resolved.Parts[0].Value, "Admin");
    EXPECT_EQ(resolved.Parts[1].Type, "OU");
    EXPECT_EQ(resolved.Parts[2].Value, "acme");
}

TEST(NameForms, OutputFollowsTheFlagsAndTheNameContext) {
    TNameParts admin{{"CN", "admin"}, {"OU", "sales"}, {"O", "acme"}};
    TNameParts acme{{"O", "acme"}};
    TNameParts sales{{"OU", "sales"}, {"O", "acme"}};
    TNameParts dotted{{"CN", "a.b"}, {"O", "acme"}};
    struct TCase {
        const TNameParts* Name;
        uint32_t Flags;
        const char* NameContext;
        const char* Written;
    };
    const TCase cases[] = {
        {&admin, DcvTypelessNames | DcvCanonicalizeNames, "sales.acme", "admin"},
        {&admin, DcvCanonicalizeNames, "sales.acme", "CN=admin"},
        {&admin, DcvTypelessNames, "sales.acme", "admin.sales.acme"},
        {&admin, 0, "sales.acme", "CN=admin.OU=sales.O=acme"},
        {&admin, DcvTypelessNames | DcvCanonicalizeNames, "[Root]", "admin.sales.acme"},
        {&admin, DcvTypelessNames | DcvCanonicalizeNames, "SALES.Acme", "admin"},
        {&admin, DcvTypelessNames | DcvCanonicalizeNames, "acme", "admin.sales"},
        {&acme, DcvTypelessNames | DcvCanonicalizeNames, "sales.acme", ".acme"},
        {&sales, DcvTypelessNames | DcvCanonicalizeNames, "sales.acme", ".sales.acme"},
        {&sales, DcvCanonicalizeNames, "east.sales.acme", ".OU=sales.O=acme"},
        {&dotted, DcvTypelessNames, "[Root]", "a\\.b.acme"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriteOutputName(*c.Name, c.Flags, Context(c.NameContext)), c.Written)
            << WriteFullName(*c.Name, true) << " flags " << c.Flags << " in " << c.NameContext;
    EXPECT_EQ(WriteOutputName({}, 0, Context("sales.acme")), "[Root]");
}

TEST(NameForms, WrittenNamesReadBackToTheSameParts) {
    TNameParts odd{{"CN", "a.b=c\\d"}, {"OU", "x y"}, {"O", "acme"}};
    for (bool typed : {true, false}) {
        TResolvedName resolved;
        ASSERT_EQ(ResolveInputName("." + WriteFullName(odd, typed), {}, resolved), 0);
        EXPECT_TRUE(SameName(resolved.Parts, odd)) << WriteFullName(odd, typed);
        EXPECT_EQ(NameKey(resolved.Parts), NameKey(odd));
    }
    EXPECT_EQ(NameKey({{"CN", "Admin"}, {"O", "ACME"}}), NameKey({{"", "admin"}, {"", "acme"}}));
    EXPECT_NE(NameKey({{"", "a.b"}}), NameKey({{"", "a"}, {"", "b"}}));
}

TEST(NameForms, DefaultTypesFollowThePosition) {
    TNameParts parts{{"", "admin"}, {"", "sales"}, {"", "east"}, {"C", "US"}};
    ApplyDefaultTypes(parts);
    EXPECT_EQ(WriteFullName(parts, true), "CN=admin.OU=sales.OU=east.C=US");
    TNameParts top{{"", "acme"}};
    ApplyDefaultTypes(top);
    EXPECT_EQ(WriteFullName(top, true), "O=acme");
}

TEST(NameForms, LdapDistinguishedNamesConvertBothWays) {
    TNameParts parts;
    std::string error;
    ASSERT_TRUE(LdapDnToParts("cn=admin,ou=sales,o=acme", parts, error)) << error;
    EXPECT_EQ(WriteFullName(parts, true), "CN=admin.OU=sales.O=acme");
    ASSERT_TRUE(LdapDnToParts("CN=Smith\\, Ann,L=Boston,ST=MA,C=US", parts, error)) << error;
    EXPECT_EQ(WriteFullName(parts, true), "CN=Smith, Ann.L=Boston.S=MA.C=US");
    EXPECT_EQ(PartsToLdapDn(parts), "cn=Smith\\, Ann,l=Boston,st=MA,c=US");
    TNameParts back;
    ASSERT_TRUE(LdapDnToParts(PartsToLdapDn({{"CN", "#a+b;c"}, {"O", " x "}}), back, error)) << error;
    EXPECT_EQ(back[0].Value, "#a+b;c");
    EXPECT_EQ(back[1].Value, " x ");

    EXPECT_FALSE(LdapDnToParts("cn=a+uid=b,o=acme", parts, error));
    EXPECT_NE(error.find("multi-valued"), std::string::npos);
    EXPECT_FALSE(LdapDnToParts("not a dn", parts, error));
    EXPECT_FALSE(LdapDnToParts("cn=,o=acme", parts, error));
}

// The library's reading of a DN, part by part, as the loader takes it ("" when the loader
// refuses it: multi-valued parts, binary values, empty values).
std::string LibraryReading(const std::string& dn) {
    LDAPDN parsed = nullptr;
    struct berval text{static_cast<ber_len_t>(dn.size()), const_cast<char*>(dn.data())};
    if (ldap_bv2dn(&text, &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) return "";
    std::string reading;
    for (int i = 0; parsed && parsed[i]; ++i) {
        if (parsed[i][0] == nullptr || parsed[i][1] != nullptr) {
            reading.clear();
            break;
        }
        const LDAPAVA* ava = parsed[i][0];
        if ((ava->la_flags & LDAP_AVA_BINARY) || ava->la_value.bv_len == 0) {   // refused by the loader
            reading.clear();
            break;
        }
        reading += DirectoryAttributeName(std::string_view(ava->la_attr.bv_val, ava->la_attr.bv_len)) + "=" +
                   std::string(ava->la_value.bv_val, ava->la_value.bv_len) + "|";
    }
    ldap_dnfree(parsed);
    return reading;
}

TEST(NameForms, PlainDnsReadAsTheLibraryReadsThem) {
    // Plain DNs are split without the library; these, plain or only nearly so, must come out the same.
    for (const std::string dn :
         {"cn=admin,o=acme", "CN=Ann Smith,OU=sales-east,O=acme.com", "cn=a_b@c.d,ou=u1,o=synth", "uid=x9,dc=example,dc=org",
          "cn=Ann  Smith,o=acme", "cn=Ann ,o=acme", "cn= Ann,o=acme", "cn=Ann, o=acme", "cn=Ann,o=acme ", "cn = Ann,o=acme",
          "cn=a\\,b,o=acme", "cn=\\41nn,o=acme", "cn=\"Ann\",o=acme", "2.5.4.3=Ann,o=acme", "cn=Jos\\C3\\A9,o=acme",
          "cn=Ann;o=acme", "cn=a=b,o=acme", "cn=Ann,,o=acme", "cn=Ann,o=", "T=SYNTH_TREE", "cn=#41,o=acme"}) {
        TNameParts parts;
        std::string error;
        std::string ours;
        if (LdapDnToParts(dn, parts, error))
            for (const auto& part : parts) ours += part.Type + "=" + part.Value + "|";
        EXPECT_EQ(ours, LibraryReading(dn)) << dn;
    }
}

TEST(NameForms, SpecialNamesAreExact) {
    for (const char* name : {"[Root]", "[Public]", "[This]", "[Supervisor]"}) EXPECT_TRUE(IsSpecialDirectoryName(name));
    for (const char* name : {"[root]", "Root", "[Inheritance Mask]", "", "[Public] "})
        EXPECT_FALSE(IsSpecialDirectoryName(name)) << name;
}

} // namespace era
