// An item's reach: its summary rows of the trustee, each with the reasons the trace gives below
// that trustee's effective-rights line, and no answer when summary and trace do not belong together.

#include "app/reach.h"

#include <gtest/gtest.h>

namespace era {
namespace {

const std::vector<std::string> Summary = {
    "",
    "Object: \".sales.acme\" on tree \"ACME_TREE\"",
    "Effective Trustee:\tUser\t[CRWS  ]\t.jdoe.east.sales.acme\t[All Attributes Rights]",
    "Effective Trustee:\tUser\t[ CDR I]\t.jdoe.east.sales.acme\t[Entry Rights]",
    "Self-check:\tUser\t[ CDR I]\t.jdoe.east.sales.acme\t[Entry Rights]\tdirectory: [BCDR I]",
    "Effective Trustee:\tGroup\t[CRWS  ]\t.jdoe-team.sales.acme\t[All Attributes Rights]",
    "",
    "",
};

const std::vector<std::string> Trace = {
    "Object: \".sales.acme\" on tree \"ACME_TREE\"",
    "  Indirect Trustee: .jdoe.east.sales.acme\t(SecEqu to \".everyone.acme\")",
    "",
    "  Effective: [CRWS  ] -> [User] .jdoe.east.sales.acme / [All Attributes Rights]",
    "     * [CR    ] for SecEqu to \".everyone.acme\"",
    "     * [CRWS  ] for SecEqu to \".sales-managers.sales.acme\"",
    "  Effective: [ CDR I] -> [User] .jdoe.east.sales.acme / [Entry Rights]",
    "  Check 2:     Calc s: [ CDR I] - Eff: [BCDR I]",
    "     * [ CDR I] for SecEqu to \".sales-managers.sales.acme\"",
    "  Effective: [CRWS  ] -> [Group] .jdoe-team.sales.acme / [All Attributes Rights]",
    "     * [CRWS  ] for direct Trustee assignment on \".sales.acme\"",
    "",
    "     * [CR    ] a note of no result",
};

TEST(Reach, TheTrusteesRowsWithTheirSelfChecksAndReasons) {
    TReachItem reach;
    ASSERT_TRUE(ReachOfItem(Summary, Trace, ".JDOE.east.sales.acme", reach));
    EXPECT_EQ(reach.Heading, std::vector<std::string>{Summary[1]});
    ASSERT_EQ(reach.Rows.size(), 2u);
    EXPECT_EQ(reach.Rows[0].Row, Summary[2]);
    EXPECT_EQ(reach.Rows[0].Reasons,
              (std::vector<std::string>{"[CR    ] for SecEqu to \".everyone.acme\"",
                                        "[CRWS  ] for SecEqu to \".sales-managers.sales.acme\""}));
    EXPECT_TRUE(reach.Rows[0].SelfChecks.empty());
    EXPECT_EQ(reach.Rows[1].SelfChecks, std::vector<std::string>{Summary[4]});
    EXPECT_EQ(reach.Rows[1].Reasons,
              std::vector<std::string>{"[ CDR I] for SecEqu to \".sales-managers.sales.acme\""});
    EXPECT_EQ(ReachLines(reach),
              (std::vector<std::string>{Summary[1], Summary[2], "     * " + reach.Rows[0].Reasons[0],
                                        "     * " + reach.Rows[0].Reasons[1], Summary[3], Summary[4],
                                        "     * " + reach.Rows[1].Reasons[0], ""}));
    // The reasons end with the lines of their result: a note after it is none of its reasons.
    ASSERT_TRUE(ReachOfItem(Summary, Trace, ".jdoe-team.sales.acme", reach));
    ASSERT_EQ(reach.Rows.size(), 1u);
    EXPECT_EQ(reach.Rows[0].Reasons,
              std::vector<std::string>{"[CRWS  ] for direct Trustee assignment on \".sales.acme\""});
    // A name that only begins like the trustee's is another trustee.
    ASSERT_TRUE(ReachOfItem(Summary, Trace, ".jdoe", reach));
    EXPECT_TRUE(reach.Rows.empty());
    EXPECT_TRUE(ReachLines(reach).empty());
}

TEST(Reach, ASummaryAndATraceThatDoNotBelongTogetherGiveNoAnswer) {
    TReachItem reach;
    std::vector<std::string> shortTrace(Trace.begin(), Trace.begin() + 9);
    EXPECT_FALSE(
        ReachOfItem(Summary, shortTrace, ".jdoe.east.sales.acme", reach)); // a row without its result
    std::vector<std::string> otherRights = Trace;
    otherRights[6] = "  Effective: [BCDR I] -> [User] .jdoe.east.sales.acme / [Entry Rights]";
    EXPECT_FALSE(ReachOfItem(Summary, otherRights, ".jdoe.east.sales.acme", reach));
    std::vector<std::string> moreResults = Trace;
    moreResults.push_back("  Effective: [B    I] -> [] [Public] / [Entry Rights]");
    EXPECT_FALSE(
        ReachOfItem(Summary, moreResults, ".jdoe.east.sales.acme", reach)); // a result without its row
}

} // namespace
} // namespace era
