// The workstation client's directory calls: each goes to the source of the tree it is about.

#include "client/workstation_calls.h"

#include "client/ascii_fold.h"
#include "directory/error_table.h"

#include <algorithm>
#include <cstring>

namespace era {

namespace {

// The attachments of live trees that the workstation file does not reach.
constexpr NWCONN_REF FirstOwnReference = 0x00A20001;
constexpr NWCONN_HANDLE FirstOwnHandle = 0x00010001;

// What a call about a context gives when no source answers it: the context is unknown, or its
// tree is not the workstation's. An iteration handle given becomes -1.
NWCCODE NoSource(const TContextState* state, int32_t* iterationHandle = nullptr) {
    if (iterationHandle) *iterationHandle = NoIteration;
    return state ? ErrTreeNotFound : ErrBadContext;
}

} // namespace

TWorkstationClient::TWorkstationClient(std::unique_ptr<TWorkstation> workstation)
    : workstation_(std::move(workstation)) {
    const TWorkstation& ws = *workstation_;
    uint32_t live = 0;
    for (uint32_t tree = 0; tree < ws.Trees.size(); ++tree) {
        ws.Trees[tree]->SetHost(*this);
        if (!ws.Trees[tree]->Live()) continue;
        bool reached = false;
        for (const auto& connection : ws.Connections)
            reached = reached || ws.Servers[connection.Server].Tree == tree;
        if (!reached) ownAttachments_.push_back({tree, FirstOwnReference + live, FirstOwnHandle + live});
        ++live;
    }
}

TWorkstationClient::~TWorkstationClient() = default;

bool TWorkstationClient::FindTree(const std::string& treeName, std::string& canonical) const {
    uint32_t tree = workstation_->FindTree(treeName);
    if (tree == NoIndex) return false;
    canonical = workstation_->Trees[tree]->Name();
    return true;
}

std::string TWorkstationClient::DefaultTreeName() const {
    const auto& ws = *workstation_;
    for (const auto& connection : ws.Connections)
        if (connection.Primary) return ws.Trees[ws.Servers[connection.Server].Tree]->Name();
    if (!ws.Connections.empty()) return ws.Trees[ws.Servers[ws.Connections.front().Server].Tree]->Name();
    return ws.Trees.empty() ? std::string() : ws.Trees.front()->Name();
}

TDirectorySource* TWorkstationClient::SourceOf(NWDSContextHandle context) const {
    const TContextState* state = Context(context);
    if (!state) return nullptr;
    uint32_t tree = workstation_->FindTree(state->TreeName);
    return tree == NoIndex ? nullptr : workstation_->Trees[tree].get();
}

TDirectorySource* TWorkstationClient::SourceOfConnection(NWCONN_HANDLE connection) const {
    if (const TOwnAttachment* own = OwnAttachment(0, connection)) return workstation_->Trees[own->Tree].get();
    const TWorkstationConnection* attached = ConnectionOfHandle(connection);
    if (!attached) return nullptr;
    return workstation_->Trees[workstation_->Servers[attached->Server].Tree].get();
}

// ---------------------------------------------------------------------------------------------
// Reading, listing, searching

NWCCODE TWorkstationClient::NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType,
                                     bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                                     TDSBuffer& result) {
    TDirectorySource* source = SourceOf(context);
    if (source)
        return source->NWDSRead(context, object, infoType, allAttrs, attrNames, iterationHandle, result);
    result.ClearResult();
    return NoSource(Context(context), &iterationHandle);
}

NWCCODE TWorkstationClient::NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                                               std::string& distinguishedName, TObjectInfo& info) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSReadObjectInfo(context, object, distinguishedName, info);
    distinguishedName.clear();
    info = {};
    return NoSource(Context(context));
}

NWCCODE TWorkstationClient::NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                                  TDSBuffer& buffer) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSReadObjectDSIInfo(context, object, buffer);
    buffer.ClearResult();
    return NoSource(Context(context));
}

NWCCODE TWorkstationClient::NWDSList(NWDSContextHandle context, const std::string& object,
                                     int32_t& iterationHandle, TDSBuffer& result) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSList(context, object, iterationHandle, result);
    result.ClearResult();
    return NoSource(Context(context), &iterationHandle);
}

NWCCODE TWorkstationClient::NWDSListContainers(NWDSContextHandle context, const std::string& object,
                                               int32_t& iterationHandle, TDSBuffer& result) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSListContainers(context, object, iterationHandle, result);
    result.ClearResult();
    return NoSource(Context(context), &iterationHandle);
}

NWCCODE TWorkstationClient::NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName,
                                              int32_t scope, bool searchAliases,
                                              const TDSBuffer& filterBuffer, uint32_t timeStamp,
                                              uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames,
                                              int32_t& iterationHandle, int32_t countObjectsToSearch,
                                              int32_t& countObjectsSearched, TDSBuffer& result) {
    TDirectorySource* source = SourceOf(context);
    if (source)
        return source->NWDSExtSyncSearch(context, baseObjectName, scope, searchAliases, filterBuffer,
                                         timeStamp, infoType, allAttrs, attrNames, iterationHandle,
                                         countObjectsToSearch, countObjectsSearched, result);
    result.ClearResult();
    countObjectsSearched = 0;
    return NoSource(Context(context), &iterationHandle);
}

NWCCODE TWorkstationClient::NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle, uint32_t) {
    if (!Context(context)) return ErrBadContext;
    if (iterationHandle == NoIteration) return 0;
    TIterationBase* open = iterations_.Find(iterationHandle);
    // What a source holds elsewhere for the iteration (a paged search on a server) is let go too.
    if (open && open->Context == context)
        for (const auto& tree : workstation_->Trees)
            tree->CloseIteration(*open);
    return iterations_.Close(context, iterationHandle);
}

