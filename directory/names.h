#pragma once

// The forms of directory object names: typeless, dot-separated, relative name first
// (admin.sales.acme); a leading "." marks a full name counted from the tree's root. The special
// names "[Root]", "[This]", "[Public]" and "[Supervisor]" never take the dot. These are pure text
// rules; the operations on a client context live beside them.

#include <string>
#include <string_view>

namespace era {

// Whether the text is one of the four special names, written exactly so.
bool U_IsSpecialName(std::string_view text);
// The name with a leading "." unless it is empty, already has one, or is a special name.
std::string U_FullName(std::string_view name);
// The text without its first character when that is ".".
std::string U_StripLeadingDot(std::string_view text);
// A comma-form name with type prefixes (cn=admin,o=acme) in typeless dot form (admin.acme).
std::string U_TypelessName(std::string_view name);
// The container or object that a list item ("[ .. ]", "..", ".", a name) leads to from the container.
std::string U_CombineContext(std::string_view container, std::string_view item);

} // namespace era
