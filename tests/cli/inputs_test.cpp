// What the command makes of what a user types and of the files it is given: wildcards in search
// values, attribute names, rights letters in workstation files, files that are no files, and the
// messages for inputs it cannot use.

#include "run_era.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace era::test {
namespace {

std::vector<std::string> WithSample(std::vector<std::string> args) {
    args.insert(args.begin(), {"--workstation", SampleWorkstation()});
    return args;
}

TEST(CliInputs, AStarInASearchValueIsAWildcard) {
    struct TCase {
        const char* Filter;
        const char* Out;
    } cases[] = {
        {"(CN=j*)", "jsmith.it.acme\njdoe.east.sales.acme\njlopez.west.sales.acme\njane.hr.acme\n"},
        {"(Surname=D*)", "jdoe.east.sales.acme\nvdavis.hr.acme\n"},
        {"(Surname=Doe)", "jdoe.east.sales.acme\n"},
        {"(Surname=D\\*)", ""},
    };
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample({"search", c.Filter}));
        EXPECT_EQ(run.Status, 0) << c.Filter << ": " << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Filter;
    }
}

TEST(CliInputs, RightsToAnAttributeTheSchemaDoesNotKnowAreAnError) {
    const TRun unknown = RunEra(WithSample({"rights", ".jdoe.east.sales.acme", ".hr.acme", "xyzzy"}));
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Out.empty()) << unknown.Out;
    EXPECT_NE(unknown.Err.find("era: rights: unknown attribute \"xyzzy\"; expected an attribute of the schema, "
                               "[Entry Rights] or [All Attributes Rights]"),
              std::string::npos)
        << unknown.Err;
    // An attribute of the schema that the object does not hold is a fair question.
    const TRun known = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme", "Surname"}));
    EXPECT_EQ(known.Status, 0) << known.Err;
    EXPECT_EQ(known.Out, "[CR    ]\n");
}

TEST(CliInputs, TheSpecialAttributeNamesMatchWithoutRegardToCase) {
    struct TCase {
        const char* Given;
        const char* Out;
    } cases[] = {
        {"[Entry Rights]", "[B    I]\n"},
        {"[entry rights]", "[B    I]\n"},
        {"[ENTRY RIGHTS]", "[B    I]\n"},
        {"[All Attributes Rights]", "[CR    ]\n"},
        {"[all attributes rights]", "[CR    ]\n"},
    };
    const TRun defaulted = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme"}));
    EXPECT_EQ(defaulted.Out, "[B    I]\n");
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme", c.Given}));
        EXPECT_EQ(run.Status, 0) << c.Given << ": " << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Given;
    }
}

TEST(CliInputs, ARelativeNameNotFoundGetsAHint) {
    struct TCase {
        std::vector<std::string> Args;
        const char* Message;
    } cases[] = {
        {{"ls", "vdavis"}, "U_DSListContainer (vdavis) failed: 0xFFFFFDA7 (no such entry); did you mean .vdavis.hr.acme?"},
        {{"attr", "vdavis.hr", "Surname"}, "(no such entry); did you mean .vdavis.hr.acme?"},
        {{"rights", "vdavis", ".hr.acme"}, "(no such entry); did you mean .vdavis.hr.acme?"},
        {{"rights", ".admin.acme", "jdoe"}, "(no such entry); did you mean .jdoe.east.sales.acme?"},
        {{"scan", "vdavis"}, "era: not found: .vdavis; did you mean .vdavis.hr.acme?"},
    };
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample(c.Args));
        EXPECT_EQ(run.Status, 1) << c.Message;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }
    // No hint where nothing fits.
    const TRun nobody = RunEra(WithSample({"ls", "nobody"}));
    EXPECT_EQ(nobody.Status, 1);
    EXPECT_EQ(nobody.Err.find("did you mean"), std::string::npos) << nobody.Err;
    const TRun other = RunEra(WithSample({"scan", "vdavis.sales"}));
    EXPECT_EQ(other.Err.find("did you mean"), std::string::npos) << other.Err;
}

