// The sizes the system fixes, at and past each one, over the embedded directory: tree names of
// 32 characters, streams read up to 64512 bytes, listings in 4096-byte buffers, values in
// 64512-byte read buffers, and trustee scans that hand out 20 entries per call.

#include "client_fixture.h"

#include "client/redirector.h"
#include "directory/attributes.h"
#include "directory/connections.h"
#include "directory/context.h"
#include "directory/listing.h"
#include "directory/netware_paths.h"
#include "directory/stream_format.h"

namespace era {

using namespace era::test;

namespace {

std::string Base64(const std::string& bytes) {
    static const char* const Digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0}) out += Digits[(n >> shift) & 63];
    }
    if (i + 1 == bytes.size()) {
        const uint32_t n = uint8_t(bytes[i]) << 16;
        out += Digits[(n >> 18) & 63];
        out += Digits[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        for (int shift : {18, 12, 6}) out += Digits[(n >> shift) & 63];
        out += '=';
    }
    return out;
}

// A workstation over one tree written by the test, installed as the process-wide client.
class Limits : public ::testing::Test {
protected:
    void TearDown() override {
        context_.Reset();
        ResetNetWareStartup();
        SetNetworkDirectoryResolver(nullptr);
        InstallClient(nullptr);
    }
    // Installs the tree (LDIF text) under the name, with one server FS1 whose volume SYS holds the
    // directories (JSON list text); the admin is logged in.
    ::testing::AssertionResult Install(const std::string& tree, const std::string& ldif,
                                       const std::string& directories = "[]") {
        folder_.Write("tree.ldif", ldif);
        const std::string json = R"({ "trees": [ { "name": ")" + tree + R"(", "ldif": "tree.ldif" } ],
  "servers": [ { "name": "FS1", "tree": ")" + tree + R"(", "volumes": [ { "name": "SYS", "number": 0,
    "directories": )" + directories + R"( } ] } ],
  "connections": [ { "server": "FS1", "user": "cn=admin,o=x", "primary": true } ] })";
        std::string message;
        ResetNetWareStartup();
        if (InstallWorkstation(folder_.Write("ws.json", json), message) != 0)
            return ::testing::AssertionFailure() << message;
        if (TDSContext::Create(context_) != 0 || U_DSChangeTree(context_.Get(), tree, false) != 0 ||
            U_DSSetContextFlag(context_.Get(), "+", DcvTypelessNames) != 0)
            return ::testing::AssertionFailure() << "no context on " << tree;
        return ::testing::AssertionSuccess();
    }
    NWDSContextHandle Context() const { return context_.Get(); }

    TTempFolder folder_;

private:
    TDSContext context_;
};

const std::string Base = "dn: o=x\nobjectClass: organization\no: x\n\ndn: cn=admin,o=x\nobjectClass: inetOrgPerson\nsn: A\n";

} // namespace

TEST_F(Limits, TreeNamesOfUpTo32Characters) {
    struct TCase {
        size_t Length;
        bool Loads;
    };
    for (const TCase c : {TCase{1, true}, TCase{31, true}, TCase{32, true}, TCase{33, false}, TCase{100, false}}) {
        const std::string name(c.Length, 'T');
        const auto installed = Install(name, Base);
        EXPECT_EQ(static_cast<bool>(installed), c.Loads) << c.Length << ": " << installed.message();
        if (!installed) {
            EXPECT_NE(std::string(installed.message()).find("expected a tree name of at most 32 characters"),
                      std::string::npos);
            continue;
        }
        TStringList trees;
        U_ListTrees(trees);
        ASSERT_EQ(trees.Count(), 1);
        EXPECT_EQ(trees.Strings(0), name);   // the padded information field gives the name whole
        std::string tree;
        EXPECT_EQ(U_GetTreeNameByRef(trees.Objects(0), tree), 0);
        EXPECT_EQ(tree, name);
        EXPECT_EQ(U_DSGetTreeName(Context()), name);
    }
}

TEST_F(Limits, StreamsAreReadUpTo64512Bytes) {
    for (const size_t size : {size_t{1}, size_t{64511}, size_t{64512}, size_t{64513}, size_t{100000}}) {
        std::string script(size, 'w');
        script.front() = 'M';
        ASSERT_TRUE(Install("X", Base + "loginScript:: " + Base64(script) + "\n"));
        std::string text;
        ASSERT_EQ(U_DSReadStream(Context(), ".admin.x", "Login Script", text), 0) << size;
        EXPECT_EQ(text.size(), std::min<size_t>(size, StreamReadLimit)) << size;
        EXPECT_EQ(text.front(), 'M');
    }
}

TEST_F(Limits, AttributeValuesAroundTheReadBufferSize) {
    // Values up to what a 64512-byte buffer holds are read whole, one beyond it cannot be read
    // at all (the reader says so and shows no part of it), and many values come in batches.
    std::string ldif = Base;
    ldif += "description: " + std::string(60000, 'd') + "\n";
    ldif += "\ndn: cn=huge,o=x\nobjectClass: inetOrgPerson\nsn: H\ndescription: " + std::string(70000, 'h') + "\n";
    ldif += "\ndn: cn=many,o=x\nobjectClass: groupOfNames\n";
    for (int i = 0; i < 2000; ++i) ldif += "telephoneNumber: +1 555 " + std::string(60, '0') + std::to_string(i) + "\n";
    ASSERT_TRUE(Install("X", ldif));
    TStringList lines;
    ASSERT_EQ(U_DSGetAttribute(Context(), ".admin.x", "Description", lines), 0);
    ASSERT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines.Strings(0).size(), 60000u);
    TStringList huge;
    EXPECT_NE(U_DSGetAttribute(Context(), ".huge.x", "Description", huge), 0);
    for (const auto& line : huge.Items()) EXPECT_LT(line.Text.size(), 1000u) << "a part of the value was shown";
    TStringList many;
    ASSERT_EQ(U_DSGetAttribute(Context(), ".many.x", "Telephone Number", many), 0);
    ASSERT_EQ(many.Count(), 2000);
    EXPECT_TRUE(many.Strings(1999).ends_with("1999"));
}

