#include "client/snapshot/effective_rights.h"

#include "client/ascii_fold.h"
#include "client/schema_map.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace era {

namespace {


// Protected-attribute kinds: the two bracketed ones, then one per attribute named in an ACL.
constexpr uint32_t KindEntry = 0;
constexpr uint32_t KindAllAttributes = 1;
constexpr uint32_t FirstAttributeKind = 2;
constexpr uint32_t NoKind = 0xFFFFFFFFu;

// Special names take keys above every object index.
constexpr TTrusteeKey FirstSpecialKey = TTrusteeKey{1} << 32;
bool IsObjectKey(TTrusteeKey key) {
    return key < FirstSpecialKey;
}

// Where one trustee's rights of a kind are kept while walking down: entry, all attributes, and
// the one attribute asked about.
constexpr int SlotEntry = 0;
constexpr int SlotAllAttributes = 1;
constexpr int SlotAttribute = 2;
using TSlots = std::array<uint32_t, 3>;

int SlotOf(uint32_t kind, uint32_t asked) {
    if (kind == KindEntry) return SlotEntry;
    if (kind == KindAllAttributes) return SlotAllAttributes;
    return kind == asked ? SlotAttribute : -1;
}

} // namespace

// What one trustee is assigned on one object for one kind (all its ACL values for it together).
struct TTreeRights::TAssignment {
    TTrusteeKey Trustee = 0;
    uint32_t Kind = 0;
    uint32_t Inherited = 0;    // the rights of the assignments that flow down
    bool HasInherited = false; // whether any of them flows down
    uint32_t Own = 0;          // the rights of every assignment, which hold on the object itself
};

// One object's ACL as the walk reads it.
struct TTreeRights::TLevel {
    std::vector<std::pair<uint32_t, uint32_t>> Filters; // kind -> the rights its filter lets through
    std::vector<TAssignment> Assignments;               // by trustee, then kind
};

TTreeRights::TTreeRights(const TSnapshotTree& tree)
    : tree_(tree), aclAttribute_(tree.FindAttribute("ACL")),
      securityEqualsAttribute_(tree.FindAttribute("Security Equals")),
      groupMembershipAttribute_(tree.FindAttribute("Group Membership")),
      roleOccupantAttribute_(tree.FindAttribute("Role Occupant")) {
    publicKey_ = SpecialKey(PublicName);
}

TTreeRights::~TTreeRights() = default;

TTrusteeKey TTreeRights::SpecialKey(std::string_view name) {
    auto [it, added] = specials_.try_emplace(std::string(name), static_cast<uint32_t>(specials_.size()));
    return FirstSpecialKey + it->second;
}

uint32_t TTreeRights::KindOf(std::string_view attribute, bool add) {
    if (attribute == EntryRightsAttr) return KindEntry;
    if (attribute == AllAttributesRightsAttr) return KindAllAttributes;
    // A name asked before has its kind at once (a kind, once given, stays).
    if (auto known = askedKinds_.find(attribute); known != askedKinds_.end()) return known->second;
    // ACLs name attributes by their directory names; a caller may give the LDAP name.
    std::string key =
        FoldAscii(!attribute.empty() && attribute.front() == '[' ? std::string(attribute)
                                                                 : DirectoryAttributeName(attribute));
    auto found = attributes_.find(key);
    if (found != attributes_.end()) {
        askedKinds_.emplace(attribute, found->second);
        return found->second;
    }
    if (!add) return NoKind;
    const uint32_t kind = FirstAttributeKind + static_cast<uint32_t>(attributes_.size());
    attributes_.emplace(std::move(key), kind);
    askedKinds_.emplace(attribute, kind);
    return kind;
}

