// The lookups both faces offer, and the name and path helpers, on the sample workstation.

#include "app/lookups.h"
#include "sample_state.h"

#include <utility>
#include <vector>

namespace era {
namespace {

class Lookups : public SampleStateTest {};

std::vector<std::string> Lines(const TLookup& lookup) {
    std::vector<std::string> lines;
    for (const auto& item : lookup.Lines.Items())
        lines.push_back(item.Text);
    return lines;
}

TEST(DirectoryName, TurnsCommaFormNamesAndLeavesTheOthers) {
    const std::pair<const char*, const char*> cases[] = {
        {"cn=jdoe,ou=east,ou=sales,o=acme", ".jdoe.east.sales.acme"},
        {"CN=jdoe,O=acme", ".jdoe.acme"},
        {"o=acme", "o=acme"}, // no comma: a name of one part, read by the directory as it is
        {".jdoe.east.sales.acme", ".jdoe.east.sales.acme"},
        {"jdoe.east", "jdoe.east"},
        {"[Root]", "[Root]"},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(DirectoryName(given), expected) << given;
}

TEST_F(Lookups, FullObjectNameResolvesWhatTheDirectoryKnows) {
    const std::pair<const char*, const char*> cases[] = {
        {"jdoe.east.sales.acme", ".jdoe.east.sales.acme"},
        {"cn=jdoe,ou=east,ou=sales,o=acme", ".jdoe.east.sales.acme"},
        {".admin.acme", ".admin.acme"},
        {"vdavis", ".vdavis"}, // unknown: made full as typed
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(FullObjectName(state_.ScanContext.Get(), given), expected) << given;
}

TEST_F(Lookups, ListContainerGivesTheSubordinatesOrSaysWhyNot) {
    const TLookup root = ListContainer(state_.ScanContext.Get(), "");
    EXPECT_EQ(root.Outcome, TLookupOutcome::Done);
    EXPECT_EQ(Lines(root), std::vector<std::string>{"Organization: acme"});
    const TLookup comma = ListContainer(state_.ScanContext.Get(), "ou=sales,o=acme");
    EXPECT_EQ(Lines(comma), Lines(ListContainer(state_.ScanContext.Get(), ".sales.acme")));
    EXPECT_FALSE(comma.Lines.Items().empty());

    const TLookup leaf = ListContainer(state_.ScanContext.Get(), ".admin.acme");
    EXPECT_EQ(leaf.Outcome, TLookupOutcome::NoContainer);
    EXPECT_EQ(leaf.Item, ".admin.acme");

    const TLookup relative = ListContainer(state_.ScanContext.Get(), "vdavis");
    EXPECT_EQ(relative.Outcome, TLookupOutcome::CallFailed);
    EXPECT_EQ(relative.Code, ErrNoSuchEntry);
    EXPECT_EQ(relative.Call, "U_DSListContainer (vdavis)");
    EXPECT_EQ(relative.Hint, "did you mean .vdavis.hr.acme?");
}

TEST_F(Lookups, AttributeLinesAndSearch) {
    EXPECT_EQ(Lines(AttributeLines(state_.ScanContext.Get(), "cn=jdoe,ou=east,ou=sales,o=acme", "Surname")),
              std::vector<std::string>{"Doe"});
    const TLookup missing = AttributeLines(state_.ScanContext.Get(), ".nobody.acme", "Surname");
    EXPECT_EQ(missing.Outcome, TLookupOutcome::CallFailed);
    EXPECT_EQ(missing.Call, "U_DSGetAttributeEx (.nobody.acme:Surname)");

    EXPECT_EQ(Lines(SearchObjects(state_.ScanContext.Get(), ".sales.acme",
                                  "(Object Class=Organizational Unit)", 1, "")),
              (std::vector<std::string>{"east.sales.acme", "west.sales.acme"}));
    const TLookup unbalanced = SearchObjects(state_.ScanContext.Get(), "[Root]", "(CN=x", 2, "");
    EXPECT_EQ(unbalanced.Outcome, TLookupOutcome::CallFailed);
    EXPECT_EQ(unbalanced.Hint, "the filter holds 1 \"(\" but 0 \")\"");
}

TEST_F(Lookups, EffectiveRightsLogsEachCallItMakes) {
    std::vector<std::pair<std::string, NWCCODE>> calls;
    const TCallLog log = [&calls](const std::string& call, NWCCODE code) { calls.emplace_back(call, code); };
    const TLookup rights =
        EffectiveRights(state_.ScanContext.Get(), ".admin.acme", ".hr.acme", "surname", log);
    EXPECT_EQ(rights.Outcome, TLookupOutcome::Done);
    EXPECT_EQ(Lines(rights), std::vector<std::string>{"[CR    ]"});
    EXPECT_EQ(rights.Mask, 3u);
    const std::vector<std::pair<std::string, NWCCODE>> expected = {
        {"NWDSGetSyntaxID (surname)", 0},
        {"NWDSGetEffectiveRights (.admin.acme on .hr.acme:surname)", 0},
        {"U_DSGetEffectiveRights (.admin.acme on .hr.acme:surname) (rights=0003)", 0},
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(Lookups, EffectiveRightsNamesWhatItCouldNotAnswer) {
    const struct {
        const char* Subject;
        const char* Object;
        const char* Attribute;
        TLookupOutcome Outcome;
        const char* Item;
        const char* Hint;
    } cases[] = {
        {".admin.acme", ".hr.acme", "[entry rights]", TLookupOutcome::Done, "", ""},
        {".admin.acme", ".hr.acme", "xyzzy", TLookupOutcome::UnknownAttribute, "xyzzy", ""},
        {"vdavis", ".hr.acme", "", TLookupOutcome::CallFailed, "vdavis", "did you mean .vdavis.hr.acme?"},
        {".admin.acme", "jdoe", "", TLookupOutcome::CallFailed, "jdoe",
         "did you mean .jdoe.east.sales.acme?"},
    };
    for (const auto& c : cases) {
        const TLookup rights = EffectiveRights(state_.ScanContext.Get(), c.Subject, c.Object, c.Attribute);
        EXPECT_EQ(rights.Outcome, c.Outcome) << c.Subject << " " << c.Object;
        EXPECT_EQ(rights.Item, c.Item) << c.Subject << " " << c.Object;
        EXPECT_EQ(rights.Hint, c.Hint) << c.Subject << " " << c.Object;
    }
}

TEST_F(Lookups, APathSelectsTheServerItLiesOn) {
    state_.FillServerList();
    ASSERT_EQ(state_.ServerName, "FS1");
    const struct {
        const char* Path;
        bool Known;
        const char* Server;
    } cases[] = {
        {"Z:\\PUBLIC", true, "FS2"}, // a drive mapped to the other server
        {"\\\\FS1\\SYS\\PUBLIC", true, "FS1"},
        {"\\\\fs2\\sys", true, "FS2"},
        {"\\\\NOPE\\SYS", false, "FS2"}, // the selection stays
        {"/tmp", false, "FS2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectServerOfPath(state_, c.Path), c.Known) << c.Path;
        EXPECT_EQ(state_.ServerName, c.Server) << c.Path;
    }
}

TEST_F(Lookups, TheWorkstationsTreesAndServersWithTheirTrees) {
    EXPECT_EQ(Lines(WorkstationTrees()), (std::vector<std::string>{"ACME_TREE", "LAB_TREE"}));
    std::vector<std::string> calls;
    const TServerTrees servers =
        WorkstationServers([&calls](const std::string& call, NWCCODE) { calls.push_back(call); });
    EXPECT_EQ(Joined(servers.Servers), "FS1, FS2");
    EXPECT_EQ(servers.Trees, (std::vector<std::string>{"ACME_TREE", "LAB_TREE"}));
    EXPECT_EQ(calls, (std::vector<std::string>{"U_ListServers (FS1, FS2)", "U_GetTreeNameByRef (FS1)",
                                               "U_GetTreeNameByRef (FS2)"}));
}

TEST(KnownTree, FindsTheTreeInAnyLetterCase) {
    TStringList trees;
    trees.Add("ACME_TREE");
    trees.Add("LAB_TREE");
    EXPECT_EQ(KnownTree(trees, "lab_tree"), "LAB_TREE");
    EXPECT_EQ(KnownTree(trees, "ACME_TREE"), "ACME_TREE");
    EXPECT_EQ(KnownTree(trees, "NO_TREE"), "");
    EXPECT_EQ(KnownTree(trees, ""), "");
}

} // namespace
} // namespace era
