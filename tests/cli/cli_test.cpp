#include "run_era.h"

namespace era::test {
namespace {

TEST(Cli, UsageErrorsNameWhatWasWrongAndExitWith2) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"bogus"}, "unknown command \"bogus\""},
        {{"scan"}, "scan expects OBJECT..., got 0 operands"},
        {{"attr", "x"}, "attr expects OBJECT PATH, got 1 operand"},
        {{"trees", "extra"}, "trees expects no operands"},
        {{"scan", "--nope", "x"}, "unknown option --nope for scan"},
        {{"scan-path", "--tree", "T", "F:\\"}, "unknown option --tree for scan-path"},
        {{"search", "--scope", "3", "(CN=x)"}, "option --scope expects 0 (the base), 1 (its subordinates) or 2"},
        {{"scan", "--save"}, "option --save expects a value"},
        {{"scan", "--format", "XML", "x"}, "option --format needs --save FILE"},
        {{"scan", "--details=yes", "x"}, "option --details takes no value"},
        {{"scan", ".admin.acme", ""}, "scan expects OBJECT..., got an empty operand (operand 2)"},
        {{"attr", "", "Surname"}, "attr expects OBJECT PATH, got an empty operand (operand 1)"},
        {{"ls", ""}, "ls expects [CONTAINER], got an empty operand (operand 1)"},
        {{"scan-path", ""}, "scan-path expects PATH..., got an empty operand (operand 1)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--workstation", SampleWorkstation()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, 2) << c.message;
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << run.Out;
    }
}

TEST(Cli, HelpAndVersion) {
    const TRun help = RunEra({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("Usage: era [--workstation FILE]"), std::string::npos);
    EXPECT_NE(help.Out.find("scan-path [--subdirs]"), std::string::npos);
    const TRun version = RunEra({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_TRUE(version.Out.starts_with("era v1.6 (2009-09) (build ")) << version.Out;
}

TEST(Cli, WithoutAWorkstationTheClientDoesNotStart) {
    const TRun run = RunEra({"trees"});
    EXPECT_EQ(run.Status, 3);
    // One message, not the client's start-up error before it.
    EXPECT_EQ(run.Err.find("Could not initialize NetWare Client"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("give --workstation FILE or set ERA_WORKSTATION"), std::string::npos);

    const TRun fromEnvironment = RunEra({"trees"}, {"ERA_WORKSTATION=" + SampleWorkstation()});
    EXPECT_EQ(fromEnvironment.Status, 0) << fromEnvironment.Err;
    EXPECT_EQ(fromEnvironment.Out, "ACME_TREE\nLAB_TREE\n");

    const TRun missing = RunEra({"--workstation", "/nonexistent/ws.json", "trees"});
    EXPECT_EQ(missing.Status, 3);
    EXPECT_NE(missing.Err.find("/nonexistent/ws.json"), std::string::npos) << missing.Err;
}

TEST(Cli, BrowsingCommands) {
    const std::string ws = SampleWorkstation();
    const TRun servers = RunEra({"--workstation", ws, "servers"});
    EXPECT_EQ(servers.Status, 0);
    EXPECT_EQ(servers.Out, "FS1\tACME_TREE\nFS2\tLAB_TREE\n");

    const TRun root = RunEra({"--workstation", ws, "ls"});
    EXPECT_EQ(root.Status, 0);
    EXPECT_EQ(root.Out, "Organization: acme\n");
    const TRun lab = RunEra({"--workstation", ws, "ls", "--tree", "lab_tree"});
    EXPECT_EQ(lab.Status, 0) << lab.Err;
    EXPECT_EQ(lab.Out, "Organization: lab\n");
    const TRun acme = RunEra({"--workstation", ws, "ls", ".acme"});
    EXPECT_NE(acme.Out.find("Organizational Unit: sales\n"), std::string::npos) << acme.Out;
    const TRun comma = RunEra({"--workstation", ws, "ls", "o=acme"});
    EXPECT_EQ(comma.Out, acme.Out);

    const TRun phones = RunEra({"--workstation", ws, "attr", ".sales-managers.sales.acme", "Member|Telephone Number"});
    EXPECT_EQ(phones.Status, 0) << phones.Err;
    EXPECT_FALSE(phones.Out.empty());

    const TRun unknownTree = RunEra({"--workstation", ws, "ls", "--tree", "NO_TREE"});
    EXPECT_EQ(unknownTree.Status, 2);
    EXPECT_NE(unknownTree.Err.find("unknown tree \"NO_TREE\"; the workstation is attached to ACME_TREE, LAB_TREE"),
              std::string::npos)
        << unknownTree.Err;
}

TEST(Cli, AFailedDirectoryCallNamesTheOperationAndExitsWith1) {
    const std::string ws = SampleWorkstation();
    const TRun attr = RunEra({"--workstation", ws, "attr", ".nobody.acme", "Telephone Number"});
    EXPECT_EQ(attr.Status, 1);
    EXPECT_NE(attr.Err.find("U_DSGetAttributeEx (.nobody.acme:Telephone Number) failed: 0xFFFFFDA7"),
              std::string::npos)
        << attr.Err;
    const TRun ls = RunEra({"--workstation", ws, "ls", ".nobody.acme"});
    EXPECT_EQ(ls.Status, 1);
    EXPECT_NE(ls.Err.find("0xFFFFFDA7"), std::string::npos) << ls.Err;
    const TRun leaf = RunEra({"--workstation", ws, "ls", ".admin.acme"});
    EXPECT_EQ(leaf.Status, 1);
    EXPECT_NE(leaf.Err.find("\".admin.acme\" is no container"), std::string::npos) << leaf.Err;
    const TRun search = RunEra({"--workstation", ws, "search", "(CN=x"});
    EXPECT_EQ(search.Status, 1);
    EXPECT_NE(search.Err.find("0xFFFFFEBA"), std::string::npos) << search.Err;   // -326, without a directory call
}

} // namespace
} // namespace era::test
