// The summary as JSON Lines (--format json, --save FILE.json) and era diff of two saved audits.

#include "run_era.h"

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

namespace era::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string Ws = SampleWorkstation();

// The part of JSON Schema that docs/era-summary.schema.json uses: type, const, enum, pattern,
// minimum, required, properties, additionalProperties false, items, minItems, oneOf. Appends what
// does not hold, with the place.
void Validate(const json& schema, const json& value, const std::string& at,
              std::vector<std::string>& problems) {
    const auto fail = [&](const std::string& what) { problems.push_back(at + ": " + what); };
    if (schema.contains("type")) {
        const std::string type = schema["type"];
        const bool ok = type == "object"    ? value.is_object()
                        : type == "string"  ? value.is_string()
                        : type == "integer" ? value.is_number_integer()
                        : type == "array"   ? value.is_array()
                                            : false;
        if (!ok) return fail("is not of type " + type);
    }
    if (schema.contains("const") && value != schema["const"]) fail("is not " + schema["const"].dump());
    if (schema.contains("enum") && std::ranges::find(schema["enum"], value) == schema["enum"].end())
        fail("is none of " + schema["enum"].dump());
    if (schema.contains("pattern") &&
        !std::regex_search(value.get<std::string>(), std::regex(schema["pattern"].get<std::string>())))
        fail("does not match " + schema["pattern"].get<std::string>());
    if (schema.contains("minimum") && value.get<long long>() < schema["minimum"].get<long long>())
        fail("is too small");
    if (schema.contains("minItems") && value.size() < schema["minItems"].get<size_t>())
        fail("has too few items");
    for (const auto& name : schema.value("required", json::array()))
        if (!value.contains(name.get<std::string>())) fail("has no " + name.get<std::string>());
    if (value.is_object() && schema.contains("properties"))
        for (const auto& [name, field] : value.items()) {
            if (schema["properties"].contains(name))
                Validate(schema["properties"][name], field, at + "." + name, problems);
            else if (schema.value("additionalProperties", true) == false)
                fail("has the unknown field " + name);
        }
    if (value.is_array() && schema.contains("items"))
        for (size_t i = 0; i < value.size(); ++i)
            Validate(schema["items"], value[i], at + "[" + std::to_string(i) + "]", problems);
    if (schema.contains("oneOf")) {
        int matching = 0;
        for (const auto& option : schema["oneOf"]) {
            std::vector<std::string> optionProblems;
            Validate(option, value, at, optionProblems);
            matching += optionProblems.empty();
        }
        if (matching != 1) fail("matches " + std::to_string(matching) + " of oneOf's schemas, not one");
    }
}

const json& SummarySchema() {
    static const json schema =
        json::parse(ReadFile(std::string(ERA_SOURCE_DIR) + "/docs/era-summary.schema.json"));
    return schema;
}

std::vector<json> Records(const std::string& lines) {
    std::vector<json> records;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        records.push_back(json::parse(line));
    return records;
}

TEST(CliJson, ScanRowsOfTheSampleAsGoldenJsonLinesOfTheSchema) {
    struct Case {
        std::vector<std::string> args;
        const char* golden;
        int status;
    };
    const std::vector<Case> cases = {
        // A self-check, reasons of every kind.
        {{"scan", ".jdoe.east.sales.acme"}, "scan_jdoe.jsonl", 0},
        // Two items, one missing: it gives no records.
        {{"scan", ".hr.acme", ".nobody.acme", "cn=vdavis,ou=hr,o=acme"}, "scan_hr_missing_vdavis.jsonl", 1},
        {{"scan", "--resolve-containers", "--include", "west", ".kwilson.west.sales.acme"},
         "scan_kwilson_west.jsonl",
         0},
        {{"scan-path", "F:\\PUBLIC", "\\\\FS1\\DATA\\SHARED\\SALES"}, "scan_path_public_sales.jsonl", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--workstation", Ws, c.args[0], "--format", "json"};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, c.status) << c.golden << ": " << run.Err;
        ExpectGolden(c.golden, run.Out);
        // One record per "Effective Trustee:" row of the text, in its order, with its fields.
        std::vector<std::string> textArgs = {"--workstation", Ws};
        textArgs.insert(textArgs.end(), c.args.begin(), c.args.end());
        std::istringstream text(RunEra(textArgs).Out);
        std::vector<std::vector<std::string>> rows;
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> fields;
            std::istringstream cut(line);
            for (std::string field; std::getline(cut, field, '\t');)
                fields.push_back(field);
            if (!fields.empty() && fields[0] == "Effective Trustee:") rows.push_back(fields);
        }
        const auto records = Records(run.Out);
        ASSERT_EQ(records.size(), rows.size()) << c.golden;
        ASSERT_FALSE(records.empty());
        for (size_t i = 0; i < records.size(); ++i) {
            std::vector<std::string> problems;
            Validate(SummarySchema(), records[i], c.golden + (":" + std::to_string(i + 1)), problems);
            EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
            EXPECT_EQ(records[i]["class"], rows[i][1]);
            EXPECT_EQ(records[i]["rights"], rows[i][2]);
            EXPECT_EQ(records[i]["trustee"], rows[i][3]);
            if (rows[i].size() > 4) {
                EXPECT_EQ(records[i]["attribute"], rows[i][4]);
            }
        }
    }
}

