#include "directory/value_format.h"

#include "directory/rights_bits.h"
#include "util/text.h"

#include <cmath>
#include <ctime>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace era {

namespace {

constexpr char LineBreak[] = "\r\n";
constexpr double UnixEpochDateTime = 25569.0; // 1970-01-01 in days since 1899-12-30
constexpr double LargestDSTime = 4294967295.0;

// Fields that the value layouts call "32-bit" without saying "unsigned" are shown signed, so a
// stray negative number reads as one.
int32_t Signed(uint32_t value) {
    return static_cast<int32_t>(value);
}

// The workstation's time-zone bias in minutes for the instant: what is added to local time to
// get UTC, daylight saving included when it is in force then. 0 when the zone cannot be read.
int32_t TimeZoneBias(int64_t unixSeconds) {
    const std::time_t instant = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) return 0;
    return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

// --- Octet strings by attribute name

enum class TOctetLayout {
    Text,
    BinderyProperty,
    TrapDescription,
    PublicKey,
    MemberQuery,
    InventoryChannel, // DMA channels and interrupts
    InventoryPort,
    InventoryCpu,
    InventoryRange, // shared memory and volumes
    GroupWiseLocation,
    FolderList,
    FsRightsPath,
    BhConfig,
    FirewallUserAdd,
    PartitionStatus,
    Vector, // Local Received Up To, Transitive Vector
    PrinterConfiguration,
};

const std::unordered_map<std::string, TOctetLayout>& OctetLayouts() {
    static const std::unordered_map<std::string, TOctetLayout> layouts = [] {
        const std::pair<const char*, TOctetLayout> names[] = {
            {"App:GUID", TOctetLayout::Text},
            {"App:Drive Mappings", TOctetLayout::Text},
            {"App:Parameters", TOctetLayout::Text},
            {"App:Path", TOctetLayout::Text},
            {"App:Version String", TOctetLayout::Text},
            {"App:Working Directory", TOctetLayout::Text},
            {"DirXML-EntitlementResult", TOctetLayout::Text},
            {"ZEN:INV Disk Info", TOctetLayout::Text},
            {"bhObjectGUID", TOctetLayout::Text},
            {"rbsTaskRights", TOctetLayout::Text},
            {"Bindery Property", TOctetLayout::BinderyProperty},
            {"snmpTrapDescription", TOctetLayout::TrapDescription},
            {"CA Public Key", TOctetLayout::PublicKey},
            {"Public Key", TOctetLayout::PublicKey},
            {"memberQuery", TOctetLayout::MemberQuery},
            {"WM:INV DMA", TOctetLayout::InventoryChannel},
            {"WM:INV Interrupt", TOctetLayout::InventoryChannel},
            {"WM:INV Port", TOctetLayout::InventoryPort},
            {"WM:INV CPU Information", TOctetLayout::InventoryCpu},
            {"WM:INV Shared Memory", TOctetLayout::InventoryRange},
            {"WM:INV Volume", TOctetLayout::InventoryRange},
            {"NGW: Location", TOctetLayout::GroupWiseLocation},
            {"App:Folder List", TOctetLayout::FolderList},
            {"App:FS Rights Path", TOctetLayout::FsRightsPath},
            {"bhConfig", TOctetLayout::BhConfig},
            {"FW0 USER ADD", TOctetLayout::FirewallUserAdd},
            {"Partition Status", TOctetLayout::PartitionStatus},
            {"Local Received Up To", TOctetLayout::Vector},
            {"Transitive Vector", TOctetLayout::Vector},
            {"Printer Configuration", TOctetLayout::PrinterConfiguration},
        };
        std::unordered_map<std::string, TOctetLayout> map;
        for (const auto& [name, layout] : names)
            map.emplace(UpperCase(name), layout);
        return map;
    }();
    return layouts;
}

std::string BinderyProperty(TBytes v) {
    std::string data = TextAt(v, 47);
    if (data.empty()) {
        // The property's raw bytes, without the zero padding that fills its 128-byte segment.
        const std::size_t count = v.size() > 51 ? v.size() - 51 : 0;
        data = TrimRightChars(HexAt(v, 47, count), "0");
    }
    return Format("%s: %s", TextAt(v, 5).c_str(), data.c_str());
}

std::string PartitionStatus(TBytes v, uint32_t position) {
    // The first value carries four more bytes before the partition's name than the later ones.
    const bool first = position == 1;
    std::string line = Format("%s ", WideTextAt(v, first ? 28 : 24).c_str());
    line += Format("/ Replica %d ", Signed(Word32At(v, 12)));
    line += Format("/ Last Sync:  %s", U_DSTimeToStr(Word32At(v, 8), false).c_str());
    line += "/ " + U_SyncStateToStr(Signed(Word32At(v, 4))) + " ";
    if (first && Word32At(v, 16) != 0) line += Format("/ Error %4X", Word32At(v, 16));
    return line;
}

std::string PickName(uint32_t index, std::initializer_list<const char*> names) {
    return index < names.size() ? std::string(names.begin()[index]) : std::string("n/a");
}

std::string PrinterConfiguration(TBytes v) {
    const auto field = [&](std::size_t number) -> uint32_t { return Word16At(v, 2 * number); };
    const uint32_t kind = field(0);
    std::string text = PickName(kind, {"Other", "Parallel", "Serial", "XNP", "Apple", "Unix", "AIO"});
    const auto interruptAndLoad = [&] {
        text += " / " + (field(26) == 0 ? std::string("Polling") : Format("IRQ %u", field(27)));
        text += Format(" / %s load", field(25) == 0 ? "Manual" : "Auto");
    };
    if (kind == 1) {
        text += Format(" (LPT%u:)", field(24) + 1);
        interruptAndLoad();
    } else if (kind == 2) {
        text = Format("Serial (COM%u:)", field(24) + 1);
        interruptAndLoad();
        if (field(28) != 0) text += " / Xon/Xoff ";
        // The speed is 300 baud doubled field-29 times; an exponent no real port has would
        // overflow any integer, so such a speed is not a number.
        const uint32_t exponent = field(29);
        if (exponent <= 40)
            text += Format(" / %llu bd", 300ULL << exponent);
        else
            text += " / n/a bd";
        text += Format(" / %u Data bits", field(30));
        text += Format(" / %s Stop bits", PickName(field(31), {"1", "1.5", "2"}).c_str());
        text += Format(" / %s parity", PickName(field(32), {"no", "even", "odd"}).c_str());
    } else if (kind == 4) {
        text += Format(" %s %s (%s)", TextAt(v, 48).c_str(), TextAt(v, 116).c_str(), TextAt(v, 82).c_str());
    } else if (kind == 5) {
        text += Format(" %s/%s", TextAt(v, 48).c_str(), TextAt(v, 304).c_str());
    }
    text += Format(" / %s", field(5) == 0 ? "Text" : "Postscript");
    text += Format(" / Service Interval: %u", field(4));
    text += Format(" / Buffer Size: %ukB", field(2));
    text += Format(" / Starting Form: %u", field(1));
    text += Format(
        " / Form Change: %s",
        PickName(field(3), {"as needed", "minimize within Qs", "never", "minimize across Qs"}).c_str());
    text += Format(" / Driver Name: %s", TextAt(v, 16).c_str());
    text += LineBreak;
    return text;
}

// --- Values by syntax

// Thrown inside the formatter for a value whose form does not suit its syntax; caught below and
// turned into the failure message.
struct TBadValue : std::exception {
    explicit TBadValue(uint32_t syntax) : message(Format("Invalid value for syntax %u", syntax)) {}
    const char* what() const noexcept override { return message.c_str(); }
    std::string message;
};

template <typename T>
const T& Expect(const TAttrValue& value, uint32_t syntax) {
    if (const T* typed = std::get_if<T>(&value)) return *typed;
    throw TBadValue(syntax);
}

void FormatInto(std::string_view attrName, std::vector<std::string>& out, const TAttrValue& value,
                uint32_t syntax, uint32_t valueSize, uint32_t position) {
    if (syntax > SynInterval) {
        const TRawValue& raw = Expect<TRawValue>(value, syntax);
        out.push_back(Format("[%X] %s", syntax, HexAt(raw.Bytes, 0, valueSize).c_str()));
        return;
    }
    switch (syntax) {
    case SynUnknown: {
        const TUnknownValue& v = Expect<TUnknownValue>(value, syntax);
        out.push_back(Format("%s [%d] %s", v.AttrName.c_str(), Signed(v.SyntaxID), HexOf(v.Value).c_str()));
        break;
    }
    case SynCiList:
        for (const std::string& element : Expect<TCaseIgnoreList>(value, syntax).Elements)
            out.push_back(element);
        break;
    case SynBoolean:
        out.push_back(BoolToText(Expect<TBooleanValue>(value, syntax).Value != 0));
        break;
    case SynInteger:
    case SynCounter:
        out.push_back(std::to_string(Expect<TIntegerValue>(value, syntax).Value));
        break;
    case SynOctetString:
        out.push_back(U_FormatOctetString(Expect<TOctetString>(value, syntax).Data, attrName, position));
        break;
    case SynFaxNumber:
        out.push_back(Expect<TFaxNumber>(value, syntax).TelephoneNumber);
        break;
    case SynNetAddress: {
        const TNetAddress& v = Expect<TNetAddress>(value, syntax);
        out.push_back(U_NetAddressToStr(v.AddressType, v.Address, true));
        break;
    }
    case SynOctetList:
        for (const std::vector<uint8_t>& element : Expect<TOctetList>(value, syntax).Elements)
            out.push_back(U_FormatOctetString(element, attrName, position));
        break;
    case SynEMailAddress:
        out.push_back(Expect<TEMailAddress>(value, syntax).Address);
        break;
    case SynPath: {
        const TPathValue& v = Expect<TPathValue>(value, syntax);
        out.push_back(Format("(%d) %s:%s", Signed(v.NameSpaceType), v.VolumeName.c_str(), v.Path.c_str()));
        break;
    }
    case SynReplicaPointer: {
        const TReplicaPointer& v = Expect<TReplicaPointer>(value, syntax);
        out.push_back(Format("%s [%s] [Nr: %d]", v.ServerName.c_str(),
                             U_ReplicaTypeToStr(Signed(v.ReplicaType)).c_str(), Signed(v.ReplicaNumber)));
        break;
    }
    case SynObjectACL: {
        const TObjectACL& v = Expect<TObjectACL>(value, syntax);
        out.push_back(U_ACLToStr(v.Privileges, v.SubjectName, v.ProtectedAttrName));
        break;
    }
    case SynPoAddress:
        for (const std::string& line : Expect<TPostalAddress>(value, syntax).Lines)
            out.push_back(line);
        break;
    case SynTimeStamp:
    case SynTime:
        out.push_back(U_DSTimeToStr(Expect<TTimeStamp>(value, syntax).WholeSeconds, true));
        break;
    case SynBackLink:
        out.push_back(Expect<TBackLink>(value, syntax).ObjectName);
        break;
    case SynTypedName: {
        const TTypedName& v = Expect<TTypedName>(value, syntax);
        out.push_back(Format("%s#%d#%d", v.ObjectName.c_str(), Signed(v.Level), Signed(v.Interval)));
        break;
    }
    case SynHold: {
        const THold& v = Expect<THold>(value, syntax);
        out.push_back(Format("%s (%d)", v.ObjectName.c_str(), Signed(v.Amount)));
        break;
    }
    case SynInterval:
        out.push_back(SecondsToText(static_cast<uint32_t>(Expect<TIntegerValue>(value, syntax).Value)));
        break;
    default:
        out.push_back(Expect<TTextValue>(value, syntax).Text);
        break;
    }
}

} // namespace

