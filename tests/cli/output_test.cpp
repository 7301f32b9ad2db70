// What the era command writes, and that it can be trusted: names cannot forge lines or columns,
// items come out as they are done, failed writes are reported, a save target is checked before
// the scan, and saved tables have the report's fields as columns.

#include "run_era.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace era::test {
namespace {

namespace fs = std::filesystem;

const std::string Ws = SampleWorkstation();
const std::string Forged = std::string(ERA_TEST_DATA_DIR) + "/client/forged.json";

// The program's arguments (after its name) and the tests' environment, as execve takes them.
class TExecArgs {
public:
    explicit TExecArgs(const std::vector<std::string>& args)
        : args_{ERA_BINARY}, env_(TestEnvironment({})) {
        args_.insert(args_.end(), args.begin(), args.end());
        for (auto& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
        for (auto& e : env_) envp_.push_back(e.data());
        envp_.push_back(nullptr);
    }
    char* const* Argv() { return argv_.data(); }
    char* const* Envp() { return envp_.data(); }

private:
    std::vector<std::string> args_, env_;
    std::vector<char*> argv_, envp_;
};

// Runs era with standard output going to the file and, when limit is not 0, a file-size limit
// of that many bytes; standard error is captured.
TRun RunEraInto(const std::vector<std::string>& args, const std::string& output, rlim_t limit = 0) {
    TRun run;
    int err[2];
    if (::pipe(err) != 0) return run;
    TExecArgs exec(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) ::_exit(120);
        ::dup2(fd, 1);
        ::dup2(err[1], 2);
        ::close(err[0]);
        if (limit != 0) {
            struct rlimit small = {limit, limit};
            if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(121);
        }
        ::execve(ERA_BINARY, exec.Argv(), exec.Envp());
        ::_exit(122);
    }
    ::close(err[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) run.Err.append(buffer, static_cast<size_t>(n));
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

bool HoldsControlCharacters(const std::string& text, bool tabsAllowed) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || (c == '\t' && tabsAllowed)) continue;
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

std::vector<std::string> LinesOf(const std::string& text, const char* end = "\n") {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + std::strlen(end))
        lines.push_back(text.substr(start, at - start));
    return lines;
}

size_t Count(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

TEST(CliOutput, NamesWithControlCharactersCannotForgeRowsOrColumns) {
    // The tree names a trustee whose name holds a line break followed by a whole forged summary
    // row, and one whose name holds a terminal escape sequence.
    const TRun scan = RunEra({"--workstation", Forged, "scan", ".x"});
    ASSERT_EQ(scan.Status, 0) << scan.Err;
    EXPECT_FALSE(HoldsControlCharacters(scan.Out, true)) << scan.Out;
    size_t rows = 0;
    for (const std::string& line : LinesOf(scan.Out)) {
        EXPECT_FALSE(line.starts_with("Effective Trustee:\tUser\t[BCDRAI]\t.fake.org")) << line;
        if (!line.starts_with("Effective Trustee:")) continue;
        ++rows;
        EXPECT_EQ(Count(line, '\t'), 4u) << line;   // class, rights, trustee, attribute
    }
    EXPECT_EQ(rows, 2u) << scan.Out;
    EXPECT_NE(scan.Out.find("\t.evil\\nEffective Trustee:\\tUser\\t[BCDRAI]\\t"), std::string::npos) << scan.Out;
    EXPECT_NE(scan.Out.find("\t.red\\x1b[31malert.x\t"), std::string::npos) << scan.Out;

    // The details, the troubleshooting log and the listings escape the same way.
    const TRun details = RunEra({"--workstation", Forged, "--debug", "scan", "--details", ".x"});
    EXPECT_FALSE(HoldsControlCharacters(details.Out, true)) << details.Out;
    EXPECT_FALSE(HoldsControlCharacters(details.Err, false)) << details.Err;
    EXPECT_NE(details.Out.find(".evil\\nEffective Trustee:\\tUser"), std::string::npos) << details.Out;
    const std::vector<std::vector<std::string>> listings = {
        {"ls", ".x"}, {"search", "(Surname=Evil)"}, {"search", "(Surname=Red)"}, {"trees"}};
    for (const auto& args : listings) {
        std::vector<std::string> all = {"--workstation", Forged};
        all.insert(all.end(), args.begin(), args.end());
        const TRun run = RunEra(all);
        EXPECT_EQ(run.Status, 0) << args[0] << ": " << run.Err;
        EXPECT_FALSE(HoldsControlCharacters(run.Out, false)) << args[0] << ": " << run.Out;
    }
    const TRun ls = RunEra({"--workstation", Forged, "ls", ".x"});
    EXPECT_NE(ls.Out.find("User: evil\\nEffective Trustee:\\tUser\\t[BCDRAI]"), std::string::npos) << ls.Out;
    EXPECT_NE(ls.Out.find("User: red\\x1b[31malert\n"), std::string::npos) << ls.Out;

    // A saved table keeps one row per line and one column per field.
    TTempDir dir;
    const std::string csv = dir.Path("t.csv");
    ASSERT_EQ(RunEra({"--workstation", Forged, "scan", "--save", csv, ".x"}).Status, 0);
    for (const std::string& row : LinesOf(ReadFile(csv), "\r\n")) {
        EXPECT_EQ(row.find('\n'), std::string::npos) << row;
        if (row.starts_with("Effective Trustee:")) {
            EXPECT_EQ(Count(row, ','), 4u) << row;   // five columns: no self-check row here
        }
    }
}

// A scan of many objects whose output is read as it comes; gives the seconds until the first
// item had come out whole and, unless it is broken off with SIGINT then, until the end.
struct TTimedScan {
    double FirstItem = -1;
    double End = -1;
    std::string Received;
    int Status = 0;   // as waitpid gives it
};

TTimedScan ScanManyObjects(bool interrupt) {
    TTimedScan scan;
    std::vector<std::string> args = {"--workstation", SampleWorkstation(), "scan"};
    for (int i = 0; i < 20000; ++i) args.push_back(".jdoe.east.sales.acme");
    TExecArgs exec(args);
    int out[2];
    if (::pipe(out) != 0) return scan;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const int spawned = posix_spawn(&pid, ERA_BINARY, &actions, nullptr, exec.Argv(), exec.Envp());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return scan;
    }
    // The first item ends with its last trustee row and the two closing empty lines.
    const std::string firstItemEnd = "Effective Trustee:\tTree Root\t[CR    ]\t[Root]\tNetwork Address\n\n\n";
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        scan.Received.append(buffer, static_cast<size_t>(n));
        if (scan.FirstItem < 0 && scan.Received.find(firstItemEnd) != std::string::npos) {
            scan.FirstItem = seconds();
            if (interrupt) ::kill(pid, SIGINT);
        }
    }
    scan.End = seconds();
    ::close(out[0]);
    ::waitpid(pid, &scan.Status, 0);
    return scan;
}

