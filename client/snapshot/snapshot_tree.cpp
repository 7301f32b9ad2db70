#include "client/snapshot/snapshot_tree.h"

#include "client/ascii_fold.h"

#include <algorithm>
#include <cstring>

namespace era {

namespace {
const std::vector<uint32_t> NoHolders;

std::string TextHolderKey(uint32_t attribute, char kind, std::string_view text) {
    std::string key = std::to_string(attribute);
    key += kind;
    key += text;
    return key;
}

void AddHolder(std::vector<uint32_t>& holders, uint32_t holder) {
    if (holders.empty() || holders.back() != holder) holders.push_back(holder);
}
uint32_t KeyHash(std::string_view key) {
    uint64_t hash = 14695981039346656037ull;   // FNV-1a, folded to 32 bits
    for (char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

constexpr int MaxAliasHops = 16;   // an alias chain longer than this (or a loop) ends nowhere
} // namespace

TSnapshotTree::TSnapshotTree(std::string name) : name_(std::move(name)) {
    TSnapshotObject root;
    root.BaseClass = "Tree Root";
    root.Container = true;
    objects_.push_back(std::move(root));
}

uint32_t TSnapshotTree::FindObject(const TNameParts& full) const {
    if (full.empty()) return RootObject;
    return FindObjectByKey(NameKey(full));
}

uint32_t TSnapshotTree::FindObjectByKey(std::string_view key) const {
    if (key.empty()) return RootObject;
    if (nameSlots_.empty()) return NoObject;
    return nameSlots_[NameSlotOf(key, KeyHash(key))].Object;
}

// The slot that holds key, or the empty one where it would go.
size_t TSnapshotTree::NameSlotOf(std::string_view key, uint32_t hash) const {
    const size_t mask = nameSlots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const TNameSlot& slot = nameSlots_[at];
        if (slot.Object == NoObject || (slot.Hash == hash && nameKeys_[slot.Object] == key)) return at;
    }
}

// Room for that many names with the table at most half full.
void TSnapshotTree::GrowNames(size_t objects) {
    size_t size = 16;
    while (size < 2 * objects) size *= 2;
    if (size <= nameSlots_.size()) return;
    std::vector<TNameSlot> old(size);
    old.swap(nameSlots_);
    const size_t mask = size - 1;
    for (const TNameSlot& slot : old) {
        if (slot.Object == NoObject) continue;
        size_t at = slot.Hash & mask;
        while (nameSlots_[at].Object != NoObject) at = (at + 1) & mask;
        nameSlots_[at] = slot;
    }
}

uint32_t TSnapshotTree::FindObjectByID(NWObjectID id) const {
    if (idSlots_.empty()) return NoObject;
    return idSlots_[IDSlotOf(id)].Object;
}

// The slot that holds id, or the empty one where it would go (the IDs spread by Fibonacci hashing).
size_t TSnapshotTree::IDSlotOf(NWObjectID id) const {
    const size_t mask = idSlots_.size() - 1;
    for (size_t at = static_cast<uint32_t>(id * 2654435769u) >> idShift_;; at = (at + 1) & mask) {
        const TIDSlot& slot = idSlots_[at];
        if (slot.Object == NoObject || slot.ID == id) return at;
    }
}

void TSnapshotTree::GrowIDs(size_t objects) {
    size_t size = 16;
    int shift = 28;
    while (size < 2 * objects) size *= 2, --shift;
    if (size <= idSlots_.size()) return;
    std::vector<TIDSlot> old(size);
    old.swap(idSlots_);
    idShift_ = shift;
    for (const TIDSlot& slot : old)
        if (slot.Object != NoObject) idSlots_[IDSlotOf(slot.ID)] = slot;
}

uint32_t TSnapshotTree::FindAttribute(std::string_view directoryName) const {
    auto it = attributeByName_.find(FoldAscii(directoryName));
    return it == attributeByName_.end() ? NoAttribute : it->second;
}

const TStoredAttribute* TSnapshotTree::AttributeOf(uint32_t object, uint32_t attribute) const {
    if (object >= objects_.size() || attribute == NoAttribute) return nullptr;
    for (const auto& stored : objects_[object].Attributes)
        if (stored.Attribute == attribute) return &stored;
    return nullptr;
}

const std::vector<uint32_t>& TSnapshotTree::Holders(uint32_t attribute, uint32_t target) const {
    const uint64_t key = HolderKey(attribute, target);
    auto it = std::lower_bound(holderKeys_.begin(), holderKeys_.end(), key);
    if (it == holderKeys_.end() || *it != key) return NoHolders;
    return holderLists_[static_cast<size_t>(it - holderKeys_.begin())];
}

const std::vector<uint32_t>& TSnapshotTree::SpecialHolders(uint32_t attribute, std::string_view special) const {
    auto it = textHolders_.find(TextHolderKey(attribute, 's', FoldAscii(special)));
    return it == textHolders_.end() ? NoHolders : it->second;
}

const std::vector<uint32_t>& TSnapshotTree::DanglingHolders(uint32_t attribute, std::string_view key) const {
    auto it = textHolders_.find(TextHolderKey(attribute, 'd', key));
    return it == textHolders_.end() ? NoHolders : it->second;
}

TNameParts TSnapshotTree::FullName(uint32_t object) const {
    TNameParts parts;
    for (uint32_t at = object; at != NoObject && at != RootObject && at < objects_.size(); at = objects_[at].Parent)
        parts.push_back(objects_[at].Rdn);
    return parts;
}

bool TSnapshotTree::IsBelow(uint32_t object, uint32_t container) const {
    if (object >= objects_.size()) return false;
    for (uint32_t at = objects_[object].Parent; at != NoObject; at = objects_[at].Parent)
        if (at == container) return true;
    return false;
}

uint32_t TSnapshotTree::Dereference(uint32_t object) const {
    for (int hop = 0; hop < MaxAliasHops; ++hop) {
        if (object >= objects_.size()) return NoObject;
        const auto& entry = objects_[object];
        if (entry.BaseClass != "Alias") return object;
        object = entry.AliasTarget;
    }
    return NoObject;
}

TStoredText TSnapshotTree::StoreText(std::string_view text) {
    if (text.empty()) return {};
    char* at = texts_.Allocate(text.size());
    std::memcpy(at, text.data(), text.size());
    return std::string_view(at, text.size());
}

TStoredText TSnapshotTree::InternText(std::string_view text) {
    if (auto it = interned_.find(text); it != interned_.end()) return *it;
    TStoredText stored = StoreText(text);
    interned_.insert(stored.View());
    return stored;
}

uint32_t TSnapshotTree::InternAttribute(const std::string& directoryName, std::string_view ldapName,
                                        uint32_t syntax) {
    auto [it, added] = attributeByName_.try_emplace(FoldAscii(directoryName), static_cast<uint32_t>(attributes_.size()));
    if (added) attributes_.push_back({directoryName, std::string(ldapName), syntax});
    return it->second;
}

bool TSnapshotTree::IndexName(std::string_view key, uint32_t object) {
    GrowNames(nameCount_ + 1);
    const uint32_t hash = KeyHash(key);
    TNameSlot& slot = nameSlots_[NameSlotOf(key, hash)];
    if (slot.Object != NoObject) return false;
    if (nameKeys_.size() <= object) nameKeys_.resize(object + 1);
    nameKeys_[object] = StoreText(key);
    slot = {hash, object};
    ++nameCount_;
    return true;
}

bool TSnapshotTree::IndexID(NWObjectID id, uint32_t object) {
    GrowIDs(idCount_ + 1);
    TIDSlot& slot = idSlots_[IDSlotOf(id)];
    if (slot.Object != NoObject) return false;
    slot = {id, object};
    ++idCount_;
    return true;
}

void TSnapshotTree::IndexHolder(uint32_t attribute, uint32_t target, uint32_t holder) {
    recordedHolders_.emplace_back(HolderKey(attribute, target), holder);
}

void TSnapshotTree::IndexSpecialHolder(uint32_t attribute, std::string_view special, uint32_t holder) {
    AddHolder(textHolders_[TextHolderKey(attribute, 's', FoldAscii(special))], holder);
}

void TSnapshotTree::IndexDanglingHolder(uint32_t attribute, std::string_view key, uint32_t holder) {
    AddHolder(textHolders_[TextHolderKey(attribute, 'd', key)], holder);
}

void TSnapshotTree::Reserve(size_t objects) {
    objects_.reserve(objects);
    nameKeys_.reserve(objects);
    GrowNames(objects);
    GrowIDs(objects);
}

void TSnapshotTree::FinishIndexes() {
    // Holders in file order (the order of their indexes), each once per key.
    std::sort(recordedHolders_.begin(), recordedHolders_.end());
    recordedHolders_.erase(std::unique(recordedHolders_.begin(), recordedHolders_.end()), recordedHolders_.end());
    for (size_t at = 0; at < recordedHolders_.size();) {
        size_t end = at;
        while (end < recordedHolders_.size() && recordedHolders_[end].first == recordedHolders_[at].first) ++end;
        const uint64_t key = recordedHolders_[at].first;
        // Keys come in order, so they go to the end; one built before takes the newcomers in.
        auto place = std::lower_bound(holderKeys_.begin(), holderKeys_.end(), key);
        const auto index = place - holderKeys_.begin();
        if (place == holderKeys_.end() || *place != key) {
            holderKeys_.insert(place, key);
            holderLists_.insert(holderLists_.begin() + index, std::vector<uint32_t>());
        }
        auto& holders = holderLists_[static_cast<size_t>(index)];
        holders.reserve(holders.size() + (end - at));
        for (; at < end; ++at) holders.push_back(recordedHolders_[at].second);
        std::sort(holders.begin(), holders.end());
        holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
    }
    recordedHolders_.clear();
    recordedHolders_.shrink_to_fit();
    // Names of the file's entries are indexed as they are read, others once the file is read.
    for (auto& [key, holders] : textHolders_) {
        std::sort(holders.begin(), holders.end());
        holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
        holders.shrink_to_fit();
    }
    for (auto& object : objects_) object.Children.shrink_to_fit();
}

} // namespace era