TEST(CliJson, NamesWithControlCharactersAreTheNamesInTheirRecords) {
    TTempDir dir;
    const std::string forged = std::string(ERA_TEST_DATA_DIR) + "/client/forged.json";
    const TRun scan =
        RunEra({"--workstation", forged, "scan", "--format", "json", "--save", dir.Path("a.json"), ".x"});
    ASSERT_EQ(scan.Status, 0) << scan.Err;
    // Two rows, two lines: no name breaks a record, and no control character reaches the output.
    EXPECT_EQ(std::count(scan.Out.begin(), scan.Out.end(), '\n'), 2);
    EXPECT_TRUE(std::ranges::none_of(scan.Out,
                                     [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f; }));
    const auto records = Records(scan.Out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["trustee"],
              ".evil\nEffective Trustee:\tUser\t[BCDRAI]\t\\.fake\\.org\t[Entry Rights].x");
    EXPECT_EQ(records[1]["trustee"], ".red\x1b[31malert.x");
    // The text shows the same names escaped: read back, the two audits agree.
    ASSERT_EQ(RunEra({"--workstation", forged, "scan", "--save", dir.Path("a.txt"), ".x"}).Status, 0);
    const TRun same = RunEra({"diff", dir.Path("a.txt"), dir.Path("a.json")});
    EXPECT_EQ(same.Status, 0) << same.Out << same.Err;
}

TEST(CliJson, SaveByExtensionOrFormatAndTheOtherFormsStay) {
    TTempDir dir;
    const TRun json = RunEra({"--workstation", Ws, "scan", "--format", "json", ".vdavis.hr.acme"});
    const TRun text = RunEra({"--workstation", Ws, "scan", ".vdavis.hr.acme"});
    ASSERT_EQ(json.Status, 0);
    // By extension: standard output stays the text, the file holds the records.
    for (const char* name : {"a.json", "b.JSONL"}) {
        const TRun saved = RunEra({"--workstation", Ws, "scan", "--save", dir.Path(name), ".vdavis.hr.acme"});
        EXPECT_EQ(saved.Status, 0) << saved.Err;
        EXPECT_EQ(MaskDate(saved.Out), MaskDate(text.Out));
        EXPECT_EQ(ReadFile(dir.Path(name)), json.Out) << name;
    }
    // --format json names the form of both; a .txt file by extension stays the text.
    const TRun both = RunEra(
        {"--workstation", Ws, "scan", "--format", "JSON", "--save", dir.Path("c.txt"), ".vdavis.hr.acme"});
    EXPECT_EQ(both.Out, json.Out);
    EXPECT_EQ(ReadFile(dir.Path("c.txt")), json.Out);
    ASSERT_EQ(RunEra({"--workstation", Ws, "scan", "--save", dir.Path("d.txt"), ".vdavis.hr.acme"}).Status,
              0);
    EXPECT_TRUE(ReadFile(dir.Path("d.txt")).starts_with("Version:"));

    const struct {
        std::vector<std::string> args;
        const char* error;
    } usage[] = {
        {{"scan", "--format", "json", "--details", ".admin.acme"}, "it does not go with --details"},
        {{"scan", "--save", "rows.json", "--details", ".admin.acme"}, "it does not go with --details"},
        {{"scan", "--format", "CSV", ".admin.acme"}, "option --format needs --save FILE, or is JSON"},
        {{"diff", "--format", "csv", "a", "b"}, "option --format of diff expects JSON, not \"csv\""},
        {{"diff", "a"}, "diff expects OLD NEW, got 1 operand"},
    };
    for (const auto& u : usage) {
        std::vector<std::string> args = {"--workstation", Ws};
        args.insert(args.end(), u.args.begin(), u.args.end());
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, 2) << u.error;
        EXPECT_NE(run.Err.find(u.error), std::string::npos) << run.Err;
    }
}