TEST(CliOutput, EachItemIsPrintedAsSoonAsItIsDone) {
    // The output once came only at the very end: nothing to see for the length of a long scan,
    // and a scan broken off lost every item it had done.
    const TTimedScan whole = ScanManyObjects(false);
    ASSERT_EQ(whole.Status, 0);
    ASSERT_GT(whole.FirstItem, 0);
    EXPECT_LT(whole.FirstItem * 4, whole.End) << "first item after " << whole.FirstItem << " s of " << whole.End;

    // Broken off (as by Ctrl-C) when the first item is out: it is kept whole, and the scan was
    // still running.
    const TTimedScan broken = ScanManyObjects(true);
    EXPECT_TRUE(WIFSIGNALED(broken.Status) && WTERMSIG(broken.Status) == SIGINT);
    EXPECT_TRUE(broken.Received.starts_with("Version:   Vexilant.edir")) << broken.Received.substr(0, 80);
    EXPECT_LT(broken.Received.size(), whole.Received.size());
}

TEST(CliOutput, AFailedWriteToStandardOutputIsReportedWithStatus4) {
    const TRun full = RunEraInto({"--workstation", Ws, "scan", ".jdoe.east.sales.acme"}, "/dev/full");
    EXPECT_EQ(full.Status, 4) << full.Err;
    EXPECT_NE(full.Err.find("era: could not write to standard output: the disk is full"), std::string::npos)
        << full.Err;
    const TRun listing = RunEraInto({"--workstation", Ws, "ls", ".acme"}, "/dev/full");
    EXPECT_EQ(listing.Status, 4) << listing.Err;

    // Under a file-size limit of 1 KB the report (about 3 KB) is cut: said so, not passed off as whole.
    TTempDir dir;
    const TRun limited = RunEraInto({"--workstation", Ws, "scan", ".jdoe.east.sales.acme"}, dir.Path("out.txt"), 1024);
    EXPECT_EQ(limited.Status, 4) << limited.Err;
    EXPECT_NE(limited.Err.find("the file-size limit is reached"), std::string::npos) << limited.Err;
    EXPECT_LE(fs::file_size(dir.Path("out.txt")), 1024u);
    // Within the limit all is well.
    const TRun small = RunEraInto({"--workstation", Ws, "trees"}, dir.Path("trees.txt"), 1024);
    EXPECT_EQ(small.Status, 0) << small.Err;
    EXPECT_EQ(ReadFile(dir.Path("trees.txt")), "ACME_TREE\nLAB_TREE\n");
}