bool U_FormatValue(std::string_view attrName, TStringList& lines, const TAttrValue& value, uint32_t syntax,
                   uint32_t valueSize, uint32_t position, std::string& failure) {
    // The lines are gathered first, so a value that fails half-way leaves no part of itself behind.
    std::vector<std::string> out;
    try {
        FormatInto(attrName, out, value, syntax, valueSize, position);
        for (std::string& line : out)
            lines.Add(std::move(line));
        return true;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = Format("Cannot format value of syntax %u", syntax);
    }
    return false;
}

std::string U_FormatOctetString(TBytes v, std::string_view attrName, uint32_t position) {
    const auto found = OctetLayouts().find(UpperCase(attrName));
    if (found == OctetLayouts().end()) return HexOf(v);
    switch (found->second) {
    case TOctetLayout::Text:
        return TextAt(v, 0);
    case TOctetLayout::BinderyProperty:
        return BinderyProperty(v);
    case TOctetLayout::TrapDescription:
        return BufferToLines(v, 0, v.size());
    case TOctetLayout::PublicKey:
        return Format("[%X,%X,%s,%X] %s", Word32At(v, 0), Word32At(v, 4), HexAt(v, 8, 14).c_str(),
                      Word32At(v, 22), WideTextAt(v, 26).c_str());
    case TOctetLayout::MemberQuery:
        return Format("%s - %s", WideTextAt(v, 12).c_str(), HexOf(v).c_str());
    case TOctetLayout::InventoryChannel:
        return Format("[%.02X,%d,%d,%d] %s", Word32At(v, 0), Signed(Word32At(v, 4)), Signed(Word32At(v, 8)),
                      Signed(Word32At(v, 12)), WideTextAt(v, 16).c_str());
    case TOctetLayout::InventoryPort:
        return Format("[%.04X,%d,%d,%d] %s", Word16At(v, 0), Signed(Word32At(v, 4)), Signed(Word32At(v, 8)),
                      Signed(Word32At(v, 12)), WideTextAt(v, 16).c_str());
    case TOctetLayout::InventoryCpu:
        return Format("[%d] %s", Signed(Word32At(v, 0)), WideTextAt(v, 8).c_str());
    case TOctetLayout::InventoryRange:
        return Format("[%X,%X,%X,%X,%X] %s", Word32At(v, 0), Word32At(v, 4), Word32At(v, 8), Word32At(v, 12),
                      Word32At(v, 16), WideTextAt(v, 20).c_str());
    case TOctetLayout::GroupWiseLocation:
        return Format("[%s] %s", HexAt(v, 0, 13).c_str(), TextAt(v, 13).c_str());
    case TOctetLayout::FolderList:
        return Format("(%X/%X/%X) %s", Word32At(v, 0), Word32At(v, 4), Word32At(v, 8), TextAt(v, 12).c_str());
    case TOctetLayout::FsRightsPath:
        return Format("(%d/%d/%d/%d) %s", Signed(Word32At(v, 0)), Signed(Word32At(v, 4)),
                      Signed(Word32At(v, 8)), ByteAt(v, 12), TextAt(v, 13).c_str());
    case TOctetLayout::BhConfig:
        return Format("[%d] ", Signed(Word32At(v, 0))) + Format("%s ", TextAt(v, 4).c_str()) +
               Format("%s ", TextAt(v, 92).c_str());
    case TOctetLayout::FirewallUserAdd:
        return TextAt(v, 15);
    case TOctetLayout::PartitionStatus:
        return PartitionStatus(v, position);
    case TOctetLayout::Vector:
        return Format("(%04X/%04X/%04X) %s", Word32At(v, 0), Word32At(v, 4), Word32At(v, 8),
                      WideTextAt(v, 12).c_str());
    case TOctetLayout::PrinterConfiguration:
        return PrinterConfiguration(v);
    }
    return HexOf(v);
}

