#pragma once

// NetWare paths: Windows paths (mapped drives, UNC) in the NetWare view of server, volume and
// path within the volume; directory trustees, owners and rights; volume objects; subdirectories.

#include "directory/client.h"
#include "util/string_list.h"

#include <string>

namespace era {

// A Windows path split into connection, server, volume and path within the volume.
NWCCODE U_PathToNWPath(const std::string& path, NWCONN_HANDLE& connection, std::string& server,
                       std::string& volume, std::string& dirPath);
// "\\server\volume\path" of a Windows path; the path unchanged when it cannot be mapped.
std::string U_PathToUNC(const std::string& path);
// Appends the trustees of a directory ("VOL:path"): full names (or "ID: [%08X]") with their rights.
NWCCODE U_NWScanTrustees(NWDSContextHandle context, NWCONN_HANDLE connection, const std::string& volumePath,
                         TStringList& trustees);
// The directory information of a Windows path; -156 when it is no existing directory.
NWCCODE U_NWGetDirectoryInfo(const std::string& path, TDirEntryInfo& info);
// The owner of a directory: its name and object ID (0xFFFFFFFF until known).
NWCCODE U_NWGetDirectoryOwner(const std::string& path, std::string& ownerName, NWObjectID& ownerID);
// The directory name of a volume's object.
NWCCODE U_DSGetVolumeDN(NWDSContextHandle context, NWCONN_HANDLE connection, uint16_t volumeNumber,
                        std::string& volumeDN);
// Appends the names of the server's volumes in the order of their numbers.
void U_NWListVolumes(NWCONN_HANDLE connection, TStringList& volumes);
// Appends one line per entry of a directory matching the search attributes and pattern:
// name form 0 the volume form, 1 the UNC path, 2 the path relative to the directory; the path
// form (pfShort, pfLong) applies to the paths.
void U_NWListSubdirectories(const std::string& path, uint8_t searchAttributes, const std::string& pattern,
                            TStringList& lines, int nameForm, int pathForm);

} // namespace era
