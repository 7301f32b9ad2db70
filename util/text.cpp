#include "util/text.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <langinfo.h>

namespace era {

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

// Position (from 1) of pattern in text; equal() decides whether two characters match.
template <typename TEqual>
std::size_t Find(std::string_view pattern, std::string_view text, TEqual equal) {
    if (pattern.empty() || pattern.size() > text.size()) return 0;
    auto it = std::search(text.begin(), text.end(), pattern.begin(), pattern.end(), equal);
    return it == text.end() ? 0 : static_cast<std::size_t>(it - text.begin()) + 1;
}

std::size_t FindExact(std::string_view pattern, std::string_view text) {
    if (pattern.empty()) return 0;
    auto at = text.find(pattern);
    return at == std::string_view::npos ? 0 : at + 1;
}

} // namespace

CharSet MakeCharSet(std::string_view chars) {
    CharSet set;
    for (char c : chars)
        set.set(Byte(c));
    return set;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), Upper);
    return result;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), Lower);
    return result;
}

int CompareText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Byte(Upper(a[i])), y = Byte(Upper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string Format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    // Most texts are short: one pass into a buffer on the stack, a second only for a longer one.
    char buffer[256];
    const int size = std::vsnprintf(buffer, sizeof buffer, pattern, copy);
    va_end(copy);
    std::string result;
    if (size > 0 && static_cast<std::size_t>(size) < sizeof buffer) {
        result.assign(buffer, static_cast<std::size_t>(size));
    } else if (size > 0) {
        result.resize(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(result.data(), result.size(), pattern, args);
        result.resize(static_cast<std::size_t>(size));
    }
    va_end(args);
    return result;
}

// --- Choosing and comparing

std::string IfThenStr(bool flag, std::string_view a, std::string_view b) {
    return std::string(flag ? a : b);
}

std::string BoolToText(bool flag) {
    return flag ? "TRUE" : "FALSE";
}

std::string PickText(std::ptrdiff_t index, std::span<const std::string> items) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return "n/a";
    return items[static_cast<std::size_t>(index)];
}

std::ptrdiff_t IndexOfText(std::string_view text, std::span<const std::string> items, bool caseSensitive) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (caseSensitive ? items[i] == text : TextEquals(items[i], text))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

bool TextInList(std::string_view text, std::span<const std::string> items, bool caseSensitive) {
    return IndexOfText(text, items, caseSensitive) >= 0;
}

bool TextEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

std::size_t PosText(std::string_view pattern, std::string_view text) {
    return Find(pattern, text, [](char x, char y) { return Upper(x) == Upper(y); });
}

std::size_t PosCase(std::string_view pattern, std::string_view text, bool caseSensitive) {
    return caseSensitive ? FindExact(pattern, text) : PosText(pattern, text);
}

bool IsAbbreviation(std::string_view word, std::string_view keyword, std::size_t minimum) {
    minimum = std::min(minimum, keyword.size());
    if (word.empty() || word.size() < minimum || word.size() > keyword.size()) return false;
    return CompareText(word, keyword.substr(0, word.size())) == 0;
}

// --- Cutting and splitting

std::string StrBefore(std::string_view text, std::string_view delimiter, bool exclude) {
    const std::size_t at = FindExact(delimiter, text);
    if (at == 0) return std::string(text);
    return std::string(text.substr(0, at - 1 + (exclude ? 0 : delimiter.size())));
}

std::string StrAfter(std::string_view text, std::string_view delimiter, bool exclude) {
    const std::size_t at = FindExact(delimiter, text);
    if (at == 0) return std::string(text);
    return std::string(text.substr(at - 1 + (exclude ? delimiter.size() : 0)));
}

bool SplitFirst(std::string_view text, std::string_view delimiter, std::string& left, std::string& right) {
    // Both parts are made before either output is written: the text may view one of them.
    const std::size_t at = FindExact(delimiter, text);
    std::string before(at == 0 ? text : text.substr(0, at - 1));
    std::string after(at == 0 ? std::string_view() : text.substr(at - 1 + delimiter.size()));
    left = std::move(before);
    right = std::move(after);
    return at != 0;
}

