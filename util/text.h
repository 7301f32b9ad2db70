#pragma once

// Small text and value functions that every part of era leans on. Text is UTF-8 held by value;
// positions count bytes from 1 and 0 means "not found"; case-insensitive comparison folds only
// the ASCII letters a-z onto A-Z. None of these touches the file system or the screen.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace era {

// A growable array of texts.
using TArrayOfString = std::vector<std::string>;
// A set of 8-bit characters.
using CharSet = std::bitset<256>;

// The set of the characters in the text.
CharSet MakeCharSet(std::string_view chars);
// The text with a-z turned into A-Z; nothing else changes.
std::string UpperCase(std::string_view text);
// The text with A-Z turned into a-z; nothing else changes.
std::string LowerCase(std::string_view text);
// <0, 0, >0 as a is ordered before, with or after b, comparing ASCII-upper-cased bytes.
int CompareText(std::string_view a, std::string_view b);
// printf-style formatting into a text.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// --- Choosing and comparing
// a when the flag is set, else b.
std::string IfThenStr(bool flag, std::string_view a, std::string_view b);
// "TRUE" or "FALSE".
std::string BoolToText(bool flag);
// The element at the index, "n/a" when the index is outside the array.
std::string PickText(std::ptrdiff_t index, std::span<const std::string> items);
// Index (from 0) of the first element equal to the text, -1 when none.
std::ptrdiff_t IndexOfText(std::string_view text, std::span<const std::string> items, bool caseSensitive);
// Whether an element equals the text.
bool TextInList(std::string_view text, std::span<const std::string> items, bool caseSensitive);
// Case-insensitive equality.
bool TextEquals(std::string_view a, std::string_view b);
// Position of the pattern in the text ignoring case; 0 when absent or when the pattern is empty.
std::size_t PosText(std::string_view pattern, std::string_view text);
// Position of the pattern: exact when caseSensitive is set, else as PosText.
std::size_t PosCase(std::string_view pattern, std::string_view text, bool caseSensitive);
// Whether the word (at least minimum long) starts the keyword, ignoring case.
bool IsAbbreviation(std::string_view word, std::string_view keyword, std::size_t minimum);

// --- Cutting and splitting (an empty delimiter is never found)
// The part before the first delimiter (plus the delimiter unless exclude); the whole text without one.
std::string StrBefore(std::string_view text, std::string_view delimiter, bool exclude);
// The part after the first delimiter (delimiter first unless exclude); the whole text without one.
std::string StrAfter(std::string_view text, std::string_view delimiter, bool exclude);
// Splits at the first delimiter; without one left is the text and right empty. The outputs may be
// the variable the text views. Returns whether the delimiter was found.
bool SplitFirst(std::string_view text, std::string_view delimiter, std::string& left, std::string& right);
// Number of non-overlapping occurrences, searched from the left; 0 for an empty delimiter.
std::size_t CountOccurrences(std::string_view text, std::string_view delimiter);
// Fills the slots of the array in order, one per delimited part; text beyond the last slot is dropped.
void SplitToArray(std::string_view text, std::string_view delimiter, TArrayOfString& items);
// All delimited parts: an array of CountOccurrences + 1 slots filled by SplitToArray.
TArrayOfString SplitToArray(std::string_view text, std::string_view delimiter);
// The last character; NUL for an empty text.
char LastChar(std::string_view text);

// --- Trimming and removing
// The text without any character that occurs in the list.
std::string RemoveChars(std::string_view text, std::string_view chars);
// The text without any character of the set.
std::string RemoveCharsInSet(std::string_view text, const CharSet& set);
// Number of characters of the text that are in the set.
std::size_t CountCharsInSet(std::string_view text, const CharSet& set);
// The text without its leading characters that occur in the list.
std::string TrimLeftChars(std::string_view text, std::string_view chars);
// The text without its trailing characters that occur in the list.
std::string TrimRightChars(std::string_view text, std::string_view chars);
// The text without its leading characters of the set.
std::string TrimLeftSet(std::string_view text, const CharSet& set);
// The text without its trailing characters of the set.
std::string TrimRightSet(std::string_view text, const CharSet& set);
// The text without leading and trailing tabs, line feeds, carriage returns and spaces.
std::string TrimBlanks(std::string_view text);

// --- Replacing, quoting, joining
// The first (or every) occurrence of oldText replaced; replaced text is never searched again.
std::string StrReplace(std::string_view text, std::string_view oldText, std::string_view newText,
                       bool caseSensitive, bool all);
