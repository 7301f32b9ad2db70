// The rights notation over arbitrary text: ACL entry texts and rights texts of every kind (and of
// values that are no kind), and the small rights arithmetic on what they give.

#include "rights/notation.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const TACL acl = U_ParseACL(text);
    (void)U_ACLRights(text);
    (void)U_ACLTrustee(text);
    const TRightsKind aclKind = U_RightsKindOf(acl.Attribute);
    (void)U_FormatACL(acl.Rights, acl.Trustee, acl.Attribute);
    (void)U_ACLToStr(acl.Mask, acl.Trustee, acl.Attribute);
    (void)U_FilterRights(acl.Rights, text);
    (void)U_HasRights(acl.Rights);
    (void)U_MaskApplies(acl, U_ParseACL(acl.Trustee));
    (void)U_IsInheritable(acl.Mask, aclKind);

    for (int kind = 0; kind <= 4; ++kind) {
        const auto k = static_cast<TRightsKind>(kind == 4 ? 255 : kind);
        bool ok = true;
        const uint32_t mask = U_StrToRights(text, k, &ok);
        if (!ok && mask != 0) std::abort();   // a range error gives no rights
        const std::string shown = U_RightsToStr(mask, k);
        // What is printed reads back as the same rights (letters the kind has).
        if (kind <= 2) {
            uint32_t letters = 0;
            for (const auto& letter : U_RightsLetters(k)) letters |= letter.Bit;
            bool again = true;
            if (U_StrToRights(shown, k, &again) != (mask & letters) || !again) std::abort();
        }
        (void)U_ImpliedRights(mask, k);
        (void)U_IsInheritable(mask, k);
        (void)U_ACLToStr(mask, text, text);
    }
    return 0;
}
