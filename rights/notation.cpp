#include "rights/notation.h"

#include "directory/attribute_names.h"
#include "directory/names.h"
#include "util/text.h"

#include <cstdint>

namespace era {

namespace {

enum TAttributeClass { acEntry, acAllAttributes, acSingle };

TAttributeClass ClassOf(std::string_view attribute) {
    if (attribute.find(EntryRightsAttr) != std::string_view::npos) return acEntry;
    if (attribute.find(AllAttributesRightsAttr) != std::string_view::npos) return acAllAttributes;
    return acSingle;
}

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
        if (mask & EntrySupervisor) result |= EntryBrowse | EntryCreate | EntryDelete | EntryRename;
        break;
    case rkAttribute:
        if (mask & AttributeWrite) result |= AttributeSelf;
        if (mask & AttributeRead) result |= AttributeCompare;
        if (mask & AttributeSupervisor) result |= AttributeCompare | AttributeRead | AttributeWrite | AttributeSelf;
        break;
    case rkFileSystem:
        if (mask & FileSupervisor) result |= AllFileRights;
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
