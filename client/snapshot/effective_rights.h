#pragma once

// The embedded directory's own effective-rights answer, worked out the way an eDirectory server
// and its NetWare file servers work it out: who a subject counts as (itself, what it is security
// equal to, its groups and roles, the containers above it, [Public]), what each of those inherits
// from [Root] down to the object through the inherited rights filters, what an assignment on the
// way replaces, and the union of it all with the rights that other rights imply. The same
// trustees, walked down a volume's directories through their inherited rights masks, give a
// user's rights on a NetWare directory.
//
// A loaded tree never changes, so what one question works out and the next can use is kept:
// each subject's trustees, each object's ACL split by trustee and kind, and, for the object asked
// about last, what every trustee named on the way down to it holds there (an analysis asks dozens
// of questions about one object, each for another subject).

#include "client/snapshot/snapshot_tree.h"
#include "client/snapshot/snapshot_tree.h"
#include "client/workstation.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace era {


// A trustee as the calculation keys it: an object of the tree, or a special name.
using TTrusteeKey = uint64_t;

// The rights calculation over one tree; it keeps what it has worked out for later questions.
class TTreeRights {
public:
    explicit TTreeRights(const TSnapshotTree& tree);
    ~TTreeRights();
    TTreeRights(const TTreeRights&) = delete;
    TTreeRights& operator=(const TTreeRights&) = delete;

    // The key of an object of the tree.
    static TTrusteeKey ObjectKey(uint32_t object) { return object; }
    // The key of a special name ("[Public]", "[This]" ...), exactly as written.
    TTrusteeKey SpecialKey(std::string_view name);
    // The trustees whose rights a subject holds, the subject first and each once.
    const std::vector<TTrusteeKey>& Trustees(TTrusteeKey subject);
    // The subject's effective rights on an object for a protected attribute ("[Entry Rights]",
    // "[All Attributes Rights]" or an attribute's name), in that attribute's kind, inheritance bit clear.
    uint32_t DirectoryRights(TTrusteeKey subject, uint32_t object, std::string_view attribute);
    // A user's file-system rights on a directory of one of the server's volumes.
    uint16_t FileRights(uint32_t user, const TWorkstationServer& server, const TWorkstationVolume& volume,
                        uint32_t directory);

private:
    struct TAssignment;
    struct TLevel;
    // What the trustees named on the way down to an object hold there for one asked kind (their
    // entry, all-attributes and asked-attribute rights), by trustee; trustees that hold nothing
    // are left out.
    struct TObjectTable {
        uint32_t Asked = 0;
        std::vector<std::pair<TTrusteeKey, std::array<uint32_t, 3>>> Held;
    };

    // The protected-attribute kind of a name: entry, all attributes or one attribute; with add,
    // an attribute not met before gets a kind of its own, else it gives NoKind.
    uint32_t KindOf(std::string_view attribute, bool add);
    const TLevel& Level(uint32_t object);
    // The table of an object for an asked kind; the tables of the object asked about last are kept.
    const TObjectTable& Table(uint32_t object, uint32_t asked);

    const TSnapshotTree& tree_;
    uint32_t aclAttribute_;
    uint32_t securityEqualsAttribute_;
    uint32_t groupMembershipAttribute_;
    uint32_t roleOccupantAttribute_;
    TTrusteeKey publicKey_ = 0;
    std::unordered_map<std::string, uint32_t> specials_;   // special name -> its number
    std::unordered_map<std::string, uint32_t> attributes_; // folded attribute name -> its kind
    // An attribute's name as asked -> its kind, for names that have one.
    struct TNameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    std::unordered_map<std::string, uint32_t, TNameHash, std::equal_to<>> askedKinds_;
    std::unordered_map<TTrusteeKey, std::vector<TTrusteeKey>> trustees_;
    std::unordered_map<uint32_t, std::unique_ptr<TLevel>> levels_;
    uint32_t tablesObject_ = NoObject;
    std::vector<TObjectTable> tables_;
};

// The calculations of a client, one per tree, made when a tree is first asked about.
class TRightsCache {
public:
    TRightsCache();
    ~TRightsCache();
    TRightsCache(const TRightsCache&) = delete;
    TRightsCache& operator=(const TRightsCache&) = delete;

    // The calculation over a tree (which must outlive the cache).
    TTreeRights& Of(const TSnapshotTree& tree);

private:
    std::unordered_map<const TSnapshotTree*, std::unique_ptr<TTreeRights>> trees_;
};

} // namespace era
