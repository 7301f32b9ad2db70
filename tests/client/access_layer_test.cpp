// The access layer's operations over the embedded directory: the callers of the client, run
// against the real loader's workstation as the program runs them.

#include "client_fixture.h"

#include "client/redirector.h"
#include "directory/attributes.h"
#include "directory/listing.h"
#include "directory/connections.h"
#include "directory/context.h"
#include "directory/error_text.h"
#include "directory/names.h"
#include "directory/netware_paths.h"
#include "util/paths.h"

namespace era {

using namespace era::test;

namespace {

// Installs the small workstation as the process-wide client for one test, and puts back what was there.
class AccessLayer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string message;
        previous_ = InstallClient(nullptr);
        ASSERT_EQ(InstallWorkstation(DataFile("small.json"), message), 0) << message;
        ResetNetWareStartup();
    }
    void TearDown() override {
        ResetNetWareStartup();
        SetNetworkDirectoryResolver(nullptr);
        InstallClient(std::move(previous_));
    }
    NWDSContextHandle NewContext() {
        EXPECT_EQ(TDSContext::Create(context_), 0);
        return context_.Get();
    }
    NWCONN_HANDLE SecondConnection() {
        uint32_t iterator = 1;
        NWCONN_REF reference = 0;
        NWCONN_HANDLE handle = 0;
        EXPECT_EQ(Client().NWCCScanConnRefs(iterator, reference), 0);
        EXPECT_EQ(Client().NWCCOpenConnByRef(reference, 1, 0, handle), 0);
        return handle;
    }

private:
    std::unique_ptr<TDirectoryClient> previous_;
    TDSContext context_;
};

} // namespace

TEST_F(AccessLayer, StartUpFindsTheServersTreesAndUsers) {
    EXPECT_EQ(InitNetWare(), 0);
    EXPECT_NE(StartupConnection(), 0xFFFFu);
    TStringList trees, servers;
    U_ListTrees(trees);
    U_ListServers(servers);
    ASSERT_EQ(trees.Count(), 2);
    EXPECT_EQ(trees.Strings(0), "SMALL_TREE");
    EXPECT_EQ(trees.Strings(1), "OTHER_TREE");
    ASSERT_EQ(servers.Count(), 2);
    EXPECT_EQ(servers.Strings(1), "FS2");
    EXPECT_EQ(U_GetPrimaryTreeName(), "SMALL_TREE");
    // A fresh context writes typed names: its typeless flag is off until a caller sets it.
    EXPECT_EQ(U_GetConnUserName(StartupConnection()), "CN=admin.O=acme");
    NWCONN_HANDLE fs2 = SecondConnection();
    EXPECT_FALSE(U_IsDSAuthenticated(fs2));
    EXPECT_EQ(U_GetConnUserName(fs2), "<not authenticated>");
    std::string name;
    EXPECT_EQ(U_GetObjectNameByID(fs2, 0x0A000002, name), 0);   // through the bindery
    EXPECT_EQ(name, "GUEST");
}

TEST_F(AccessLayer, InformationFieldsWalkUpToRoot) {
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContext(context, "sales.acme"), 0);
    EXPECT_EQ(U_DSGetFullName(context, "ann"), ".ann.sales.acme");
    std::vector<std::string> chain{".bob.east.sales.acme"};
    while (chain.size() < 10) {
        std::string parent = U_DSGetParentName(context, chain.back());
        if (parent.empty()) break;
        chain.push_back(parent);
    }
    EXPECT_EQ(chain, (std::vector<std::string>{".bob.east.sales.acme", ".east.sales.acme", ".sales.acme", ".acme", "[Root]"}));
    EXPECT_EQ(U_DSGetBaseClass(context, ".staff.sales.acme"), "Group");
    EXPECT_EQ(U_DSGetRDN(context, "ann"), "ann");
    EXPECT_GT(U_DSGetModifyTime(context, ".acme"), 40000.0);   // 2009 as a desktop date-time
    EXPECT_EQ(U_DSGetCreateTime(context, ".carl.Boston.US"), 0.0);
    // The reads leave the caller's flags alone.
    uint32_t flags = 0;
    ASSERT_EQ(Client().NWDSGetContext(context, DckFlags, flags), 0);
    EXPECT_EQ(flags, DefaultContextFlags);
}

