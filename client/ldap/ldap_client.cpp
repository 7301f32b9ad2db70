#include "client/ldap/ldap_client.h"

#include "client/ascii_fold.h"
#include "client/client_text.h"
#include "client/ldap/ldap_filter.h"
#include "client/ldap/ldap_values.h"
#include "client/schema_map.h"
#include "client/time_text.h"
#include "client/workstation.h"
#include "directory/error_table.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <nlohmann/json.hpp>

namespace era {

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t MaxBaseClassBytes = 32;
constexpr int MaxAliasHops = 16;
constexpr NWObjectID FirstStandInID = 0x00008001;    // the objects the workstation file names, [Root] first
constexpr NWObjectID FirstSessionID = 0x00100001;    // above every ID a workstation file's stand-in gets
constexpr size_t MaxCachedEntries = 100000;
constexpr size_t MaxCachedSearches = 10000;
// An analysis asks some fifty effective-rights questions, each a few dozen bytes kept: a scan of
// a thousand objects keeps all of its answers for the second pass.
constexpr size_t MaxCachedPrivileges = 100000;

constexpr const char* EffectivePrivilegesOid = "2.16.840.1.113719.1.27.100.33";
constexpr const char* EffectivePrivilegesReplyOid = "2.16.840.1.113719.1.27.100.34";


// The host of an LDAP URI ("ldaps://dir.example:636" gives "dir.example").
std::string UriHost(const std::string& uri) {
    size_t start = uri.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = uri.find_first_of("/?", start);
    std::string host = uri.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!host.empty() && host.front() == '[') return host.substr(1, host.find(']') - 1);
    size_t colon = host.rfind(':');
    return colon == std::string::npos ? host : host.substr(0, colon);
}

// What every read of an entry asks for: all its attributes, the ACL (which eDirectory sends only
// when named) and the operational attributes the object information is made of.
const std::vector<std::string>& EntryAttributes() {
    static const std::vector<std::string> names = {
        "*", "ACL", "createTimestamp", "modifyTimestamp", "creatorsName", "modifiersName",
        "structuralObjectClass", "hasSubordinates", "subordinateCount"};
    return names;
}

// Attributes asked for the object information only; a read of all attributes leaves them out.
bool IsBookkeeping(std::string_view ldapName) {
    return EqualsFolded(ldapName, "structuralObjectClass") || EqualsFolded(ldapName, "hasSubordinates") ||
           EqualsFolded(ldapName, "subordinateCount");
}

// The naming attributes tried for a name part whose type is not known.
constexpr const char* NamingTypes[] = {"cn", "ou", "o", "l", "c", "dc", "st"};

uint32_t TimeOf(const TLdapEntry& entry, const char* name) {
    uint32_t seconds = 0;
    if (const auto* values = entry.Find(name); values && !values->Values.empty())
        if (!ParseGeneralizedTime(values->Values.front(), seconds)) seconds = 0;
    return seconds;
}

// The directory syntax of an LDAP syntax OID: eDirectory's own (2.16.840.1.113719.1.1.5.1.<n>
// is syntax n) or the standard ones; every other is a case-ignore string.
uint32_t SyntaxOfOid(const std::string& oid) {
    static const std::string Novell = "2.16.840.1.113719.1.1.5.1.";
    if (oid.rfind(Novell, 0) == 0) {
        uint32_t number = 0;
        auto [end, ec] = std::from_chars(oid.data() + Novell.size(), oid.data() + oid.size(), number);
        if (ec == std::errc() && end == oid.data() + oid.size() && number <= SynInterval) return number;
        return SynCiString;
    }
    static const std::string Standard = "1.3.6.1.4.1.1466.115.121.1.";
    if (oid.rfind(Standard, 0) != 0) return SynCiString;
    switch (std::atoi(oid.c_str() + Standard.size())) {
    case 12: return SynDistName;
    case 7: return SynBoolean;
    case 27: return SynInteger;
    case 5: case 8: case 9: case 10: case 40: return SynOctetString;
    case 24: return SynTime;
    case 38: return SynClassName;
    case 44: return SynPrString;
    case 36: return SynNuString;
    case 50: return SynTelNumber;
    case 22: return SynFaxNumber;
    case 41: return SynPoAddress;
    default: return SynCiString;
    }
}

// The name one request stands for in the search cache (the base classes the results were
// narrowed to belong to it).
std::string SearchKey(const std::string& filter, const std::vector<std::string>& baseClasses, const std::string& base,
                      int scope) {
    std::string key = filter;
    for (const auto& name : baseClasses) key += '\x1e' + FoldAscii(name);
    return key + '\x1f' + base + '\x1f' + std::to_string(scope);
}

// The name of an effective-rights question in the cache: the DNs and the attribute as they are
// sent (the server compares them without case).
std::string PrivilegesKey(const std::string& objectDn, const std::string& subjectDn, const std::string& attribute) {
    return FoldAscii(objectDn + '\x1f' + subjectDn + '\x1f' + attribute);
}

// The last failure of a connection in words, for the error texts.
std::string& ConnectionFailure() {
    static std::string text;
    return text;
}

// The error texts of the table; a lost server or a refused bind says which and why, so the
// message of a failed start names the server and the reason. Codes that went through the
// 16-bit rule of the connection calls are read back as the directory codes they were.
const char* LdapErrorDescription(int32_t code) {
    if (code >= 0xFC00 && code <= 0xFEFF) code = static_cast<int16_t>(code);
    const char* description = NWErrorDescription(code);
    if ((code != ErrTransportFailure && code != ErrAuthenticationFailed) || ConnectionFailure().empty()) return description;
    static std::string composed;
    composed = std::string(description) + ": " + ConnectionFailure();
    return composed.c_str();
}

