// The live directory against a real slapd holding the sample tree: names, reads, object
// information, paged listings, streams, IDs and the file system of a server in an LDAP tree,
// each compared with what the embedded directory answers for the same LDIF.

#include "client_fixture.h"
#include "ldap_server.h"

#include "directory/connections.h"
#include "directory/context.h"

#include <algorithm>
#include <cstring>

namespace era::test {
namespace {

class LdapDirectoryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new TSlapd(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_ && server_->Running());
        ldap_ = LoadLdap(server_->WriteWorkstation("workstation.json"));
        ASSERT_TRUE(ldap_);
        ASSERT_EQ(ldap_->NWCallsInit(), 0) << ldap_->LastError();
        snapshot_ = Load(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json");
        ASSERT_TRUE(snapshot_);
    }
    static TSlapd* server_;
    std::unique_ptr<TLdapWorkstation> ldap_;
    std::unique_ptr<TWorkstationClient> snapshot_;
};
TSlapd* LdapDirectoryTest::server_ = nullptr;

// Every object of the sample tree, by its full name.
std::vector<std::string> SampleObjects(TDirectoryClient& client) {
    std::vector<std::string> names{"[Root]"};
    TContext context(client);
    for (size_t i = 0; i < names.size(); ++i) {
        auto list = ListAll(client, context, i == 0 ? "[Root]" : "." + names[i], false);
        for (const auto& name : list.Names) names.push_back(name);
    }
    return names;
}

std::string Describe(const TAttrValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, TTextValue>) return "text:" + v.Text;
            else if constexpr (std::is_same_v<T, TObjectACL>)
                return "acl:" + v.SubjectName + "/" + v.ProtectedAttrName + "/" + std::to_string(v.Privileges);
            else if constexpr (std::is_same_v<T, TBooleanValue>) return "bool:" + std::to_string(v.Value);
            else if constexpr (std::is_same_v<T, TIntegerValue>) return "int:" + std::to_string(v.Value);
            else if constexpr (std::is_same_v<T, TTimeStamp>) return "time:" + std::to_string(v.WholeSeconds);
            else if constexpr (std::is_same_v<T, TPathValue>)
                return "path:" + std::to_string(v.NameSpaceType) + "/" + v.VolumeName + "/" + v.Path;
            else if constexpr (std::is_same_v<T, TOctetString>) return "octets:" + std::string(v.Data.begin(), v.Data.end());
            else if constexpr (std::is_same_v<T, TNetAddress>)
                return "net:" + std::to_string(v.AddressType) + "/" + std::string(v.Address.begin(), v.Address.end());
            else return "other";
        },
        value);
}

TEST_F(LdapDirectoryTest, ListsTheSameTreeAsTheEmbeddedDirectory) {
    auto live = SampleObjects(*ldap_);
    auto embedded = SampleObjects(*snapshot_);
    // The server keeps its own order of subordinates; the tree is the same.
    std::sort(live.begin(), live.end());
    std::sort(embedded.begin(), embedded.end());
    EXPECT_EQ(live, embedded);
    EXPECT_EQ(live.size(), 42u);   // [Root] and the 41 entries of acme.ldif
}

TEST_F(LdapDirectoryTest, ReadsEveryAttributeValueAsTheEmbeddedDirectoryDoes) {
    TContext liveContext(*ldap_), embeddedContext(*snapshot_);
    liveContext.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    embeddedContext.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    const char* attributes[] = {"ACL",           "Security Equals", "Group Membership", "Equivalent To Me", "Member",
                                "Object Class",  "Full Name",       "Telephone Number", "Home Directory",
                                "Login Disabled", "Last Login Time", "Network Address", "Aliased Object Name",
                                "Host Server",   "createTimestamp", "Role Occupant",    "localEntryID"};
    int compared = 0;
    for (const auto& object : SampleObjects(*snapshot_)) {
        std::string name = object == "[Root]" ? object : "." + object;
        for (const char* attribute : attributes) {
            // slapadd stamps the tree root, which the export gives no times.
            if (object == "[Root]" && std::string(attribute) == "createTimestamp") continue;
            auto live = ReadAll(*ldap_, liveContext, name, attribute);
            auto embedded = ReadAll(*snapshot_, embeddedContext, name, attribute);
            ASSERT_EQ(live.Code, embedded.Code) << name << " " << attribute;
            if (embedded.Code != 0) continue;
            EXPECT_EQ(live.Syntax, embedded.Syntax) << name << " " << attribute;
            std::vector<std::string> a, b;
            for (const auto& v : live.Values) a.push_back(Describe(v));
            for (const auto& v : embedded.Values) b.push_back(Describe(v));
            EXPECT_EQ(a, b) << name << " " << attribute;
            compared += static_cast<int>(b.size());
        }
    }
    EXPECT_GT(compared, 400);
}

