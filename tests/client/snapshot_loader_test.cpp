#include "client_fixture.h"

#include <set>

namespace era {

using namespace era::test;

namespace {

const char* const GoodLdif = "dn: o=x\nobjectClass: organization\no: x\n\n"
                             "dn: cn=admin,o=x\nobjectClass: inetOrgPerson\nsn: A\n";

std::string Workstation(const std::string& extra = "") {
    return R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" } ])" + extra + " }";
}

} // namespace

TEST(SnapshotLoader, BadInputNamesTheFileThePlaceAndWhatWasExpected) {
    struct TCase {
        const char* What;
        std::string Ldif;
        std::string Json;
        std::vector<std::string> Message;   // parts the message must hold
    };
    const std::string servers = R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "directories": [ { "path": "" } ] } ] } ])";
    const TCase cases[] = {
        {"a line without a colon", "dn: o=x\nobjectClass organization\n", Workstation(),
         {"tree.ldif:2:", "expected an attribute line"}},
        {"an ACL without four parts", "dn: o=x\nobjectClass: organization\nACL: 16#subtree#cn=admin,o=x\n", Workstation(),
         {"tree.ldif:3:", "expected an ACL value of four parts"}},
        {"an ACL with another scope", "dn: o=x\nobjectClass: organization\nACL: 16#sometimes#[Public]#[Entry Rights]\n",
         Workstation(), {"tree.ldif:3:", "\"subtree\" or \"entry\"", "sometimes"}},
        {"ACL privileges that are no number", "dn: o=x\nobjectClass: organization\nACL: all#subtree#[Public]#[Entry Rights]\n",
         Workstation(), {"tree.ldif:3:", "privileges as a number"}},
        {"an entry whose container is missing", std::string(GoodLdif) + "\ndn: cn=a,ou=gone,o=x\nobjectClass: inetOrgPerson\n",
         Workstation(), {"tree.ldif:9:", "container above this entry", "gone.x"}},
        {"an entry twice", std::string(GoodLdif) + "\ndn: CN=Admin,O=X\nobjectClass: inetOrgPerson\n", Workstation(),
         {"tree.ldif:9:", "already in the file (line 5)"}},
        {"a record without dn", "objectClass: organization\n", Workstation(), {"tree.ldif:1:", "begin with \"dn:\""}},
        {"a bad DN", "dn: this is no dn\nobjectClass: organization\n", Workstation(), {"tree.ldif:1:", "expected a DN"}},
        {"a DN value that is no DN", std::string(GoodLdif) + "member: nonsense\n", Workstation(),
         {"tree.ldif:8:", "expected a DN"}},
        {"a boolean that is none", std::string(GoodLdif) + "loginDisabled: maybe\n", Workstation(),
         {"tree.ldif:8:", "TRUE or FALSE", "loginDisabled"}},
        {"a time that is none", std::string(GoodLdif) + "modifyTimestamp: yesterday\n", Workstation(),
         {"tree.ldif:8:", "a time such as"}},
        {"a number that is none", std::string(GoodLdif) + "loginGraceLimit: six\n", Workstation(),
         {"tree.ldif:8:", "a whole number"}},
        {"a value by URL", std::string(GoodLdif) + "description:< file:///etc/passwd\n", Workstation(),
         {"tree.ldif:8:", "by URL"}},
        {"an include line", "include: file:///etc/hostname\n\ndn: o=x\nobjectClass: organization\n", Workstation(),
         {"tree.ldif:", "\"include:\" lines are not followed"}},
        {"a change record", "dn: o=x\nchangetype: modify\nreplace: description\n", Workstation(),
         {"tree.ldif:2:", "changetype: add"}},
        {"an entry without a class", "dn: o=x\no: x\n", Workstation(), {"tree.ldif:1:", "objectClass"}},
        {"another tree's root", "dn: t=OTHER\nobjectClass: treeRoot\n", Workstation(), {"tree.ldif:1:", "\"OTHER\"", "X_TREE"}},
        {"an alias pointing nowhere named", std::string(GoodLdif) + "\ndn: cn=al,o=x\nobjectClass: alias\n", Workstation(),
         {"tree.ldif:9:", "aliasedObjectName"}},
        {"a file with nothing in it", "# just a comment\n", Workstation(), {"tree.ldif:", "no entries"}},
        {"JSON that is not JSON", GoodLdif, "{ \"trees\": [ ", {"workstation.json:", "not a JSON file", "line 1"}},
        {"JSON of another shape", GoodLdif, "[ 1, 2 ]", {"workstation.json:", "expected a JSON object"}},
        {"no trees", GoodLdif, "{ \"servers\": [] }", {"workstation.json: trees:", "list of trees"}},
        {"an unknown key", GoodLdif, Workstation(", \"colour\": 1"), {"workstation.json: (top).colour:", "unknown key"}},
        {"a missing LDIF file", "", R"({ "trees": [ { "name": "X_TREE", "ldif": "nothere.ldif" } ] })",
         {"workstation.json: trees[0].ldif:", "nothere.ldif", "cannot open"}},
        {"an LDAP tree", GoodLdif, R"({ "trees": [ { "name": "X_TREE", "ldap": { "host": "127.0.0.1" } } ] })",
         {"trees[0].ldap:", "host: unknown key"}},
        {"a tree listed twice", GoodLdif,
         R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" }, { "name": "x_tree", "ldif": "tree.ldif" } ] })",
         {"trees[1].name:", "listed twice"}},
        {"a server in an unknown tree", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "NOPE" } ])"), {"servers[0].tree:", "\"NOPE\" is not in \"trees\""}},
        {"a server object not in the tree", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "object": "cn=FS1,o=x" } ])"),
         {"servers[0].object:", "\"cn=FS1,o=x\" is not in the tree"}},
        {"an unknown key in a volume", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "colour": "red" } ] } ])"),
         {"servers[0].volumes[0].colour:", "unknown key"}},
        {"a volume number out of range", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 70000 } ] } ])"),
         {"servers[0].volumes[0].number:", "0 to 65535"}},
        {"a trustee not in the tree", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "directories": [ { "path": "", "trustees": { "cn=nobody,o=x": "RF" } } ] } ] } ])"),
         {"servers[0].volumes[0].directories[0].trustees.cn=nobody,o=x:", "not in the tree"}},
        {"rights that are no text", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "directories": [ { "path": "", "trustees": { "[Public]": 3 } } ] } ] } ])"),
         {"trustees.[Public]:", "rights as letters"}},
        {"a directory twice", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "directories": [ { "path": "A" }, { "path": "a" } ] } ] } ])"),
         {"directories[1].path:", "listed twice"}},
        {"a bad creation time", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0, "directories": [ { "path": "", "created": "2009-13-01T00:00:00Z" } ] } ] } ])"),
         {"directories[0].created:", "2009-09-01T08:00:00Z"}},
        {"a connection to an unknown server", GoodLdif, Workstation(R"(, "connections": [ { "server": "FS9", "user": null } ])"),
         {"connections[0].server:", "\"FS9\" is not in \"servers\""}},
        {"a user not in the tree", GoodLdif,
         Workstation(servers + R"(, "connections": [ { "server": "FS1", "user": "cn=ghost,o=x" } ])"),
         {"connections[0].user:", "not in the tree"}},
        {"two primary connections", GoodLdif,
         Workstation(R"(, "servers": [ { "name": "FS1", "tree": "X_TREE" }, { "name": "FS2", "tree": "X_TREE" } ], "connections": [ { "server": "FS1", "primary": true }, { "server": "FS2", "primary": true } ])"),
         {"connections[1].primary:", "only one"}},
        {"a drive to an unknown server", GoodLdif,
         Workstation(servers + R"(, "connections": [ { "server": "FS1" } ], "drives": { "F": "\\\\FS9\\SYS" })"),
         {"drives.F:", "\"FS9\" is not in \"servers\""}},
        {"a drive to a missing directory", GoodLdif,
         Workstation(servers + R"(, "connections": [ { "server": "FS1" } ], "drives": { "F": "\\\\FS1\\SYS\\NOPE" })"),
         {"drives.F:", "no directory \"NOPE\""}},
        {"a drive that is no letter", GoodLdif,
         Workstation(servers + R"(, "connections": [ { "server": "FS1" } ], "drives": { "FF": "\\\\FS1\\SYS" })"),
         {"drives.FF:", "drive letter"}},
    };
    for (const auto& c : cases) {
        TTempFolder folder;
        if (!c.Ldif.empty()) folder.Write("tree.ldif", c.Ldif);
        std::string path = folder.Write("workstation.json", c.Json);
        std::unique_ptr<TWorkstationClient> client;
        std::string message;
        EXPECT_EQ(LoadWorkstation(path, client, message), NweClientNotStarted) << c.What;
        EXPECT_FALSE(client) << c.What;
        for (const auto& part : c.Message) EXPECT_NE(message.find(part), std::string::npos) << c.What << ": " << message;
        EXPECT_NE(message.find(folder.Path("")), std::string::npos) << c.What << ": " << message;
    }
}

