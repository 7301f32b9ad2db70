#include "client_fixture.h"

#include <algorithm>

namespace era {

using namespace era::test;

namespace {

// The texts of the ACL values of an object, as "privileges subject / attribute".
std::vector<std::string> AclTexts(TDirectoryClient& client, NWDSContextHandle context, const std::string& object) {
    std::vector<std::string> texts;
    auto read = ReadAll(client, context, object, "ACL");
    EXPECT_EQ(read.Code, 0);
    EXPECT_EQ(read.Syntax, uint32_t{SynObjectACL});
    for (const auto& value : read.Values) {
        const auto& acl = std::get<TObjectACL>(value);
        texts.push_back(std::to_string(acl.Privileges) + " " + acl.SubjectName + " / " + acl.ProtectedAttrName);
    }
    return texts;
}

} // namespace

TEST(SnapshotDirectory, NameValuesComeBackInTheContextsForm) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    struct TCase {
        uint32_t Flags;
        const char* NameContext;
        std::vector<std::string> Members;
    };
    const TCase cases[] = {
        {DcvTypelessNames | DcvCanonicalizeNames, "[Root]", {"ann.sales.acme", "bob.east.sales.acme", "gone.acme"}},
        {DcvTypelessNames | DcvCanonicalizeNames, "sales.acme", {"ann", "bob.east", ".gone.acme"}},
        {DcvCanonicalizeNames, "sales.acme", {"CN=ann", "CN=bob.OU=east", ".CN=gone.O=acme"}},
        {0, "sales.acme", {"CN=ann.OU=sales.O=acme", "CN=bob.OU=east.OU=sales.O=acme", "CN=gone.O=acme"}},
        {DcvTypelessNames, "east.sales.acme", {"ann.sales.acme", "bob.east.sales.acme", "gone.acme"}},
    };
    for (const auto& c : cases) {
        TContext context(*client);
        context.SetFlags(c.Flags);
        context.SetNameContext(c.NameContext);
        auto read = ReadAll(*client, context, ".staff.sales.acme", "Member");
        ASSERT_EQ(read.Code, 0);
        EXPECT_EQ(read.Syntax, uint32_t{SynDistName});
        EXPECT_EQ(Texts(read.Values), c.Members) << "flags " << c.Flags << " in " << c.NameContext;
    }
}

TEST(SnapshotDirectory, AclValuesCarryTheScopeInBit40) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    std::vector<std::string> expected = {
        "66 ann.sales.acme / [Entry Rights]",            // entry scope: not inherited, 0x40 set
        "66 ann.sales.acme / [All Attributes Rights]",   // subtree scope: inherited, 0x40 set
        "4 [Public] / Telephone Number",                 // entry scope on an attribute: 0x40 clear
        "1 [Inheritance Mask] / [Entry Rights]",
        "8 gone.acme / [Entry Rights]",                  // a subject that is no longer in the tree
        "67 [Root] / [All Attributes Rights]",
    };
    EXPECT_EQ(AclTexts(*client, context, "sales.acme"), expected);
    // [Root] is an object like any other: its ACL reads by that name.
    EXPECT_EQ(AclTexts(*client, context, "[Root]"),
              (std::vector<std::string>{"16 admin.acme / [Entry Rights]", "1 [Public] / [Entry Rights]"}));
}

TEST(SnapshotDirectory, MissingObjectsAndAttributesGiveTheDirectoryCodes) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    EXPECT_EQ(ReadAll(*client, context, "nobody.acme", "CN").Code, ErrNoSuchEntry);
    EXPECT_EQ(ReadAll(*client, context, "[Public]", "ACL").Code, ErrNoSuchEntry);
    EXPECT_EQ(ReadAll(*client, context, "ann.sales.acme", "Title").Code, ErrNoSuchAttribute);
    EXPECT_EQ(ReadAll(*client, context, "ann.sales.acme", "No Such Thing").Code, ErrNoSuchAttribute);
    EXPECT_EQ(ReadAll(*client, context, "a..b", "CN").Code, ErrIllegalDsName);
    EXPECT_EQ(ReadAll(*client, 9999, "ann.sales.acme", "CN").Code, ErrBadContext);
    // Attribute names in any letter case.
    EXPECT_EQ(Texts(ReadAll(*client, context, "ANN.Sales.acme", "full name").Values),
              std::vector<std::string>{"Ann Smith"});
    std::string name;
    TObjectInfo info;
    EXPECT_EQ(client->NWDSReadObjectInfo(context, "nobody.acme", name, info), ErrNoSuchEntry);
    EXPECT_TRUE(name.empty());
}

