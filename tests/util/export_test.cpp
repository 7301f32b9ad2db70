#include "support/recording_host.h"
#include "util/export.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "the last line is not ended by CR LF";
    return lines;
}

// The exit status of xmllint checking the file (0: well-formed).
int XmlLint(const fs::path& path) {
    const int status = std::system(("xmllint --noout '" + path.string() + "' 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TGrid MakeGrid(const std::vector<std::vector<std::string>>& rows) {
    TGrid grid(rows.empty() ? 0 : static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            grid.SetCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    return grid;
}

TStringList Lines(const std::vector<std::string>& texts) {
    TStringList list;
    for (const std::string& t : texts)
        list.Add(t);
    return list;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("era-export-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tmp");
        const char* tmp = std::getenv("TMPDIR");
        hadTmp_ = tmp != nullptr;
        if (tmp) oldTmp_ = tmp;
        ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1); // workbooks go here
        // Nothing is ever handed to a real program: the opener only records.
        previousOpener_ = SetDocumentOpener([this](const std::string& path) {
            opened_.push_back(path);
            return openResult_;
        });
    }
    void TearDown() override {
        SetDocumentOpener(std::move(previousOpener_));
        if (hadTmp_)
            ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        fs::remove_all(dir_);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<fs::path> Workbooks() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir_ / "tmp"))
            if (entry.path().extension() == ".xlsx") found.push_back(entry.path());
        return found;
    }

    fs::path dir_;
    bool hadTmp_ = false;
    std::string oldTmp_;
    TDocumentOpener previousOpener_;
    std::vector<std::string> opened_;
    int openResult_ = 42;
    testing::TRecordingHostScope host_;
};

TEST(ExportKeywords, TargetKindIsChosenByTheKeywordTable) {
    const std::pair<const char*, TTargetKind> cases[] = {
        {"HTML", tkHtml},
        {"htm", tkHtml},
        {"XML", tkXml},
        {"TXT", tkText},
        {"doc", tkText},
        {"Ascii", tkText},
        {"csv", tkText},
        {"QP", tkQuattroPro},
        {"wb3", tkQuattroPro},
        {"XLS", tkExcel},
        {"excel", tkExcel},
        {"clipboard", tkClipboard},
        {"CLIPBOARD", tkClipboard},
        {"", tkNone},
        {"TEXT", tkNone},
        {"XLSX", tkNone},
        {".txt", tkNone},
        {" TXT", tkNone},
        {"PDF", tkNone},
    };
    for (const auto& [keyword, kind] : cases)
        EXPECT_EQ(TargetKind(keyword), kind) << keyword;
}

TEST(ExportText, QuoteCellPutsEveryCellOnOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b\t\"c\"", "a,b\t\"c\""}, // separators and quotes without a line break stay
        {"two\r\nlines", "\"two\nlines\""},
        {"say \"hi\"\r\nnow", "\"say 'hi'\nnow\""},
        {"trailing\r\n\r\n", "trailing"},
        {"\r\n", ""},
        {"bare\nfeed", "\"bare\nfeed\""},
        {"lone\rreturn", "lone\rreturn"},
    };
    for (const auto& [cell, quoted] : cases)
        EXPECT_EQ(QuoteCell(cell), quoted) << cell;
}

TEST_F(ExportTest, LinesBecomeATextFileWithCrLfLines) {
    const std::string path = PathOf("Trustees.txt");
    std::ofstream(path) << std::string(500, 'x'); // replaced, not appended to
    EXPECT_TRUE(ExportLines(Lines({"Trustee\t[BCDRSWA]\tadmin.acme", "", "Müller"}), "TXT", path));
    EXPECT_EQ(ReadFile(path), "Trustee\t[BCDRSWA]\tadmin.acme\r\n \r\nMüller\r\n");

    EXPECT_TRUE(ExportLines(TStringList(), "TXT", path)); // one row with an empty cell
    EXPECT_EQ(ReadFile(path), "\r\n");
    EXPECT_TRUE(host_->Dialogs.empty());
}

