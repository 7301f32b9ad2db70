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
// without the attribute) into a row of the item; the problem when it is not one.
std::string TakeTextRow(std::string_view line, TAuditItem& item) {
    std::string_view fields[6];
    size_t count = 0;
    for (size_t start = 0;; ++count) {
        const size_t tab = line.find('\t', start);
        if (count < std::size(fields)) fields[count] = line.substr(start, tab - start);
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    ++count;
    const size_t expected = item.Item.FileMode ? 4 : 5;
    if (count != expected)
        return Format("a trustee row of %s has %zu tab-separated fields, not %zu",
                      item.Item.FileMode ? "a path" : "an object", count, expected);
    TAuditRow row;
    row.Class = ValidUtf8(fields[1]);
    if (!Unbracketed(fields[2], row.Rights))
        return "the rights \"" + std::string(fields[2]) + "\" are not in brackets";
    row.Trustee = ValidUtf8(fields[3]);
    if (!item.Item.FileMode) row.Attribute = ValidUtf8(fields[4]);
    item.Rows.push_back(std::move(row));
    return {};
}

// The text summary: its headings name the items, its trustee rows are the records; every other
// line (the header block, self-checks, error and attribute lines) is passed over.
std::string ParseTextLine(std::string_view line, std::vector<TAuditItem>& items) {
    if (line.starts_with(DetailSeparator))
        return "this is a detailed trace (--details); diff reads the summary";
    if (line.starts_with("Object: \"") || line.starts_with("Path: \"")) {
        TSummaryRow item;
        TakeSummaryHeading(std::string(line), item);
        item.FileMode = line.starts_with("Path: ");
        item.Tree = ValidUtf8(item.Tree);
        item.Item = ValidUtf8(item.Item);
        items.push_back({std::move(item), {}});
        return {};
    }
    if (line.starts_with("Tree/Volume/Server: ") && !items.empty()) {
        TSummaryRow& item = items.back().Item;
        TakeSummaryHeading(std::string(line), item);
        item.Tree = ValidUtf8(item.Tree);
        item.Volume = ValidUtf8(item.Volume);
        item.Server = ValidUtf8(item.Server);
        return {};
    }
    if (!line.starts_with(TrusteeLabel)) return {};
    if (items.empty()) return "a trustee row before any \"Object:\" or \"Path:\" heading";
    return TakeTextRow(line, items.back());
}

// The fields of one record that the diff reads: its members' strings (as the outputs show them)
// and whether "mask" is an unsigned number; nested values are passed over. Reading events rather
// than building the record keeps the reasons of millions of rows out of memory.
class TRecordReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    std::unordered_map<std::string, std::string> Strings;
    std::unordered_map<std::string, bool> Present; // every member, whether it was a string
    bool MaskOk = false;
    bool IsObject = false;
    std::string Error;

    bool null() override { return Value(false); }
    bool boolean(bool) override { return Value(false); }
    bool number_integer(number_integer_t) override { return Value(false); }
    bool number_unsigned(number_unsigned_t value) override {
        if (depth_ == 1 && key_ == "mask") MaskOk = value <= 0xFFFFFFFFu;
        return Value(false);
    }
    bool number_float(number_float_t, const string_t&) override { return Value(false); }
    bool string(string_t& value) override {
        if (depth_ == 1) Strings[key_] = EscapeControls(value);
        return Value(true);
    }
    bool binary(binary_t&) override { return Value(false); }
    bool start_object(std::size_t) override {
        if (depth_ == 0) IsObject = true;
        Value(false);
        ++depth_;
        return true;
    }
    bool key(string_t& name) override {
        if (depth_ == 1) key_ = name;
        return true;
    }
    bool end_object() override {
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        Value(false);
        ++depth_;
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        Error = "not a JSON value";
        return false;
    }

private:
    bool Value(bool isString) {
        if (depth_ == 1) Present[key_] = isString;
        return true;
    }
    int depth_ = 0;
    std::string key_;
};

