#pragma once

// The embedded directory's search: a filter expression bound to one tree, and the state of one
// search that goes on over several calls.

#include "client/filter_expression.h"
#include "client/snapshot/snapshot_client.h"

#include <functional>
#include <unordered_set>
#include <vector>

namespace era {

// Whether one object of the bound tree matches the filter.
using TObjectTest = std::function<bool(uint32_t object)>;

// Binds a filter to a tree as a context reads names (values naming objects are resolved once);
// ErrIllegalDsName for a name value that cannot be read.
NWCCODE BindSnapshotFilter(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& filter,
                           TObjectTest& test);
// The objects that can match when the filter is (or is an AND holding) an equality on a name
// attribute: the holders of the name (an object of the tree, a bracketed name or a name of no
// object) from the tree's index, in file order; nullptr when the filter offers no such equality
// and the scope must be walked.
const std::vector<uint32_t>* IndexedSnapshotCandidates(const TContextState& context, const TSnapshotTree& tree,
                                                       const TFilterNode& filter);

// One search over several calls.
struct TSnapshotSource::TSearch : TIterationBase {
    const TSnapshotTree* Tree = nullptr;
    std::vector<uint32_t> Candidates;     // the objects to test, in file order
    size_t Next = 0;                      // the next candidate
    bool NextMatches = false;             // the next candidate was tested already and matched
    bool SearchAliases = false;           // an alias found stands for the object it names
    std::unordered_set<uint32_t> Reported;   // with SearchAliases: what was returned already
    TObjectTest Test;
};

} // namespace era
