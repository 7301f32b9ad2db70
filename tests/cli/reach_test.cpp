// What a trustee can reach: the rows a scan of the same objects writes for that trustee, with the
// reasons of the trace; on the sample and on a generated tree, in one process and in workers.

#include "run_era.h"

#include <map>
#include <set>

namespace era::test {
namespace {

const std::string Ws = SampleWorkstation();

std::vector<std::string> Args(std::vector<std::string> args, const std::string& workstation = Ws) {
    args.insert(args.begin(), {"--workstation", workstation});
    return args;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The trustee field of a summary's trustee or self-check row; empty for any other line.
std::string TrusteeOf(const std::string& line) {
    if (!line.starts_with("Effective Trustee:\t") && !line.starts_with("Self-check:\t")) return {};
    size_t at = 0;
    for (int field = 0; field < 3; ++field)
        at = line.find('\t', at) + 1;
    return line.substr(at, line.find('\t', at) - at);
}

bool SameName(std::string a, std::string b) {
    for (auto* name : {&a, &b})
        for (char& c : *name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a == b;
}

// The rows of the output that name the trustee, each after the heading of its object or path:
// "OBJECT HEADING\tROW".
std::vector<std::string> RowsOf(const std::string& output, const std::string& trustee) {
    std::vector<std::string> rows;
    std::string heading;
    for (const auto& line : Lines(output)) {
        if (line.starts_with("Object: \"") || line.starts_with("Path: \""))
            heading = line;
        else if (line.starts_with("Tree/Volume/Server: "))
            heading += " " + line;
        else if (SameName(TrusteeOf(line), trustee))
            rows.push_back(heading + "\t" + line);
    }
    return rows;
}

// The reasons reach writes, per object heading and row.
std::map<std::string, std::vector<std::string>> ReasonsOf(const std::string& output) {
    std::map<std::string, std::vector<std::string>> reasons;
    std::string heading, row;
    for (const auto& line : Lines(output)) {
        if (line.starts_with("Object: \""))
            heading = line;
        else if (line.starts_with("Effective Trustee:\t"))
            row = heading + "\t" + line;
        else if (line.starts_with("     * "))
            reasons[row].push_back(line.substr(7));
    }
    return reasons;
}

// reach's output holds nothing but headings, the trustee's rows, their reasons and empty lines.
void ExpectOnlyTheTrustee(const std::string& output, const std::string& trustee) {
    for (const auto& line : Lines(output)) {
        if (line.empty() || line.starts_with("Object: \"") || line.starts_with("Path: \"") ||
            line.starts_with("Tree/Volume/Server: ") || line.starts_with("     * "))
            continue;
        EXPECT_TRUE(SameName(TrusteeOf(line), trustee)) << trustee << ": " << line;
    }
}

TEST(CliReach, TheSamplesTrusteesEachByTheWayTheyGetTheirRights) {
    // Directly: .agarcia.sales.acme holds Compare on the entry of .sales.acme by its own assignment.
    const TRun direct = RunEra(Args({"reach", "--subtree", ".sales.acme", "agarcia.sales.acme"}));
    ASSERT_EQ(direct.Status, 0) << direct.Err;
    EXPECT_EQ(direct.Err, "");
    const auto directReasons = ReasonsOf(direct.Out);
    const auto entry =
        directReasons.find("Object: \".sales.acme\" on tree \"ACME_TREE\"\tEffective Trustee:\tUser\t[ C    "
                           "]\t.agarcia.sales.acme\t[Entry Rights]");
    ASSERT_NE(entry, directReasons.end()) << direct.Out;
    EXPECT_EQ(entry->second,
              std::vector<std::string>{"[ C    ] for direct Trustee assignment on \".sales.acme\""});

    // Only through groups it is security-equal to: every reason of .jdoe is one; the name is
    // resolved as the directory resolves it, in any letter case and in comma form.
    const TRun group = RunEra(Args({"reach", "--subtree", ".west.sales.acme", "JDOE.East.Sales.Acme"}));
    ASSERT_EQ(group.Status, 0) << group.Err;
    ExpectGolden("reach_jdoe_west.txt", group.Out);
    const TRun comma =
        RunEra(Args({"reach", "--subtree", ".west.sales.acme", "cn=jdoe,ou=east,ou=sales,o=acme"}));
    EXPECT_EQ(comma.Out, group.Out);
    const auto groupReasons = ReasonsOf(group.Out);
    ASSERT_GE(groupReasons.size(), 14u);
    for (const auto& [row, reasons] : groupReasons)
        for (const auto& reason : reasons)
            EXPECT_NE(reason.find(" for SecEqu to \""), std::string::npos) << row << ": " << reason;

    // Only through its container: the group .projects-team resides in .sales.acme, which holds
    // Compare and Read on the attributes of its subtree; without residence it reaches nothing there.
    const std::string team = ".projects-team.projects.east.sales.acme";
    const TRun without = RunEra(Args({"reach", "--subtree", ".west.sales.acme", team}));
    EXPECT_EQ(without.Status, 0) << without.Err;
    EXPECT_EQ(without.Out, "");
    const TRun resident =
        RunEra(Args({"reach", "--resolve-containers", "--subtree", ".west.sales.acme", team}));
    ASSERT_EQ(resident.Status, 0) << resident.Err;
    ExpectGolden("reach_projects_team_resident_west.txt", resident.Out);
    EXPECT_NE(resident.Out.find("for residence in \".sales.acme\""), std::string::npos);

    // No rights anywhere: an empty answer, and done.
    const TRun none = RunEra(Args({"reach", ".payroll.hr.acme"}));
    EXPECT_EQ(none.Status, 0) << none.Err;
    EXPECT_EQ(none.Out, "");
    EXPECT_EQ(none.Err, "");

    // Saved, the report has the scan's header block (its settings) and its rows as table rows.
    TTempDir dir;
    const TRun saved = RunEra(Args({"reach", "--resolve-containers", "--subtree", ".west.sales.acme",
                                    "--save", dir.Path("reach.csv"), team}));
    ASSERT_EQ(saved.Status, 0) << saved.Err;
    EXPECT_EQ(saved.Out, resident.Out);
    const std::string csv = ReadFile(dir.Path("reach.csv"));
    EXPECT_NE(csv.find("Settings:  Resolve Containers=TRUE,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("Effective Trustee:,Group,[CR    ],.projects-team.projects.east.sales.acme,[All "
                       "Attributes Rights]"),
              std::string::npos)
        << csv;

    // A name the tree does not have stops the command before any scan.
    const TRun missing = RunEra(Args({"reach", "nobody.hr.acme"}));
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_NE(missing.Err.find("era: reach: no trustee \"nobody.hr.acme\": "), std::string::npos)
        << missing.Err;
    const TRun usage = RunEra(Args({"reach", ".admin.acme", ".hr.acme"}));
    EXPECT_EQ(usage.Status, 2);
    EXPECT_NE(usage.Err.find("reach expects one TRUSTEE, got 2 operands"), std::string::npos) << usage.Err;
}

// The rows reach writes are the rows a scan of the same objects writes for the trustee, in the
// same order: checked on every trustee of a list, with and without residence, on the sample and a
// generated tree, in one process and in workers.
void ExpectReachIsTheFilteredScan(const std::string& workstation, const std::vector<std::string>& trustees,
                                  const std::string& subtree, const std::vector<std::string>& jobCounts) {
    for (const char* resolve : {"", "--resolve-containers"}) {
        std::vector<std::string> scan = {"scan", "--jobs", "2", "--subtree", subtree};
        if (*resolve) scan.push_back(resolve);
        const TRun scanned = RunEra(Args(scan, workstation));
        ASSERT_EQ(scanned.Status, 0) << scanned.Err;
        size_t reached = 0;
        for (const auto& trustee : trustees) {
            for (const auto& jobs : jobCounts) {
                std::vector<std::string> reach = {"reach", "--jobs", jobs, "--subtree", subtree, trustee};
                if (*resolve) reach.push_back(resolve);
                const TRun run = RunEra(Args(reach, workstation));
                ASSERT_EQ(run.Status, 0) << trustee << ": " << run.Err;
                EXPECT_EQ(RowsOf(run.Out, trustee), RowsOf(scanned.Out, trustee))
                    << trustee << " " << resolve;
                ExpectOnlyTheTrustee(run.Out, trustee);
                reached += RowsOf(run.Out, trustee).size();
            }
        }
        // The property was tried on rows, not on empty answers only.
        EXPECT_GT(reached, 20u) << resolve;
    }
}

TEST(CliReach, ItsRowsAreTheScansRowsOfTheTrusteeOnTheSample) {
    ExpectReachIsTheFilteredScan(Ws,
                                 {".jdoe.east.sales.acme", ".agarcia.sales.acme", ".everyone.acme",
                                  ".sales-managers.sales.acme", ".sales.acme", "[Public]", ".hjones.hr.acme"},
                                 "[Root]", {"1", "2"});
}

// The JSON records of the rows in reach are the scan's records of the trustee, reasons and all.
TEST(CliReach, ItsJsonRecordsAreTheScansRecordsOfTheTrustee) {
    const std::string trustee = ".jdoe.east.sales.acme";
    const TRun scanned = RunEra(Args({"scan", "--format", "json", "--subtree", ".sales.acme"}));
    ASSERT_EQ(scanned.Status, 0) << scanned.Err;
    std::vector<std::string> expected;
    for (const auto& line : Lines(scanned.Out))
        if (line.find("\"trustee\":\"" + trustee + "\"") != std::string::npos) expected.push_back(line);
    ASSERT_GT(expected.size(), 20u);
    for (const char* jobs : {"1", "2"}) {
        const TRun run =
            RunEra(Args({"reach", "--jobs", jobs, "--format", "json", "--subtree", ".sales.acme", trustee}));
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(Lines(run.Out), expected) << jobs;
    }
    const TRun path = RunEra(Args(
        {"reach", "--path", "--format", "json", "--resolve-containers", ".vdavis.hr.acme", "F:\\PUBLIC"}));
    EXPECT_EQ(path.Status, 0) << path.Err;
    EXPECT_EQ(Lines(path.Out).size(), 1u) << path.Out;
    EXPECT_NE(path.Out.find("\"reasons\":[\"[R    F  ] for residence in \\\".acme\\\"\"]"), std::string::npos)
        << path.Out;
}

TEST(CliReach, ItsRowsAreTheScansRowsOfTheTrusteeOnAGeneratedTree) {
    TTempDir dir;
    const std::string command =
        std::string(ERA_GEN_TREE) + " --entries 2000 --out '" + dir.Path("tree") + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ExpectReachIsTheFilteredScan(
        dir.Path("tree/workstation.json"),
        {".group13_0.u13.u1.synth", ".user613.u13.u1.synth", ".u29.u3.synth", ".user412.u12.u1.synth"},
        "[Root]", {"2"});
}

TEST(CliReach, PathsOfAVolume) {
    // .vdavis.hr.acme reaches SYS:PUBLIC only as a resident of .acme, a trustee of the directory.
    const std::vector<std::string> reach = {
        "reach", "--path", "--subdirs", "--resolve-containers", ".vdavis.hr.acme", "\\\\FS1\\SYS\\PUBLIC"};
    const TRun run = RunEra(Args(reach));
    ASSERT_EQ(run.Status, 0) << run.Err;
    ExpectOnlyTheTrustee(run.Out, ".vdavis.hr.acme");
    EXPECT_NE(run.Out.find("Path: \"\\\\FS1\\SYS\\PUBLIC\\DATA\""), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("for residence in \".acme\""), std::string::npos) << run.Out;
    const TRun scanned =
        RunEra(Args({"scan-path", "--subdirs", "--resolve-containers", "\\\\FS1\\SYS\\PUBLIC"}));
    ASSERT_EQ(scanned.Status, 0);
    const auto rows = RowsOf(run.Out, ".vdavis.hr.acme");
    EXPECT_EQ(rows, RowsOf(scanned.Out, ".vdavis.hr.acme"));
    EXPECT_EQ(rows.size(), 2u) << run.Out;
    // Without residence it reaches none of them.
    const TRun without = RunEra(Args({"reach", "--path", ".vdavis.hr.acme", "\\\\FS1\\SYS\\PUBLIC"}));
    EXPECT_EQ(without.Status, 0);
    EXPECT_EQ(without.Out, "");
    // The options of objects are not those of paths.
    const std::pair<std::vector<std::string>, std::string> misplaced[] = {
        {{"reach", "--path", "--subtree", ".hr.acme", ".vdavis.hr.acme", "F:\\PUBLIC"},
         "option --subtree of reach is for objects, not for --path"},
        {{"reach", "--path", "--jobs", "2", ".vdavis.hr.acme", "F:\\PUBLIC"},
         "option --jobs of reach is for objects, not for --path"},
        {{"reach", "--subdirs", ".vdavis.hr.acme"}, "option --subdirs of reach needs --path"},
    };
    for (const auto& [args, message] : misplaced) {
        const TRun run = RunEra(Args(args));
        EXPECT_EQ(run.Status, 2) << message;
        EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
    const TRun noPath = RunEra(Args({"reach", "--path", ".vdavis.hr.acme"}));
    EXPECT_EQ(noPath.Status, 2);
    EXPECT_NE(noPath.Err.find("reach expects TRUSTEE PATH... with --path"), std::string::npos) << noPath.Err;
}

} // namespace
} // namespace era::test