// The sample copied, with its LDIF edited by the given replacements (each must apply once).
void WriteEditedSample(const std::string& dir,
                       const std::vector<std::pair<std::string, std::string>>& edits) {
    const std::string examples = std::string(ERA_EXAMPLES_DIR) + "/acme";
    fs::create_directories(dir);
    for (const char* name : {"workstation.json", "lab.ldif"})
        fs::copy_file(examples + "/" + name, dir + "/" + name);
    std::string ldif = ReadFile(examples + "/acme.ldif");
    for (const auto& [from, to] : edits) {
        const size_t at = ldif.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        ASSERT_EQ(ldif.find(from, at + 1), std::string::npos) << from;
        ldif.replace(at, from.size(), to);
    }
    std::ofstream(dir + "/acme.ldif", std::ios::binary) << ldif;
}

// Every object of the tree, scanned into a saved audit of the given file name.
void Audit(const std::string& workstation, const std::string& file) {
    const TRun objects = RunEra({"--workstation", workstation, "search", ""});
    ASSERT_EQ(objects.Status, 0) << objects.Err;
    std::vector<std::string> args = {"--workstation", workstation, "scan", "--save", file};
    std::istringstream names(objects.Out);
    for (std::string name; std::getline(names, name);)
        args.push_back(name);
    ASSERT_GT(args.size(), 40u);
    const TRun scan = RunEra(args);
    ASSERT_EQ(scan.Status, 0) << scan.Err;
}

TEST(CliDiff, AnEditedDirectoryGivesExactlyItsConsequences) {
    TTempDir dir;
    const std::string before = dir.Path("before"), after = dir.Path("after");
    WriteEditedSample(before, {});
    WriteEditedSample(
        after,
        {// One ACL added: bclark may browse tnguyen's entry (that entry only).
         {"ACL: 2#entry#cn=tnguyen,ou=west,ou=sales,o=acme#[All Attributes Rights]\n",
          "ACL: 2#entry#cn=tnguyen,ou=west,ou=sales,o=acme#[All Attributes Rights]\n"
          "ACL: 1#entry#cn=bclark,ou=west,ou=sales,o=acme#[Entry Rights]\n"},
         // One filter tightened: hr's entry-rights filter lets nothing through instead of Browse.
         {"ACL: 1#subtree#[Inheritance Mask]#[Entry Rights]\n",
          "ACL: 0#subtree#[Inheritance Mask]#[Entry Rights]\n"},
         // One membership removed: nfoster leaves projects-team.
         {"cn: projects-team\nmember: cn=sintern,ou=projects,ou=east,ou=sales,o=acme\n"
          "member: cn=nfoster,ou=projects,ou=east,ou=sales,o=acme\n",
          "cn: projects-team\nmember: cn=sintern,ou=projects,ou=east,ou=sales,o=acme\n"},
         {"groupMembership: cn=projects-team,ou=projects,ou=east,ou=sales,o=acme\n"
          "securityEquals: cn=projects-team,ou=projects,ou=east,ou=sales,o=acme\ncreateTimestamp: "
          "20090902090000Z\n",
          "createTimestamp: 20090902090000Z\n"}});
    for (const auto& sample : {before, after}) {
        Audit(sample + "/workstation.json", sample + "/audit.txt");
        Audit(sample + "/workstation.json", sample + "/audit.json");
    }
    const TRun text = RunEra({"diff", before + "/audit.txt", after + "/audit.txt"});
    EXPECT_EQ(text.Status, 1) << text.Err;
    ExpectGolden("diff_edited_acme.txt", text.Out);
    // The JSON audits, and one of each form, give the same changes.
    const TRun mixed = RunEra({"diff", before + "/audit.json", after + "/audit.txt"});
    EXPECT_EQ(mixed.Out, text.Out);
    const TRun changes = RunEra({"diff", "--format", "json", before + "/audit.json", after + "/audit.json"});
    EXPECT_EQ(changes.Status, 1);
    ExpectGolden("diff_edited_acme.jsonl", changes.Out);

    // Exactly the consequences: every change is named here, and nothing else changed.
    std::set<std::string> expected = {
        // The ACL: bclark's browse right on that one entry.
        "added .tnguyen.west.sales.acme .bclark.west.sales.acme [Entry Rights] [B     ]",
    };
    // The filter: on hr and everything in it, every entry right that came from above hr was the
    // Browse it let through; those rows go. hjones's own assignment on hr stays.
    for (const char* object :
         {".hr.acme", ".hjones.hr.acme", ".cmiller.hr.acme", ".vdavis.hr.acme", ".payroll.hr.acme"})
        for (const char* trustee :
             {".admin.acme", ".helpdesk.it.acme", ".it-admins.it.acme", ".jsmith.it.acme", ".lchen.it.acme",
              ".rpatel.it.acme", ".tkim.it.acme", "[Public]"})
            expected.insert(std::string("removed ") + object + " " + trustee + " [Entry Rights] [B    I]");
    // The membership: on projects and everything in it, nfoster keeps only everyone's [CR] of the
    // attributes instead of the team's [CRWS].
    for (const char* object :
         {".projects.east.sales.acme", ".sintern.projects.east.sales.acme",
          ".nfoster.projects.east.sales.acme", ".projects-team.projects.east.sales.acme"})
        expected.insert(std::string("changed ") + object +
                        " .nfoster.projects.east.sales.acme [All Attributes Rights] [CR    ]");
    std::set<std::string> found;
    for (const auto& record : Records(changes.Out)) {
        const json& value = record["change"] == "removed" ? record["old"] : record["new"];
        found.insert(record["change"].get<std::string>() + " " + record["object"].get<std::string>() + " " +
                     record["trustee"].get<std::string>() + " " + record["attribute"].get<std::string>() +
                     " " + value["rights"].get<std::string>());
    }
    EXPECT_EQ(found, expected);
}

