#pragma once

// Reads, listings and searches that go on over several calls: the client hands out a handle with
// the first batch and takes it back with each further call, -1 before the first batch and again
// after the last. Both directory sources keep their iterations in one table and fill their
// batches with the helpers below, so the rules of batching are written once.

#include "directory/client.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace era {

constexpr int32_t NoIteration = -1;
// The kind of a listing of containers only: a handle of a full listing does not continue it.
constexpr uint32_t DsvListContainers = 0x100 | DsvList;

// What every iteration keeps: whose it is and what kind of call continues it.
struct TIterationBase {
    virtual ~TIterationBase() = default;
    NWDSContextHandle Context = 0;
    uint32_t Kind = DsvRead; // DsvRead, DsvList, DsvListContainers or DsvSearch
};

// A fresh iteration of a context and kind (it gets its handle when a batch leaves more behind).
template <typename TIteration>
std::unique_ptr<TIteration> NewIteration(NWDSContextHandle context, uint32_t kind) {
    auto iteration = std::make_unique<TIteration>();
    iteration->Context = context;
    iteration->Kind = kind;
    return iteration;
}

// The open iterations of a client by handle.
class TIterationTable {
public:
    // Handles count up from first and skip -1 and any still open, so a stale handle never reaches
    // another iteration.
    explicit TIterationTable(int32_t first = 1) : first_(first), next_(first) {}

    // The iteration a handle continues when it is the context's and of that kind; otherwise
    // nullptr, and the handle becomes -1.
    template <typename TIteration>
    TIteration* Resume(int32_t& handle, NWDSContextHandle context, uint32_t kind) {
        TIterationBase* found = Find(handle);
        if (!found || found->Context != context || found->Kind != kind) {
            handle = NoIteration;
            return nullptr;
        }
        return static_cast<TIteration*>(found);
    }
    // Ends one call: a finished (or failed) iteration is forgotten, its handle becomes -1 and a
    // failed batch is emptied; an unfinished fresh one is kept under a new handle. Gives code.
    NWCCODE EndBatch(int32_t& handle, std::unique_ptr<TIterationBase> fresh, bool finished, NWCCODE code,
                     TDSBuffer& result);
    // The iteration of a handle, or nullptr.
    TIterationBase* Find(int32_t handle) const;
    // Forgets the context's iteration: 0, or ErrInvalidHandle when the handle is not the context's.
    NWCCODE Close(NWDSContextHandle context, int32_t handle);

private:
    int32_t first_;
    int32_t next_;
    std::unordered_map<int32_t, std::unique_ptr<TIterationBase>> open_;
};

// Where a read goes on: the attribute, and the value within it.
struct TReadCursor {
    size_t Next = 0;
    size_t NextValue = 0;
};

// One attribute as a read batch sees it.
struct TReadAttribute {
    const std::string& Name;
    uint32_t Syntax;
    size_t ValueCount;
};

// Fills a read batch from the cursor on with count attributes: attributeAt(i) gives the i-th
// attribute, valueAt(i, j) its j-th value. An attribute enters a batch only together with at
// least one of its values. True when more remains for the next call; code is
// ErrInsufficientBuffer when not even the first attribute fits.
template <typename TAttributeAt, typename TValueAt>
bool FillReadBatch(TDSBuffer& result, uint32_t infoType, size_t count, TReadCursor& cursor,
                   TAttributeAt attributeAt, TValueAt valueAt, NWCCODE& code) {
    code = 0;
    auto full = [&] {
        if (result.Attributes().empty()) code = ErrInsufficientBuffer;
        return true;
    };
    for (; cursor.Next < count; ++cursor.Next, cursor.NextValue = 0) {
        const TReadAttribute attribute = attributeAt(cursor.Next);
        if (infoType == DsAttributeNames) {
            if (!result.AddAttribute(attribute.Name, attribute.Syntax)) return full();
            continue;
        }
        decltype(auto) first = valueAt(cursor.Next, cursor.NextValue);
        TDSBuffer probe(result.Size() - result.UsedBytes());
        if (!probe.AddAttribute(attribute.Name, attribute.Syntax) || !probe.AddValue(first)) return full();
        result.AddAttribute(attribute.Name, attribute.Syntax);
        result.AddValue(first);
        for (++cursor.NextValue; cursor.NextValue < attribute.ValueCount; ++cursor.NextValue)
            if (!result.AddValue(valueAt(cursor.Next, cursor.NextValue))) return true;
    }
    return false;
}

// One batch of a listing or search: as many objects as fit, at most limit (0: no limit).
class TObjectBatch {
public:
    explicit TObjectBatch(TDSBuffer& result, int32_t limit = 0) : result_(result), limit_(limit) {}
    // Whether the caller's count of objects per call is reached.
    bool Limited() const { return limit_ > 0 && added_ >= limit_; }
    // Adds an object; false when it does not fit (the batch is full).
    bool Add(const std::string& name, const TObjectInfo& info);
    // ErrInsufficientBuffer when not even the first object fitted, else 0.
    NWCCODE Code() const { return full_ && added_ == 0 ? ErrInsufficientBuffer : 0; }
    // The objects added.
    int32_t Count() const { return added_; }

private:
    TDSBuffer& result_;
    int32_t limit_;
    int32_t added_ = 0;
    bool full_ = false;
};

} // namespace era
