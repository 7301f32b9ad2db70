#include "byte_builder.h"
#include "directory/stream_format.h"

#include <gtest/gtest.h>

namespace era {

using testing::TByteBuilder;
using testing::TExactBytes;

namespace {

std::string Decode(const std::vector<uint8_t>& bytes, const char* name, std::size_t count = SIZE_MAX) {
    const TExactBytes exact(bytes, count);
    return U_DecodeStream(exact.Span(), name);
}

// An application-object file header with its numbers.
TByteBuilder AotHeader() {
    return TByteBuilder()
        .Text(0, "AOT FILE", false)
        .U32(8, 1)
        .U32(12, 0x20)
        .U32(16, 0xABC)
        .U16(20, 5)
        .U16(22, 0xFFFF);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

std::vector<uint8_t> TextBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A small program-group file: counted texts, a plain text, a count misplaced by one byte, a
// number before a text, a trailing number, and a count that runs past the end.
std::vector<uint8_t> InventoryFile() {
    TByteBuilder b = AotHeader().Size(24);
    b.Append(Bytes({5, 0, 0, 0})).Append(TextBytes("Hello"));
    b.Append(TextBytes("World")).Append({0});
    b.Append(Bytes({0, 5, 0, 0, 0})).Append(TextBytes("Again"));
    b.Append(Bytes({0x34, 0x12, 0, 0})).Append(TextBytes("Tail")).Append({0});
    b.Append(Bytes({9, 0, 0, 0}));
    b.Append(Bytes({0xFE, 0, 0, 0})).Append(TextBytes("ab"));
    return b.Bytes();
}

} // namespace

TEST(StreamText, PlainStreamsShowTheirTextUpToTheFirstZero) {
    EXPECT_EQ(Decode(TextBytes(std::string("hello\0world", 11)), "Login Script"), "hello");
    EXPECT_EQ(Decode(TextBytes("no terminator"), "Login Script"), "no terminator");
    EXPECT_EQ(Decode({}, "Login Script"), "");
    EXPECT_EQ(Decode(TextBytes("AOT FIL"), "App:Macros"), "AOT FIL");
    EXPECT_EQ(Decode(TextBytes("aot file and more"), "App:Macros"), "aot file and more");
    // A full buffer without any zero byte.
    const std::vector<uint8_t> full(StreamReadLimit, 'x');
    EXPECT_EQ(Decode(full, "Login Script"), std::string(StreamReadLimit, 'x'));
}

TEST(StreamText, AotHeaderAndNumbers) {
    EXPECT_EQ(Decode(TextBytes("AOT FILE"), "App:Other"), "AOT FILE (8 bytes)  ");
    EXPECT_EQ(Decode(AotHeader().Size(23).Bytes(), "App:Other"), "AOT FILE (23 bytes)  ");
    EXPECT_EQ(Decode(AotHeader().Bytes(), "App:Other"), "AOT FILE (24 bytes) (1/20/ABC 5/FFFF) ");
    EXPECT_EQ(Decode(AotHeader().Bytes(), "App:Macros"), "AOT FILE (24 bytes) ");
    // Not an application-object file when the signature is cut by a zero.
    EXPECT_EQ(Decode(TByteBuilder().Text(0, "AOT").Text(4, "FILE").Bytes(), "App:Other"), "AOT");
}

TEST(StreamText, OtherAotFilesKeepTheirPrintableBytes) {
    TByteBuilder b = AotHeader();
    b.Append(Bytes({1})).Append(TextBytes("Line one")).Append(Bytes({1, 2, 0}));
    b.Append(TextBytes("Line two")).Append(Bytes({0x13, 0x14, 0x1F, ' ', 'x', 0}));
    EXPECT_EQ(Decode(b.Bytes(), "App:Icon"),
              "AOT FILE (50 bytes) (1/20/ABC 5/FFFF) \r\nLine one\r\nLine two\r\n\x14\x1F x\r\n");
    // The same names in another case are not the special ones.
    EXPECT_EQ(Decode(b.Bytes(), "app:macros"),
              "AOT FILE (50 bytes) (1/20/ABC 5/FFFF) \r\nLine one\r\nLine two\r\n\x14\x1F x\r\n");
}

TEST(StreamText, InventoryAndProgramGroupsExtractTheirStrings) {
    const std::vector<uint8_t> file = InventoryFile();
    const std::string expected =
        "AOT FILE (" + std::to_string(file.size()) +
        " bytes) (1/20/ABC 5/FFFF) Hello\r\nWorld\r\nAgain\r\n1234 Tail\r\n0009 ab\r\n";
    EXPECT_EQ(Decode(file, "App:Inventory"), expected);
    EXPECT_EQ(Decode(file, "App:Program Groups"), expected);
}

TEST(StreamText, StringExtractionStepsOverWhatIsNoText) {
    // A lone byte-wide character after a control byte: two bytes are skipped, then the text ends a line.
    TByteBuilder b = AotHeader();
    b.Append(Bytes({0x01, 0x02})).Append(TextBytes("Xy")).Append({0});
    EXPECT_EQ(Decode(b.Bytes(), "App:Inventory"), "AOT FILE (29 bytes) (1/20/ABC 5/FFFF) Xy\r\n");
    // Only numbers: they make one line.
    TByteBuilder numbers = AotHeader();
    numbers.Append(Bytes({0xFF, 0x01, 0, 0, 0x00, 0x00, 0x01, 0x00, 7, 7}));
    EXPECT_EQ(Decode(numbers.Bytes(), "App:Inventory"),
              "AOT FILE (34 bytes) (1/20/ABC 5/FFFF) 01FF 10000 \r\n");
}

TEST(StreamText, MacrosAreTextsBetweenSmallNumbers) {
    TByteBuilder b = AotHeader();
    b.Append(Bytes({1, 0, 0, 0, 2, 0, 0, 0}));
    b.Append(TextBytes("NAME=value")).Append({0});
    b.Append(Bytes({3, 0, 0, 0})).Append(TextBytes("X=12")).Append({0, 0});
    const std::size_t size = b.Length();
    EXPECT_EQ(Decode(b.Bytes(), "App:Macros"),
              "AOT FILE (" + std::to_string(size) + " bytes) NAME=value | X=12");
    // A text's last character followed by zeros is no number.
    TByteBuilder padded = b;
    padded.Size(40 + size);
    EXPECT_EQ(Decode(padded.Bytes(), "App:Macros"),
              "AOT FILE (" + std::to_string(40 + size) + " bytes) NAME=value | X=12");
    // Between texts, a small number stays a number even when its byte is printable.
    TByteBuilder between = AotHeader();
    between.Append(TextBytes("A=1"))
        .Append({0})
        .Append(Bytes({'Q', 0, 0, 0}))
        .Append(TextBytes("B=2"))
        .Append({0});
    EXPECT_EQ(Decode(between.Bytes(), "App:Macros"), "AOT FILE (36 bytes) A=1 | B=2");
    // Only the first 1024 bytes are looked at.
    b.Text(1020, "ABCDEFGH").Text(1040, "LATE");
    EXPECT_EQ(Decode(b.Bytes(), "App:Macros"), "AOT FILE (1045 bytes) NAME=value | X=12 | ABCD");
    // Only small numbers: no texts.
    EXPECT_EQ(Decode(AotHeader().U32(24, 1).U32(28, 2).Bytes(), "App:Macros"), "AOT FILE (32 bytes) ");
}

TEST(StreamText, CopyFilesAreRecordsOnePerLine) {
    TByteBuilder b = AotHeader();
    b.Append(Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 10, 0, 0, 0}))
        .Append(TextBytes("SYS:a.txt"))
        .Append({0});
    b.Append(Bytes({0x10, 0, 0, 0, 0x20, 0, 0, 0, 0x30, 0, 0, 0, 0x40, 0, 0, 0, 5, 0, 0, 0}))
        .Append(TextBytes("b.txt"));
    const std::string records = "(0001/0002/0003/0004) / SYS:a.txt\r\n(0010/0020/0030/0040) / b.txt";
    const auto expect = [&](const TByteBuilder& file, const std::string& body) {
        EXPECT_EQ(Decode(file.Bytes(), "App:Copy Files"),
                  "AOT FILE (" + std::to_string(file.Length()) + " bytes) (1/20/ABC 5/FFFF) " + body);
    };
    expect(b, records);
    // An empty text ends the list.
    TByteBuilder empty = b;
    empty.Append(Bytes({9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}));
    empty.Append(Bytes({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'z'}));
    expect(empty, records);
    // So does a length above 1024.
    TByteBuilder tooLong = b;
    tooLong.Append(Bytes({9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 1, 4, 0, 0}))
        .Append(TextBytes("far"));
    expect(tooLong, records);
    // A text cut by the end of the data shows what there is.
    TByteBuilder cut = b;
    cut.Append(Bytes({7, 0, 0, 0, 7, 0, 0, 0, 7, 0, 0, 0, 7, 0, 0, 0, 200, 0, 0, 0}))
        .Append(TextBytes("c.t"));
    expect(cut, records + "\r\n(0007/0007/0007/0007) / c.t");
    // A record cut before its text's length is not one.
    TByteBuilder partial = b;
    partial.Append(Bytes({7, 0, 0, 0, 7, 0, 0, 0, 7, 0, 0, 0, 7, 0, 0}));
    expect(partial, records);
}

