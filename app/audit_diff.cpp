#include "app/audit_diff.h"

#include "app/summary_json.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
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

// The members of a record that the diff reads.
constexpr std::array<std::string_view, 10> RecordFields = {
    "schema", "tree", "object", "server", "volume", "path", "trustee", "attribute", "class", "rights"};

// One JSON Lines record read strictly by the JSON grammar (RFC 8259, UTF-8), keeping the string
// members the diff reads (as the outputs show them) and whether "mask" is an unsigned number;
// every other value is checked and passed over. Written for the task: a record of millions is
// read without building its reasons.
class TRecordReader {
public:
    std::array<std::string, RecordFields.size()> Values;
    std::array<int, RecordFields.size()> Kind{}; // 0 absent, 1 a string, 2 another value
    bool MaskOk = false;

    // "" when the line is one JSON object; else what is wrong.
    std::string Read(std::string_view line) {
        text_ = line;
        at_ = 0;
        Blanks();
        if (at_ >= text_.size() || text_[at_] != '{')
            return Value(0) && AtEnd() ? "not a JSON object" : "not a JSON value";
        ++at_;
        Blanks();
        bool first = true;
        while (!Take('}')) {
            if (!first && !Take(',')) return "not a JSON value";
            first = false;
            Blanks();
            std::string name;
            if (!String(&name)) return "not a JSON value";
            Blanks();
            if (!Take(':')) return "not a JSON value";
            Blanks();
            const auto field = std::ranges::find(RecordFields, name);
            const size_t slot = static_cast<size_t>(field - RecordFields.begin());
            if (field != RecordFields.end() && Peek() == '"') {
                std::string value;
                if (!String(&value)) return "not a JSON value";
                Values[slot] = EscapeControls(value);
                Kind[slot] = 1;
            } else {
                const size_t from = at_;
                if (!Value(0)) return "not a JSON value";
                if (field != RecordFields.end()) Kind[slot] = 2;
                if (name == "mask") MaskOk = UnsignedNumber(text_.substr(from, at_ - from));
            }
            Blanks();
        }
        return AtEnd() ? "" : "not a JSON value";
    }

private:
    static bool UnsignedNumber(std::string_view number) {
        if (number.empty() || number.size() > 10) return false;
        if (!std::ranges::all_of(number, [](char c) { return c >= '0' && c <= '9'; })) return false;
        return std::stoull(std::string(number)) <= 0xFFFFFFFFull;
    }
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    bool Take(char c) {
        if (Peek() != c || at_ >= text_.size()) return false;
        ++at_;
        return true;
    }
    void Blanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }
    bool AtEnd() {
        Blanks();
        return at_ == text_.size();
    }
    bool Hex4(unsigned& code) {
        if (at_ + 4 > text_.size()) return false;
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            code = code * 16 + static_cast<unsigned>(digit);
        }
        return true;
    }
    // A string, decoded into out when given.
    bool String(std::string* out) {
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            const auto byte = static_cast<unsigned char>(text_[at_]);
            if (byte == '"') {
                ++at_;
                return true;
            }
            if (byte < 0x20) return false;
            if (byte >= 0x80) {
                const size_t length = Utf8SequenceLength(text_.substr(at_));
                if (length == 0) return false;
                if (out) out->append(text_.substr(at_, length));
                at_ += length;
                continue;
            }
            ++at_;
            if (byte != '\\') {
                if (out) *out += static_cast<char>(byte);
                continue;
            }
            if (at_ >= text_.size()) return false;
            const char escape = text_[at_++];
            static constexpr std::string_view From = "\"\\/bfnrt", To = "\"\\/\b\f\n\r\t";
            if (const size_t k = From.find(escape); k != std::string_view::npos) {
                if (out) *out += To[k];
                continue;
            }
            unsigned code = 0;
            if (escape != 'u' || !Hex4(code)) return false;
            if (code >= 0xDC00 && code <= 0xDFFF) return false;
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            }
            if (out) AppendUtf8(*out, code);
        }
        return false;
    }
    bool Number() {
        Take('-');
        if (Take('0')) {
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9')
                ++at_;
        } else {
            return false;
        }
        if (Take('.')) {
            if (!(Peek() >= '0' && Peek() <= '9')) return false;
            while (Peek() >= '0' && Peek() <= '9')
                ++at_;
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!(Peek() >= '0' && Peek() <= '9')) return false;
            while (Peek() >= '0' && Peek() <= '9')
                ++at_;
        }
        return true;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    // Any value, checked and passed over.
    bool Value(int depth) {
        if (depth > 64) return false;
        Blanks();
        const char c = Peek();
        if (c == '"') return String(nullptr);
        if (c == 't') return Literal("true");
        if (c == 'f') return Literal("false");
        if (c == 'n') return Literal("null");
        if (c == '[' || c == '{') {
            const bool object = c == '{';
            ++at_;
            Blanks();
            if (Take(object ? '}' : ']')) return true;
            do {
                Blanks();
                if (object && (!String(nullptr) || (Blanks(), !Take(':')))) return false;
                if (!Value(depth + 1)) return false;
                Blanks();
            } while (Take(','));
            return Take(object ? '}' : ']');
        }
        return Number();
    }

    std::string_view text_;
    size_t at_ = 0;
};