std::string U_NetAddressToStr(uint32_t addressType, TBytes a, bool withType) {
    if (a.empty()) return {};
    std::string text;
    switch (addressType) {
    case 0: // IPX: network number, node
        text = Format("%s:%s", HexAt(a, 0, 4).c_str(), HexAt(a, 4, 6).c_str());
        break;
    case 1:
    case 7:
    case 10:
    case 11: // address first, then the port, high byte first
        text = Format("%u.%u.%u.%u:%u", ByteAt(a, 0), ByteAt(a, 1), ByteAt(a, 2), ByteAt(a, 3),
                      ByteAt(a, 4) << 8 | ByteAt(a, 5));
        break;
    case 8:
    case 9: // UDP and TCP: the port first, high byte first, then the address
        text = Format("%u.%u.%u.%u:%u", ByteAt(a, 2), ByteAt(a, 3), ByteAt(a, 4), ByteAt(a, 5),
                      ByteAt(a, 0) << 8 | ByteAt(a, 1));
        break;
    case 13:
        text = WideTextAt(a, 0);
        break;
    default: // a kind we cannot read is shown raw, and always with its type
        text = Format("[%s]", HexAt(a, 0, 12).c_str());
        withType = true;
        break;
    }
    return withType ? Format("(%d) ", Signed(addressType)) + text : text;
}

