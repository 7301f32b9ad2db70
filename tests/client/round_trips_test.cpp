// The round-trip count of era_round_trips against slapd holding the sample tree: every round trip of
// an analysis is charged to exactly one kind of call, the right one, and the levels and trustees it
// sets the target by are those of the analysis.

#include "directory/context.h"
#include "ldap_responder.h"
#include "ldap_server.h"
#include "tools/round_trips.h"

#include <cstdio>
#include <fstream>
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

// The counting client of a workstation file installed as the process's client, with a context
// at the sample tree's root; the previous client comes back at the end.
class RoundTrips : public ::testing::Test {
protected:
    void Install(const std::string& workstation) {
        ::setenv(TestPasswordVariable, TestPassword, 1);
        std::string message;
        auto owned = LoadCountingClient(workstation, message);
        ASSERT_TRUE(owned) << message;
        ASSERT_EQ(owned->NWCallsInit(), 0) << owned->LastError();
        client_ = owned.get();
        previous_ = InstallClient(std::move(owned));
        installed_ = true;
        ASSERT_EQ(TDSContext::Create(context_), 0);
        ASSERT_EQ(U_DSChangeCurrentTreeAndContext(context_.Get(), "ACME_TREE", "[Root]", false), 0);
    }
    void TearDown() override {
        context_.Reset();
        if (installed_) InstallClient(std::move(previous_));
    }
    TCountingLdapClient* client_ = nullptr;
    TDSContext context_;

private:
    std::unique_ptr<TDirectoryClient> previous_;
    bool installed_ = false;
};

TEST_F(RoundTrips, EachRoundTripIsChargedOnceToTheCallThatSentIt) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    ASSERT_NO_FATAL_FAILURE(Install(server.WriteWorkstation("workstation.json")));
    TCountingLdapClient* client = client_;
    const NWDSContextHandle context = context_.Get();
    {
        const std::string jdoe = ".jdoe.east.sales.acme";

        client->ClearCache();
        client->Tally = {};
        const TAnalysis cold = Analyse(*client, context, jdoe, ScanDirectoryMode);
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
        const TAnalysis warm = Analyse(*client, context, jdoe, ScanDirectoryMode);
        EXPECT_EQ(warm.Trips, 0u);
        EXPECT_EQ(Sum(client->Tally.Trips), 0u);
        // The same questions, answered from what the client keeps.
        EXPECT_EQ(client->Tally.Calls, coldTally.Calls);
        EXPECT_EQ(warm.Levels, cold.Levels);
        EXPECT_EQ(warm.Trustees, cold.Trustees);
    }
}

// Every object of the sample tree: [Root] and each entry of its LDIF below the tree's own entry.
std::vector<std::string> SampleTreeObjects() {
    std::vector<std::string> objects = {std::string(RootName)};
    std::ifstream in(std::string(ERA_EXAMPLES_DIR) + "/acme/acme.ldif");
    std::string line, error;
    while (std::getline(in, line)) {
        if (line.rfind("dn: ", 0) != 0 || line.rfind("dn: t=", 0) == 0) continue;
        TNameParts parts;
        if (LdapDnToParts(line.substr(4), parts, error)) objects.push_back("." + WriteFullName(parts, true));
    }
    return objects;
}

TEST_F(RoundTrips, WarmSendsNothingToAServerThatAnswersEffectivePrivileges) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    TLdapResponder responder(server.Port(), {});
    ASSERT_TRUE(responder.Running());
    std::string text;
    {
        std::ifstream in(server.WriteWorkstation("workstation.json"));
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (size_t at; (at = text.find(server.Uri())) != std::string::npos;)
        text.replace(at, server.Uri().size(), responder.Uri());
    ASSERT_NO_FATAL_FAILURE(Install(server.WriteFile("responder.json", text)));
    TCountingLdapClient* client = client_;
    const NWDSContextHandle context = context_.Get();
    {
        const std::vector<std::string> objects = SampleTreeObjects();
        ASSERT_EQ(objects.size(), 42u);
        uint64_t cold = 0, coldRights = 0, warm = 0, target = 0, pass[2] = {0, 0};
        for (const auto& object : objects) {
            client->ClearCache();
            client->Tally = {};
            const TAnalysis first = Analyse(*client, context, object, ScanDirectoryMode);
            cold += first.Trips;
            coldRights += client->Tally.Trips[KindEffectiveRights];
            client->Tally = {};
            const TAnalysis again = Analyse(*client, context, object, ScanDirectoryMode);
            warm += again.Trips;
            target += static_cast<uint64_t>(again.Levels + again.Trustees) + 1;
            // The questions were asked again, and each answer came from what the client keeps.
            EXPECT_GT(client->Tally.Calls[KindEffectiveRights], 0u) << object;
            EXPECT_EQ(again.Trips, 0u) << object;
            EXPECT_LE(again.Trips, static_cast<uint64_t>(again.Levels + again.Trustees) + 1) << object;
        }
        // The server got the effective-rights questions cold: it answers them.
        EXPECT_GT(coldRights, 0u);
        client->ClearCache();
        for (auto& trips : pass) {
            const uint64_t before = client->RoundTrips();
            for (const auto& object : objects)
                Analyse(*client, context, object, ScanDirectoryMode);
            trips = client->RoundTrips() - before;
        }
        EXPECT_EQ(pass[1], 0u);
        const double n = static_cast<double>(objects.size());
        char figures[256];
        std::snprintf(figures, sizeof figures,
                      "per object, %zu objects: cold %.2f (effective rights %.2f), warm %.2f, target %.2f, "
                      "scan %.2f then %.2f",
                      objects.size(), static_cast<double>(cold) / n, static_cast<double>(coldRights) / n,
                      static_cast<double>(warm) / n, static_cast<double>(target) / n,
                      static_cast<double>(pass[0]) / n, static_cast<double>(pass[1]) / n);
        RecordProperty("round_trips", figures);
        std::printf("%s\n", figures);
    }
    EXPECT_EQ(responder.Malformed(), 0) << responder.Complaints();
}

} // namespace
} // namespace era::test