TEST_F(LdapDirectoryTest, ReadsValuesInBatchesOfTheCallersBuffer) {
    TContext context(*ldap_);
    auto whole = ReadAll(*ldap_, context, ".everyone.acme", "Member");
    auto small = ReadAll(*ldap_, context, ".everyone.acme", "Member", 200);
    ASSERT_EQ(whole.Code, 0);
    EXPECT_EQ(whole.Batches, 1);
    EXPECT_EQ(Texts(small.Values), Texts(whole.Values));
    EXPECT_EQ(Texts(whole.Values).size(), 24u);
    EXPECT_GT(small.Batches, 3);
    EXPECT_EQ(ReadAll(*ldap_, context, ".everyone.acme", "Member", 8).Code, ErrInsufficientBuffer);
    EXPECT_EQ(ReadAll(*ldap_, context, ".everyone.acme", "Login Script").Code, ErrNoSuchAttribute);
    EXPECT_EQ(ReadAll(*ldap_, context, ".nobody.acme", "Member").Code, ErrNoSuchEntry);
}

TEST_F(LdapDirectoryTest, GivesObjectInformationAndItsFields) {
    struct TCase {
        const char* Name;
        const char* Full;
        const char* BaseClass;
        bool Container;
    } cases[] = {
        {"[Root]", "[Root]", "Tree Root", true},
        {".acme", "acme", "Organization", true},
        {".east.sales.acme", "east.sales.acme", "Organizational Unit", true},
        {".jdoe.east.sales.acme", "jdoe.east.sales.acme", "User", false},
        {".jane.hr.acme", "jdoe.east.sales.acme", "User", false},   // the alias stands for jdoe
        {".FS1.it.acme", "FS1.it.acme", "NCP Server", false},
    };
    TContext context(*ldap_);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames | DcvDerefAliases);
    for (const auto& c : cases) {
        std::string full;
        TObjectInfo info;
        ASSERT_EQ(ldap_->NWDSReadObjectInfo(context, c.Name, full, info), 0) << c.Name;
        EXPECT_EQ(full, c.Full);
        EXPECT_EQ(info.BaseClass, c.BaseClass) << c.Name;
        EXPECT_EQ((info.ObjectFlags & DsContainerEntry) != 0, c.Container) << c.Name;
    }
    // The fields, through the access layer, equal the embedded directory's.
    for (auto* client : {static_cast<TDirectoryClient*>(ldap_.get()), static_cast<TDirectoryClient*>(snapshot_.get())}) {
        auto previous = InstallClient(std::unique_ptr<TDirectoryClient>(client));
        TDSContext ctx;
        ASSERT_EQ(TDSContext::Create(ctx), 0);
        EXPECT_EQ(U_DSGetParentName(ctx.Get(), ".jdoe.east.sales.acme"), ".east.sales.acme");
        EXPECT_EQ(U_DSGetParentName(ctx.Get(), ".acme"), "[Root]");
        EXPECT_EQ(U_DSGetRDN(ctx.Get(), ".east.sales.acme"), "east");
        EXPECT_EQ(U_DSGetBaseClass(ctx.Get(), ".helpdesk.it.acme"), "Organizational Role");
        EXPECT_EQ(U_DSGetBaseClass(ctx.Get(), ".jane.hr.acme"), "User");
        EXPECT_DOUBLE_EQ(U_DSGetCreateTime(ctx.Get(), ".acme"), 1251792000 / 86400.0 + 25569.0);
        EXPECT_DOUBLE_EQ(U_DSGetModifyTime(ctx.Get(), ".acme"), 1254398400 / 86400.0 + 25569.0);
        std::string parent;
        EXPECT_EQ(U_DSGetParentName(ctx.Get(), ".gone.acme", parent), ErrNoSuchEntry);
        ctx.Reset();
        InstallClient(std::move(previous)).release();
    }
}

