// The effective-rights analysis over LDAP: what analysing an object of the sample costs in round
// trips to the server.

#include "client_fixture.h"
#include "ldap_server.h"

#include "directory/context.h"
#include "rights/analysis.h"

namespace era::test {
namespace {

class LdapAnalysisTest : public ::testing::Test {
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
    }
    static TSlapd* server_;
    std::unique_ptr<TLdapClient> ldap_;
};
TSlapd* LdapAnalysisTest::server_ = nullptr;

TEST_F(LdapAnalysisTest, CostsOneRoundTripPerLevelAndTrusteeAndNothingTheSecondTime) {
    auto previous = InstallClient(std::unique_ptr<TDirectoryClient>(ldap_.get()));
    TDSContext context;
    ASSERT_EQ(TDSContext::Create(context), 0);
    auto rounds = [&](const char* object) {
        uint64_t before = ldap_->RoundTrips();
        TStringList trace, results;
        U_AnalyzeEffectiveRights(context.Get(), object, 31, ScanDirectoryMode, &trace, results, nullptr);
        return ldap_->RoundTrips() - before;
    };
    // jdoe: 5 levels (jdoe, east, sales, acme, [Root]), one Security Equals search for each of the
    // 9 direct trustees ([Root], [Public], admin, it-admins, helpdesk, everyone, sales,
    // sales-managers, jdoe), and one read for each of the 4 trustees that are neither a level
    // nor found by an earlier search (it-admins, helpdesk, everyone, sales-managers).
    EXPECT_EQ(rounds(".jdoe.east.sales.acme"), 5u + 9u + 4u);
    EXPECT_EQ(rounds(".jdoe.east.sales.acme"), 0u);
    // The alias: its own entry; the rest is jdoe's.
    EXPECT_EQ(rounds(".jane.hr.acme"), 1u);
    // sintern: the level projects (sintern's own entry came with the search for jdoe's equals),
    // the searches for the new trustees projects-team and sintern, and the read of
    // projects-team, which no search has found.
    EXPECT_EQ(rounds(".sintern.projects.east.sales.acme"), 1u + 2u + 1u);
    struct TCold {
        const char* Object;
        uint64_t RoundTrips;
    } cold[] = {{".jdoe.east.sales.acme", 18}, {".sintern.projects.east.sales.acme", 21}, {".hjones.hr.acme", 14},
                {".acme", 11}, {"[Root]", 5}, {".FS1.it.acme", 13}};
    for (const auto& c : cold) {
        ldap_->ClearCache();
        EXPECT_EQ(rounds(c.Object), c.RoundTrips) << c.Object;
    }
    context.Reset();
    InstallClient(std::move(previous)).release();
}

TEST_F(LdapAnalysisTest, ConnectingCostsTheBindAndTheRootEntry) {
    auto fresh = LoadLdap(server_->WriteWorkstation("fresh.json"));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->RoundTrips(), 0u);
    ASSERT_EQ(fresh->NWCallsInit(), 0);
    EXPECT_EQ(fresh->RoundTrips("ACME_TREE"), 2u);      // bind, root entry
    EXPECT_EQ(fresh->RoundTrips("FIXTURE_TREE"), 1u);   // anonymous: the root entry alone
    TContext context(*fresh);
    std::string me;
    ASSERT_EQ(fresh->NWDSWhoAmI(context, me), 0);
    ASSERT_EQ(fresh->NWDSWhoAmI(context, me), 0);
    EXPECT_EQ(fresh->RoundTrips("ACME_TREE"), 3u);      // Who-am-I once per connection
}

} // namespace
} // namespace era::test
