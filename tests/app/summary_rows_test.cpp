// The summary's rows as records, their JSON Lines, and the diff of two audits read back from
// either form.

#include "app/audit_diff.h"
#include "app/report.h"
#include "app/summary_json.h"

#include <array>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace era {
namespace {

TStringList Trace(const std::vector<std::pair<uint32_t, std::string>>& lines) {
    TStringList trace;
    for (const auto& [level, text] : lines)
        trace.AddObject(text, level);
    return trace;
}

TEST(SummaryRows, EachKeptRowWithItsItemReasonsAndChecks) {
    TStringList trace = Trace({
        {31, "_____________________"},
        {14, ""},
        {13, "Object: \".x \\\"q\\\".acme\" on tree \"T\""},
        {5, "  Effective: [BCDRAI] -> [User] .admin.org / [Entry Rights]"},
        {31, "     * [    AI] for direct Trustee assignment on \"[Root]\""},
        {5, "  Effective: [ CDR I] -> [User] .jdoe.org / [Entry Rights]"},
        {5, "  Check 2:     Calc s: [ CDR I] - Eff: [BCDR I]"},
        {31, "     * [ CDR I] for SecEqu to \".mgrs.org\""},
        {31, "     * [B     ] for SecEqu to \".other.org\""},
        {5, "  Effective: [CR    ] -> [n/a] [Root] / \"Network Address\""},
        {21, "Some call: 0xFFFFFF64 (no such entry)"},
        {31, "     * [CR    ] after the error line: no row's reason"},
    });
    std::vector<TSummaryRow> rows;
    TReportInputs inputs;
    inputs.FilterExcl = "admin";
    inputs.Rows = &rows;
    BuildSummary(trace, inputs);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Tree, "T");
    EXPECT_EQ(rows[0].Item, ".x \\\"q\\\".acme");
    EXPECT_EQ(rows[0].Trustee, ".jdoe.org");
    EXPECT_EQ(rows[0].Attribute, "[Entry Rights]");
    EXPECT_EQ(rows[0].Rights, " CDR I");
    EXPECT_EQ(rows[0].Mask, 0x0Eu); // Create, Delete, Rename; inheritable entry rights lack bit 0x40
    EXPECT_EQ(rows[0].Reasons, (std::vector<std::string>{"[ CDR I] for SecEqu to \".mgrs.org\"",
                                                         "[B     ] for SecEqu to \".other.org\""}));
    ASSERT_EQ(rows[0].Checks.size(), 1u);
    EXPECT_EQ(rows[0].Checks[0].Source, "directory");
    EXPECT_EQ(rows[0].Checks[0].Rights, "[BCDR I]");
    EXPECT_EQ(rows[1].Trustee, "[Root]");
    EXPECT_EQ(rows[1].Class, "n/a");
    EXPECT_EQ(rows[1].Attribute, "Network Address");
    EXPECT_EQ(rows[1].Mask, 0x03u);
    EXPECT_TRUE(rows[1].Reasons.empty());

    // A path: the driver's heading and the analysis's place, file rights.
    TStringList path = Trace({
        {13, "Path: \"F:\\PUBLIC\""},
        {13, "Tree/Volume/Server: T / FS1_SYS.it / FS1.it"},
        {14, ""},
        {5, "  Effective: [R    F  ] -> [] [Public]"},
    });
    std::vector<TSummaryRow> pathRows;
    TReportInputs pathInputs;
    pathInputs.FileMode = true;
    pathInputs.Rows = &pathRows;
    BuildSummary(path, pathInputs);
    ASSERT_EQ(pathRows.size(), 1u);
    EXPECT_TRUE(pathRows[0].FileMode);
    EXPECT_EQ(pathRows[0].Item, "F:\\PUBLIC");
    EXPECT_EQ(pathRows[0].Tree, "T");
    EXPECT_EQ(pathRows[0].Volume, "FS1_SYS.it");
    EXPECT_EQ(pathRows[0].Server, "FS1.it");
    EXPECT_EQ(pathRows[0].Mask, 0x41u); // Read, File Scan
    EXPECT_EQ(
        SummaryRowJson(pathRows[0]),
        R"({"schema":"era.summary/1","tree":"T","server":"FS1.it","volume":"FS1_SYS.it","path":"F:\\PUBLIC",)"
        R"("trustee":"[Public]","class":"","rights":"[R    F  ]","mask":65,"reasons":[]})");
}