TEST(SnapshotDirectory, ValuesKeepFileOrderAndTheirSyntax) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames);
    auto phones = ReadAll(*client, context, "admin.acme", "Telephone Number");
    EXPECT_EQ(phones.Syntax, uint32_t{SynTelNumber});
    EXPECT_EQ(Texts(phones.Values), (std::vector<std::string>{"+1 555 0101", "+1 555 0102"}));

    auto disabled = ReadAll(*client, context, "admin.acme", "Login Disabled");
    ASSERT_EQ(disabled.Values.size(), 1u);
    EXPECT_EQ(std::get<TBooleanValue>(disabled.Values[0]).Value, 0);
    auto grace = ReadAll(*client, context, "admin.acme", "Login Grace Limit");
    ASSERT_EQ(grace.Values.size(), 1u);
    EXPECT_EQ(std::get<TIntegerValue>(grace.Values[0]).Value, 6);
    auto login = ReadAll(*client, context, "admin.acme", "Last Login Time");
    ASSERT_EQ(login.Values.size(), 1u);
    EXPECT_EQ(std::get<TTimeStamp>(login.Values[0]).WholeSeconds, 1257147912u);   // 2009-11-02 07:45:12 UTC
    auto home = ReadAll(*client, context, "admin.acme", "Home Directory");
    ASSERT_EQ(home.Values.size(), 1u);
    const auto& path = std::get<TPathValue>(home.Values[0]);
    EXPECT_EQ(path.VolumeName, "FS1_SYS.acme");
    EXPECT_EQ(path.Path, "USERS\\ADMIN");
    auto address = ReadAll(*client, context, "admin.acme", "Network Address");
    ASSERT_EQ(address.Values.size(), 1u);
    const auto& net = std::get<TNetAddress>(address.Values[0]);
    EXPECT_EQ(net.AddressType, 9u);
    EXPECT_EQ(net.Address, (std::vector<uint8_t>{0x02, 0x0C, 0x0A, 0x00, 0x00, 0x01}));
    // Class names come mapped; creatorsName stays in the comma form the directory gives.
    EXPECT_EQ(Texts(ReadAll(*client, context, "admin.acme", "Object Class").Values),
              (std::vector<std::string>{"User", "Organizational Person", "ndsLoginProperties", "Top"}));
    EXPECT_EQ(Texts(ReadAll(*client, context, "admin.acme", "creatorsName").Values),
              std::vector<std::string>{"cn=admin,o=acme"});
}

TEST(SnapshotDirectory, AliasesDereferenceOnlyWithFlagOne) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvDerefAliases);
    EXPECT_EQ(Texts(ReadAll(*client, context, "ann-alias.acme", "Full Name").Values),
              std::vector<std::string>{"Ann Smith"});
    std::string name;
    TObjectInfo info;
    ASSERT_EQ(client->NWDSReadObjectInfo(context, "ann-alias.acme", name, info), 0);
    EXPECT_EQ(name, "ann.sales.acme");
    EXPECT_EQ(info.BaseClass, "User");
    // With flag 1 off the alias itself: its own "Aliased Object Name", its own class.
    context.SetFlags(DcvTypelessNames);
    EXPECT_EQ(Texts(ReadAll(*client, context, "ann-alias.acme", "aliased object name").Values),
              std::vector<std::string>{"ann.sales.acme"});
    EXPECT_EQ(ReadAll(*client, context, "ann-alias.acme", "Full Name").Code, ErrNoSuchAttribute);
    ASSERT_EQ(client->NWDSReadObjectInfo(context, "ann-alias.acme", name, info), 0);
    EXPECT_EQ(name, "ann-alias.acme");
    EXPECT_EQ(info.BaseClass, "Alias");
    EXPECT_EQ(info.ObjectFlags & DsAliasEntry, DsAliasEntry);
}

