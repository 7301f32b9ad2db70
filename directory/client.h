#pragma once

// The directory client interface: what stands in for the NetWare client on this platform.
//
// Each call mirrors one call of the NetWare client (directory, connections, volumes and files,
// bindery, error texts) with the same inputs, outputs and completion codes, so the access layer
// above it reads like the client calls it was written for. Every call returns a completion code
// (int32_t, 0 = success); no exception crosses this interface.
//
// Two backends implement it: the embedded directory (an LDIF export plus a workstation file) and
// a live directory over LDAP. The base class answers every call as a workstation without a client
// does, so a backend overrides what it supports.

#include "directory/attribute_names.h"
#include "directory/completion_codes.h"
#include "directory/rights_bits.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace era {

// ---------------------------------------------------------------------------------------------
// Handles and well-known numbers

using NWDSContextHandle = uint32_t;   // directory context; 0 is never a valid handle
using NWCONN_HANDLE = uint32_t;       // an opened connection
using NWCONN_REF = uint32_t;          // an attachment of the workstation to a server
using NWObjectID = uint32_t;          // a directory or bindery object on a connection

// Context keys (get and set).
constexpr uint32_t DckFlags = 1;         // uint32_t, the DcvXxx bits
constexpr uint32_t DckConfidence = 2;    // uint32_t, 0 for listing
constexpr uint32_t DckNameContext = 3;   // text: the container relative names resolve against
constexpr uint32_t DckTreeName = 11;     // text
constexpr uint32_t DckDsiFlags = 12;     // uint32_t, the DsiXxx fields an information read returns

// Context flags.
constexpr uint32_t DcvDerefAliases = 1;
constexpr uint32_t DcvTypelessNames = 4;
constexpr uint32_t DcvCanonicalizeNames = 16;

// Information fields of an object information read (context key 12), one bit each.
constexpr uint32_t DsiModificationTime = 32;   // uint32_t seconds since 1970
constexpr uint32_t DsiCreationTime = 64;       // uint32_t seconds since 1970
constexpr uint32_t DsiBaseClass = 2048;        // text
constexpr uint32_t DsiRdn = 4096;              // text
constexpr uint32_t DsiEntryDn = 8192;          // text: the full name
constexpr uint32_t DsiParentDn = 32768;        // text: the parent's full name

// Buffer operations (initialisation) and iteration kinds.
constexpr uint32_t DsvRead = 3;
constexpr uint32_t DsvList = 5;
constexpr uint32_t DsvSearch = 6;
constexpr uint32_t DsvSearchFilter = 28;

// Buffer sizes callers pass.
constexpr uint32_t DefaultMessageLen = 4096;
constexpr uint32_t MaxMessageLen = 64512;

// Read information types.
constexpr uint32_t DsAttributeNames = 0;
constexpr uint32_t DsAttributeValues = 1;

// Object flags of an object information record.
constexpr uint32_t DsAliasEntry = 1;
constexpr uint32_t DsContainerEntry = 4;

// Search scopes.
constexpr int32_t DsSearchEntry = 0;
constexpr int32_t DsSearchSubordinates = 1;
constexpr int32_t DsSearchSubtree = 2;

// Search filter tokens.
enum TFilterToken : uint32_t {
    FtokEnd = 0,
    FtokOr = 1,
    FtokAnd = 2,
    FtokNot = 3,
    FtokLParen = 4,
    FtokRParen = 5,
    FtokAVal = 6,
    FtokEq = 7,
    FtokGe = 8,
    FtokLe = 9,
    FtokApprox = 10,
    FtokAName = 14,
    FtokPresent = 15,
    FtokRdn = 16,
    FtokBaseClass = 17,
};