TEST(SummaryRows, JsonStringsAreTheNamesThemselvesInValidUtf8) {
    const struct {
        std::string Shown; // as the outputs show it
        std::string Json;  // the literal written
        std::string Read;  // what a JSON reader takes from it
    } cases[] = {
        {"plain", "\"plain\"", "plain"},
        {"a \"b\" c", "\"a \\\"b\\\" c\"", "a \"b\" c"},
        {"F:\\PUBLIC", "\"F:\\\\PUBLIC\"", "F:\\PUBLIC"},
        // The outputs' escapes are undone: a line break, a tab, a byte; a backslash shown as \x5c.
        {"two\\nlines\\tand\\x01", "\"two\\nlines\\tand\\u0001\"", "two\nlines\tand\x01"},
        {"C:\\x5cnew", "\"C:\\\\new\"", "C:\\new"},
        {"del\\x7f", "\"del\\u007f\"", "del\x7f"},
        // C1 controls, shown as their UTF-8 bytes, are escaped in JSON too.
        {"csi\\xc2\\x9b", "\"csi\\u009b\"", "csi\xc2\x9b"},
        // Valid UTF-8 passes; bytes that are no UTF-8 are read as Windows-1252.
        {"J\xc3\xa9r\xc3\xb4me", "\"J\xc3\xa9r\xc3\xb4me\"", "J\xc3\xa9r\xc3\xb4me"},
        {"J\xe9r\xf4me", "\"J\xc3\xa9r\xc3\xb4me\"", "J\xc3\xa9r\xc3\xb4me"},
        {"\x80\x81\x9f", "\"\xe2\x82\xac\\u0081\xc5\xb8\"", "\xe2\x82\xac\xc2\x81\xc5\xb8"},
        // Overlong forms, surrogates and cut sequences are no UTF-8.
        {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\"", "\xc3\x80\xc2\xaf"},
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xe2\x82\xac\"", "\xc3\xad\xc2\xa0\xe2\x82\xac"},
        {"cut\xe2\x82", "\"cut\xc3\xa2\xe2\x80\x9a\"", "cut\xc3\xa2\xe2\x80\x9a"},
        {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\"", "\xf0\x9f\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.Shown), c.Json) << c.Shown;
        const auto parsed = nlohmann::json::parse(JsonString(c.Shown), nullptr, false);
        ASSERT_FALSE(parsed.is_discarded()) << c.Shown;
        EXPECT_EQ(parsed.get<std::string>(), c.Read) << c.Shown;
    }
}

// An audit of one tree "T": per object its rows as (trustee, attribute, rights).
std::vector<TAuditItem>
Audit(const std::vector<std::pair<std::string, std::vector<std::array<std::string, 3>>>>& objects) {
    std::vector<TAuditItem> items;
    for (const auto& [object, rows] : objects) {
        TAuditItem item;
        item.Item.Tree = "T";
        item.Item.Item = object;
        for (const auto& [trustee, attribute, rights] : rows)
            item.Rows.push_back({trustee, attribute, "User", rights});
        items.push_back(item);
    }
    return items;
}

TEST(AuditDiff, TextAndJsonAuditsReadToTheSameRows) {
    const std::string text =
        "Version:   Vexilant.edir v1.6 (2009-09) \r\n"
        "Date:      2026-01-01 10:00:00\r\n"
        "Settings:  Resolve Containers=FALSE\r\n"
        " \r\n"
        " \r\n"
        "Object: \".a.acme\" on tree \"T\"\r\n"
        "Effective Trustee:\tUser\t[B    I]\t.x\\n.acme\t[Entry Rights]\r\n"
        "Self-check:\tUser\t[B    I]\t.x\\n.acme\t[Entry Rights]\tdirectory: [BC   I]\r\n"
        "Phone: 555\r\n"
        "Effective Trustee:\tUser\t[CR    ]\t.J\xe9r\xf4me.acme\t[All Attributes Rights]\r\n"
        " \r\n"
        "Path: \"F:\\PUBLIC\"\r\n"
        "Tree/Volume/Server: T / V.acme / S.acme\r\n"
        "Effective Trustee:\t\t[R    F  ]\t[Public]\r\n";
    std::vector<TAuditItem> fromText, fromJson;
    std::string error;
    ASSERT_TRUE(ParseAudit(text, "old.txt", fromText, error)) << error;
    ASSERT_EQ(fromText.size(), 2u);
    ASSERT_EQ(fromText[0].Rows.size(), 2u);
    EXPECT_EQ(fromText[0].Item.Item, ".a.acme");
    EXPECT_EQ(fromText[0].Rows[0].Trustee, ".x\\n.acme");
    EXPECT_EQ(fromText[0].Rows[0].Rights, "B    I");
    EXPECT_EQ(fromText[0].Rows[1].Trustee, ".J\xc3\xa9r\xc3\xb4me.acme");
    EXPECT_TRUE(fromText[1].Item.FileMode);
    EXPECT_EQ(fromText[1].Item.Server, "S.acme");
    ASSERT_EQ(fromText[1].Rows.size(), 1u);
    // The same rows written as JSON Lines read back to the same rows.
    std::string json;
    for (const auto& item : fromText)
        for (const auto& row : item.Rows) {
            TSummaryRow record = item.Item;
            record.Trustee = row.Trustee;
            record.Attribute = row.Attribute;
            record.Class = row.Class;
            record.Rights = row.Rights;
            record.Mask = SummaryRowMask(record);
            json += SummaryRowJson(record) + "\n";
        }
    ASSERT_TRUE(ParseAudit(json, "new.json", fromJson, error)) << error;
    EXPECT_TRUE(DiffAudits(fromText, fromJson).empty());
    ASSERT_EQ(fromJson.size(), 2u);
    EXPECT_EQ(fromJson[0].Rows[0].Trustee, ".x\\n.acme");
    EXPECT_EQ(fromJson[1].Item.Item, "F:\\PUBLIC");
    EXPECT_EQ(fromJson[1].Rows[0].Rights, "R    F  ");
}