std::size_t CountOccurrences(std::string_view text, std::string_view delimiter) {
    if (delimiter.empty()) return 0;
    std::size_t count = 0;
    for (auto at = text.find(delimiter); at != std::string_view::npos; at = text.find(delimiter, at)) {
        ++count;
        at += delimiter.size();
    }
    return count;
}

void SplitToArray(std::string_view text, std::string_view delimiter, TArrayOfString& items) {
    std::string rest(text);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!SplitFirst(rest, delimiter, items[i], rest)) return;
    }
}

TArrayOfString SplitToArray(std::string_view text, std::string_view delimiter) {
    TArrayOfString items(CountOccurrences(text, delimiter) + 1);
    SplitToArray(text, delimiter, items);
    return items;
}

char LastChar(std::string_view text) {
    return text.empty() ? '\0' : text.back();
}

// --- Trimming and removing

std::string RemoveChars(std::string_view text, std::string_view chars) {
    return RemoveCharsInSet(text, MakeCharSet(chars));
}

std::string RemoveCharsInSet(std::string_view text, const CharSet& set) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (!set.test(Byte(c))) result += c;
    }
    return result;
}

std::size_t CountCharsInSet(std::string_view text, const CharSet& set) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [&](char c) { return set.test(Byte(c)); }));
}

std::string TrimLeftChars(std::string_view text, std::string_view chars) {
    return TrimLeftSet(text, MakeCharSet(chars));
}

std::string TrimRightChars(std::string_view text, std::string_view chars) {
    return TrimRightSet(text, MakeCharSet(chars));
}

std::string TrimLeftSet(std::string_view text, const CharSet& set) {
    std::size_t i = 0;
    while (i < text.size() && set.test(Byte(text[i])))
        ++i;
    return std::string(text.substr(i));
}

std::string TrimRightSet(std::string_view text, const CharSet& set) {
    std::size_t n = text.size();
    while (n > 0 && set.test(Byte(text[n - 1])))
        --n;
    return std::string(text.substr(0, n));
}

std::string TrimBlanks(std::string_view text) {
    static const CharSet blanks = MakeCharSet("\t\n\r ");
    return TrimRightSet(TrimLeftSet(text, blanks), blanks);
}

// --- Replacing, quoting, joining

std::string StrReplace(std::string_view text, std::string_view oldText, std::string_view newText,
                       bool caseSensitive, bool all) {
    if (oldText.empty() || oldText == newText) return std::string(text);
    // Matching resumes behind each replaced occurrence, so the inserted text is never searched.
    std::string result;
    std::string_view rest = text;
    for (;;) {
        const std::size_t at = PosCase(oldText, rest, caseSensitive);
        if (at == 0) break;
        result.append(rest.substr(0, at - 1)).append(newText);
        rest = rest.substr(at - 1 + oldText.size());
        if (!all) break;
    }
    result.append(rest);
    return result;
}

void ReplaceIn(std::string& text, std::string_view oldText, std::string_view newText, bool caseSensitive,
               bool all) {
    text = StrReplace(text, oldText, newText, caseSensitive, all);
}

std::string DoubleQuoted(std::string_view text) {
    return "\"" + StrReplace(text, "\"", "\"\"", true, true) + "\"";
}

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether the text at the position would read as an escape if a backslash stood before it.
bool ReadsAsEscape(std::string_view text, std::size_t at) {
    if (at >= text.size()) return false;
    const char c = text[at];
    if (c == 'n' || c == 'r' || c == 't') return true;
    return c == 'x' && at + 2 < text.size() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2]);
}