// StrReplace stored back into the variable.
void ReplaceIn(std::string& text, std::string_view oldText, std::string_view newText, bool caseSensitive,
               bool all);
// The text in double quotes, inner double quotes doubled.
std::string DoubleQuoted(std::string_view text);
// The text fit to show: every control character (C0, DEL, and C1 as UTF-8) written as "\n",
// "\r", "\t" or "\xhh" (each byte in two lower-case hex digits), so that a name or value can neither
// break a line, add a column nor drive a terminal. A backslash stays itself unless what follows it
// would read as one of these escapes; then it is written "\x5c". So every backslash that does
// not start an escape is literal, NetWare paths keep their look, and the text reads back exactly.
std::string EscapeControls(std::string_view text);
// The text as it was before EscapeControls: "\n", "\r", "\t" and "\xhh" turned back into their bytes.
std::string UnescapeControls(std::string_view shown);
// The length of the well-formed UTF-8 sequence that starts the text (no overlong form, no
// surrogate, nothing above U+10FFFF); 0 when the bytes there are none, or the text is empty.
std::size_t Utf8SequenceLength(std::string_view text);
// Appends the UTF-8 bytes of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t code);
// a + separator + b when both are non-empty, else a + b.
std::string JoinWith(std::string_view a, std::string_view b, std::string_view separator);
// The text when it starts with the prefix, else prefix + text.
std::string EnsurePrefix(std::string_view text, std::string_view prefix);

// --- Numbers, bytes and buffers (a buffer is never read or written past its size)
// The bytes viewed by a text.
std::span<const std::uint8_t> AsBytes(std::string_view text);
// Two upper-case hex digits for each of the first count bytes (bounded by the buffer).
std::string BytesToHex(std::span<const std::uint8_t> buffer, std::uint16_t count);
// Reads hex digits ("0x" prefix, "$", "_" and blanks allowed) into the buffer; count is the
// capacity on entry and the number of bytes on success.
bool HexToBytes(std::string_view text, std::size_t& count, std::span<std::uint8_t> buffer);
// The decimal integer (optional sign, spaces ignored) the text holds, else the default.
int TextToIntDef(std::string_view text, int defaultValue);
// The characters up to the first NUL, or up to the buffer's end when it holds none.
std::string CStrToStr(const char* buffer, std::size_t size);
// The text's characters followed by a NUL.
const char* CStrOf(const std::string& text);
// Appends one NUL when the text is shorter than 255 and does not end in NUL; a writable pointer to it.
char* TerminatedPtr(std::string& text);
// The text ending in a NUL (one NUL for an empty text).
std::string WithTrailingNul(std::string_view text);
// WithTrailingNul in place.
void EnsureTrailingNul(std::string& text);
// Up to min(length, 2303) bytes from buffer + offset, cut at the first NUL.
std::string BufferToStr(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length);
// As BufferToStr with every NUL and tab of the bytes turned into CR LF.
std::string BufferToLines(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length);
// Copies count characters (-1 = to the end) from the 1-based start; with terminate a NUL follows.
// Bounded by the buffer (the NUL included); returns the number of characters copied.
std::size_t CopyToBuffer(std::string_view text, std::size_t start, std::ptrdiff_t count, bool terminate,
                         std::span<char> buffer);

// --- Durations and time
// A duration split into days, hours, minutes and seconds.
struct TSplitSeconds {
    std::uint16_t Days = 0;
    std::uint16_t Hours = 0;
    std::uint16_t Minutes = 0;
    std::uint16_t Seconds = 0;
};
// The seconds as days, hours (0-23), minutes (0-59) and seconds (0-59).
TSplitSeconds SplitSeconds(std::uint32_t seconds);
// "1 days, 2 h, 3 min, 4 sec" without the zero parts; "0 sec" for 0.
std::string SecondsToText(std::uint32_t seconds);
// A desktop date-time value (days since 1899-12-30, time of day as fraction) of the seconds since 1970.
double DateTimeFromUnix(std::int64_t seconds);
// Seconds since 1970 of a desktop date-time value (rounded to the second).
std::int64_t UnixFromDateTime(double dateTime);
// The current local date and time as a desktop date-time value.
double NowDateTime();
// The date-time value formatted by the pattern letters (see the .cpp for the list).
std::string FormatDateTime(std::string_view pattern, double dateTime);
// The current local date and time formatted by the pattern.
std::string NowText(std::string_view pattern);
// The current local date and time as "yyyy-mm-dd hh:nn:ss".
std::string NowStamp();

} // namespace era
