#include "byte_builder.h"
#include "directory/value_format.h"
#include "util/text.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace era {

using testing::CentralEurope;
using testing::TByteBuilder;
using testing::TExactBytes;
using testing::TScopedTimeZone;
using testing::Utc;

namespace {

constexpr uint32_t Jan15Noon = 1579089600; // 2020-01-15 12:00:00 UTC
constexpr uint32_t Jul15Noon = 1594814400; // 2020-07-15 12:00:00 UTC
constexpr uint32_t Jan15Midnight = 1579046400;

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> lines;
    for (const TStringItem& item : list.Items())
        lines.push_back(item.Text);
    return lines;
}

std::vector<std::string> Format(const TAttrValue& value, uint32_t syntax, const char* attrName = "Attr",
                                uint32_t position = 1) {
    TStringList list;
    std::string failure;
    EXPECT_TRUE(U_FormatValue(attrName, list, value, syntax, EncodedValueSize(value), position, failure))
        << "syntax " << syntax << ": " << failure;
    return Lines(list);
}

} // namespace

// --- Bounded readers

TEST(ValueBytes, FieldsOutsideTheValueReadAsZeroOrEmpty) {
    const TExactBytes bytes({0x01, 0x02, 0x03, 0x04, 0x05, 'A', 'B'});
    EXPECT_EQ(Word32At(bytes.Span(), 0), 0x04030201u);
    EXPECT_EQ(Word32At(bytes.Span(), 3), 0x42410504u);
    EXPECT_EQ(Word32At(bytes.Span(), 4), 0u); // only three bytes left
    EXPECT_EQ(Word32At(bytes.Span(), 100), 0u);
    EXPECT_EQ(Word16At(bytes.Span(), 5), 0x4241u);
    EXPECT_EQ(Word16At(bytes.Span(), 6), 0u);
    EXPECT_EQ(ByteAt(bytes.Span(), 6), 'B');
    EXPECT_EQ(ByteAt(bytes.Span(), 7), 0u);
    EXPECT_EQ(TextAt(bytes.Span(), 5), "AB"); // no terminator: up to the end
    EXPECT_EQ(TextAt(bytes.Span(), 7), "");
    EXPECT_EQ(HexAt(bytes.Span(), 4, 10), "054142");
    EXPECT_EQ(HexAt(bytes.Span(), 9, 1), "");
    const TExactBytes empty({});
    EXPECT_EQ(Word32At(empty.Span(), 0), 0u);
    EXPECT_EQ(WideTextAt(empty.Span(), 0), "");
    EXPECT_EQ(HexOf(empty.Span()), "");
}

TEST(ValueBytes, TextStopsAt2303Bytes) {
    const TExactBytes bytes(std::vector<uint8_t>(3000, 'a'));
    EXPECT_EQ(TextAt(bytes.Span(), 0), std::string(2303, 'a'));
}

TEST(ValueBytes, WideTextBecomesUtf8) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::string expected;
    };
    const Case cases[] = {
        {{'H', 0, 'i', 0, 0, 0, 'X', 0}, "Hi"},                   // stops at the zero unit
        {{'H', 0, 'i', 0}, "Hi"},                                 // no terminator: the value's end
        {{'H', 0, 'i'}, "H"},                                     // an odd last byte is dropped
        {{0xE9, 0x00, 0xAC, 0x20, 0, 0}, "\xC3\xA9\xE2\x82\xAC"}, // é €
        {{0x3D, 0xD8, 0x00, 0xDE, 0, 0}, "\xF0\x9F\x98\x80"},     // a surrogate pair
        {{0x3D, 0xD8, 'A', 0},
         "\xEF\xBF\xBD"
         "A"},                          // a high surrogate alone
        {{0x3D, 0xD8}, "\xEF\xBF\xBD"}, // ... at the very end
        {{0x00, 0xDE, 'A', 0},
         "\xEF\xBF\xBD"
         "A"}, // a low surrogate alone
        {{}, ""},
    };
    for (const Case& c : cases) {
        const TExactBytes bytes(c.bytes);
        EXPECT_EQ(WideTextAt(bytes.Span(), 0), c.expected) << HexOf(c.bytes);
    }
}

TEST(ValueBytes, HexOfLargeValuesIsComplete) {
    std::vector<uint8_t> big(70000, 0xAB);
    big.back() = 0x01;
    const std::string hex = HexOf(big);
    ASSERT_EQ(hex.size(), 140000u);
    EXPECT_EQ(hex.substr(hex.size() - 4), "AB01");
}

// --- Values by syntax