TEST(SnapshotDirectory, ObjectInformationAndItsFields) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    context.SetNameContext("sales.acme");
    std::string name;
    TObjectInfo info;
    ASSERT_EQ(client->NWDSReadObjectInfo(context, "east", name, info), 0);
    EXPECT_EQ(name, "east.sales.acme");   // the full name, never abbreviated
    EXPECT_EQ(info.ObjectFlags & DsContainerEntry, DsContainerEntry);
    EXPECT_EQ(info.SubordinateCount, 1u);
    EXPECT_EQ(info.BaseClass, "Organizational Unit");
    ASSERT_EQ(client->NWDSReadObjectInfo(context, ".acme", name, info), 0);
    EXPECT_EQ(info.ModificationTime, 1255599000u);   // 2009-10-15 09:30:00 UTC
    EXPECT_EQ(info.SubordinateCount, 5u);
    ASSERT_EQ(client->NWDSReadObjectInfo(context, "[Root]", name, info), 0);
    EXPECT_EQ(name, "[Root]");
    EXPECT_EQ(info.BaseClass, "Tree Root");
    EXPECT_EQ(info.SubordinateCount, 2u);   // acme and US

    struct TField {
        const char* Object;
        uint32_t Field;
        const char* Text;
    };
    const TField fields[] = {
        {"ann", DsiEntryDn, "ann.sales.acme"},   {"ann", DsiParentDn, "sales.acme"},
        {"ann", DsiRdn, "ann"},                  {"ann", DsiBaseClass, "User"},
        {".acme", DsiParentDn, "[Root]"},        {"[Root]", DsiParentDn, ""},
        {"[Root]", DsiRdn, "[Root]"},            {".carl.Boston.US", DsiParentDn, "Boston.US"},
        {".carl.Boston.US", DsiBaseClass, "User"},
    };
    TDSBuffer buffer(DefaultMessageLen);
    for (const auto& f : fields) {
        ASSERT_EQ(client->NWDSSetContext(context, DckDsiFlags, f.Field), 0);
        ASSERT_EQ(client->NWDSReadObjectDSIInfo(context, f.Object, buffer), 0) << f.Object;
        std::string text;
        EXPECT_EQ(client->NWDSGetDSIInfo(context, buffer, f.Field, text), 0);
        EXPECT_EQ(text, f.Text) << f.Object << " field " << f.Field;
        // Only the selected field is there.
        uint32_t number = 0;
        EXPECT_NE(client->NWDSGetDSIInfo(context, buffer, DsiModificationTime, number), 0);
    }
    context.SetFlags(DcvCanonicalizeNames);
    ASSERT_EQ(client->NWDSSetContext(context, DckDsiFlags, DsiEntryDn | DsiRdn | DsiCreationTime | DsiModificationTime), 0);
    ASSERT_EQ(client->NWDSReadObjectDSIInfo(context, ".carl.Boston.US", buffer), 0);
    std::string text;
    EXPECT_EQ(client->NWDSGetDSIInfo(context, buffer, DsiEntryDn, text), 0);
    EXPECT_EQ(text, "CN=carl.L=Boston.C=US");
    EXPECT_EQ(client->NWDSGetDSIInfo(context, buffer, DsiRdn, text), 0);
    EXPECT_EQ(text, "CN=carl");
    uint32_t seconds = 99;
    EXPECT_EQ(client->NWDSGetDSIInfo(context, buffer, DsiCreationTime, seconds), 0);
    EXPECT_EQ(seconds, 0u);   // the file gives no creation time
    ASSERT_EQ(client->NWDSReadObjectDSIInfo(context, ".admin.acme", buffer), 0);
    EXPECT_EQ(client->NWDSGetDSIInfo(context, buffer, DsiCreationTime, seconds), 0);
    EXPECT_EQ(seconds, 1251792000u);   // 2009-09-01 08:00:00 UTC
}