const TTreeRights::TLevel& TTreeRights::Level(uint32_t object) {
    auto found = levels_.find(object);
    if (found != levels_.end()) return *found->second;
    auto level = std::make_unique<TLevel>();
    if (const TStoredAttribute* acl = tree_.AttributeOf(object, aclAttribute_)) {
        for (const TStoredValue& value : acl->Values) {
            const uint32_t kind = KindOf(value.Extra, true);
            const bool entryKind = kind == KindEntry;
            const uint32_t rights = value.Number & (entryKind ? EntryRightsBits : AttributeRightsBits);
            const bool inheritable =
                entryKind ? (value.Number & InheritBit) == 0 : (value.Number & InheritBit) != 0;
            TTrusteeKey trustee = 0;
            if (value.Name == TNameRef::Object) {
                trustee = ObjectKey(value.Object);
            } else if (value.Name == TNameRef::Special && value.Text == InheritanceMaskAttr) {
                // Several filters on one kind each block what they lack.
                auto filter = std::find_if(level->Filters.begin(), level->Filters.end(),
                                           [&](const auto& f) { return f.first == kind; });
                if (filter == level->Filters.end())
                    level->Filters.emplace_back(kind, rights);
                else
                    filter->second &= rights;
                continue;
            } else if (value.Name == TNameRef::Special) {
                trustee = SpecialKey(value.Text);
            } else {
                continue; // a trustee that is no object of the tree holds nothing here
            }
            TAssignment assignment;
            assignment.Trustee = trustee;
            assignment.Kind = kind;
            assignment.Own = rights;
            if (inheritable) {
                assignment.Inherited = rights;
                assignment.HasInherited = true;
            }
            level->Assignments.push_back(assignment);
        }
    }
    // Values of one trustee and kind become one assignment.
    auto& assignments = level->Assignments;
    std::sort(assignments.begin(), assignments.end(), [](const TAssignment& a, const TAssignment& b) {
        return a.Trustee != b.Trustee ? a.Trustee < b.Trustee : a.Kind < b.Kind;
    });
    std::vector<TAssignment> merged;
    merged.reserve(assignments.size());
    for (const TAssignment& assignment : assignments) {
        if (!merged.empty() && merged.back().Trustee == assignment.Trustee &&
            merged.back().Kind == assignment.Kind) {
            merged.back().Own |= assignment.Own;
            merged.back().Inherited |= assignment.Inherited;
            merged.back().HasInherited = merged.back().HasInherited || assignment.HasInherited;
            continue;
        }
        merged.push_back(assignment);
    }
    assignments = std::move(merged);
    return *levels_.emplace(object, std::move(level)).first->second;
}

const std::vector<TTrusteeKey>& TTreeRights::Trustees(TTrusteeKey subject) {
    auto found = trustees_.find(subject);
    if (found != trustees_.end()) return found->second;
    std::vector<TTrusteeKey> trustees;
    std::unordered_set<TTrusteeKey> seen;
    auto add = [&](TTrusteeKey key) {
        if (seen.insert(key).second) trustees.push_back(key);
    };
    add(subject);
    if (IsObjectKey(subject)) {
        const auto object = static_cast<uint32_t>(subject);
        // What the subject is security equal to and the groups it belongs to; their own
        // equivalences do not pass on.
        for (uint32_t attribute : {securityEqualsAttribute_, groupMembershipAttribute_}) {
            const TStoredAttribute* stored = tree_.AttributeOf(object, attribute);
            if (!stored) continue;
            for (const TStoredValue& value : stored->Values) {
                if (value.Name == TNameRef::Object)
                    add(ObjectKey(value.Object));
                else if (value.Name == TNameRef::Special)
                    add(SpecialKey(value.Text));
            }
        }
        if (roleOccupantAttribute_ != NoAttribute)
            for (uint32_t role : tree_.Holders(roleOccupantAttribute_, object))
                add(ObjectKey(role));
        for (uint32_t at = tree_.Object(object).Parent; at != NoObject; at = tree_.Object(at).Parent)
            add(ObjectKey(at));
    }
    add(publicKey_);
    return trustees_.emplace(subject, std::move(trustees)).first->second;
}