class TLdapErrorTextLibrary final : public TErrorTextLibrary {
public:
    TStrError FindNWstrerror() const override { return &LdapErrorDescription; }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The state kept per LDAP tree

// An entry as the server returned it (or the answer that it is not there).
struct TLdapSource::TCached {
    NWCCODE Code = 0;          // 0: the entry exists
    TLdapEntry Entry;
    TNameParts Parts;          // its full name ([Root]: none)
    bool Root = false;
    TClock::time_point Time;
};

struct TLdapSource::TTree {
    TLdapSettings Settings;
    std::unique_ptr<TLdapSession> Session;
    std::string Name;          // the tree's
    TNameParts SuffixParts;    // what every DN below [Root] ends with (not part of names)
    std::string SuffixDn;
    bool RootKnown = false;
    std::string RootDn;        // the entry that is [Root]; empty: none (its attributes are empty)
    std::unordered_map<std::string, TCached> Entries;           // by NameKey
    std::unordered_map<std::string, std::string> KnownDns;      // NameKey -> DN
    struct TSearch {
        std::vector<std::string> Keys;   // NameKeys of the entries found, in the server's order
        TClock::time_point Time;
    };
    std::unordered_map<std::string, TSearch> Searches;
    struct TPrivileges {
        uint32_t Privileges = 0;
        TClock::time_point Time;
    };
    // The answers of the effective-privileges operation, by PrivilegesKey; only replies that
    // decoded (a question the server did not answer is asked again).
    std::unordered_map<std::string, TPrivileges> Privileges;
    std::unordered_map<std::string, NWObjectID> IdByKey;
    std::unordered_map<NWObjectID, TNameParts> PartsById;
    NWObjectID NextId = FirstSessionID;
    bool EffectivePrivilegesRefused = false;

    bool Fresh(TClock::time_point time) const {
        return TClock::now() - time < std::chrono::seconds(Settings.CacheSeconds);
    }
    void Forget() {
        Entries.clear();
        Searches.clear();
        Privileges.clear();
    }
};

// One read, listing or search that goes on over several calls.
struct TLdapSource::TIteration : TIterationBase {
    TTree* Tree = nullptr;
    // A read: the attributes to send with their values, and where the next batch starts.
    uint32_t InfoType = DsAttributeValues;
    std::vector<TBufferAttribute> Attributes;
    TReadCursor Read;
    // A listing or search: the server's pages, and what of the last page has not been sent.
    bool ContainersOnly = false;
    std::string BaseDn;
    int Scope = 1;
    std::string Filter;
    TLdapPage Page;
    std::deque<TBufferObject> Pending;
    bool FromCache = false;
    std::vector<std::string> Found;  // a search: the entries found so far (for the cache)
    std::vector<std::string> BaseClasses;   // a search: the base classes every result must have

