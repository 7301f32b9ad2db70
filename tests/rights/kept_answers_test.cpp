// The directory answers kept across analyses: an analysis answered from them writes the same
// trace and results as one whose every question goes to the directory, failures included, and a
// client whose answers may change is asked every time.

#include "../client/client_fixture.h"
#include "analysis_fixture.h"
#include "bench/counting_client.h"
#include "client/name_forms.h"
#include "client/snapshot/snapshot_client.h"

#include <cstdlib>
#include <filesystem>

namespace era::test {
namespace {

using bench::TCountingClient;

std::unique_ptr<TCountingClient> Counting(const std::string& workstation, bool stable) {
    std::string message;
    auto loaded = LoadWorkstationFile(workstation, message);
    EXPECT_TRUE(loaded) << message;
    return loaded ? std::make_unique<TCountingClient>(std::move(loaded), stable) : nullptr;
}

// One analysis written out whole: its trace lines with their levels, then its results with their
// masks.
std::string Analysed(TAnalysisFixture& fixture, const std::string& name, uint32_t flags) {
    TStringList results;
    std::string text = fixture.Object(name, flags, 31, &results);
    for (const auto& result : results.Items())
        text += Format("= %08X %s\n", result.Object, result.Text.c_str());
    return text;
}

// A tree whose analyses meet every failure: trustees that are no object of the tree, a trustee
// whose name makes the Security Equals filter unreadable, objects without an ACL.
constexpr const char* FailingLdif = R"(version: 1

dn: t=KEPT_TREE
objectClass: treeRoot
ACL: 1#subtree#[Public]#[Entry Rights]

dn: o=org
objectClass: organization
o: org
ACL: 2#subtree#cn=r&d,o=org#[All Attributes Rights]
ACL: 1#subtree#cn=gone,o=org#[Entry Rights]
ACL: 3#subtree#cn=ann,o=org#Telephone Number

dn: cn=r&d,o=org
objectClass: groupOfNames
cn: r&d

dn: cn=ann,o=org
objectClass: inetOrgPerson
objectClass: ndsLoginProperties
cn: ann
sn: Ann
securityEquals: cn=r&d,o=org

dn: ou=dept,o=org
objectClass: organizationalUnit
ou: dept
ACL: 4#subtree#ou=dept,o=org#[Entry Rights]

dn: cn=leaf,ou=dept,o=org
objectClass: inetOrgPerson
objectClass: ndsLoginProperties
cn: leaf
sn: Leaf
)";

constexpr const char* FailingWorkstation = R"({
  "trees": [ { "name": "KEPT_TREE", "ldif": "tree.ldif" } ],
  "servers": [ { "name": "FSK", "tree": "KEPT_TREE" } ],
  "connections": [ { "server": "FSK", "user": "cn=ann,o=org", "primary": true } ]
})";

} // namespace

TEST(KeptAnswers, AFailureIsAnsweredAgainAsItCame) {
    TTempFolder folder;
    folder.Write("tree.ldif", FailingLdif);
    const std::string workstation = folder.Write("workstation.json", FailingWorkstation);
    const std::vector<std::string> objects{".leaf.dept.org", ".dept.org", ".ann.org", ".org",
                                           ".leaf.dept.org"};
    for (uint32_t flags : {0u, ScanResolveContainers, ScanUsersOnly, ScanResolveContainers | ScanUsersOnly}) {
        std::vector<std::string> kept, fresh;
        {
            TAnalysisFixture fixture(Counting(workstation, true));
            for (const auto& name : objects)
                kept.push_back(Analysed(fixture, name, flags));
        }
        {
            TAnalysisFixture fixture(Counting(workstation, false));
            for (const auto& name : objects)
                fresh.push_back(Analysed(fixture, name, flags));
        }
        for (size_t i = 0; i < objects.size(); ++i)
            EXPECT_EQ(kept[i], fresh[i]) << objects[i] << " flags " << flags;
        // The leaf was analysed first and last: the last time every failure came from what was kept.
        const std::string& again = kept.back();
        EXPECT_NE(again.find("22 U_DSFilteredSearch (.r&d.org): 0xFFFFFEBA (invalid filter syntax)\n"),
                  std::string::npos)
            << again;
        EXPECT_NE(again.find("22 U_DSGetAttribute (.leaf.dept.org:ACL): 0xFFFFFDA5"), std::string::npos)
            << again;
        if (!(flags & ScanUsersOnly)) {
            EXPECT_NE(again.find(" 5   Effective: [B    I] -> [n/a] .gone.org / [Entry Rights]\n"),
                      std::string::npos)
                << again;
        }
    }
}

