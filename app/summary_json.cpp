#include "app/summary_json.h"

#include "util/text.h"

#include <array>
#include <cstdint>

namespace era {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Windows-1252 at 0x80..0x9F; the unassigned bytes keep their own number.
constexpr std::array<std::uint16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the well-formed UTF-8 sequence at i (no overlong forms, no surrogates, nothing
// above U+10FFFF); 0 when the byte there starts none.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    return length;
}

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

std::string ShownToRaw(std::string_view shown) {
    std::string raw;
    raw.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '\\' && i + 1 < shown.size()) {
            const char next = shown[i + 1];
            if (next == 'n' || next == 'r' || next == 't') {
                raw += next == 'n' ? '\n' : next == 'r' ? '\r' : '\t';
                ++i;
                continue;
            }
            if (next == 'x' && i + 3 < shown.size() && HexDigit(shown[i + 2]) >= 0 &&
                HexDigit(shown[i + 3]) >= 0) {
                raw += static_cast<char>(HexDigit(shown[i + 2]) * 16 + HexDigit(shown[i + 3]));
                i += 3;
                continue;
            }
        }
        raw += shown[i];
    }
    return raw;
}

std::string ValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceAt(bytes, i);
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
    const std::string text = ValidUtf8(ShownToRaw(shown));
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