    // Whether everything was sent.
    bool Finished() const { return Pending.empty() && (FromCache || Page.Done); }
};

// ---------------------------------------------------------------------------------------------

TLdapSource::TLdapSource(TLdapSettings settings, std::string treeName) : tree_(std::make_unique<TTree>()) {
    TTree* tree = tree_.get();
    tree->Settings = std::move(settings);
    tree->Name = std::move(treeName);
    tree->Session = std::make_unique<TLdapSession>(tree->Settings);
    std::string error;
    TNameParts base;
    LdapDnToParts(tree->Settings.Base, base, error);
    if (!base.empty() && EqualsFolded(base.back().Type, "t") && EqualsFolded(base.back().Value, tree->Name)) {
        // Every DN names the tree root at its end: that entry is [Root].
        tree->SuffixParts = {base.back()};
        tree->RootDn = tree->SuffixDn = PartsToLdapDn(tree->SuffixParts);
        tree->RootKnown = true;
    } else if (!base.empty()) {
        tree->SuffixParts.assign(base.begin() + 1, base.end());
        tree->SuffixDn = PartsToLdapDn(tree->SuffixParts);
    }
    // [Root] stands in first; the objects the workstation file names follow as it is read.
    standIn_.emplace_back();
    tree->IdByKey.emplace(NameKey(standIn_.front()), FirstStandInID);
    tree->PartsById.emplace(FirstStandInID, standIn_.front());
}

TLdapSource::~TLdapSource() = default;

const std::string& TLdapSource::Name() const { return tree_->Name; }

uint32_t TLdapSource::FileObject(const TNameParts& full) {
    TTree& tree = *tree_;
    uint32_t at = SourceRootObject;
    for (size_t depth = 1; depth <= full.size(); ++depth) {
        TNameParts name(full.end() - static_cast<ptrdiff_t>(depth), full.end());
        std::string key = NameKey(name);
        auto known = tree.IdByKey.find(key);
        if (known != tree.IdByKey.end()) {
            at = known->second - FirstStandInID;
            continue;
        }
        // The objects the file names keep these IDs when the server names them later; a container
        // keeps the spelling of the first name that passed through it.
        TNameParts spelt = standIn_[at];
        spelt.insert(spelt.begin(), name.front());
        at = static_cast<uint32_t>(standIn_.size());
        NWObjectID id = FirstStandInID + at;
        tree.IdByKey.emplace(key, id);
        tree.PartsById.emplace(id, spelt);
        standIn_.push_back(std::move(spelt));
    }
    return at;
}

NWObjectID TLdapSource::ObjectID(uint32_t object) const { return FirstStandInID + object; }

std::string TLdapSource::OutputObjectName(const TContextState& context, uint32_t object) const {
    static const TNameParts NoContext;
    bool sameTree = EqualsFolded(context.TreeName, tree_->Name);
    return WriteOutputName(standIn_[object], context.Flags, sameTree ? context.NameContextParts : NoContext);
}

uint16_t TLdapSource::FileRights(uint32_t user, const TWorkstationServer&, const TWorkstationVolume& volume,
                                 uint32_t directory) {
    // The user's trustees as the workstation file knows the tree: itself, every container above
    // it up to [Root], and [Public] (the server's equivalences are not the file's).
    std::vector<std::pair<NWObjectID, size_t>> ids;
    const TNameParts& full = standIn_[user];
    for (size_t above = 0; above <= full.size(); ++above) {
        TNameParts name(full.begin() + static_cast<ptrdiff_t>(above), full.end());
        ids.emplace_back(tree_->IdByKey.at(NameKey(name)), ids.size());
    }
    ids.emplace_back(PublicTrusteeID, ids.size());
    const size_t count = ids.size();
    std::sort(ids.begin(), ids.end());
    return VolumeRights(ids, count, volume, directory);
}

NWCCODE TLdapSource::Remember(TTree& tree, NWCCODE code) {
    if (code == 0) return 0;
    lastError_ = tree.Session->LastError();
    if (code == ErrTransportFailure || code == ErrAuthenticationFailed) ConnectionFailure() = lastError_;
    // After a lost connection nothing kept is trusted: the server may have changed meanwhile.
    if (code == ErrTransportFailure) tree.Forget();
    return code;
}

uint64_t TLdapSource::RoundTrips() const { return tree_->Session->RoundTrips(); }

void TLdapSource::SetReconnectDelay(std::chrono::milliseconds delay) { tree_->Session->SetReconnectDelay(delay); }

void TLdapSource::ClearCache() { tree_->Forget(); }

// ---------------------------------------------------------------------------------------------
// Names

bool TLdapSource::PartsOfDn(const TTree& tree, std::string_view dn, TNameParts& parts) const {
    std::string why;
    if (!LdapDnToParts(dn, parts, why)) return false;
    const std::string& treeName = tree.Name;
    // "t=<tree>" at the end of a DN (or alone) is the tree root, as in an export.
    if (!parts.empty() && EqualsFolded(parts.back().Type, "t") && EqualsFolded(parts.back().Value, treeName))
        parts.pop_back();
    const TNameParts& suffix = tree.SuffixParts;
    if (!suffix.empty() && parts.size() >= suffix.size() &&
        !(suffix.size() == 1 && EqualsFolded(suffix.front().Type, "t"))) {
        bool below = true;
        size_t offset = parts.size() - suffix.size();
        for (size_t i = 0; i < suffix.size() && below; ++i)
            below = EqualsFolded(parts[offset + i].Value, suffix[i].Value);
        if (below) parts.resize(offset);
    }
    return true;
}

void TLdapSource::Learn(TTree& tree, const TNameParts& full, const std::string& dn) {
    if (full.empty()) return;
    auto [it, added] = tree.KnownDns.try_emplace(NameKey(full), dn);
    if (!added) return;
    // The containers above are known from the same DN.
    for (size_t i = 1; i < full.size(); ++i) {
        TNameParts above(full.begin() + static_cast<ptrdiff_t>(i), full.end());
        std::string aboveDn = PartsToLdapDn(above);
        if (!tree.SuffixDn.empty()) aboveDn += "," + tree.SuffixDn;
        if (!tree.KnownDns.try_emplace(NameKey(above), aboveDn).second) break;
    }
}

std::string TLdapSource::DnOf(TTree& tree, const TNameParts& full, bool& guessed) const {
    guessed = false;
    if (full.empty()) return tree.RootDn;
    // The longest known name at the top end of this one.
    size_t known = full.size();   // index of the first part of the known container
    std::string knownDn;
    for (size_t i = 0; i < full.size(); ++i) {
        auto it = tree.KnownDns.find(NameKey(TNameParts(full.begin() + static_cast<ptrdiff_t>(i), full.end())));
        if (it != tree.KnownDns.end()) {
            known = i;
            knownDn = it->second;
            break;
        }
    }
    if (known == 0) return knownDn;
    // Types the input gave are tried first, but they are no more certain than the usual ones:
    // names compare without their types, so a miss is looked for by value.
    TNameParts typed = full;
    guessed = true;
    ApplyDefaultTypes(typed);
    std::string dn = PartsToLdapDn(TNameParts(typed.begin(), typed.begin() + static_cast<ptrdiff_t>(known)));
    if (!knownDn.empty()) dn += "," + knownDn;
    else if (!tree.SuffixDn.empty()) dn += "," + tree.SuffixDn;
    return dn;
}

std::string TLdapSource::OutputValueName(TTree& tree, const TContextState& state, std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') return std::string(text);
    TNameParts parts;
    if (!PartsOfDn(tree, text, parts)) return std::string(text);
    Learn(tree, parts, std::string(text));
    return OutputName(state, parts);
}

NWCCODE TLdapSource::NameToDn(TTree& tree, const TContextState& state, const std::string& name, std::string& dn) {
    dn.clear();
    TResolvedName resolved;
    NWCCODE code = ResolveName(state, name, resolved);
    if (code != 0) return code;
    if (!resolved.Special.empty()) {
        dn = resolved.Special;
        return 0;
    }
    if (resolved.Parts.empty()) {
        const TCached* root = nullptr;
        code = FetchRoot(tree, root);
        if (code != 0) return code;
        dn = root->Entry.Dn.empty() ? std::string(RootName) : root->Entry.Dn;
        return 0;
    }
    auto known = tree.KnownDns.find(NameKey(resolved.Parts));
    if (known != tree.KnownDns.end()) {
        dn = known->second;
        return 0;
    }
    // A name the server has not named yet: its entry tells its DN; a name that is nowhere is
    // searched for as the usual types spell it, and finds nothing.
    const TCached* entry = nullptr;
    code = Fetch(tree, resolved.Parts, entry);
    if (code == 0) {
        dn = entry->Entry.Dn;
        return 0;
    }
    if (code != ErrNoSuchEntry) return code;
    bool guessed = false;
    dn = DnOf(tree, resolved.Parts, guessed);
    return 0;
}

NWObjectID TLdapSource::IdOf(TTree& tree, const TNameParts& full) {
    std::string key = NameKey(full);
    auto it = tree.IdByKey.find(key);
    if (it != tree.IdByKey.end()) return it->second;
    NWObjectID id = tree.NextId++;
    tree.IdByKey.emplace(key, id);
    tree.PartsById.emplace(id, full);
    return id;
}

// ---------------------------------------------------------------------------------------------
// Entries

const TLdapSource::TCached& TLdapSource::Store(TTree& tree, TLdapEntry entry, const TNameParts* asked) {
    // A long session over a large tree does not keep every entry it ever read.
    if (tree.Entries.size() >= MaxCachedEntries) tree.Entries.clear();
    TNameParts parts;
    if (!PartsOfDn(tree, entry.Dn, parts) && asked) parts = *asked;
    Learn(tree, parts, entry.Dn);
    TCached cached;
    cached.Parts = parts;
    cached.Entry = std::move(entry);
    cached.Time = TClock::now();
    auto& slot = tree.Entries[NameKey(parts)];
    slot = std::move(cached);
    return slot;
}

NWCCODE TLdapSource::ReadEntry(TTree& tree, const std::string& dn, const TNameParts& full, const TCached*& entry) {
    std::vector<TLdapEntry> found;
    NWCCODE code = Remember(tree, tree.Session->Search(dn, 0, "(objectClass=*)", EntryAttributes(), nullptr, found));
    if (code == 0 && found.empty()) code = ErrNoSuchEntry;
    if (code != 0) return code;
    entry = &Store(tree, std::move(found.front()), &full);
    return 0;
}

NWCCODE TLdapSource::FetchRoot(TTree& tree, const TCached*& entry) {
    entry = nullptr;
    auto hit = tree.Entries.find(std::string());
    if (hit != tree.Entries.end() && tree.Fresh(hit->second.Time)) {
        entry = &hit->second;
        return 0;
    }
    TCached root;
    root.Root = true;
    root.Time = TClock::now();
    auto tryRead = [&](const std::string& dn) -> NWCCODE {
        std::vector<TLdapEntry> found;
        NWCCODE code = Remember(tree, tree.Session->Search(dn, 0, "(objectClass=*)", EntryAttributes(), nullptr, found));
        if (code == 0 && found.empty()) code = ErrNoSuchEntry;
        if (code == 0) root.Entry = std::move(found.front());
        return code;
    };
    NWCCODE code = ErrNoSuchEntry;
    if (tree.RootKnown) {
        if (!tree.RootDn.empty()) code = tryRead(tree.RootDn);
    } else {
        // The export's form first: an entry "t=<tree>" stands for the tree root.
        std::string treeDn = "t=" + tree.Name;
        code = tryRead(treeDn);
        // A server that holds no such naming context may refer elsewhere: it has no such entry.
        if (code == ErrAllReferralsFailed) code = ErrNoSuchEntry;
        if (code == 0) {
            tree.RootDn = treeDn;
        } else if (code == ErrNoSuchEntry) {
            tree.RootDn = tree.SuffixDn;
            if (!tree.RootDn.empty()) code = tryRead(tree.RootDn);
        }
        if (code == 0 || code == ErrNoSuchEntry) tree.RootKnown = true;
    }
    if (code == ErrNoSuchEntry) {
        // No entry stands for the root: it exists, holding nothing.
        root.Entry = TLdapEntry{tree.RootDn, {}};
        code = 0;
    }
    if (code != 0) return code;
    auto& slot = tree.Entries[std::string()];
    slot = std::move(root);
    entry = &slot;
    return 0;
}

NWCCODE TLdapSource::Fetch(TTree& tree, const TNameParts& full, const TCached*& entry) {
    entry = nullptr;
    if (full.empty()) return FetchRoot(tree, entry);
    std::string key = NameKey(full);
    auto hit = tree.Entries.find(key);
    if (hit != tree.Entries.end() && tree.Fresh(hit->second.Time)) {
        if (hit->second.Code != 0) return hit->second.Code;
        entry = &hit->second;
        return 0;
    }
    bool guessed = false;
    std::string dn = DnOf(tree, full, guessed);
    NWCCODE code = ReadEntry(tree, dn, full, entry);
    if (code == ErrNoSuchEntry && guessed) code = Locate(tree, full, entry);
    if (code == ErrNoSuchEntry || code == ErrIllegalDsName) {
        TCached missing;
        missing.Code = ErrNoSuchEntry;
        missing.Parts = full;
        missing.Time = TClock::now();
        tree.Entries[key] = std::move(missing);
        return ErrNoSuchEntry;
    }
    if (code == 0 && NameKey(entry->Parts) != key) {
        // Found under another spelling of the same name (types): keep it under the asked one too.
        TCached copy = *entry;
        auto& slot = tree.Entries[key];
        slot = std::move(copy);
        entry = &slot;
    }
    return code;
}

// The naming type of a part was not known and the usual one was wrong: the part is searched for
// among the parent's subordinates by every naming attribute at once.
NWCCODE TLdapSource::Locate(TTree& tree, const TNameParts& full, const TCached*& entry) {
    entry = nullptr;
    const std::string& value = full.front().Value;
    TNameParts parentParts(full.begin() + 1, full.end());
    std::string parentDn;
    if (!parentParts.empty()) {
        const TCached* parent = nullptr;
        NWCCODE code = Fetch(tree, parentParts, parent);
        if (code != 0) return code;
        parentDn = parent->Entry.Dn;
    } else {
        parentDn = tree.SuffixDn;
    }
    if (parentDn.empty()) {
        // Top-level containers of a server without a common suffix: each naming type in turn.
        for (const char* type : NamingTypes) {
            TNameParts typed = {{DirectoryAttributeName(type), value}};
            NWCCODE code = ReadEntry(tree, PartsToLdapDn(typed), full, entry);
            if (code != ErrNoSuchEntry && code != ErrIllegalDsName) return code;
        }
        return ErrNoSuchEntry;
    }
    std::string filter = "(|";
    for (const char* type : NamingTypes) filter += std::string("(") + type + "=" + EscapeFilterValue(value) + ")";
    filter += ")";
    std::vector<TLdapEntry> found;
    NWCCODE code = Remember(tree, tree.Session->Search(parentDn, 1, filter, EntryAttributes(), nullptr, found));
    if (code != 0) return code;
    for (auto& candidate : found) {
        TNameParts parts;
        if (!PartsOfDn(tree, candidate.Dn, parts) || parts.empty() || !EqualsFolded(parts.front().Value, value))
            continue;
        entry = &Store(tree, std::move(candidate), &full);
        return 0;
    }
    return ErrNoSuchEntry;
}

NWCCODE TLdapSource::Dereference(TTree& tree, const TCached*& entry) {
    for (int hop = 0; hop < MaxAliasHops; ++hop) {
        bool alias = false;
        if (const auto* classes = entry->Entry.Find("objectClass"))
            for (const auto& value : classes->Values) alias = alias || EqualsFolded(value, "alias");
        if (!alias) return 0;
        const auto* target = entry->Entry.Find("aliasedObjectName");
        TNameParts parts;
        if (!target || target->Values.empty() || !PartsOfDn(tree, target->Values.front(), parts)) return ErrNoSuchEntry;
        Learn(tree, parts, target->Values.front());
        NWCCODE code = Fetch(tree, parts, entry);
        if (code != 0) return code;
    }
    return ErrNoSuchEntry;   // a loop of aliases, or a chain too long to follow
}

NWCCODE TLdapSource::ResolveObject(TTree& tree, const TContextState& state, const std::string& name, bool deref,
                                   const TCached*& entry) {
    entry = nullptr;
    TResolvedName resolved;
    NWCCODE code = ResolveName(state, name, resolved);
    if (code != 0) return code;
    if (!resolved.Special.empty()) return ErrNoSuchEntry;
    code = Fetch(tree, resolved.Parts, entry);
    if (code == 0 && deref) code = Dereference(tree, entry);
    return code;
}

namespace {

std::string BaseClassOf(const TLdapEntry& entry, bool root) {
    if (root) return "Tree Root";
    if (const auto* structural = entry.Find("structuralObjectClass"); structural && !structural->Values.empty())
        return DirectoryClassName(structural->Values.front());
    if (const auto* classes = entry.Find("objectClass"); classes && !classes->Values.empty())
        return DirectoryClassName(classes->Values.front());
    return "Unknown";
}

TObjectInfo InfoOf(const TLdapEntry& entry, bool root) {
    TObjectInfo info;
    std::string baseClass = BaseClassOf(entry, root);
    bool container = root || IsContainerClass(baseClass);
    if (const auto* below = entry.Find("hasSubordinates"); below && !below->Values.empty())
        container = container || EqualsFolded(below->Values.front(), "TRUE");
    if (container) info.ObjectFlags |= DsContainerEntry;
    if (baseClass == "Alias") info.ObjectFlags |= DsAliasEntry;
    if (const auto* count = entry.Find("subordinateCount"); count && !count->Values.empty()) {
        uint32_t number = 0;
        auto [end, ec] = std::from_chars(count->Values.front().data(),
                                         count->Values.front().data() + count->Values.front().size(), number);
        if (ec == std::errc()) info.SubordinateCount = number;
    }
    info.ModificationTime = TimeOf(entry, "modifyTimestamp");
    info.BaseClass = CutUtf8(baseClass, MaxBaseClassBytes);
    return info;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Reading

// The attributes of an entry a read sends, by their directory names (the LDAP names that map to
// one name together), with their values in the form the context hands them back.
std::vector<TBufferAttribute> TLdapSource::ReadAttributes(TTree& tree, const TContextState& state, const TCached& entry,
                                                          bool allAttrs, const TDSBuffer* attrNames) {
    std::vector<std::string> wanted;
    if (!allAttrs)
        for (const auto& name : attrNames->AttributeNames())
            if (std::none_of(wanted.begin(), wanted.end(), [&](const std::string& w) { return EqualsFolded(w, name); }))
                wanted.push_back(name);
    std::vector<TBufferAttribute> attrs;
    auto add = [&](const TLdapAttribute& attribute, const std::string& directoryName) {
        auto slot = std::find_if(attrs.begin(), attrs.end(),
                                 [&](const TBufferAttribute& a) { return EqualsFolded(a.Name, directoryName); });
        if (slot == attrs.end()) {
            attrs.push_back({directoryName, DirectoryAttributeSyntax(directoryName), {}});
            slot = attrs.end() - 1;
        }
        bool classes = slot->Syntax == SynClassName;
        for (const auto& value : attribute.Values) {
            if (classes) {
                slot->Values.push_back(TTextValue{DirectoryClassName(value)});
                continue;
            }
            slot->Values.push_back(LdapValueToAttrValue(
                slot->Syntax, value, [&](std::string_view text) { return OutputValueName(tree, state, text); }));
        }
    };
    if (allAttrs) {
        for (const auto& attribute : entry.Entry.Attributes)
            if (!IsBookkeeping(attribute.Name) && !attribute.Values.empty())
                add(attribute, DirectoryAttributeName(attribute.Name));
    } else {
        for (const auto& name : wanted)
            for (const auto& attribute : entry.Entry.Attributes)
                if (!attribute.Values.empty() && EqualsFolded(DirectoryAttributeName(attribute.Name), name))
                    add(attribute, DirectoryAttributeName(attribute.Name));
    }
    return attrs;
}

NWCCODE TLdapSource::NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                              const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) {
    TTree* tree = TreeOf(context);
    result.ClearResult();
    const TContextState& state = *Context(context);
    std::unique_ptr<TIteration> fresh;
    TIteration* iteration = nullptr;
    if (iterationHandle != NoIteration) {
        iteration = Iterations().Resume<TIteration>(iterationHandle, context, DsvRead);
        if (!iteration) return ErrInvalidHandle;
    } else {
        if (infoType != DsAttributeNames && infoType != DsAttributeValues) return ErrInvalidRequest;
        if (!allAttrs && !attrNames) return ErrInvalidRequest;
        const TCached* entry = nullptr;
        NWCCODE code = ResolveObject(*tree, state, object, (state.Flags & DcvDerefAliases) != 0, entry);
        if (code != 0) return code;
        fresh = NewIteration<TIteration>(context, DsvRead);
        fresh->Tree = tree;
        fresh->InfoType = infoType;
        fresh->Attributes = ReadAttributes(*tree, state, *entry, allAttrs, attrNames);
        if (fresh->Attributes.empty()) return ErrNoSuchAttribute;
        iteration = fresh.get();
    }
    const auto& attributes = iteration->Attributes;
    NWCCODE code = 0;
    const bool more = FillReadBatch(
        result, iteration->InfoType, attributes.size(), iteration->Read,
        [&](size_t i) { return TReadAttribute{attributes[i].Name, attributes[i].Syntax, attributes[i].Values.size()}; },
        [&](size_t i, size_t j) -> const TAttrValue& { return attributes[i].Values[j]; }, code);
    return Iterations().EndBatch(iterationHandle, std::move(fresh), !more, code, result);
}

NWCCODE TLdapSource::NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                                        std::string& distinguishedName, TObjectInfo& info) {
    TTree* tree = TreeOf(context);
    distinguishedName.clear();
    info = {};
    const TContextState& state = *Context(context);
    const TCached* entry = nullptr;
    NWCCODE code = ResolveObject(*tree, state, object, (state.Flags & DcvDerefAliases) != 0, entry);
    if (code != 0) return code;
    distinguishedName = WriteFullName(entry->Parts, (state.Flags & DcvTypelessNames) == 0);
    info = InfoOf(entry->Entry, entry->Root);
    return 0;
}

NWCCODE TLdapSource::NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object, TDSBuffer& buffer) {
    TTree* tree = TreeOf(context);
    buffer.ClearResult();
    const TContextState& state = *Context(context);
    const TCached* entry = nullptr;
    NWCCODE code = ResolveObject(*tree, state, object, (state.Flags & DcvDerefAliases) != 0, entry);
    if (code != 0) return code;
    bool typed = (state.Flags & DcvTypelessNames) == 0;
    uint32_t fields = state.DsiFlags & SupportedDsiFlags;
    const TNameParts& parts = entry->Parts;
    if (fields & DsiModificationTime) buffer.SetDsiNumber(DsiModificationTime, TimeOf(entry->Entry, "modifyTimestamp"));
    if (fields & DsiCreationTime) buffer.SetDsiNumber(DsiCreationTime, TimeOf(entry->Entry, "createTimestamp"));
    if (fields & DsiBaseClass)
        buffer.SetDsiText(DsiBaseClass, CutUtf8(BaseClassOf(entry->Entry, entry->Root), MaxBaseClassBytes));
    if (fields & DsiRdn)
        buffer.SetDsiText(DsiRdn, parts.empty() ? std::string(RootName) : WriteFullName({parts.front()}, typed));
    // The full names are never abbreviated: callers turn them into ".name" themselves.
    if (fields & DsiEntryDn) buffer.SetDsiText(DsiEntryDn, WriteFullName(parts, typed));
    if (fields & DsiParentDn)
        buffer.SetDsiText(DsiParentDn,
                          parts.empty() ? std::string() : WriteFullName(TNameParts(parts.begin() + 1, parts.end()), typed));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Listing

NWCCODE TLdapSource::NextPage(TIteration& iteration, const TContextState& state) {
    TTree& tree = *iteration.Tree;
    std::vector<TLdapEntry> found;
    NWCCODE code = Remember(tree, tree.Session->Search(iteration.BaseDn, iteration.Scope, iteration.Filter,
                                                       EntryAttributes(), &iteration.Page, found));
    if (code != 0) return code;
    for (auto& raw : found) {
        const TCached& entry = Store(tree, std::move(raw), nullptr);
        TObjectInfo info = InfoOf(entry.Entry, false);
        if (iteration.ContainersOnly && !(info.ObjectFlags & DsContainerEntry)) continue;
        const std::string baseClass = BaseClassOf(entry.Entry, false);
        if (std::any_of(iteration.BaseClasses.begin(), iteration.BaseClasses.end(),
                        [&](const std::string& wanted) { return !EqualsFolded(wanted, baseClass); }))
            continue;
        if (iteration.Kind == DsvSearch) iteration.Found.push_back(NameKey(entry.Parts));
        iteration.Pending.push_back({OutputName(state, entry.Parts), info});
    }
    return 0;
}

NWCCODE TLdapSource::SendPages(TIteration& iteration, const TContextState& state, TObjectBatch& batch) {
    bool fetched = false;
    for (;;) {
        while (!iteration.Pending.empty() && !batch.Limited() &&
               batch.Add(iteration.Pending.front().Name, iteration.Pending.front().Info))
            iteration.Pending.pop_front();
        if (!iteration.Pending.empty()) return batch.Code();
        // One page of the server is one batch; an empty page (only leaves in a containers-only
        // listing) is followed by the next one in the same call.
        bool more = !iteration.FromCache && !iteration.Page.Done;
        if (!more || (fetched && batch.Count() > 0)) return 0;
        NWCCODE code = NextPage(iteration, state);
        if (code != 0) return code;
        fetched = true;
    }
}

NWCCODE TLdapSource::StartList(TTree& tree, const TContextState& state, const std::string& object,
                               TIteration& fresh) {
    const TCached* entry = nullptr;
    NWCCODE code = ResolveObject(tree, state, object, (state.Flags & DcvDerefAliases) != 0, entry);
    if (code != 0) return code;
    fresh.Tree = &tree;
    fresh.Scope = 1;
    fresh.Filter = "(objectClass=*)";
    if (!entry->Root || !tree.SuffixDn.empty()) {
        fresh.BaseDn = entry->Entry.Dn;
        return 0;
    }
    // Below a root that no entry holds lies the configured base alone.
    TNameParts baseParts;
    const TCached* base = nullptr;
    if (PartsOfDn(tree, tree.Settings.Base, baseParts)) {
        Learn(tree, baseParts, tree.Settings.Base);
        code = Fetch(tree, baseParts, base);
        if (code != 0 && code != ErrNoSuchEntry) return code;
    }
    if (base) fresh.Pending.push_back({OutputName(state, base->Parts), InfoOf(base->Entry, false)});
    fresh.Page.Done = true;
    fresh.FromCache = true;
    return 0;
}

NWCCODE TLdapSource::ListBatch(NWDSContextHandle context, const std::string& object, bool containersOnly,
                               int32_t& iterationHandle, TDSBuffer& result) {
    TTree* tree = TreeOf(context);
    result.ClearResult();
    const TContextState& state = *Context(context);
    const uint32_t kind = containersOnly ? DsvListContainers : DsvList;
    std::unique_ptr<TIteration> fresh;
    TIteration* iteration = nullptr;
    if (iterationHandle != NoIteration) {
        iteration = Iterations().Resume<TIteration>(iterationHandle, context, kind);
        if (!iteration) return ErrInvalidHandle;
    } else {
        fresh = NewIteration<TIteration>(context, kind);
        fresh->ContainersOnly = containersOnly;
        NWCCODE code = StartList(*tree, state, object, *fresh);
        if (code != 0) return code;
        iteration = fresh.get();
    }
    TObjectBatch batch(result);
    NWCCODE code = SendPages(*iteration, state, batch);
    return Iterations().EndBatch(iterationHandle, std::move(fresh), iteration->Finished(), code, result);
}

NWCCODE TLdapSource::NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                              TDSBuffer& result) {
    return ListBatch(context, object, false, iterationHandle, result);
}

