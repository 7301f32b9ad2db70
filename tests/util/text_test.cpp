#include "util/text.h"

#include <array>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace era {

using namespace std::string_literals;

TEST(Text, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(UpperCase("abc\xC3\xA4z"), "ABC\xC3\xA4Z"); // the bytes of a UTF-8 umlaut stay
    EXPECT_EQ(LowerCase("ABC[]Z"), "abc[]z");
    EXPECT_TRUE(TextEquals("Admin.ACME", "admin.acme"));
    EXPECT_FALSE(TextEquals("\xC3\x84", "\xC3\xA4"));
    EXPECT_FALSE(TextEquals("abc", "abcd"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("ABC", "abc"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    // Folding goes to upper case, so "_" (after "Z") sorts behind the letters.
    EXPECT_GT(CompareText("_", "a"), 0);
}

TEST(Text, FormatBuildsLongTexts) {
    EXPECT_EQ(Format("%s %s / %s", "[RW]", ".admin", "CN"), "[RW] .admin / CN");
    const std::string big(5000, 'x');
    EXPECT_EQ(Format("<%s>", big.c_str()).size(), 5002u);
    EXPECT_EQ(Format("%s", ""), "");
}

TEST(Text, ChoosingAndPicking) {
    EXPECT_EQ(IfThenStr(true, "a", "b"), "a");
    EXPECT_EQ(IfThenStr(false, "a", "b"), "b");
    EXPECT_EQ(BoolToText(true), "TRUE");
    EXPECT_EQ(BoolToText(false), "FALSE");
    const TArrayOfString items{"zero", "One", "two"};
    EXPECT_EQ(PickText(1, items), "One");
    EXPECT_EQ(PickText(3, items), "n/a");
    EXPECT_EQ(PickText(-1, items), "n/a");
    EXPECT_EQ(PickText(0, TArrayOfString{}), "n/a");
}

TEST(Text, IndexOfTextHonoursCase) {
    const TArrayOfString items{"alpha", "Beta", "beta"};
    EXPECT_EQ(IndexOfText("beta", items, true), 2);
    EXPECT_EQ(IndexOfText("BETA", items, false), 1);
    EXPECT_EQ(IndexOfText("BETA", items, true), -1);
    EXPECT_EQ(IndexOfText("gamma", items, false), -1);
    EXPECT_TRUE(TextInList("ALPHA", items, false));
    EXPECT_FALSE(TextInList("ALPHA", items, true));
}

TEST(Text, PositionsCountFromOne) {
    EXPECT_EQ(PosText("b", "abc"), 2u);
    EXPECT_EQ(PosText("B", "abc"), 2u);
    EXPECT_EQ(PosText("", "abc"), 0u);
    EXPECT_EQ(PosText("x", "abc"), 0u);
    EXPECT_EQ(PosText("abcd", "abc"), 0u);
    EXPECT_EQ(PosCase("B", "abcB", true), 4u);
    EXPECT_EQ(PosCase("B", "abcB", false), 2u);
    EXPECT_EQ(PosCase("", "abc", true), 0u);
}

TEST(Text, IsAbbreviation) {
    struct Case {
        const char* word;
        const char* keyword;
        std::size_t minimum;
        bool expected;
    };
    const Case cases[] = {
        {"DEB", "DEBUG", 3, true},     {"DEB", "DEBUG", 5, false}, {"debug", "DEBUG", 5, true},
        {"DEBUGX", "DEBUG", 5, false}, {"", "DEBUG", 0, false},    {"AB", "A", 5, false},
        {"a", "A", 5, true}, // the minimum shrinks to the keyword's length
        {"DBG", "DEBUG", 1, false},    {"d", "DEBUG", 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAbbreviation(c.word, c.keyword, c.minimum), c.expected) << c.word << " " << c.keyword;
    }
}

TEST(Text, StrBeforeAndAfter) {
    const std::string line = "[RW] admin / x";
    EXPECT_EQ(StrBefore(line, "] ", true), "[RW");
    EXPECT_EQ(StrBefore(line, "] ", false), "[RW] ");
    EXPECT_EQ(StrAfter(line, "] ", true), "admin / x");
    EXPECT_EQ(StrAfter(line, "] ", false), "] admin / x");
    EXPECT_EQ(StrBefore(line, "#", true), line);
    EXPECT_EQ(StrAfter(line, "#", false), line);
    EXPECT_EQ(StrBefore(line, "", true), line);
    EXPECT_EQ(StrAfter(line, "", true), line);
    EXPECT_EQ(StrAfter("a|b|c", "|", true), "b|c"); // the first occurrence counts
}

TEST(Text, SplitFirstMayWriteIntoItsInput) {
    std::string left, right;
    EXPECT_TRUE(SplitFirst("key=value=more", "=", left, right));
    EXPECT_EQ(left, "key");
    EXPECT_EQ(right, "value=more");
    EXPECT_FALSE(SplitFirst("novalue", "=", left, right));
    EXPECT_EQ(left, "novalue");
    EXPECT_EQ(right, "");
    std::string text = "one two three";
    std::string word;
    SplitFirst(text, " ", word, text);
    EXPECT_EQ(word, "one");
    EXPECT_EQ(text, "two three");
    SplitFirst(text, " ", text, word);
    EXPECT_EQ(text, "two");
    EXPECT_EQ(word, "three");
}

TEST(Text, CountOccurrencesDoesNotOverlap) {
    EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2u);
    EXPECT_EQ(CountOccurrences("aaa", "aa"), 1u);
    EXPECT_EQ(CountOccurrences("a.b.c", "."), 2u);
    EXPECT_EQ(CountOccurrences("abc", ""), 0u);
    EXPECT_EQ(CountOccurrences("", "a"), 0u);
}

TEST(Text, SplitToArrayFillsTheSlotsItHas) {
    TArrayOfString three(3);
    SplitToArray("a#b#c", "#", three);
    EXPECT_EQ(three, (TArrayOfString{"a", "b", "c"}));

    TArrayOfString two(2);
    SplitToArray("a#b#c", "#", two); // text behind the last slot's delimiter is dropped
    EXPECT_EQ(two, (TArrayOfString{"a", "b"}));

    TArrayOfString four(4, "old");
    SplitToArray("a#b", "#", four); // slots that are not reached keep what they held
    EXPECT_EQ(four, (TArrayOfString{"a", "b", "old", "old"}));

    TArrayOfString none;
    SplitToArray("a#b", "#", none);
    EXPECT_TRUE(none.empty());

    EXPECT_EQ(SplitToArray("x||y|", "|"), (TArrayOfString{"x", "", "y", ""}));
    EXPECT_EQ(SplitToArray("plain", "|"), (TArrayOfString{"plain"}));
}

TEST(Text, LastCharOfEmptyTextIsNul) {
    EXPECT_EQ(LastChar("abc"), 'c');
    EXPECT_EQ(LastChar(""), '\0');
}

TEST(Text, RemovingAndCounting) {
    EXPECT_EQ(RemoveChars("$0A_1b 2", "$_ "), "0A1b2");
    EXPECT_EQ(RemoveCharsInSet("a-b-c", MakeCharSet("-")), "abc");
    EXPECT_EQ(CountCharsInSet("[R W ]", MakeCharSet(" ")), 2u);
    EXPECT_EQ(RemoveChars("a\0b"s, "\0"s), "ab"); // NUL is a character like any other
}

TEST(Text, Trimming) {
    EXPECT_EQ(TrimLeftChars("\"\"name\"", "\""), "name\"");
    EXPECT_EQ(TrimRightChars("\"name\"\"", "\""), "\"name");
    EXPECT_EQ(TrimRightChars("1 h, 2 min, ", ", "), "1 h, 2 min");
    EXPECT_EQ(TrimLeftSet("xxyx", MakeCharSet("xy")), "");
    EXPECT_EQ(TrimRightSet("abc", MakeCharSet("")), "abc");
    EXPECT_EQ(TrimBlanks("\t\r\n a b \r\n"), "a b");
    EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(Text, StrReplace) {
    EXPECT_EQ(StrReplace("a&b&c", "&", "&amp;", true, true), "a&amp;b&amp;c");
    EXPECT_EQ(StrReplace("a&b&c", "&", "&amp;", true, false), "a&amp;b&c");
    EXPECT_EQ(StrReplace("abc", "b", "b", true, true), "abc");
    EXPECT_EQ(StrReplace("abc", "", "x", true, true), "abc");
    EXPECT_EQ(StrReplace("abc", "x", "y", true, true), "abc");
    EXPECT_EQ(StrReplace("cn=a,CN=b", "cn=", "", false, true), "a,b");
    EXPECT_EQ(StrReplace("cn=a,CN=b", "cn=", "", true, true), "a,CN=b");
    EXPECT_EQ(StrReplace("aaa", "a", "aa", true, true), "aaaaaa");
    EXPECT_EQ(StrReplace("xAx", "a", "b", false, true), "xbx");
    std::string text = "1.2.3";
    ReplaceIn(text, ".", ",", true, true);
    EXPECT_EQ(text, "1,2,3");
    // Long texts are handled without deep recursion.
    std::string many(100000, '&');
    EXPECT_EQ(StrReplace(many, "&", "&amp;", true, true).size(), 500000u);
}

TEST(Text, QuotingJoiningPrefixing) {
    EXPECT_EQ(DoubleQuoted("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(DoubleQuoted(""), "\"\"");
    EXPECT_EQ(JoinWith("a", "b", ", "), "a, b");
    EXPECT_EQ(JoinWith("", "b", ", "), "b");
    EXPECT_EQ(JoinWith("a", "", ", "), "a");
    EXPECT_EQ(EnsurePrefix("txt", "."), ".txt");
    EXPECT_EQ(EnsurePrefix(".txt", "."), ".txt");
    EXPECT_EQ(EnsurePrefix("a.txt", "."), ".a.txt");
}

TEST(Text, BytesToHex) {
    const std::array<std::uint8_t, 3> bytes{0x0A, 0xFF, 0x00};
    EXPECT_EQ(BytesToHex(bytes, 3), "0AFF00");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
    EXPECT_EQ(BytesToHex(bytes, 1000), "0AFF00"); // never past the buffer
}

TEST(Text, HexToBytes) {
    struct Case {
        const char* text;
        std::size_t capacity;
        bool ok;
        std::size_t count; // count afterwards
        std::vector<std::uint8_t> stored;
    };
    const Case cases[] = {
        {"0x0A_1b", 8, true, 2, {0x0A, 0x1B}},
        {"$0A $1B", 8, true, 2, {0x0A, 0x1B}},
        {"0A1", 8, false, 8, {0x0A}},         // an odd digit count still fills bytes
        {"0X0A", 8, false, 8, {}},            // only a lower-case "0x" is a prefix
        {"0A1B2C", 2, true, 2, {0x0A, 0x1B}}, // the capacity bounds what is stored
        {"0AZZ1B", 8, false, 8, {0x0A}},      // a bad pair stops the reading
        {"", 8, false, 8, {}},
        {"0x", 8, false, 8, {}},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 8> buffer{};
        std::size_t count = c.capacity;
        EXPECT_EQ(HexToBytes(c.text, count, buffer), c.ok) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
        for (std::size_t i = 0; i < c.stored.size(); ++i)
            EXPECT_EQ(buffer[i], c.stored[i]) << c.text;
        for (std::size_t i = c.stored.size(); i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0) << c.text;
    }
    // A capacity larger than the buffer is not trusted.
    std::array<std::uint8_t, 1> small{};
    std::size_t count = 100;
    EXPECT_TRUE(HexToBytes("0102", count, small));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(small[0], 1);
}

TEST(Text, TextToIntDef) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"42", 42},
        {" 4 2 ", 42},
        {"-17", -17},
        {"+5", 5},
        {"", -1},
        {"   ", -1},
        {"12a", -1},
        {"-", -1},
        {"0x10", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", -1},
        {"99999999999999999999", -1},
        {"1\t2", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToIntDef(c.text, -1), c.expected) << c.text;
}

TEST(Text, CStringHelpersStayInsideTheirBuffers) {
    const char buffer[] = {'a', 'b', '\0', 'c'};
    EXPECT_EQ(CStrToStr(buffer, sizeof buffer), "ab");
    const char unterminated[] = {'x', 'y', 'z'};
    EXPECT_EQ(CStrToStr(unterminated, sizeof unterminated), "xyz");
    EXPECT_EQ(CStrToStr(nullptr, 10), "");
    EXPECT_STREQ(CStrOf(""), "");
    const std::string held = "abc";
    EXPECT_STREQ(CStrOf(held), "abc");
}

TEST(Text, TerminatedPtrAndTrailingNul) {
    std::string text = "abc";
    char* p = TerminatedPtr(text);
    EXPECT_EQ(text, "abc\0"s);
    EXPECT_EQ(p, text.data());
    TerminatedPtr(text);
    EXPECT_EQ(text, "abc\0"s); // already ends in NUL
    std::string empty;
    TerminatedPtr(empty);
    EXPECT_EQ(empty, "\0"s);
    std::string longText(255, 'x');
    TerminatedPtr(longText);
    EXPECT_EQ(longText.size(), 255u); // 255 characters or more stay unchanged

    EXPECT_EQ(WithTrailingNul(""), "\0"s);
    EXPECT_EQ(WithTrailingNul("ab"), "ab\0"s);
    EXPECT_EQ(WithTrailingNul("ab\0"s), "ab\0"s);
    std::string variable = "x";
    EnsureTrailingNul(variable);
    EXPECT_EQ(variable, "x\0"s);
}

TEST(Text, BufferToStrAndLines) {
    const std::string bytes = "a\0b\0"s;
    EXPECT_EQ(BufferToStr(AsBytes(bytes), 0, 4), "a");
    EXPECT_EQ(BufferToStr(AsBytes(bytes), 2, 4), "b");
    EXPECT_EQ(BufferToLines(AsBytes(bytes), 0, 4), "a\r\nb\r\n");
    EXPECT_EQ(BufferToLines(AsBytes("x\ty"), 0, 3), "x\r\ny");
    // Reads are bounded by the buffer, whatever offset and length say.
    EXPECT_EQ(BufferToStr(AsBytes("abc"), 1, 1000), "bc");
    EXPECT_EQ(BufferToStr(AsBytes("abc"), 3, 1), "");
    EXPECT_EQ(BufferToStr(AsBytes("abc"), 5000, 1), "");
    // At most 2303 bytes are taken.
    const std::string big(3000, 'q');
    EXPECT_EQ(BufferToStr(AsBytes(big), 0, 3000).size(), 2303u);
    EXPECT_EQ(BufferToLines(AsBytes(big), 0, 3000).size(), 2303u);
}

TEST(Text, CopyToBuffer) {
    std::array<char, 8> buffer;
    buffer.fill('#');
    EXPECT_EQ(CopyToBuffer("hello", 2, 3, true, buffer), 3u);
    EXPECT_EQ(std::string(buffer.data(), 5), "ell\0#"s);
    buffer.fill('#');
    EXPECT_EQ(CopyToBuffer("hello", 1, -1, false, buffer), 5u);
    EXPECT_EQ(std::string(buffer.data(), 6), "hello#");
    buffer.fill('#');
    EXPECT_EQ(CopyToBuffer("hello", 9, -1, true, buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
    buffer.fill('#');
    EXPECT_EQ(CopyToBuffer("a long text indeed", 1, -1, true, buffer), 7u); // NUL kept inside
    EXPECT_EQ(std::string(buffer.data(), 8), "a long \0"s);
    EXPECT_EQ(CopyToBuffer("abc", 1, -1, true, std::span<char>()), 0u);
}

TEST(Text, CopyToBufferTakesOnlyMinusOneAsToTheEnd) {
    struct TCase {
        std::ptrdiff_t Count;
        std::string Copied;
    };
    const TCase cases[] = {{-1, "ello"}, {-2, ""}, {-100, ""}, {PTRDIFF_MIN, ""}, {0, ""}, {2, "el"}, {9, "ello"}};
    for (const TCase& c : cases) {
        std::array<char, 8> buffer;
        buffer.fill('#');
        EXPECT_EQ(CopyToBuffer("hello", 2, c.Count, true, buffer), c.Copied.size()) << c.Count;
        EXPECT_EQ(std::string(buffer.data(), c.Copied.size() + 1), c.Copied + '\0') << c.Count;
    }
}

TEST(Text, SplitSeconds) {
    const TSplitSeconds parts = SplitSeconds(90061);
    EXPECT_EQ(parts.Days, 1);
    EXPECT_EQ(parts.Hours, 1);
    EXPECT_EQ(parts.Minutes, 1);
    EXPECT_EQ(parts.Seconds, 1);
    EXPECT_EQ(SplitSeconds(0xFFFFFFFFu).Days, 49710);
}

TEST(Text, SecondsToText) {
    struct Case {
        std::uint32_t seconds;
        const char* expected;
    };
    const Case cases[] = {
        {0, "0 sec"},
        {86400, "1 days"},
        {3725, "1 h, 2 min, 5 sec"},
        {3600, "1 h"},
        {59, "59 sec"},
        {90061, "1 days, 1 h, 1 min, 1 sec"},
        {86460, "1 days, 1 min"},
        {172800 + 7, "2 days, 7 sec"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SecondsToText(c.seconds), c.expected) << c.seconds;
}

TEST(Text, DateTimeValues) {
    EXPECT_DOUBLE_EQ(DateTimeFromUnix(0), 25569.0);
    EXPECT_DOUBLE_EQ(DateTimeFromUnix(43200), 25569.5);
    EXPECT_EQ(UnixFromDateTime(25569.5), 43200);
    EXPECT_EQ(UnixFromDateTime(DateTimeFromUnix(1234567890)), 1234567890);
    EXPECT_EQ(UnixFromDateTime(NAN), 0);
}

TEST(Text, FormatDateTimeLetters) {
    // 2009-09-14 08:05:03.250, a Monday.
    const double value = DateTimeFromUnix(1252915503) + 0.25 / 86400;
    struct Case {
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {"yyyy-mm-dd hh:nn:ss", "2009-09-14 08:05:03"},
        {"YYYY-MM-DD HH:NN:SS", "2009-09-14 08:05:03"},
        {"yy m d h n s", "09 9 14 8 5 3"},
        {"zzz", "250"},
        {"'at' hh\"h\"", "at 08h"},
        {"dd.mm.yyyy", "14.09.2009"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, value), c.expected) << c.pattern;
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", 0.0), "1899-12-30");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", 36526.75), "2000-01-01 18:00");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", 2.0), "1900-01-01");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", 60.0), "1900-02-28"); // no 1900-02-29
    // A value a hair below midnight rounds to the next day, not to second 60.
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", 36526.0 - 1e-10), "2000-01-01 00:00:00");
}

TEST(Text, FormatDateTimeUsesTheLocaleNotation) {
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    const double value = DateTimeFromUnix(1252915503); // 2009-09-14 08:05:03
    EXPECT_EQ(FormatDateTime("ddddd t", value), "09/14/09 08:05");
    EXPECT_EQ(FormatDateTime("tt", value), "08:05:03");
    EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", value), "Mon Monday Sep September");
    EXPECT_EQ(FormatDateTime("c", value), "09/14/09 08:05:03");
    EXPECT_EQ(FormatDateTime("c", std::floor(value)), "09/14/09"); // no time at midnight
    std::setlocale(LC_TIME, saved.c_str());
}

TEST(Text, NowStampHasTheFixedShape) {
    const std::string stamp = NowStamp();
    ASSERT_EQ(stamp.size(), 19u);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        if (i == 4 || i == 7)
            EXPECT_EQ(stamp[i], '-');
        else if (i == 10)
            EXPECT_EQ(stamp[i], ' ');
        else if (i == 13 || i == 16)
            EXPECT_EQ(stamp[i], ':');
        else
            EXPECT_TRUE(stamp[i] >= '0' && stamp[i] <= '9') << stamp;
    }
    // The local clock the stamp reads agrees with the C library's local time.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(NowText("yyyy"), std::to_string(local.tm_year + 1900));
}

TEST(Text, EscapeControlsKeepsLinesAndColumnsWhole) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain .admin.acme", "plain .admin.acme"},
        {"a\nEffective Trustee:\tUser", "a\\nEffective Trustee:\\tUser"},
        {"cr\r", "cr\\r"},
        {"red\x1b[31m", "red\\x1b[31m"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b", "csi\\xc2\\x9b"},           // U+009B, a one-byte CSI to some terminals
        {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},   // letters beyond ASCII stay
        {"F:\\PUBLIC\\DATA", "F:\\PUBLIC\\DATA"},       // backslashes that start no escape stay
        {"\\\\FS1\\SYS", "\\\\FS1\\SYS"},
        {"\\new", "\\x5cnew"},                        // a backslash that would read as an escape
        {"\\x41", "\\x5cx41"},
        {"\\xg", "\\xg"},
        {"end\\", "end\\"},
        {"\\\n", "\\\\n"},                            // a backslash, then an escaped line feed
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(EscapeControls(text), shown) << text;
        EXPECT_EQ(EscapeControls(text).find_first_of("\n\r\t\x1b"), std::string::npos);
        // What is shown reads back exactly.
        EXPECT_EQ(UnescapeControls(shown), text) << shown;
    }
}

TEST(Text, Utf8SequenceLengthTakesOnlyWellFormedSequences) {
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},           {"a", 1},          {"\xc3\xa9", 2},     {"\xe2\x82\xac", 3}, {"\xf0\x9f\x98\x80", 4},
        {"\xc3", 0},       {"\xe2\x82", 0},   {"\xc0\xaf", 0},     {"\xe0\x80\x80", 0}, // cut, overlong
        {"\xed\xa0\x80", 0}, {"\xf4\x90\x80\x80", 0}, {"\x80", 0}, {"\xff", 0},        // surrogate, too high, stray
    };
    for (const auto& [text, length] : cases) EXPECT_EQ(Utf8SequenceLength(text), length) << text.size();
}

} // namespace era