TEST_F(AccessLayer, ContextsChangeTreesAndFindTheUser) {
    NWDSContextHandle context = NewContext();
    EXPECT_EQ(U_DSWhoAmI(context), ".CN=admin.O=acme");
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames), 0);
    EXPECT_EQ(U_DSWhoAmI(context), ".admin.acme");
    EXPECT_EQ(U_DSGetMyContext(context), ".acme");
    EXPECT_EQ(U_DSChangeTree(context, "other_tree", false), 0);
    EXPECT_EQ(U_DSGetTreeName(context), "OTHER_TREE");
    EXPECT_EQ(U_DSGetNameContext(context), "[Root]");   // nobody is logged in there
    EXPECT_EQ(U_DSGetFullName(context, "tester.lab"), ".tester.lab");
    EXPECT_NE(U_DSChangeTree(context, "NO_TREE", false), 0);
}

TEST_F(AccessLayer, WhoAmIGivesTheFullNameWhateverTheNameContext) {
    // Typeless, canonicalised names: the client answers relative to the name context ("admin" in
    // "acme"), and the caller must still get the user's full name.
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames | DcvCanonicalizeNames), 0);
    ASSERT_EQ(U_DSSetContext(context, "acme"), 0);
    EXPECT_EQ(U_DSWhoAmI(context), ".admin.acme");
    EXPECT_EQ(U_DSGetNameContext(context), "acme");   // the caller's context stays where it was
    EXPECT_EQ(U_DSGetMyContext(context), ".acme");
    ASSERT_EQ(U_DSSetContext(context, "sales.acme"), 0);   // a context the user is not below
    EXPECT_EQ(U_DSWhoAmI(context), ".admin.acme");
    // Changing the tree without a name context puts the context at the user's own container.
    ASSERT_EQ(U_DSSetContext(context, "acme"), 0);
    ASSERT_EQ(U_DSChangeTree(context, "small_tree", false), 0);
    EXPECT_EQ(U_DSGetNameContext(context), "acme");
}

TEST_F(AccessLayer, PathsTrusteesOwnersAndSubdirectories) {
    NWCONN_HANDLE connection = 0;
    std::string server, volume, path;
    ASSERT_EQ(U_PathToNWPath("P:\\DATA", connection, server, volume, path), 0);
    EXPECT_EQ(connection, 1u);
    EXPECT_EQ(server + "/" + volume + ":" + path, "FS1/SYS:PUBLIC\\DATA");
    EXPECT_EQ(U_PathToUNC("P:\\DATA"), "\\\\FS1\\SYS\\PUBLIC\\DATA");
    EXPECT_EQ(U_PathToUNC("C:\\local"), "C:\\local");
    EXPECT_NE(U_PathToNWPath("/home/admin", connection, server, volume, path), 0);
    // The NetWare form the analysis is handed names the same directory.
    NWCONN_HANDLE byName = 0;
    ASSERT_EQ(U_PathToNWPath("fs1/sys:PUBLIC\\DATA", byName, server, volume, path), 0);
    EXPECT_EQ(server + "/" + volume + ":" + path, "FS1/SYS:PUBLIC\\DATA");
    EXPECT_EQ(byName, 1u);   // FS1's connection, as the drive paths give it
    EXPECT_EQ(U_PathToUNC("FS1/SYS:"), "\\\\FS1\\SYS\\");
    EXPECT_NE(U_PathToNWPath("FS1/NOVOL:X", byName, server, volume, path), 0);
    EXPECT_TRUE(DirExists("F:\\PUBLIC\\DATA"));
    EXPECT_FALSE(DirExists("F:\\PUBLIC\\NONE"));
    EXPECT_EQ(PathForm("f:\\public\\data", pfLong), "f:\\PUBLIC\\DATA");

    ASSERT_EQ(U_PathToNWPath("F:\\", connection, server, volume, path), 0);
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames), 0);
    TStringList trustees;
    EXPECT_EQ(U_NWScanTrustees(context, connection, "SYS:PUBLIC\\DATA", trustees), 0);
    ASSERT_EQ(trustees.Count(), 25);
    EXPECT_EQ(trustees.Strings(0), ".admin.acme");
    EXPECT_EQ(trustees.Strings(1), "[Public]");
    EXPECT_EQ(trustees.Strings(3), "ID: [00000101]");
    TStringList none;
    EXPECT_EQ(U_NWScanTrustees(context, connection, "SYS:PUBLIC\\DOCS", none), 0);
    EXPECT_EQ(none.Count(), 0);

    std::string owner;
    NWObjectID ownerID = 0;
    EXPECT_EQ(U_NWGetDirectoryOwner("F:\\PUBLIC\\DATA", owner, ownerID), 0);
    EXPECT_EQ(owner, "CN=ann.OU=sales.O=acme");   // looked up through a fresh context
    EXPECT_EQ(U_NWGetDirectoryOwner("F:\\NONE", owner, ownerID), ErrDirectoryNotFound);

    TStringList lines;
    U_NWListSubdirectories("\\\\FS1\\SYS\\PUBLIC", SaDirectoriesAll, "*", lines, 2, pfLong);
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Strings(0), "DATA");
    EXPECT_EQ(lines.Strings(2), "DRIVERS");
    std::string volumeDN;
    EXPECT_EQ(U_DSGetVolumeDN(context, connection, 0, volumeDN), 0);
    EXPECT_EQ(U_FullName(volumeDN), ".FS1_SYS.acme");
}