TEST_F(Limits, ListingsOfBigContainersComeWholeThroughTheSmallBuffer) {
    // 4096-byte listing buffers hold about a dozen names of 250 characters: many batches.
    for (const int count : {1, 15, 16, 17, 400}) {
        std::string ldif = Base + "\ndn: ou=big,o=x\nobjectClass: organizationalUnit\nou: big\n";
        for (int i = 0; i < count; ++i) {
            const std::string cn = std::to_string(i) + std::string(250, 'n');
            ldif += "\ndn: cn=" + cn + ",ou=big,o=x\nobjectClass: inetOrgPerson\nsn: S\n";
        }
        ASSERT_TRUE(Install("X", ldif));
        TStringList objects;
        ASSERT_EQ(U_DSListContainer(Context(), ".big.x", nullptr, true, "", &objects), 0) << count;
        EXPECT_EQ(objects.Count(), count);
    }
}

TEST_F(Limits, TrusteeScansHandOut20EntriesPerCallAndLoseNone) {
    for (const int count : {0, 1, 19, 20, 21, 40, 41, 100}) {
        std::string ldif = Base;
        std::string trustees;
        for (int i = 0; i < count; ++i) {
            ldif += "\ndn: cn=t" + std::to_string(i) + ",o=x\nobjectClass: inetOrgPerson\nsn: T\n";
            trustees += std::string(trustees.empty() ? "" : ", ") + "\"cn=t" + std::to_string(i) + ",o=x\": \"RF\"";
        }
        ASSERT_TRUE(Install("X", ldif, R"([ { "path": "DATA", "trustees": { )" + trustees + " } } ]"));
        NWCONN_HANDLE connection = 0;
        std::string server, volume, path;
        ASSERT_EQ(U_PathToNWPath("\\\\FS1\\SYS\\DATA", connection, server, volume, path), 0);
        TStringList found;
        const NWCCODE code = U_NWScanTrustees(Context(), connection, "SYS:DATA", found);
        EXPECT_TRUE(code == 0 || code == NweNoMoreTrustees) << count << ": " << code;
        ASSERT_EQ(found.Count(), count);
        for (int i = 0; i < count; ++i) EXPECT_NE(found.Strings(i).find("t" + std::to_string(i)), std::string::npos);
    }
}

TEST_F(Limits, AttributePathsAnswerWhateverTheOrderOfTheMembersAndStopAtAQuarterMillionLines) {
    // A member without the attribute made the whole path fail when it came last, so the phones
    // of the others were lost; in the other order they were found.
    std::string ldif = Base + "telephoneNumber: 111\n"
                              "\ndn: cn=b,o=x\nobjectClass: inetOrgPerson\nsn: B\n"
                              "\ndn: cn=last,o=x\nobjectClass: groupOfNames\nmember: cn=admin,o=x\nmember: cn=b,o=x\n"
                              "\ndn: cn=first,o=x\nobjectClass: groupOfNames\nmember: cn=b,o=x\nmember: cn=admin,o=x\n"
                              "\ndn: cn=none,o=x\nobjectClass: groupOfNames\nmember: cn=b,o=x\n";
    // Three groups each of which holds the other two: every "|Member" doubles the lines.
    ldif += "\ndn: cn=ga,o=x\nobjectClass: groupOfNames\nmember: cn=gb,o=x\nmember: cn=gc,o=x\n"
            "\ndn: cn=gb,o=x\nobjectClass: groupOfNames\nmember: cn=ga,o=x\nmember: cn=gc,o=x\n"
            "\ndn: cn=gc,o=x\nobjectClass: groupOfNames\nmember: cn=ga,o=x\nmember: cn=gb,o=x\n";
    ASSERT_TRUE(Install("X", ldif));
    for (const char* group : {".last.x", ".first.x"}) {
        TStringList phones;
        EXPECT_EQ(U_DSGetAttributeEx(Context(), group, "Member|Telephone Number", phones), 0) << group;
        ASSERT_EQ(phones.Count(), 1) << group;
        EXPECT_EQ(phones.Strings(0), "111");
        std::string text;
        EXPECT_EQ(U_DSGetAttributeText(Context(), group, "Member|Telephone Number", text), 0);
        EXPECT_EQ(text, "111");
    }
    // No member has one: the path fails as a read of the attribute does.
    TStringList none;
    EXPECT_EQ(U_DSGetAttributeEx(Context(), ".none.x", "Member|Telephone Number", none), ErrNoSuchAttribute);
    EXPECT_EQ(none.Count(), 0);

    std::string path = "Member";
    for (int i = 0; i < 4; ++i) path += "|Member";
    TStringList small;
    ASSERT_EQ(U_DSGetAttributeEx(Context(), ".ga.x", path, small), 0);
    EXPECT_EQ(small.Count(), 32);   // 2^5 names: lines are kept however often an object is reached
    for (int i = 0; i < 40; ++i) path += "|Member";
    TStringList huge;
    EXPECT_EQ(U_DSGetAttributeEx(Context(), ".ga.x", path, huge), ErrInsufficientBuffer);
}

} // namespace era