TEST(SnapshotLoader, ContainersWithDotsAndEscapesInTheirNamesHoldTheirEntries) {
    // The parent of an entry is found by the name key without the entry's own part; dots and
    // backslashes inside values are escaped in the key, so the part must be cut where it ends.
    TTempFolder folder;
    folder.Write("tree.ldif", "dn: o=x.y\nobjectClass: organization\no: x.y\n\n"
                              "dn: ou=a\\\\b.c,o=x.y\nobjectClass: organizationalUnit\nou: a\\b.c\n\n"
                              "dn: ou=d\\,e,ou=a\\\\b.c,o=x.y\nobjectClass: organizationalUnit\nou: d,e\n\n"
                              "dn: cn=f.g,ou=d\\,e,ou=a\\\\b.c,o=x.y\nobjectClass: inetOrgPerson\nsn: F\n");
    std::string message;
    auto client = LoadWorkstation(folder.Write("workstation.json", Workstation()), message);
    ASSERT_TRUE(client) << message;
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees.front());
    ASSERT_EQ(tree.Objects().size(), 5u);
    for (uint32_t i = 2; i < 5; ++i) EXPECT_EQ(tree.Object(i).Parent, i - 1) << i;
    EXPECT_EQ(tree.Object(1).Parent, RootObject);
    EXPECT_EQ(tree.Object(4).Rdn.Value, "f.g");
    EXPECT_EQ(tree.Object(2).Rdn.Value, "a\\b.c");
}

