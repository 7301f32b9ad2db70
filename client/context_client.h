#pragma once

// The directory contexts of a client, shared by the backends: a table of handles, each with its
// flags, confidence, name context, tree and information-field selection, and the preferred tree.
// A backend tells through small hooks which trees exist and what a new context starts with.

#include "client/name_forms.h"
#include "directory/client.h"

#include <functional>
#include <string>
#include <unordered_map>

namespace era {


// What a new context holds unless the backend says otherwise.
constexpr uint32_t DefaultContextFlags = DcvDerefAliases | DcvCanonicalizeNames;
constexpr uint32_t DefaultDsiFlags = DsiModificationTime | DsiBaseClass | DsiEntryDn;
// The information fields a read can return.
constexpr uint32_t SupportedDsiFlags =
    DsiModificationTime | DsiCreationTime | DsiBaseClass | DsiRdn | DsiEntryDn | DsiParentDn;

// One directory context.
struct TContextState {
    uint32_t Flags = DefaultContextFlags;
    uint32_t Confidence = 0;
    uint32_t DsiFlags = DefaultDsiFlags;
    std::string TreeName;
    std::string NameContext = RootName;
    TNameParts NameContextParts;   // the name context as full parts ([Root]: none)
};

class TContextClient : public TDirectoryClient {
public:
    NWCCODE NWDSCreateContextHandle(NWDSContextHandle& context) override;
    NWCCODE NWDSDuplicateContextHandle(NWDSContextHandle source, NWDSContextHandle& copy) override;
    NWCCODE NWDSFreeContext(NWDSContextHandle context) override;
    NWCCODE NWDSGetContext(NWDSContextHandle context, uint32_t key, uint32_t& value) override;
    NWCCODE NWDSGetContext(NWDSContextHandle context, uint32_t key, std::string& value) override;
    NWCCODE NWDSSetContext(NWDSContextHandle context, uint32_t key, uint32_t value) override;
    NWCCODE NWDSSetContext(NWDSContextHandle context, uint32_t key, const std::string& value) override;
    NWCCODE NWSetPreferredDSTree(uint16_t length, const std::string& treeName) override;

    // The preferred tree (empty until one is set).
    const std::string& PreferredTree() const { return preferredTree_; }
    // How many contexts are open (tests check that callers free what they create).
    size_t OpenContextCount() const { return contexts_.size(); }

    // Reads a name as the context would (relative to its name context, specials as they are).
    static NWCCODE ResolveName(const TContextState& context, const std::string& name, TResolvedName& resolved);
    // Writes a full name as the context hands names back.
    static std::string OutputName(const TContextState& context, const TNameParts& full);
    // The full name of the object a tail of a name stands for, when the source knows it.
    using TKnownName = std::function<bool(const TNameParts& tail, TNameParts& known)>;
    // A name as NWDSCanonicalizeName gives it: specials as they are; with types, each part typed
    // as the longest tail the source knows names it, the rest as the input gave or the usual guesses.
    static NWCCODE CanonicalName(const TContextState& context, const std::string& name, const TKnownName& knownName,
                                 std::string& canonical);

protected:
    // True when the workstation knows that tree; canonical gets the tree's own spelling.
    virtual bool FindTree(const std::string& treeName, std::string& canonical) const = 0;
    // The tree a new context starts in when no tree is preferred (the primary connection's).
    virtual std::string DefaultTreeName() const = 0;
    // The name context a new context starts with in that tree.
    virtual std::string DefaultNameContext(const std::string& treeName) const;

    // The context of a handle, or nullptr.
    const TContextState* Context(NWDSContextHandle context) const;

private:
    std::unordered_map<NWDSContextHandle, TContextState> contexts_;
    NWDSContextHandle nextHandle_ = 1;
    std::string preferredTree_;
};

} // namespace era