TEST(KeptAnswers, OnlyAClientWhoseAnswersCannotChangeAnswersFromThem) {
    for (bool stable : {true, false}) {
        auto client = Counting(RightsData("analysis.json"), stable);
        ASSERT_TRUE(client);
        TCountingClient* counting = client.get();
        TAnalysisFixture fixture(std::move(client));
        for (uint32_t flags : {0u, ScanResolveContainers | ScanUsersOnly}) {
            counting->Reset();
            const std::string first = Analysed(fixture, ".leaf.dept.org", flags);
            const int64_t asked = counting->Total();
            counting->Reset();
            EXPECT_EQ(Analysed(fixture, ".leaf.dept.org", flags), first);
            EXPECT_GT(asked, 0) << "flags " << flags;
            // Asked again, the embedded directory answers from what it has said; a directory whose
            // answers may change is asked all over again.
            EXPECT_EQ(counting->Total(), stable ? 0 : asked) << "stable " << stable << " flags " << flags;
        }
        EXPECT_EQ(counting->AnswerKeeper() != nullptr, stable);
    }
}

TEST(KeptAnswers, EachNameFormOfAContextHasAnswersOfItsOwn) {
    // The same object analysed in a context with typeless names and then in one with typed names:
    // the names handed back differ, and so must the answers kept for each.
    std::string typeless[2], typed[2];
    for (int stable : {1, 0}) {
        TAnalysisFixture fixture(Counting(RightsData("analysis.json"), stable != 0));
        typeless[stable] = Analysed(fixture, ".leaf.dept.org", ScanResolveContainers);
        TDSContext context;
        ASSERT_EQ(TDSContext::Duplicate(fixture.ScanContext(), context), 0);
        ASSERT_EQ(U_DSSetContextFlag(context.Get(), "-", DcvTypelessNames), 0);
        TStringList trace, results;
        U_AnalyzeEffectiveRights(context.Get(), ".leaf.dept.org", 31,
                                 ScanDirectoryMode | ScanResolveContainers, &trace, results, nullptr);
        typed[stable] = TAnalysisFixture::Lines(trace);
    }
    EXPECT_EQ(typeless[1], typeless[0]);
    EXPECT_EQ(typed[1], typed[0]);
    EXPECT_NE(typed[1].find("CN=ann.O=org"), std::string::npos) << typed[1];
}

// Every object of a generated tree, analysed with each option on one client that keeps answers,
// first in file order and then again in reverse, against the same analyses on a client that keeps
// nothing. ERA_KEPT_WORKSTATION names another workstation (such as one of era_gen_tree --entries
// 100000) to run it on.
TEST(KeptAnswers, AnalysesAnswerAsFreshOnesOnAGeneratedTree) {
    TTempFolder folder;
    std::string workstation;
    if (const char* given = std::getenv("ERA_KEPT_WORKSTATION")) {
        workstation = given;
    } else {
        const std::string generator = std::string(ERA_BINARY_DIR) + "/tools/era_gen_tree";
        if (!std::filesystem::exists(generator)) GTEST_SKIP() << "no " << generator << " built";
        const std::string command =
            generator + " --entries 1500 --out " + folder.Path("tree") + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        workstation = folder.Path("tree") + "/workstation.json";
    }
    std::vector<std::string> objects;
    {
        auto loaded = Counting(workstation, false);
        ASSERT_TRUE(loaded);
        const TSnapshotTree& tree = *SnapshotTreeOf(*loaded->Workstation().Trees.front());
        for (uint32_t i = 1; i < tree.Objects().size(); ++i)
            objects.push_back("." + WriteFullName(tree.FullName(i), false));
    }
    for (uint32_t flags : {0u, ScanResolveContainers, ScanUsersOnly | ScanResolveContainers}) {
        // With residents every container trustee adds hundreds of entries: every third object.
        const size_t step = flags & ScanResolveContainers ? 3 : 1;
        std::vector<std::string> fresh(objects.size());
        {
            TAnalysisFixture fixture(Counting(workstation, false));
            for (size_t i = 0; i < objects.size(); i += step)
                fresh[i] = Analysed(fixture, objects[i], flags);
        }
        TAnalysisFixture fixture(Counting(workstation, true));
        size_t compared = 0;
        for (size_t i = 0; i < objects.size(); i += step) {
            ASSERT_EQ(Analysed(fixture, objects[i], flags), fresh[i]) << objects[i] << " flags " << flags;
            ++compared;
        }
        for (size_t i = objects.size(); i-- > 0;) {
            if (i % step == 0) {
                ASSERT_EQ(Analysed(fixture, objects[i], flags), fresh[i]) << objects[i] << " again";
            }
        }
        EXPECT_GT(compared, 400u);
    }
}

} // namespace era::test