void AppendHexEscape(std::string& out, unsigned char byte) {
    static const char Digits[] = "0123456789abcdef";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0x0F];
}

} // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, byte);
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: terminals take some of them (CSI) as commands.
            AppendHexEscape(out, byte);
            AppendHexEscape(out, static_cast<unsigned char>(text[++i]));
        } else if (byte == '\\' && ReadsAsEscape(text, i + 1)) {
            AppendHexEscape(out, byte);
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string JoinWith(std::string_view a, std::string_view b, std::string_view separator) {
    std::string result(a);
    if (!a.empty() && !b.empty()) result.append(separator);
    result.append(b);
    return result;
}

std::string EnsurePrefix(std::string_view text, std::string_view prefix) {
    if (FindExact(prefix, text) == 1) return std::string(text);
    return std::string(prefix) + std::string(text);
}

// --- Numbers, bytes and buffers

std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string BytesToHex(std::span<const std::uint8_t> buffer, std::uint16_t count) {
    static const char digits[] = "0123456789ABCDEF";
    const std::size_t n = std::min<std::size_t>(count, buffer.size());
    std::string result;
    result.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        result += digits[buffer[i] >> 4];
        result += digits[buffer[i] & 0x0F];
    }
    return result;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

std::string UnescapeControls(std::string_view shown) {
    std::string raw;
    raw.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\' || !ReadsAsEscape(shown, i + 1)) {
            raw += shown[i];
            continue;
        }
        const char next = shown[++i];
        if (next == 'x') {
            raw += static_cast<char>(HexDigit(shown[i + 1]) * 16 + HexDigit(shown[i + 2]));
            i += 2;
        } else {
            raw += next == 'n' ? '\n' : next == 'r' ? '\r' : '\t';
        }
    }
    return raw;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
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
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

