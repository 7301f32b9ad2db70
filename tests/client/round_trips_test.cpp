// The round-trip count of era_round_trips against slapd holding the sample tree: every round trip of
// an analysis is charged to exactly one kind of call, the right one, and the levels and trustees it
// sets the target by are those of the analysis.

#include "directory/context.h"
#include "ldap_server.h"
#include "tools/round_trips.h"

#include <numeric>

namespace era::test {
namespace {

using namespace era::roundtrips;

uint64_t Sum(const std::array<uint64_t, KindCount>& counts) {
    return std::accumulate(counts.begin(), counts.end(), uint64_t{0});
}

// The distinct trustees of an object's result on the embedded directory.
int EmbeddedTrustees(const std::string& object) {
    std::string message;
    auto embedded = LoadWorkstation(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json", message);
    EXPECT_TRUE(embedded) << message;
    if (!embedded) return -1;
    auto previous = InstallClient(std::move(embedded));
    std::set<std::string> trustees;
    {
        TDSContext context;
        EXPECT_EQ(TDSContext::Create(context), 0);
        EXPECT_EQ(U_DSChangeCurrentTreeAndContext(context.Get(), "ACME_TREE", "[Root]", false), 0);
        TStringList trace, results;
        U_AnalyzeEffectiveRights(context.Get(), object, 31, ScanDirectoryMode, &trace, results, nullptr);
        for (const auto& entry : results.Items())
            trustees.insert(U_ACLTrustee(entry.Text));
    }
    InstallClient(std::move(previous));
    return static_cast<int>(trustees.size());
}

TEST(RoundTrips, EachRoundTripIsChargedOnceToTheCallThatSentIt) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    ::setenv(TestPasswordVariable, TestPassword, 1);
    std::string message;
    auto owned = LoadCountingClient(server.WriteWorkstation("workstation.json"), message);
    ASSERT_TRUE(owned) << message;
    ASSERT_EQ(owned->NWCallsInit(), 0) << owned->LastError();
    TCountingLdapClient* client = owned.get();
    auto previous = InstallClient(std::move(owned));
    {
        TDSContext context;
        ASSERT_EQ(TDSContext::Create(context), 0);
        ASSERT_EQ(U_DSChangeCurrentTreeAndContext(context.Get(), "ACME_TREE", "[Root]", false), 0);
        const std::string jdoe = ".jdoe.east.sales.acme";

        client->ClearCache();
        client->Tally = {};
        const TAnalysis cold = Analyse(*client, context.Get(), jdoe, ScanDirectoryMode);
        const TTally coldTally = client->Tally;
        // jdoe's walk: jdoe, east, sales, acme and [Root]; a Security Equals search for each of the 9
        // direct trustees, and a read of each of the 4 trustees that are neither a level nor found
        // by a search.
        EXPECT_EQ(cold.Levels, 5);
        EXPECT_EQ(cold.Trips, 5u + 9u + 4u);
        EXPECT_EQ(Sum(coldTally.Trips), cold.Trips);
        EXPECT_EQ(coldTally.Trips[KindSearch], 9u);
        EXPECT_EQ(coldTally.Calls[KindSearch], 9u);
        EXPECT_EQ(coldTally.Trips[KindRead] + coldTally.Trips[KindObjectInfo], 5u + 4u);
        // slapd has no effective-privileges operation: the questions are asked and never sent.
        EXPECT_GT(coldTally.Calls[KindEffectiveRights], 0u);
        EXPECT_EQ(coldTally.Trips[KindEffectiveRights], 0u);
        EXPECT_EQ(cold.Trustees, EmbeddedTrustees(jdoe));

        client->Tally = {};
        const TAnalysis warm = Analyse(*client, context.Get(), jdoe, ScanDirectoryMode);
        EXPECT_EQ(warm.Trips, 0u);
        EXPECT_EQ(Sum(client->Tally.Trips), 0u);
        // The same questions, answered from what the client keeps.
        EXPECT_EQ(client->Tally.Calls, coldTally.Calls);
        EXPECT_EQ(warm.Levels, cold.Levels);
        EXPECT_EQ(warm.Trustees, cold.Trustees);
    }
    InstallClient(std::move(previous));
}

} // namespace
} // namespace era::test