TEST_F(ExportTest, TheCsvExtensionChoosesTheCommaAndTheKeywordTheFormat) {
    const TGrid grid = MakeGrid({{"a", "b"}, {"c", "d"}});
    struct TCase {
        std::string Keyword, File, Expected;
    };
    const TCase cases[] = {
        {"TXT", "x.csv", "a,b\r\nc,d\r\n"},     {"TXT", "x.CsV", "a,b\r\nc,d\r\n"},
        {"TXT", "x.txt", "a\tb\r\nc\td\r\n"},   {"", "y.CSV", "a,b\r\nc,d\r\n"},
        {" .csv", "z.dat", "a\tb\r\nc\td\r\n"}, {"", "w.txt", "a\tb\r\nc\td\r\n"},
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(ExportGridToFile(&grid, c.Keyword, PathOf(c.File))) << c.File;
        EXPECT_EQ(ReadFile(PathOf(c.File)), c.Expected) << c.Keyword << " " << c.File;
    }
    // The keyword decides the format even with a csv path.
    ASSERT_TRUE(ExportGridToFile(&grid, "HTML", PathOf("h.csv")));
    EXPECT_EQ(ReadFile(PathOf("h.csv")).substr(0, 14), "<html><body>\r\n");
    EXPECT_TRUE(host_->Dialogs.empty());
}

TEST_F(ExportTest, MultiLineCellsBecomeOneQuotedField) {
    const TGrid grid = MakeGrid({{"Trustee", "Notes"}, {"admin.acme", "line \"1\"\r\nline 2\r\n"}});
    EXPECT_EQ(GridToText(grid, "\t"), "Trustee\tNotes\r\nadmin.acme\t\"line '1'\nline 2\"\r\n");
    EXPECT_EQ(GridToText(TGrid(), "\t"), "");
}

TEST_F(ExportTest, HtmlCellsAreEscapedAndHeadingsBold) {
    TGrid grid = MakeGrid({{"Name", ""}, {"a<b", "x & 'y' \"z\" >"}, {" ", "two\r\nlines"}});
    grid.FixedRows = 1;
    EXPECT_EQ(HtmlCell(grid, 0, 0), "<td><b>Name</b></td>");
    EXPECT_EQ(HtmlCell(grid, 1, 0), "<td><br></td>"); // empty: never bold
    EXPECT_EQ(HtmlCell(grid, 0, 1), "<td>a&lt;b</td>");
    EXPECT_EQ(HtmlCell(grid, 1, 1), "<td>x &amp; &apos;y&apos; &quot;z&quot; &gt;</td>");
    EXPECT_EQ(HtmlCell(grid, 0, 2), "<td> </td>");
    EXPECT_EQ(HtmlCell(grid, 1, 2), "<td>two<br>lines</td>");
    grid.FixedRows = 0;
    grid.FixedCols = 1;
    EXPECT_EQ(HtmlCell(grid, 0, 1), "<td><b>a&lt;b</b></td>");
    EXPECT_EQ(HtmlCell(grid, 1, 1), "<td>x &amp; &apos;y&apos; &quot;z&quot; &gt;</td>");

    EXPECT_EQ(GridToHtml(nullptr), "<html><body>\r\n</body></html>\r\n");
    const std::string path = PathOf("Trustees.htm");
    ASSERT_TRUE(ExportLines(Lines({"first", "", "a<b"}), "HTML", path));
    EXPECT_EQ(ReadFile(path), "<html><body>\r\n<table border=1>\r\n"
                              "<tr>\r\n<td>first</td>\r\n</tr>\r\n"
                              "<tr>\r\n<td> </td>\r\n</tr>\r\n" // the empty line: one space, not <br>
                              "<tr>\r\n<td>a&lt;b</td>\r\n</tr>\r\n"
                              "</table>\r\n</body></html>\r\n");
}

