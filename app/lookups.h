#pragma once

// The lookups both faces offer besides a scan — a container's subordinates (ls), the lines of an
// attribute path (attr), a search, the directory's own effective rights (rights) — as results and
// codes, never printed; and the name and path helpers they and the scan share: names in comma form,
// the server a path lies on, the protected attribute of a rights question, and a hint for a
// relative name that names no object.

#include "directory/client.h"
#include "util/string_list.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace era {

class TMainState;

// Told of every client call a lookup makes, with its item, and its code: the face's debug log.
using TCallLog = std::function<void(const std::string& call, NWCCODE code)>;

// How a lookup ended.
enum class TLookupOutcome {
    Done,             // Lines (and for rights Mask) hold the answer
    CallFailed,       // Call failed with Code; Hint may say what was meant
    NoContainer,      // ls: Item exists but is no container
    UnknownAttribute, // rights: Item is no attribute of the schema nor a special one
};

// The answer of a lookup.
struct TLookup {
    TLookupOutcome Outcome = TLookupOutcome::Done;
    NWCCODE Code = 0;  // the failed call's code
    std::string Call;  // the failed call with its item, e.g. "U_DSListContainer (.acme)"
    std::string Hint;  // what the user may have meant; empty when nothing fits
    std::string Item;  // the name the outcome is about
    TStringList Lines; // the answer, one line each
    uint32_t Mask = 0; // rights: the bits of the answer
};

// A name as the user gave it, in the directory's full form when it is a comma-form DN
// ("cn=jdoe,ou=east,o=acme" → ".jdoe.east.acme"); any other name is left as it is.
std::string DirectoryName(const std::string& given);

// The full name of the object a user typed (relative to the context, full, or in comma form) as
// the directory resolves it; when it does not, the typed name made full (".vdavis"), so that what
// is missing is named as it was meant.
std::string FullObjectName(NWDSContextHandle context, const std::string& given);

// Selects the workstation's server that a NetWare path (a mapped drive letter or \\SERVER\VOLUME)
// lies on, when it is not the selected one already. False when the path names no known server.
bool SelectServerOfPath(TMainState& state, const std::string& path);

// The workstation's tree of that name as the workstation spells it (any letter case); empty when
// the workstation is not attached to it.
std::string KnownTree(const TStringList& trees, const std::string& name);

// A list's items joined by ", ", as the log names them.
std::string Joined(const TStringList& list);

// trees: the trees the workstation is attached to.
TLookup WorkstationTrees(const TCallLog& log = {});
// servers: the servers the workstation is attached to, each with the tree it belongs to (Trees,
// empty where the workstation does not know it).
struct TServerTrees {
    TStringList Servers;
    std::vector<std::string> Trees;
};
TServerTrees WorkstationServers(const TCallLog& log = {});

// ls: the container's subordinates as "class: name" (empty name: [Root]).
TLookup ListContainer(NWDSContextHandle context, const std::string& given, const TCallLog& log = {});
// attr: the value lines of an attribute path ("Member|Telephone Number") of an object.
TLookup AttributeLines(NWDSContextHandle context, const std::string& given, const std::string& path,
                       const TCallLog& log = {});
// search: the names of the objects below base (scope 0 the base, 1 its subordinates, 2 the subtree)
// that match the filter, with the template's lines when one is given.
TLookup SearchObjects(NWDSContextHandle context, const std::string& base, const std::string& filter,
                      int scope, const std::string& templateText, const TCallLog& log = {});
// rights: the directory's own effective rights of subject on object for a protected attribute
// (empty: [Entry Rights]), asked once: one line, the rights text; Mask its bits.
TLookup EffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                        const std::string& attribute, const TCallLog& log = {});

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
