#pragma once

// The live directory: a directory client whose trees named "ldap" in the workstation file are
// read from an LDAP server (eDirectory's LDAP service, or any server holding an eDirectory
// export), while trees named "ldif", the servers, volumes and connections of the file are
// answered as the embedded directory answers them.
//
// Names: a DN's parts become the parts of a directory name ("cn=admin,o=acme" is admin.acme);
// the tree root is the entry "t=<tree>" where the server has one, else the configured base's
// parent ("" for "o=acme", which then holds no attributes). A name part's naming type is taken
// from the DNs the server returned; where none is known yet the usual types are tried (CN for the
// leftmost part, O for the top one, OU between) and then the parent's subordinates are searched.
//
// What the server answered for a name (the whole entry, read once with every attribute) and for
// a search (by filter, base and scope) is kept for the cache time of the tree's settings, so an
// analysis asks about each level and each trustee once. A lost connection empties the cache.

#include "client/ldap/ldap_session.h"
#include "client/snapshot/snapshot_client.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

class TLdapClient : public TSnapshotClient {
public:
    explicit TLdapClient(std::unique_ptr<TWorkstation> workstation);
    ~TLdapClient() override;

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
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attrName, uint32_t& privileges) override;
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp, uint32_t infoType,
                              bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                              int32_t countObjectsToSearch, int32_t& countObjectsSearched, TDSBuffer& result) override;
    NWCCODE NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle, uint32_t operation) override;
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) override;
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, int32_t& fileHandle) override;
    NWCCODE NWStreamRead(int32_t fileHandle, std::span<uint8_t> buffer, uint32_t& bytesRead) override;
    NWCCODE NWStreamClose(int32_t fileHandle) override;

    // --- Start-up: connects and binds to every LDAP tree
    NWCCODE NWCallsInit() override;

    // --- Connections. An LDAP tree that no connection of the workstation file reaches is an
    // attachment of its own: its reference comes after the file's, it is the primary one when the
    // file names none, its server name is the URI's host, its user the identity the server holds
    // for the bind (none for an anonymous one).
    NWCCODE NWCCScanConnRefs(uint32_t& scanIterator, NWCONN_REF& connRef) override;
    NWCCODE NWCCGetPrimConnRef(NWCONN_REF& connRef) override;
    NWCCODE NWCCOpenConnByRef(NWCONN_REF connRef, uint32_t openState, uint32_t reserved,
                              NWCONN_HANDLE& connection) override;
    NWCCODE NWCCCloseConn(NWCONN_HANDLE connection) override;
    NWCCODE NWCCGetConnRefInfo(NWCONN_REF connRef, uint32_t infoType, std::span<uint8_t> buffer) override;
    NWCCODE NWCCGetConnInfo(NWCONN_HANDLE connection, uint32_t infoType, std::span<uint8_t> buffer) override;
    NWCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection, std::string& serverDN) override;
    // The error texts; a lost server or a refused bind is described with the server and the reason.
    std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() override;
    // The server's directory may change at any time (what is read is kept for cacheSeconds only).
    bool AnswersAreStable() const override { return false; }

    // --- For tests and diagnostics
    // Round trips to the servers so far (every tree, or one tree by name).
    uint64_t RoundTrips() const;
    uint64_t RoundTrips(const std::string& treeName) const;
    // Forgets every answer kept (the next questions go to the servers again).
    void ClearCache();
    // How long calls fail at once after a server was found unreachable (one second by default).
    void SetReconnectDelay(std::chrono::milliseconds delay);
    // The last failure of a tree's connection in words, or empty.
    std::string LastError(const std::string& treeName) const;
    // The last failure of any tree's connection.
    const std::string& LastError() const { return lastError_; }
    // Whether a tree is read over LDAP.
    bool IsLdapTree(const std::string& treeName) const;

protected:
    // A server in an LDAP tree for which the workstation file gives no volumes (or the LDAP
    // server's own attachment): the file system of the server is the workstation file's, or none.
    bool Unreachable(NWCONN_HANDLE connection) const override;

private:
    struct TTree;
    struct TCached;
    struct TIteration;
    struct TStream;

    // The LDAP tree of a context (nullptr for a tree of the workstation file).
    TTree* TreeOf(NWDSContextHandle context);
    TTree* TreeOfConnection(NWCONN_HANDLE connection);
    // The LDAP tree whose own attachment this is (nullptr for the workstation file's).
    TTree* OwnAttachment(NWCONN_REF reference, NWCONN_HANDLE handle) const;
    NWCCODE AttachmentInfo(TTree& tree, uint32_t infoType, std::span<uint8_t> buffer);
    NWCCODE Remember(TTree& tree, NWCCODE code);

    // Names and entries.
    NWCCODE ResolveObject(TTree& tree, const TContextState& state, const std::string& name, bool deref,
                          const TCached*& entry);
    NWCCODE Fetch(TTree& tree, const TNameParts& full, const TCached*& entry);
    NWCCODE FetchRoot(TTree& tree, const TCached*& entry);
    NWCCODE Locate(TTree& tree, const TNameParts& full, const TCached*& entry);
    NWCCODE ReadEntry(TTree& tree, const std::string& dn, const TNameParts& full, const TCached*& entry);
    const TCached& Store(TTree& tree, TLdapEntry entry, const TNameParts* asked);
    NWCCODE Dereference(TTree& tree, const TCached*& entry);
    std::string DnOf(TTree& tree, const TNameParts& full, bool& guessed) const;
    bool PartsOfDn(const TTree& tree, std::string_view dn, TNameParts& parts) const;
    void Learn(TTree& tree, const TNameParts& full, const std::string& dn);
    std::string OutputValueName(TTree& tree, const TContextState& state, std::string_view text);
    NWObjectID IdOf(TTree& tree, const TNameParts& full);
    NWCCODE NameToDn(TTree& tree, const TContextState& state, const std::string& name, std::string& dn);

    // Reading, listing and searching.
    std::vector<TBufferAttribute> ReadAttributes(TTree& tree, const TContextState& state, const TCached& entry,
                                                 bool allAttrs, const TDSBuffer* attrNames);
    NWCCODE StartList(TTree& tree, const TContextState& state, const std::string& object, TIteration& fresh);
    NWCCODE ListBatch(NWDSContextHandle context, const std::string& object, bool containersOnly,
                      int32_t& iterationHandle, TDSBuffer& result);
    NWCCODE StartSearch(TTree& tree, const TContextState& state, const std::string& baseObjectName, int32_t scope,
                        const TDSBuffer& filterBuffer, TIteration& fresh);
    // A search asked before within the cache time: its results from the entries kept.
    void FromSearchCache(TTree& tree, const TContextState& state, TIteration& fresh);
    // Sends what the iteration holds and asks the server for pages until the batch has objects.
    NWCCODE SendPages(TIteration& iteration, const TContextState& state, TObjectBatch& batch);
    NWCCODE NextPage(TIteration& iteration, const TContextState& state);

    std::vector<std::unique_ptr<TTree>> trees_;
    TIterationTable iterations_;
    std::unordered_map<int32_t, std::unique_ptr<TStream>> streams_;
    int32_t nextStream_;
    std::string lastError_;
};

} // namespace era