TEST(FormatValue, EverySyntaxHasItsNotation) {
    TScopedTimeZone zone(Utc);
    struct Case {
        uint32_t syntax;
        TAttrValue value;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {SynUnknown, TUnknownValue{"Foo", 3, {0xAB, 0x01}}, {"Foo [3] AB01"}},
        {SynDistName, TTextValue{"admin.acme"}, {"admin.acme"}},
        {SynCeString, TTextValue{"Case"}, {"Case"}},
        {SynCiString, TTextValue{"Ann"}, {"Ann"}},
        {SynPrString, TTextValue{"ABC 123"}, {"ABC 123"}},
        {SynNuString, TTextValue{"123"}, {"123"}},
        {SynCiList, TCaseIgnoreList{{"one", "two", ""}}, {"one", "two", ""}},
        {SynCiList, TCaseIgnoreList{}, {}},
        {SynBoolean, TBooleanValue{1}, {"TRUE"}},
        {SynBoolean, TBooleanValue{0x80}, {"TRUE"}},
        {SynBoolean, TBooleanValue{0}, {"FALSE"}},
        {SynInteger, TIntegerValue{-5}, {"-5"}},
        {SynInteger, TIntegerValue{2147483647}, {"2147483647"}},
        {SynOctetString, TOctetString{{0x01, 0xFE}}, {"01FE"}},
        {SynTelNumber, TTextValue{"555-1234"}, {"555-1234"}},
        {SynFaxNumber, TFaxNumber{"555-9", 3, {1, 2}}, {"555-9"}},
        {SynNetAddress, TNetAddress{9, {0x02, 0x0C, 0x0A, 0x00, 0x00, 0x01}}, {"(9) 10.0.0.1:524"}},
        {SynOctetList, TOctetList{{{0x01}, {}, {0xFF, 0x00}}}, {"01", "", "FF00"}},
        {SynEMailAddress, TEMailAddress{1, "ann@acme.example"}, {"ann@acme.example"}},
        {SynPath, TPathValue{4, "SYS", "PUBLIC/X"}, {"(4) SYS:PUBLIC/X"}},
        {SynReplicaPointer, TReplicaPointer{"FS1.acme", 1, 3, {}}, {"FS1.acme [Secondary] [Nr: 3]"}},
        {SynReplicaPointer,
         TReplicaPointer{"FS1.acme", 0xFFFFFFFF, 0xFFFFFFFE, {}},
         {"FS1.acme [Unknown (Type: -1)] [Nr: -2]"}},
        {SynObjectACL,
         TObjectACL{"[Entry Rights]", "admin.acme", 0x1F},
         {"[BCDRAI] admin.acme / [Entry Rights]"}},
        {SynObjectACL,
         TObjectACL{"Telephone Number", "[Public]", 0x03},
         {"[CR    ] [Public] / Telephone Number"}},
        {SynPoAddress,
         TPostalAddress{{"Ann", "", "1 Main St", "", "", "Springfield"}},
         {"Ann", "", "1 Main St", "", "", "Springfield"}},
        {SynTimeStamp, TTimeStamp{Jan15Noon, 1, 2}, {"01/15/20 12:00:00"}},
        {SynClassName, TTextValue{"User"}, {"User"}},
        {SynStream, TTextValue{"stream text"}, {"stream text"}},
        {SynCounter, TIntegerValue{7}, {"7"}},
        {SynBackLink, TBackLink{42, "FS1.acme"}, {"FS1.acme"}},
        {SynTime, TTimeStamp{Jan15Midnight, 0, 0}, {"01/15/20"}},
        {SynTypedName, TTypedName{"job.acme", 5, 60}, {"job.acme#5#60"}},
        {SynHold, THold{"ann.acme", 100}, {"ann.acme (100)"}},
        {SynInterval, TIntegerValue{3661}, {"1 h, 1 min, 1 sec"}},
        {SynInterval, TIntegerValue{0}, {"0 sec"}},
        {28, TRawValue{{0xDE, 0xAD}}, {"[1C] DEAD"}},
        {255, TRawValue{{}}, {"[FF] "}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(c.value, c.syntax), c.expected) << "syntax " << c.syntax;
}

TEST(FormatValue, RawValuesShowTheirSizeAtMost) {
    TStringList list;
    std::string failure;
    ASSERT_TRUE(U_FormatValue("X", list, TRawValue{{0xDE, 0xAD, 0xBE}}, 30, 2, 1, failure));
    ASSERT_TRUE(U_FormatValue("X", list, TRawValue{{0xDE}}, 30, 500, 1, failure));
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"[1E] DEAD", "[1E] DE"}));
}

TEST(FormatValue, OctetValuesAreDecodedByTheAttributeName) {
    EXPECT_EQ(Format(TOctetString{{'S', 'Y', 'S', 0, 'x'}}, SynOctetString, "App:Path"),
              std::vector<std::string>{"SYS"});
    EXPECT_EQ(Format(TOctetList{{{'a', 0}, {'b'}}}, SynOctetList, "app:PATH"),
              (std::vector<std::string>{"a", "b"}));
}