// Attribute syntax numbers.
enum TSyntaxID : uint32_t {
    SynUnknown = 0,
    SynDistName = 1,
    SynCeString = 2,
    SynCiString = 3,
    SynPrString = 4,
    SynNuString = 5,
    SynCiList = 6,
    SynBoolean = 7,
    SynInteger = 8,
    SynOctetString = 9,
    SynTelNumber = 10,
    SynFaxNumber = 11,
    SynNetAddress = 12,
    SynOctetList = 13,
    SynEMailAddress = 14,
    SynPath = 15,
    SynReplicaPointer = 16,
    SynObjectACL = 17,
    SynPoAddress = 18,
    SynTimeStamp = 19,
    SynClassName = 20,
    SynStream = 21,
    SynCounter = 22,
    SynBackLink = 23,
    SynTime = 24,
    SynTypedName = 25,
    SynHold = 26,
    SynInterval = 27,
};

// Connection information types.
constexpr uint32_t NwccInfoConnRef = 3;      // uint32_t
constexpr uint32_t NwccInfoTreeName = 4;     // text, padded with "_" to 32 characters
constexpr uint32_t NwccInfoUserID = 6;       // uint32_t, 0 when nobody is logged in
constexpr uint32_t NwccInfoServerName = 7;   // text
constexpr uint32_t NwccInfoAuthState = 8;    // uint32_t, non-zero: authenticated to the directory

// Directory entry scan search attributes.
constexpr uint8_t SaHiddenSystem = 6;        // hidden and system files
constexpr uint8_t SaDirectoriesAll = 22;     // directories, hidden and system ones included

// Completion codes: directory/completion_codes.h.
// How deep groups and NOTs of a search filter may nest; deeper filters are refused with -326.
constexpr int MaxFilterDepth = 64;

// ---------------------------------------------------------------------------------------------
// Values, typed per syntax (the client's value layouts)

struct TTextValue {           // 1-5, 10, 20 and every other text syntax
    std::string Text;
};
struct TCaseIgnoreList {      // 6
    std::vector<std::string> Elements;
};
struct TBooleanValue {        // 7
    uint8_t Value = 0;        // non-zero for true
};
struct TIntegerValue {        // 8 integer, 22 counter, 27 interval (seconds)
    int32_t Value = 0;
};
struct TOctetString {         // 9
    std::vector<uint8_t> Data;
};
struct TFaxNumber {           // 11
    std::string TelephoneNumber;
    uint32_t ParameterBits = 0;
    std::vector<uint8_t> Parameters;
};
struct TNetAddress {          // 12
    uint32_t AddressType = 0;
    std::vector<uint8_t> Address;
};
struct TOctetList {           // 13
    std::vector<std::vector<uint8_t>> Elements;
};
struct TEMailAddress {        // 14
    uint32_t Type = 0;
    std::string Address;
};
struct TPathValue {           // 15
    uint32_t NameSpaceType = 0;
    std::string VolumeName;
    std::string Path;
};
struct TReplicaPointer {      // 16
    std::string ServerName;
    uint32_t ReplicaType = 0;
    uint32_t ReplicaNumber = 0;
    std::vector<TNetAddress> Addresses;
};
struct TObjectACL {           // 17
    std::string ProtectedAttrName;
    std::string SubjectName;
    uint32_t Privileges = 0;
};
struct TPostalAddress {       // 18
    std::array<std::string, 6> Lines;
};
struct TTimeStamp {           // 19 time stamp, 24 time
    uint32_t WholeSeconds = 0;   // since 1970-01-01 00:00 UTC
    uint16_t ReplicaNumber = 0;
    uint16_t EventID = 0;
};
struct TBackLink {            // 23
    uint32_t RemoteID = 0;
    std::string ObjectName;
};
struct TTypedName {           // 25
    std::string ObjectName;
    uint32_t Level = 0;
    uint32_t Interval = 0;
};
struct THold {                // 26
    std::string ObjectName;
    uint32_t Amount = 0;
};
struct TUnknownValue {        // 0
    std::string AttrName;
    uint32_t SyntaxID = 0;
    std::vector<uint8_t> Value;
};
struct TRawValue {            // any syntax above 27: the bytes as they came
    std::vector<uint8_t> Bytes;
};

