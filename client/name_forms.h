#pragma once

// How a directory context reads and writes object names; shared by every backend.
//
// Input: a leading "." makes a name full (counted from the tree's root); without it a name is
// relative to the context's name context, each trailing "." dropping one leading container of
// it. The special names are taken as they are written. Typed input ("CN=admin.O=acme") is always
// accepted; the types are ignored. A backslash escapes the next character.
//
// Output: typeless ("admin.sales.acme") or typed ("CN=admin.OU=sales.O=acme"); with name
// canonicalisation on and a name context below [Root], names below the name context come back
// relative to it and every other name in full form with a leading ".".

#include "directory/client.h"

#include <string>
#include <string_view>
#include <vector>

namespace era {

// One part of a directory name: its naming type ("CN"; empty when not known) and its value.
struct TNamePart {
    std::string Type;
    std::string Value;
};
// A full name, the object's own part first and the top container last; empty: [Root].
using TNameParts = std::vector<TNamePart>;

// True for "[Root]", "[Public]", "[This]" and "[Supervisor]" (exact comparison).
bool IsSpecialDirectoryName(std::string_view name);

// A name read against a name context.
struct TResolvedName {
    std::string Special;   // "[Public]", "[This]" or "[Supervisor]"; empty for an object name
    TNameParts Parts;      // the full name of an object ("[Root]": no parts)
};

// Splits a name context ("sales.acme", ".sales.acme", "OU=sales.O=acme", "[Root]") into its
// full parts.
NWCCODE ParseNameContext(std::string_view nameContext, TNameParts& parts);
// Reads an input name against the parts of the name context.
NWCCODE ResolveInputName(std::string_view input, const TNameParts& nameContext, TResolvedName& resolved);

// Writes a full name in the form the context flags ask for: typeless with DcvTypelessNames,
// typed otherwise; relative to nameContext when canonicalisation is on and the name lies below
// it. [Root] is written "[Root]".
std::string WriteOutputName(const TNameParts& full, uint32_t flags, const TNameParts& nameContext);
// Writes a full name without abbreviation and without a leading dot (typeless or typed).
std::string WriteFullName(const TNameParts& full, bool typed);
// Gives the parts without a type the types a client would guess: the leftmost CN, the top
// container O, those between OU.
void ApplyDefaultTypes(TNameParts& parts);

// The hash key of a full name: its values folded to lower case, escaped, joined by ".".
std::string NameKey(const TNameParts& full);
// True when both full names are the same, without regard to case and types.
bool SameName(const TNameParts& a, const TNameParts& b);

// Splits an LDAP DN ("cn=admin,ou=sales,o=acme") into full parts with directory naming types
// ("CN", "OU", "O"); false with a reason for a DN that cannot be read or has a multi-valued part.
bool LdapDnToParts(std::string_view dn, TNameParts& parts, std::string& error);
// Writes full parts as an LDAP DN, with LDAP naming types and the DN escapes.
std::string PartsToLdapDn(const TNameParts& parts);

} // namespace era
