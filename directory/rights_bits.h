#pragma once

// The rights bits of the three kinds (file system, entry, attribute) as the client hands them
// out, their one-letter notation ("[RWCEAFMS]", "[BCDRAI]", "[CRWSAI]") and the text of a mask.
// They sit beside the client interface because every layer reads them: the access layer prints
// a mask, a workstation file spells one, the analysis does its arithmetic on them.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace era {

// --- File-system rights
constexpr std::uint32_t FileRead = 0x001;
constexpr std::uint32_t FileWrite = 0x002;
constexpr std::uint32_t FileCreate = 0x008;
constexpr std::uint32_t FileErase = 0x010;
constexpr std::uint32_t FileAccessControl = 0x020;
constexpr std::uint32_t FileScan = 0x040;
constexpr std::uint32_t FileModify = 0x080;
constexpr std::uint32_t FileSupervisor = 0x100;
constexpr std::uint32_t AllFileRights = 0x1FF;
// --- Entry rights
constexpr std::uint32_t EntryBrowse = 0x01;
constexpr std::uint32_t EntryCreate = 0x02;
constexpr std::uint32_t EntryDelete = 0x04;
constexpr std::uint32_t EntryRename = 0x08;
constexpr std::uint32_t EntrySupervisor = 0x10;
constexpr std::uint32_t EntryRightsBits = 0x1F; // Browse, Create, Delete, Rename, Supervisor
// --- Attribute rights
constexpr std::uint32_t AttributeCompare = 0x01;
constexpr std::uint32_t AttributeRead = 0x02;
constexpr std::uint32_t AttributeWrite = 0x04;
constexpr std::uint32_t AttributeSelf = 0x08;
constexpr std::uint32_t AttributeSupervisor = 0x20;
constexpr std::uint32_t AttributeRightsBits = 0x2F; // Compare, Read, Write, Self, Supervisor
// Bit 0x40 of a stored ACL value: set on an entry-rights assignment that stays on its object,
// set on an attribute-rights assignment that flows down.
constexpr std::uint32_t InheritBit = 0x40;

// What a rights mask protects; the numbers are the values passed around.
enum TRightsKind : std::uint8_t { rkFileSystem = 0, rkEntry = 1, rkAttribute = 2 };

// One letter of the notation and the bit it stands for.
struct TRightsLetter {
    char Letter;
    std::uint32_t Bit;
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

} // namespace era
