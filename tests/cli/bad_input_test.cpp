// What a user sees when an input of the era command is wrong: the workstation file, the LDIF
// files it names, the INI file of the attribute lines, the objects and the save target. Each error
// names the input, the place and what was expected, and ends with the documented status:
// 1 an item missing or failed, 2 a usage error, 3 the client did not start.

#include "run_era.h"

#include <filesystem>
#include <fstream>

namespace era::test {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed when it ends.
class TFolder {
public:
    TFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("era-cli-input-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return Path(name);
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

const char* const Ldif = "dn: o=x\nobjectClass: organization\no: x\n\ndn: cn=admin,o=x\nobjectClass: inetOrgPerson\nsn: A\n";

// A workstation attached to one tree through one server, logged in as admin.
std::string OneTree(const std::string& name) {
    return R"({ "trees": [ { "name": ")" + name + R"(", "ldif": "tree.ldif" } ],
  "servers": [ { "name": "FS1", "tree": ")" + name + R"(" } ],
  "connections": [ { "server": "FS1", "user": "cn=admin,o=x", "primary": true } ] })";
}

TEST(CliBadInput, AWorkstationThatDoesNotLoadNamesFileAndPlaceAndExitsWith3) {
    struct TCase {
        const char* What;
        std::string Json;
        std::string Ldif;
        std::vector<std::string> Parts;
    };
    const TCase cases[] = {
        {"JSON cut short", R"({ "trees": [)", Ldif, {"ws.json: not a JSON file: ", "line 1, column 13"}},
        {"an empty file", "", Ldif, {"ws.json: not a JSON file: "}},
        {"a number no type holds", R"({ "trees": [ { "name": "X", "ldif": "tree.ldif" } ], "servers": 1e999 })", Ldif,
         {"ws.json: not a JSON file: ", "1e999"}},
        {"an unknown key", R"({ "trees": [ { "name": "X", "ldif": "tree.ldif" } ], "printers": [] })", Ldif,
         {"ws.json: (top).printers: unknown key; expected one of \"trees\""}},
        {"a tree name of 33 characters", OneTree(std::string(33, 'T')), Ldif,
         {"ws.json: trees[0].name: expected a tree name of at most 32 characters"}},
        {"nothing wrong", OneTree("X"), Ldif, {}},   // the control case
        {"a bad LDIF line", OneTree("X"), "dn: o=x\nobjectClass organization\n",
         {"ws.json: trees[0].ldif: ", "tree.ldif:2: expected an attribute line"}},
        {"an LDIF include line", OneTree("X"), "include: file:///dev/zero\n\n" + std::string(Ldif),
         {"tree.ldif:1: \"include:\" lines are not followed"}},
        {"an LDIF file that is a folder", R"({ "trees": [ { "name": "X", "ldif": "." } ] })", Ldif,
         {"trees[0].ldif: ", "expected an LDIF file, found a folder or a device"}},
    };
    for (const auto& c : cases) {
        TFolder folder;
        folder.Write("tree.ldif", c.Ldif);
        const std::string ws = folder.Write("ws.json", c.Json);
        const TRun run = RunEra({"--workstation", ws, "trees"});
        if (c.Parts.empty()) {
            EXPECT_EQ(run.Status, 0) << c.What << ": " << run.Err;
            continue;
        }
        EXPECT_EQ(run.Status, 3) << c.What << ": " << run.Err;
        EXPECT_TRUE(run.Out.empty()) << c.What << ": " << run.Out;
        EXPECT_TRUE(run.Err.starts_with("era: " + ws)) << c.What << ": " << run.Err;
        for (const auto& part : c.Parts) EXPECT_NE(run.Err.find(part), std::string::npos) << c.What << ": " << run.Err;
    }
    // The workstation named by the environment, given as a folder.
    TFolder folder;
    const TRun run = RunEra({"trees"}, {"ERA_WORKSTATION=" + folder.Path("")});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("expected a workstation file, found a folder"), std::string::npos) << run.Err;
}