TEST(CliDiff, EqualAuditsAndTroubleAsDiffDoes) {
    TTempDir dir;
    ASSERT_EQ(
        RunEra({"--workstation", Ws, "scan", "--save", dir.Path("a.txt"), ".hr.acme", ".sales.acme"}).Status,
        0);
    ASSERT_EQ(
        RunEra({"--workstation", Ws, "scan", "--save", dir.Path("a.json"), ".hr.acme", ".sales.acme"}).Status,
        0);
    // Equal: status 0, nothing printed; a text audit and the JSON of the same scan are equal.
    const TRun same = RunEra({"diff", dir.Path("a.txt"), dir.Path("a.json")});
    EXPECT_EQ(same.Status, 0) << same.Err;
    EXPECT_EQ(same.Out, "");
    // The text shown on standard output reads as the saved one does.
    const TRun shown = RunEra({"--workstation", Ws, "scan", ".sales.acme", ".hr.acme"});
    std::ofstream(dir.Path("shown.txt")) << shown.Out;
    EXPECT_EQ(RunEra({"diff", dir.Path("shown.txt"), dir.Path("a.json")}).Status, 0);

    std::ofstream(dir.Path("details.txt"))
        << RunEra({"--workstation", Ws, "scan", "--details", ".hr.acme"}).Out;
    std::ofstream(dir.Path("table.csv")) << "a,b\n";
    const std::string records = ReadFile(dir.Path("a.json"));
    std::ofstream(dir.Path("broken.json"))
        << records.substr(0, records.find('\n') + 1) << records.substr(0, 40) << "\n";
    const struct {
        std::string Old, New, Error;
    } trouble[] = {
        {dir.Path("nothing.txt"), dir.Path("a.txt"),
         dir.Path("nothing.txt") + ": cannot read it: No such file"},
        {dir.Path("a.txt"), dir.Path("table.csv"), dir.Path("table.csv") + ":1: unknown format"},
        {dir.Path("a.txt"), dir.Path("details.txt"),
         dir.Path("details.txt") + ":6: this is a detailed trace"},
        {dir.Path("broken.json"), dir.Path("a.txt"), dir.Path("broken.json") + ":2: not a JSON value"},
        {dir.Path("a.txt"), dir.Path(""), dir.Path("") + ": cannot read it"},
    };
    for (const auto& t : trouble) {
        const TRun run = RunEra({"diff", t.Old, t.New});
        EXPECT_EQ(run.Status, 2) << t.Error;
        EXPECT_NE(run.Err.find("era: diff: " + t.Error), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
}

} // namespace
} // namespace era::test