TEST(AuditDiff, JsonRecordsAreReadByTheGrammarNotByTheirLayout) {
    // Blanks, another order, escapes, members unknown to the diff with nested values of every kind.
    const std::string record =
        " { \"extra\" : [1, -2.5e+3, true, null, {\"a\": [\"\\\"\"]}], \"mask\": 3, \"rights\":\"[CR    ]\","
        "\"class\":\"User\",\"attribute\":\"A\\/B\",\"trustee\":\".J\\u00e9r\\u00f4me\\ud83d\\ude00\\n\","
        "\"object\":\".a\",\"tree\":\"T\",\"schema\":\"era.summary/1\"}\t";
    std::vector<TAuditItem> items;
    std::string error;
    ASSERT_TRUE(ParseAudit(record, "a", items, error)) << error;
    ASSERT_EQ(items.size(), 1u);
    ASSERT_EQ(items[0].Rows.size(), 1u);
    EXPECT_EQ(items[0].Rows[0].Trustee,
              ".J\xc3\xa9r\xc3\xb4me\xf0\x9f\x98\x80\\n"); // shown: the line feed escaped
    EXPECT_EQ(items[0].Rows[0].Attribute, "A/B");
    EXPECT_EQ(items[0].Rows[0].Rights, "CR    ");

    const std::string valid = "\"tree\":\"T\",\"object\":\".a\",\"trustee\":\".x\",\"attribute\":\"A\","
                              "\"class\":\"User\",\"rights\":\"[CR    ]\",\"schema\":\"era.summary/1\"";
    const std::string broken[] = {
        "{" + valid + ",\"mask\":3} x",                 // text after the record
        "{" + valid + ",\"mask\":03}",                  // no JSON number
        "{" + valid + ",\"mask\":3,\"r\":\"\\ud83d\"}", // a lone surrogate
        "{" + valid + ",\"mask\":3,\"r\":\"a\tb\"}",    // a raw control character in a string
        "{" + valid + ",\"mask\":3,\"r\":\"\xe9\"}",    // a byte that is no UTF-8
        "{" + valid + ",\"mask\":3,\"r\":[1,]}",        // a trailing comma
        "{" + valid + ",\"mask\":3,}",
        "{" + valid + ",\"mask\":tru}",
    };
    for (const auto& line : broken) {
        EXPECT_FALSE(ParseAudit(line, "a", items, error)) << line;
        EXPECT_EQ(error, "a:1: not a JSON value") << line;
    }
    EXPECT_TRUE(ParseAudit("{" + valid + ",\"mask\":4294967295}", "a", items, error)) << error;
    EXPECT_FALSE(ParseAudit("{" + valid + ",\"mask\":4294967296}", "a", items, error));
    EXPECT_FALSE(ParseAudit("{" + valid + ",\"mask\":\"3\"}", "a", items, error));
}