std::string U_ReplicaTypeToStr(int32_t replicaType) {
    switch (replicaType) {
    case 0:
        return "Master";
    case 1:
        return "Secondary";
    case 2:
        return "Read-Only";
    case 3:
        return "Subordinate Reference";
    default:
        return Format("Unknown (Type: %d)", replicaType);
    }
}

std::string U_SyncStateToStr(int32_t state) {
    switch (state) {
    case 0:
        return "(local error)";
    case 1:
        return "(remote error)";
    case 2:
        return "(in sync)";
    default:
        return Format("(%d - unknown)", state);
    }
}

std::string U_DSTimeToStr(uint32_t seconds, bool toLocal) {
    double dateTime = DateTimeFromUnix(seconds);
    if (toLocal) dateTime -= TimeZoneBias(seconds) / 1440.0;
    // "c" is the desktop's date and time notation: short date, then long time unless midnight.
    std::string text = FormatDateTime("c", dateTime);
    if (text.empty()) text = FormatDateTime("ddddd", dateTime);
    if (text.empty()) text = FormatDateTime("tt", dateTime);
    return text;
}

bool U_DateTimeToDSTime(double dateTime, bool fromLocal, uint32_t& seconds) {
    seconds = 0;
    if (!std::isfinite(dateTime)) return false;
    double value = dateTime;
    const double asUtc = (dateTime - UnixEpochDateTime) * 86400.0;
    // Far outside the range nothing is looked up (the result fails below in any case), so the
    // instant handed to the C library always fits its time type.
    if (fromLocal && std::fabs(asUtc) < 1e11) {
        // The bias belongs to the instant, which depends on the bias: take it at the local time
        // read as UTC, then once more at the instant that gives.
        const int64_t guess = std::llround(asUtc);
        int32_t bias = TimeZoneBias(guess);
        bias = TimeZoneBias(guess + int64_t{bias} * 60);
        value += bias / 1440.0;
    }
    const double result = std::round((value - UnixEpochDateTime) * 86400.0);
    if (!(result >= 0.0 && result <= LargestDSTime)) return false;
    seconds = static_cast<uint32_t>(result);
    return true;
}

} // namespace era
