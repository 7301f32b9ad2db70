// The workstation client's connections, volumes, directories and bindery: what the workstation
// file says about the servers it is attached to.

#include "client/workstation_calls.h"

#include "client/ascii_fold.h"
#include "client/client_text.h"
#include "directory/error_table.h"

#include <algorithm>
#include <cstring>

namespace era {


namespace {

constexpr uint32_t WholeEntry = 0xFFFFFFFFu;   // search sequence: the entry itself / before the first
constexpr size_t PaddedTreeNameLength = 32;
constexpr uint8_t DirectoryAttribute = 0x10;

// A DOS-style name pattern: "*" any run, "?" any one character, letters in any case; "*.*" all.
bool MatchesPattern(std::string_view pattern, std::string_view name) {
    if (pattern.empty() || pattern == "*" || pattern == "*.*") return true;
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || FoldAsciiChar(pattern[p]) == FoldAsciiChar(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// A tree's name as the connection information gives it: padded with "_" to 32 characters.
std::string PaddedTreeName(std::string name) {
    if (name.size() < PaddedTreeNameLength) name.append(PaddedTreeNameLength - name.size(), '_');
    return name;
}

} // namespace

const TWorkstationConnection* TWorkstationClient::ConnectionOfHandle(NWCONN_HANDLE handle) const {
    for (const auto& connection : workstation_->Connections)
        if (connection.Handle == handle) return &connection;
    return nullptr;
}

const TWorkstationConnection* TWorkstationClient::ConnectionOfReference(NWCONN_REF reference) const {
    for (const auto& connection : workstation_->Connections)
        if (connection.Reference == reference) return &connection;
    return nullptr;
}

const TWorkstationClient::TOwnAttachment* TWorkstationClient::OwnAttachment(NWCONN_REF reference,
                                                                           NWCONN_HANDLE handle) const {
    for (const auto& own : ownAttachments_)
        if (own.Reference == reference || own.Handle == handle) return &own;
    return nullptr;
}

bool TWorkstationClient::Unreachable(NWCONN_HANDLE connection) const {
    if (OwnAttachment(0, connection)) return true;   // a directory server only: no NCP at all
    const TWorkstationConnection* attached = ConnectionOfHandle(connection);
    if (!attached) return false;
    const TWorkstationServer& server = workstation_->Servers[attached->Server];
    return workstation_->Trees[server.Tree]->Live() && server.Volumes.empty();
}

const TWorkstationConnection* TWorkstationClient::FileServer(NWCONN_HANDLE handle, NWCCODE& code) const {
    // A server only a directory server stands for answers no file-system call: only NCP could.
    if (Unreachable(handle)) {
        code = NweRequesterFailure;
        return nullptr;
    }
    const TWorkstationConnection* attached = ConnectionOfHandle(handle);
    code = attached ? 0 : NweInvalidConnection;
    return attached;
}

// ---------------------------------------------------------------------------------------------
// Connections

NWCCODE TWorkstationClient::NWCCScanConnRefs(uint32_t& scanIterator, NWCONN_REF& connRef) {
    connRef = 0;
    const size_t fileConnections = workstation_->Connections.size();
    if (scanIterator < fileConnections) {
        connRef = workstation_->Connections[scanIterator++].Reference;
        return 0;
    }
    // The own attachments of live trees come after the file's connections.
    if (scanIterator - fileConnections >= ownAttachments_.size()) return NweNoMoreEntries;
    connRef = ownAttachments_[scanIterator++ - fileConnections].Reference;
    return 0;
}

NWCCODE TWorkstationClient::NWCCGetPrimConnRef(NWCONN_REF& connRef) {
    connRef = 0;
    for (const auto& connection : workstation_->Connections)
        if (connection.Primary) {
            connRef = connection.Reference;
            return 0;
        }
    // A live tree's own attachment is the primary one when the file names no connection.
    if (workstation_->Connections.empty() && !ownAttachments_.empty()) {
        connRef = ownAttachments_.front().Reference;
        return 0;
    }
    return NweInvalidConnection;
}

NWCCODE TWorkstationClient::NWCCOpenConnByRef(NWCONN_REF connRef, uint32_t, uint32_t, NWCONN_HANDLE& connection) {
    if (const TOwnAttachment* own = OwnAttachment(connRef, 0)) {
        connection = own->Handle;
        return 0;
    }
    connection = 0;
    const TWorkstationConnection* attached = ConnectionOfReference(connRef);
    if (!attached) return NweInvalidConnection;
    // Every opening of one attachment gives its one handle; closing it leaves the attachment.
    connection = attached->Handle;
    return 0;
}

NWCCODE TWorkstationClient::NWCCCloseConn(NWCONN_HANDLE connection) {
    return ConnectionOfHandle(connection) || OwnAttachment(0, connection) ? 0 : NweInvalidConnection;
}

NWCCODE TWorkstationClient::ConnectionInfo(const TWorkstationConnection& connection, uint32_t infoType,
                                           std::span<uint8_t> buffer) const {
    const TWorkstationServer& server = workstation_->Servers[connection.Server];
    const TDirectorySource& tree = *workstation_->Trees[server.Tree];
    bool fits;
    switch (infoType) {
    case NwccInfoConnRef: fits = PutNumber(buffer, connection.Reference); break;
    case NwccInfoTreeName: fits = PutText(buffer, PaddedTreeName(tree.Name())); break;
    case NwccInfoUserID: fits = PutNumber(buffer, connection.User == NoIndex ? 0 : tree.ObjectID(connection.User)); break;
    case NwccInfoServerName: fits = PutText(buffer, server.Name); break;
    case NwccInfoAuthState: fits = PutNumber(buffer, connection.User == NoIndex ? 0 : 1); break;
    default: return NweParamInvalid;
    }
    return fits ? 0 : NweBufferOverflow;
}

NWCCODE TWorkstationClient::AttachmentInfo(const TOwnAttachment& own, uint32_t infoType, std::span<uint8_t> buffer) {
    TDirectorySource& tree = *workstation_->Trees[own.Tree];
    bool fits = false;
    switch (infoType) {
    case NwccInfoConnRef: fits = PutNumber(buffer, own.Reference); break;
    case NwccInfoTreeName: fits = PutText(buffer, PaddedTreeName(tree.Name())); break;
    case NwccInfoServerName: fits = PutText(buffer, tree.AttachmentServerName()); break;
    case NwccInfoAuthState: fits = PutNumber(buffer, tree.AttachmentAuthenticated() ? 1 : 0); break;
    case NwccInfoUserID: {
        NWObjectID id = 0;
        NWCCODE code = tree.AttachmentUser(id);
        if (code != 0) return code;
        fits = PutNumber(buffer, id);
        break;
    }
    default: return NweParamInvalid;
    }
    return fits ? 0 : NweBufferOverflow;
}

NWCCODE TWorkstationClient::NWCCGetConnRefInfo(NWCONN_REF connRef, uint32_t infoType, std::span<uint8_t> buffer) {
    if (const TOwnAttachment* own = OwnAttachment(connRef, 0)) return AttachmentInfo(*own, infoType, buffer);
    const TWorkstationConnection* attached = ConnectionOfReference(connRef);
    if (!attached) return NweInvalidConnection;
    return ConnectionInfo(*attached, infoType, buffer);
}

NWCCODE TWorkstationClient::NWCCGetConnInfo(NWCONN_HANDLE connection, uint32_t infoType, std::span<uint8_t> buffer) {
    if (const TOwnAttachment* own = OwnAttachment(0, connection)) return AttachmentInfo(*own, infoType, buffer);
    const TWorkstationConnection* attached = ConnectionOfHandle(connection);
    if (!attached) return NweInvalidConnection;
    return ConnectionInfo(*attached, infoType, buffer);
}

// ---------------------------------------------------------------------------------------------
// Paths

NWCCODE TWorkstationClient::SplitWindowsPath(const std::string& path, uint32_t& server, uint32_t& volume,
                                          std::string& dirPath) const {
    server = volume = NoIndex;
    dirPath.clear();
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    std::vector<std::string> names;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        if (!SplitVolumePath(path.substr(2), names, true) || names.empty()) return ErrLocalPath;
        server = workstation_->FindServer(names[0]);
        if (server == NoIndex || workstation_->Servers[server].Connection == NoIndex) return ErrLocalPath;
        if (names.size() < 2) return NweVolumeDoesNotExist;
        const auto& volumes = workstation_->Servers[server].Volumes;
        for (uint32_t v = 0; v < volumes.size(); ++v)
            if (EqualsFolded(volumes[v].Name, names[1])) volume = v;
        if (volume == NoIndex) return NweVolumeDoesNotExist;
        dirPath = JoinVolumePath(names, 2, names.size());
    } else if (path.size() >= 2 && path[1] == ':' && FoldAsciiChar(path[0]) >= 'a' && FoldAsciiChar(path[0]) <= 'z') {
        const TDriveMapping& drive = workstation_->Drives[static_cast<size_t>(FoldAsciiChar(path[0]) - 'a')];
        if (drive.Server == NoIndex) return ErrLocalPath;
        if (!SplitVolumePath(drive.Path + "\\" + path.substr(2), names, true)) return NweInvalidPath;
        server = drive.Server;
        volume = drive.Volume;
        dirPath = JoinVolumePath(names, 0, names.size());
    } else if (const size_t colon = path.find(':'), slash = path.find('/');
               slash != std::string::npos && colon != std::string::npos && slash > 0 && slash < colon) {
        // The NetWare form the analysis is given: SERVER/VOLUME:path within the volume.
        server = workstation_->FindServer(path.substr(0, slash));
        if (server == NoIndex || workstation_->Servers[server].Connection == NoIndex) return ErrLocalPath;
        const auto& volumes = workstation_->Servers[server].Volumes;
        const std::string volumeName = path.substr(slash + 1, colon - slash - 1);
        for (uint32_t v = 0; v < volumes.size(); ++v)
            if (EqualsFolded(volumes[v].Name, volumeName)) volume = v;
        if (volume == NoIndex) return NweVolumeDoesNotExist;
        if (!SplitVolumePath(path.substr(colon + 1), names, true)) return NweInvalidPath;
        dirPath = JoinVolumePath(names, 0, names.size());
    } else {
        return ErrLocalPath;
    }
    // The directory's own spelling when the volume has it.
    const TWorkstationVolume& found = workstation_->Servers[server].Volumes[volume];
    uint32_t directory = found.FindDirectory(dirPath);
    if (directory != NoIndex) dirPath = found.Directories[directory].Path;
    return 0;
}

NWCCODE TWorkstationClient::NWParsePath(const std::string& path, std::string& serverName, NWCONN_HANDLE& connection,
                                     std::string& volumeName, std::string& dirPath) {
    serverName.clear();
    connection = 0;
    volumeName.clear();
    dirPath.clear();
    uint32_t server = NoIndex, volume = NoIndex;
    std::string within;
    NWCCODE code = SplitWindowsPath(path, server, volume, within);
    // A server named in a UNC or NetWare path whose volumes only NCP could tell.
    if (code == NweVolumeDoesNotExist && Unreachable(workstation_->Connections[workstation_->Servers[server].Connection].Handle))
        return NweRequesterFailure;
    if (code != 0) return code;
    const TWorkstationServer& found = workstation_->Servers[server];
    serverName = found.Name;
    connection = workstation_->Connections[found.Connection].Handle;
    volumeName = found.Volumes[volume].Name;
    dirPath = within;
    return 0;
}

bool TWorkstationClient::RedirectorDirectoryExists(const std::string& path) {
    uint32_t server = NoIndex, volume = NoIndex;
    std::string within;
    if (SplitWindowsPath(path, server, volume, within) != 0) return false;
    return workstation_->Servers[server].Volumes[volume].FindDirectory(within) != NoIndex;
}

// ---------------------------------------------------------------------------------------------
// Volumes and directories

NWCCODE TWorkstationClient::NWGetVolumeNumber(NWCONN_HANDLE connection, const std::string& volumeName,
                                           uint16_t& volumeNumber) {
    volumeNumber = 0;
    NWCCODE code = 0;
    const TWorkstationConnection* attached = FileServer(connection, code);
    if (!attached) return code;
    for (const auto& volume : workstation_->Servers[attached->Server].Volumes)
        if (EqualsFolded(volume.Name, volumeName)) {
            volumeNumber = volume.Number;
            return 0;
        }
    return NweVolumeDoesNotExist;
}

NWCCODE TWorkstationClient::NWGetVolumeName(NWCONN_HANDLE connection, uint16_t volumeNumber,
                                         std::string& volumeName) {
    volumeName.clear();
    NWCCODE code = 0;
    const TWorkstationConnection* attached = FileServer(connection, code);
    if (!attached) return code;
    for (const auto& volume : workstation_->Servers[attached->Server].Volumes)
        if (volume.Number == volumeNumber) {
            volumeName = volume.Name;
            return 0;
        }
    return NweVolumeDoesNotExist;
}

NWCCODE TWorkstationClient::NWGetExtendedVolumeInfo(NWCONN_HANDLE connection, uint16_t volumeNumber,
                                                 std::array<uint32_t, 33>& info) {
    info.fill(0);
    NWCCODE code = 0;
    const TWorkstationConnection* attached = FileServer(connection, code);
    if (!attached) return code;
    const TWorkstationServer& server = workstation_->Servers[attached->Server];
    for (const auto& volume : server.Volumes)
        if (volume.Number == volumeNumber) {
            info[31] = volume.Object == NoIndex ? 0 : workstation_->Trees[server.Tree]->ObjectID(volume.Object);
            return 0;
        }
    return NweVolumeDoesNotExist;
}

NWCCODE TWorkstationClient::VolumePath(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                    const TWorkstationVolume*& volume, uint32_t& directory) const {
    volume = nullptr;
    directory = NoIndex;
    NWCCODE code = 0;
    const TWorkstationConnection* attached = FileServer(connection, code);
    if (!attached) return code;
    if (dirHandle != 0) return NweBadDirectoryHandle;   // paths are always given from the volume
    size_t colon = path.find(':');
    if (colon == std::string::npos) return NweInvalidPath;
    std::string_view volumeName(path.data(), colon);
    // "SERVER/VOL:path" and "SERVER\VOL:path" name the volume on that server.
    size_t slash = volumeName.find_last_of("\\/");
    if (slash != std::string_view::npos) volumeName.remove_prefix(slash + 1);
    for (const auto& candidate : workstation_->Servers[attached->Server].Volumes)
        if (EqualsFolded(candidate.Name, volumeName)) volume = &candidate;
    if (!volume) return NweVolumeDoesNotExist;
    directory = volume->FindDirectory(std::string_view(path).substr(colon + 1));
    return directory == NoIndex ? NweInvalidPath : 0;
}

NWCCODE TWorkstationClient::NWScanForTrustees(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                           uint32_t& iterHandle, uint16_t& entryCount,
                                           std::array<TTrusteeEntry, 20>& entries) {
    entryCount = 0;
    entries.fill({});
    const TWorkstationVolume* volume = nullptr;
    uint32_t directory = NoIndex;
    NWCCODE code = VolumePath(connection, dirHandle, path, volume, directory);
    if (code != 0) return code;
    const auto& trustees = volume->Directories[directory].Trustees;
    if (iterHandle >= trustees.size()) return NweNoMoreTrustees;
    size_t count = std::min(entries.size(), trustees.size() - iterHandle);
    std::copy_n(trustees.begin() + iterHandle, count, entries.begin());
    iterHandle += static_cast<uint32_t>(count);
    entryCount = static_cast<uint16_t>(count);
    return 0;
}

namespace {

TDirEntryInfo EntryInfo(const TWorkstationVolume& volume, uint32_t directory) {
    const TWorkstationDirectory& entry = volume.Directories[directory];
    TDirEntryInfo info;
    info.Name = entry.Name;
    info.RightsMask = entry.InheritedRightsMask;
    info.CreationTime = entry.CreationTime;
    info.OwnerID = entry.Owner;
    info.Attributes = DirectoryAttribute;
    if (entry.Parent != NoIndex) {
        const auto& siblings = volume.Directories[entry.Parent].Children;
        info.SequenceNumber = static_cast<uint32_t>(std::find(siblings.begin(), siblings.end(), directory) - siblings.begin());
    }
    return info;
}

} // namespace

NWCCODE TWorkstationClient::NWGetDirectoryEntryInfo(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                                 uint32_t searchSequence, TDirEntryInfo& info) {
    info = {};
    const TWorkstationVolume* volume = nullptr;
    uint32_t directory = NoIndex;
    NWCCODE code = VolumePath(connection, dirHandle, path, volume, directory);
    if (code != 0) return code;
    if (searchSequence == WholeEntry) {
        info = EntryInfo(*volume, directory);
        return 0;
    }
    const auto& children = volume->Directories[directory].Children;
    if (searchSequence >= children.size()) return NweNoMoreDirEntries;
    info = EntryInfo(*volume, children[searchSequence]);
    return 0;
}

NWCCODE TWorkstationClient::NWOpenDirectoryScan(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                             uint8_t& scanHandle, uint32_t& directoryBase, uint32_t& searchSequence) {
    scanHandle = 0;
    directoryBase = 0;
    searchSequence = WholeEntry;
    const TWorkstationVolume* volume = nullptr;
    uint32_t directory = NoIndex;
    NWCCODE code = VolumePath(connection, dirHandle, path, volume, directory);
    if (code != 0) return code;
    for (unsigned handle = 1; handle <= 255; ++handle) {
        if (scans_.count(static_cast<uint8_t>(handle))) continue;
        auto scan = std::make_unique<TDirectoryScan>();
        scan->Connection = connection;
        scan->Volume = volume;
        scan->Directory = directory;
        scans_.emplace(static_cast<uint8_t>(handle), std::move(scan));
        scanHandle = static_cast<uint8_t>(handle);
        directoryBase = directory;
        return 0;
    }
    return NweNoDirectoryHandles;
}

NWCCODE TWorkstationClient::NWScanDirectoryEntry(NWCONN_HANDLE connection, uint8_t scanHandle, uint32_t directoryBase,
                                              uint32_t& searchSequence, uint8_t searchAttributes,
                                              const std::string& pattern, TDirEntryInfo& entry) {
    entry = {};
    auto it = scans_.find(scanHandle);
    if (it == scans_.end() || it->second->Connection != connection || it->second->Directory != directoryBase)
        return NweBadDirectoryHandle;
    const TDirectoryScan& scan = *it->second;
    // The workstation holds directories only, so a scan for files alone finds nothing.
    if ((searchAttributes & DirectoryAttribute) == 0) return NweNoMoreDirEntries;
    const auto& children = scan.Volume->Directories[scan.Directory].Children;
    for (size_t at = searchSequence == WholeEntry ? 0 : size_t{searchSequence} + 1; at < children.size(); ++at) {
        const TWorkstationDirectory& child = scan.Volume->Directories[children[at]];
        if (!MatchesPattern(pattern, child.Name)) continue;
        entry = EntryInfo(*scan.Volume, children[at]);
        searchSequence = entry.SequenceNumber;
        return 0;
    }
    return NweNoMoreDirEntries;
}

NWCCODE TWorkstationClient::NWCloseDirectoryScan(NWCONN_HANDLE connection, uint8_t scanHandle) {
    auto it = scans_.find(scanHandle);
    if (it == scans_.end() || it->second->Connection != connection) return NweBadDirectoryHandle;
    scans_.erase(it);
    return 0;
}

NWCCODE TWorkstationClient::NWGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name,
                                         uint16_t& objectType) {
    name.clear();
    objectType = 0;
    // The bindery answers when the workstation file gives it, even for a server only NCP reaches.
    const TWorkstationConnection* attached = ConnectionOfHandle(connection);
    if (Unreachable(connection) && (!attached || workstation_->Servers[attached->Server].Bindery.empty()))
        return NweRequesterFailure;
    if (!attached) return NweInvalidConnection;
    const auto& bindery = workstation_->Servers[attached->Server].Bindery;
    auto it = bindery.find(id);
    if (it == bindery.end()) return NweNoSuchObject;
    name = it->second;
    objectType = BinderyUserType;
    return 0;
}

NWCCODE TWorkstationClient::NWGetEffectiveRights(NWCONN_HANDLE connection, uint8_t dirHandle, const std::string& path,
                                                 uint16_t& rights) {
    rights = 0;
    NWCCODE code = 0;
    const TWorkstationConnection* attached = FileServer(connection, code);
    if (!attached) return code;
    // A server asks who is logged in before it looks at the path.
    if (attached->User == NoIndex) return NweAccessDenied;
    const TWorkstationVolume* volume = nullptr;
    uint32_t directory = NoIndex;
    code = VolumePath(connection, dirHandle, path, volume, directory);
    if (code != 0) return code;
    const TWorkstationServer& server = workstation_->Servers[attached->Server];
    rights = workstation_->Trees[server.Tree]->FileRights(attached->User, server, *volume, directory);
    return 0;
}

} // namespace era