TEST_F(ExportTest, XmlHasRowsCellsAndSortedDistinctValues) {
    TGrid grid = MakeGrid({{"Trustee", "Rights"}, {"admin.acme", "b\r\na\r\nB"}});
    grid.FixedRows = 1;
    const std::vector<std::string> lines = SplitCrLf(GridToXml(&grid));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    EXPECT_EQ(lines[1], "<document>");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("<table rowCount=\"2\" colCount=\"2\" fixedRows=\"1\" "
                                                      "fixedCols=\"0\" date=\"\\d{4}-\\d\\d-\\d\\d\" "
                                                      "time=\"\\d\\d:\\d\\d:\\d\\d\"/>")))
        << lines[2];
    const std::vector<std::string> rows(lines.begin() + 3, lines.end());
    EXPECT_EQ(rows,
              (std::vector<std::string>{
                  "<row value=\"0\">",
                  "<row>Trustee</row>",
                  "<cell><col>Trustee</col><value index=\"0\">Trustee</value></cell>",
                  "<cell><col>Rights</col><value index=\"0\">Rights</value></cell>",
                  "</row>",
                  "<row value=\"1\">",
                  "<row>admin.acme</row>",
                  "<cell><col>Trustee</col><value index=\"0\">admin.acme</value></cell>",
                  // b, a, B: sorted ignoring case, the later B dropped as a duplicate
                  "<cell><col>Rights</col><value index=\"0\">a</value><value index=\"1\">b</value></cell>",
                  "</row>",
                  "</document>",
              }));

    // One column: no cell elements; empty cells give empty elements.
    const TGrid oneColumn = MakeGrid({{"x"}, {""}});
    const std::vector<std::string> one = SplitCrLf(GridToXml(&oneColumn));
    EXPECT_EQ(std::vector<std::string>(one.begin() + 3, one.end()),
              (std::vector<std::string>{"<row value=\"0\">", "<row>x</row>", "</row>", "<row value=\"1\">",
                                        "<row/>", "</row>", "</document>"}));
    EXPECT_EQ(
        GridToXml(nullptr),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<document>\r\n</document>\r\n");
    EXPECT_EQ(XmlElement("row", ""), "<row/>");
    EXPECT_EQ(XmlElement("col", "<value/>"), "<col><value/></col>");
    EXPECT_EQ(XmlEmptyElement("cell"), "<cell/>");
}

