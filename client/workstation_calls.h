#pragma once

// The workstation client: a directory client over a workstation file. It owns what every
// workstation has — its contexts, its connections (and the attachments of live trees that no
// connection of the file reaches), the servers with their volumes, directories and bindery, the
// redirector — and passes each directory call to the source of the tree it is about
// (client/directory_source.h).

#include "client/context_client.h"
#include "client/directory_source.h"
#include "client/iteration_table.h"
#include "client/workstation.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

constexpr uint16_t BinderyUserType = 1; // the type NWGetObjectName gives for bindery names

class TWorkstationClient : public TContextClient, private TSourceHost {
public:
    explicit TWorkstationClient(std::unique_ptr<TWorkstation> workstation);
    ~TWorkstationClient() override;

    // --- Reading and names: passed on to the source of the context's tree
    NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                     const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) override;
    NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                               std::string& distinguishedName, TObjectInfo& info) override;
    NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                  TDSBuffer& buffer) override;
    NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                     TDSBuffer& result) override;
    NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                               TDSBuffer& result) override;
    NWCCODE NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                 std::string& canonical) override;
    NWCCODE NWDSWhoAmI(NWDSContextHandle context, std::string& name) override;
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id,
                            std::string& name) override;
    NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection, const std::string& name,
                            NWObjectID& id) override;
    NWCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection,
                            std::string& serverDN) override;
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                   const std::string& object, const std::string& attrName,
                                   uint32_t& privileges) override;
    NWCCODE NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle,
                               uint32_t operation) override;
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp,
                              uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames,
                              int32_t& iterationHandle, int32_t countObjectsToSearch,
                              int32_t& countObjectsSearched, TDSBuffer& result) override;
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName,
                            uint32_t& syntaxID) override;
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, int32_t& fileHandle) override;
    NWCCODE NWStreamRead(int32_t fileHandle, std::span<uint8_t> buffer, uint32_t& bytesRead) override;
    NWCCODE NWStreamClose(int32_t fileHandle) override;

    // --- Connections. A live tree that no connection of the workstation file reaches is an
    // attachment of its own: its reference comes after the file's, it is the primary one when the
    // file names none, its server name and user are the source's.
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
    NWCCODE NWGetVolumeNumber(NWCONN_HANDLE connection, const std::string& volumeName,
                              uint16_t& volumeNumber) override;
    NWCCODE NWGetVolumeName(NWCONN_HANDLE connection, uint16_t volumeNumber,
                            std::string& volumeName) override;
    NWCCODE NWGetExtendedVolumeInfo(NWCONN_HANDLE connection, uint16_t volumeNumber,
                                    std::array<uint32_t, 33>& info) override;
    NWCCODE NWScanForTrustees(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                              uint32_t& iterHandle, uint16_t& entryCount,
                              std::array<TTrusteeEntry, 20>& entries) override;
    NWCCODE NWGetDirectoryEntryInfo(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                    uint32_t searchSequence, TDirEntryInfo& info) override;
    NWCCODE NWOpenDirectoryScan(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                uint8_t& scanHandle, uint32_t& directoryBase,
                                uint32_t& searchSequence) override;
    NWCCODE NWScanDirectoryEntry(NWCONN_HANDLE connection, uint8_t scanHandle, uint32_t directoryBase,
                                 uint32_t& searchSequence, uint8_t searchAttributes,
                                 const std::string& pattern, TDirEntryInfo& entry) override;
    NWCCODE NWCloseDirectoryScan(NWCONN_HANDLE connection, uint8_t scanHandle) override;
    NWCCODE NWGetEffectiveRights(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                 uint16_t& rights) override;
    NWCCODE NWGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name,
                            uint16_t& objectType) override;
    bool RedirectorDirectoryExists(const std::string& path) override;
    // The error texts: the table's, or a source's own (a live source names the server it lost).
    std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() override;

    // --- For tests, tools and diagnostics
    const TWorkstation& Workstation() const { return *workstation_; }
    // The connection behind a handle, or nullptr.
    const TWorkstationConnection* ConnectionOfHandle(NWCONN_HANDLE handle) const;
    // The connection behind a reference, or nullptr.
    const TWorkstationConnection* ConnectionOfReference(NWCONN_REF reference) const;

protected:
    bool FindTree(const std::string& treeName, std::string& canonical) const override;
    std::string DefaultTreeName() const override;

private:
    // An attachment of a live tree of its own.
    struct TOwnAttachment {
        uint32_t Tree = NoIndex;
        NWCONN_REF Reference = 0;
        NWCONN_HANDLE Handle = 0;
    };
    // One directory entry scan.
    struct TDirectoryScan {
        NWCONN_HANDLE Connection = 0;
        const TWorkstationVolume* Volume = nullptr;
        uint32_t Directory = 0;
    };

    // TSourceHost
    const TContextState* ContextOf(NWDSContextHandle context) const override { return Context(context); }
    TIterationTable& Iterations() override { return iterations_; }

    // The source of a context's tree, or nullptr (the context is unknown, or so is its tree).
    TDirectorySource* SourceOf(NWDSContextHandle context) const;
    // The source of the tree of a connection's server, or nullptr for no connection.
    TDirectorySource* SourceOfConnection(NWCONN_HANDLE connection) const;
    // The own attachment of a reference or a handle, or nullptr.
    const TOwnAttachment* OwnAttachment(NWCONN_REF reference, NWCONN_HANDLE handle) const;
    // Whether a connection's server answers no file-system call (no NCP reaches it): the server
    // of a live tree for which the workstation file gives no volumes, or a live tree's own
    // attachment. The volume, directory and bindery calls then fail as a client fails that
    // cannot reach a server.
    bool Unreachable(NWCONN_HANDLE connection) const;
    // The attachment behind a handle for a file-system call, or nullptr with the code to give.
    const TWorkstationConnection* FileServer(NWCONN_HANDLE handle, NWCCODE& code) const;
    NWCCODE ConnectionInfo(const TWorkstationConnection& connection, uint32_t infoType,
                           std::span<uint8_t> buffer) const;
    NWCCODE AttachmentInfo(const TOwnAttachment& own, uint32_t infoType, std::span<uint8_t> buffer);
    // A "VOL:path" on a connection's server: the volume and the directory, or a server code.
    NWCCODE VolumePath(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                       const TWorkstationVolume*& volume, uint32_t& directory) const;
    // A Windows path (drive letter or UNC): server, volume and the path within it (unchecked).
    NWCCODE SplitWindowsPath(const std::string& path, uint32_t& server, uint32_t& volume,
                             std::string& dirPath) const;

    std::unique_ptr<TWorkstation> workstation_;
    std::vector<TOwnAttachment> ownAttachments_;
    TIterationTable iterations_; // open reads, listings and searches of every source
    std::unordered_map<int32_t, std::unique_ptr<TSourceStream>> streams_;
    int32_t nextStream_ = 1;
    std::unordered_map<uint8_t, std::unique_ptr<TDirectoryScan>> scans_;
};

} // namespace era