// ---------------------------------------------------------------------------------------------
// Names, rights, syntaxes

NWCCODE TWorkstationClient::NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                                 std::string& canonical) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSCanonicalizeName(context, name, canonical);
    canonical.clear();
    return NoSource(Context(context));
}

NWCCODE TWorkstationClient::NWDSWhoAmI(NWDSContextHandle context, std::string& name) {
    TDirectorySource* source = SourceOf(context);
    if (!source) {
        name.clear();
        return NoSource(Context(context));
    }
    // The user of the file's connection into the tree, the primary connection's first.
    const auto& ws = *workstation_;
    const TWorkstationConnection* chosen = nullptr;
    for (const auto& connection : ws.Connections) {
        if (connection.User == NoIndex || ws.Trees[ws.Servers[connection.Server].Tree].get() != source)
            continue;
        if (!chosen || (connection.Primary && !chosen->Primary)) chosen = &connection;
    }
    return source->NWDSWhoAmI(context, chosen ? chosen->User : NoIndex, name);
}

NWCCODE TWorkstationClient::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection,
                                            NWObjectID id, std::string& name) {
    name.clear();
    if (!Context(context)) return ErrBadContext;
    // Object IDs belong to the server: they are looked up in the tree of the connection's server.
    TDirectorySource* source = SourceOfConnection(connection);
    if (!source) return NweInvalidConnection;
    return source->NWDSMapIDToName(context, id, name);
}

NWCCODE TWorkstationClient::NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection,
                                            const std::string& name, NWObjectID& id) {
    id = 0;
    if (!Context(context)) return ErrBadContext;
    TDirectorySource* source = SourceOfConnection(connection);
    if (!source) return NweInvalidConnection;
    return source->NWDSMapNameToID(context, name, id);
}

NWCCODE TWorkstationClient::NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection,
                                            std::string& serverDN) {
    serverDN.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    if (OwnAttachment(0, connection))
        return ErrNoSuchEntry; // a live tree's server is no object the file names
    const TWorkstationConnection* attached = ConnectionOfHandle(connection);
    if (!attached) return NweInvalidConnection;
    const TWorkstationServer& server = workstation_->Servers[attached->Server];
    if (server.Object == NoIndex) return ErrNoSuchEntry;
    serverDN = workstation_->Trees[server.Tree]->OutputObjectName(*state, server.Object);
    return 0;
}

NWCCODE TWorkstationClient::NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                                   const std::string& object, const std::string& attrName,
                                                   uint32_t& privileges) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSGetEffectiveRights(context, subject, object, attrName, privileges);
    privileges = 0;
    return NoSource(Context(context));
}

NWCCODE TWorkstationClient::NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName,
                                            uint32_t& syntaxID) {
    TDirectorySource* source = SourceOf(context);
    if (source) return source->NWDSGetSyntaxID(context, attrName, syntaxID);
    syntaxID = 0;
    return NoSource(Context(context));
}

// ---------------------------------------------------------------------------------------------
// Streams

NWCCODE TWorkstationClient::NWDSOpenStream(NWDSContextHandle context, const std::string& object,
                                           const std::string& attrName, uint32_t flags, int32_t& fileHandle) {
    fileHandle = -1;
    TDirectorySource* source = SourceOf(context);
    if (!source) return NoSource(Context(context));
    auto stream = std::make_unique<TSourceStream>();
    NWCCODE code = source->NWDSOpenStream(context, object, attrName, flags, *stream);
    if (code != 0) return code;
    while (streams_.count(nextStream_) || nextStream_ <= 0)
        nextStream_ = nextStream_ == INT32_MAX ? 1 : nextStream_ + 1;
    fileHandle = nextStream_++;
    streams_.emplace(fileHandle, std::move(stream));
    return 0;
}

NWCCODE TWorkstationClient::NWStreamRead(int32_t fileHandle, std::span<uint8_t> buffer, uint32_t& bytesRead) {
    bytesRead = 0;
    auto it = streams_.find(fileHandle);
    if (it == streams_.end()) return ErrInvalidHandle;
    TSourceStream& stream = *it->second;
    size_t count = std::min(buffer.size(), stream.Bytes->size() - stream.Offset);
    if (count) std::memcpy(buffer.data(), stream.Bytes->data() + stream.Offset, count);
    stream.Offset += count;
    bytesRead = static_cast<uint32_t>(count);
    return 0;
}

NWCCODE TWorkstationClient::NWStreamClose(int32_t fileHandle) {
    return streams_.erase(fileHandle) ? 0 : ErrInvalidHandle;
}

// ---------------------------------------------------------------------------------------------
// Start-up and error texts

NWCCODE TWorkstationClient::NWCallsInit() {
    NWCCODE first = 0;
    TDirectorySource* failed = nullptr;
    for (const auto& tree : workstation_->Trees) {
        NWCCODE code = tree->Start();
        if (code != 0 && first == 0) {
            first = code;
            failed = tree.get();
        }
    }
    // The message of a failed start tells the first tree that could not be reached.
    if (failed) failed->KeepStartFailure();
    return first;
}

std::unique_ptr<TErrorTextLibrary> TWorkstationClient::LoadErrorTextLibrary() {
    for (const auto& tree : workstation_->Trees)
        if (auto texts = tree->ErrorTexts()) return texts;
    return std::make_unique<TTableErrorTextLibrary>();
}

} // namespace era