NWCCODE TLdapSource::NWDSListContainers(NWDSContextHandle context, const std::string& object,
                                        int32_t& iterationHandle, TDSBuffer& result) {
    return ListBatch(context, object, true, iterationHandle, result);
}

void TLdapSource::CloseIteration(TIterationBase& open) {
    auto* mine = dynamic_cast<TIteration*>(&open);
    if (!mine || mine->Tree != tree_.get()) return;
    // A paged search still open on the server is let go there too (a page of size 0 with its
    // cookie); a failure of that changes nothing for the caller.
    TIteration& iteration = *mine;
    if (!iteration.Page.Cookie.empty() && !iteration.Page.Done && iteration.Tree) {
        iteration.Page.Abandon = true;
        std::vector<TLdapEntry> ignored;
        Remember(*iteration.Tree, iteration.Tree->Session->Search(iteration.BaseDn, iteration.Scope, iteration.Filter,
                                                                  {"1.1"}, &iteration.Page, ignored));
    }
}

// ---------------------------------------------------------------------------------------------
// Search

NWCCODE TLdapSource::StartSearch(TTree& tree, const TContextState& state, const std::string& baseObjectName,
                                 int32_t scope, const TDSBuffer& filterBuffer, TIteration& fresh) {
    if (scope < DsSearchEntry || scope > DsSearchSubtree) return ErrInvalidRequest;
    if (!filterBuffer.HasFilter()) return ErrInvalidFilterSyntax;
    std::string filter;
    std::vector<std::string> baseClasses;
    NWCCODE code = BuildLdapFilter(
        filterBuffer.Filter(), [&](const std::string& name, std::string& dn) { return NameToDn(tree, state, name, dn); },
        filter, &baseClasses);
    if (code != 0) return code;
    const TCached* base = nullptr;
    code = ResolveObject(tree, state, baseObjectName, (state.Flags & DcvDerefAliases) != 0, base);
    if (code != 0) return code;
    fresh.Tree = &tree;
    fresh.Filter = filter;
    fresh.BaseClasses = std::move(baseClasses);
    fresh.Scope = scope;
    // A search from a root that no entry holds (or one that holds no objects below it, as the
    // export's "t=<tree>") covers the configured base.
    bool fromBase = base->Root && (tree.RootDn.empty() || tree.RootDn != tree.SuffixDn);
    fresh.BaseDn = fromBase ? tree.Settings.Base : base->Entry.Dn;
    if (fromBase && scope == DsSearchSubordinates) fresh.Scope = DsSearchEntry;
    FromSearchCache(tree, state, fresh);
    return 0;
}

