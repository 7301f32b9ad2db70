#include "directory/rights_bits.h"

#include "directory/attribute_names.h"
#include "util/text.h"

#include <array>
#include <cstdint>

namespace era {

namespace {

constexpr std::array<TRightsLetter, 8> FileSystemLetters{{
    {'R', FileRead},
    {'W', FileWrite},
    {'C', FileCreate},
    {'E', FileErase},
    {'A', FileAccessControl},
    {'F', FileScan},
    {'M', FileModify},
    {'S', FileSupervisor},
}};
// For entry rights the letter I stands for the bit being clear; for attribute rights, set.
constexpr std::array<TRightsLetter, 6> EntryLetters{{
    {'B', EntryBrowse},
    {'C', EntryCreate},
    {'D', EntryDelete},
    {'R', EntryRename},
    {'A', EntrySupervisor},
    {'I', InheritBit},
}};
constexpr std::array<TRightsLetter, 6> AttributeLetters{{
    {'C', AttributeCompare},
    {'R', AttributeRead},
    {'W', AttributeWrite},
    {'S', AttributeSelf},
    {'A', AttributeSupervisor},
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

} // namespace era
