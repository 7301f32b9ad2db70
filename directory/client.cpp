#include "directory/client.h"

#include <type_traits>

namespace era {

namespace {

// Sizes as the wire carries them: a 4-byte length before every text and byte string, the text's
// terminating zero included; fixed fields at their width.
uint32_t TextSize(const std::string& text) { return 4 + static_cast<uint32_t>(text.size()) + 1; }
uint32_t BytesSize(size_t count) { return 4 + static_cast<uint32_t>(count); }

bool IsKnownToken(uint32_t token) {
    switch (token) {
    case FtokEnd: case FtokOr: case FtokAnd: case FtokNot: case FtokLParen: case FtokRParen:
    case FtokAVal: case FtokEq: case FtokGe: case FtokLe: case FtokApprox: case FtokAName:
    case FtokPresent: case FtokRdn: case FtokBaseClass:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<TDirectoryClient>& Slot() {
    static std::unique_ptr<TDirectoryClient> slot = std::make_unique<TDirectoryClient>();
    return slot;
}

} // namespace

uint32_t EncodedValueSize(const TAttrValue& value) {
    return std::visit(
        [](const auto& v) -> uint32_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, TTextValue>) {
                return TextSize(v.Text);
            } else if constexpr (std::is_same_v<T, TCaseIgnoreList>) {
                uint32_t size = 4;
                for (const auto& e : v.Elements) size += TextSize(e);
                return size;
            } else if constexpr (std::is_same_v<T, TBooleanValue>) {
                return 4;
            } else if constexpr (std::is_same_v<T, TIntegerValue>) {
                return 4;
            } else if constexpr (std::is_same_v<T, TOctetString>) {
                return BytesSize(v.Data.size());
            } else if constexpr (std::is_same_v<T, TFaxNumber>) {
                return TextSize(v.TelephoneNumber) + 4 + BytesSize(v.Parameters.size());
            } else if constexpr (std::is_same_v<T, TNetAddress>) {
                return 4 + BytesSize(v.Address.size());
            } else if constexpr (std::is_same_v<T, TOctetList>) {
                uint32_t size = 4;
                for (const auto& e : v.Elements) size += BytesSize(e.size());
                return size;
            } else if constexpr (std::is_same_v<T, TEMailAddress>) {
                return 4 + TextSize(v.Address);
            } else if constexpr (std::is_same_v<T, TPathValue>) {
                return 4 + TextSize(v.VolumeName) + TextSize(v.Path);
            } else if constexpr (std::is_same_v<T, TReplicaPointer>) {
                uint32_t size = TextSize(v.ServerName) + 12;
                for (const auto& a : v.Addresses) size += 4 + BytesSize(a.Address.size());
                return size;
            } else if constexpr (std::is_same_v<T, TObjectACL>) {
                return TextSize(v.ProtectedAttrName) + TextSize(v.SubjectName) + 4;
            } else if constexpr (std::is_same_v<T, TPostalAddress>) {
                uint32_t size = 4;
                for (const auto& l : v.Lines) size += TextSize(l);
                return size;
            } else if constexpr (std::is_same_v<T, TTimeStamp>) {
                return 8;
            } else if constexpr (std::is_same_v<T, TBackLink>) {
                return 4 + TextSize(v.ObjectName);
            } else if constexpr (std::is_same_v<T, TTypedName>) {
                return TextSize(v.ObjectName) + 8;
            } else if constexpr (std::is_same_v<T, THold>) {
                return TextSize(v.ObjectName) + 4;
            } else if constexpr (std::is_same_v<T, TUnknownValue>) {
                return TextSize(v.AttrName) + 4 + BytesSize(v.Value.size());
            } else {
                static_assert(std::is_same_v<T, TRawValue>);
                return BytesSize(v.Bytes.size());
            }
        },
        value);
}

// ---------------------------------------------------------------------------------------------
// TDSBuffer

void TDSBuffer::ClearResult() {
    attributes_.clear();
    objects_.clear();
    dsi_.clear();
    used_ = 0;
    nextAttribute_ = nextValue_ = nextObject_ = 0;
}

bool TDSBuffer::Reserve(uint32_t bytes) {
    if (bytes > size_ || used_ > size_ - bytes) return false;
    used_ += bytes;
    return true;
}

bool TDSBuffer::AddAttribute(const std::string& name, uint32_t syntax) {
    if (!Reserve(TextSize(name) + 8)) return false;
    attributes_.push_back({name, syntax, {}});
    return true;
}

bool TDSBuffer::AddValue(const TAttrValue& value) {
    if (attributes_.empty() || !Reserve(4 + EncodedValueSize(value))) return false;
    attributes_.back().Values.push_back(value);
    return true;
}

bool TDSBuffer::AddObject(const std::string& name, const TObjectInfo& info) {
    if (!Reserve(TextSize(name) + 12 + TextSize(info.BaseClass))) return false;
    objects_.push_back({name, info});
    return true;
}

void TDSBuffer::SetDsiText(uint32_t field, const std::string& text) {
    for (auto& f : dsi_)
        if (f.Field == field) {
            f = {field, true, text, 0};
            return;
        }
    dsi_.push_back({field, true, text, 0});
}

void TDSBuffer::SetDsiNumber(uint32_t field, uint32_t number) {
    for (auto& f : dsi_)
        if (f.Field == field) {
            f = {field, false, {}, number};
            return;
        }
    dsi_.push_back({field, false, {}, number});
}

// ---------------------------------------------------------------------------------------------
// TDirectoryClient: buffer and filter calls, shared by every backend

NWCCODE TDirectoryClient::NWDSInitBuf(NWDSContextHandle, uint32_t operation, TDSBuffer& buffer) {
    buffer.operation_ = operation;
    buffer.attrNames_.clear();
    buffer.filter_.clear();
    buffer.hasFilter_ = false;
    buffer.ClearResult();
    return 0;
}

NWCCODE TDirectoryClient::NWDSPutAttrName(NWDSContextHandle, TDSBuffer& buffer, const std::string& attrName) {
    if (!buffer.Reserve(TextSize(attrName))) return ErrBufferFull;
    buffer.attrNames_.push_back(attrName);
    return 0;
}

NWCCODE TDirectoryClient::NWDSPutFilter(NWDSContextHandle, TDSBuffer& buffer, const TFilterCursor& filter) {
    const auto& items = filter.Items();
    if (items.empty() || items.back().Token != FtokEnd) return ErrInvalidFilterSyntax;
    uint32_t bytes = 0;
    for (const auto& item : items) bytes += 4 + TextSize(item.Name) + (item.Token == FtokAVal ? EncodedValueSize(item.Value) : 0);
    if (!buffer.Reserve(bytes)) return ErrBufferFull;
    buffer.filter_ = items;
    buffer.hasFilter_ = true;
    return 0;
}

NWCCODE TDirectoryClient::NWDSGetAttrCount(NWDSContextHandle, TDSBuffer& buffer, uint32_t& count) {
    count = static_cast<uint32_t>(buffer.attributes_.size());
    buffer.nextAttribute_ = 0;
    buffer.nextValue_ = 0;
    return 0;
}

NWCCODE TDirectoryClient::NWDSGetAttrName(NWDSContextHandle, TDSBuffer& buffer, std::string& name,
                                          uint32_t& valueCount, uint32_t& syntaxID) {
    name.clear();
    valueCount = 0;
    syntaxID = 0;
    if (buffer.nextAttribute_ >= buffer.attributes_.size()) return ErrBufferEmpty;
    const auto& attr = buffer.attributes_[buffer.nextAttribute_++];
    name = attr.Name;
    valueCount = static_cast<uint32_t>(attr.Values.size());
    syntaxID = attr.Syntax;
    buffer.nextValue_ = 0;
    return 0;
}

NWCCODE TDirectoryClient::NWDSComputeAttrValSize(NWDSContextHandle, TDSBuffer& buffer, uint32_t,
                                                 uint32_t& size) {
    size = 0;
    if (buffer.nextAttribute_ == 0) return ErrBufferEmpty;
    const auto& attr = buffer.attributes_[buffer.nextAttribute_ - 1];
    if (buffer.nextValue_ >= attr.Values.size()) return ErrBufferEmpty;
    size = EncodedValueSize(attr.Values[buffer.nextValue_]);
    return 0;
}

NWCCODE TDirectoryClient::NWDSGetAttrVal(NWDSContextHandle, TDSBuffer& buffer, uint32_t, TAttrValue& value) {
    if (buffer.nextAttribute_ == 0) return ErrBufferEmpty;
    const auto& attr = buffer.attributes_[buffer.nextAttribute_ - 1];
    if (buffer.nextValue_ >= attr.Values.size()) return ErrBufferEmpty;
    value = attr.Values[buffer.nextValue_++];
    return 0;
}

NWCCODE TDirectoryClient::NWDSGetDSIInfo(NWDSContextHandle, const TDSBuffer& buffer, uint32_t field,
                                         std::string& text) {
    text.clear();
    for (const auto& f : buffer.dsi_)
        if (f.Field == field) {
            if (!f.IsText) return ErrInvalidRequest;
            text = f.Text;
            return 0;
        }
    return ErrInvalidRequest;
}

NWCCODE TDirectoryClient::NWDSGetDSIInfo(NWDSContextHandle, const TDSBuffer& buffer, uint32_t field,
                                         uint32_t& number) {
    number = 0;
    for (const auto& f : buffer.dsi_)
        if (f.Field == field) {
            if (f.IsText) return ErrInvalidRequest;
            number = f.Number;
            return 0;
        }
    return ErrInvalidRequest;
}

NWCCODE TDirectoryClient::NWDSGetObjectCount(NWDSContextHandle, TDSBuffer& buffer, uint32_t& count) {
    count = static_cast<uint32_t>(buffer.objects_.size());
    buffer.nextObject_ = 0;
    return 0;
}

NWCCODE TDirectoryClient::NWDSGetObjectName(NWDSContextHandle, TDSBuffer& buffer, std::string& name,
                                            uint32_t& attrCount, TObjectInfo& info) {
    name.clear();
    attrCount = 0;
    info = {};
    if (buffer.nextObject_ >= buffer.objects_.size()) return ErrBufferEmpty;
    const auto& object = buffer.objects_[buffer.nextObject_++];
    name = object.Name;
    info = object.Info;
    return 0;
}

NWCCODE TDirectoryClient::NWDSAllocFilter(std::unique_ptr<TFilterCursor>& cursor) {
    cursor = std::make_unique<TFilterCursor>();
    return 0;
}

NWCCODE TDirectoryClient::NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token) {
    if (!IsKnownToken(token) || token == FtokAName || token == FtokAVal) return ErrInvalidFilterSyntax;
    cursor.Append({token, {}, {}, SynUnknown});
    return 0;
}