std::string ParseJsonLine(std::string_view line, std::vector<TAuditItem>& items) {
    TRecordReader record;
    if (const std::string problem = record.Read(line); !problem.empty()) return problem;
    const auto take = [&record](std::string_view name, std::string& value) -> std::string {
        const size_t slot = static_cast<size_t>(std::ranges::find(RecordFields, name) - RecordFields.begin());
        if (record.Kind[slot] == 0) return "the record has no field \"" + std::string(name) + "\"";
        if (record.Kind[slot] != 1) return "the field \"" + std::string(name) + "\" is not a string";
        value = std::move(record.Values[slot]);
        return {};
    };
    std::string schema, rights, problem;
    if (!(problem = take("schema", schema)).empty()) return problem;
    if (schema != SummarySchema)
        return "schema \"" + schema + "\" is not " + SummarySchema + " (the rows of era scan --format json)";
    TSummaryRow item;
    TAuditRow row;
    item.FileMode = record.Kind[5] != 0; // "path"
    using TFields = std::vector<std::pair<std::string_view, std::string*>>;
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

namespace {

// Reads an audit line by line, its form told by its first line.
class TAuditParser {
public:
    explicit TAuditParser(std::vector<TAuditItem>& items) : items_(items) { items_.clear(); }

    // Takes one line (without its line feed); false once a line could not be read.
    bool Line(std::string_view line) {
        ++number_;
        if (line.ends_with('\r')) line.remove_suffix(1);
        // A saved text file writes an empty line as one blank.
        if (line.find_first_not_of(' ') == std::string_view::npos) return true;
        if (form_ == TForm::Unknown) {
            if (line.starts_with("Version:"))
                form_ = TForm::Text;
            else if (line.substr(line.find_first_not_of(" \t")).starts_with("{"))
                form_ = TForm::Json;
            else
                problem_ =
                    "unknown format; expected the summary of era scan (its first line \"Version: ...\") or "
                    "its JSON Lines (--format json)";
        }
        if (form_ == TForm::Text)
            problem_ = ParseTextLine(line, items_);
        else if (form_ == TForm::Json)
            problem_ = ParseJsonLine(line, items_);
        return problem_.empty();
    }

    // Whether the audit was read; the error names the file and line when not.
    bool Finish(const std::string& name, std::string& error) {
        if (problem_.empty() && form_ == TForm::Unknown)
            problem_ = "empty; expected the summary of era scan or its JSON Lines";
        if (problem_.empty()) return true;
        error = name + ":" + std::to_string(number_) + ": " + problem_;
        return false;
    }

private:
    enum class TForm { Unknown, Text, Json } form_ = TForm::Unknown;
    std::vector<TAuditItem>& items_;
    size_t number_ = 0;
    std::string problem_;
};

} // namespace

bool ParseAudit(std::string_view content, const std::string& name, std::vector<TAuditItem>& items,
                std::string& error) {
    TAuditParser parser(items);
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        if (!parser.Line(content.substr(start, end - start))) break;
        start = end + 1;
    }
    return parser.Finish(name, error);
}

bool ReadAudit(const std::string& path, std::vector<TAuditItem>& items, std::string& error) {
    // Line by line: an audit of a whole tree is read without holding its text.
    TAuditParser parser(items);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    bool failed = file == nullptr, stopped = false;
    if (file) {
        std::string pending;
        std::vector<char> buffer(1 << 20);
        for (size_t n; !stopped && (n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) {
            std::string_view chunk(buffer.data(), n);
            for (size_t end; !stopped && (end = chunk.find('\n')) != std::string_view::npos;) {
                if (pending.empty()) {
                    stopped = !parser.Line(chunk.substr(0, end));
                } else {
                    pending.append(chunk.substr(0, end));
                    stopped = !parser.Line(pending);
                    pending.clear();
                }
                chunk.remove_prefix(end + 1);
            }
            pending.append(chunk);
        }
        failed = std::ferror(file) != 0;
        std::fclose(file);
        if (!failed && !stopped && !pending.empty()) parser.Line(pending);
    }
    if (failed) {
        error = path + ": cannot read it: " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return parser.Finish(path, error);
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
