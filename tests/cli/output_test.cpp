// What the era command writes, and that it can be trusted: names cannot forge lines or columns.

#include "run_era.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/wait.h>

namespace era::test {
namespace {

namespace fs = std::filesystem;

const std::string Forged = std::string(ERA_TEST_DATA_DIR) + "/client/forged.json";

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
    std::vector<std::string> argStrings = {ERA_BINARY, "--workstation", SampleWorkstation(), "scan"};
    for (int i = 0; i < 2000; ++i) argStrings.push_back(".jdoe.east.sales.acme");
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = TestEnvironment({});
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
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
    const int spawned = posix_spawn(&pid, ERA_BINARY, &actions, nullptr, argv.data(), envp.data());
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

} // namespace
} // namespace era::test