TEST_F(LdapDirectoryTest, ResolvesNamesWhoseTypesAreNotTheUsualGuess) {
    // "east" is an OU although it stands leftmost; "sales.acme" in typed form from the server.
    TContext context(*ldap_);
    context.SetFlags(0);   // typed names out
    std::string full;
    TObjectInfo info;
    ASSERT_EQ(ldap_->NWDSReadObjectInfo(context, ".east.sales.acme", full, info), 0);
    EXPECT_EQ(full, "OU=east.OU=sales.O=acme");
    ASSERT_EQ(ldap_->NWDSReadObjectInfo(context, ".CN=admin.O=acme", full, info), 0);
    EXPECT_EQ(full, "CN=admin.O=acme");
    // Names compare without their types, as in the embedded directory: wrong types still find it.
    ldap_->ClearCache();
    ASSERT_EQ(ldap_->NWDSReadObjectInfo(context, ".CN=west.CN=sales.O=acme", full, info), 0);
    EXPECT_EQ(full, "OU=west.OU=sales.O=acme");
    TContext embedded(*snapshot_);
    embedded.SetFlags(0);
    ASSERT_EQ(snapshot_->NWDSReadObjectInfo(embedded, ".CN=west.CN=sales.O=acme", full, info), 0);
    EXPECT_EQ(full, "OU=west.OU=sales.O=acme");
    std::string canonical;
    ASSERT_EQ(ldap_->NWDSCanonicalizeName(context, ".projects.east.sales.acme", canonical), 0);
    EXPECT_EQ(canonical, "CN=projects.OU=east.OU=sales.O=acme");   // not read yet: the usual types
    ASSERT_EQ(ldap_->NWDSReadObjectInfo(context, ".projects.east.sales.acme", full, info), 0);
    ASSERT_EQ(ldap_->NWDSCanonicalizeName(context, ".projects.east.sales.acme", canonical), 0);
    EXPECT_EQ(canonical, "OU=projects.OU=east.OU=sales.O=acme");   // now as the server named it
}

TEST_F(LdapDirectoryTest, ListsPagePerBatchPastOnePage) {
    TContext context(*ldap_);
    ASSERT_EQ(ldap_->NWDSSetContext(context, DckTreeName, std::string("FIXTURE_TREE")), 0);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    uint64_t before = ldap_->RoundTrips("FIXTURE_TREE");
    auto all = ListAll(*ldap_, context, ".paged.fixture", false);
    ASSERT_EQ(all.Code, 0);
    EXPECT_EQ(all.Names.size(), 14u);
    EXPECT_EQ(all.Batches, 4);   // pages of 4: 4 + 4 + 4 + 2
    EXPECT_TRUE(all.EveryBatchHadEntries);
    // Finding the container (cn=paged, the usual guess, is not there; then o=fixture and a search
    // of its subordinates), then one round trip per page.
    EXPECT_EQ(ldap_->RoundTrips("FIXTURE_TREE") - before, 3u + 4u);
    before = ldap_->RoundTrips("FIXTURE_TREE");
    EXPECT_EQ(ListAll(*ldap_, context, ".paged.fixture", false).Names.size(), 14u);
    EXPECT_EQ(ldap_->RoundTrips("FIXTURE_TREE") - before, 4u);   // the container is known now
    auto containers = ListAll(*ldap_, context, ".paged.fixture", true);
    ASSERT_EQ(containers.Code, 0);
    EXPECT_EQ(containers.Names, (std::vector<std::string>{"sub06.paged.fixture", "sub13.paged.fixture"}));
    EXPECT_TRUE(containers.EveryBatchHadEntries);
    // Listed names are relative to the context's name context, as the embedded directory gives them.
    context.SetNameContext("paged.fixture");
    auto relative = ListAll(*ldap_, context, ".paged.fixture", true);
    EXPECT_EQ(relative.Names, (std::vector<std::string>{"sub06", "sub13"}));
    // The root of a tree without a tree-root entry holds the configured base.
    auto root = ListAll(*ldap_, context, "[Root]", false);
    EXPECT_EQ(root.Names, (std::vector<std::string>{".fixture"}));
}