TEST(SnapshotLoader, LineNumbersCountFoldedLinesAndComments) {
    TTempFolder folder;
    folder.Write("tree.ldif", "version: 1\n\n# a comment\n\ndn: o=x\nobjectClass: organization\ndescription: a long\n"
                              "  folded value\n# a comment inside\nACL: broken\n");
    std::string message;
    EXPECT_FALSE(LoadWorkstation(folder.Write("workstation.json", Workstation()), message));
    EXPECT_NE(message.find("tree.ldif:10:"), std::string::npos) << message;
}

TEST(SnapshotLoader, TheSampleWorkstationLoadsWithEveryRuleInIt) {
    auto client = Load(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json");
    ASSERT_TRUE(client);
    const TWorkstation& ws = client->Workstation();
    ASSERT_EQ(ws.Trees.size(), 2u);
    EXPECT_EQ(ws.Trees[0]->Name(), "ACME_TREE");
    EXPECT_EQ(ws.Servers.size(), 2u);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames);
    auto acl = [&](const std::string& object) {
        std::set<std::string> texts;
        for (const auto& value : ReadAll(*client, context, object, "ACL").Values) {
            const auto& entry = std::get<TObjectACL>(value);
            texts.insert(std::to_string(entry.Privileges) + " " + entry.SubjectName + " / " + entry.ProtectedAttrName);
        }
        return texts;
    };
    auto root = acl("[Root]");
    EXPECT_TRUE(root.count("16 admin.acme / [Entry Rights]"));
    EXPECT_TRUE(root.count("1 [Public] / [Entry Rights]"));
    auto hr = acl("hr.acme");
    EXPECT_TRUE(hr.count("1 [Inheritance Mask] / [Entry Rights]"));
    EXPECT_TRUE(hr.count("67 [Inheritance Mask] / [All Attributes Rights]"));
    auto sales = acl("sales.acme");
    EXPECT_TRUE(sales.count("66 agarcia.sales.acme / [Entry Rights]"));   // not inherited
    EXPECT_TRUE(sales.count("4 agarcia.sales.acme / [All Attributes Rights]"));   // not inherited
    // Security Equals two links deep: sintern -> jdoe -> sales-managers.
    EXPECT_EQ(Texts(ReadAll(*client, context, "jdoe.east.sales.acme", "Security Equals").Values),
              (std::vector<std::string>{"everyone.acme", "sales-managers.sales.acme"}));
    auto sintern = Texts(ReadAll(*client, context, "sintern.projects.east.sales.acme", "Security Equals").Values);
    EXPECT_NE(std::find(sintern.begin(), sintern.end(), "jdoe.east.sales.acme"), sintern.end());
    // A role, an alias, users that can log in.
    EXPECT_EQ(Texts(ReadAll(*client, context, "helpdesk.it.acme", "Role Occupant").Values).size(), 2u);
    context.SetFlags(DcvTypelessNames | DcvDerefAliases);
    EXPECT_EQ(Texts(ReadAll(*client, context, "jane.hr.acme", "Full Name").Values), std::vector<std::string>{"Jane Doe"});
    auto classes = Texts(ReadAll(*client, context, "jdoe.east.sales.acme", "Object Class").Values);
    EXPECT_NE(std::find(classes.begin(), classes.end(), "ndsLoginProperties"), classes.end());
    // A directory with more than 20 trustees, one of them an ID that names nobody.
    const TWorkstationVolume& data = ws.Servers[0].Volumes[1];
    uint32_t customers = data.FindDirectory("SHARED\\SALES\\CUSTOMERS");
    ASSERT_NE(customers, NoIndex);
    const auto& trustees = data.Directories[customers].Trustees;
    EXPECT_GT(trustees.size(), 20u);
    bool nameless = false;
    for (const auto& t : trustees) nameless = nameless || SnapshotTreeOf(*ws.Trees[0])->FindObjectByID(t.ObjectID) == NoObject;
    EXPECT_TRUE(nameless);
    // The second server's connection is not authenticated; it has bindery names.
    EXPECT_EQ(ws.Connections[1].User, NoObject);
    EXPECT_FALSE(ws.Servers[1].Bindery.empty());
}

