#include "byte_builder.h"
#include "directory/value_format.h"

#include <gtest/gtest.h>

namespace era {

using testing::CentralEurope;
using testing::TByteBuilder;
using testing::TExactBytes;
using testing::TScopedTimeZone;

namespace {

constexpr uint32_t Jan15Noon = 1579089600; // 2020-01-15 12:00:00 UTC

std::string Octet(const std::vector<uint8_t>& bytes, const char* name, uint32_t position = 1) {
    const TExactBytes exact(bytes);
    return U_FormatOctetString(exact.Span(), name, position);
}

struct TLayoutCase {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string expected;
    uint32_t position = 1;
};

std::vector<uint8_t> Range(uint8_t first, uint8_t count) {
    std::vector<uint8_t> bytes;
    for (uint8_t i = 0; i < count; ++i)
        bytes.push_back(static_cast<uint8_t>(first + i));
    return bytes;
}

TByteBuilder At(std::size_t offset, const std::vector<uint8_t>& bytes) {
    TByteBuilder b;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        b.U8(offset + i, bytes[i]);
    return b;
}

// Well-formed values of every layout (printers aside, which have their own table below).
std::vector<TLayoutCase> WellFormedCases() {
    std::vector<TLayoutCase> cases;
    for (const char* name : {"App:GUID", "App:Drive Mappings", "App:Parameters", "App:Path",
                             "App:Version String", "App:Working Directory", "DirXML-EntitlementResult",
                             "ZEN:INV Disk Info", "bhObjectGUID", "rbsTaskRights"})
        cases.push_back({name, TByteBuilder().Text(0, "SYS:\\APPS\\run.exe").Text(18, "junk").Bytes(),
                         "SYS:\\APPS\\run.exe"});
    cases.push_back({"Bindery Property",
                     TByteBuilder().Text(5, "IDENTIFICATION").Text(47, "Acme Server").Size(175).Bytes(),
                     "IDENTIFICATION: Acme Server"});
    cases.push_back(
        {"Bindery Property",
         TByteBuilder().Text(5, "NET_ADDRESS").U8(48, 0x12).U8(49, 0x34).U8(50, 0x50).Size(175).Bytes(),
         "NET_ADDRESS: 0012345"}); // 124 bytes from 47, every trailing "0" digit dropped
    cases.push_back(
        {"snmpTrapDescription", TByteBuilder().Text(0, "a").Text(2, "b\tc", false).Bytes(), "a\r\nb\r\nc"});
    const auto publicKey =
        TByteBuilder(At(8, Range(1, 14))).U32(0, 1).U32(4, 0x20).U32(22, 0xABCD).Wide(26, "Key");
    cases.push_back({"CA Public Key", publicKey.Bytes(), "[1,20,0102030405060708090A0B0C0D0E,ABCD] Key"});
    cases.push_back({"Public Key", publicKey.Bytes(), "[1,20,0102030405060708090A0B0C0D0E,ABCD] Key"});
    const auto query = TByteBuilder().U32(0, 1).Wide(12, "(cn=a)");
    cases.push_back({"memberQuery", query.Bytes(), "(cn=a) - " + HexOf(query.Bytes())});
    const auto channel =
        TByteBuilder().U32(0, 5).U32(4, 1).U32(8, 2).U32(12, 0xFFFFFFFF).Wide(16, "DMA Channel");
    cases.push_back({"WM:INV DMA", channel.Bytes(), "[05,1,2,-1] DMA Channel"});
    cases.push_back({"WM:INV Interrupt", channel.Bytes(), "[05,1,2,-1] DMA Channel"});
    cases.push_back({"WM:INV Port",
                     TByteBuilder().U16(0, 0x3F8).U32(4, 8).U32(8, 0).U32(12, 1).Wide(16, "COM1").Bytes(),
                     "[03F8,8,0,1] COM1"});
    cases.push_back({"WM:INV CPU Information", TByteBuilder().U32(0, 2).U32(4, 99).Wide(8, "Pentium").Bytes(),
                     "[2] Pentium"});
    const auto range =
        TByteBuilder().U32(0, 0xA0000).U32(4, 0xBFFFF).U32(8, 1).U32(12, 2).U32(16, 3).Wide(20, "Video");
    cases.push_back({"WM:INV Shared Memory", range.Bytes(), "[A0000,BFFFF,1,2,3] Video"});
    cases.push_back({"WM:INV Volume", range.Bytes(), "[A0000,BFFFF,1,2,3] Video"});
    cases.push_back({"NGW: Location", TByteBuilder(At(0, Range(1, 13))).Text(13, "Post Office").Bytes(),
                     "[0102030405060708090A0B0C0D] Post Office"});
    cases.push_back({"App:Folder List",
                     TByteBuilder().U32(0, 1).U32(4, 2).U32(8, 0x1F).Text(12, "Apps").Bytes(),
                     "(1/2/1F) Apps"});
    cases.push_back({"App:FS Rights Path",
                     TByteBuilder().U32(0, 1).U32(4, 2).U32(8, 3).U8(12, 4).Text(13, "SYS:APPS").Bytes(),
                     "(1/2/3/4) SYS:APPS"});
    cases.push_back(
        {"bhConfig", TByteBuilder().U32(0, 7).Text(4, "alpha").Text(92, "beta").Bytes(), "[7] alpha beta "});
    cases.push_back(
        {"FW0 USER ADD", TByteBuilder().Text(0, "0123456789abcd").Text(15, "john").Bytes(), "john"});
    cases.push_back({"Local Received Up To",
                     TByteBuilder().U32(0, 1).U32(4, 2).U32(8, 0x10).Wide(12, "x").Bytes(),
                     "(0001/0002/0010) x"});
    cases.push_back({"Transitive Vector",
                     TByteBuilder().U32(0, 0x12345).U32(4, 0).U32(8, 0).Wide(12, "").Bytes(),
                     "(12345/0000/0000) "});
    cases.push_back({"Some Other Attribute", {0x00, 0x01, 0xFE}, "0001FE"});
    return cases;
}

// Every attribute name that has a layout of its own.
const char* const LayoutNames[] = {
    "App:GUID",
    "App:Drive Mappings",
    "App:Parameters",
    "App:Path",
    "App:Version String",
    "App:Working Directory",
    "DirXML-EntitlementResult",
    "ZEN:INV Disk Info",
    "bhObjectGUID",
    "rbsTaskRights",
    "Bindery Property",
    "snmpTrapDescription",
    "CA Public Key",
    "Public Key",
    "memberQuery",
    "WM:INV DMA",
    "WM:INV Interrupt",
    "WM:INV Port",
    "WM:INV CPU Information",
    "WM:INV Shared Memory",
    "WM:INV Volume",
    "NGW: Location",
    "App:Folder List",
    "App:FS Rights Path",
    "bhConfig",
    "FW0 USER ADD",
    "Partition Status",
    "Local Received Up To",
    "Transitive Vector",
    "Printer Configuration",
    "Some Other Attribute",
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

TEST(OctetString, WellFormedValuesOfEveryLayout) {
    for (const TLayoutCase& c : WellFormedCases()) {
        EXPECT_EQ(Octet(c.bytes, c.name, c.position), c.expected) << c.name;
        // Names are compared without regard to case.
        EXPECT_EQ(Octet(c.bytes, Lower(c.name).c_str(), c.position), c.expected) << c.name;
    }
}

TEST(OctetString, EmptyValuesGiveEmptyAndZeroFields) {
    TScopedTimeZone zone(testing::Utc);
    const std::pair<const char*, const char*> cases[] = {
        {"App:Path", ""},
        {"Bindery Property", ": "},
        {"snmpTrapDescription", ""},
        {"Public Key", "[0,0,,0] "},
        {"memberQuery", " - "},
        {"WM:INV DMA", "[00,0,0,0] "},
        {"WM:INV Port", "[0000,0,0,0] "},
        {"WM:INV CPU Information", "[0] "},
        {"WM:INV Volume", "[0,0,0,0,0] "},
        {"NGW: Location", "[] "},
        {"App:Folder List", "(0/0/0) "},
        {"App:FS Rights Path", "(0/0/0/0) "},
        {"bhConfig", "[0]   "},
        {"FW0 USER ADD", ""},
        {"Partition Status", " / Replica 0 / Last Sync:  01/01/70/ (local error) "},
        {"Transitive Vector", "(0000/0000/0000) "},
        {"Printer Configuration",
         "Other / Text / Service Interval: 0 / Buffer Size: 0kB / Starting Form: 0 / "
         "Form Change: as needed / Driver Name: \r\n"},
        {"Some Other Attribute", ""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(Octet({}, name), expected) << name;
}

TEST(OctetString, ShortValuesNeverReadPastTheirEnd) {
    // Each well-formed value cut at every length: the fields beyond the cut read as zero or
    // empty. Under the sanitizer any read past the exact-size copy fails the run.
    for (const TLayoutCase& c : WellFormedCases()) {
        for (std::size_t length = 0; length <= c.bytes.size(); ++length) {
            const TExactBytes exact(c.bytes, length);
            const std::string text = U_FormatOctetString(exact.Span(), c.name, c.position);
            if (length == c.bytes.size()) {
                EXPECT_EQ(text, c.expected) << c.name;
            }
        }
    }
    // Cut values keep what they still hold.
    EXPECT_EQ(Octet(TByteBuilder().U32(0, 5).U32(4, 1).U16(8, 2).Bytes(), "WM:INV DMA"), "[05,1,0,0] ");
    EXPECT_EQ(Octet(TByteBuilder().U32(0, 1).Wide(8, "Pen", false).Bytes(), "WM:INV CPU Information"),
              "[1] Pen");
    EXPECT_EQ(Octet(TByteBuilder().U32(0, 1).U32(4, 2).U8(8, 3).Bytes(), "App:Folder List"), "(1/2/0) ");
    EXPECT_EQ(Octet(TByteBuilder().Text(5, "PROP").Size(50).Bytes(), "Bindery Property"), "PROP: ");
    EXPECT_EQ(Octet(TByteBuilder(At(0, Range(1, 5))).Bytes(), "NGW: Location"), "[0102030405] ");
    EXPECT_EQ(Octet(TByteBuilder().Text(4, "ab", false).Bytes(), "bhConfig"), "[0] ab  ");
}

TEST(OctetString, OversizedValuesAreBounded) {
    // Texts stop at 2303 bytes; hex covers the whole value.
    const std::vector<uint8_t> big(70000, 'a');
    EXPECT_EQ(Octet(big, "App:Path"), std::string(2303, 'a'));
    EXPECT_EQ(Octet(big, "snmpTrapDescription"), std::string(2303, 'a'));
    EXPECT_EQ(Octet(big, "FW0 USER ADD"), std::string(2303, 'a'));
    EXPECT_EQ(Octet(big, "Some Other Attribute").size(), 140000u);
    // Wide texts without a terminator end with the value.
    std::vector<uint8_t> wide(12, 0);
    for (int i = 0; i < 5000; ++i) {
        wide.push_back('w');
        wide.push_back(0);
    }
    const std::string vector = Octet(wide, "Transitive Vector");
    EXPECT_EQ(vector, "(0000/0000/0000) " + std::string(5000, 'w'));
    const std::string query = Octet(wide, "memberQuery");
    EXPECT_EQ(query.substr(0, 5003), std::string(5000, 'w') + " - ");
    // A value far larger than its layout reads only its fields.
    EXPECT_EQ(Octet(TByteBuilder().U32(0, 2).Wide(8, "CPU").Size(5000).Bytes(), "WM:INV CPU Information"),
              "[2] CPU");
}

TEST(OctetString, PartitionStatusFirstValueAndLaterOnes) {
    // The last synchronisation shows the directory's own time, without local conversion.
    TScopedTimeZone zone(CentralEurope);
    const auto first = TByteBuilder()
                           .U32(4, 2)
                           .U32(8, Jan15Noon)
                           .U32(12, 3)
                           .U32(16, 0xFFFFFD8F)
                           .U32(24, 0x11)
                           .Wide(28, "OU=Sales");
    EXPECT_EQ(Octet(first.Bytes(), "Partition Status", 1),
              "OU=Sales / Replica 3 / Last Sync:  01/15/20 12:00:00/ (in sync) / Error FFFFFD8F");
    const auto clean = TByteBuilder().U32(4, 7).U32(8, Jan15Noon).U32(12, 1).Wide(28, "O=Acme");
    EXPECT_EQ(Octet(clean.Bytes(), "Partition Status", 1),
              "O=Acme / Replica 1 / Last Sync:  01/15/20 12:00:00/ (7 - unknown) ");
    const auto smallError =
        TByteBuilder().U32(4, 2).U32(8, Jan15Noon).U32(12, 1).U32(16, 0x2A).Wide(28, "O=Acme");
    EXPECT_EQ(Octet(smallError.Bytes(), "Partition Status", 1),
              "O=Acme / Replica 1 / Last Sync:  01/15/20 12:00:00/ (in sync) / Error   2A");
    // Later values: the name four bytes earlier, and no error part.
    const auto later = TByteBuilder().U32(4, 0).U32(8, Jan15Noon).U32(12, 1).U32(16, 5).Wide(24, "O=Acme");
    EXPECT_EQ(Octet(later.Bytes(), "Partition Status", 2),
              "O=Acme / Replica 1 / Last Sync:  01/15/20 12:00:00/ (local error) ");
    EXPECT_EQ(Octet(later.Bytes(), "partition status", 3),
              "O=Acme / Replica 1 / Last Sync:  01/15/20 12:00:00/ (local error) ");
    // Cut at every length, both forms.
    for (const auto* value : {&first, &later})
        for (std::size_t length = 0; length <= value->Length(); ++length) {
            const TExactBytes exact(value->Bytes(), length);
            (void)U_FormatOctetString(exact.Span(), "Partition Status", 1);
            (void)U_FormatOctetString(exact.Span(), "Partition Status", 2);
        }
}

TEST(OctetString, PrinterConfigurationByPortKind) {
    const char* const common =
        " / Service Interval: 30 / Buffer Size: 3kB / Starting Form: 0 / Form Change: never"
        " / Driver Name: HP\r\n";
    const auto printer = [](uint16_t kind) {
        return TByteBuilder().U16(0, kind).U16(2, 0).U16(4, 3).U16(6, 2).U16(8, 30).U16(10, 1).Text(16, "HP");
    };
    struct Case {
        TByteBuilder bytes;
        std::string expected;
    };
    const Case cases[] = {
        {printer(0), std::string("Other / Postscript") + common},
        {printer(1).U16(48, 0).U16(50, 1).U16(52, 1).U16(54, 7),
         std::string("Parallel (LPT1:) / IRQ 7 / Auto load / Postscript") + common},
        {printer(1).U16(48, 2).U16(50, 0).U16(52, 0).U16(54, 7),
         std::string("Parallel (LPT3:) / Polling / Manual load / Postscript") + common},
        {printer(2).U16(48, 1).U16(56, 1).U16(58, 5).U16(60, 8).U16(62, 1).U16(64, 2),
         std::string(
             "Serial (COM2:) / Polling / Manual load / Xon/Xoff  / 9600 bd / 8 Data bits / 1.5 Stop bits"
             " / odd parity / Postscript") +
             common},
        {printer(2).U16(52, 1).U16(54, 4).U16(58, 0).U16(60, 7).U16(62, 0).U16(64, 0),
         std::string("Serial (COM1:) / IRQ 4 / Manual load / 300 bd / 7 Data bits / 1 Stop bits / no parity"
                     " / Postscript") +
             common},
        {printer(2).U16(58, 2).U16(62, 2).U16(64, 1),
         std::string(
             "Serial (COM1:) / Polling / Manual load / 1200 bd / 0 Data bits / 2 Stop bits / even parity"
             " / Postscript") +
             common},
        {printer(2).U16(58, 60).U16(62, 3).U16(64, 9),
         std::string(
             "Serial (COM1:) / Polling / Manual load / n/a bd / 0 Data bits / n/a Stop bits / n/a parity"
             " / Postscript") +
             common},
        {printer(2).U16(58, 40),
         std::string("Serial (COM1:) / Polling / Manual load / 329853488332800 bd / 0 Data"
                     " bits / 1 Stop bits / no parity / Postscript") +
             common},
        {printer(3), std::string("XNP / Postscript") + common},
        {printer(4).Text(48, "Zone").Text(82, "Printer1").Text(116, "LaserWriter"),
         std::string("Apple Zone LaserWriter (Printer1) / Postscript") + common},
        {printer(5).Text(48, "host").Text(304, "queue"),
         std::string("Unix host/queue / Postscript") + common},
        {printer(6), std::string("AIO / Postscript") + common},
        {printer(9), std::string("n/a / Postscript") + common},
        {printer(0).U16(10, 0).U16(6, 0).U16(8, 0).Text(16, ""),
         "Other / Text / Service Interval: 0 / Buffer Size: 3kB / Starting Form: 0 / Form Change: as needed "
         "/ "
         "Driver Name: \r\n"},
        {printer(0).U16(6, 1),
         std::string("Other / Postscript / Service Interval: 30 / Buffer Size: 3kB / Starting"
                     " Form: 0 / Form Change: minimize within Qs / Driver Name: HP\r\n")},
        {printer(0).U16(6, 3),
         std::string("Other / Postscript / Service Interval: 30 / Buffer Size: 3kB / Starting"
                     " Form: 0 / Form Change: minimize across Qs / Driver Name: HP\r\n")},
        {printer(0).U16(6, 4),
         std::string("Other / Postscript / Service Interval: 30 / Buffer Size: 3kB / Starting"
                     " Form: 0 / Form Change: n/a / Driver Name: HP\r\n")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Octet(c.bytes.Bytes(), "Printer Configuration"), c.expected);
        for (std::size_t length = 0; length <= c.bytes.Length(); ++length) {
            const TExactBytes exact(c.bytes.Bytes(), length);
            (void)U_FormatOctetString(exact.Span(), "Printer Configuration", 1);
        }
    }
    // A serial printer cut before its serial fields shows them as zero.
    EXPECT_EQ(
        Octet(printer(2).Size(40).Bytes(), "printer configuration"),
        std::string("Serial (COM1:) / Polling / Manual load / 300 bd / 0 Data bits / 1 Stop bits / no parity"
                    " / Postscript") +
            common);
}

TEST(OctetString, EveryLayoutTakesValuesOfAnyLengthAndContent) {
    // Every length up to 400 bytes of zeros, ones and letters, at the first and a later position;
    // the sanitizer run fails on any read past the exact-size copies.
    for (const char* name : LayoutNames)
        for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{'A'}})
            for (std::size_t length = 0; length <= 400; ++length) {
                const TExactBytes exact(std::vector<uint8_t>(length, fill));
                const std::string first = U_FormatOctetString(exact.Span(), name, 1);
                const std::string later = U_FormatOctetString(exact.Span(), name, 2);
                if (std::string_view(name) == "Some Other Attribute") {
                    EXPECT_EQ(first.size(), 2 * length);
                } else if (std::string_view(name) == "App:Path" && fill == 'A') {
                    EXPECT_EQ(first, std::string(length, 'A'));
                } else if (std::string_view(name) != "Partition Status") {
                    EXPECT_EQ(first, later) << name; // only the partition status looks at the position
                }
            }
}

} // namespace era
