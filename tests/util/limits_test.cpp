// The sizes the text, buffer and settings functions fix, at and past each one: 255-character
// terminated texts, the 2303 bytes the buffer readers take, the 511-byte code-page conversion,
// hex buffers of a stated capacity and combo-box histories of 31 entries.

#include "util/ini_file.h"
#include "util/paths.h"
#include "util/selection_lists.h"
#include "util/text.h"

#include <gtest/gtest.h>

namespace era {
namespace {

using namespace std::string_literals;

TEST(Limits, TerminatedPtrAddsANulOnlyBelow255Characters) {
    struct TCase {
        std::string Text;
        size_t Size;   // after the call
    };
    const TCase cases[] = {
        {"", 1},
        {"a", 2},
        {std::string(254, 'x'), 255},
        {std::string(255, 'x'), 255},
        {std::string(256, 'x'), 256},
        {std::string(4000, 'x'), 4000},
        {std::string(253, 'x') + '\0', 254},   // ends in NUL already
        {std::string(254, 'x') + '\0', 255},
    };
    for (const auto& c : cases) {
        std::string text = c.Text;
        const char* pointer = TerminatedPtr(text);
        EXPECT_EQ(text.size(), c.Size) << c.Text.size();
        EXPECT_EQ(pointer, text.data());
        EXPECT_EQ(text.compare(0, c.Text.size(), c.Text), 0);
        // The pointer is always followed by a NUL within the text's storage.
        EXPECT_EQ(pointer[text.size()], '\0');
    }
}

TEST(Limits, BufferReadersTakeAtMost2303BytesAndNeverPassTheBuffer) {
    struct TCase {
        size_t Buffer;   // bytes of 'q', a NUL at NulAt when NulAt < Buffer
        size_t NulAt;
        size_t Offset;
        size_t Length;
        size_t Str;      // length of BufferToStr
        size_t Lines;    // length of BufferToLines
    };
    const size_t none = SIZE_MAX;
    const TCase cases[] = {
        {2302, none, 0, 5000, 2302, 2302},
        {2303, none, 0, 5000, 2303, 2303},
        {2304, none, 0, 5000, 2303, 2303},
        {10000, none, 0, 10000, 2303, 2303},
        {10000, none, 9000, 10000, 1000, 1000},
        {10000, none, 9999, 10000, 1, 1},
        {10000, none, 10000, 10000, 0, 0},
        {10000, none, SIZE_MAX, SIZE_MAX, 0, 0},
        {10000, none, 5, SIZE_MAX, 2303, 2303},
        {10000, none, 0, 2302, 2302, 2302},
        {3000, 2302, 0, 3000, 2302, 2302 + 2},   // the NUL within the bound: a line break
        {3000, 2303, 0, 3000, 2303, 2303},       // the NUL just past the bound is not seen
        {3000, 0, 0, 3000, 0, 2302 + 2},
    };
    for (const auto& c : cases) {
        std::string bytes(c.Buffer, 'q');
        if (c.NulAt < c.Buffer) bytes[c.NulAt] = '\0';
        const auto span = AsBytes(bytes);
        EXPECT_EQ(BufferToStr(span, c.Offset, c.Length).size(), c.Str) << c.Buffer << "/" << c.Offset << "/" << c.Length;
        EXPECT_EQ(BufferToLines(span, c.Offset, c.Length).size(), c.Lines) << c.Buffer << "/" << c.Offset << "/" << c.Length;
    }
    // Tabs become line breaks too, and a line text may so grow past 2303 bytes.
    EXPECT_EQ(BufferToLines(AsBytes(std::string(3000, '\t')), 0, 3000).size(), 2 * 2303u);
}

TEST(Limits, ConvertOemKeeps511BytesAndNeverSplitsACharacter) {
    const std::string e = "\xC3\xA9";            // 2 bytes
    const std::string euro = "\xE2\x82\xAC";      // 3 bytes
    const std::string clef = "\xF0\x9D\x84\x9E";  // 4 bytes
    struct TCase {
        std::string Text;
        size_t Kept;
    };
    const TCase cases[] = {
        {std::string(510, 'a'), 510},
        {std::string(511, 'a'), 511},
        {std::string(512, 'a'), 511},
        {std::string(510, 'a') + e, 510},               // é would take bytes 511 and 512
        {std::string(509, 'a') + e + "z", 511},         // é ends at 511
        {std::string(509, 'a') + euro, 509},
        {std::string(508, 'a') + euro + "z", 511},
        {std::string(508, 'a') + clef, 508},
        {std::string(510, 'a') + clef, 510},
        {std::string(507, 'a') + clef + "z", 511},
        {std::string(600, '\x80'), 511},                // no lead byte to go back to: cut at the bound
        {std::string(100, 'a') + '\0' + std::string(600, 'b'), 100},
    };
    for (const auto& c : cases) {
        const std::string converted = ConvertOem(c.Text, true);
        EXPECT_EQ(converted.size(), c.Kept) << c.Text.size();
        EXPECT_EQ(converted, c.Text.substr(0, c.Kept));
        EXPECT_EQ(ConvertOem(c.Text, false), converted);
    }
}

TEST(Limits, HexToBytesFillsNoMoreThanTheBufferWhateverTheStatedCapacity) {
    struct TCase {
        std::string Text;
        size_t Buffer;
        size_t Stated;
        bool Ok;
        size_t Count;
    };
    const TCase cases[] = {
        {"0A0B0C", 3, 3, true, 3},
        {"0A0B0C", 2, 2, true, 2},         // the rest does not fit and is not read
        {"0A0B0C", 2, 1000, true, 2},      // a capacity beyond the buffer is not believed
        {"0A0B0C", 0, 10, true, 0},
        {"0A0B0", 8, 8, false, 8},         // odd digits: no success, count as it was
        {"", 8, 8, false, 8},
        {"0x$0A_0B 0C", 8, 8, true, 3},
        {"0AZZ", 8, 8, false, 8},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> buffer(c.Buffer + 4, 0xEE);   // 4 guard bytes behind the buffer
        size_t count = c.Stated;
        EXPECT_EQ(HexToBytes(c.Text, count, std::span<uint8_t>(buffer.data(), c.Buffer)), c.Ok) << c.Text;
        EXPECT_EQ(count, c.Count) << c.Text;
        for (size_t i = c.Buffer; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << c.Text << " wrote past the buffer";
    }
}

TEST(Limits, AComboHistoryHoldsAtMost31EntriesNewestFirst) {
    struct TCase {
        int Before;   // entries already there
        int After;    // entries once a new text is added
    };
    for (const TCase c : {TCase{0, 1}, TCase{29, 30}, TCase{30, 31}, TCase{31, 31}, TCase{40, 40}}) {
        TComboHistory combo;
        for (int i = 0; i < c.Before; ++i) combo.Items.Add("old " + std::to_string(i));
        combo.Text = "new";
        AddToHistory(combo);
        EXPECT_EQ(combo.Items.Count(), c.After) << c.Before;
        EXPECT_EQ(combo.Items.Strings(0), "new");
        if (c.Before > 30) {
            EXPECT_EQ(combo.Items.IndexOf("old 30"), -1) << "the entry at index 30 goes";
        }
    }
    // Saved and restored, a full history keeps its 31 entries; without "Count" the keys "0" to
    // "30" are read, and a key "31" is not.
    TMemIniFile ini;
    TComboHistory full;
    for (int i = 0; i < 31; ++i) full.Items.Add("e" + std::to_string(i));
    full.Text = "e0";
    SaveHistory(ini, "History ComboBox", full);
    TComboHistory back;
    RestoreHistory(ini, "History ComboBox", "", back);
    EXPECT_EQ(back.Items.Count(), 31);
    ini.DeleteKey("History ComboBox", "Count");
    ini.WriteString("History ComboBox", "31", "\"beyond\"");
    TComboHistory noCount;
    RestoreHistory(ini, "History ComboBox", "", noCount);
    EXPECT_EQ(noCount.Items.Count(), 31);
    EXPECT_EQ(noCount.Items.IndexOf("beyond"), -1);
}

} // namespace
} // namespace era