TEST(SnapshotLoader, AGeneratedTreeKeepsEveryIndexConsistent) {
    TTempFolder folder;
    std::string ldif = "dn: o=gen\nobjectClass: organization\n\n";
    const int containers = 50, perContainer = 400;
    for (int c = 0; c < containers; ++c) {
        ldif += "dn: ou=c" + std::to_string(c) + ",o=gen\nobjectClass: organizationalUnit\n\n";
        for (int u = 0; u < perContainer; ++u) {
            ldif += "dn: cn=u" + std::to_string(u) + ",ou=c" + std::to_string(c) + ",o=gen\nobjectClass: inetOrgPerson\n";
            if (u > 0) ldif += "securityEquals: cn=u" + std::to_string(u - 1) + ",ou=c" + std::to_string(c) + ",o=gen\n";
            ldif += "\n";
        }
    }
    folder.Write("tree.ldif", ldif);
    auto client = Load(folder.Write("workstation.json", R"({ "trees": [ { "name": "GEN", "ldif": "tree.ldif" } ] })"));
    ASSERT_TRUE(client);
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees[0]);
    ASSERT_EQ(tree.Objects().size(), 1u + 1 + containers + containers * perContainer);
    uint32_t equals = tree.FindAttribute("Security Equals");
    std::set<NWObjectID> ids;
    for (uint32_t i = 0; i < tree.Objects().size(); ++i) {
        const auto& object = tree.Object(i);
        ids.insert(object.ID);
        ASSERT_EQ(tree.FindObject(tree.FullName(i)), i);
        ASSERT_EQ(tree.FindObjectByID(object.ID), i);
        for (uint32_t child : object.Children) ASSERT_EQ(tree.Object(child).Parent, i);
        if (object.BaseClass == "User" && object.Rdn.Value != "u399") {
            const auto& holders = tree.Holders(equals, i);
            ASSERT_EQ(holders.size(), 1u) << WriteFullName(tree.FullName(i), false);
            EXPECT_EQ(tree.Object(holders[0]).Parent, object.Parent);
        }
    }
    EXPECT_EQ(ids.size(), tree.Objects().size());
}

} // namespace era
