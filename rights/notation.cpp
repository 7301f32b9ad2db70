#include "rights/notation.h"

#include "directory/attribute_names.h"
#include "directory/names.h"
#include "util/text.h"

#include <array>
#include <cstdint>

namespace era {

namespace {

constexpr std::uint32_t InheritBit = 0x40;

constexpr std::array<TRightsLetter, 8> FileSystemLetters{{
    {'R', 0x001},
    {'W', 0x002},
    {'C', 0x008},
    {'E', 0x010},
    {'A', 0x020},
    {'F', 0x040},
    {'M', 0x080},
    {'S', 0x100},
}};
// For entry rights the letter I stands for the bit being clear; for attribute rights, set.
constexpr std::array<TRightsLetter, 6> EntryLetters{{
    {'B', 0x01},
    {'C', 0x02},
    {'D', 0x04},
    {'R', 0x08},
    {'A', 0x10},
    {'I', InheritBit},
}};
constexpr std::array<TRightsLetter, 6> AttributeLetters{{
    {'C', 0x01},
    {'R', 0x02},
    {'W', 0x04},
    {'S', 0x08},
    {'A', 0x20},
    {'I', InheritBit},
}};

// The decimal number a text holds once its blanks are gone; false when it holds none.
bool ReadNumber(std::string_view text, std::int64_t& value) {
    const std::string digits = RemoveChars(text, " ");
    std::size_t i = 0;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) negative = digits[i++] == '-';
    if (i == digits.size()) return false;
    value = 0;
    for (; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9') return false;
        // Anything beyond 32 bits is out of range whatever digits follow; stop growing there.
        if (value <= 0xFFFFFFFFLL) value = value * 10 + (digits[i] - '0');
    }
    if (negative) value = -value;
    return true;
}

enum TAttributeClass { acEntry, acAllAttributes, acSingle };

TAttributeClass ClassOf(std::string_view attribute) {
    if (attribute.find(EntryRightsAttr) != std::string_view::npos) return acEntry;
    if (attribute.find(AllAttributesRightsAttr) != std::string_view::npos) return acAllAttributes;
    return acSingle;
}

} // namespace

std::span<const TRightsLetter> U_RightsLetters(TRightsKind kind) {
    switch (kind) {
    case rkFileSystem:
        return FileSystemLetters;
    case rkEntry:
        return EntryLetters;
    case rkAttribute:
        return AttributeLetters;
    }
    return {};
}

std::string U_RightsToStr(std::uint32_t mask, TRightsKind kind) {
    std::string letters;
    for (const TRightsLetter& r : U_RightsLetters(kind)) {
        const bool set = (mask & r.Bit) != 0;
        const bool shown = (kind == rkEntry && r.Letter == 'I') ? !set : set;
        letters += shown ? r.Letter : ' ';
    }
    return "[" + letters + "]";
}

std::uint32_t U_StrToRights(std::string_view text, TRightsKind kind, bool* ok) {
    if (ok) *ok = true;
    std::int64_t number = 0;
    if (ReadNumber(text, number) && number != 0) {
        if (number > 0 && number <= 0xFFFFFFFFLL) return static_cast<std::uint32_t>(number);
        if (ok) *ok = false;
        return 0;
    }
    std::uint32_t mask = 0;
    for (const TRightsLetter& r : U_RightsLetters(kind)) {
        if (r.Letter != 'I' && text.find(r.Letter) != std::string_view::npos) mask |= r.Bit;
    }
    const bool hasI = text.find('I') != std::string_view::npos;
    if ((kind == rkEntry && !hasI) || (kind == rkAttribute && hasI)) mask |= InheritBit;
    return mask;
}

TRightsKind U_RightsKindOf(std::string_view attribute) {
    const bool entry = attribute.find(EntryRightsAttr) != std::string_view::npos ||
                       attribute.find(InheritanceMaskAttr) != std::string_view::npos;
    return entry ? rkEntry : rkAttribute;
}

std::string U_FormatACL(std::string_view rights, std::string_view trustee, std::string_view attribute) {
    std::string text(rights);
    if (text.find('[') == std::string::npos) text = "[" + text + "]";
    return text + " " + std::string(trustee) + " / " + std::string(attribute);
}

std::string U_ACLToStr(std::uint32_t mask, std::string_view trustee, std::string_view attribute) {
    return U_FormatACL(U_RightsToStr(mask, U_RightsKindOf(attribute)), trustee, attribute);
}

namespace {

// StrBefore and StrAfter (delimiter excluded) as views: the analysis parses every entry many times.
std::string_view ViewBefore(std::string_view text, std::string_view delimiter) {
    const size_t at = text.find(delimiter);
    return at == std::string_view::npos ? text : text.substr(0, at);
}

std::string_view ViewAfter(std::string_view text, std::string_view delimiter) {
    const size_t at = text.find(delimiter);
    return at == std::string_view::npos ? text : text.substr(at + delimiter.size());
}

} // namespace

TACL U_ParseACL(std::string_view text) {
    TACL acl;
    acl.Rights = ViewAfter(ViewBefore(text, "] "), "[");
    acl.Trustee = ViewBefore(ViewAfter(text, "] "), " / ");
    std::string_view attribute = ViewAfter(text, " / ");
    while (!attribute.empty() && attribute.front() == '"') attribute.remove_prefix(1);
    while (!attribute.empty() && attribute.back() == '"') attribute.remove_suffix(1);
    acl.Attribute = attribute;
    acl.Kind = U_RightsKindOf(acl.Attribute);
    // A rights part that is an out-of-range number grants nothing.
    acl.Mask = U_StrToRights(acl.Rights, acl.Kind);
    return acl;
}

std::string U_ACLRights(std::string_view text) {
    return StrAfter(StrBefore(text, "]", true), "[", true);
}

std::string U_ACLTrustee(std::string_view text) {
    std::string trustee = StrAfter(StrBefore(text, " /", true), "] ", true);
    if (!trustee.empty() && trustee.front() == '[') return trustee;
    return U_FullName(trustee);
}

std::uint32_t U_ImpliedRights(std::uint32_t mask, TRightsKind kind) {
    std::uint32_t result = mask;
    switch (kind) {
    case rkEntry:
        if (mask & 0x10) result |= 0x0F;
        break;
    case rkAttribute:
        if (mask & 0x04) result |= 0x08;
        if (mask & 0x02) result |= 0x01;
        if (mask & 0x20) result |= 0x0F;
        break;
    case rkFileSystem:
        if (mask & 0x100) result |= 0x1FF;
        break;
    }
    return result;
}

bool U_IsInheritable(std::uint32_t mask, TRightsKind kind) {
    if (kind == rkAttribute) return (mask & InheritBit) != 0;
    if (kind == rkEntry) return (mask & InheritBit) == 0;
    return false;
}

bool U_MaskApplies(const TACL& filter, const TACL& entry) {
    const TAttributeClass entryClass = ClassOf(entry.Attribute);
    switch (ClassOf(filter.Attribute)) {
    case acEntry:
        return entryClass == acEntry;
    case acAllAttributes:
        return entryClass != acEntry;
    case acSingle:
        return entryClass == acSingle && entry.Attribute == filter.Attribute;
    }
    return false;
}

std::string U_FilterRights(std::string_view filterLetters, std::string_view entryLetters) {
    std::string result(entryLetters);
    for (char& c : result) {
        if (c != 'I' && filterLetters.find(c) == std::string_view::npos) c = ' ';
    }
    return result;
}

bool U_HasRights(std::string_view letters) {
    return letters.find_first_not_of(" I") != std::string_view::npos;
}

} // namespace era
