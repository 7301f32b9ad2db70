#pragma once

// The workstation the embedded directory stands in for: its trees, the servers it is attached
// to with their volumes and directories, its connections and its drive mappings, read from a
// workstation file (JSON; paths inside it are relative to the file).

#include "client/snapshot/snapshot_tree.h"
#include "directory/client.h"

#include <array>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

constexpr uint32_t NoIndex = 0xFFFFFFFFu;
// The object ID that stands for [Public] as a file-system trustee.
constexpr NWObjectID PublicTrusteeID = 0xFFFFFFFEu;
// What every directory of a volume lets through unless the file gives an inherited rights mask.
constexpr uint16_t AllRightsMask = 0xFF;

struct TSnapshotDirectory {
    std::string Name;              // its own name; the volume root has the volume's name
    std::string Path;              // within the volume, backslash-separated; "" for the root
    uint32_t Parent = NoIndex;
    std::vector<uint32_t> Children;   // in file order
    uint16_t InheritedRightsMask = AllRightsMask;
    uint32_t CreationTime = 0;     // seconds since 1970
    NWObjectID Owner = 0;
    std::vector<TTrusteeEntry> Trustees;   // in file order
};

struct TSnapshotVolume {
    std::string Name;
    uint16_t Number = 0;
    uint32_t Object = NoObject;    // the volume object in the server's tree
    std::vector<TSnapshotDirectory> Directories;   // [0] is the volume root
    // The directory with that path within the volume (any letter case, "\" or "/"), or NoIndex.
    uint32_t FindDirectory(std::string_view path) const;
    std::unordered_map<std::string, uint32_t> ByPath;   // folded path -> directory
};

struct TSnapshotServer {
    std::string Name;
    uint32_t Tree = NoIndex;       // index into TWorkstation::Trees
    uint32_t Object = NoObject;    // the server object in that tree
    std::unordered_map<NWObjectID, std::string> Bindery;   // object ID -> bindery name
    std::vector<TSnapshotVolume> Volumes;
    uint32_t Connection = NoIndex;   // the workstation's connection to it, if any
};

struct TSnapshotConnection {
    uint32_t Server = NoIndex;
    uint32_t User = NoObject;      // the authenticated user in the server's tree; NoObject: nobody
    bool Primary = false;
    NWCONN_REF Reference = 0;
    NWCONN_HANDLE Handle = 0;
};

struct TDriveMapping {
    uint32_t Server = NoIndex;     // NoIndex: the letter is not mapped
    uint32_t Volume = NoIndex;
    std::string Path;              // the directory the letter stands for within the volume
};

// A tree whose objects live on a server: its stand-in in Trees holds only [Root] and the objects
// the workstation file names; the client of that kind reads the directory itself.
struct TLiveTree {
    uint32_t Tree = NoIndex;   // index into TWorkstation::Trees
    std::string Kind;          // "ldap"
    std::string Settings;      // the tree's settings as written (JSON)
    std::string BaseFolder;    // the folder of the workstation file, for relative paths in them
};

struct TWorkstation {
    std::string File;
    std::vector<std::unique_ptr<TSnapshotTree>> Trees;
    std::vector<TLiveTree> LiveTrees;
    std::vector<TSnapshotServer> Servers;
    std::vector<TSnapshotConnection> Connections;
    std::array<TDriveMapping, 26> Drives;

    // The tree with that name (any letter case), or NoIndex.
    uint32_t FindTree(std::string_view name) const;
    // The server with that name (any letter case), or NoIndex.
    uint32_t FindServer(std::string_view name) const;
};

// Where a tree's objects come from: given the tree's entry of the workstation file (its "ldif"
// or "ldap" member and the rest), the folder of the file and the tree's name, a loaded tree, or
// nullptr and a message.
using TTreeSource = std::function<std::unique_ptr<TSnapshotTree>(
    const nlohmann::ordered_json& entry, const std::string& baseFolder, const std::string& treeName,
    std::string& error)>;
// Lets a tree kind be loaded by source; "ldif" is there from the start, the workstation client
// adds "ldap". A live source gives a stand-in (MakeStandInTree) to which the loader adds the
// objects the file names.
void RegisterTreeSource(const std::string& kind, TTreeSource source, bool live = false);

// A stand-in for a live tree: [Root] alone, with its object ID.
std::unique_ptr<TSnapshotTree> MakeStandInTree(const std::string& treeName);
// The object of a full name in a stand-in, added (with the containers above it) when new.
uint32_t AddStandInObject(TSnapshotTree& tree, const TNameParts& full);

// Reads a workstation file with every tree it names. On failure gives nullptr and a message that
// names the file, the key or line and what was expected; nothing half-loaded is kept.
std::unique_ptr<TWorkstation> LoadWorkstationFile(const std::string& path, std::string& error);

// Connection references and handles as the workstation hands them out (stable for its life).
NWCONN_REF ConnectionReference(size_t index);
NWCONN_HANDLE ConnectionHandle(size_t index);

} // namespace era
