#include "directory/netware_paths.h"

#include "directory/connections.h"
#include "directory/names.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/ui_host.h"

namespace era {

namespace {

NWCCODE Low16(NWCCODE code) { return code & 0xFFFF; }

std::string VolumeForm(const std::string& volume, const std::string& dirPath) { return volume + ":" + dirPath; }

std::string UncForm(const std::string& server, const std::string& volume, const std::string& dirPath) {
    return "\\\\" + server + "\\" + volume + "\\" + dirPath;
}

} // namespace

NWCCODE U_PathToNWPath(const std::string& path, NWCONN_HANDLE& connection, std::string& server,
                       std::string& volume, std::string& dirPath) {
    NWCCODE code = Low16(Client().NWParsePath(path, server, connection, volume, dirPath));
    if (code != 0) {
        connection = 0;
        server.clear();
        volume.clear();
        dirPath.clear();
    }
    return code;
}

std::string U_PathToUNC(const std::string& path) {
    NWCONN_HANDLE connection = 0;
    std::string server, volume, dirPath;
    NWCCODE code = U_PathToNWPath(path, connection, server, volume, dirPath);
    if (code != 0) return path;
    if (dirPath.empty() || dirPath[0] != '\\') dirPath = "\\" + dirPath;
    return "\\\\" + server + "\\" + volume + dirPath;
}

NWCCODE U_NWScanTrustees(NWDSContextHandle context, NWCONN_HANDLE connection, const std::string& volumePath,
                         TStringList& trustees) {
    uint32_t iterator = 0;
    NWCCODE code = 0;
    do {
        uint16_t count = 0;
        std::array<TTrusteeEntry, 20> entries{};
        code = Low16(Client().NWScanForTrustees(connection, 0, volumePath, iterator, count, entries));
        for (uint16_t i = 0; i < count && i < entries.size(); ++i) {
            std::string name;
            if (U_DSMapIDToName(context, connection, entries[i].ObjectID, name) == 0)
                trustees.AddObject(U_FullName(name), entries[i].Rights);
            else
                trustees.AddObject(Format("ID: [%08X]", entries[i].ObjectID), entries[i].Rights);
        }
    } while (code == 0);
    return code == NweNoMoreTrustees ? 0 : code;
}

NWCCODE U_NWGetDirectoryInfo(const std::string& path, TDirEntryInfo& info) {
    info = {};
    if (!DirExists(path)) return ErrDirectoryNotFound;
    NWCONN_HANDLE connection = 0;
    std::string server, volume, dirPath;
    NWCCODE code = U_PathToNWPath(path, connection, server, volume, dirPath);
    if (code != 0) return code;
    code = Low16(Client().NWGetDirectoryEntryInfo(connection, 0, VolumeForm(volume, dirPath), 0xFFFFFFFFu, info));
    if (code != 0) info = {};
    return code;
}

NWCCODE U_NWGetDirectoryOwner(const std::string& path, std::string& ownerName, NWObjectID& ownerID) {
    ownerName.clear();
    ownerID = 0xFFFFFFFFu;
    NWCONN_HANDLE connection = 0;
    std::string server, volume, dirPath;
    NWCCODE code = U_PathToNWPath(path, connection, server, volume, dirPath);
    if (code != 0) return code;
    TDirEntryInfo info;
    code = U_NWGetDirectoryInfo(UncForm(server, volume, dirPath), info);
    if (code != 0) return code;
    ownerID = info.OwnerID;
    return U_DSMapIDToNameOnConn(connection, ownerID, ownerName);
}

NWCCODE U_DSGetVolumeDN(NWDSContextHandle context, NWCONN_HANDLE connection, uint16_t volumeNumber,
                        std::string& volumeDN) {
    volumeDN.clear();
    std::array<uint32_t, 33> info{};
    NWCCODE code = Low16(Client().NWGetExtendedVolumeInfo(connection, volumeNumber, info));
    if (code != 0) return code;
    return U_DSMapIDToName(context, connection, info[31], volumeDN);
}

void U_NWListVolumes(NWCONN_HANDLE connection, TStringList& volumes) {
    // A server numbers its volumes from 0 and may leave gaps (a volume dismounted); it mounts at
    // most 255.
    for (uint16_t number = 0; number < 255; ++number) {
        std::string name;
        if (Client().NWGetVolumeName(connection, number, name) == 0 && !name.empty()) volumes.Add(name);
    }
}

void U_NWListSubdirectories(const std::string& path, uint8_t searchAttributes, const std::string& pattern,
                            TStringList& lines, int nameForm, int pathForm) {
    NWCONN_HANDLE connection = 0;
    std::string server, volume, dirPath;
    std::string scanPath = PathForm(path, pfShort);
    if (U_PathToNWPath(scanPath, connection, server, volume, dirPath) == 0) scanPath = VolumeForm(volume, dirPath);
    const std::string base = PathForm(UncForm(server, volume, dirPath), pathForm);

    uint8_t handle = 0;
    uint32_t directoryBase = 0, sequence = 0xFFFFFFFFu;
    NWCCODE code = Low16(Client().NWOpenDirectoryScan(connection, 0, scanPath, handle, directoryBase, sequence));
    if (code != 0) return;
    // The base of a volume root ends in its separator already: join, never double it.
    const std::string prefix = AddTrailingBackslash(base);
    while (code == 0) {
        TDirEntryInfo entry;
        code = Low16(Client().NWScanDirectoryEntry(connection, handle, directoryBase, sequence, searchAttributes,
                                                   pattern, entry));
        if (code != 0) break;
        sequence = entry.SequenceNumber;
        UiHost().ProcessMessages();
        const std::string entryPath = PathForm(prefix + entry.Name, pathForm);
        switch (nameForm) {
        case 0: {
            NWCONN_HANDLE c = 0;
            std::string s, v, d;
            U_PathToNWPath(entryPath, c, s, v, d);
            lines.Add(VolumeForm(v, d));
            break;
        }
        case 2:
            lines.Add(entryPath.starts_with(prefix) ? entryPath.substr(prefix.size()) : entryPath);
            break;
        default:
            lines.Add(entryPath);
            break;
        }
    }
    Client().NWCloseDirectoryScan(connection, handle);
}

} // namespace era