TEST(FormatValue, LinesAreAppended) {
    TStringList list;
    list.Add("before");
    std::string failure;
    ASSERT_TRUE(U_FormatValue("A", list, TCaseIgnoreList{{"x", "y"}}, SynCiList, 12, 1, failure));
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"before", "x", "y"}));
}

TEST(FormatValue, AValueOfTheWrongFormIsABadValueNotACrash) {
    for (uint32_t syntax = 0; syntax <= 32; ++syntax) {
        // Raw bytes belong to syntaxes above 27 only; text to none of those.
        const TAttrValue wrong =
            syntax > SynInterval ? TAttrValue{TTextValue{"x"}} : TAttrValue{TRawValue{{1}}};
        TStringList list;
        list.Add("kept");
        std::string failure;
        EXPECT_FALSE(U_FormatValue("Attr", list, wrong, syntax, 5, 1, failure)) << syntax;
        EXPECT_EQ(failure, "Invalid value for syntax " + std::to_string(syntax));
        EXPECT_EQ(Lines(list), std::vector<std::string>{"kept"}) << syntax;
    }
    // Near misses: the alternative of a neighbouring syntax.
    TStringList list;
    std::string failure;
    EXPECT_FALSE(U_FormatValue("A", list, TIntegerValue{1}, SynTimeStamp, 4, 1, failure));
    EXPECT_FALSE(U_FormatValue("A", list, TTextValue{"1"}, SynInteger, 4, 1, failure));
    EXPECT_FALSE(U_FormatValue("A", list, TOctetString{{1}}, SynOctetList, 4, 1, failure));
    EXPECT_EQ(list.Count(), 0);
}

TEST(FormatValue, TimeStampsShowLocalTime) {
    TScopedTimeZone zone(CentralEurope);
    EXPECT_EQ(Format(TTimeStamp{Jan15Noon, 0, 0}, SynTimeStamp),
              std::vector<std::string>{"01/15/20 13:00:00"});
    EXPECT_EQ(Format(TTimeStamp{Jul15Noon, 0, 0}, SynTime), std::vector<std::string>{"07/15/20 14:00:00"});
    // Local midnight leaves the time out.
    EXPECT_EQ(Format(TTimeStamp{Jan15Midnight - 3600, 0, 0}, SynTime), std::vector<std::string>{"01/15/20"});
}

// --- Small tables

TEST(ValueNames, ReplicaTypes) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "Master"},
        {1, "Secondary"},
        {2, "Read-Only"},
        {3, "Subordinate Reference"},
        {4, "Unknown (Type: 4)"},
        {5, "Unknown (Type: 5)"},
        {-1, "Unknown (Type: -1)"},
    };
    for (const auto& [type, text] : cases)
        EXPECT_EQ(U_ReplicaTypeToStr(type), text) << type;
}

TEST(ValueNames, SyncStates) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "(local error)"}, {1, "(remote error)"}, {2, "(in sync)"},
        {3, "(3 - unknown)"}, {7, "(7 - unknown)"},  {-3, "(-3 - unknown)"},
    };
    for (const auto& [state, text] : cases)
        EXPECT_EQ(U_SyncStateToStr(state), text) << state;
}

TEST(NetAddress, ByType) {
    struct Case {
        uint32_t type;
        std::vector<uint8_t> bytes;
        bool withType;
        const char* expected;
    };
    const Case cases[] = {
        {0,
         {0x00, 0x00, 0xAB, 0xCD, 0x00, 0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x04, 0x51},
         true,
         "(0) 0000ABCD:00001B2C3D4E"},
        {0, {0x00, 0x00, 0xAB, 0xCD, 0x00, 0x00, 0x1B, 0x2C, 0x3D, 0x4E}, false, "0000ABCD:00001B2C3D4E"},
        {1, {10, 0, 0, 1, 0x02, 0x0C}, true, "(1) 10.0.0.1:524"},
        {7, {192, 168, 1, 2, 0x01, 0xBB}, false, "192.168.1.2:443"},
        {10, {1, 2, 3, 4, 0, 80}, true, "(10) 1.2.3.4:80"},
        {11, {1, 2, 3, 4, 0, 80}, true, "(11) 1.2.3.4:80"},
        {8, {0x02, 0x0C, 10, 0, 0, 2}, true, "(8) 10.0.0.2:524"},
        {9, {0x02, 0x0C, 0x0A, 0x00, 0x00, 0x01}, true, "(9) 10.0.0.1:524"},
        {9, {0x02, 0x0C, 0x0A, 0x00, 0x00, 0x01}, false, "10.0.0.1:524"},
        {13, {'h', 0, 'o', 0, 's', 0, 't', 0, 0, 0}, true, "(13) host"},
        {5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, false, "(5) [0102030405060708090A0B0C]"},
        {0xFFFFFFFF, {0xAA}, true, "(-1) [AA]"},
        // Short addresses: the missing bytes read as zero.
        {9, {0x02, 0x0C, 0x0A}, true, "(9) 10.0.0.0:524"},
        {1, {127}, true, "(1) 127.0.0.0:0"},
        {0, {0x01, 0x02}, true, "(0) 0102:"},
        // No bytes, no text.
        {9, {}, true, ""},
        {5, {}, true, ""},
    };
    for (const Case& c : cases) {
        const TExactBytes bytes(c.bytes);
        EXPECT_EQ(U_NetAddressToStr(c.type, bytes.Span(), c.withType), c.expected)
            << c.type << " " << HexOf(c.bytes);
    }
}

