#pragma once

// The workstation the client stands in for: its trees (each a directory source), the servers it
// is attached to with their volumes and directories, its connections and its drive mappings, read
// from a workstation file (JSON; paths inside it are relative to the file). Objects of a tree
// (a server's object, a connection's user ...) are held by the numbers of the tree's source.

#include "client/directory_source.h"
#include "directory/client.h"

#include <array>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

// The object ID that stands for [Public] as a file-system trustee.
constexpr NWObjectID PublicTrusteeID = 0xFFFFFFFEu;
// What every directory of a volume lets through unless the file gives an inherited rights mask.
constexpr uint16_t AllRightsMask = 0xFF;

struct TWorkstationDirectory {
    std::string Name;              // its own name; the volume root has the volume's name
    std::string Path;              // within the volume, backslash-separated; "" for the root
    uint32_t Parent = NoIndex;
    std::vector<uint32_t> Children;   // in file order
    uint16_t InheritedRightsMask = AllRightsMask;
    uint32_t CreationTime = 0;     // seconds since 1970
    NWObjectID Owner = 0;
    std::vector<TTrusteeEntry> Trustees;   // in file order
};

struct TWorkstationVolume {
    std::string Name;
    uint16_t Number = 0;
    uint32_t Object = NoIndex;    // the volume object in the server's tree
    std::vector<TWorkstationDirectory> Directories;   // [0] is the volume root
    // The directory with that path within the volume (any letter case, "\" or "/"), or NoIndex.
    uint32_t FindDirectory(std::string_view path) const;
    std::unordered_map<std::string, uint32_t> ByPath;   // folded path -> directory
};

struct TWorkstationServer {
    std::string Name;
    uint32_t Tree = NoIndex;       // index into TWorkstation::Trees
    uint32_t Object = NoIndex;    // the server object in that tree
    std::unordered_map<NWObjectID, std::string> Bindery;   // object ID -> bindery name
    std::vector<TWorkstationVolume> Volumes;
    uint32_t Connection = NoIndex;   // the workstation's connection to it, if any
};

struct TWorkstationConnection {
    uint32_t Server = NoIndex;
    uint32_t User = NoIndex;      // the authenticated user in the server's tree; NoIndex: nobody
    bool Primary = false;
    NWCONN_REF Reference = 0;
    NWCONN_HANDLE Handle = 0;
};

struct TDriveMapping {
    uint32_t Server = NoIndex;     // NoIndex: the letter is not mapped
    uint32_t Volume = NoIndex;
    std::string Path;              // the directory the letter stands for within the volume
};

struct TWorkstation {
    std::string File;
    std::vector<std::unique_ptr<TDirectorySource>> Trees;
    std::vector<TWorkstationServer> Servers;
    std::vector<TWorkstationConnection> Connections;
    std::array<TDriveMapping, 26> Drives;

    // The tree with that name (any letter case), or NoIndex.
    uint32_t FindTree(std::string_view name) const;
    // The server with that name (any letter case), or NoIndex.
    uint32_t FindServer(std::string_view name) const;
};

// Where a tree's objects come from: given the tree's entry of the workstation file (its "ldif"
// or "ldap" member and the rest), the folder of the file and the tree's name, the tree's source,
// or nullptr and a message.
using TTreeSource = std::function<std::unique_ptr<TDirectorySource>(
    const nlohmann::ordered_json& entry, const std::string& baseFolder, const std::string& treeName,
    std::string& error)>;
// Lets a tree kind ("ldif", "ldap") be loaded by source; the factory (client/workstation_client.h)
// registers the kinds before it reads a file.
void RegisterTreeSource(const std::string& kind, TTreeSource source);

// Reads a workstation file with every tree it names, by the kinds registered. On failure gives
// nullptr and a message that names the file, the key or line and what was expected; nothing
// half-loaded is kept.
std::unique_ptr<TWorkstation> ReadWorkstationFile(const std::string& path, std::string& error);

// A user's file-system rights on a directory of a volume from the trustees the file gives: ids
// holds, sorted, the object IDs of the user's trustees, each with the trustee's number below
// count (a trustee may have several IDs). An assignment replaces what the trustee inherited from
// above; the inherited rights masks filter the rest; Supervisor grants every right.
uint16_t VolumeRights(const std::vector<std::pair<NWObjectID, size_t>>& ids, size_t count,
                      const TWorkstationVolume& volume, uint32_t directory);

// The names of a path within a volume ("\" or "/" between them). With steps, ".." steps back
// (false above the volume root) and "." stays; without, either makes the path false.
bool SplitVolumePath(std::string_view path, std::vector<std::string>& names, bool steps = false);
// The names from..to of a path within a volume, joined by "\".
std::string JoinVolumePath(const std::vector<std::string>& names, size_t from, size_t to);

// Connection references and handles as the workstation hands them out (stable for its life).
NWCONN_REF ConnectionReference(size_t index);
NWCONN_HANDLE ConnectionHandle(size_t index);

} // namespace era