// Every command writes its client calls to standard error with --debug, as the scan does.
TEST(CliInputs, DebugLogsTheClientCallsOfEveryCommand) {
    const std::string init = "VX: InitNetWare (" + SampleWorkstation() + ")\n";
    struct TCase {
        std::vector<std::string> Args;
        std::string Log;
    } cases[] = {
        {{"trees"}, init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\n"},
        {{"servers"}, init + "VX: U_ListServers (FS1, FS2)\nVX: U_GetTreeNameByRef (FS1)\nVX: U_GetTreeNameByRef (FS2)\n"},
        {{"ls", ".acme"}, init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\nVX: U_DSListContainer (.acme)\n"},
        {{"ls", "--tree", "LAB_TREE"},
         init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\nVX: U_DSChangeTree (LAB_TREE)\nVX: U_DSListContainer ([Root])\n"},
        {{"attr", ".jdoe.east.sales.acme", "Surname"},
         init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\nVX: U_DSGetAttributeEx (.jdoe.east.sales.acme:Surname)\n"},
        {{"search", "(Surname=Doe)"}, init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\nVX: U_DSSearch ((Surname=Doe))\n"},
        {{"rights", ".admin.acme", ".hr.acme", "Surname"},
         init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\nVX: NWDSGetSyntaxID (Surname)\n"
                "VX: NWDSGetEffectiveRights (.admin.acme on .hr.acme:Surname)\n"
                "VX: U_DSGetEffectiveRights (.admin.acme on .hr.acme:Surname) (rights=0003)\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--debug"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TRun run = RunEra(WithSample(args));
        EXPECT_EQ(run.Status, 0) << c.Args.front() << ": " << run.Err;
        EXPECT_EQ(run.Err, c.Log) << c.Args.front();
        EXPECT_EQ(RunEra(WithSample(c.Args)).Out, run.Out) << c.Args.front();   // the output stays as it was
    }
    // A failed call carries its error text.
    const TRun failed = RunEra(WithSample({"--debug", "attr", ".nobody.acme", "Surname"}));
    EXPECT_EQ(failed.Status, 1);
    EXPECT_NE(failed.Err.find("VX: U_DSGetAttributeEx (.nobody.acme:Surname) - 0xFFFFFDA7 (no such entry)\n"),
              std::string::npos)
        << failed.Err;
    const TRun scan = RunEra(WithSample({"--debug", "scan", ".sales.acme"}));
    EXPECT_NE(scan.Err.find(init + "VX: U_ListTrees (ACME_TREE, LAB_TREE)\n"), std::string::npos) << scan.Err;
    EXPECT_NE(scan.Err.find("VX: Check Object \".sales.acme\" (ACME_TREE)"), std::string::npos) << scan.Err;
}

TEST(CliInputs, DebugLogsAFailedLdapConnect) {
    TTempDir folder;
    const std::string ws = folder.Path("ws.json");
    std::ofstream(ws) << R"({ "trees": [ { "name": "T", "ldap": { "uri": "ldap://127.0.0.1:1", "base": "o=acme",
                                                                "timeoutSeconds": 1 } } ] })";
    const TRun run = RunEra({"--debug", "--workstation", ws, "trees"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("VX: InitNetWare (" + ws + ") - 0xFD8F (transport failure (server unreachable): LDAP tree T "
                                                       "(ldap://127.0.0.1:1)"),
              std::string::npos)
        << run.Err;
}

TEST(CliInputs, AFilterBeyondALimitOrWithAnUnknownOperatorSaysWhich) {
    std::string deep = std::string(65, '(') + "CN=x" + std::string(65, ')');
    std::string wide = "(";
    for (int i = 0; i < 70; ++i) wide += (i ? "|" : "") + std::string("(CN=a") + std::to_string(i) + ")";
    wide += ")";
    struct TCase {
        std::string Filter;
        std::string Message;
    } cases[] = {
        {"(CN~=jdoe)", "(no such attribute); the operator \"~=\" is not supported; write \"#APPROX#\" for \"approximately "
                       "equal\"\n"},
        {deep, "(invalid filter syntax); the filter nests groups 65 deep; the directory takes at most 64\n"},
        {wide, "(buffer full); the filter's 70 terms do not fit the directory's request buffer of 4096 bytes\n"},
        {"(CN=x", "(invalid filter syntax); the filter holds 1 \"(\" but 0 \")\"\n"},
        {"(CN x)", "(invalid filter syntax); \"CN x\" has no comparison operator; expected =, <=, >=, !=, <>, #APPROX#, "
                   "#PRESENT# or #NOTPRESENT#\n"},
    };
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample({"search", c.Filter}));
        EXPECT_EQ(run.Status, 1) << c.Filter;
        EXPECT_TRUE(run.Err.ends_with(c.Message)) << run.Err;
    }
    // Within the limits the same forms search.
    const TRun inside = RunEra(WithSample({"search", std::string(64, '(') + "CN=jdoe" + std::string(64, ')')}));
    EXPECT_EQ(inside.Status, 0) << inside.Err;
    EXPECT_EQ(inside.Out, "jdoe.east.sales.acme\n");
}

