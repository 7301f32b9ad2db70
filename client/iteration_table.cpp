#include "client/iteration_table.h"

#include <climits>

namespace era {

NWCCODE TIterationTable::EndBatch(int32_t& handle, std::unique_ptr<TIterationBase> fresh, bool finished,
                                  NWCCODE code, TDSBuffer& result) {
    if (finished || code != 0) {
        if (handle != NoIteration) open_.erase(handle);
        handle = NoIteration;
        if (code != 0) result.ClearResult();
        return code;
    }
    if (handle != NoIteration) return 0;
    for (;;) {
        const int32_t candidate = next_;
        next_ = next_ == INT32_MAX ? first_ : next_ + 1;
        if (candidate != NoIteration && !open_.count(candidate)) {
            open_.emplace(candidate, std::move(fresh));
            handle = candidate;
            return 0;
        }
    }
}

TIterationBase* TIterationTable::Find(int32_t handle) const {
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

NWCCODE TIterationTable::Close(NWDSContextHandle context, int32_t handle) {
    auto it = open_.find(handle);
    if (it == open_.end() || it->second->Context != context) return ErrInvalidHandle;
    open_.erase(it);
    return 0;
}

bool TObjectBatch::Add(const std::string& name, const TObjectInfo& info) {
    if (!result_.AddObject(name, info)) {
        full_ = true;
        return false;
    }
    ++added_;
    return true;
}

} // namespace era