TEST(AuditDiff, WhatCannotBeReadIsNamedByFileAndLine) {
    const struct {
        std::string Content;
        std::string Error;
    } cases[] = {
        {"", "a:0: empty"},
        {"\nname,rights\n", "a:2: unknown format"},
        {"Version: x\n\n_____________________\n", "a:3: this is a detailed trace (--details)"},
        {"Version: x\nEffective Trustee:\tUser\t[B ]\t.x\t[Entry Rights]\n", "a:2: a trustee row before any"},
        {"Version: x\nObject: \".a\" on tree \"T\"\nEffective Trustee:\tUser\t[B ]\t.x\n",
         "a:3: a trustee row of an object has 4 tab-separated fields, not 5"},
        {"Version: x\nObject: \".a\" on tree \"T\"\nEffective Trustee:\tUser\tB\t.x\t[Entry Rights]\n",
         "a:3: the rights \"B\" are not in brackets"},
        {"{\"schema\":\"era.summary/1\"}\n{oops\n", "a:1: the record has no field \"tree\""},
        {"{\"schema\":\"era.summary/2\"}\n", "a:1: schema \"era.summary/2\" is not era.summary/1"},
        {"{\"schema\":\"era.summary/"
         "1\",\"tree\":\"T\",\"object\":\".a\",\"trustee\":\".x\",\"attribute\":\"A\","
         "\"class\":\"User\",\"rights\":\"[CR    ]\",\"mask\":3}\n[1]\n",
         "a:2: not a JSON object"},
        {"{\"schema\":\"era.summary/1\",\"tree\":\"T\",\"object\":\".a\",\"trustee\":\".x\",\"attribute\":7,"
         "\"class\":\"User\",\"rights\":\"[CR    ]\",\"mask\":3}\n",
         "a:1: the field \"attribute\" is not a string"},
        {"{\"schema\":\"era.summary/"
         "1\",\"tree\":\"T\",\"object\":\".a\",\"trustee\":\".x\",\"attribute\":\"A\","
         "\"class\":\"User\",\"rights\":\"[CR    ]\",\"mask\":-3}\n",
         "a:1: the field \"mask\" is missing or no number"},
        {"{\"schema\":\"era.summary/"
         "1\",\"tree\":\"T\",\"object\":\".a\",\"trustee\":\".x\",\"attribute\":\"A\","
         "\"class\":\"User\",\"rights\":\"[CR    ]\",\"mask\":3}\n{\"sch",
         "a:2: not a JSON value"},
    };
    for (const auto& c : cases) {
        std::vector<TAuditItem> items;
        std::string error;
        EXPECT_FALSE(ParseAudit(c.Content, "a", items, error)) << c.Content;
        EXPECT_TRUE(error.starts_with(c.Error)) << error << "\nexpected: " << c.Error;
    }
}

TEST(AuditDiff, AddedRemovedAndChangedRowsGroupedByItem) {
    const auto before = Audit({
        {".a",
         {{".x", "[Entry Rights]", "B     "},
          {".y", "[Entry Rights]", "B     "},
          {".y", "[All Attributes Rights]", "CR    "}}},
        {".b", {{".x", "[Entry Rights]", "B     "}}},
        {".c", {{".z", "[Entry Rights]", "B     "}}},
    });
    const auto after = Audit({
        {".b", {{".x", "[Entry Rights]", "B     "}}}, // the same
        {".a", {{".y", "[All Attributes Rights]", "C     "}}},
        {".a",
         {{".x", "[Entry Rights]", "B     "}, {".w", "Login Script", "CRWS  "}}}, // named twice: one item
        {".d", {{".x", "[Entry Rights]", "BC    "}}},
    });
    EXPECT_TRUE(DiffAudits(before, before).empty());
    const auto changes = DiffAudits(before, after);
    EXPECT_EQ(DiffText(changes), "Object: \".a\" on tree \"T\"\n"
                                 "Added:\tUser\t[CRWS  ]\t.w\tLogin Script\n"
                                 "Changed:\tUser\t[C     ]\t.y\t[All Attributes Rights]\twas: [CR    ]\n"
                                 "Removed:\tUser\t[B     ]\t.y\t[Entry Rights]\n"
                                 "\n"
                                 "Object: \".c\" on tree \"T\"\n"
                                 "Removed:\tUser\t[B     ]\t.z\t[Entry Rights]\n"
                                 "\n"
                                 "Object: \".d\" on tree \"T\"\n"
                                 "Added:\tUser\t[BC    ]\t.x\t[Entry Rights]\n"
                                 "\n");
    const std::string json = DiffJson(changes);
    EXPECT_NE(
        json.find(
            R"({"schema":"era.diff/1","change":"changed","tree":"T","object":".a","trustee":".y",)"
            R"("attribute":"[All Attributes Rights]","old":{"class":"User","rights":"[CR    ]","mask":3},)"
            R"("new":{"class":"User","rights":"[C     ]","mask":1}})"),
        std::string::npos)
        << json;
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5);
}

} // namespace
} // namespace era