void TLdapSource::FromSearchCache(TTree& tree, const TContextState& state, TIteration& fresh) {
    auto cached = tree.Searches.find(SearchKey(fresh.Filter, fresh.BaseClasses, fresh.BaseDn, fresh.Scope));
    if (cached == tree.Searches.end() || !tree.Fresh(cached->second.Time)) return;
    fresh.FromCache = true;
    for (const auto& key : cached->second.Keys) {
        auto entry = tree.Entries.find(key);
        if (entry == tree.Entries.end() || entry->second.Code != 0) {
            fresh.FromCache = false;   // an entry fell out of the cache: ask again
            fresh.Pending.clear();
            return;
        }
        fresh.Pending.push_back({OutputName(state, entry->second.Parts), InfoOf(entry->second.Entry, false)});
    }
}

NWCCODE TLdapSource::NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                                       bool, const TDSBuffer& filterBuffer, uint32_t, uint32_t, bool, const TDSBuffer*,
                                       int32_t& iterationHandle, int32_t countObjectsToSearch,
                                       int32_t& countObjectsSearched, TDSBuffer& result) {
    TTree* tree = TreeOf(context);
    result.ClearResult();
    countObjectsSearched = 0;
    const TContextState& state = *Context(context);
    std::unique_ptr<TIteration> fresh;
    TIteration* iteration = nullptr;
    if (iterationHandle != NoIteration) {
        iteration = Iterations().Resume<TIteration>(iterationHandle, context, DsvSearch);
        if (!iteration) return ErrInvalidHandle;
    } else {
        fresh = NewIteration<TIteration>(context, DsvSearch);
        NWCCODE code = StartSearch(*tree, state, baseObjectName, scope, filterBuffer, *fresh);
        if (code != 0) return code;
        iteration = fresh.get();
    }
    // At most the objects the caller asks for per call; what remains goes with the next one.
    TObjectBatch batch(result, countObjectsToSearch);
    NWCCODE code = SendPages(*iteration, state, batch);
    countObjectsSearched = batch.Count();
    const bool finished = code != 0 || iteration->Finished();
    if (finished && code == 0 && !iteration->FromCache) {
        if (tree->Searches.size() >= MaxCachedSearches) tree->Searches.clear();
        tree->Searches[SearchKey(iteration->Filter, iteration->BaseClasses, iteration->BaseDn, iteration->Scope)] = {
            iteration->Found, TClock::now()};
    }
    return Iterations().EndBatch(iterationHandle, std::move(fresh), finished, code, result);
}