bool HexToBytes(std::string_view text, std::size_t& count, std::span<std::uint8_t> buffer) {
    if (text.substr(0, 2) == "0x") text.remove_prefix(2);
    const std::string digits = RemoveChars(text, "$_ ");
    bool ok = !digits.empty() && digits.size() % 2 == 0;
    // The stated capacity is trusted only as far as the buffer really reaches.
    const std::size_t n = std::min({count, buffer.size(), digits.size() / 2});
    for (std::size_t i = 0; i < n; ++i) {
        const int high = HexDigit(digits[2 * i]), low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0) {
            ok = false;
            break;
        }
        buffer[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    if (ok) count = n;
    return ok;
}

int TextToIntDef(std::string_view text, int defaultValue) {
    const std::string rest = RemoveChars(text, " ");
    std::size_t i = 0;
    bool negative = false;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) negative = rest[i++] == '-';
    if (i == rest.size()) return defaultValue;
    std::int64_t value = 0;
    for (; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9') return defaultValue;
        value = value * 10 + (rest[i] - '0');
        if (value > 2147483648LL) return defaultValue;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return defaultValue;
    return static_cast<int>(value);
}

std::string CStrToStr(const char* buffer, std::size_t size) {
    if (buffer == nullptr) return {};
    const char* end = std::find(buffer, buffer + size, '\0');
    return std::string(buffer, end);
}

const char* CStrOf(const std::string& text) {
    return text.c_str();
}

char* TerminatedPtr(std::string& text) {
    if (text.size() < 255 && (text.empty() || text.back() != '\0')) text += '\0';
    return text.data();
}

std::string WithTrailingNul(std::string_view text) {
    std::string result(text);
    EnsureTrailingNul(result);
    return result;
}

void EnsureTrailingNul(std::string& text) {
    if (text.empty() || text.back() != '\0') text += '\0';
}

namespace {
// The bytes that the 2304-byte scratch copy of the buffers below would hold before its first NUL.
constexpr std::size_t ScratchCopyLimit = 2303;

std::string_view ScratchCopy(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length) {
    if (offset >= buffer.size()) return {};
    const std::size_t n = std::min({length, ScratchCopyLimit, buffer.size() - offset});
    return {reinterpret_cast<const char*>(buffer.data() + offset), n};
}
} // namespace

std::string BufferToStr(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length) {
    const std::string_view bytes = ScratchCopy(buffer, offset, length);
    return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string BufferToLines(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length) {
    std::string result;
    for (char c : ScratchCopy(buffer, offset, length)) {
        if (c == '\0' || c == '\t')
            result += "\r\n";
        else
            result += c;
    }
    return result;
}

std::size_t CopyToBuffer(std::string_view text, std::size_t start, std::ptrdiff_t count, bool terminate,
                         std::span<char> buffer) {
    if (start < 1) start = 1;
    std::size_t n = start > text.size() ? 0 : text.size() - start + 1;
    // Only -1 means "to the end"; any other negative count copies nothing.
    if (count != -1) n = count < 0 ? 0 : std::min(n, static_cast<std::size_t>(count));
    const std::size_t room = terminate ? (buffer.empty() ? 0 : buffer.size() - 1) : buffer.size();
    n = std::min(n, room);
    if (n > 0) std::copy_n(text.data() + start - 1, n, buffer.data());
    if (terminate && !buffer.empty()) buffer[n] = '\0';
    return n;
}

// --- Durations and time

TSplitSeconds SplitSeconds(std::uint32_t seconds) {
    TSplitSeconds parts;
    parts.Seconds = static_cast<std::uint16_t>(seconds % 60);
    parts.Minutes = static_cast<std::uint16_t>(seconds / 60 % 60);
    parts.Hours = static_cast<std::uint16_t>(seconds / 3600 % 24);
    parts.Days = static_cast<std::uint16_t>(seconds / 86400);
    return parts;
}

std::string SecondsToText(std::uint32_t seconds) {
    if (seconds == 0) return "0 sec";
    const TSplitSeconds parts = SplitSeconds(seconds);
    std::string text;
    if (parts.Days != 0) text += Format("%d days, ", parts.Days);
    if (parts.Hours != 0) text += Format("%d h, ", parts.Hours);
    if (parts.Minutes != 0) text += Format("%d min, ", parts.Minutes);
    if (parts.Seconds != 0) text += Format("%d sec", parts.Seconds);
    return TrimRightChars(text, ", ");
}

namespace {

constexpr double UnixEpochDateTime = 25569.0; // 1970-01-01 in days since 1899-12-30
constexpr std::int64_t MillisecondsPerDay = 86400000;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

struct TDateTimeParts {
    std::tm Tm{};
    int Millisecond = 0;
};

// The calendar fields of a date-time value. As on the desktop, the fraction of a negative value
// is the time of day counted forward from midnight of the whole-day part.
TDateTimeParts Decode(double dateTime) {
    TDateTimeParts parts;
    if (!std::isfinite(dateTime) || std::fabs(dateTime) > 1e8) dateTime = 0;
    std::int64_t days = static_cast<std::int64_t>(std::trunc(dateTime));
    std::int64_t ms = std::llround(std::fabs(dateTime - static_cast<double>(days)) * MillisecondsPerDay);
    if (ms >= MillisecondsPerDay) {
        ms -= MillisecondsPerDay;
        days += dateTime < 0 ? -1 : 1;
    }
    const std::int64_t unixDays = days - static_cast<std::int64_t>(UnixEpochDateTime);
    std::int64_t year;
    unsigned month, day;
    CivilFromDays(unixDays, year, month, day);
    parts.Tm.tm_year = static_cast<int>(year - 1900);
    parts.Tm.tm_mon = static_cast<int>(month) - 1;
    parts.Tm.tm_mday = static_cast<int>(day);
    parts.Tm.tm_hour = static_cast<int>(ms / 3600000);
    parts.Tm.tm_min = static_cast<int>(ms / 60000 % 60);
    parts.Tm.tm_sec = static_cast<int>(ms / 1000 % 60);
    parts.Tm.tm_wday = static_cast<int>(((unixDays % 7) + 11) % 7); // 1970-01-01 was a Thursday
    parts.Tm.tm_yday = static_cast<int>(unixDays - DaysFromCivil(year, 1, 1));
    parts.Tm.tm_isdst = -1;
    parts.Millisecond = static_cast<int>(ms % 1000);
    return parts;
}

std::string StrFTime(const char* pattern, const std::tm& tm) {
    char buffer[256];
    const std::size_t n = std::strftime(buffer, sizeof buffer, pattern, &tm);
    return std::string(buffer, n);
}

// The locale's time notation without its seconds: the desktop's "short time".
std::string ShortTimePattern() {
    std::string pattern = nl_langinfo(T_FMT);
    ReplaceIn(pattern, "%T", "%H:%M:%S", true, true);
    if (PosText("%r", pattern) != 0) {
        const std::string ampm = nl_langinfo(T_FMT_AMPM);
        ReplaceIn(pattern, "%r", ampm.empty() ? "%I:%M:%S %p" : ampm, true, true);
    }
    const auto at = pattern.find("%S");
    if (at != std::string::npos) {
        const bool separated = at > 0 && pattern[at - 1] != '%' && (at < 2 || pattern[at - 2] != '%');
        pattern.erase(separated ? at - 1 : at, separated ? 3 : 2);
    }
    return pattern;
}

std::string TwoDigits(int value) {
    return Format("%02d", value);
}

} // namespace

double DateTimeFromUnix(std::int64_t seconds) {
    return static_cast<double>(seconds) / 86400.0 + UnixEpochDateTime;
}

std::int64_t UnixFromDateTime(double dateTime) {
    if (!std::isfinite(dateTime)) return 0;
    return std::llround((dateTime - UnixEpochDateTime) * 86400.0);
}

double NowDateTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    const std::int64_t days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                            static_cast<unsigned>(local.tm_mday));
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                           static_cast<double>(now.tv_nsec / 1000000) / 1000.0;
    return static_cast<double>(days) + UnixEpochDateTime + seconds / 86400.0;
}

