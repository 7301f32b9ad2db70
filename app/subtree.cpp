#include "app/subtree.h"

#include "directory/attributes.h"
#include "directory/completion_codes.h"
#include "directory/context.h"
#include "directory/listing.h"
#include "directory/names.h"
#include "util/text.h"

#include <algorithm>

namespace era {

TSubtreeWalk::TSubtreeWalk(NWDSContextHandle context, std::string container)
    : context_(context), container_(std::move(container)) {}

bool TSubtreeWalk::Next(std::string& name) {
    if (!started_) {
        started_ = true;
        DSObjectInfo info;
        if (!U_DSObjectExists(context_, container_, info, &startCode_)) {
            if (startCode_ == 0) startCode_ = ErrNoSuchEntry;
            return false;
        }
        name = U_FullName(info.FullName);
        if ((info.Info.ObjectFlags & DsContainerEntry) != 0) Descend(name);
        return true;
    }
    while (!levels_.empty()) {
        TLevel& level = levels_.back();
        if (level.Next >= level.Entries.size()) {
            levels_.pop_back();
            continue;
        }
        const TEntry& entry = level.Entries[level.Next++];
        const bool container = entry.Container;
        // Taken before descending, which may grow levels_ and move the level it came from.
        name = U_CombineContext(level.Base, entry.Name);
        if (container) Descend(name);
        return true;
    }
    return false;
}

void TSubtreeWalk::Descend(const std::string& container) {
    TLevel level;
    level.Base = U_DSCombineWithContext(context_, container);
    DSListCursor cursor;
    NWCCODE code = U_DSListOpen(context_, container, false, cursor);
    while (code == 0 && cursor.EntryCount > 0) {
        if (!cursor.CurrentName.empty())
            level.Entries.push_back(
                {cursor.CurrentName, (cursor.Info.Info.ObjectFlags & DsContainerEntry) != 0});
        code = U_DSListNext(cursor);
    }
    if (code != 0 && code != -1) failures_.push_back({container, code});
    // By the subordinates' own names, without regard to letter case, as the selection page sorts.
    std::stable_sort(level.Entries.begin(), level.Entries.end(),
                     [](const TEntry& a, const TEntry& b) { return CompareText(a.Name, b.Name) < 0; });
    if (!level.Entries.empty()) levels_.push_back(std::move(level));
}

size_t CountSubtree(NWDSContextHandle context, const std::string& container) {
    TSubtreeWalk walk(context, container);
    size_t count = 0;
    for (std::string name; walk.Next(name);)
        ++count;
    return count;
}

} // namespace era
