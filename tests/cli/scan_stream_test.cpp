// Scans of many objects: a subtree and a file of names give the output of the same objects given
// as operands, worker processes give the output of one process, progress only on a terminal,
// and a worker that dies fails its item visibly.

#include "client/ldap_server.h"
#include "run_era.h"
#include "support/sample_subtree.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <thread>

namespace era::test {
namespace {

const std::string Ws = SampleWorkstation();

const std::vector<std::string>& SalesSubtree = era::SalesSubtree();

std::vector<std::string> Args(std::vector<std::string> args, const std::string& workstation = Ws) {
    args.insert(args.begin(), {"--workstation", workstation});
    return args;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// The objects a detail output names, in order ("Object: \".x\" on tree ...").
std::vector<std::string> ObjectsOf(const std::string& details) {
    std::vector<std::string> objects;
    std::istringstream in(details);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("Object: \"")) objects.push_back(line.substr(9, line.find('"', 9) - 9));
    return objects;
}

TEST(CliScanStream, ASubtreeIsItsObjectsGivenAsOperandsInTheWalksOrder) {
    for (const char* output : {"--details", "--users-only"}) {
        std::vector<std::string> operands = {"scan", output, "--jobs", "1"};
        operands.insert(operands.end(), SalesSubtree.begin(), SalesSubtree.end());
        const TRun given = RunEra(Args(operands));
        const TRun walked = RunEra(Args({"scan", output, "--jobs", "1", "--subtree", "ou=sales,o=acme"}));
        ASSERT_EQ(given.Status, 0) << given.Err;
        EXPECT_EQ(walked.Status, 0) << walked.Err;
        EXPECT_EQ(MaskDate(walked.Out), MaskDate(given.Out)) << output;
        EXPECT_EQ(walked.Err, "");
    }
    // From the root every object of the tree, once each: those a search of the whole tree finds.
    const TRun root = RunEra(Args({"scan", "--details", "--subtree", "[Root]"}));
    ASSERT_EQ(root.Status, 0) << root.Err;
    std::vector<std::string> scanned = ObjectsOf(root.Out);
    const TRun search = RunEra(Args({"search", ""}));
    ASSERT_EQ(search.Status, 0) << search.Err;
    // The search names objects relative to [Root], and [Root] itself.
    std::vector<std::string> found;
    std::istringstream names(search.Out);
    for (std::string name; std::getline(names, name);)
        found.push_back(name.starts_with("[") ? name : "." + name);
    ASSERT_GT(found.size(), 30u);
    const auto sales = std::find(scanned.begin(), scanned.end(), ".sales.acme");
    ASSERT_LE(sales + SalesSubtree.size(), scanned.end());
    EXPECT_TRUE(std::equal(SalesSubtree.begin(), SalesSubtree.end(), sales));
    std::sort(scanned.begin(), scanned.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(scanned, found);

    // A container that is not there stops the scan before it starts.
    const TRun missing = RunEra(Args({"scan", "--subtree", ".nowhere.acme"}));
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("option --subtree: cannot read \".nowhere.acme\""), std::string::npos)
        << missing.Err;
    EXPECT_EQ(missing.Out, "");
}

TEST(CliScanStream, AFileOfNamesIsItsNamesGivenAsOperands) {
    TTempDir dir;
    const std::string names = dir.Path("names.txt");
    {
        std::ofstream out(names, std::ios::binary);
        out << "# objects of the audit\n\n.admin.acme\r\n   \n  cn=vdavis,ou=hr,o=acme  "
               "\n#.hr.acme\n\t.nobody.acme\n"
               "jdoe.east.sales.acme";
    }
    const TRun given = RunEra(Args({"scan", "--jobs", "1", ".admin.acme", "cn=vdavis,ou=hr,o=acme",
                                    ".nobody.acme", "jdoe.east.sales.acme"}));
    EXPECT_EQ(given.Status, 1);
    for (const std::string& from : {names, std::string("-")}) {
        const TRun read = RunEra(Args({"scan", "--from", from}), {}, from == "-" ? ReadFile(names) : "");
        EXPECT_EQ(read.Status, 1) << from;
        EXPECT_EQ(MaskDate(read.Out), MaskDate(given.Out)) << from;
        EXPECT_EQ(read.Err, given.Err) << from; // the name not found is named as for an operand
    }
    // Operands first, then the file's names, then the subtree.
    const TRun all =
        RunEra(Args({"scan", "--details", "--from", names, "--subtree", ".west.sales.acme", ".hr.acme"}));
    std::vector<std::string> expected = {".hr.acme", ".admin.acme", ".vdavis.hr.acme",
                                         ".jdoe.east.sales.acme"};
    expected.insert(expected.end(), SalesSubtree.end() - WestSubtreeSize, SalesSubtree.end());
    EXPECT_EQ(ObjectsOf(all.Out), expected);

    // What cannot be read stops the command before any output, naming the file and the line.
    const std::string bad = dir.Path("bad.txt");
    std::ofstream(bad, std::ios::binary) << ".admin.acme\n# fine\n.hr\x01.acme\n";
    const std::string longName = dir.Path("long.txt");
    std::ofstream(longName, std::ios::binary) << std::string(300, 'x') << "\n";
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"--from", dir.Path("nope.txt")},
         "option --from: cannot read \"" + dir.Path("nope.txt") + "\": No such file"},
        {{"--from", dir.Path("")}, "option --from: cannot read \"" + dir.Path("") + "\": it is a folder"},
        {{"--from", bad}, "option --from: " + bad + ":3: the line holds the control character \\x01"},
        {{"--from", longName}, "option --from: " + longName + ":1: a name of 300 characters"},
        {{"--from", ""}, "option --from expects a file name"},
    };
    for (const auto& [options, message] : failures) {
        std::vector<std::string> args = {"scan"};
        args.insert(args.end(), options.begin(), options.end());
        const TRun run = RunEra(Args(args));
        EXPECT_EQ(run.Status, 2) << message;
        EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "") << message;
    }
    // Standard input is read once, as the scan goes: the items before the bad line are written.
    const TRun piped = RunEra(Args({"scan", "--from", "-"}), {}, ".admin.acme\n.hr\x01.acme\n");
    EXPECT_EQ(piped.Status, 2);
    EXPECT_NE(piped.Err.find("standard input:2: the line holds"), std::string::npos) << piped.Err;
    EXPECT_NE(piped.Out.find(".admin.acme"), std::string::npos);
    // Saved as it goes, the report of a scan broken off leaves an earlier file as it was, and
    // nothing beside it.
    const std::string report = dir.Path("report.txt");
    std::ofstream(report) << "earlier\n";
    const TRun unsaved =
        RunEra(Args({"scan", "--save", report, "--from", "-"}), {}, ".admin.acme\n.hr\x01.acme\n");
    EXPECT_EQ(unsaved.Status, 2);
    EXPECT_EQ(ReadFile(report), "earlier\n");
    EXPECT_NE(unsaved.Err.find("so \"" + report + "\" was left as it was"), std::string::npos) << unsaved.Err;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("")))
        EXPECT_FALSE(entry.path().filename().string().starts_with("report.txt.")) << entry.path();
    ASSERT_EQ(RunEra(Args({"scan", "--save", report, "--from", "-"}), {}, ".admin.acme\n").Status, 0);
    EXPECT_NE(ReadFile(report).find("Object: \".admin.acme\""), std::string::npos);
}

