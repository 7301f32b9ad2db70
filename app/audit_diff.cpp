#include "app/audit_diff.h"

#include "app/summary_json.h"
#include "util/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>

namespace era {

namespace {

constexpr std::string_view TrusteeLabel = "Effective Trustee:\t";
constexpr std::string_view DetailSeparator = "_____________________";

// "[letters]" without its brackets; false when it is not bracketed.
bool Unbracketed(std::string_view rights, std::string& letters) {
    if (rights.size() < 2 || rights.front() != '[' || rights.back() != ']') return false;
    letters = std::string(rights.substr(1, rights.size() - 2));
    return true;
}

// A summary row of the text: "Effective Trustee:\tCLASS\t[RIGHTS]\tTRUSTEE\tATTRIBUTE" (a path's
// without the attribute) into a record of the item; the problem when it is not one.
std::string TakeTextRow(const std::string& line, const TSummaryRow& item, std::vector<TSummaryRow>& rows) {
    const TArrayOfString fields = SplitToArray(line, "\t");
    const size_t expected = item.FileMode ? 4 : 5;
    if (fields.size() != expected)
        return Format("a trustee row of %s has %zu tab-separated fields, not %zu",
                      item.FileMode ? "a path" : "an object", fields.size(), expected);
    TSummaryRow row = item;
    row.Class = ValidUtf8(fields[1]);
    if (!Unbracketed(fields[2], row.Rights)) return "the rights \"" + fields[2] + "\" are not in brackets";
    row.Trustee = ValidUtf8(fields[3]);
    if (!item.FileMode) row.Attribute = ValidUtf8(fields[4]);
    row.Mask = SummaryRowMask(row);
    rows.push_back(std::move(row));
    return {};
}

// The text summary: its headings name the items, its trustee rows are the records; every other
// line (the header block, self-checks, error and attribute lines) is passed over.
std::string ParseTextLine(const std::string& line, TSummaryRow& item, bool& haveItem,
                          std::vector<TSummaryRow>& rows) {
    if (line.starts_with(DetailSeparator))
        return "this is a detailed trace (--details); diff reads the summary";
    if (line.starts_with("Object: \"") || line.starts_with("Path: \"")) {
        const bool path = line.starts_with("Path: ");
        item = TSummaryRow{};
        TakeSummaryHeading(line, item);
        item.FileMode = path;
        item.Tree = ValidUtf8(item.Tree);
        item.Item = ValidUtf8(item.Item);
        haveItem = true;
        return {};
    }
    if (line.starts_with("Tree/Volume/Server: ")) {
        TakeSummaryHeading(line, item);
        item.Tree = ValidUtf8(item.Tree);
        item.Volume = ValidUtf8(item.Volume);
        item.Server = ValidUtf8(item.Server);
        return {};
    }
    if (!line.starts_with(TrusteeLabel)) return {};
    if (!haveItem) return "a trustee row before any \"Object:\" or \"Path:\" heading";
    return TakeTextRow(line, item, rows);
}

// A string field of a JSON record as the outputs show it; the problem when it is missing or no string.
std::string TakeString(const nlohmann::json& record, const char* name, std::string& value) {
    const auto found = record.find(name);
    if (found == record.end()) return Format("the record has no field \"%s\"", name);
    if (!found->is_string()) return Format("the field \"%s\" is not a string", name);
    value = EscapeControls(found->get<std::string>());
    return {};
}

std::string ParseJsonLine(const std::string& line, std::vector<TSummaryRow>& rows) {
    const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (record.is_discarded()) return "not a JSON value";
    if (!record.is_object()) return "not a JSON object";
    std::string schema, rights, problem;
    if (!(problem = TakeString(record, "schema", schema)).empty()) return problem;
    if (schema != SummarySchema)
        return "schema \"" + schema + "\" is not " + SummarySchema + " (the rows of era scan --format json)";
    TSummaryRow row;
    row.FileMode = record.contains("path");
    using TFields = std::vector<std::pair<const char*, std::string*>>;
    TFields fields = {
        {"tree", &row.Tree}, {"trustee", &row.Trustee}, {"class", &row.Class}, {"rights", &rights}};
    const TFields item = row.FileMode
                             ? TFields{{"path", &row.Item}, {"volume", &row.Volume}, {"server", &row.Server}}
                             : TFields{{"object", &row.Item}, {"attribute", &row.Attribute}};
    fields.insert(fields.end(), item.begin(), item.end());
    for (const auto& [name, field] : fields)
        if (!(problem = TakeString(record, name, *field)).empty()) return problem;
    if (!Unbracketed(rights, row.Rights)) return "the rights \"" + rights + "\" are not in brackets";
    const auto mask = record.find("mask");
    if (mask == record.end() || !mask->is_number_unsigned())
        return "the field \"mask\" is missing or no number";
    row.Mask = mask->get<std::uint32_t>();
    rows.push_back(std::move(row));
    return {};
}

// The key of a row's item and of the row within its item; the texts hold no tabs (escaped).
std::string ItemKey(const TSummaryRow& row) {
    return row.FileMode ? "P\t" + row.Tree + "\t" + row.Server + "\t" + row.Volume + "\t" + row.Item
                        : "O\t" + row.Tree + "\t" + row.Item;
}

std::string RowKey(const TSummaryRow& row) {
    return row.Trustee + "\t" + row.Attribute;
}

std::string Heading(const TSummaryRow& item) {
    if (!item.FileMode) return Format("Object: \"%s\" on tree \"%s\"", item.Item.c_str(), item.Tree.c_str());
    return Format("Path: \"%s\"\nTree/Volume/Server: %s / %s / %s", item.Item.c_str(), item.Tree.c_str(),
                  item.Volume.c_str(), item.Server.c_str());
}

std::string ChangeRow(const char* label, const TSummaryRow& row) {
    std::string text = std::string(label) + "\t" + row.Class + "\t[" + row.Rights + "]\t" + row.Trustee;
    if (!row.FileMode) text += "\t" + row.Attribute;
    return text;
}

std::string RowValueJson(const TSummaryRow& row) {
    return "{\"class\":" + JsonString(row.Class) + ",\"rights\":" + JsonString("[" + row.Rights + "]") +
           ",\"mask\":" + std::to_string(row.Mask) + "}";
}

} // namespace

bool ParseAudit(std::string_view content, const std::string& name, std::vector<TSummaryRow>& rows,
                std::string& error) {
    rows.clear();
    enum class TForm { Unknown, Text, Json } form = TForm::Unknown;
    TSummaryRow item;
    bool haveItem = false;
    size_t number = 0;
    std::string problem;
    for (size_t start = 0; start < content.size() && problem.empty(); ++number) {
        size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        std::string line(content.substr(start, end - start));
        start = end + 1;
        if (line.ends_with('\r')) line.pop_back();
        // A saved text file writes an empty line as one blank.
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        if (form == TForm::Unknown) {
            if (line.starts_with("Version:"))
                form = TForm::Text;
            else if (line.starts_with("{"))
                form = TForm::Json;
            else
                problem =
                    "unknown format; expected the summary of era scan (its first line \"Version: ...\") or "
                    "its JSON Lines (--format json)";
        }
        if (form == TForm::Text)
            problem = ParseTextLine(line, item, haveItem, rows);
        else if (form == TForm::Json)
            problem = ParseJsonLine(line, rows);
    }
    if (problem.empty() && form == TForm::Unknown)
        problem = "empty; expected the summary of era scan or its JSON Lines";
    if (problem.empty()) return true;
    error = name + ":" + std::to_string(number) + ": " + problem;
    return false;
}

bool ReadAudit(const std::string& path, std::vector<TSummaryRow>& rows, std::string& error) {
    std::string content;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    bool failed = file == nullptr;
    if (file) {
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            content.append(buffer, n);
        failed = std::ferror(file) != 0;
        std::fclose(file);
    }
    if (failed) {
        error = path + ": cannot read it: " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return ParseAudit(content, path, rows, error);
}

std::vector<TItemChanges> DiffAudits(const std::vector<TSummaryRow>& oldRows,
                                     const std::vector<TSummaryRow>& newRows) {
    struct TItemRows {
        const TSummaryRow* Item;
        std::map<std::string, std::pair<const TSummaryRow*, const TSummaryRow*>>
            Rows; // by trustee, attribute
    };
    std::vector<TItemRows> items;
    std::unordered_map<std::string, size_t> index;
    const auto take = [&](const std::vector<TSummaryRow>& rows, bool isNew) {
        for (const auto& row : rows) {
            const auto [at, added] = index.try_emplace(ItemKey(row), items.size());
            if (added) items.push_back({&row, {}});
            auto& slot = items[at->second].Rows[RowKey(row)];
            (isNew ? slot.second : slot.first) = &row;
        }
    };
    take(oldRows, false);
    take(newRows, true);
    std::vector<TItemChanges> changes;
    for (const auto& item : items) {
        TItemChanges found{*item.Item, {}};
        for (const auto& [key, pair] : item.Rows) {
            const auto [before, after] = pair;
            if (before && after && before->Rights == after->Rights) continue;
            const TChangeKind kind = !before  ? TChangeKind::Added
                                     : !after ? TChangeKind::Removed
                                              : TChangeKind::Changed;
            found.Changes.push_back({kind, before ? *before : TSummaryRow{}, after ? *after : TSummaryRow{}});
        }
        if (!found.Changes.empty()) changes.push_back(std::move(found));
    }
    return changes;
}

std::string DiffText(const std::vector<TItemChanges>& changes) {
    std::string out;
    for (const auto& item : changes) {
        out += Heading(item.Item) + "\n";
        for (const auto& change : item.Changes) {
            switch (change.Kind) {
            case TChangeKind::Added:
                out += ChangeRow("Added:", change.New) + "\n";
                break;
            case TChangeKind::Removed:
                out += ChangeRow("Removed:", change.Old) + "\n";
                break;
            case TChangeKind::Changed:
                out += ChangeRow("Changed:", change.New) + "\twas: [" + change.Old.Rights + "]\n";
                break;
            }
        }
        out += "\n";
    }
    return out;
}

std::string DiffJson(const std::vector<TItemChanges>& changes) {
    static const char* const Names[] = {"added", "removed", "changed"};
    std::string out;
    for (const auto& item : changes) {
        for (const auto& change : item.Changes) {
            const TSummaryRow& row = change.Kind == TChangeKind::Removed ? change.Old : change.New;
            out += "{\"schema\":" + JsonString(DiffSchema) + ",\"change\":\"" +
                   Names[static_cast<int>(change.Kind)] + "\"" + RowKeyJson(row);
            out += ",\"old\":" +
                   (change.Kind == TChangeKind::Added ? std::string("null") : RowValueJson(change.Old));
            out += ",\"new\":" +
                   (change.Kind == TChangeKind::Removed ? std::string("null") : RowValueJson(change.New));
            out += "}\n";
        }
    }
    return out;
}

} // namespace era
