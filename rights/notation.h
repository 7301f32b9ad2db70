#pragma once

// Rights masks of the three kinds, their one-letter notation ("[RWCEAFMS]", "[BCDRAI]",
// "[CRWSAI]"), the ACL entry text "rights trustee / attribute" and its parsed record, and the small
// rights arithmetic of the analysis: implied rights, the inheritable flag, inherited rights filters.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace era {

// What a rights mask protects; the numbers are the values passed around.
enum TRightsKind : std::uint8_t { rkFileSystem = 0, rkEntry = 1, rkAttribute = 2 };

// One letter of the notation and the bit it stands for.
struct TRightsLetter {
    char Letter;
    std::uint32_t Bit;
};

// One parsed ACL entry.
struct TACL {
    std::string Rights;    // the letters between the brackets, blanks kept
    std::string Attribute; // protected attribute, double quotes trimmed from both ends
    std::string Trustee;   // as written in the text
    TRightsKind Kind = rkFileSystem;
    std::uint32_t Mask = 0;
};

// The letters of a kind in notation order (empty for a value that is no kind).
std::span<const TRightsLetter> U_RightsLetters(TRightsKind kind);
// "[...]" with one position per letter: the letter when the right is present, else a blank.
std::string U_RightsToStr(std::uint32_t mask, TRightsKind kind);
// The mask a rights text (or a decimal number) stands for. A negative or too large number is a
// range error: the result is 0 and *ok (when given) false; otherwise *ok is true.
std::uint32_t U_StrToRights(std::string_view text, TRightsKind kind, bool* ok = nullptr);
// rkEntry for "[Entry Rights]" and "[Inheritance Mask]" (substring), else rkAttribute.
TRightsKind U_RightsKindOf(std::string_view attribute);
// "%s %s / %s" of rights text (bracketed when it holds no "["), trustee and attribute.
std::string U_FormatACL(std::string_view rights, std::string_view trustee, std::string_view attribute);
// The ACL entry text of a mask, printed in the kind of the attribute.
std::string U_ACLToStr(std::uint32_t mask, std::string_view trustee, std::string_view attribute);
// The record of an ACL entry text.
TACL U_ParseACL(std::string_view text);
// The rights letters of an ACL entry text.
std::string U_ACLRights(std::string_view text);
// The trustee of an ACL entry text in full form.
std::string U_ACLTrustee(std::string_view text);
// The mask with the rights that its rights imply added.
std::uint32_t U_ImpliedRights(std::uint32_t mask, TRightsKind kind);
// Whether an assignment of this mask flows down to the objects below.
bool U_IsInheritable(std::uint32_t mask, TRightsKind kind);
// Whether an inherited rights filter acts on an entry, by the classes of their attributes.
bool U_MaskApplies(const TACL& filter, const TACL& entry);
// The entry letters with every letter that the filter letters lack (save I) made a blank.
std::string U_FilterRights(std::string_view filterLetters, std::string_view entryLetters);
// Whether the letters hold any right (anything besides blanks and I).
bool U_HasRights(std::string_view letters);

} // namespace era