TEST_F(ExportTest, XmlEscapesWhatWouldBreakTheDocument) {
    const std::pair<std::string, std::string> cases[] = {
        {"&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
        {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\x91", "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\x91"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {std::string("nul\0bell\x07", 9), "nul\xEF\xBF\xBD"
                                          "bell\xEF\xBF\xBD"},
        {"cut \xC3", "cut \xEF\xBF\xBD"},
        {"latin1 \xFC", "latin1 \xEF\xBF\xBD"},
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"nonchar \xEF\xBF\xBF", "nonchar \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(XmlEscape(text), escaped) << text;

    // Every export parses, whatever the directory's names hold.
    TGrid hostile = MakeGrid({{"Trustee <name>", "Attribute & \"more\""},
                              {"<Public>", "a<b\r\nR&D\r\n'q'\r\n\r\nr&d"},
                              {std::string("ctl\x01 \xFF", 6), ""},
                              {"M\xC3\xBCller", "]]>"}});
    hostile.FixedRows = 1;
    const std::string twoColumns = PathOf("hostile.xml");
    ASSERT_TRUE(ExportGridToFile(&hostile, "XML", twoColumns));
    EXPECT_EQ(XmlLint(twoColumns), 0) << ReadFile(twoColumns);
    const std::string text = ReadFile(twoColumns);
    EXPECT_NE(text.find("<row>&lt;Public&gt;</row>"), std::string::npos);
    EXPECT_NE(text.find("<value index=\"0\"></value><value index=\"1\">&apos;q&apos;</value>"
                        "<value index=\"2\">a&lt;b</value><value index=\"3\">R&amp;D</value></cell>"),
              std::string::npos)
        << text;
    const std::string lines = PathOf("lines.xml");
    ASSERT_TRUE(ExportLines(Lines({"[Public] <all> & everyone", "", "Müller"}), "", lines));
    EXPECT_EQ(XmlLint(lines), 0) << ReadFile(lines);

    // The check itself can fail: the unescaped form is rejected.
    const std::string raw = PathOf("raw.xml");
    std::ofstream(raw) << "<?xml version=\"1.0\"?>\r\n<document>\r\n<row>a<b</row>\r\n</document>\r\n";
    EXPECT_NE(XmlLint(raw), 0);
}

TEST_F(ExportTest, InvalidTargetsAndPathsGiveErrorBoxes) {
    const TGrid grid = MakeGrid({{"a"}});
    struct TCase {
        std::string Keyword, Path, Dialog;
    };
    const TCase cases[] = {
        {"PDF", PathOf("x.pdf"), "Invalid target"},  {"", "", "Invalid target"},
        {"", PathOf("noext"), "Invalid target"},     {"TXT", "ab", "Invalid target path"},
        {"HTML", "", "Invalid target path"},         {"", "x.", "Invalid target"},
        {"XML", "\xC3\xBC.", "Invalid target path"}, // two characters, though three bytes
    };
    for (const TCase& c : cases) {
        host_->Dialogs.clear();
        EXPECT_FALSE(ExportGridToFile(&grid, c.Keyword, c.Path)) << c.Keyword << " " << c.Path;
        ASSERT_EQ(host_->Dialogs.size(), 1u) << c.Keyword << " " << c.Path;
        EXPECT_EQ(host_->Dialogs[0].Kind, dkError);
        EXPECT_EQ(host_->Dialogs[0].Text, c.Dialog);
    }
    EXPECT_FALSE(fs::exists(PathOf("x.pdf")));
    EXPECT_TRUE(host_->Clipboard.empty());

    // Three characters are enough.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    host_->Dialogs.clear();
    EXPECT_TRUE(ExportGridToFile(&grid, "TXT", "a.t"));
    fs::current_path(cwd);
    EXPECT_EQ(ReadFile(dir_ / "a.t"), "a\r\n");

    // Without a grid nothing happens.
    EXPECT_FALSE(ExportGrid(nullptr, "TXT", PathOf("none.txt"), "\t"));
    EXPECT_TRUE(host_->Dialogs.empty());
    EXPECT_FALSE(fs::exists(PathOf("none.txt")));
}

TEST_F(ExportTest, AFailedFileWriteReachesTheCallerButExportLinesSwallowsIt) {
    const TGrid grid = MakeGrid({{"a"}});
    const std::string path = PathOf("missing/folder/x.txt");
    EXPECT_THROW(ExportGrid(&grid, "TXT", path, "\t"), EExportError);
    EXPECT_FALSE(ExportLines(Lines({"a"}), "TXT", path));
    EXPECT_TRUE(host_->Dialogs.empty());
}

TEST_F(ExportTest, AFullDiskLeavesAnEarlierFileOfThatNameWhole) {
    // The file used to be cut to nothing first and then written: a full disk left half a report.
    const std::string path = PathOf("Trustees.txt");
    std::ofstream(path) << "earlier results\r\n";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const TGrid grid = MakeGrid({{std::string(1000, 'x')}});
    bool threw = false;
    try {
        ExportGrid(&grid, "TXT", path, "\t");
    } catch (const EExportError& e) {
        threw = true;
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadFile(path), "earlier results\r\n");
    for (const auto& entry : fs::directory_iterator(dir_))   // no temporary file left behind
        EXPECT_FALSE(entry.path().filename().string().starts_with("Trustees.txt.")) << entry.path();

    // A folder that cannot be written into (a plain file, so that root fails too).
    std::ofstream(PathOf("plain")) << "x";
    EXPECT_THROW(ExportGrid(&grid, "TXT", PathOf("plain/Trustees.txt"), "\t"), EExportError);
    // A link is written through, and stays a link.
    fs::create_symlink(path, PathOf("link.txt"));
    ASSERT_TRUE(ExportLines(Lines({"new"}), "TXT", PathOf("link.txt")));
    EXPECT_TRUE(fs::is_symlink(PathOf("link.txt")));
    EXPECT_EQ(ReadFile(path), "new\r\n");
}

TEST_F(ExportTest, TheClipboardTakesTheSeparatedText) {
    const TGrid grid = MakeGrid({{"a", "b"}, {"c", "two\r\nlines"}});
    EXPECT_TRUE(ExportGrid(&grid, "clipboard", "", "\t"));
    EXPECT_EQ(host_->Clipboard, "a\tb\r\nc\t\"two\nlines\"\r\n");
    EXPECT_TRUE(ExportLines(Lines({"x", ""}), "CLIPBOARD", ""));
    EXPECT_EQ(host_->Clipboard, "x\r\n \r\n");
    EXPECT_TRUE(host_->Dialogs.empty());
    EXPECT_TRUE(opened_.empty());

    // Without a clipboard the export fails, and no spreadsheet is tried.
    auto previous = InstallUiHost(std::make_unique<THeadlessHost>());
    const bool toClipboard = GridToClipboard(grid, "\t");
    const bool lines = ExportLines(Lines({"x"}), "CLIPBOARD", "");
    const bool excel = ExportLines(Lines({"x"}), "EXCEL", "");
    InstallUiHost(std::move(previous));
    EXPECT_FALSE(toClipboard);
    EXPECT_FALSE(lines);
    EXPECT_FALSE(excel);
    EXPECT_TRUE(opened_.empty());
    EXPECT_TRUE(Workbooks().empty());
}

TEST_F(ExportTest, PastedTextSplitsIntoCells) {
    using TRows = std::vector<std::vector<std::string>>;
    const std::pair<std::string, TRows> cases[] = {
        {"a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
        {"\"two\nlines\"\tx\r\n", {{"two\nlines", "x"}}},
        {"a\t\r\n", {{"a", ""}}},
        {"", {}},
        {"\r\n", {{""}}},
        {"\"say \"\"hi\"\"\"\r\n", {{"say \"hi\""}}},
        {"\"open\tb\r\n", {{"\"open", "b"}}},
        {"x \"in\" y\tno end", {{"x \"in\" y", "no end"}}},
        {"one\ntwo\rthree", {{"one"}, {"two"}, {"three"}}},
    };
    for (const auto& [text, rows] : cases)
        EXPECT_EQ(SplitPastedText(text), rows) << text;
}

TEST_F(ExportTest, AnXlsPathWithoutKeywordGoesToTheClipboardAndAWorkbook) {
    const std::string path = PathOf("Trustees.xls");
    ASSERT_TRUE(ExportLines(Lines({"Trustee\tRights", "admin.acme\t[BCDRSWA]"}), "", path));
    EXPECT_EQ(host_->Clipboard, "Trustee\tRights\r\nadmin.acme\t[BCDRSWA]\r\n");
    EXPECT_FALSE(fs::exists(path)); // the file writer wrote nothing
    EXPECT_TRUE(host_->Dialogs.empty());
    ASSERT_EQ(opened_.size(), 1u);
    const std::vector<fs::path> workbooks = Workbooks();
    ASSERT_EQ(workbooks.size(), 1u);
    EXPECT_EQ(fs::path(opened_[0]), workbooks[0]);
    const std::string zip = ReadFile(workbooks[0]);
    EXPECT_EQ(zip.substr(0, 2), "PK");
    EXPECT_NE(zip.find("xl/worksheets/sheet1.xml"), std::string::npos);
    EXPECT_NE(zip.find("xl/sharedStrings.xml"), std::string::npos);
}

TEST_F(ExportTest, SpreadsheetFailuresSayTheResultsAreInTheClipboard) {
    const TStringList lines = Lines({"a\tb"});
    // No program takes the workbook.
    openResult_ = 2;
    EXPECT_FALSE(ExportLines(lines, "EXCEL", ""));
    ASSERT_EQ(host_->Dialogs.size(), 1u);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(host_->Dialogs[0].Text, "Error saving to Excel (no program opened " + opened_[0] +
                                          " (shell code 2)) - Results are in clipboard");
    EXPECT_EQ(host_->Clipboard, "a\tb\r\n");

    // A cell longer than a worksheet cell may be: the library's reason, and no workbook left over.
    host_->Dialogs.clear();
    openResult_ = 42;
    EXPECT_FALSE(ExportLines(Lines({std::string(40000, 'x')}), "XLS", ""));
    ASSERT_EQ(host_->Dialogs.size(), 1u);
    EXPECT_TRUE(host_->Dialogs[0].Text.starts_with("Error saving to Excel (row 1, column 1: "))
        << host_->Dialogs[0].Text;
    EXPECT_TRUE(host_->Dialogs[0].Text.ends_with(") - Results are in clipboard"));
    EXPECT_EQ(host_->Clipboard, std::string(40000, 'x') + "\r\n");
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(Workbooks().empty()); // neither the unopened workbook nor the failed one is left

    // No temporary folder to write into.
    host_->Dialogs.clear();
    ::setenv("TMPDIR", (dir_ / "gone").c_str(), 1);
    EXPECT_FALSE(ExportLines(lines, "EXCEL", ""));
    ASSERT_EQ(host_->Dialogs.size(), 1u);
    EXPECT_TRUE(host_->Dialogs[0].Text.starts_with("Error saving to Excel (")) << host_->Dialogs[0].Text;
    EXPECT_TRUE(host_->Dialogs[0].Text.ends_with(") - Results are in clipboard"));
    EXPECT_EQ(opened_.size(), 1u);

    // There is no QuattroPro here.
    for (const char* keyword : {"QP", "wb3"}) {
        host_->Dialogs.clear();
        host_->Clipboard.clear();
        EXPECT_FALSE(ExportLines(lines, keyword, ""));
        ASSERT_EQ(host_->Dialogs.size(), 1u);
        EXPECT_EQ(
            host_->Dialogs[0].Text,
            "Error saving to QP (QuattroPro is not available on this system) - Results are in clipboard");
        EXPECT_EQ(host_->Clipboard, "a\tb\r\n");
    }
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(ExportTest, CsvQuotesWhatWouldSplitACellAsRfc4180Says) {
    const TGrid grid = MakeGrid({{"plain", "a,b", "say \"hi\""}, {"two\nlines", "", "cr\rin"}});
    EXPECT_EQ(GridToCsv(grid), "plain,\"a,b\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",,\"cr\rin\"\r\n");
    // The spreadsheet's own reading of separated text gets the cells back (with a comma read as
    // the separator by a CSV reader; here the quoted cells are checked whole).
    EXPECT_EQ(GridToCsv(MakeGrid({{""}})), "\r\n");
}

TEST_F(ExportTest, AWorkbookFileReplacesAnEarlierOneOnlyWhenWhole) {
    const std::string path = PathOf("Trustees.xlsx");
    std::ofstream(path) << "earlier";
    SaveGridAsWorkbook(MakeGrid({{"Effective Trustee:", "User", ".admin.acme"}}), path);
    const std::string zip = ReadFile(path);
    EXPECT_EQ(zip.substr(0, 2), "PK");
    EXPECT_EQ(std::system(("unzip -p '" + path + "' xl/sharedStrings.xml | grep -q '>.admin.acme<'").c_str()), 0);
    EXPECT_TRUE(opened_.empty());   // written, not opened

    // Into a folder that is a plain file: the cause, and nothing written.
    std::ofstream(PathOf("plain")) << "x";
    try {
        SaveGridAsWorkbook(MakeGrid({{"a"}}), PathOf("plain/t.xlsx"));
        ADD_FAILURE() << "no error";
    } catch (const EExportError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot create file \"" + PathOf("plain/t.xlsx") + "\": Not a directory"),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(ExportTest, WriteFailuresNameTheirCause) {
    EXPECT_EQ(WriteFailureCause(ENOSPC), "the disk is full (No space left on device)");
    EXPECT_EQ(WriteFailureCause(EFBIG), "the file-size limit is reached (File too large)");
    EXPECT_EQ(WriteFailureCause(EACCES), "permission denied (Permission denied)");
    EXPECT_EQ(WriteFailureCause(ENOTDIR), "Not a directory");
}

} // namespace
} // namespace era
