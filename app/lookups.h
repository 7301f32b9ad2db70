#pragma once

// What the lookups (ls, attr, search, rights) need besides the access layer: the protected
// attribute of a rights question as the directory spells it, and a hint for a relative name that
// names no object.

#include "directory/client.h"

#include <string>

namespace era {

// Whether the name is "[Entry Rights]" or "[All Attributes Rights]", in any letter case.
bool IsSpecialAttribute(const std::string& name);
// The protected attribute as the directory spells it: "[Entry Rights]" and "[All Attributes
// Rights]" in any letter case become their own spelling; any other name must be known to the
// schema. 0, or the code of the schema lookup (-603 for a name it does not know).
NWCCODE ProtectedAttributeName(NWDSContextHandle context, const std::string& given, std::string& attribute);

// For a name that names no object, typed as a relative name where the full one was meant ("vdavis"
// or "vdavis.hr", or the ".vdavis" made of it): "did you mean .vdavis.hr.acme?" with the full
// names of up to three objects whose names begin with its parts; empty for a special name, or
// when nothing fits.
std::string RelativeNameHint(NWDSContextHandle context, const std::string& name);

} // namespace era