TEST(SnapshotDirectory, CanonicalNamesAreFullWithoutCheckingExistence) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetNameContext("sales.acme");
    struct TCase {
        uint32_t Flags;
        const char* Name;
        const char* Canonical;
    };
    const TCase cases[] = {
        {DcvTypelessNames | DcvCanonicalizeNames, "ann", "ann.sales.acme"},
        {DcvTypelessNames, "bob.east", "bob.east.sales.acme"},
        {0, "bob.east", "CN=bob.OU=east.OU=sales.O=acme"},
        {0, "newuser", "CN=newuser.OU=sales.O=acme"},
        {0, "x.y.", "CN=x.OU=y.O=acme"},
        {0, ".carl.Boston.US", "CN=carl.L=Boston.C=US"},
        {DcvTypelessNames, "[Root]", "[Root]"},
        {0, "[Public]", "[Public]"},
    };
    for (const auto& c : cases) {
        context.SetFlags(c.Flags);
        std::string canonical;
        ASSERT_EQ(client->NWDSCanonicalizeName(context, c.Name, canonical), 0) << c.Name;
        EXPECT_EQ(canonical, c.Canonical);
    }
    std::string canonical;
    EXPECT_EQ(client->NWDSCanonicalizeName(context, "a...", canonical), ErrIllegalDsName);
}

TEST(SnapshotDirectory, ListingsGoByContainerInFileOrder) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    context.SetNameContext("sales.acme");   // as a listing sets it: names come back relative
    auto all = ListAll(*client, context, ".sales.acme", false);
    ASSERT_EQ(all.Code, 0);
    EXPECT_EQ(all.Names, (std::vector<std::string>{"ann", "a\\.b", "east", "staff"}));
    EXPECT_EQ(all.Infos[2].ObjectFlags & DsContainerEntry, DsContainerEntry);
    EXPECT_EQ(all.Infos[3].BaseClass, "Group");
    auto containers = ListAll(*client, context, ".sales.acme", true);
    EXPECT_EQ(containers.Names, std::vector<std::string>{"east"});
    auto top = ListAll(*client, context, "[Root]", false);
    EXPECT_EQ(top.Names, (std::vector<std::string>{".acme", ".US"}));
    auto leaf = ListAll(*client, context, "ann", false);
    EXPECT_EQ(leaf.Code, 0);
    EXPECT_TRUE(leaf.Names.empty());
    EXPECT_EQ(ListAll(*client, context, "nothing", false).Code, ErrNoSuchEntry);
}

TEST(SnapshotDirectory, WhoAmIAndIdsFollowTheConnections) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    std::string name;
    ASSERT_EQ(client->NWDSWhoAmI(context, name), 0);
    EXPECT_EQ(name, "admin.acme");
    NWCONN_REF reference = 0;
    NWCONN_HANDLE connection = 0;
    ASSERT_EQ(client->NWCCGetPrimConnRef(reference), 0);
    ASSERT_EQ(client->NWCCOpenConnByRef(reference, 1, 0, connection), 0);
    NWObjectID id = 0;
    ASSERT_EQ(client->NWDSMapNameToID(context, connection, "admin.acme", id), 0);
    EXPECT_EQ(id, 4096u);   // its localEntryID
    ASSERT_EQ(client->NWDSMapIDToName(context, connection, id, name), 0);
    EXPECT_EQ(name, "admin.acme");
    ASSERT_EQ(client->NWDSMapNameToID(context, connection, "ann.sales.acme", id), 0);
    EXPECT_GE(id, 0x8001u);   // assigned: the file gives none
    ASSERT_EQ(client->NWDSMapIDToName(context, connection, id, name), 0);
    EXPECT_EQ(name, "ann.sales.acme");
    EXPECT_EQ(client->NWDSMapIDToName(context, connection, 0x1234, name), ErrNoSuchEntry);
    EXPECT_EQ(client->NWDSMapIDToName(context, 77, id, name), NweInvalidConnection);
    ASSERT_EQ(client->NWDSMapIDToName(context, connection, PublicTrusteeID, name), 0);
    EXPECT_EQ(name, "[Public]");
    ASSERT_EQ(client->NWDSGetServerDN(context, connection, name), 0);
    EXPECT_EQ(name, "FS1.acme");

    // In a tree without a logged-in user nobody is there.
    ASSERT_EQ(client->NWDSSetContext(context, DckTreeName, std::string("OTHER_TREE")), 0);
    EXPECT_EQ(client->NWDSWhoAmI(context, name), ErrNotLoggedIn);
    EXPECT_TRUE(name.empty());
}