NWCCODE TLdapSource::NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) {
    syntaxID = 0;
    if (const TSchemaAttribute* known = FindAttributeByDirectoryName(attrName)) {
        syntaxID = known->Syntax;
        return 0;
    }
    if (const TSchemaAttribute* known = FindAttributeByLdapName(attrName)) {
        syntaxID = known->Syntax;
        return 0;
    }
    // Attributes outside the mapping: the server's schema tells whether it has them and how.
    TTree& tree = *TreeOf(context);
    std::string oid;
    NWCCODE code = Remember(tree, tree.Session->AttributeSyntax(attrName, oid));
    if (code == ErrNoSuchAttribute || code == ErrTransportFailure) return code;
    syntaxID = code == 0 ? SyntaxOfOid(oid) : SynCiString;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Names

NWCCODE TLdapSource::NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name, std::string& canonical) {
    TTree* tree = TreeOf(context);
    // Types come from the DNs the server has named.
    return CanonicalName(
        *Context(context), name,
        [this, tree](const TNameParts& tail, TNameParts& known) {
            auto it = tree->KnownDns.find(NameKey(tail));
            return it != tree->KnownDns.end() && PartsOfDn(*tree, it->second, known);
        },
        canonical);
}

NWCCODE TLdapSource::NWDSWhoAmI(NWDSContextHandle context, uint32_t, std::string& name) {
    TTree* tree = TreeOf(context);
    name.clear();
    std::string identity;
    NWCCODE code = Remember(*tree, tree->Session->WhoAmI(identity));
    if (code != 0) return code;
    if (identity.size() <= 3 || !EqualsFolded(identity.substr(0, 3), "dn:")) return ErrNotLoggedIn;
    TNameParts parts;
    if (!PartsOfDn(*tree, identity.substr(3), parts)) return ErrNotLoggedIn;
    Learn(*tree, parts, identity.substr(3));
    name = OutputName(*Context(context), parts);
    return 0;
}

