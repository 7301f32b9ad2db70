#pragma once

// The embedded directory: one tree's directory source over an LDIF export. It is the program's
// offline mode and the fixture of the tests.

#include "client/directory_source.h"
#include "client/iteration_table.h"
#include "client/snapshot/effective_rights.h"
#include "client/snapshot/snapshot_tree.h"

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <unordered_map>

namespace era {

class TSnapshotSource : public TDirectorySource {
public:
    explicit TSnapshotSource(std::unique_ptr<TSnapshotTree> tree);
    ~TSnapshotSource() override;

    const std::string& Name() const override { return tree_->Name(); }
    uint32_t FileObject(const TNameParts& full) override;
    NWObjectID ObjectID(uint32_t object) const override { return tree_->Object(object).ID; }
    std::string OutputObjectName(const TContextState& context, uint32_t object) const override {
        return OutputObjectName(context, *tree_, object);
    }
    uint16_t FileRights(uint32_t user, const TWorkstationServer& server, const TWorkstationVolume& volume,
                        uint32_t directory) override;

    // --- Reading and names
    NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                     const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) override;
    NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object, std::string& distinguishedName,
                               TObjectInfo& info) override;
    NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object, TDSBuffer& buffer) override;
    NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                     TDSBuffer& result) override;
    NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                               TDSBuffer& result) override;
    NWCCODE NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name, std::string& canonical) override;
    NWCCODE NWDSWhoAmI(NWDSContextHandle context, uint32_t fileUser, std::string& name) override;
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWObjectID id, std::string& name) override;
    NWCCODE NWDSMapNameToID(NWDSContextHandle context, const std::string& name, NWObjectID& id) override;
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attrName, uint32_t& privileges) override;
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp, uint32_t infoType,
                              bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                              int32_t countObjectsToSearch, int32_t& countObjectsSearched, TDSBuffer& result) override;
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) override;
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, TSourceStream& stream) override;

    // --- For the code built on the store (effective rights, search)
    const TSnapshotTree& Tree() const { return *tree_; }
    // The tree of a context, or nullptr when the context is unknown.
    const TSnapshotTree* ContextTree(NWDSContextHandle context) const;
    // Finds the object a name stands for in a context's tree; with deref, an alias gives its
    // target. Codes: ErrBadContext, ErrIllegalDsName, ErrNoSuchEntry.
    NWCCODE FindObject(NWDSContextHandle context, const std::string& name, bool deref, const TSnapshotTree*& tree,
                       uint32_t& object) const;
    // A stored value in the form the context hands values back (names in its output form).
    TAttrValue OutputValue(const TContextState& context, const TSnapshotTree& tree, uint32_t syntax,
                           const TStoredValue& value) const;
    // An object's name in the context's output form.
    std::string OutputObjectName(const TContextState& context, const TSnapshotTree& tree, uint32_t object) const;
    // The object information record of an object.
    TObjectInfo ObjectInfo(const TSnapshotTree& tree, uint32_t object) const;

private:
    struct TIteration;
    struct TSearch;   // client/snapshot/snapshot_search.h
    NWCCODE ListBatch(NWDSContextHandle context, const std::string& object, bool containersOnly,
                      int32_t& iterationHandle, TDSBuffer& result);
    // The first call of a search: the filter bound to the tree and the objects to test.
    NWCCODE StartSearch(NWDSContextHandle context, const TContextState& state, const std::string& baseObjectName,
                        int32_t scope, bool searchAliases, const TDSBuffer& filterBuffer, uint32_t infoType,
                        std::unique_ptr<TSearch>& fresh);
    // The first call of a read: the object and the attributes to send.
    NWCCODE StartRead(NWDSContextHandle context, const TContextState& state, const std::string& object,
                      uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames, std::unique_ptr<TIteration>& fresh);

    std::unique_ptr<TSnapshotTree> tree_;
    // Full names already read, per tree: the object each names (NoObject: none), before aliases.
    mutable std::unordered_map<const TSnapshotTree*, std::unordered_map<std::string, uint32_t>> knownNames_;
    TRightsCache rights_;   // what the effective-rights answers keep for later questions
};

// The embedded directory of a workstation's tree, or nullptr for a tree of another source.
const TSnapshotTree* SnapshotTreeOf(const TDirectorySource& source);

// The workstation loader's source for "ldif" trees: the tree loaded from the LDIF file the entry
// names (relative to the workstation file's folder), or nullptr and a message.
std::unique_ptr<TDirectorySource> SnapshotTreeSource(const nlohmann::ordered_json& entry, const std::string& baseFolder,
                                                     const std::string& treeName, std::string& error);

} // namespace era