TEST_F(LdapDirectoryTest, ReadsStreamsAndKnowsWhoIsLoggedIn) {
    TContext context(*ldap_);
    TContext embedded(*snapshot_);
    for (auto* object : {".jdoe.east.sales.acme", ".acme"}) {
        std::string texts[2];
        TDirectoryClient* clients[2] = {ldap_.get(), snapshot_.get()};
        NWDSContextHandle contexts[2] = {context, embedded};
        for (int i = 0; i < 2; ++i) {
            int32_t handle = -1;
            ASSERT_EQ(clients[i]->NWDSOpenStream(contexts[i], object, "Login Script", 1, handle), 0);
            std::array<uint8_t, 7> chunk{};
            uint32_t got = 0;
            do {
                ASSERT_EQ(clients[i]->NWStreamRead(handle, chunk, got), 0);
                texts[i].append(chunk.begin(), chunk.begin() + got);
            } while (got > 0);
            EXPECT_EQ(clients[i]->NWStreamClose(handle), 0);
        }
        EXPECT_EQ(texts[0], texts[1]);
        EXPECT_NE(texts[0].find("MAP ROOT"), std::string::npos);
    }
    int32_t handle = -1;
    EXPECT_EQ(ldap_->NWDSOpenStream(context, ".admin.acme", "Login Script", 1, handle), ErrNoSuchAttribute);
    EXPECT_EQ(ldap_->NWDSOpenStream(context, ".jdoe.east.sales.acme", "Login Script", 2, handle), ErrNoAccess);

    std::string me;
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    ASSERT_EQ(ldap_->NWDSWhoAmI(context, me), 0);
    EXPECT_EQ(me, "admin.acme");   // the server's Who-am-I answer for the bind DN
    TContext fixture(*ldap_);
    ASSERT_EQ(ldap_->NWDSSetContext(fixture, DckTreeName, std::string("FIXTURE_TREE")), 0);
    EXPECT_EQ(ldap_->NWDSWhoAmI(fixture, me), ErrNotLoggedIn);   // an anonymous bind
}

TEST_F(LdapDirectoryTest, AssignsObjectIdsPerSessionAndKeepsTheWorkstationsOwn) {
    TContext context(*ldap_);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames | DcvDerefAliases);
    NWCONN_HANDLE connection = 0;
    NWCONN_REF reference = 0;
    ASSERT_EQ(ldap_->NWCCGetPrimConnRef(reference), 0);
    ASSERT_EQ(ldap_->NWCCOpenConnByRef(reference, 1, 0, connection), 0);
    // The user of the connection keeps the ID the workstation file gave it.
    std::array<uint8_t, 4> buffer{};
    ASSERT_EQ(ldap_->NWCCGetConnInfo(connection, NwccInfoUserID, buffer), 0);
    NWObjectID user = 0;
    std::memcpy(&user, buffer.data(), 4);
    std::string name;
    ASSERT_EQ(ldap_->NWDSMapIDToName(context, connection, user, name), 0);
    EXPECT_EQ(name, "admin.acme");
    NWObjectID id = 0;
    ASSERT_EQ(ldap_->NWDSMapNameToID(context, connection, ".admin.acme", id), 0);
    EXPECT_EQ(id, user);
    // A name the server returns gets an ID for the session, the same one each time.
    NWObjectID jdoe = 0, again = 0;
    ASSERT_EQ(ldap_->NWDSMapNameToID(context, connection, ".jdoe.east.sales.acme", jdoe), 0);
    ASSERT_EQ(ldap_->NWDSMapNameToID(context, connection, ".JDOE.east.sales.acme", again), 0);
    EXPECT_EQ(jdoe, again);
    EXPECT_NE(jdoe, user);
    ASSERT_EQ(ldap_->NWDSMapIDToName(context, connection, jdoe, name), 0);
    EXPECT_EQ(name, "jdoe.east.sales.acme");
    EXPECT_EQ(ldap_->NWDSMapNameToID(context, connection, ".jane.hr.acme", again), 0);   // the alias: jdoe
    EXPECT_EQ(again, jdoe);
    EXPECT_EQ(ldap_->NWDSMapNameToID(context, connection, ".nobody.acme", id), ErrNoSuchEntry);
    EXPECT_EQ(ldap_->NWDSMapIDToName(context, connection, 0x7777, name), ErrNoSuchEntry);
    std::string server;
    ASSERT_EQ(ldap_->NWDSGetServerDN(context, connection, server), 0);
    EXPECT_EQ(server, "FS1.it.acme");
}