// Writes a generated tree of about that many entries into the folder; its workstation file.
std::string GeneratedTree(const TTempDir& dir, int entries) {
    const std::string command = std::string(ERA_GEN_TREE) + " --entries " + std::to_string(entries) +
                                " --out '" + dir.Path("tree") + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir.Path("tree/workstation.json");
}

TEST(CliScanStream, WorkersWriteByteForByteWhatOneProcessWrites) {
    TTempDir dir;
    const std::string generated = GeneratedTree(dir, 2000);
    const std::vector<std::pair<std::string, std::vector<std::string>>> scans = {
        {Ws, {"scan", "--details", "--subtree", "[Root]"}},
        {Ws, {"scan", "--resolve-containers", "--subtree", "[Root]", ".nobody.acme"}},
        {generated, {"scan", "--subtree", "[Root]"}},
        {generated, {"scan", "--details", "--resolve-containers", "--subtree", "[Root]"}},
        {Ws, {"scan", "--format", "json", "--subtree", "[Root]"}},
    };
    for (const auto& [workstation, scan] : scans) {
        std::vector<std::string> one = scan, two = scan;
        one.insert(one.begin() + 1, {"--jobs", "1"});
        two.insert(two.begin() + 1, {"--jobs", "2"});
        const TRun single = RunEra(Args(one, workstation));
        const TRun parallel = RunEra(Args(two, workstation));
        EXPECT_EQ(parallel.Status, single.Status) << single.Err;
        ASSERT_GT(Count(single.Out, "Object: \"") + Count(single.Out, "\n\n") +
                      Count(single.Out, "{\"schema\""),
                  20u)
            << single.Err;
        EXPECT_TRUE(MaskDate(parallel.Out) == MaskDate(single.Out)) << "--jobs 2 differs on " << scan[1];
        EXPECT_EQ(parallel.Err, single.Err);
    }
    // The troubleshooting log comes back from the workers in the items' order too.
    const TRun logged1 = RunEra(Args({"--debug", "scan", "--jobs", "1", "--subtree", ".hr.acme"}));
    const TRun logged2 = RunEra(Args({"--debug", "scan", "--jobs", "2", "--subtree", ".hr.acme"}));
    EXPECT_NE(logged1.Err.find("VX: Check Object \".vdavis.hr.acme\""), std::string::npos) << logged1.Err;
    EXPECT_EQ(logged2.Err, logged1.Err);
    // A report saved as the scan goes is the one saved from the whole output.
    const std::string saved1 = dir.Path("one.txt"), saved2 = dir.Path("two.txt");
    ASSERT_EQ(RunEra(Args({"scan", "--jobs", "1", "--save", saved1, "--subtree", "[Root]"})).Status, 0);
    ASSERT_EQ(RunEra(Args({"scan", "--jobs", "2", "--save", saved2, "--subtree", "[Root]"})).Status, 0);
    EXPECT_EQ(MaskDate(ReadFile(saved2)), MaskDate(ReadFile(saved1)));
    EXPECT_GT(ReadFile(saved1).size(), 1000u);
    // JSON records saved as the scan goes are those written to standard output.
    const std::string records = dir.Path("rows.json");
    const TRun json = RunEra(Args({"scan", "--jobs", "2", "--format", "json", "--subtree", "[Root]"}));
    ASSERT_EQ(RunEra(Args({"scan", "--jobs", "2", "--save", records, "--subtree", "[Root]"})).Status, 0);
    EXPECT_GT(Count(json.Out, "{\"schema\""), 100u) << json.Err;
    EXPECT_EQ(ReadFile(records), json.Out);
    const TRun jobs = RunEra(Args({"scan", "--jobs", "0", ".admin.acme"}));
    EXPECT_EQ(jobs.Status, 2);
    EXPECT_NE(jobs.Err.find("option --jobs expects a number from 1 to 64, not \"0\""), std::string::npos)
        << jobs.Err;
}