using TAttrValue = std::variant<TTextValue, TCaseIgnoreList, TBooleanValue, TIntegerValue, TOctetString,
                                TFaxNumber, TNetAddress, TOctetList, TEMailAddress, TPathValue,
                                TReplicaPointer, TObjectACL, TPostalAddress, TTimeStamp, TBackLink,
                                TTypedName, THold, TUnknownValue, TRawValue>;

// The bytes a value takes in a result buffer (what batching counts).
uint32_t EncodedValueSize(const TAttrValue& value);

// The client's object information record.
struct TObjectInfo {
    uint32_t ObjectFlags = 0;        // DsContainerEntry marks a container
    uint32_t SubordinateCount = 0;
    uint32_t ModificationTime = 0;   // seconds since 1970
    std::string BaseClass;           // at most 32 characters
};

// ---------------------------------------------------------------------------------------------
// Search filters

struct TFilterItem {
    uint32_t Token = FtokEnd;
    std::string Name;            // FtokAName: the attribute or class name
    TAttrValue Value;            // FtokAVal: the value in the attribute's syntax
    uint32_t Syntax = SynUnknown;
};

// A filter being built token by token (the client's filter cursor).
class TFilterCursor {
public:
    const std::vector<TFilterItem>& Items() const { return items_; }
    void Append(TFilterItem item) { items_.push_back(std::move(item)); }

private:
    std::vector<TFilterItem> items_;
};

// ---------------------------------------------------------------------------------------------
// Request and result buffers

// One object of a listing or search reply.
struct TBufferObject {
    std::string Name;
    TObjectInfo Info;
};

// One attribute of a read reply with the values of this batch.
struct TBufferAttribute {
    std::string Name;
    uint32_t Syntax = SynUnknown;
    std::vector<TAttrValue> Values;
};

// A request or result buffer of a fixed size. Callers create it with the size they pass to the
// client (4096 or 64512 bytes); a backend fills at most that many bytes, so large replies come in
// batches. The reading calls of the client walk it with a cursor.
class TDSBuffer {
public:
    explicit TDSBuffer(uint32_t size = DefaultMessageLen) : size_(size) {}

    uint32_t Size() const { return size_; }
    uint32_t Operation() const { return operation_; }
    uint32_t UsedBytes() const { return used_; }

    // Request side (written by NWDSInitBuf, NWDSPutAttrName, NWDSPutFilter).
    const std::vector<std::string>& AttributeNames() const { return attrNames_; }
    const std::vector<TFilterItem>& Filter() const { return filter_; }
    bool HasFilter() const { return hasFilter_; }

    // Result side, for backends: each call returns false, adding nothing, when it does not fit.
    void ClearResult();
    bool AddAttribute(const std::string& name, uint32_t syntax);
    bool AddValue(const TAttrValue& value);            // to the last attribute added
    bool AddObject(const std::string& name, const TObjectInfo& info);
    void SetDsiText(uint32_t field, const std::string& text);
    void SetDsiNumber(uint32_t field, uint32_t number);

    const std::vector<TBufferAttribute>& Attributes() const { return attributes_; }
    const std::vector<TBufferObject>& Objects() const { return objects_; }

private:
    friend class TDirectoryClient;
    bool Reserve(uint32_t bytes);

    uint32_t size_;
    uint32_t operation_ = 0;
    uint32_t used_ = 0;
    std::vector<std::string> attrNames_;
    std::vector<TFilterItem> filter_;
    bool hasFilter_ = false;
    std::vector<TBufferAttribute> attributes_;
    std::vector<TBufferObject> objects_;
    struct TDsiField {
        uint32_t Field;
        bool IsText;
        std::string Text;
        uint32_t Number;
    };
    std::vector<TDsiField> dsi_;
    // Reading cursors.
    size_t nextAttribute_ = 0;
    size_t nextValue_ = 0;
    size_t nextObject_ = 0;
};