NWCCODE TLdapSource::NWDSMapIDToName(NWDSContextHandle context, NWObjectID id, std::string& name) {
    TTree* tree = tree_.get();
    name.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    if (id == PublicTrusteeID) {
        name = std::string(PublicName);
        return 0;
    }
    auto it = tree->PartsById.find(id);
    if (it == tree->PartsById.end()) return ErrNoSuchEntry;
    static const TNameParts NoContext;
    bool sameTree = EqualsFolded(state->TreeName, tree->Name);
    name = WriteOutputName(it->second, state->Flags, sameTree ? state->NameContextParts : NoContext);
    return 0;
}

NWCCODE TLdapSource::NWDSMapNameToID(NWDSContextHandle context, const std::string& name, NWObjectID& id) {
    TTree* tree = tree_.get();
    id = 0;
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    TResolvedName resolved;
    NWCCODE code = ResolveName(*state, name, resolved);
    if (code != 0) return code;
    if (resolved.Special == PublicName) {
        id = PublicTrusteeID;
        return 0;
    }
    if (!resolved.Special.empty()) return ErrNoSuchEntry;
    const TCached* entry = nullptr;
    code = Fetch(*tree, resolved.Parts, entry);
    if (code == 0 && (state->Flags & DcvDerefAliases)) code = Dereference(*tree, entry);
    if (code != 0) return code;
    id = IdOf(*tree, entry->Parts);
    return 0;
}

