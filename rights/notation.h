#pragma once

// The ACL entry text "rights trustee / attribute" read back into its record, and the small rights
// arithmetic of the analysis: implied rights, the inheritable flag, inherited rights filters. The
// bits, their letters and the text of a mask are directory/rights_bits.h, below the analysis.

#include "directory/rights_bits.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace era {

// One parsed ACL entry.
struct TACL {
    std::string Rights;    // the letters between the brackets, blanks kept
    std::string Attribute; // protected attribute, double quotes trimmed from both ends
    std::string Trustee;   // as written in the text
    TRightsKind Kind = rkFileSystem;
    std::uint32_t Mask = 0;
};

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