std::string ParseJsonLine(std::string_view line, std::vector<TAuditItem>& items) {
    TRecordReader record;
    if (!nlohmann::json::sax_parse(line, &record))
        return record.Error.empty() ? "not a JSON value" : record.Error;
    if (!record.IsObject) return "not a JSON object";
    const auto take = [&record](const char* name, std::string& value) -> std::string {
        const auto found = record.Present.find(name);
        if (found == record.Present.end()) return Format("the record has no field \"%s\"", name);
        if (!found->second) return Format("the field \"%s\" is not a string", name);
        value = std::move(record.Strings[name]);
        return {};
    };
    std::string schema, rights, problem;
    if (!(problem = take("schema", schema)).empty()) return problem;
    if (schema != SummarySchema)
        return "schema \"" + schema + "\" is not " + SummarySchema + " (the rows of era scan --format json)";
    TSummaryRow item;
    TAuditRow row;
    item.FileMode = record.Present.contains("path");
    using TFields = std::vector<std::pair<const char*, std::string*>>;
    TFields fields = {
        {"tree", &item.Tree}, {"trustee", &row.Trustee}, {"class", &row.Class}, {"rights", &rights}};
    const TFields place =
        item.FileMode ? TFields{{"path", &item.Item}, {"volume", &item.Volume}, {"server", &item.Server}}
                      : TFields{{"object", &item.Item}, {"attribute", &row.Attribute}};
    fields.insert(fields.end(), place.begin(), place.end());
    for (const auto& [name, field] : fields)
        if (!(problem = take(name, *field)).empty()) return problem;
    if (!Unbracketed(rights, row.Rights)) return "the rights \"" + rights + "\" are not in brackets";
    if (!record.MaskOk) return "the field \"mask\" is missing or no number";
    // The records of one item come one after the other.
    if (items.empty() || !SameItem(items.back().Item, item)) items.push_back({std::move(item), {}});
    items.back().Rows.push_back(std::move(row));
    return {};
}

// The key of an item; the texts hold no tabs (escaped).
std::string ItemKey(const TSummaryRow& item) {
    return item.FileMode ? "P\t" + item.Tree + "\t" + item.Server + "\t" + item.Volume + "\t" + item.Item
                         : "O\t" + item.Tree + "\t" + item.Item;
}

std::string Heading(const TSummaryRow& item) {
    if (!item.FileMode) return Format("Object: \"%s\" on tree \"%s\"", item.Item.c_str(), item.Tree.c_str());
    return Format("Path: \"%s\"\nTree/Volume/Server: %s / %s / %s", item.Item.c_str(), item.Tree.c_str(),
                  item.Volume.c_str(), item.Server.c_str());
}

std::string ChangeRow(const char* label, const TSummaryRow& item, const TAuditRow& row) {
    std::string text = std::string(label) + "\t" + row.Class + "\t[" + row.Rights + "]\t" + row.Trustee;
    if (!item.FileMode) text += "\t" + row.Attribute;
    return text;
}

// The row's item, trustee, attribute and rights as a summary row.
TSummaryRow SummaryRowOf(const TSummaryRow& item, const TAuditRow& row) {
    TSummaryRow summary = item;
    summary.Trustee = row.Trustee;
    summary.Attribute = row.Attribute;
    summary.Class = row.Class;
    summary.Rights = row.Rights;
    summary.Mask = SummaryRowMask(summary);
    return summary;
}

std::string RowValueJson(const TSummaryRow& item, const TAuditRow& row) {
    return "{\"class\":" + JsonString(row.Class) + ",\"rights\":" + JsonString("[" + row.Rights + "]") +
           ",\"mask\":" + std::to_string(SummaryRowOf(item, row).Mask) + "}";
}

} // namespace

