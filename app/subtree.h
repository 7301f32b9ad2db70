#pragma once

// Every object at and below a container, one at a time: the container first, then its
// subordinates sorted by name, each followed by its own subtree (depth first). The walk holds
// only the listings of the containers on its way down, never the whole subtree, so a scan of a
// tree of any size can take its objects from it as it goes.

#include "directory/client.h"

#include <string>
#include <vector>

namespace era {

// A container whose subordinates could not be listed: the walk goes on without them.
struct TSubtreeFailure {
    std::string Container;
    NWCCODE Code = 0;
};

class TSubtreeWalk {
public:
    // The walk of the container's subtree in the context (a name as the context resolves it, a
    // full name, "[Root]"). Nothing is read until the first Next.
    TSubtreeWalk(NWDSContextHandle context, std::string container);

    // The full name of the next object; false after the last one, or when the container itself
    // cannot be read (StartCode then says why).
    bool Next(std::string& name);

    // The code of reading the container itself: 0 once it was read; before the first Next, 0.
    NWCCODE StartCode() const { return startCode_; }
    // The containers met on the way whose listing failed, in the order met.
    const std::vector<TSubtreeFailure>& Failures() const { return failures_; }

private:
    struct TEntry {
        std::string Name; // relative to the listed container
        bool Container = false;
    };
    struct TLevel {
        std::string Base;            // the listed container's full name
        std::vector<TEntry> Entries; // sorted by name
        size_t Next = 0;
    };
    // The container's subordinates, sorted, as a new level below the current ones.
    void Descend(const std::string& container);

    NWDSContextHandle context_;
    std::string container_;
    bool started_ = false;
    NWCCODE startCode_ = 0;
    std::vector<TLevel> levels_;
    std::vector<TSubtreeFailure> failures_;
};

// How many objects the walk of the container gives (a walk of its own; 0 when it cannot be read).
size_t CountSubtree(NWDSContextHandle context, const std::string& container);

} // namespace era
