// The value formatter over arbitrary bytes: a value of each layout the client hands back, built
// from the bytes, formatted as every syntax (the wrong layouts included); octet strings decoded
// under every attribute name that has a layout of its own; streams decoded under every name that
// has a decoding; addresses and directory times.

#include "directory/stream_format.h"
#include "directory/value_format.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace era;

// Every attribute name the octet-string formatter decodes by, plus one it does not know.
const char* const OctetNames[] = {
    "App:GUID", "App:Drive Mappings", "App:Parameters", "App:Path", "App:Version String",
    "App:Working Directory", "DirXML-EntitlementResult", "ZEN:INV Disk Info", "bhObjectGUID", "rbsTaskRights",
    "Bindery Property", "snmpTrapDescription", "CA Public Key", "Public Key", "memberQuery", "WM:INV DMA",
    "WM:INV Interrupt", "WM:INV Port", "WM:INV CPU Information", "WM:INV Shared Memory", "WM:INV Volume",
    "NGW: Location", "App:Folder List", "App:FS Rights Path", "bhConfig", "FW0 USER ADD", "Partition Status",
    "Local Received Up To", "Transitive Vector", "Printer Configuration", "Description"};
// Every stream name with a decoding of its own, plus a plain text stream.
const char* const StreamNames[] = {"App:Inventory", "App:Program Groups", "App:Macros", "App:Copy Files",
                                   "Login Script"};

std::vector<uint8_t> Bytes(FuzzedDataProvider& in) {
    return in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 512));
}
std::string Text(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(300); }

TNetAddress Address(FuzzedDataProvider& in) { return {in.ConsumeIntegral<uint32_t>(), Bytes(in)}; }

TAttrValue Value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 18)) {
    case 0: return TTextValue{Text(in)};
    case 1: {
        TCaseIgnoreList v;
        for (int n = in.ConsumeIntegralInRange<int>(0, 4); n > 0; --n) v.Elements.push_back(Text(in));
        return v;
    }
    case 2: return TBooleanValue{in.ConsumeIntegral<uint8_t>()};
    case 3: return TIntegerValue{in.ConsumeIntegral<int32_t>()};
    case 4: return TOctetString{Bytes(in)};
    case 5: return TFaxNumber{Text(in), in.ConsumeIntegral<uint32_t>(), Bytes(in)};
    case 6: return Address(in);
    case 7: {
        TOctetList v;
        for (int n = in.ConsumeIntegralInRange<int>(0, 4); n > 0; --n) v.Elements.push_back(Bytes(in));
        return v;
    }
    case 8: return TEMailAddress{in.ConsumeIntegral<uint32_t>(), Text(in)};
    case 9: return TPathValue{in.ConsumeIntegral<uint32_t>(), Text(in), Text(in)};
    case 10: {
        TReplicaPointer v{Text(in), in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>(), {}};
        for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n) v.Addresses.push_back(Address(in));
        return v;
    }
    case 11: return TObjectACL{Text(in), Text(in), in.ConsumeIntegral<uint32_t>()};
    case 12: {
        TPostalAddress v;
        for (auto& line : v.Lines) line = Text(in);
        return v;
    }
    case 13: return TTimeStamp{in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint16_t>(),
                               in.ConsumeIntegral<uint16_t>()};
    case 14: return TBackLink{in.ConsumeIntegral<uint32_t>(), Text(in)};
    case 15: return TTypedName{Text(in), in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>()};
    case 16: return THold{Text(in), in.ConsumeIntegral<uint32_t>()};
    case 17: return TUnknownValue{Text(in), in.ConsumeIntegral<uint32_t>(), Bytes(in)};
    default: return TRawValue{Bytes(in)};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const TAttrValue value = Value(in);
    const uint32_t valueSize = in.ConsumeBool() ? in.ConsumeIntegral<uint32_t>() : in.ConsumeIntegralInRange<uint32_t>(0, 600);
    const uint32_t position = in.ConsumeIntegralInRange<uint32_t>(0, 3);
    const char* name = OctetNames[in.ConsumeIntegralInRange<size_t>(0, std::size(OctetNames) - 1)];
    for (uint32_t syntax = 0; syntax <= 32; ++syntax) {
        TStringList lines;
        std::string failure = "untouched";
        const bool ok = U_FormatValue(name, lines, value, syntax, valueSize, position, failure);
        // A value that cannot be shown leaves no line and says why; one that can leaves failure alone.
        if (!ok && (lines.Count() != 0 || failure.empty() || failure == "untouched")) std::abort();
        if (ok && failure != "untouched") std::abort();
    }

    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    for (const char* octetName : OctetNames)
        for (uint32_t p = 1; p <= 2; ++p) (void)U_FormatOctetString(rest, octetName, p);
    for (const char* streamName : StreamNames) (void)U_DecodeStream(rest, streamName);
    for (uint32_t type : {0u, 1u, 7u, 8u, 9u, 10u, 11u, 13u, 99u}) (void)U_NetAddressToStr(type, rest, true);
    uint32_t seconds = 0;
    for (size_t at = 0; at + 4 <= rest.size() && at < 16; at += 4) {
        uint32_t word = 0;
        std::memcpy(&word, rest.data() + at, 4);
        const std::string shown = U_DSTimeToStr(word, true);
        if (shown.empty()) std::abort();
        double dateTime = 0;
        std::memcpy(&dateTime, rest.data() + at, std::min<size_t>(8, rest.size() - at));
        (void)U_DateTimeToDSTime(dateTime, true, seconds);
        (void)U_DateTimeToDSTime(dateTime, false, seconds);
    }
    return 0;
}
