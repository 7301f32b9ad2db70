#include "app/report.h"
#include "sample_state.h"
#include "util/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace era {
namespace {

TStringList Trace(const std::vector<std::pair<uint32_t, std::string>>& lines) {
    TStringList trace;
    for (const auto& [level, text] : lines) trace.AddObject(text, level);
    return trace;
}

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> out;
    for (const auto& item : list.Items()) out.push_back(item.Text);
    return out;
}

TEST(BuildSummary, KeepsHeadingsErrorsAndFilteredTrusteeLines) {
    TStringList trace = Trace({
        {31, "_____________________"},
        {14, ""},
        {13, "Object: \".x.acme\" on tree \"T\""},
        {22, "DN: [Root]"},
        {5, "  Effective: [BCDRAI] -> [User] .Admin.org / [Entry Rights]"},
        {5, "  Effective: [B    I] -> [n/a] [Public] / [Entry Rights]"},
        {5, "  Effective: [CR    ] -> [Tree Root] [Root] / \"Network Address\""},
        {5, "  Effective: [CR    ] -> [User] bob.org / [All Attributes Rights]"},
        {21, "Invalid Object (x): 0xFFFFFF64 (no such entry)"},
        {31, "     * [B    I] for direct Trustee assignment on \"[Root]\""},
    });
    TReportInputs inputs;
    inputs.FilterExcl = "adm";
    BuildSummary(trace, inputs);
    EXPECT_EQ(Lines(trace), (std::vector<std::string>{
                                "",
                                "Object: \".x.acme\" on tree \"T\"",
                                "Effective Trustee:\tn/a\t[B    I]\t[Public]\t[Entry Rights]",
                                "Effective Trustee:\tTree Root\t[CR    ]\t[Root]\tNetwork Address",
                                "Effective Trustee:\tUser\t[CR    ]\t.bob.org\t[All Attributes Rights]",
                                "Invalid Object (x): 0xFFFFFF64 (no such entry)",
                                "",
                                "",
                            }));

    TStringList included = Trace({{14, ""}, {13, "Object"}, {5, "  Effective: [B    I] -> [User] .admin / [Entry Rights]"}});
    inputs.FilterExcl.clear();
    inputs.FilterIncl = "x";
    BuildSummary(included, inputs);
    EXPECT_EQ(Lines(included), (std::vector<std::string>{"", "Object", "", ""}));
}

TEST(BuildSummary, HeadingsDecideWhatAnItemShows) {
    TReportInputs inputs;
    // A missing object: an error line but no heading gives only the two closing lines.
    TStringList missing = Trace({{31, "_____________________"}, {21, "Invalid Object (x): 0xFFFFFF64"}});
    BuildSummary(missing, inputs);
    EXPECT_EQ(Lines(missing), (std::vector<std::string>{"", ""}));
    // A missing path: its heading, the error and "No trustees detected".
    TStringList path = Trace({{13, "Path: \"F:\\NOPE\" (not found)"}, {21, "Invalid Path (F:\\NOPE): 0xFFFFFF64"}});
    inputs.FileMode = true;
    BuildSummary(path, inputs);
    EXPECT_EQ(Lines(path), (std::vector<std::string>{"Path: \"F:\\NOPE\" (not found)",
                                                      "Invalid Path (F:\\NOPE): 0xFFFFFF64", "No trustees detected",
                                                      "", ""}));
}

TEST(BuildSummary, SelfChecksFollowTheirTrusteeRowAndItsFilters) {
    // A check line once became a trustee row of its own, naming ".- Eff: [BCDR I]" as a trustee,
    // that passed the filters whatever its trustee's row did.
    const auto trace = [] {
        return Trace({{14, ""},
                      {13, "Object: \".jdoe.acme\" on tree \"T\""},
                      {5, "  Effective: [ CDR I] -> [User] .jdoe.acme / [Entry Rights]"},
                      {5, "  Check 1:     Calc s: [ CDR  ] - Calc i: [ CDR I]"},
                      {31, "     * a line the summary leaves out"},
                      {5, "  Check 2:     Calc s: [ CDR  ] - Eff: [BCDR I]"},
                      {31, "     * [ CDR I] for direct Trustee assignment on \".acme\""},
                      {5, "  Effective: [B    I] -> [n/a] [Public] / [Entry Rights]"}});
    };
    const std::string row = "Effective Trustee:\tUser\t[ CDR I]\t.jdoe.acme\t[Entry Rights]";
    const std::string check1 = "Self-check:\tUser\t[ CDR  ]\t.jdoe.acme\t[Entry Rights]\tmask: [ CDR I]";
    const std::string check2 = "Self-check:\tUser\t[ CDR  ]\t.jdoe.acme\t[Entry Rights]\tdirectory: [BCDR I]";
    const std::string publicRow = "Effective Trustee:\tn/a\t[B    I]\t[Public]\t[Entry Rights]";
    const std::string heading = "Object: \".jdoe.acme\" on tree \"T\"";
    struct TCase {
        const char* Include;
        const char* Exclude;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {"", "", {"", heading, row, check1, check2, publicRow, "", ""}},
        {"Eff", "", {"", heading, "", ""}},                // the check's own text is no trustee name
        {"jdoe", "", {"", heading, row, check1, check2, "", ""}},
        {"", "jdoe", {"", heading, publicRow, "", ""}},
        {"", "Public", {"", heading, row, check1, check2, "", ""}},
    };
    for (const auto& c : cases) {
        TStringList lines = trace();
        TReportInputs inputs;
        inputs.FilterIncl = c.Include;
        inputs.FilterExcl = c.Exclude;
        BuildSummary(lines, inputs);
        EXPECT_EQ(Lines(lines), c.Expected) << "include " << c.Include << ", exclude " << c.Exclude;
    }
}