TEST_F(AccessLayer, AttributeReadersAndListingsSeeTheSnapshot) {
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames), 0);
    TStringList lines;
    ASSERT_EQ(U_DSGetAttribute(context, ".sales.acme", "ACL", lines), 0);
    ASSERT_EQ(lines.Count(), 6);
    EXPECT_EQ(lines.Strings(0), "[ C    ] ann.sales.acme / [Entry Rights]");   // not inherited: no I
    EXPECT_EQ(lines.Strings(1), "[ R   I] ann.sales.acme / [All Attributes Rights]");
    EXPECT_EQ(lines.Strings(2), "[  W   ] [Public] / Telephone Number");
    EXPECT_EQ(lines.Strings(3), "[B    I] [Inheritance Mask] / [Entry Rights]");
    TStringList missing;
    EXPECT_EQ(U_DSGetAttribute(context, ".ann.sales.acme", "Title", missing), ErrNoSuchAttribute);
    EXPECT_EQ(missing.Count(), 0);
    std::string text;
    ASSERT_EQ(U_DSGetAttributeText(context, ".ann-alias.acme", "ALIASED OBJECT NAME", text), 0);
    EXPECT_EQ(text, "ann.sales.acme");
    // bob has no number and the member that is gone cannot be read: both contribute nothing, and
    // the path still gives what the others have (even though the gone one comes last).
    TStringList phones;
    EXPECT_EQ(U_DSGetAttributeEx(context, ".staff.sales.acme", "Member|Telephone Number", phones), 0);
    ASSERT_EQ(phones.Count(), 1);
    EXPECT_EQ(phones.Strings(0), "+1 555 0200");
    ASSERT_EQ(U_DSGetAttributeText(context, ".admin.acme", "creatorsName|Full Name", text), 0);
    EXPECT_EQ(text, "Ada Admin");
    EXPECT_TRUE(U_DSIsLeaf(context, ".nobody.acme"));
    EXPECT_TRUE(U_DSIsContainer(context, ".sales.acme"));
    TStringList leaves;
    ASSERT_EQ(U_DSListTree(context, ".sales.acme", leaves, true, false, "", 2), 0);
    std::vector<std::string> names;
    for (const auto& item : leaves.Items()) names.push_back(item.Text);
    EXPECT_EQ(names, (std::vector<std::string>{".ann.sales.acme", ".a\\.b.sales.acme", ".bob.east.sales.acme",
                                               ".staff.sales.acme"}));
}

TEST_F(AccessLayer, AListingOfNothingOpensWithoutACurrentEntry) {
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames), 0);
    // A container without containers, listed for containers, and a leaf: the listing's code, no entry.
    const std::pair<const char*, bool> listings[] = {{".east.sales.acme", true}, {".ann.sales.acme", false}};
    for (const auto& [container, containersOnly] : listings) {
        DSListCursor cursor;
        EXPECT_EQ(U_DSListOpen(context, container, containersOnly, cursor), 0) << container;
        EXPECT_EQ(cursor.CurrentName, "") << container;
        EXPECT_EQ(cursor.EntryCount, 0u) << container;
        EXPECT_EQ(U_DSListNext(cursor), -1) << container;
    }
    // The listing loops over such a container add nothing and succeed.
    TStringList list;
    EXPECT_EQ(U_DSListTree(context, ".east.sales.acme", list, true, true, "", 1), 0);
    EXPECT_EQ(U_DSListTree(context, ".ann.sales.acme", list, true, true, "", 2), 0);
    EXPECT_EQ(list.Count(), 0) << list.Text();
    TStringList containers, objects;
    EXPECT_EQ(U_DSListContainer(context, ".ann.sales.acme", &containers, true, "", &objects), 0);
    EXPECT_EQ(containers.Count(), 0);
    EXPECT_EQ(objects.Count(), 0);
    EXPECT_EQ(U_DSListContainer(context, ".east.sales.acme", &containers, false, "", nullptr), 0);
    EXPECT_EQ(containers.Count(), 0);
}