TEST(StreamText, TruncatedFilesNeverReadPastTheirEnd) {
    TByteBuilder macros = AotHeader();
    macros.Append(Bytes({1, 0, 0, 0})).Append(TextBytes("NAME=value")).Append({0}).Append(Bytes({3, 0, 0}));
    TByteBuilder copyFiles = AotHeader();
    copyFiles.Append(Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 10, 0, 0, 0}))
        .Append(TextBytes("SYS:a.txt"));
    TByteBuilder other = AotHeader();
    other.Append(TextBytes("abc")).Append(Bytes({1, 2}));
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"App:Inventory", InventoryFile()}, {"App:Program Groups", InventoryFile()},
        {"App:Macros", macros.Bytes()},     {"App:Copy Files", copyFiles.Bytes()},
        {"App:Other", other.Bytes()},
    };
    for (const auto& [name, bytes] : files) {
        for (std::size_t length = 0; length <= bytes.size(); ++length) {
            const std::string text = Decode(bytes, name, length);
            // Whatever the cut, the header reports the bytes that are there.
            if (length >= 8) {
                EXPECT_EQ(text.find("AOT FILE (" + std::to_string(length) + " bytes)"), 0u) << name;
            }
        }
    }
    // A copy-file record whose text lost its end.
    EXPECT_EQ(Decode(copyFiles.Bytes(), "App:Copy Files", copyFiles.Length() - 4),
              "AOT FILE (49 bytes) (1/20/ABC 5/FFFF) (0001/0002/0003/0004) / SYS:a");
    // A count past the end takes the characters that are there.
    EXPECT_EQ(Decode(AotHeader().U32(24, 200).Text(28, "xyz", false).Bytes(), "App:Inventory"),
              "AOT FILE (31 bytes) (1/20/ABC 5/FFFF) xyz\r\n");
}

TEST(StreamText, ReadingWithoutAClientFailsWithTheClientsCode) {
    // The base client is a workstation without a client: the stream does not open.
    std::string text = "old";
    EXPECT_EQ(U_DSReadStream(1, "ann.acme", "Login Script", text), ErrBadContext);
    EXPECT_EQ(text, "Cannot read Stream");
}

} // namespace era
