#include "app/summary_json.h"

#include "util/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace era {

namespace {

// Windows-1252 at 0x80..0x9F; the unassigned bytes keep their own number.
constexpr std::array<std::uint16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendJsonEscape(std::string& out, unsigned code) {
    out += Format("\\u%04x", code);
}

void AppendField(std::string& out, const char* name, std::string_view shown) {
    out += ",\"";
    out += name;
    out += "\":";
    out += JsonString(shown);
}

} // namespace

std::string ValidUtf8(std::string_view bytes) {
    if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i++]);
        AppendUtf8(out, byte < 0xA0 ? Cp1252High[byte - 0x80] : byte);
    }
    return out;
}

std::string JsonString(std::string_view shown) {
    const std::string text = ValidUtf8(UnescapeControls(shown));
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                AppendJsonEscape(out, byte);
            } else if (byte == 0xC2 && i + 1 < text.size() &&
                       static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                // U+0080..U+009F: terminals take some of them as commands.
                AppendJsonEscape(out, static_cast<unsigned char>(text[++i]));
            } else {
                out += text[i];
            }
        }
    }
    return out + "\"";
}

std::string RowKeyJson(const TSummaryRow& row) {
    std::string out;
    AppendField(out, "tree", row.Tree);
    if (row.FileMode) {
        AppendField(out, "server", row.Server);
        AppendField(out, "volume", row.Volume);
        AppendField(out, "path", row.Item);
    } else {
        AppendField(out, "object", row.Item);
    }
    AppendField(out, "trustee", row.Trustee);
    if (!row.FileMode) AppendField(out, "attribute", row.Attribute);
    return out;
}

std::string SummaryRowJson(const TSummaryRow& row) {
    std::string out = "{\"schema\":";
    out += JsonString(SummarySchema);
    out += RowKeyJson(row);
    AppendField(out, "class", row.Class);
    AppendField(out, "rights", "[" + row.Rights + "]");
    out += ",\"mask\":" + std::to_string(row.Mask);
    out += ",\"reasons\":[";
    for (size_t i = 0; i < row.Reasons.size(); ++i)
        out += (i ? "," : "") + JsonString(row.Reasons[i]);
    out += "]";
    if (!row.Checks.empty()) {
        out += ",\"self_check\":[";
        for (size_t i = 0; i < row.Checks.size(); ++i) {
            out += i ? ",{" : "{";
            out += "\"source\":" + JsonString(row.Checks[i].Source);
            AppendField(out, "rights", row.Checks[i].Rights);
            out += "}";
        }
        out += "]";
    }
    return out + "}";
}

std::string SummaryRowsJson(const std::vector<TSummaryRow>& rows) {
    std::string out;
    for (const auto& row : rows)
        out += SummaryRowJson(row) + "\n";
    return out;
}

} // namespace era