TEST_F(AccessLayer, ErrorTextsComeFromTheClientsLibrary) {
    EXPECT_EQ(U_ErrorText(NweNoMoreTrustees).rfind("0x899C (", 0), 0u);
    std::string text = U_ErrorText(ErrNoSuchEntry);
    EXPECT_EQ(text.rfind("0xFFFFFDA7 (", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("0xFFFFFDA7 ()").size());
}

} // namespace era

namespace era {
namespace {

// The embedded directory with a count of its start-up calls: the start runs once.
class TCountingClient final : public TWorkstationClient {
public:
    using TWorkstationClient::TWorkstationClient;
    NWCCODE NWCallsInit() override {
        ++Starts;
        return TWorkstationClient::NWCallsInit();
    }
    NWCCODE NWCCOpenConnByRef(NWCONN_REF ref, uint32_t state, uint32_t reserved, NWCONN_HANDLE& handle) override {
        if (FailOpens > 0) {
            --FailOpens;
            handle = 0;
            return NweInvalidConnection;
        }
        return TWorkstationClient::NWCCOpenConnByRef(ref, state, reserved, handle);
    }
    int Starts = 0;
    int FailOpens = 0;
};

} // namespace

TEST_F(AccessLayer, StartUpRunsOnceAndTreeNamesAreCutAndStripped) {
    // The tree name as the client pads it: cut to 32 characters, trailing "_" removed only.
    EXPECT_EQ(CutTreeName("NINE_TREE_______________________"), "NINE_TREE");
    EXPECT_EQ(CutTreeName("A_B_" + std::string(40, '_')), "A_B");
    EXPECT_EQ(CutTreeName(std::string(33, 'T')), std::string(32, 'T'));

    EXPECT_EQ(InitNetWare(), 0);
    const NWCONN_HANDLE first = StartupConnection();
    EXPECT_EQ(InitNetWare(), 0);   // a second start changes nothing
    EXPECT_EQ(StartupConnection(), first);
}

TEST_F(AccessLayer, ASecondStartDoesNotCallTheClientAgain) {
    std::string message;
    auto workstation = LoadWorkstationFile(DataFile("small.json"), message);
    ASSERT_TRUE(workstation) << message;
    auto counting = std::make_unique<TCountingClient>(std::move(workstation));
    TCountingClient* client = counting.get();
    InstallClient(std::move(counting));
    ResetNetWareStartup();
    EXPECT_EQ(InitNetWare(), 0);
    EXPECT_EQ(InitNetWare(), 0);
    EXPECT_EQ(client->Starts, 1);

    // A start whose connection does not open is no start: the next one tries again.
    ResetNetWareStartup();
    client->FailOpens = 1;
    EXPECT_EQ(InitNetWare(), NweInvalidConnection);
    EXPECT_EQ(StartupConnection(), 0xFFFFu);
    EXPECT_EQ(InitNetWare(), 0);
    EXPECT_NE(StartupConnection(), 0xFFFFu);
    EXPECT_EQ(client->Starts, 3);
}

TEST_F(AccessLayer, TreeChangesIgnoreLetterCaseAndNameContextsLoseTheirDot) {
    NWDSContextHandle context = NewContext();
    ASSERT_EQ(U_DSSetContextFlag(context, "+", DcvTypelessNames), 0);
    // The tree the context has, written in another case: not set again; the name context is.
    EXPECT_EQ(U_DSChangeCurrentTreeAndContext(context, "small_tree", ".sales.acme", false), 0);
    EXPECT_EQ(U_DSGetTreeName(context), "SMALL_TREE");
    EXPECT_EQ(U_DSGetNameContext(context), "sales.acme");
    EXPECT_EQ(U_DSCombineWithContext(context, "ann"), "ann.sales.acme");
    EXPECT_EQ(U_DSCombineWithContext(context, "[ .. ]"), "acme");
    // Without a name context the user's own container in that tree is taken.
    EXPECT_EQ(U_DSChangeTree(context, "SMALL_TREE", false), 0);
    EXPECT_EQ(U_DSGetNameContext(context), "acme");
    // Information reads work on a copy: flags and the field selection stay as they were.
    uint32_t fields = 0, flags = 0;
    ASSERT_EQ(Client().NWDSGetContext(context, DckDsiFlags, fields), 0);
    EXPECT_EQ(U_DSGetBaseClass(context, ".ann.sales.acme"), "User");
    uint32_t after = 0;
    ASSERT_EQ(Client().NWDSGetContext(context, DckDsiFlags, after), 0);
    EXPECT_EQ(after, fields);
    ASSERT_EQ(Client().NWDSGetContext(context, DckFlags, flags), 0);
    EXPECT_EQ(flags & (DcvTypelessNames | DcvCanonicalizeNames), DcvTypelessNames | DcvCanonicalizeNames);
}

} // namespace era
