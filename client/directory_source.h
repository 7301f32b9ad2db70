#pragma once

// One tree's directory as the workstation client asks it. The workstation client
// (client/workstation_calls.h) owns what every workstation has: its contexts, connections,
// servers, volumes and redirector. Each tree of the workstation file has one source: the embedded
// directory loaded from an LDIF export (client/snapshot/) or a live directory read from an LDAP
// server (client/ldap/). The workstation client passes each directory call to the source of the
// context's tree, and each call about a connection to the source of the tree of its server.
//
// A source sees the workstation client's contexts and keeps its reads, listings and searches in
// the client's one iteration table, so no two sources hand out the same handle. The client checks
// the context before it passes a call on: a source is only asked about a context that exists.

#include "client/context_client.h"
#include "client/iteration_table.h"

#include <memory>
#include <span>
#include <string>

namespace era {

struct TWorkstationServer;
struct TWorkstationVolume;

// No such entry (server, volume, directory ...); also no object of a tree.
constexpr uint32_t NoIndex = 0xFFFFFFFFu;
// The object number of [Root] in every source.
constexpr uint32_t SourceRootObject = 0;

// What a source sees of the workstation client.
class TSourceHost {
public:
    virtual ~TSourceHost() = default;
    // The context of a handle, or nullptr.
    virtual const TContextState* ContextOf(NWDSContextHandle context) const = 0;
    // The open reads, listings and searches of every source.
    virtual TIterationTable& Iterations() = 0;
};

// One stream attribute opened for reading.
struct TSourceStream {
    const std::string* Bytes = nullptr; // Copy, or bytes the source keeps as long as it lives
    std::string Copy;
    size_t Offset = 0;
};

class TDirectorySource {
public:
    virtual ~TDirectorySource() = default;
    // The workstation client that passes the calls on; set before the first call.
    void SetHost(TSourceHost& host) { host_ = &host; }

    // The tree's name.
    virtual const std::string& Name() const = 0;
    // Whether the directory is read from a server. A server of such a tree answers file-system
    // calls only where the workstation file describes its volumes (only NCP could tell more), and
    // a live tree that no connection of the file reaches is an attachment of its own.
    virtual bool Live() const { return false; }

    // --- The objects the workstation file names (servers, volumes, users, owners, trustees), by
    // the source's own numbers.
    // The object of a full name, or NoIndex when the tree has none; a live source takes the
    // file's word for it.
    virtual uint32_t FileObject(const TNameParts& full) = 0;
    virtual NWObjectID ObjectID(uint32_t object) const = 0;
    // An object's name as the context hands names back.
    virtual std::string OutputObjectName(const TContextState& context, uint32_t object) const = 0;
    // A user's file-system rights on a directory of one of the server's volumes.
    virtual uint16_t FileRights(uint32_t user, const TWorkstationServer& server,
                                const TWorkstationVolume& volume, uint32_t directory) = 0;

    // --- Start-up and error texts
    virtual NWCCODE Start() { return 0; }
    // The start failed here first: the error texts name this source's reason.
    virtual void KeepStartFailure() {}
    // The error texts when the source has texts of its own (nullptr: the table's).
    virtual std::unique_ptr<TErrorTextLibrary> ErrorTexts() const { return nullptr; }

    // --- The attachment of a live tree of its own: the server's name, whether the bind is as
    // someone, and that one's ID.
    virtual std::string AttachmentServerName() const { return {}; }
    virtual bool AttachmentAuthenticated() const { return false; }
    virtual NWCCODE AttachmentUser(NWObjectID& id) {
        id = 0;
        return 0;
    }

    // --- The directory calls for a context in this tree, as directory/client.h describes them.
    virtual NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType,
                             bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                             TDSBuffer& result) = 0;
    virtual NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                                       std::string& distinguishedName, TObjectInfo& info) = 0;
    virtual NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                          TDSBuffer& buffer) = 0;
    virtual NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                             TDSBuffer& result) = 0;
    virtual NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object,
                                       int32_t& iterationHandle, TDSBuffer& result) = 0;
    virtual NWCCODE NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                         std::string& canonical) = 0;
    // Who the context's tree knows the workstation as; fileUser is the user of the workstation
    // file's connection into the tree (NoIndex: none).
    virtual NWCCODE NWDSWhoAmI(NWDSContextHandle context, uint32_t fileUser, std::string& name) = 0;
    virtual NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                           const std::string& object, const std::string& attrName,
                                           uint32_t& privileges) = 0;
    virtual NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName,
                                      int32_t scope, bool searchAliases, const TDSBuffer& filterBuffer,
                                      uint32_t timeStamp, uint32_t infoType, bool allAttrs,
                                      const TDSBuffer* attrNames, int32_t& iterationHandle,
                                      int32_t countObjectsToSearch, int32_t& countObjectsSearched,
                                      TDSBuffer& result) = 0;
    virtual NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName,
                                    uint32_t& syntaxID) = 0;
    // Opens a stream attribute for reading (flags as the call gives them).
    virtual NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object,
                                   const std::string& attrName, uint32_t flags, TSourceStream& stream) = 0;
    // An iteration of the context is closed: the source lets go of what it holds for it.
    virtual void CloseIteration(TIterationBase&) {}

    // --- The calls on a connection to one of the tree's servers (object IDs are the server's).
    virtual NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWObjectID id, std::string& name) = 0;
    virtual NWCCODE NWDSMapNameToID(NWDSContextHandle context, const std::string& name, NWObjectID& id) = 0;

protected:
    const TContextState* Context(NWDSContextHandle context) const { return host_->ContextOf(context); }
    TIterationTable& Iterations() { return host_->Iterations(); }
    static NWCCODE ResolveName(const TContextState& context, const std::string& name,
                               TResolvedName& resolved) {
        return TContextClient::ResolveName(context, name, resolved);
    }
    static std::string OutputName(const TContextState& context, const TNameParts& full) {
        return TContextClient::OutputName(context, full);
    }
    static NWCCODE CanonicalName(const TContextState& context, const std::string& name,
                                 const TContextClient::TKnownName& knownName, std::string& canonical) {
        return TContextClient::CanonicalName(context, name, knownName, canonical);
    }

private:
    TSourceHost* host_ = nullptr;
};

} // namespace era