TEST(CliInputs, AnAttributesFileThatWouldAddNothingIsWarnedAbout) {
    TTempDir folder;
    struct TCase {
        const char* Ini;
        std::vector<std::string> Warnings;
    } cases[] = {
        {"[Attributes]\nAttrCount=1\nAttr_01=Telephone Number\n", {"[Attributes] has no AttrFormat"}},
        {"[Other]\nx=1\n", {"no section [Attributes]: no attribute lines are added"}},
        {"[Attributes]\nAttrCount=1\nAttrFormat=Phone: #Attr_01\nAttr_01=Telephone Number\nAtr_02=Title\nAttr_21=x\n",
         {"[Attributes] key \"Atr_02\" is unknown and ignored; expected AttrCount, AttrFormat, Attr_01 to Attr_20 and "
          "AttrDefault_01 to AttrDefault_20",
          "[Attributes] key \"Attr_21\" is unknown"}},
        {"[Attributes]\nAttrCount=1\nAttrFormat=Phone: #Attr_01\nAttr_01=Telephone Number\nAttrDefault_01=none\n", {}},
    };
    for (const auto& c : cases) {
        const std::string ini = folder.Path("columns.ini");
        std::ofstream(ini) << c.Ini;
        const TRun run = RunEra(WithSample({"scan", "--attributes", ini, ".sales.acme"}));
        EXPECT_EQ(run.Status, 0) << c.Ini << run.Err;
        for (const auto& warning : c.Warnings)
            EXPECT_NE(run.Err.find("era: warning: option --attributes: " + ini + ": " + warning), std::string::npos)
                << run.Err;
        if (c.Warnings.empty()) {
            EXPECT_EQ(run.Err, "") << c.Ini;
        }
    }
}

TEST(CliInputs, MissingOrUnusableWorkstationFilesGiveOneMessage) {
    const TRun none = RunEra({"trees"});
    EXPECT_EQ(none.Status, 3);
    EXPECT_EQ(none.Err, "era: no workstation file: give --workstation FILE or set ERA_WORKSTATION\n");

    TTempDir folder;
    const std::string fifo = folder.Path("f.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const TRun pipe = RunEra({"--workstation", fifo, "trees"});
    EXPECT_EQ(pipe.Status, 3);
    EXPECT_EQ(pipe.Err, "era: " + fifo + ": expected a workstation file, found a device, a pipe or a socket\n");

    const TRun missing = RunEra({"--workstation", folder.Path("none.json"), "trees"});
    EXPECT_EQ(missing.Status, 3);
    EXPECT_EQ(missing.Err, "era: " + folder.Path("none.json") +
                               ": cannot open the workstation file (No such file or directory)\n");

    // Bad base64 in an LDIF: the loader's one message, nothing of the library's.
    std::ofstream(folder.Path("tree.ldif")) << "dn: o=x\nobjectClass: organization\ndescription:: !!!notbase64\n";
    std::ofstream(folder.Path("ws.json")) << R"({ "trees": [ { "name": "X", "ldif": "tree.ldif" } ] })";
    const TRun base64 = RunEra({"--workstation", folder.Path("ws.json"), "trees"});
    EXPECT_EQ(base64.Status, 3);
    EXPECT_EQ(base64.Err, "era: " + folder.Path("ws.json") + ": trees[0].ldif: " + folder.Path("tree.ldif") +
                              ":3: the value of \"description\" is no valid base64 (expected groups of four of A-Z, "
                              "a-z, 0-9, \"+\" and \"/\", the last one padded with \"=\")\n");
}

// The README's "Using era" commands run as written from any folder, with the build tree on PATH
// and the sample workstation by its absolute path, as the README says.
TEST(CliReadme, UsingEraRunsAsWritten) {
    std::ifstream readme(std::string(ERA_SOURCE_DIR) + "/README.md");
    std::string line;
    bool inSection = false;
    std::vector<std::string> commands;
    while (std::getline(readme, line)) {
        if (line.starts_with("## ")) inSection = line == "## Using era";
        if (inSection && line.starts_with("era ")) commands.push_back(line.substr(0, line.find("  #")));
    }
    ASSERT_GE(commands.size(), 8u);
    TTempDir folder;
    const std::string binDir = std::filesystem::path(ERA_BINARY).parent_path().string();
    for (const auto& command : commands) {
        const std::string shell = "cd '" + folder.Path("") + "' && PATH='" + binDir + ":/usr/bin:/bin' ERA_WORKSTATION='" +
                                  SampleWorkstation() + "' " + command + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(shell.c_str()), 0) << command;
    }
    EXPECT_TRUE(std::filesystem::exists(folder.Path("trustees.csv")));
}

} // namespace
} // namespace era::test