// Pattern letters, in either letter case: yy / yyyy year; m, mm month, mmm, mmmm its name;
// d, dd day, ddd, dddd weekday name, ddddd the locale's short date; h, hh hour (0-23); n, nn minute;
// s, ss second; z, zzz millisecond; t the locale's short time, tt its long time; c short date and,
// unless the time is exactly midnight, long time. Text in single or double quotes is copied as it
// stands, and so is every other character.
std::string FormatDateTime(std::string_view pattern, double dateTime) {
    const TDateTimeParts parts = Decode(dateTime);
    const std::tm& tm = parts.Tm;
    std::string result;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = pattern.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            result.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        const char letter = Lower(c);
        std::size_t run = 1;
        while (i + run < pattern.size() && Lower(pattern[i + run]) == letter)
            ++run;
        std::size_t used = run;
        switch (letter) {
        case 'y':
            result += run <= 2 ? TwoDigits((tm.tm_year + 1900) % 100) : Format("%04d", tm.tm_year + 1900);
            break;
        case 'm':
            used = std::min<std::size_t>(run, 4);
            if (used == 1)
                result += std::to_string(tm.tm_mon + 1);
            else if (used == 2)
                result += TwoDigits(tm.tm_mon + 1);
            else
                result += StrFTime(used == 3 ? "%b" : "%B", tm);
            break;
        case 'd':
            used = std::min<std::size_t>(run, 5);
            if (used == 1)
                result += std::to_string(tm.tm_mday);
            else if (used == 2)
                result += TwoDigits(tm.tm_mday);
            else
                result += StrFTime(used == 3 ? "%a" : used == 4 ? "%A" : "%x", tm);
            break;
        case 'h':
            used = std::min<std::size_t>(run, 2);
            result += used == 1 ? std::to_string(tm.tm_hour) : TwoDigits(tm.tm_hour);
            break;
        case 'n':
            used = std::min<std::size_t>(run, 2);
            result += used == 1 ? std::to_string(tm.tm_min) : TwoDigits(tm.tm_min);
            break;
        case 's':
            used = std::min<std::size_t>(run, 2);
            result += used == 1 ? std::to_string(tm.tm_sec) : TwoDigits(tm.tm_sec);
            break;
        case 'z':
            used = run >= 3 ? 3 : 1;
            result += used == 1 ? std::to_string(parts.Millisecond) : Format("%03d", parts.Millisecond);
            break;
        case 't':
            used = std::min<std::size_t>(run, 2);
            result += StrFTime(used == 1 ? ShortTimePattern().c_str() : "%X", tm);
            break;
        case 'c':
            used = 1;
            result += StrFTime("%x", tm);
            if (tm.tm_hour != 0 || tm.tm_min != 0 || tm.tm_sec != 0 || parts.Millisecond != 0)
                result += " " + StrFTime("%X", tm);
            break;
        default:
            used = 1;
            result += c;
            break;
        }
        i += used;
    }
    return result;
}

std::string NowText(std::string_view pattern) {
    return FormatDateTime(pattern, NowDateTime());
}

std::string NowStamp() {
    return NowText("yyyy-mm-dd hh:nn:ss");
}

} // namespace era
