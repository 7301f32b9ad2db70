#pragma once

// The embedded directory: a directory client over a workstation file and the LDIF exports it
// names. It is the program's offline mode and the fixture of the tests.

#include "client/context_client.h"
#include "client/iteration_table.h"
#include "client/snapshot/effective_rights.h"
#include "client/snapshot/snapshot_tree.h"
#include "client/snapshot/workstation.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace era {

constexpr uint16_t BinderyUserType = 1;                  // the type NWGetObjectName gives for bindery names

class TSnapshotClient : public TContextClient {
public:
    explicit TSnapshotClient(std::unique_ptr<TWorkstation> workstation);
    ~TSnapshotClient() override;

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
    NWCCODE NWDSWhoAmI(NWDSContextHandle context, std::string& name) override;
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id,
                            std::string& name) override;
    NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection, const std::string& name,
                            NWObjectID& id) override;
    NWCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection, std::string& serverDN) override;
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attrName, uint32_t& privileges) override;
    NWCCODE NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle, uint32_t operation) override;
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp, uint32_t infoType,
                              bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                              int32_t countObjectsToSearch, int32_t& countObjectsSearched, TDSBuffer& result) override;
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) override;
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, int32_t& fileHandle) override;
    NWCCODE NWStreamRead(int32_t fileHandle, std::span<uint8_t> buffer, uint32_t& bytesRead) override;
    NWCCODE NWStreamClose(int32_t fileHandle) override;

    // --- Connections
    NWCCODE NWCallsInit() override;
    NWCCODE NWCCScanConnRefs(uint32_t& scanIterator, NWCONN_REF& connRef) override;
    NWCCODE NWCCGetPrimConnRef(NWCONN_REF& connRef) override;
    NWCCODE NWCCOpenConnByRef(NWCONN_REF connRef, uint32_t openState, uint32_t reserved,
                              NWCONN_HANDLE& connection) override;
    NWCCODE NWCCCloseConn(NWCONN_HANDLE connection) override;
    NWCCODE NWCCGetConnRefInfo(NWCONN_REF connRef, uint32_t infoType, std::span<uint8_t> buffer) override;
    NWCCODE NWCCGetConnInfo(NWCONN_HANDLE connection, uint32_t infoType, std::span<uint8_t> buffer) override;

    // --- Volumes, directories, bindery, redirector
    NWCCODE NWParsePath(const std::string& path, std::string& serverName, NWCONN_HANDLE& connection,
                        std::string& volumeName, std::string& dirPath) override;
    NWCCODE NWGetVolumeNumber(NWCONN_HANDLE connection, const std::string& volumeName, uint16_t& volumeNumber) override;
    NWCCODE NWGetVolumeName(NWCONN_HANDLE connection, uint16_t volumeNumber, std::string& volumeName) override;
    NWCCODE NWGetExtendedVolumeInfo(NWCONN_HANDLE connection, uint16_t volumeNumber,
                                    std::array<uint32_t, 33>& info) override;
    NWCCODE NWScanForTrustees(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                              uint32_t& iterHandle, uint16_t& entryCount,
                              std::array<TTrusteeEntry, 20>& entries) override;
    NWCCODE NWGetDirectoryEntryInfo(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                    uint32_t searchSequence, TDirEntryInfo& info) override;
    NWCCODE NWOpenDirectoryScan(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                uint8_t& scanHandle, uint32_t& directoryBase, uint32_t& searchSequence) override;
    NWCCODE NWScanDirectoryEntry(NWCONN_HANDLE connection, uint8_t scanHandle, uint32_t directoryBase,
                                 uint32_t& searchSequence, uint8_t searchAttributes, const std::string& pattern,
                                 TDirEntryInfo& entry) override;
    NWCCODE NWCloseDirectoryScan(NWCONN_HANDLE connection, uint8_t scanHandle) override;
    NWCCODE NWGetEffectiveRights(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                 uint16_t& rights) override;
    NWCCODE NWGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name, uint16_t& objectType) override;
    bool RedirectorDirectoryExists(const std::string& path) override;
    std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() override;
    // A loaded tree is never written: the same question always has the same answer.
    bool AnswersAreStable() const override { return true; }

    // --- For the code built on the store (effective rights, search)
    const TWorkstation& Workstation() const { return *workstation_; }
    // The tree of a context, or nullptr when the context is unknown or its tree is not loaded.
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
    // The connection behind a handle, or nullptr.
    const TSnapshotConnection* ConnectionOfHandle(NWCONN_HANDLE handle) const;
    // The connection behind a reference, or nullptr.
    const TSnapshotConnection* ConnectionOfReference(NWCONN_REF reference) const;

protected:
    bool FindTree(const std::string& treeName, std::string& canonical) const override;
    std::string DefaultTreeName() const override;
    // Whether a connection's server answers no file-system call (no NCP reaches it): the volume,
    // directory and bindery calls then fail as a client fails that cannot reach a server.
    virtual bool Unreachable(NWCONN_HANDLE) const { return false; }

private:
    struct TIteration;
    struct TSearch;   // client/snapshot/snapshot_search.h
    struct TStream;
    // One directory entry scan.
    struct TDirectoryScan {
        NWCONN_HANDLE Connection = 0;
        const TSnapshotVolume* Volume = nullptr;
        uint32_t Directory = 0;
    };
    NWCCODE ListBatch(NWDSContextHandle context, const std::string& object, bool containersOnly,
                      int32_t& iterationHandle, TDSBuffer& result);
    // The attachment behind a handle for a file-system call, or nullptr with the code to give.
    const TSnapshotConnection* FileServer(NWCONN_HANDLE handle, NWCCODE& code) const;
    NWCCODE ConnectionInfo(const TSnapshotConnection& connection, uint32_t infoType, std::span<uint8_t> buffer) const;
    // A "VOL:path" on a connection's server: the volume and the directory, or a server code.
    NWCCODE VolumePath(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                       const TSnapshotVolume*& volume, uint32_t& directory) const;
    // A Windows path (drive letter or UNC): server, volume and the path within it (unchecked).
    NWCCODE SplitWindowsPath(const std::string& path, uint32_t& server, uint32_t& volume, std::string& dirPath) const;
    // The first call of a search: the filter bound to the tree and the objects to test.
    NWCCODE StartSearch(NWDSContextHandle context, const TContextState& state, const std::string& baseObjectName,
                        int32_t scope, bool searchAliases, const TDSBuffer& filterBuffer, uint32_t infoType,
                        std::unique_ptr<TSearch>& fresh);
    // The first call of a read: the object and the attributes to send.
    NWCCODE StartRead(NWDSContextHandle context, const TContextState& state, const std::string& object,
                      uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames, std::unique_ptr<TIteration>& fresh);

    std::unique_ptr<TWorkstation> workstation_;
    // Full names already read, per tree: the object each names (NoObject: none), before aliases.
    mutable std::unordered_map<const TSnapshotTree*, std::unordered_map<std::string, uint32_t>> knownNames_;
    TRightsCache rights_;   // what the effective-rights answers keep for later questions
    TIterationTable iterations_;   // open reads, listings and searches
    std::unordered_map<int32_t, std::unique_ptr<TStream>> streams_;
    int32_t nextStream_ = 1;
    std::unordered_map<uint8_t, std::unique_ptr<TDirectoryScan>> scans_;
};

} // namespace era