class AttributeLines : public SampleStateTest {
protected:
    void SetUp() override {
        SampleStateTest::SetUp();
        config_.Count = 2;
        config_.Template = "#Attr_01\t#Attr_02";
        config_.Names[1] = "Telephone Number";
        config_.Names[2] = "No Such Attribute";
        config_.Defaults[2] = "-";
    }
    TReportInputs Inputs(TCache& cache) {
        TReportInputs inputs;
        inputs.AttrColumnsEnabled = true;
        inputs.AttrConfig = &config_;
        inputs.ResultCache = &cache;
        inputs.Context = state_.BrowseContext.Get();
        return inputs;
    }
    TAttrConfig config_;
};

TEST_F(AttributeLines, ComeFromTheDirectoryOnceAndThenFromTheCache) {
    TCache cache;
    const std::string line = "  Effective: [CR    ] -> [User] .jdoe.east.sales.acme / [All Attributes Rights]";
    TStringList first = Trace({{14, ""}, {5, line}});
    BuildSummary(first, Inputs(cache));
    ASSERT_EQ(first.Count(), 6) << first.Text();
    EXPECT_EQ(first.Strings(2), "+1 555 0210\t-");   // the unreadable column shows its default
    EXPECT_EQ(first.Strings(3), "");
    EXPECT_EQ(cache.ReadValue("Attr - User", ".jdoe.east.sales.acme"), "+1 555 0210\t-");

    // The second time the line comes from the cache: a value changed there shows.
    cache.WriteValue("Attr - User", ".jdoe.east.sales.acme", "\"from the cache\"");
    TStringList second = Trace({{14, ""}, {5, line}});
    BuildSummary(second, Inputs(cache));
    EXPECT_EQ(second.Strings(2), "from the cache");
}

TEST_F(AttributeLines, FollowTheSelfChecksOfTheirTrustee) {
    TStringList trace = Trace({{14, ""},
                               {5, "  Effective: [ CDR I] -> [User] .admin.acme / [Entry Rights]"},
                               {5, "  Check 2:     Calc s: [ CDR I] - Eff: [BCDR I]"}});
    TReportInputs inputs;   // without a cache: the values come from the directory
    inputs.AttrColumnsEnabled = true;
    inputs.AttrConfig = &config_;
    inputs.Context = state_.BrowseContext.Get();
    BuildSummary(trace, inputs);
    EXPECT_EQ(Lines(trace), (std::vector<std::string>{
                                "", "Effective Trustee:\tUser\t[ CDR I]\t.admin.acme\t[Entry Rights]",
                                "Self-check:\tUser\t[ CDR I]\t.admin.acme\t[Entry Rights]\tdirectory: [BCDR I]",
                                "+1 555 0101\t-", "", "", ""}));
}

TEST_F(AttributeLines, ACacheFileLeftByAnEarlierRunIsNeitherReadNorDeleted) {
    // The cache used one file name for every run: a run that was killed left values that the next
    // run showed as read from the directory, and a run beside it lost its file. Each cache now has
    // a file of its own, and a file left by another run is that run's.
    // A temporary folder of the test's own: the caches of tests running beside it would take the
    // freed file name in a shared one.
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    const auto tmp = std::filesystem::temp_directory_path() / ("era-report-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(tmp);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    std::string file;
    {
        TCache earlier;
        file = earlier.FileName();
        earlier.WriteValue("Attr - User", ".admin.acme", "\"left over\"");
        // Simulate a run that ended without cleaning up: copy the file aside and put it back.
        std::filesystem::copy_file(file, file + ".kept", std::filesystem::copy_options::overwrite_existing);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::rename(file + ".kept", file);
    {
        TCache cache;
        EXPECT_NE(cache.FileName(), file);
        TStringList trace = Trace({{14, ""}, {5, "  Effective: [CR    ] -> [User] .admin.acme / [Entry Rights]"}});
        BuildSummary(trace, Inputs(cache));
        EXPECT_NE(trace.Strings(2), "left over");
        EXPECT_EQ(trace.Strings(2), "+1 555 0101\t-");   // read from the directory
    }
    EXPECT_TRUE(std::filesystem::exists(file));
    std::filesystem::remove(file);
    if (oldTmp)
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    std::filesystem::remove_all(tmp);
}

TEST(AttrConfig, ReadsUpToTwentyColumnsAndTheTemplateMarks) {
    TMemIniFile ini;
    ini.WriteString("Attributes", "AttrCount", "25");
    ini.WriteString("Attributes", "AttrFormat", "#Attr_01#TAB#Attr_20#CRLF#end#CRLF#");
    ini.WriteString("Attributes", "Attr_01", "Telephone Number");
    ini.WriteString("Attributes", "Attr_20", "Title");
    ini.WriteString("Attributes", "AttrDefault_20", "none");
    const TAttrConfig config = ReadAttrConfig(ini);
    EXPECT_EQ(config.Count, 20);
    EXPECT_EQ(config.Template, "#Attr_01\t#Attr_20\r\nend\r\n");
    EXPECT_EQ(config.Names[20], "Title");
    EXPECT_EQ(config.Defaults[20], "none");
}

} // namespace
} // namespace era