bool SameItem(const TSummaryRow& a, const TSummaryRow& b) {
    return a.FileMode == b.FileMode && a.Item == b.Item && a.Tree == b.Tree && a.Server == b.Server &&
           a.Volume == b.Volume;
}

bool ParseAudit(std::string_view content, const std::string& name, std::vector<TAuditItem>& items,
                std::string& error) {
    items.clear();
    enum class TForm { Unknown, Text, Json } form = TForm::Unknown;
    size_t number = 0;
    std::string problem;
    for (size_t start = 0; start < content.size() && problem.empty(); ++number) {
        size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        // A saved text file writes an empty line as one blank.
        if (line.find_first_not_of(' ') == std::string_view::npos) continue;
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
            problem = ParseTextLine(line, items);
        else if (form == TForm::Json)
            problem = ParseJsonLine(line, items);
    }
    if (problem.empty() && form == TForm::Unknown)
        problem = "empty; expected the summary of era scan or its JSON Lines";
    if (problem.empty()) return true;
    error = name + ":" + std::to_string(number) + ": " + problem;
    return false;
}

bool ReadAudit(const std::string& path, std::vector<TAuditItem>& items, std::string& error) {
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
    return ParseAudit(content, path, items, error);
}

std::vector<TItemChanges> DiffAudits(const std::vector<TAuditItem>& oldItems,
                                     const std::vector<TAuditItem>& newItems) {
    // Per item, in the order first named, its rows by trustee and attribute: in old, in new.
    struct TItemRows {
        const TSummaryRow* Item;
        std::map<std::pair<std::string_view, std::string_view>, std::pair<const TAuditRow*, const TAuditRow*>>
            Rows;
    };
    std::vector<TItemRows> merged;
    std::unordered_map<std::string, size_t> index;
    const auto take = [&](const std::vector<TAuditItem>& items, bool isNew) {
        for (const auto& item : items) {
            const auto [at, added] = index.try_emplace(ItemKey(item.Item), merged.size());
            if (added) merged.push_back({&item.Item, {}});
            auto& rows = merged[at->second].Rows;
            for (const auto& row : item.Rows) {
                auto& slot = rows[{row.Trustee, row.Attribute}];
                (isNew ? slot.second : slot.first) = &row;
            }
        }
    };
    take(oldItems, false);
    take(newItems, true);
    std::vector<TItemChanges> changes;
    for (const auto& item : merged) {
        TItemChanges found{*item.Item, {}};
        for (const auto& [key, pair] : item.Rows) {
            const auto [before, after] = pair;
            if (before && after && before->Rights == after->Rights) continue;
            const TChangeKind kind = !before  ? TChangeKind::Added
                                     : !after ? TChangeKind::Removed
                                              : TChangeKind::Changed;
            found.Changes.push_back({kind, before ? *before : TAuditRow{}, after ? *after : TAuditRow{}});
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
                out += ChangeRow("Added:", item.Item, change.New) + "\n";
                break;
            case TChangeKind::Removed:
                out += ChangeRow("Removed:", item.Item, change.Old) + "\n";
                break;
            case TChangeKind::Changed:
                out += ChangeRow("Changed:", item.Item, change.New) + "\twas: [" + change.Old.Rights + "]\n";
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
            const TSummaryRow row =
                SummaryRowOf(item.Item, change.Kind == TChangeKind::Removed ? change.Old : change.New);
            out += "{\"schema\":" + JsonString(DiffSchema) + ",\"change\":\"" +
                   Names[static_cast<int>(change.Kind)] + "\"" + RowKeyJson(row);
            out += ",\"old\":" + (change.Kind == TChangeKind::Added ? std::string("null")
                                                                    : RowValueJson(item.Item, change.Old));
            out += ",\"new\":" + (change.Kind == TChangeKind::Removed ? std::string("null")
                                                                      : RowValueJson(item.Item, change.New));
            out += "}\n";
        }
    }
    return out;
}

} // namespace era