// What every trustee named in the ACLs from [Root] down to an object holds there for one asked kind:
// a trustee's slots depend on that trustee alone (what is assigned to it on the way, what the
// filters let through), so the walk is made once for all of them, and each question about the
// object only looks its subject's trustees up.
const TTreeRights::TObjectTable& TTreeRights::Table(uint32_t object, uint32_t asked) {
    if (object != tablesObject_) {
        tables_.clear();
        tablesObject_ = object;
    }
    for (const TObjectTable& table : tables_)
        if (table.Asked == asked) return table;

    std::vector<const TLevel*> levels; // [Root] down to the object
    for (uint32_t at = object; at != NoObject; at = tree_.Object(at).Parent)
        levels.push_back(&Level(at));
    std::reverse(levels.begin(), levels.end());

    std::vector<TTrusteeKey> keys;
    for (const TLevel* level : levels)
        for (const TAssignment& assignment : level->Assignments)
            keys.push_back(assignment.Trustee);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    std::vector<TSlots> rights(keys.size(), TSlots{0, 0, 0});
    for (size_t l = 0; l < levels.size(); ++l) {
        const bool atObject = l + 1 == levels.size();
        // What flows in from above passes this level's filters, each on its own kind only ...
        for (const auto& [kind, letThrough] : levels[l]->Filters) {
            const int slot = SlotOf(kind, asked);
            if (slot < 0) continue;
            for (TSlots& held : rights)
                held[static_cast<size_t>(slot)] &= letThrough;
        }
        // ... and an assignment made here replaces it; above the object only what flows down counts.
        for (const TAssignment& assignment : levels[l]->Assignments) {
            const int slot = SlotOf(assignment.Kind, asked);
            if (slot < 0) continue;
            const size_t t = static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), assignment.Trustee) -
                                                 keys.begin());
            if (atObject)
                rights[t][static_cast<size_t>(slot)] = assignment.Own;
            else if (assignment.HasInherited)
                rights[t][static_cast<size_t>(slot)] = assignment.Inherited;
        }
    }

    TObjectTable table;
    table.Asked = asked;
    for (size_t t = 0; t < keys.size(); ++t)
        if (rights[t] != TSlots{0, 0, 0}) table.Held.emplace_back(keys[t], rights[t]);
    tables_.push_back(std::move(table));
    return tables_.back();
}

uint32_t TTreeRights::DirectoryRights(TTrusteeKey subject, uint32_t object, std::string_view attribute) {
    // The object's ACLs and those above it are read first: an attribute first named there has its
    // kind only then.
    Table(object, KindEntry);
    const uint32_t asked = KindOf(attribute, false);
    const TObjectTable& table = Table(object, asked);

    uint32_t entry = 0, attributeRights = 0;
    for (TTrusteeKey trustee : Trustees(subject)) {
        auto found = std::lower_bound(table.Held.begin(), table.Held.end(), trustee,
                                      [](const auto& held, TTrusteeKey key) { return held.first < key; });
        if (found == table.Held.end() || found->first != trustee) continue;
        const TSlots& held = found->second;
        entry |= held[SlotEntry];
        // Rights to the one attribute stand in for the all-attributes rights where there are any.
        attributeRights |= held[SlotAttribute] != 0 ? held[SlotAttribute] : held[SlotAllAttributes];
    }
    if (entry & EntrySupervisor) entry |= EntryRightsBits;
    if (asked == KindEntry) return entry & EntryRightsBits;
    if (entry & EntrySupervisor) attributeRights |= AttributeRightsBits;
    if (attributeRights & AttributeSupervisor) attributeRights |= AttributeRightsBits;
    if (attributeRights & AttributeWrite) attributeRights |= AttributeSelf;
    if (attributeRights & AttributeRead) attributeRights |= AttributeCompare;
    return attributeRights & AttributeRightsBits;
}

uint16_t TTreeRights::FileRights(uint32_t user, const TWorkstationServer& server, const TWorkstationVolume& volume,
                                 uint32_t directory) {
    // Supervisor over the server object is every right on its volumes; no mask takes it away.
    if (server.Object != NoObject &&
        (DirectoryRights(ObjectKey(user), server.Object, EntryRightsAttr) & EntrySupervisor) != 0)
        return AllFileRights;

    const std::vector<TTrusteeKey>& trustees = Trustees(ObjectKey(user));
    // File trustees are object IDs; [Public] has an ID of its own, other special names none.
    std::vector<std::pair<NWObjectID, size_t>> ids;
    ids.reserve(trustees.size());
    for (size_t t = 0; t < trustees.size(); ++t) {
        if (IsObjectKey(trustees[t]))
            ids.emplace_back(tree_.Object(static_cast<uint32_t>(trustees[t])).ID, t);
        else if (trustees[t] == publicKey_)
            ids.emplace_back(PublicTrusteeID, t);
    }
    std::sort(ids.begin(), ids.end());

    return VolumeRights(ids, trustees.size(), volume, directory);
}

TRightsCache::TRightsCache() = default;
TRightsCache::~TRightsCache() = default;

TTreeRights& TRightsCache::Of(const TSnapshotTree& tree) {
    auto& rights = trees_[&tree];
    if (!rights) rights = std::make_unique<TTreeRights>(tree);
    return *rights;
}

} // namespace era