NWCCODE TDirectoryClient::NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token, const std::string& name,
                                             uint32_t syntax) {
    if (token != FtokAName) return ErrInvalidFilterSyntax;
    cursor.Append({token, name, {}, syntax});
    return 0;
}

NWCCODE TDirectoryClient::NWDSAddFilterToken(TFilterCursor& cursor, uint32_t token, const TAttrValue& value,
                                             uint32_t syntax) {
    if (token != FtokAVal) return ErrInvalidFilterSyntax;
    cursor.Append({token, {}, value, syntax});
    return 0;
}

void TDirectoryClient::NWDSFreeFilter(std::unique_ptr<TFilterCursor>& cursor) { cursor.reset(); }

// ---------------------------------------------------------------------------------------------
// TDirectoryClient: the answers of a workstation without a client

NWCCODE TDirectoryClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    context = 0;
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWDSDuplicateContextHandle(NWDSContextHandle, NWDSContextHandle& copy) {
    copy = 0;
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWDSFreeContext(NWDSContextHandle) { return ErrBadContext; }
NWCCODE TDirectoryClient::NWDSGetContext(NWDSContextHandle, uint32_t, uint32_t& value) {
    value = 0;
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSGetContext(NWDSContextHandle, uint32_t, std::string& value) {
    value.clear();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSSetContext(NWDSContextHandle, uint32_t, uint32_t) { return ErrBadContext; }
NWCCODE TDirectoryClient::NWDSSetContext(NWDSContextHandle, uint32_t, const std::string&) { return ErrBadContext; }
NWCCODE TDirectoryClient::NWSetPreferredDSTree(uint16_t, const std::string&) { return NweClientNotStarted; }

NWCCODE TDirectoryClient::NWDSRead(NWDSContextHandle, const std::string&, uint32_t, bool, const TDSBuffer*,
                                   int32_t& iterationHandle, TDSBuffer& result) {
    iterationHandle = -1;
    result.ClearResult();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSReadObjectInfo(NWDSContextHandle, const std::string&, std::string& distinguishedName,
                                             TObjectInfo& info) {
    distinguishedName.clear();
    info = {};
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSReadObjectDSIInfo(NWDSContextHandle, const std::string&, TDSBuffer& buffer) {
    buffer.ClearResult();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSList(NWDSContextHandle, const std::string&, int32_t& iterationHandle,
                                   TDSBuffer& result) {
    iterationHandle = -1;
    result.ClearResult();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSListContainers(NWDSContextHandle, const std::string&, int32_t& iterationHandle,
                                             TDSBuffer& result) {
    iterationHandle = -1;
    result.ClearResult();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSCanonicalizeName(NWDSContextHandle, const std::string&, std::string& canonical) {
    canonical.clear();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSWhoAmI(NWDSContextHandle, std::string& name) {
    name.clear();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSMapIDToName(NWDSContextHandle, NWCONN_HANDLE, NWObjectID, std::string& name) {
    name.clear();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSMapNameToID(NWDSContextHandle, NWCONN_HANDLE, const std::string&, NWObjectID& id) {
    id = 0;
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSGetServerDN(NWDSContextHandle, NWCONN_HANDLE, std::string& serverDN) {
    serverDN.clear();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSGetEffectiveRights(NWDSContextHandle, const std::string&, const std::string&,
                                                 const std::string&, uint32_t& privileges) {
    privileges = 0;
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSOpenStream(NWDSContextHandle, const std::string&, const std::string&, uint32_t,
                                         int32_t& fileHandle) {
    fileHandle = -1;
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWStreamRead(int32_t, std::span<uint8_t>, uint32_t& bytesRead) {
    bytesRead = 0;
    return ErrInvalidHandle;
}
NWCCODE TDirectoryClient::NWStreamClose(int32_t) { return ErrInvalidHandle; }
NWCCODE TDirectoryClient::NWDSExtSyncSearch(NWDSContextHandle, const std::string&, int32_t, bool,
                                            const TDSBuffer&, uint32_t, uint32_t, bool, const TDSBuffer*,
                                            int32_t& iterationHandle, int32_t, int32_t&, TDSBuffer& result) {
    iterationHandle = -1;
    result.ClearResult();
    return ErrBadContext;
}
NWCCODE TDirectoryClient::NWDSCloseIteration(NWDSContextHandle, int32_t, uint32_t) { return ErrBadContext; }
NWCCODE TDirectoryClient::NWDSGetSyntaxID(NWDSContextHandle, const std::string&, uint32_t& syntaxID) {
    syntaxID = 0;
    return ErrBadContext;
}

NWCCODE TDirectoryClient::NWCallsInit() { return NweClientNotStarted; }
NWCCODE TDirectoryClient::NWCCScanConnRefs(uint32_t&, NWCONN_REF& connRef) {
    connRef = 0;
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWCCGetPrimConnRef(NWCONN_REF& connRef) {
    connRef = 0;
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWCCOpenConnByRef(NWCONN_REF, uint32_t, uint32_t, NWCONN_HANDLE& connection) {
    connection = 0;
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWCCCloseConn(NWCONN_HANDLE) { return NweInvalidConnection; }
NWCCODE TDirectoryClient::NWCCGetConnRefInfo(NWCONN_REF, uint32_t, std::span<uint8_t>) { return NweInvalidConnection; }
NWCCODE TDirectoryClient::NWCCGetConnInfo(NWCONN_HANDLE, uint32_t, std::span<uint8_t>) { return NweInvalidConnection; }

NWCCODE TDirectoryClient::NWParsePath(const std::string&, std::string& serverName, NWCONN_HANDLE& connection,
                                      std::string& volumeName, std::string& dirPath) {
    serverName.clear();
    connection = 0;
    volumeName.clear();
    dirPath.clear();
    return NweClientNotStarted;
}
NWCCODE TDirectoryClient::NWGetVolumeNumber(NWCONN_HANDLE, const std::string&, uint16_t& volumeNumber) {
    volumeNumber = 0;
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWGetVolumeName(NWCONN_HANDLE, uint16_t, std::string& volumeName) {
    volumeName.clear();
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWGetExtendedVolumeInfo(NWCONN_HANDLE, uint16_t, std::array<uint32_t, 33>& info) {
    info.fill(0);
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWScanForTrustees(NWCONN_HANDLE, uint8_t, const std::string&, uint32_t&,
                                            uint16_t& entryCount, std::array<TTrusteeEntry, 20>&) {
    entryCount = 0;
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWGetDirectoryEntryInfo(NWCONN_HANDLE, uint8_t, const std::string&, uint32_t,
                                                  TDirEntryInfo& info) {
    info = {};
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWOpenDirectoryScan(NWCONN_HANDLE, uint8_t, const std::string&, uint8_t& scanHandle,
                                              uint32_t& directoryBase, uint32_t& searchSequence) {
    scanHandle = 0;
    directoryBase = 0;
    searchSequence = 0xFFFFFFFFu;
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWScanDirectoryEntry(NWCONN_HANDLE, uint8_t, uint32_t, uint32_t&, uint8_t,
                                               const std::string&, TDirEntryInfo& entry) {
    entry = {};
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWCloseDirectoryScan(NWCONN_HANDLE, uint8_t) { return NweInvalidConnection; }
NWCCODE TDirectoryClient::NWGetEffectiveRights(NWCONN_HANDLE, uint8_t, const std::string&, uint16_t& rights) {
    rights = 0;
    return NweInvalidConnection;
}
NWCCODE TDirectoryClient::NWGetObjectName(NWCONN_HANDLE, NWObjectID, std::string& name, uint16_t& objectType) {
    name.clear();
    objectType = 0;
    return NweInvalidConnection;
}

bool TDirectoryClient::RedirectorDirectoryExists(const std::string&) { return false; }

std::unique_ptr<TErrorTextLibrary> TDirectoryClient::LoadErrorTextLibrary() { return nullptr; }

// ---------------------------------------------------------------------------------------------

TDirectoryClient& Client() { return *Slot(); }

std::unique_ptr<TDirectoryClient> InstallClient(std::unique_ptr<TDirectoryClient> client) {
    if (!client) client = std::make_unique<TDirectoryClient>();
    std::swap(Slot(), client);
    return client;
}

} // namespace era