NWCCODE TLdapSource::NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                            const std::string& object, const std::string& attrName,
                                            uint32_t& privileges) {
    TTree* tree = TreeOf(context);
    privileges = 0;
    const TContextState& state = *Context(context);
    NWCCODE code = Remember(*tree, tree->Session->Connect());
    if (code != 0) return code;
    // Only eDirectory knows the operation; other servers are not asked again and again.
    if (tree->EffectivePrivilegesRefused || !tree->Session->SupportsExtension(EffectivePrivilegesOid))
        return ErrInvalidRequest;
    const TCached* target = nullptr;
    code = ResolveObject(*tree, state, object, (state.Flags & DcvDerefAliases) != 0, target);
    if (code != 0) return code;
    const std::string objectDn = target->Root ? std::string(RootName) : target->Entry.Dn;
    std::string subjectDn;
    TResolvedName who;
    code = ResolveName(state, subject, who);
    if (code != 0) return code;
    if (!who.Special.empty()) {
        subjectDn = who.Special;
    } else {
        const TCached* trustee = nullptr;
        code = Fetch(*tree, who.Parts, trustee);
        if (code != 0) return code;
        subjectDn = trustee->Root ? std::string(RootName) : trustee->Entry.Dn;
    }
    std::string attribute = attrName.empty() || attrName.front() == '[' ? attrName : LdapAttributeName(attrName);
    // The same question within the cache time: the answer kept.
    std::string key = PrivilegesKey(objectDn, subjectDn, attribute);
    auto kept = tree->Privileges.find(key);
    if (kept != tree->Privileges.end() && tree->Fresh(kept->second.Time)) {
        privileges = kept->second.Privileges;
        return 0;
    }
    std::string reply;
    code = Remember(*tree, tree->Session->Extended(
                               EffectivePrivilegesOid,
                               EncodeEffectivePrivilegesRequest(objectDn, subjectDn, attribute),
                               reply, EffectivePrivilegesReplyOid));
    if (code == ErrInvalidRequest) tree->EffectivePrivilegesRefused = true;
    if (code != 0) return code;
    if (!DecodeEffectivePrivilegesReply(reply, privileges)) return ErrInvalidResponse;
    // Failures are not kept: an object or subject that is not there failed above, where the
    // entries keep that answer; anything else the server may answer the next time.
    if (tree->Privileges.size() >= MaxCachedPrivileges) tree->Privileges.clear();
    tree->Privileges[std::move(key)] = {privileges, TClock::now()};
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Streams

NWCCODE TLdapSource::NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                                    uint32_t flags, TSourceStream& stream) {
    TTree* tree = TreeOf(context);
    const TContextState& state = *Context(context);
    if (flags != 1) return ErrNoAccess;   // streams are only read
    const TCached* entry = nullptr;
    NWCCODE code = ResolveObject(*tree, state, object, (state.Flags & DcvDerefAliases) != 0, entry);
    if (code != 0) return code;
    const TLdapAttribute* found = nullptr;
    for (const auto& attribute : entry->Entry.Attributes)
        if (!attribute.Values.empty() && EqualsFolded(DirectoryAttributeName(attribute.Name), attrName)) found = &attribute;
    if (!found) return ErrNoSuchAttribute;
    if (DirectoryAttributeSyntax(attrName) != SynStream) return ErrIllegalAttributeSyntax;
    stream.Copy = found->Values.front();
    stream.Bytes = &stream.Copy;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Start-up

std::unique_ptr<TErrorTextLibrary> TLdapSource::ErrorTexts() const { return std::make_unique<TLdapErrorTextLibrary>(); }

NWCCODE TLdapSource::Start() { return Remember(*tree_, tree_->Session->Connect()); }

void TLdapSource::KeepStartFailure() {
    if (!lastError_.empty()) ConnectionFailure() = lastError_;
}

// ---------------------------------------------------------------------------------------------
// The tree's own attachment

std::string TLdapSource::AttachmentServerName() const { return UriHost(tree_->Settings.Uri); }

bool TLdapSource::AttachmentAuthenticated() const { return !tree_->Settings.BindDn.empty(); }

NWCCODE TLdapSource::AttachmentUser(NWObjectID& id) {
    // The identity the server holds for the bind, with its ID of this session.
    TTree& tree = *tree_;
    id = 0;
    std::string identity;
    NWCCODE code = Remember(tree, tree.Session->WhoAmI(identity));
    if (code != 0) return code;
    TNameParts parts;
    if (identity.size() > 3 && EqualsFolded(identity.substr(0, 3), "dn:") && PartsOfDn(tree, identity.substr(3), parts)) {
        Learn(tree, parts, identity.substr(3));
        id = IdOf(tree, parts);
    }
    return 0;
}

} // namespace era