TEST(CliOutput, AFailedSaveNamesItsCauseAndLeavesTheEarlierFile) {
    TTempDir dir;
    const std::string report = dir.Path("Trustees.txt");
    std::ofstream(report) << "earlier report\r\n";
    // Standard output stays within the limit: it goes to /dev/null.
    const TRun run = RunEraInto({"--workstation", Ws, "scan", "--save", report, ".jdoe.east.sales.acme"}, "/dev/null",
                                1024);
    EXPECT_EQ(run.Status, 4) << run.Err;
    EXPECT_NE(run.Err.find("era: could not save: Cannot write file \"" + report +
                           "\": the file-size limit is reached (File too large)"),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(ReadFile(report), "earlier report\r\n");
}

TEST(CliOutput, TheSaveTargetIsCheckedBeforeTheScan) {
    TTempDir dir;
    std::ofstream(dir.Path("plain")) << "x";
    struct TCase {
        std::vector<std::string> Save;
        std::string Message;
    };
    const TCase cases[] = {
        {{"--save", dir.Path("x.pdf")}, "unknown format \".pdf\" of \"" + dir.Path("x.pdf") + "\"; expected .txt"},
        {{"--save", dir.Path("x"), "--format", "PDF"}, "unknown format \"PDF\"; expected TXT, CSV, HTML, XML or XLSX"},
        {{"--save", dir.Path("report")}, "cannot tell the format of \"" + dir.Path("report") + "\" without an extension"},
        {{"--save", dir.Path("")}, "\"" + dir.Path("") + "\" is a folder; expected a file name"},
        {{"--save", dir.Path("missing/dir/x.csv")}, "the folder \"" + dir.Path("missing/dir") + "\" does not exist"},
        {{"--save", dir.Path("plain/x.csv")}, "\"" + dir.Path("plain") + "\" is not a folder"},
        {{"--save", ""}, "the file name is empty"},
        {{"--save=", "--format", "CSV"}, "the file name is empty"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--workstation", Ws, "scan"};
        args.insert(args.end(), c.Save.begin(), c.Save.end());
        args.push_back(".admin.acme");
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, 2) << c.Message << ": " << run.Err;
        EXPECT_NE(run.Err.find("era: option --save: " + c.Message), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << run.Out;   // nothing scanned
    }
    EXPECT_FALSE(fs::exists(dir.Path("x.pdf")));
}

TEST(CliOutput, NothingScannedLeavesAnEarlierReportAlone) {
    TTempDir dir;
    const std::string report = dir.Path("old.txt");
    std::ofstream(report) << "a good report\r\n";
    const TRun run = RunEra({"--workstation", Ws, "scan", "--save", report, ".nope.acme"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("era: nothing was scanned, so \"" + report + "\" was left as it was"), std::string::npos)
        << run.Err;
    EXPECT_EQ(ReadFile(report), "a good report\r\n");
    const TRun none = RunEra({"--workstation", Ws, "scan", "--save", dir.Path("new.txt"), ".nope.acme"});
    EXPECT_NE(none.Err.find("was not written"), std::string::npos) << none.Err;
    EXPECT_FALSE(fs::exists(dir.Path("new.txt")));
    // One item found among missing ones is a report worth saving.
    const TRun some = RunEra({"--workstation", Ws, "scan", "--save", report, ".nope.acme", ".admin.acme"});
    EXPECT_EQ(some.Status, 1);
    EXPECT_NE(ReadFile(report).find("Object: \".admin.acme\""), std::string::npos);
}

TEST(CliOutput, SavedTablesHaveTheFieldsAsColumns) {
    TTempDir dir;
    const std::string csv = dir.Path("trustees.csv");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", csv, ".jdoe.east.sales.acme"}).Status, 0);
    const std::vector<std::string> rows = LinesOf(ReadFile(csv), "\r\n");
    ASSERT_GT(rows.size(), 5u);
    // Every row has the six columns of the widest; the header block comes as preamble rows.
    EXPECT_EQ(rows[0], "Version:   Vexilant.edir v1.6 (2009-09) ,,,,,");
    EXPECT_EQ(rows[3], "Settings:  Scan type=eDirectory,,,,,");
    EXPECT_EQ(rows[4], "\"Object: \"\".jdoe.east.sales.acme\"\" on tree \"\"ACME_TREE\"\"\",,,,,");
    EXPECT_EQ(rows[5], "Effective Trustee:,User,[CRWSA ],.admin.acme,[All Attributes Rights],");
    EXPECT_NE(std::find(rows.begin(), rows.end(),
                        "Self-check:,User,[ CDR I],.jdoe.east.sales.acme,[Entry Rights],directory: [BCDR I]"),
              rows.end());
    for (const std::string& row : rows) EXPECT_FALSE(row.empty() || row.find('\t') != std::string::npos) << row;

    const std::string html = dir.Path("trustees.html");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", html, ".jdoe.east.sales.acme"}).Status, 0);
    EXPECT_NE(ReadFile(html).find("<td>Effective Trustee:</td>\r\n<td>User</td>\r\n<td>[CRWSA ]</td>\r\n"
                                  "<td>.admin.acme</td>\r\n<td>[All Attributes Rights]</td>\r\n<td><br></td>"),
              std::string::npos);

    const std::string xml = dir.Path("trustees.xml");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", xml, ".jdoe.east.sales.acme"}).Status, 0);
    EXPECT_EQ(std::system(("xmllint --noout '" + xml + "'").c_str()), 0);
    EXPECT_NE(ReadFile(xml).find("colCount=\"6\""), std::string::npos);
    EXPECT_NE(ReadFile(xml).find("<value index=\"0\">.admin.acme</value>"), std::string::npos);

    const std::string xlsx = dir.Path("trustees.xlsx");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", xlsx, ".jdoe.east.sales.acme"}).Status, 0);
    EXPECT_EQ(ReadFile(xlsx).substr(0, 2), "PK");
    EXPECT_EQ(std::system(("unzip -p '" + xlsx + "' xl/sharedStrings.xml | grep -q '>Self-check:<'").c_str()), 0);

    // The text file stays the desktop program's one-column text: each line whole.
    const std::string txt = dir.Path("trustees.txt");
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", txt, ".jdoe.east.sales.acme"}).Status, 0);
    EXPECT_NE(ReadFile(txt).find("\r\nEffective Trustee:\tUser\t[CRWSA ]\t.admin.acme\t[All Attributes Rights]\r\n"),
              std::string::npos);
}

} // namespace
} // namespace era::test