// The era processes whose parent is the process.
std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent) children.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

// Starts era with standard output to a pipe that is not read yet and standard error to the
// descriptor; the pid and the pipe's reading end.
pid_t Spawn(const std::vector<std::string>& args, int errFd, int& outFd) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<std::string> strings = {ERA_BINARY};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : strings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = TestEnvironment({});
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, ERA_BINARY, &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    outFd = out[0];
    return pid;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CliScanStream, AWorkerThatDiesFailsItsItemAndTheExitStatusSaysSo) {
    TTempDir dir;
    const std::string generated = GeneratedTree(dir, 2000);
    const TRun whole = RunEra(Args({"scan", "--jobs", "1", "--details", "--subtree", "[Root]"}, generated));
    ASSERT_EQ(whole.Status, 0) << whole.Err;
    const size_t objects = ObjectsOf(whole.Out).size();
    ASSERT_GT(objects, 1000u);

    const std::string errPath = dir.Path("err.txt");
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int outFd = -1;
    const pid_t era =
        Spawn(Args({"scan", "--jobs", "2", "--details", "--subtree", "[Root]"}, generated), errFd, outFd);
    ::close(errFd);
    ASSERT_GT(era, 0);
    // Its output is not read yet: the workers wait on the full pipe with their items in hand.
    std::vector<pid_t> workers;
    for (int i = 0; i < 200 && workers.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        workers = ChildrenOf(era);
    }
    ASSERT_EQ(workers.size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(workers[0], SIGKILL);
    const std::string out = ReadAll(outFd);
    ::close(outFd);
    EXPECT_EQ(Wait(era), 1);
    const std::string err = ReadFile(errPath);
    EXPECT_EQ(Count(err, ": the analysis ended early: the worker process was ended by signal 9"), 1u) << err;
    // The other items are all there, in their order: a new worker took over the dead one's.
    std::vector<std::string> scanned = ObjectsOf(out), all = ObjectsOf(whole.Out);
    EXPECT_EQ(scanned.size(), objects - 1);
    const std::string failed = err.substr(5, err.find(": the analysis ended early") - 5);
    all.erase(std::find(all.begin(), all.end(), failed));
    EXPECT_EQ(scanned, all);
}

TEST(CliScanStream, ATreeReadOverLdapIsScannedWithOneJob) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    const std::string ldap = server.WriteWorkstation("workstation.json");
    const std::vector<std::string> env = {std::string(TestPasswordVariable) + "=" + TestPassword};
    const TRun one = RunEra(Args({"scan", "--jobs", "1", "--subtree", ".hr.acme"}, ldap), env);
    ASSERT_EQ(one.Status, 0) << one.Err;
    EXPECT_EQ(one.Err, "");
    ASSERT_NE(one.Out.find("Object: \".vdavis.hr.acme\""), std::string::npos) << one.Out;
    // Asked for more, it says so and scans as with one; by default it does not ask.
    const TRun two = RunEra(Args({"scan", "--jobs", "2", "--subtree", ".hr.acme"}, ldap), env);
    EXPECT_EQ(two.Status, 0);
    EXPECT_EQ(two.Err, "era: warning: option --jobs: a tree read over LDAP is scanned with one job\n");
    EXPECT_EQ(MaskDate(two.Out), MaskDate(one.Out));
    const TRun byDefault = RunEra(Args({"scan", "--subtree", ".hr.acme"}, ldap), env);
    EXPECT_EQ(byDefault.Err, "");
    EXPECT_EQ(MaskDate(byDefault.Out), MaskDate(one.Out));
}

TEST(CliScanStream, ProgressOnlyOnATerminal) {
    // Standard error to a pipe: not a word of progress.
    const TRun quiet = RunEra(Args({"scan", "--subtree", ".sales.acme"}));
    EXPECT_EQ(quiet.Status, 0);
    EXPECT_EQ(quiet.Err, "");
    // Standard error to a terminal: objects done of the total, the rate, the time left, cleared at the end.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    int outFd = -1;
    const pid_t era = Spawn(Args({"scan", "--jobs", "2", "--subtree", ".sales.acme"}), terminal, outFd);
    ::close(terminal);
    const std::string out = ReadAll(outFd);
    ::close(outFd);
    EXPECT_EQ(Wait(era), 0);
    std::string shown;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<size_t>(n));
    ::close(master);
    EXPECT_NE(shown.find("22 of 22 objects, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" a second, 0:00 left"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;
    EXPECT_NE(out.find("Object: \".tnguyen.west.sales.acme\""), std::string::npos);
}

} // namespace
} // namespace era::test