TEST(CliBadInput, EachRunReadsTheWorkstationFileAsItIsThen) {
    TFolder folder;
    folder.Write("tree.ldif", Ldif);
    const std::string ws = folder.Write("ws.json", OneTree("FIRST_TREE"));
    const TRun first = RunEra({"--workstation", ws, "trees"});
    EXPECT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(first.Out, "FIRST_TREE\n");

    folder.Write("ws.json", OneTree("SECOND_TREE"));
    folder.Write("tree.ldif", std::string(Ldif) + "\ndn: cn=new,o=x\nobjectClass: inetOrgPerson\nsn: N\n");
    const TRun second = RunEra({"--workstation", ws, "trees"});
    EXPECT_EQ(second.Status, 0) << second.Err;
    EXPECT_EQ(second.Out, "SECOND_TREE\n");
    const TRun listing = RunEra({"--workstation", ws, "ls", ".x"});
    EXPECT_NE(listing.Out.find("new"), std::string::npos) << listing.Out;

    // A file that became invalid: the clear error and status 3, nothing on standard output.
    folder.Write("ws.json", OneTree("SECOND_TREE").substr(0, 40));
    const TRun broken = RunEra({"--workstation", ws, "ls", ".x"});
    EXPECT_EQ(broken.Status, 3);
    EXPECT_TRUE(broken.Out.empty()) << broken.Out;
    EXPECT_NE(broken.Err.find(ws + ": not a JSON file: "), std::string::npos) << broken.Err;

    // And one whose LDIF became invalid.
    folder.Write("ws.json", OneTree("SECOND_TREE"));
    folder.Write("tree.ldif", "dn: o=x\n");
    const TRun badTree = RunEra({"--workstation", ws, "trees"});
    EXPECT_EQ(badTree.Status, 3);
    EXPECT_NE(badTree.Err.find("tree.ldif:1: expected an \"objectClass\" line in the entry"), std::string::npos)
        << badTree.Err;
}

TEST(CliBadInput, ScanInputsThatAreWrong) {
    const std::string ws = SampleWorkstation();
    TFolder folder;

    // An object that is not in the tree: the others are still scanned, status 1.
    const TRun missing = RunEra({"--workstation", ws, "scan", ".nobody.acme", ".sales.acme"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("era: not found: .nobody.acme"), std::string::npos) << missing.Err;
    EXPECT_NE(missing.Out.find("Object: \".sales.acme\""), std::string::npos) << missing.Out;

    // An attribute INI that is not there is a usage error, before the client starts.
    const TRun noIni = RunEra({"--workstation", ws, "scan", "--attributes", folder.Path("none.ini"), ".sales.acme"});
    EXPECT_EQ(noIni.Status, 2);
    EXPECT_NE(noIni.Err.find("option --attributes: cannot read \"" + folder.Path("none.ini") +
                             "\"; expected an INI file with a section [Attributes]"),
              std::string::npos)
        << noIni.Err;
    EXPECT_TRUE(noIni.Out.empty());
    const TRun folderIni = RunEra({"--workstation", ws, "scan", "--attributes", folder.Path(""), ".sales.acme"});
    EXPECT_EQ(folderIni.Status, 2);

    // A save target in a folder that cannot be written (a plain file, so that root fails too):
    // a usage error named before the scan, status 2, and nothing is left behind.
    folder.Write("plain", "x");
    const std::string target = folder.Path("plain") + "/Trustees.txt";
    const TRun unsaved = RunEra({"--workstation", ws, "scan", "--save", target, ".sales.acme"});
    EXPECT_EQ(unsaved.Status, 2);
    EXPECT_TRUE(unsaved.Out.empty()) << unsaved.Out;
    EXPECT_NE(unsaved.Err.find("option --save: \"" + folder.Path("plain") + "\" is not a folder"), std::string::npos)
        << unsaved.Err;

    // An unknown format keyword.
    const TRun badFormat =
        RunEra({"--workstation", ws, "scan", "--save", folder.Path("x.pdf"), "--format", "PDF", ".sales.acme"});
    EXPECT_EQ(badFormat.Status, 2);
    EXPECT_NE(badFormat.Err.find("unknown format \"PDF\"; expected TXT, CSV, HTML, XML or XLSX"), std::string::npos)
        << badFormat.Err;
    EXPECT_FALSE(fs::exists(folder.Path("x.pdf")));

    // A path through "..": shown as given, not with the name of the directory ".." leads to.
    const TRun dots = RunEra({"--workstation", ws, "scan-path", "F:\\PUBLIC\\..\\PUBLIC"});
    EXPECT_EQ(dots.Status, 0) << dots.Err;
    EXPECT_NE(dots.Out.find("Path: \"F:\\PUBLIC\\..\\PUBLIC\""), std::string::npos) << dots.Out;

    // Saving over an earlier report replaces it whole.
    const std::string report = folder.Write("Trustees.txt", std::string(100000, 'o'));
    const TRun saved = RunEra({"--workstation", ws, "scan", "--save", report, ".sales.acme"});
    EXPECT_EQ(saved.Status, 0) << saved.Err;
    const std::string text = ReadFile(report);
    EXPECT_TRUE(text.starts_with("Version:   Vexilant.edir")) << text.substr(0, 80);
    EXPECT_EQ(text.find('o' + std::string(50, 'o')), std::string::npos);
}

} // namespace
} // namespace era::test