// ---------------------------------------------------------------------------------------------
// NetWare file system records

struct TTrusteeEntry {
    NWObjectID ObjectID = 0;
    uint16_t Rights = 0;        // file-system rights mask
};

// A directory entry as the client reports it.
struct TDirEntryInfo {
    std::string Name;            // at most 15 characters in the client's record; longer names kept
    uint16_t RightsMask = 0;     // the inherited rights mask (8 bits; Supervisor is never masked)
    uint32_t CreationTime = 0;   // seconds since 1970
    NWObjectID OwnerID = 0;
    uint32_t SequenceNumber = 0; // where an entry scan goes on from
    uint8_t Attributes = 0;      // 0x10 directory, 0x02 hidden, 0x04 system
};

// ---------------------------------------------------------------------------------------------
// The client's error-text library, loaded for one lookup and released after it.
class TErrorTextLibrary {
public:
    virtual ~TErrorTextLibrary() = default;
    // The library's "NWstrerror" function: a zero-terminated description of a completion code.
    using TStrError = const char* (*)(int32_t code);
    // The exported "NWstrerror", or nullptr when the library exports none.
    virtual TStrError FindNWstrerror() const = 0;
};

// ---------------------------------------------------------------------------------------------
// One directory client: the calls of the NetWare client, one for one. The defaults answer as a
// workstation without a client: NWCallsInit fails with NweClientNotStarted and every other call
// with the code of a client that cannot reach anything.
class TDirectoryClient {
public:
    virtual ~TDirectoryClient() = default;

    // --- Contexts
    virtual NWCCODE NWDSCreateContextHandle(NWDSContextHandle& context);
    virtual NWCCODE NWDSDuplicateContextHandle(NWDSContextHandle source, NWDSContextHandle& copy);
    virtual NWCCODE NWDSFreeContext(NWDSContextHandle context);
    virtual NWCCODE NWDSGetContext(NWDSContextHandle context, uint32_t key, uint32_t& value);
    virtual NWCCODE NWDSGetContext(NWDSContextHandle context, uint32_t key, std::string& value);
    virtual NWCCODE NWDSSetContext(NWDSContextHandle context, uint32_t key, uint32_t value);
    virtual NWCCODE NWDSSetContext(NWDSContextHandle context, uint32_t key, const std::string& value);
    // Makes a tree the workstation's preferred one (length as the client takes it, then the name).
    virtual NWCCODE NWSetPreferredDSTree(uint16_t length, const std::string& treeName);

    // --- Buffers (the buffer itself is the caller's object; see TDSBuffer)
    NWCCODE NWDSInitBuf(NWDSContextHandle context, uint32_t operation, TDSBuffer& buffer);
    NWCCODE NWDSPutAttrName(NWDSContextHandle context, TDSBuffer& buffer, const std::string& attrName);
    // Closes the filter with its end token and puts it into a search request buffer.
    NWCCODE NWDSPutFilter(NWDSContextHandle context, TDSBuffer& buffer, const TFilterCursor& filter);