TEST_F(LdapDirectoryTest, FileSystemCallsOfAServerInAnLdapTreeAnswerAsWithoutNcp) {
    NWCONN_REF reference = 0;
    NWCONN_HANDLE connection = 0;
    ASSERT_EQ(ldap_->NWCCGetPrimConnRef(reference), 0);
    ASSERT_EQ(ldap_->NWCCOpenConnByRef(reference, 1, 0, connection), 0);
    uint16_t volume = 0;
    EXPECT_EQ(ldap_->NWGetVolumeNumber(connection, "SYS", volume), NweRequesterFailure);
    uint32_t iteration = 0;
    uint16_t count = 0;
    std::array<TTrusteeEntry, 20> trustees{};
    EXPECT_EQ(ldap_->NWScanForTrustees(connection, 0, "SYS:PUBLIC", iteration, count, trustees), NweRequesterFailure);
    uint16_t rights = 0;
    EXPECT_EQ(ldap_->NWGetEffectiveRights(connection, 0, "SYS:", rights), NweRequesterFailure);
    std::string serverName, volumeName, path;
    NWCONN_HANDLE parsed = 0;
    EXPECT_EQ(ldap_->NWParsePath("\\\\FS1\\SYS\\PUBLIC", serverName, parsed, volumeName, path), NweRequesterFailure);
    std::string name;
    uint16_t type = 0;
    EXPECT_EQ(ldap_->NWGetObjectName(connection, 1, name, type), NweRequesterFailure);
    // The tree of the connection is the LDAP tree.
    std::array<uint8_t, 64> tree{};
    ASSERT_EQ(ldap_->NWCCGetConnInfo(connection, NwccInfoTreeName, tree), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(tree.data())).substr(0, 9), "ACME_TREE");
}

} // namespace
} // namespace era::test

