#include "analysis_fixture.h"

#include "rights/notation.h"
#include "../client/client_fixture.h"

namespace era::test {
namespace {

// The effective-rights lines ("  Effective: ...") of a trace, without their levels.
std::vector<std::string> EffectiveLines(const std::string& trace) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with(" 5   Effective: ")) lines.push_back(line.substr(3));
    return lines;
}

bool Holds(const std::string& trace, const std::string& line) { return trace.find(line + "\n") != std::string::npos; }

size_t Count(const std::string& trace, const std::string& line) {
    size_t count = 0;
    for (size_t at = trace.find(line + "\n"); at != std::string::npos; at = trace.find(line + "\n", at + 1)) ++count;
    return count;
}

class AnalysisRules : public ::testing::Test {
protected:
    TAnalysisFixture rights_{RightsData("analysis.json")};
};

TEST_F(AnalysisRules, AnAssignmentThatIsNotInheritableStopsAtItsLevel) {
    // temp's Create is assigned on org itself: there it counts, one level down it is gone.
    const std::string org = rights_.Object(".org");
    EXPECT_TRUE(Holds(org, " 5   Effective: [ C    ] -> [User] .temp.org / [Entry Rights]")) << org;
    const std::string dept = rights_.Object(".dept.org");
    EXPECT_TRUE(Holds(dept, "25   Direct Trustee: [ C    ] .temp.org / [Entry Rights]")) << dept;
    EXPECT_EQ(dept.find("Effective: [ C    ] -> [User] .temp.org"), std::string::npos) << dept;
}

TEST_F(AnalysisRules, AFilterReducesSupervisorAndTheImplicationDoesNotComeBack) {
    const std::string leaf = rights_.Object(".leaf.dept.org");
    // boss holds Supervisor (implied BCDRA) from [Root]; dept's filter lets Browse through.
    EXPECT_TRUE(Holds(leaf, "25   Direct Trustee: [BCDRAI] .boss.org / [Entry Rights]"));
    EXPECT_TRUE(Holds(leaf, "28 IRM: [B    I] on \"[Entry Rights]\""));
    EXPECT_TRUE(Holds(leaf, " 5   Effective: [B    I] -> [User] .boss.org / [Entry Rights]")) << leaf;
    // The filter acts on what flows in, never on what dept itself assigns.
    EXPECT_TRUE(Holds(leaf, " 5   Effective: [BCDRAI] -> [User] .deptboss.dept.org / [Entry Rights]")) << leaf;
}

TEST_F(AnalysisRules, AssignmentsOfOneTrusteeOnTwoLevelsMergeIntoOneResult) {
    TStringList results;
    const std::string leaf = rights_.Object(".leaf.dept.org", 0, 31, &results);
    int annAllAttributes = 0;
    for (const auto& entry : results.Items()) {
        const TACL record = U_ParseACL(entry.Text);
        if (record.Trustee == ".ann.org" && record.Attribute == "[All Attributes Rights]") {
            ++annAllAttributes;
            EXPECT_EQ(record.Rights, "CRWS  ");   // Read from org, Write from dept, implied Compare and Self
            EXPECT_EQ(entry.Object, record.Mask);
        }
    }
    EXPECT_EQ(annAllAttributes, 1);
    // The directory lets dept's assignment replace org's: the self-check says where the two differ.
    EXPECT_TRUE(Holds(leaf, " 5   Check 2:     Calc s: [CRWS  ] - Eff: [  WS  ]")) << leaf;
}

TEST_F(AnalysisRules, EntrySupervisorWidensEveryAttributeEntryWithItsReason) {
    const std::string leaf = rights_.Object(".leaf.dept.org");
    const std::string effective = " 5   Effective: [CRWSA ] -> [User] .deptboss.dept.org / Telephone Number";
    ASSERT_TRUE(Holds(leaf, effective)) << leaf;
    const size_t at = leaf.find(effective);
    const std::string notes = leaf.substr(at, leaf.find(" 5 ", at + effective.size()) - at);
    EXPECT_NE(notes.find("31      * [C    I] for direct Trustee assignment on \".dept.org\""), std::string::npos)
        << notes;
    EXPECT_NE(notes.find("31      * [CRWSA ] Effective [BCDRAI] rights on [Entry Rights]  \n"), std::string::npos)
        << notes;
}

TEST_F(AnalysisRules, SecurityEqualsGoesOneLinkDeepAndItsLinesAreRecordedOnce) {
    const std::string leaf = rights_.Object(".leaf.dept.org");
    // bob is security-equal to ann (two entries of ann, one trace line); carl to bob is not followed.
    EXPECT_EQ(Count(leaf, "17   Indirect Trustee: .bob.org\t(SecEqu to \".ann.org\")"), 1u) << leaf;
    EXPECT_TRUE(Holds(leaf, " 5   Effective: [B    I] -> [User] .bob.org / [Entry Rights]"));
    EXPECT_TRUE(Holds(leaf, "31      * [B    I] for SecEqu to \".ann.org\""));
    EXPECT_EQ(leaf.find(".carl.org"), std::string::npos) << leaf;
}

TEST_F(AnalysisRules, EveryEntryOfABracketedTrusteeGetsTheSameSecurityEqualsAnswer) {
    // [Public] holds two entries; its cache section is written under the cleaned name "Public".
    // Both entries must be expanded, not only the first one searched.
    const std::string leaf = rights_.Object(".leaf.dept.org");
    EXPECT_TRUE(Holds(leaf, " 5   Effective: [B    I] -> [User] .dora.org / [Entry Rights]")) << leaf;
    EXPECT_TRUE(Holds(leaf, " 5   Effective: [CR    ] -> [User] .dora.org / Telephone Number")) << leaf;
    EXPECT_EQ(Count(leaf, "22 U_DSFilteredSearch ([Public])"), 0u);
}

