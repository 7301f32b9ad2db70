#include "run_era.h"

namespace era::test {
namespace {

const std::string Ws = SampleWorkstation();

TEST(CliScan, SummaryAndDetailsOfTheSample) {
    struct Case {
        std::vector<std::string> args;
        const char* golden;
        int status;
    };
    const std::vector<Case> cases = {
        {{"scan", ".jdoe.east.sales.acme"}, "scan_jdoe.txt", 0},
        {{"scan", "--details", ".jdoe.east.sales.acme"}, "scan_jdoe_details.txt", 0},
        // Two items, one of them missing: its summary is only the two closing empty lines.
        {{"scan", ".hr.acme", ".nobody.acme", "cn=vdavis,ou=hr,o=acme"}, "scan_hr_missing_vdavis.txt", 1},
        {{"scan", "--details", ".nobody.acme"}, "scan_missing_details.txt", 1},
        {{"scan", "--resolve-containers", "--include", "west", ".kwilson.west.sales.acme"}, "scan_kwilson_west.txt", 0},
        {{"scan", "--exclude", "acme", "--users-only", ".sales.acme"}, "scan_sales_exclude_acme.txt", 0},
        {{"scan", "--tree", "LAB_TREE", ".tester.test.lab"}, "scan_lab_tester.txt", 0},
        {{"scan-path", "F:\\PUBLIC", "\\\\FS1\\DATA\\SHARED\\SALES"}, "scan_path_public_sales.txt", 0},
        {{"scan-path", "--subdirs", "G:\\APPS", "G:\\NOPE"}, "scan_path_apps_subdirs.txt", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--workstation", Ws};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, c.status) << c.golden << ": " << run.Err;
        ExpectGolden(c.golden, MaskDate(run.Out));
    }
}

TEST(CliScan, MissingItemsAreNamedOnStandardError) {
    const TRun run = RunEra({"--workstation", Ws, "scan", ".nobody.acme", ".admin.acme"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("era: not found: .nobody.acme"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find(".admin.acme"), std::string::npos) << run.Err;
    // The detail text of the missing object carries the driver's error line with -156.
    const TRun details = RunEra({"--workstation", Ws, "scan", "--details", ".nobody.acme"});
    EXPECT_NE(details.Out.find("Invalid Object (.nobody.acme): 0xFFFFFF64"), std::string::npos) << details.Out;
    const TRun path = RunEra({"--workstation", Ws, "scan-path", "F:\\NOPE"});
    EXPECT_EQ(path.Status, 1);
    EXPECT_NE(path.Out.find("Path: \"F:\\NOPE\" (not found)"), std::string::npos) << path.Out;
    EXPECT_NE(path.Out.find("No trustees detected"), std::string::npos);
}

TEST(CliScan, DebugModeWritesTheTroubleshootingLog) {
    const TRun quiet = RunEra({"--workstation", Ws, "scan", ".admin.acme"});
    EXPECT_EQ(quiet.Err, "");
    const TRun debug = RunEra({"--workstation", Ws, "--debug", "scan", ".admin.acme", ".nobody.acme"});
    EXPECT_NE(debug.Err.find("VX: Check Object \".admin.acme\" (ACME_TREE)"), std::string::npos) << debug.Err;
    EXPECT_NE(debug.Err.find("Invalid Object (.nobody.acme): 0xFFFFFF64"), std::string::npos) << debug.Err;
    const TRun path = RunEra({"--workstation", Ws, "--debug", "scan-path", "F:\\PUBLIC"});
    EXPECT_NE(path.Err.find("VX: Check Path \"F:\\PUBLIC\" (F:\\PUBLIC)"), std::string::npos) << path.Err;
}

TEST(CliScan, SavedFilesInEveryFormatReadBack) {
    TTempDir dir;
    const TRun shown = RunEra({"--workstation", Ws, "scan", ".vdavis.hr.acme"});
    ASSERT_EQ(shown.Status, 0);
    // The text file holds the lines shown (an empty line as one blank), each ended by CR LF.
    const std::string txt = dir.Path("trustees.txt");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", txt, ".vdavis.hr.acme"}).Status, 0);
    std::string expected, saved;
    std::istringstream shownLines(MaskDate(shown.Out)), savedLines(ReadFile(txt));
    for (std::string line; std::getline(shownLines, line);) expected += (line.empty() ? " " : line) + "\r\n";
    for (std::string line; std::getline(savedLines, line);)
        saved += (line.starts_with("Date:      ") ? std::string("Date:      <masked>\r") : line) + "\n";
    EXPECT_EQ(saved, expected);

    // CSV by extension in any case: the summary's fields as comma-separated columns.
    const std::string csv = dir.Path("Trustees.CSV");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", csv, ".vdavis.hr.acme"}).Status, 0);
    EXPECT_NE(ReadFile(csv).find("\r\nEffective Trustee:,User,"), std::string::npos);

    const std::string html = dir.Path("t.out");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", html, "--format", "HTML", ".vdavis.hr.acme"}).Status, 0);
    const std::string page = ReadFile(html);
    EXPECT_TRUE(page.starts_with("<html><body>")) << page.substr(0, 40);
    EXPECT_NE(page.find("<td>Effective Trustee:</td>\r\n<td>User</td>"), std::string::npos);

    const std::string xml = dir.Path("t.xml");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--details", "--save", xml, ".vdavis.hr.acme"}).Status, 0);
    EXPECT_EQ(std::system(("xmllint --noout '" + xml + "'").c_str()), 0);
    EXPECT_NE(ReadFile(xml).find("encoding=\"UTF-8\""), std::string::npos);

    // An unknown format is a usage error, found before the scan.
    const TRun bad = RunEra({"--workstation", Ws, "scan", "--save", dir.Path("t.doc"), "--format", "PDF", ".admin.acme"});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("option --save: unknown format \"PDF\""), std::string::npos) << bad.Err;
    EXPECT_TRUE(bad.Out.empty()) << bad.Out;
}

} // namespace
} // namespace era::test
