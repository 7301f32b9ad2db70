#pragma once

// Listing containers batch by batch: a cursor over one listing, a container's subordinates into
// lists, and a container's tree flat or recursively.

#include "directory/attributes.h"
#include "directory/context.h"

#include <string>

namespace era {

// One listing in progress. It owns its private context and buffer and frees them when the
// listing reaches its end or the cursor goes away.
struct DSListCursor {
    int32_t IterationHandle = -1;
    std::string CurrentName;        // relative to the listed container
    std::string Container;          // full name
    uint32_t AttrCount = 0;
    uint32_t EntryCount = 0;        // entries in the current batch
    uint32_t Index = 0;             // the next entry of the batch
    DSObjectInfo Info;              // the current entry
    TDSContext Context;
    bool ContainersOnly = false;
    std::unique_ptr<TDSBuffer> Buffer;
};

// Opens a listing of the container (containers only on request); the cursor on the first entry.
// The listing's code with no current entry (an empty name) when the container holds nothing.
NWCCODE U_DSListOpen(NWDSContextHandle context, const std::string& container, bool containersOnly,
                     DSListCursor& cursor);
// The cursor on the next entry; -1 after the last.
NWCCODE U_DSListNext(DSListCursor& cursor);
// Lists a container's subordinates: containers by name into containers, every subordinate (with
// "class: " prefix when withClass, filtered by exact class) into objects, the prefix length attached.
NWCCODE U_DSListContainer(NWDSContextHandle context, const std::string& container, TStringList* containers,
                          bool withClass, const std::string& classFilter, TStringList* objects);
// Lists a container's entries in full form: kind 1 containers only, 2 leaves only, other all; with
// recurse the containers below are listed the same way (also those not added).
NWCCODE U_DSListTree(NWDSContextHandle context, const std::string& container, TStringList& list, bool recurse,
                     bool withClass, const std::string& classFilter, int kind);
// Whether a class matches a filter ("ou" stands for "Organizational Unit"; "" and "*" match all).
bool U_ClassMatches(const std::string& classFilter, const std::string& className);

} // namespace era