namespace era::test {
namespace {

TEST_F(LdapDirectoryTest, AnLdapTreeWithoutAConnectionIsAnAttachmentOfItsOwn) {
    std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": " + server_->TreeSettings("o=acme") +
                       " }, { \"name\": \"FIXTURE_TREE\", \"ldap\": " + server_->TreeSettings("o=fixture", "", false) +
                       " } ] }";
    auto client = LoadLdap(server_->WriteFile("only-ldap.json", json));
    ASSERT_TRUE(client);
    TLdapWorkstation* ldap = client.get();
    InstallClient(std::move(client));
    ResetNetWareStartup();
    EXPECT_EQ(InitNetWare(), 0);
    TStringList trees, servers;
    U_ListTrees(trees);
    U_ListServers(servers);
    ASSERT_EQ(trees.Count(), 2);
    EXPECT_EQ(trees.Strings(0), "ACME_TREE");
    EXPECT_EQ(trees.Strings(1), "FIXTURE_TREE");
    ASSERT_EQ(servers.Count(), 2);
    EXPECT_EQ(servers.Strings(0), "127.0.0.1");
    // The first is the primary attachment; its user is the bind's identity, the other's nobody.
    EXPECT_EQ(U_GetPrimaryTreeName(), "ACME_TREE");
    NWCONN_HANDLE acme = 0, fixture = 0;
    ASSERT_EQ(ldap->NWCCOpenConnByRef(trees.Objects(0), 1, 0, acme), 0);
    ASSERT_EQ(ldap->NWCCOpenConnByRef(trees.Objects(1), 1, 0, fixture), 0);
    EXPECT_TRUE(U_IsDSAuthenticated(acme));
    EXPECT_FALSE(U_IsDSAuthenticated(fixture));
    EXPECT_EQ(U_GetConnUserName(acme), "CN=admin.O=acme");
    EXPECT_EQ(U_GetConnUserName(fixture), "<not authenticated>");
    NWCONN_REF reference = 0;
    EXPECT_EQ(U_GetConnRefByHandle(fixture, reference), 0);
    EXPECT_EQ(reference, trees.Objects(1));
    // No NCP server stands behind it.
    uint16_t volume = 0;
    EXPECT_EQ(ldap->NWGetVolumeNumber(acme, "SYS", volume), NweRequesterFailure);
    std::string name;
    uint16_t type = 0;
    EXPECT_EQ(ldap->NWGetObjectName(acme, 1, name, type), NweRequesterFailure);
    // A new context starts in the primary attachment's tree.
    TDSContext context;
    ASSERT_EQ(TDSContext::Create(context), 0);
    EXPECT_EQ(U_DSGetTreeName(context.Get()), "ACME_TREE");
    context.Reset();
    InstallClient(nullptr);
    ResetNetWareStartup();
}

// A workstation file with a tree of each kind: each context's calls go to its own tree's source,
// and a listing open in each continues in its own tree while the other is open too.
TEST_F(LdapDirectoryTest, ATreeOfEachKindAnswersFromItsOwnSource) {
    std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldif\": \"" + std::string(ERA_EXAMPLES_DIR) +
                       "/acme/acme.ldif\" }, { \"name\": \"FIXTURE_TREE\", \"ldap\": " +
                       server_->TreeSettings("o=fixture", ", \"pageSize\": 4", false) + " } ] }";
    auto client = LoadLdap(server_->WriteFile("mixed.json", json));
    ASSERT_TRUE(client);
    ASSERT_FALSE(client->IsLdapTree("ACME_TREE"));
    ASSERT_EQ(client->NWCallsInit(), 0) << client->LastError();
    TContext acme(*client), fixture(*client);
    ASSERT_EQ(client->NWDSSetContext(acme, DckTreeName, std::string("ACME_TREE")), 0);
    ASSERT_EQ(client->NWDSSetContext(fixture, DckTreeName, std::string("FIXTURE_TREE")), 0);
    std::string dn;
    TObjectInfo info;
    const uint64_t before = client->RoundTrips();
    EXPECT_EQ(client->NWDSReadObjectInfo(acme, ".it.acme", dn, info), 0);
    EXPECT_EQ(client->NWDSReadObjectInfo(acme, ".paged.fixture", dn, info), ErrNoSuchEntry);
    EXPECT_EQ(client->RoundTrips(), before);   // the embedded tree asks no server
    EXPECT_EQ(client->NWDSReadObjectInfo(fixture, ".paged.fixture", dn, info), 0);
    EXPECT_EQ(dn, "OU=paged.O=fixture");
    EXPECT_GT(client->RoundTrips(), before);

    // Both listings open at once, their batches taken in turns.
    const auto acmeAlone = ListAll(*client, acme, ".acme", false);
    const auto fixtureAlone = ListAll(*client, fixture, ".paged.fixture", false);
    ASSERT_EQ(acmeAlone.Code, 0);
    ASSERT_EQ(fixtureAlone.Code, 0);
    TDSBuffer acmeBatch(160), fixtureBatch(DefaultMessageLen);
    int32_t acmeIteration = NoIteration, fixtureIteration = NoIteration;
    std::vector<std::string> acmeNames, fixtureNames;
    auto take = [&](NWDSContextHandle context, TDSBuffer& batch, std::vector<std::string>& names) {
        uint32_t count = 0;
        client->NWDSGetObjectCount(context, batch, count);
        for (uint32_t i = 0; i < count; ++i) {
            std::string name;
            uint32_t attributes = 0;
            TObjectInfo object;
            client->NWDSGetObjectName(context, batch, name, attributes, object);
            names.push_back(name);
        }
    };
    bool first = true;
    for (int turn = 0; turn < 1000 && (first || acmeIteration != NoIteration || fixtureIteration != NoIteration);
         ++turn) {
        if (first || acmeIteration != NoIteration) {
            ASSERT_EQ(client->NWDSList(acme, ".acme", acmeIteration, acmeBatch), 0);
            take(acme, acmeBatch, acmeNames);
        }
        if (first || fixtureIteration != NoIteration) {
            ASSERT_EQ(client->NWDSList(fixture, ".paged.fixture", fixtureIteration, fixtureBatch), 0);
            take(fixture, fixtureBatch, fixtureNames);
        }
        if (first) {
            // Each listing left more behind, under handles of its own.
            EXPECT_NE(acmeIteration, NoIteration);
            EXPECT_NE(fixtureIteration, NoIteration);
            EXPECT_NE(acmeIteration, fixtureIteration);
        }
        first = false;
    }
    EXPECT_EQ(acmeNames, acmeAlone.Names);
    EXPECT_EQ(fixtureNames, fixtureAlone.Names);
}

// The volumes the workstation file gives a server of an LDAP tree: the file's trustees of the
// logged-in user, of the containers above it, of [Root] and of [Public] are its rights.
TEST_F(LdapDirectoryTest, AServerOfAnLdapTreeWithVolumesHasTheRightsTheFileGives) {
    std::string json =
        "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": " + server_->TreeSettings("o=acme") +
        " } ], \"servers\": [ { \"name\": \"FS1\", \"tree\": \"ACME_TREE\", \"object\": \"cn=FS1,ou=it,o=acme\", "
        "\"volumes\": [ { \"name\": \"SYS\", \"number\": 0, \"directories\": [ "
        "{ \"path\": \"\", \"trustees\": { \"[Public]\": \"R\", \"[Root]\": \"E\" } }, "
        "{ \"path\": \"PUBLIC\", \"trustees\": { \"o=acme\": \"RWF\", \"ou=it,o=acme\": \"M\" } }, "
        "{ \"path\": \"PUBLIC\\\\DOCS\", \"irm\": \"R\", \"trustees\": { \"cn=admin,o=acme\": \"C\" } } ] } ] } ], "
        "\"connections\": [ { \"server\": \"FS1\", \"user\": \"cn=admin,o=acme\", \"primary\": true } ] }";
    auto client = LoadLdap(server_->WriteFile("volumes.json", json));
    ASSERT_TRUE(client);
    NWCONN_REF reference = 0;
    NWCONN_HANDLE connection = 0;
    ASSERT_EQ(client->NWCCGetPrimConnRef(reference), 0);
    ASSERT_EQ(client->NWCCOpenConnByRef(reference, 1, 0, connection), 0);
    const struct {
        const char* Path;
        uint16_t Rights;
    } cases[] = {
        {"SYS:", FileRead | FileErase},
        {"SYS:PUBLIC", FileRead | FileErase | FileWrite | FileScan},
        {"SYS:PUBLIC\\DOCS", FileRead | FileCreate},
    };
    for (const auto& expected : cases) {
        uint16_t rights = 0;
        EXPECT_EQ(client->NWGetEffectiveRights(connection, 0, expected.Path, rights), 0) << expected.Path;
        EXPECT_EQ(rights, expected.Rights) << expected.Path;
    }
    uint16_t volume = 0xFFFF;
    EXPECT_EQ(client->NWGetVolumeNumber(connection, "SYS", volume), 0);
    EXPECT_EQ(volume, 0);
}

} // namespace
} // namespace era::test
