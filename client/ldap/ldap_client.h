#pragma once

// The live directory: the directory source of a tree named "ldap" in the workstation file, read
// from an LDAP server (eDirectory's LDAP service, or any server holding an eDirectory export).
// The servers, volumes and connections of the file are the workstation client's.
//
// Names: a DN's parts become the parts of a directory name ("cn=admin,o=acme" is admin.acme);
// the tree root is the entry "t=<tree>" where the server has one, else the configured base's
// parent ("" for "o=acme", which then holds no attributes). A name part's naming type is taken
// from the DNs the server returned; where none is known yet the usual types are tried (CN for the
// leftmost part, O for the top one, OU between) and then the parent's subordinates are searched.
//
// What the server answered for a name (the whole entry, read once with every attribute), for
// a search (by filter, base and scope) and for an effective-rights question (by object, subject
// and attribute) is kept for the cache time of the tree's settings, so an analysis asks about each
// level and each trustee once. A lost connection empties the cache.

#include "client/directory_source.h"
#include "client/ldap/ldap_session.h"
#include "client/ldap/ldap_settings.h"

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

class TLdapSource : public TDirectorySource {
public:
    TLdapSource(TLdapSettings settings, std::string treeName);
    ~TLdapSource() override;

    const std::string& Name() const override;
    bool Live() const override { return true; }
    // What the workstation file names in the tree stands in for the server's object: it keeps
    // the ID given here (every container above it too) until the server names it.
    uint32_t FileObject(const TNameParts& full) override;
    NWObjectID ObjectID(uint32_t object) const override;
    std::string OutputObjectName(const TContextState& context, uint32_t object) const override;
    // The file's trustees of the user itself, the containers above it and [Public].
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
    // A paged search still open on the server is let go there too.
    void CloseIteration(TIterationBase& open) override;
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) override;
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, TSourceStream& stream) override;

    // --- Start-up: connects and binds to the server
    NWCCODE Start() override;
    void KeepStartFailure() override;
    // The error texts; a lost server or a refused bind is described with the server and the reason.
    std::unique_ptr<TErrorTextLibrary> ErrorTexts() const override;

    // --- The tree's own attachment, when no connection of the workstation file reaches it: its
    // server name is the URI's host, its user the identity the server holds for the bind (none
    // for an anonymous one).
    std::string AttachmentServerName() const override;
    bool AttachmentAuthenticated() const override;
    NWCCODE AttachmentUser(NWObjectID& id) override;

    // --- For tests and diagnostics
    // Round trips to the server so far.
    uint64_t RoundTrips() const;
    // Forgets every answer kept (the next questions go to the server again).
    void ClearCache();
    // How long calls fail at once after the server was found unreachable (one second by default).
    void SetReconnectDelay(std::chrono::milliseconds delay);
    // The last failure of the connection in words, or empty.
    const std::string& LastError() const { return lastError_; }

private:
    struct TTree;
    struct TCached;
    struct TIteration;

    // The tree of a context (the workstation client asks about contexts of this tree only).
    TTree* TreeOf(NWDSContextHandle) { return tree_.get(); }
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

    std::unique_ptr<TTree> tree_;
    std::vector<TNameParts> standIn_;   // the objects the workstation file names, [Root] first
    std::string lastError_;
};

} // namespace era