// --- Times

TEST(DSTime, LocalConversionFollowsTheZoneAndItsDaylightTime) {
    {
        TScopedTimeZone zone(Utc);
        EXPECT_EQ(U_DSTimeToStr(Jan15Noon, true), "01/15/20 12:00:00");
        EXPECT_EQ(U_DSTimeToStr(Jan15Midnight, true), "01/15/20");
        EXPECT_EQ(U_DSTimeToStr(0, true), "01/01/70");
        EXPECT_EQ(U_DSTimeToStr(4294967295u, true), "02/07/06 06:28:15");
    }
    TScopedTimeZone zone(CentralEurope);
    EXPECT_EQ(U_DSTimeToStr(Jan15Noon, true), "01/15/20 13:00:00");
    EXPECT_EQ(U_DSTimeToStr(Jul15Noon, true), "07/15/20 14:00:00");
    EXPECT_EQ(U_DSTimeToStr(Jan15Noon, false), "01/15/20 12:00:00");
    EXPECT_EQ(U_DSTimeToStr(Jul15Noon, false), "07/15/20 12:00:00");
    EXPECT_EQ(U_DSTimeToStr(Jan15Midnight, false), "01/15/20");
    EXPECT_EQ(U_DSTimeToStr(Jan15Midnight, true), "01/15/20 01:00:00");
}

TEST(DSTime, DateTimeToDSTimeRoundTrips) {
    TScopedTimeZone zone(CentralEurope);
    uint32_t seconds = 1;
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(Jan15Noon), false, seconds));
    EXPECT_EQ(seconds, Jan15Noon);
    // 13:00 and 14:00 local are noon UTC in winter and in summer.
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(Jan15Noon + 3600), true, seconds));
    EXPECT_EQ(seconds, Jan15Noon);
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(Jul15Noon + 7200), true, seconds));
    EXPECT_EQ(seconds, Jul15Noon);
    // Rounded to the nearest second.
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(Jan15Noon) + 0.4 / 86400, false, seconds));
    EXPECT_EQ(seconds, Jan15Noon);
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(Jan15Noon) + 0.6 / 86400, false, seconds));
    EXPECT_EQ(seconds, Jan15Noon + 1);
    // The ends of the range.
    ASSERT_TRUE(U_DateTimeToDSTime(25569.0, false, seconds));
    EXPECT_EQ(seconds, 0u);
    ASSERT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(4294967295LL), false, seconds));
    EXPECT_EQ(seconds, 4294967295u);
}

TEST(DSTime, InstantsOutside32BitsFail) {
    TScopedTimeZone zone(CentralEurope);
    const double cases[] = {
        25568.9,                               // 1969
        DateTimeFromUnix(4294967296LL + 3600), // one second too late, read as UTC or as local time
        DateTimeFromUnix(-1),
        0.0,
        -1e300,
        1e300,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
    };
    for (double value : cases) {
        for (bool fromLocal : {false, true}) {
            uint32_t seconds = 99;
            EXPECT_FALSE(U_DateTimeToDSTime(value, fromLocal, seconds)) << value << " " << fromLocal;
            EXPECT_EQ(seconds, 0u);
        }
    }
    uint32_t late = 0;
    EXPECT_FALSE(U_DateTimeToDSTime(DateTimeFromUnix(4294967296LL), false, late));
    EXPECT_TRUE(U_DateTimeToDSTime(DateTimeFromUnix(4294967296LL), true, late)); // an hour earlier in UTC
    EXPECT_EQ(late, 4294967296u - 3600);
    // 1970-01-01 00:30 local in Central Europe is 1969 in UTC: out of range.
    uint32_t seconds = 0;
    EXPECT_FALSE(U_DateTimeToDSTime(25569.0 + 0.5 / 24, true, seconds));
    EXPECT_TRUE(U_DateTimeToDSTime(25569.0 + 0.5 / 24, false, seconds));
    EXPECT_EQ(seconds, 1800u);
}

} // namespace era
