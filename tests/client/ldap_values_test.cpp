// eDirectory's LDAP value notations in the client's value forms, and the encoding of the
// effective-privileges operation (which no server here knows, so it is checked on its bytes).

#include "client/ldap/ldap_values.h"

#include <gtest/gtest.h>

#include <lber.h>

namespace era {
namespace {

std::string Named(std::string_view text) { return "<" + std::string(text) + ">"; }

TEST(LdapValues, AclValuesReadAsTheDirectoryReadsThem) {
    struct TCase {
        const char* Text;
        bool Ok;
        uint32_t Privileges;
        const char* Subject;
        const char* Attribute;
    } cases[] = {
        // Entry rights: 0x40 set when the assignment is not inherited.
        {"16#subtree#cn=admin,o=acme#[Entry Rights]", true, 16, "cn=admin,o=acme", "[Entry Rights]"},
        {"2#entry#cn=agarcia,ou=sales,o=acme#[Entry Rights]", true, 2 | 0x40, "cn=agarcia,ou=sales,o=acme", "[Entry Rights]"},
        {"66#subtree#cn=x,o=acme#[Entry Rights]", true, 2, "cn=x,o=acme", "[Entry Rights]"},
        // Attribute rights: 0x40 set when it is.
        {"2#subtree#[Public]#[All Attributes Rights]", true, 2 | 0x40, "[Public]", "[All Attributes Rights]"},
        {"6#entry#cn=j,o=acme#loginScript", true, 6, "cn=j,o=acme", "Login Script"},
        {"4#SUBTREE#cn=h,o=acme#telephoneNumber", true, 4 | 0x40, "cn=h,o=acme", "Telephone Number"},
        {"2#subtree#[Inheritance Mask]#telephoneNumber", true, 2 | 0x40, "[Inheritance Mask]", "Telephone Number"},
        // A subject DN holding "#" keeps it: the attribute is after the last one.
        {"1#entry#cn=a\\#b,o=acme#[Entry Rights]", true, 1 | 0x40, "cn=a\\#b,o=acme", "[Entry Rights]"},
        {"x#subtree#cn=a,o=acme#[Entry Rights]", false, 0, "", ""},
        {"1#inherited#cn=a,o=acme#[Entry Rights]", false, 0, "", ""},
        {"1#subtree##[Entry Rights]", false, 0, "", ""},
        {"1#subtree#cn=a,o=acme", false, 0, "", ""},
        {"", false, 0, "", ""},
    };
    for (const auto& c : cases) {
        uint32_t privileges = 99;
        std::string subject = "x", attribute = "x";
        EXPECT_EQ(ParseLdapAcl(c.Text, privileges, subject, attribute), c.Ok) << c.Text;
        EXPECT_EQ(privileges, c.Privileges) << c.Text;
        EXPECT_EQ(subject, c.Subject) << c.Text;
        EXPECT_EQ(attribute, c.Attribute) << c.Text;
    }
}

TEST(LdapValues, EachSyntaxGivesItsValueForm) {
    auto acl = LdapValueToAttrValue(SynObjectACL, "16#subtree#cn=admin,o=acme#[Entry Rights]", Named);
    ASSERT_TRUE(std::holds_alternative<TObjectACL>(acl));
    EXPECT_EQ(std::get<TObjectACL>(acl).SubjectName, "<cn=admin,o=acme>");
    EXPECT_EQ(std::get<TTextValue>(LdapValueToAttrValue(SynDistName, "cn=a,o=b", Named)).Text, "<cn=a,o=b>");
    EXPECT_EQ(std::get<TBooleanValue>(LdapValueToAttrValue(SynBoolean, "true", Named)).Value, 1);
    EXPECT_EQ(std::get<TIntegerValue>(LdapValueToAttrValue(SynInteger, "-5", Named)).Value, -5);
    EXPECT_EQ(std::get<TIntegerValue>(LdapValueToAttrValue(SynCounter, "4294967295", Named)).Value, -1);
    EXPECT_EQ(std::get<TTimeStamp>(LdapValueToAttrValue(SynTime, "20091102074512Z", Named)).WholeSeconds, 1257147912u);
    auto stamp = std::get<TTimeStamp>(LdapValueToAttrValue(SynTimeStamp, "20091102074512Z#3#7", Named));
    EXPECT_EQ(stamp.ReplicaNumber, 3);
    EXPECT_EQ(stamp.EventID, 7);
    auto path = std::get<TPathValue>(LdapValueToAttrValue(SynPath, "cn=V,o=acme#0#USERS\\JDOE", Named));
    EXPECT_EQ(path.VolumeName, "<cn=V,o=acme>");
    EXPECT_EQ(path.Path, "USERS\\JDOE");
    auto address = std::get<TNetAddress>(LdapValueToAttrValue(SynNetAddress, std::string("9#\x02\x0c", 4), Named));
    EXPECT_EQ(address.AddressType, 9u);
    EXPECT_EQ(address.Address, (std::vector<uint8_t>{0x02, 0x0c}));
    auto typed = std::get<TTypedName>(LdapValueToAttrValue(SynTypedName, "cn=q,o=acme#5#60", Named));
    EXPECT_EQ(typed.ObjectName, "<cn=q,o=acme>");
    EXPECT_EQ(typed.Level, 5u);
    EXPECT_EQ(typed.Interval, 60u);
    EXPECT_EQ(std::get<TCaseIgnoreList>(LdapValueToAttrValue(SynCiList, "a$b", Named)).Elements,
              (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(std::get<TPostalAddress>(LdapValueToAttrValue(SynPoAddress, "1 Main St$Springfield", Named)).Lines[1],
              "Springfield");
    EXPECT_TRUE(std::get<TOctetString>(LdapValueToAttrValue(SynStream, "bytes", Named)).Data.empty());
    // A value that does not read in its syntax's notation stays text, for the formatter to report.
    for (auto [syntax, text] : {std::pair<uint32_t, const char*>{SynBoolean, "maybe"}, {SynInteger, "12x"},
                                {SynTime, "yesterday"}, {SynObjectACL, "all#of#it"}, {SynPath, "nowhere"}})
        EXPECT_EQ(std::get<TTextValue>(LdapValueToAttrValue(syntax, text, Named)).Text, text) << syntax;
}

TEST(LdapValues, FilterValuesAreEscapedByteForByte) {
    EXPECT_EQ(EscapeFilterValue("plain value"), "plain value");
    EXPECT_EQ(EscapeFilterValue(std::string("*()\\\0", 5)), "\\2a\\28\\29\\5c\\00");
    EXPECT_EQ(EscapeFilterValue("\xc3\xa9"), "\\c3\\a9");   // bytes outside ASCII are escaped too
}

TEST(LdapValues, EffectivePrivilegesTravelAsBer) {
    // Three octet strings one after the other (tag 04, DER length, the bytes), no SEQUENCE around.
    std::string request = EncodeEffectivePrivilegesRequest("cn=jdoe,o=acme", "cn=admin,o=acme", "[Entry Rights]");
    EXPECT_EQ(request, std::string("\x04\x0e" "cn=jdoe,o=acme" "\x04\x0f" "cn=admin,o=acme" "\x04\x0e" "[Entry Rights]"));
    // A DN of 200 bytes takes the long length form; an empty attribute is still there.
    const std::string longDn = "cn=" + std::string(197, 'x');
    EXPECT_EQ(EncodeEffectivePrivilegesRequest(longDn, "", ""),
              std::string("\x04\x81\xc8", 3) + longDn + std::string("\x04\x00\x04\x00", 4));

    // The reply: one bare INTEGER; the same number in a SEQUENCE, or followed by more, is no answer.
    struct TReply {
        const char* Format;
        bool Read;
    } replies[] = {{"i", true}, {"{i}", false}, {"ii", false}};
    for (const auto& r : replies) {
        BerElement* reply = ber_alloc_t(LBER_USE_DER);
        ASSERT_GE(ber_printf(reply, r.Format, 0x3F, 0x3F), 0);   // a format with one number ignores the second
        berval flat{};
        ASSERT_GE(ber_flatten2(reply, &flat, 0), 0);
        uint32_t privileges = 9;
        EXPECT_EQ(DecodeEffectivePrivilegesReply(std::string_view(flat.bv_val, flat.bv_len), privileges), r.Read)
            << r.Format;
        EXPECT_EQ(privileges, r.Read ? 0x3Fu : 0u) << r.Format;
        ber_free(reply, 1);
    }
    uint32_t privileges = 7;
    EXPECT_FALSE(DecodeEffectivePrivilegesReply("", privileges));
    EXPECT_FALSE(DecodeEffectivePrivilegesReply("\x04\x01z", privileges));   // an octet string, not a number
    EXPECT_EQ(privileges, 0u);
}

TEST(LdapValues, GetBindDnRepliesGiveTheIdentityAsWhoAmIWritesIt) {
    struct TCase {
        std::string Reply;
        bool Read;
        const char* Identity;
    } cases[] = {
        {std::string("\x04\x0f" "cn=admin,o=acme"), true, "dn:cn=admin,o=acme"},
        {std::string("\x04\x12" "dn:cn=admin,o=acme"), true, "dn:cn=admin,o=acme"},   // already so written
        {std::string("\x04\x00", 2), true, ""},                                        // anonymous
        {std::string("\x30\x11\x04\x0f" "cn=admin,o=acme"), false, ""},                // in a SEQUENCE
        {std::string("\x04\x0f" "cn=admin,o=acme" "\x02\x01\x00", 20), false, ""},     // more after it
        {std::string("\x04\x10" "cn=admin,o=acme"), false, ""},                        // cut short
        {"", false, ""},
    };
    for (const auto& c : cases) {
        std::string identity = "before";
        EXPECT_EQ(DecodeGetBindDnReply(c.Reply, identity), c.Read) << c.Identity;
        EXPECT_EQ(identity, c.Identity);
    }
}

} // namespace
} // namespace era