TEST(SnapshotDirectory, SyntaxIdsAndStreams) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    uint32_t syntax = 0;
    ASSERT_EQ(client->NWDSGetSyntaxID(context, "security equals", syntax), 0);
    EXPECT_EQ(syntax, uint32_t{SynDistName});
    ASSERT_EQ(client->NWDSGetSyntaxID(context, "Title", syntax), 0);   // known though nobody holds it
    EXPECT_EQ(syntax, uint32_t{SynCiString});
    EXPECT_EQ(client->NWDSGetSyntaxID(context, "Nothing Like It", syntax), ErrNoSuchAttribute);

    auto script = ReadAll(*client, context, "admin.acme", "Login Script");
    EXPECT_EQ(script.Syntax, uint32_t{SynStream});
    int32_t file = -1;
    ASSERT_EQ(client->NWDSOpenStream(context, "admin.acme", "Login Script", 1, file), 0);
    std::string text;
    std::array<uint8_t, 7> chunk{};
    uint32_t got = 0;
    do {
        ASSERT_EQ(client->NWStreamRead(file, chunk, got), 0);
        text.append(chunk.begin(), chunk.begin() + got);
    } while (got > 0);
    EXPECT_EQ(text, "MAP F:=FS1/SYS:\r\nWRITE \"Hello\"\r\n");
    EXPECT_EQ(client->NWStreamClose(file), 0);
    EXPECT_EQ(client->NWStreamRead(file, chunk, got), ErrInvalidHandle);
    EXPECT_EQ(client->NWDSOpenStream(context, "admin.acme", "Full Name", 1, file), ErrIllegalAttributeSyntax);
    EXPECT_EQ(client->NWDSOpenStream(context, "ann.sales.acme", "Login Script", 1, file), ErrNoSuchAttribute);
    EXPECT_EQ(client->NWDSOpenStream(context, "admin.acme", "Login Script", 2, file), ErrNoAccess);
}

TEST(SnapshotDirectory, HoldersAreIndexedByAttributeAndTarget) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees.at(0));
    auto find = [&](const char* name) {
        TResolvedName resolved;
        EXPECT_EQ(ResolveInputName(name, {}, resolved), 0);
        return tree.FindObject(resolved.Parts);
    };
    uint32_t staff = find(".staff.sales.acme");
    uint32_t ann = find(".ann.sales.acme");
    ASSERT_NE(staff, NoObject);
    auto names = [&](const std::vector<uint32_t>& objects) {
        std::vector<std::string> out;
        for (uint32_t o : objects) out.push_back(WriteFullName(tree.FullName(o), false));
        return out;
    };
    EXPECT_EQ(names(tree.Holders(tree.FindAttribute("Security Equals"), staff)),
              (std::vector<std::string>{"admin.acme", "ann.sales.acme", "bob.east.sales.acme"}));
    EXPECT_EQ(names(tree.Holders(tree.FindAttribute("Security Equals"), ann)),
              std::vector<std::string>{"bob.east.sales.acme"});
    EXPECT_EQ(names(tree.Holders(tree.FindAttribute("Member"), ann)), std::vector<std::string>{"staff.sales.acme"});
    EXPECT_EQ(names(tree.Holders(tree.FindAttribute("ACL"), ann)), std::vector<std::string>{"sales.acme"});
    EXPECT_EQ(names(tree.Holders(tree.FindAttribute("ACL"), RootObject)), std::vector<std::string>{"sales.acme"});
    EXPECT_TRUE(tree.Holders(tree.FindAttribute("Member"), staff).empty());
}

} // namespace era