    // --- Reading
    // Reads the attributes named in attrNames (all when allAttrs) of an object into result, one
    // batch per call: iterationHandle is -1 before the first call and again after the last batch.
    virtual NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType,
                             bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                             TDSBuffer& result);
    NWCCODE NWDSGetAttrCount(NWDSContextHandle context, TDSBuffer& buffer, uint32_t& count);
    NWCCODE NWDSGetAttrName(NWDSContextHandle context, TDSBuffer& buffer, std::string& name,
                            uint32_t& valueCount, uint32_t& syntaxID);
    NWCCODE NWDSComputeAttrValSize(NWDSContextHandle context, TDSBuffer& buffer, uint32_t syntaxID,
                                   uint32_t& size);
    NWCCODE NWDSGetAttrVal(NWDSContextHandle context, TDSBuffer& buffer, uint32_t syntaxID, TAttrValue& value);

    // --- Object information
    virtual NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                                       std::string& distinguishedName, TObjectInfo& info);
    // Reads the information fields selected by context key 12 into buffer.
    virtual NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                          TDSBuffer& buffer);
    NWCCODE NWDSGetDSIInfo(NWDSContextHandle context, const TDSBuffer& buffer, uint32_t field, std::string& text);
    NWCCODE NWDSGetDSIInfo(NWDSContextHandle context, const TDSBuffer& buffer, uint32_t field, uint32_t& number);

    // --- Listing (one batch per call, as NWDSRead)
    virtual NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                             TDSBuffer& result);
    virtual NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object,
                                       int32_t& iterationHandle, TDSBuffer& result);
    NWCCODE NWDSGetObjectCount(NWDSContextHandle context, TDSBuffer& buffer, uint32_t& count);
    NWCCODE NWDSGetObjectName(NWDSContextHandle context, TDSBuffer& buffer, std::string& name,
                              uint32_t& attrCount, TObjectInfo& info);

    // --- Names
    virtual NWCCODE NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                         std::string& canonical);
    virtual NWCCODE NWDSWhoAmI(NWDSContextHandle context, std::string& name);
    virtual NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id,
                                    std::string& name);
    virtual NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection,
                                    const std::string& name, NWObjectID& id);
    // The directory name of the server a connection is attached to.
    virtual NWCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection, std::string& serverDN);
    // The directory's own answer: subject's effective rights on object for a protected attribute
    // ("[Entry Rights]", "[All Attributes Rights]" or an attribute name).
    virtual NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                           const std::string& object, const std::string& attrName,
                                           uint32_t& privileges);

    // --- Stream attributes
    virtual NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object,
                                   const std::string& attrName, uint32_t flags, int32_t& fileHandle);
    // Reads up to buffer.size() bytes; bytesRead 0 at the end.
    virtual NWCCODE NWStreamRead(int32_t fileHandle, std::span<uint8_t> buffer, uint32_t& bytesRead);
    virtual NWCCODE NWStreamClose(int32_t fileHandle);

    // --- Search
    NWCCODE NWDSAllocFilter(std::unique_ptr<TFilterCursor>& cursor);
    NWCCODE NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token);
    NWCCODE NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token, const std::string& name, uint32_t syntax);
    NWCCODE NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token, const TAttrValue& value, uint32_t syntax);
    void NWDSFreeFilter(std::unique_ptr<TFilterCursor>& cursor);
    // Searches from base over scope with the filter in filterBuffer; returns at most
    // countObjectsToSearch objects per call into result (names and information).
    virtual NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName,
                                      int32_t scope, bool searchAliases, const TDSBuffer& filterBuffer,
                                      uint32_t timeStamp, uint32_t infoType, bool allAttrs,
                                      const TDSBuffer* attrNames, int32_t& iterationHandle,
                                      int32_t countObjectsToSearch, int32_t& countObjectsSearched,
                                      TDSBuffer& result);
    virtual NWCCODE NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle, uint32_t operation);
    virtual NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID);

    // --- Connections
    virtual NWCCODE NWCallsInit();
    // Gives the next connection reference after scanIterator (start with 0); non-zero at the end.
    virtual NWCCODE NWCCScanConnRefs(uint32_t& scanIterator, NWCONN_REF& connRef);
    virtual NWCCODE NWCCGetPrimConnRef(NWCONN_REF& connRef);
    virtual NWCCODE NWCCOpenConnByRef(NWCONN_REF connRef, uint32_t openState, uint32_t reserved,
                                      NWCONN_HANDLE& connection);
    virtual NWCCODE NWCCCloseConn(NWCONN_HANDLE connection);
    // Connection information of one type into buffer: texts zero-terminated, numbers as 4 bytes
    // (host order); a buffer too small for the answer fails.
    virtual NWCCODE NWCCGetConnRefInfo(NWCONN_REF connRef, uint32_t infoType, std::span<uint8_t> buffer);
    virtual NWCCODE NWCCGetConnInfo(NWCONN_HANDLE connection, uint32_t infoType, std::span<uint8_t> buffer);

    // --- Volumes, directories and files (paths in Windows form: drive letters or UNC)
    // Splits a path into server, connection, volume and the path within the volume.
    virtual NWCCODE NWParsePath(const std::string& path, std::string& serverName, NWCONN_HANDLE& connection,
                                std::string& volumeName, std::string& dirPath);
    virtual NWCCODE NWGetVolumeNumber(NWCONN_HANDLE connection, const std::string& volumeName,
                                      uint16_t& volumeNumber);
    // The name of a server's volume by its number; a code when no volume has that number.
    virtual NWCCODE NWGetVolumeName(NWCONN_HANDLE connection, uint16_t volumeNumber, std::string& volumeName);
    // 33 values; the 32nd (index 31) is the volume's directory object ID.
    virtual NWCCODE NWGetExtendedVolumeInfo(NWCONN_HANDLE connection, uint16_t volumeNumber,
                                            std::array<uint32_t, 33>& info);
    // Up to 20 trustees of a path ("VOL:path") per call; NweNoMoreTrustees after the last.
    virtual NWCCODE NWScanForTrustees(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                      uint32_t& iterHandle, uint16_t& entryCount,
                                      std::array<TTrusteeEntry, 20>& entries);
    // The entry information of a directory ("VOL:path"); searchSequence -1 for the entry itself.
    virtual NWCCODE NWGetDirectoryEntryInfo(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                            uint32_t searchSequence, TDirEntryInfo& info);
    // Opens a directory ("VOL:path") for an entry scan: a handle, the directory's base number and
    // the search sequence to start from (-1).
    virtual NWCCODE NWOpenDirectoryScan(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                        uint8_t& scanHandle, uint32_t& directoryBase, uint32_t& searchSequence);
    // The next entry matching searchAttributes and pattern; NweNoMoreDirEntries after the last.
    virtual NWCCODE NWScanDirectoryEntry(NWCONN_HANDLE connection, uint8_t scanHandle, uint32_t directoryBase,
                                         uint32_t& searchSequence, uint8_t searchAttributes,
                                         const std::string& pattern, TDirEntryInfo& entry);
    virtual NWCCODE NWCloseDirectoryScan(NWCONN_HANDLE connection, uint8_t scanHandle);
    // The logged-in user's effective rights on a path ("VOL:path").
    virtual NWCCODE NWGetEffectiveRights(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                         uint16_t& rights);
    // Bindery: the name of an object ID on a server.
    virtual NWCCODE NWGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name,
                                    uint16_t& objectType);

    // --- The redirector: Windows paths (drive letters, UNC) over the workstation's volumes
    virtual bool RedirectorDirectoryExists(const std::string& path);

    // --- Error texts
    // Loads the error-text library; nullptr when it is not installed.
    virtual std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary();

    // --- Stable answers
    // Whether every directory answer stays the same for as long as the client lives (a directory
    // loaded into this process and never written): then callers may keep answers across calls.
    // The default is that of a live directory, whose answers may change between two calls.
    virtual bool AnswersAreStable() const { return false; }

    // What a caller keeps of a stable client's answers. The client holds it so that it goes with
    // the client; what it holds is the caller's business.
    class TAnswerKeeper {
    public:
        virtual ~TAnswerKeeper() = default;
    };
    TAnswerKeeper* AnswerKeeper() const { return keeper_.get(); }
    void SetAnswerKeeper(std::unique_ptr<TAnswerKeeper> keeper) { keeper_ = std::move(keeper); }

private:
    std::unique_ptr<TAnswerKeeper> keeper_;
};

// The process-wide client; the base class (a workstation without a client) when none is installed.
TDirectoryClient& Client();
// Installs the process-wide client (start-up, tests); returns the one it replaces.
std::unique_ptr<TDirectoryClient> InstallClient(std::unique_ptr<TDirectoryClient> client);

} // namespace era