TEST_F(AnalysisRules, ResidenceAddsTheLeavesBelowAContainerTrusteeOnlyOnRequest) {
    const std::string without = rights_.Object(".leaf.dept.org");
    EXPECT_EQ(without.find("Resides in"), std::string::npos);
    const std::string with = rights_.Object(".leaf.dept.org", ScanResolveContainers);
    EXPECT_TRUE(Holds(with, "16   Indirect Trustee: .member.team.dept.org\t(Resides in \".dept.org\")")) << with;
    EXPECT_TRUE(Holds(with, "16   Indirect Trustee: .leaf.dept.org\t(Resides in \".dept.org\")"));
    // Containers below are descended into but not added themselves.
    EXPECT_EQ(with.find("Indirect Trustee: .team.dept.org"), std::string::npos);
    EXPECT_TRUE(Holds(with, " 5   Effective: [CR    ] -> [User] .member.team.dept.org / [All Attributes Rights]"));
}

TEST_F(AnalysisRules, UsersOnlyKeepsLoginCapableTrusteesAndTheSpecialNames) {
    const std::string users = rights_.Object(".leaf.dept.org", ScanUsersOnly);
    const std::vector<std::string> lines = EffectiveLines(users);
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) {
        EXPECT_EQ(line.find(".deptboss.dept.org"), std::string::npos) << line;   // no ndsLoginProperties
        EXPECT_EQ(line.find("] .dept.org"), std::string::npos) << line;          // a container, residence off
    }
    EXPECT_TRUE(Holds(users, " 5   Effective: [B    I] -> [n/a] [Public] / [Entry Rights]"));
    EXPECT_TRUE(Holds(users, " 5   Effective: [B    I] -> [User] .boss.org / [Entry Rights]"));
    const std::string withContainers = rights_.Object(".leaf.dept.org", ScanUsersOnly | ScanResolveContainers);
    EXPECT_TRUE(Holds(withContainers,
                      " 5   Effective: [CR    ] -> [Organizational Unit] .dept.org / [All Attributes Rights]"));
}

TEST_F(AnalysisRules, AnObjectWithoutAnyACLGivesNoTrusteesButTheLevelsAndTheirErrors) {
    // A tree without any assignment: only the trace of the walk up.
    TTempFolder folder;
    const std::string ldif = folder.Write("bare.ldif",
                                          "version: 1\n\ndn: o=bare\nobjectClass: organization\no: bare\n\n"
                                          "dn: cn=x,o=bare\nobjectClass: inetOrgPerson\ncn: x\nsn: X\n");
    const std::string ws = folder.Write(
        "bare.json", R"({"trees":[{"name":"BARE","ldif":"bare.ldif"}],"servers":[{"name":"S","tree":"BARE",
        "volumes":[]}],"connections":[{"server":"S","user":"cn=x,o=bare","primary":true}]})");
    TAnalysisFixture bare(ws);
    TStringList results;
    const std::string trace = bare.Object(".x.bare", 0, 31, &results);
    EXPECT_EQ(results.Count(), 0);
    EXPECT_TRUE(Holds(trace, "13 Object: \".x.bare\" on tree \"BARE\""));
    for (const char* level : {"[Root]", ".bare", ".x.bare"}) {
        EXPECT_TRUE(Holds(trace, std::string("22 DN: ") + level)) << trace;
        EXPECT_TRUE(Holds(trace, Format("22 U_DSGetAttribute (%s:ACL): 0xFFFFFDA5 (no such attribute)", level)))
            << trace;
    }
    EXPECT_TRUE(EffectiveLines(trace).empty());
}

TEST_F(AnalysisRules, FileSystemMode) {
    // ann: RW at the volume root, reduced by DOCS's mask RF to R, replaced by F on DOCS\OWN.
    const std::string docs = rights_.Path("FSA/VOL:DOCS", 0, 41);
    EXPECT_TRUE(Holds(docs, "41   Apply Filter: .ann.org -> [R       ]")) << docs;
    EXPECT_TRUE(Holds(docs, " 5   Effective: [R       ] -> [User] .ann.org")) << docs;
    EXPECT_TRUE(Holds(docs, " 5   Effective: [RWCE    ] -> [User] .bob.org")) << docs;
    EXPECT_TRUE(Holds(docs, "14 Path: \"VOL:DOCS\" - IRM [R    F  ]")) << docs;
    EXPECT_TRUE(Holds(docs, "24 Path: \"VOL:\" - IRM [RWCEAFMS]")) << docs;
    const std::string own = rights_.Path("FSA/VOL:DOCS\\OWN", 0, 41);
    EXPECT_TRUE(Holds(own, " 5   Effective: [     F  ] -> [User] .ann.org")) << own;
    // boss's Supervisor on [Root] flows to the server's object: every file right, past every mask.
    EXPECT_TRUE(Holds(own, " 5   Effective: [RWCEAFMS] -> [User] .boss.org")) << own;
    // Lines above the caller's level are never recorded.
    const std::string at31 = rights_.Path("FSA/VOL:DOCS", 0, 31);
    EXPECT_EQ(at31.find("41 "), std::string::npos) << at31;
    EXPECT_EQ(at31.find("Apply Filter"), std::string::npos);
    EXPECT_EQ(at31.find("Recalc"), std::string::npos);
}

} // namespace
} // namespace era::test
