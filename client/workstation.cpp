#include "client/workstation.h"

#include "client/ascii_fold.h"
#include "client/time_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

namespace era {

namespace {

using TJson = nlohmann::ordered_json;

std::map<std::string, TTreeSource>& TreeSources() {
    static std::map<std::string, TTreeSource> sources;
    return sources;
}

class TWorkstationReader {
public:
    explicit TWorkstationReader(std::string file) : file_(std::move(file)) {}

    std::unique_ptr<TWorkstation> Run(std::string& error) {
        auto workstation = std::make_unique<TWorkstation>();
        workstation->File = file_;
        ws_ = workstation.get();
        if (!Read()) {
            error = error_;
            return nullptr;
        }
        return workstation;
    }

private:
    bool Fail(const std::string& key, const std::string& what) {
        error_ = file_ + ": " + (key.empty() ? std::string() : key + ": ") + what;
        return false;
    }

    bool CheckKeys(const TJson& object, const std::string& key, std::initializer_list<const char*> allowed) {
        for (const auto& [name, value] : object.items()) {
            bool known = false;
            for (const char* a : allowed) known = known || name == a;
            if (!known) {
                std::string list;
                for (const char* a : allowed) list += (list.empty() ? "\"" : ", \"") + std::string(a) + "\"";
                return Fail(key + "." + name, "unknown key; expected one of " + list);
            }
        }
        return true;
    }

    bool String(const TJson& object, const char* name, const std::string& key, bool required, std::string& out) {
        out.clear();
        auto it = object.find(name);
        if (it == object.end()) return required ? Fail(key + "." + name, "missing; expected a text") : true;
        if (!it->is_string()) return Fail(key + "." + name, "expected a text");
        out = it->get<std::string>();
        if (required && out.empty()) return Fail(key + "." + name, "expected a non-empty text");
        return true;
    }

    bool Read() {
        std::error_code kindError;
        const auto kind = std::filesystem::status(file_, kindError).type();
        if (kind == std::filesystem::file_type::directory)
            return Fail("", "expected a workstation file, found a folder");
        // A pipe would be read until someone writes to it, which may be never; a device for ever.
        if (!kindError && kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::not_found)
            return Fail("", "expected a workstation file, found a device, a pipe or a socket");
        errno = 0;
        std::ifstream in(file_, std::ios::binary);
        if (!in)
            return Fail("", std::string("cannot open the workstation file (") +
                                (errno ? std::strerror(errno) : "unknown error") + ")");
        TJson root;
        try {
            root = TJson::parse(in);
        } catch (const nlohmann::json::exception& e) {
            // Syntax errors, and numbers too large for any number type, which the parser reports
            // as range errors.
            return Fail("", std::string("not a JSON file: ") + e.what());
        }
        if (!root.is_object()) return Fail("", "expected a JSON object with \"trees\", \"servers\", \"connections\" and \"drives\"");
        if (!CheckKeys(root, "(top)", {"trees", "servers", "connections", "drives"})) return false;
        baseFolder_ = std::filesystem::absolute(std::filesystem::path(file_)).parent_path().string();
        return Trees(root) && Servers(root) && Connections(root) && Drives(root);
    }

    bool Trees(const TJson& root) {
        auto it = root.find("trees");
        if (it == root.end() || !it->is_array() || it->empty())
            return Fail("trees", "expected a list of trees, each { \"name\": ..., \"ldif\": ... }");
        for (size_t i = 0; i < it->size(); ++i) {
            const auto& entry = (*it)[i];
            std::string key = "trees[" + std::to_string(i) + "]";
            if (!entry.is_object()) return Fail(key, "expected { \"name\": ..., \"ldif\": ... }");
            std::string name;
            if (!String(entry, "name", key, true, name)) return false;
            if (name.size() > 32) return Fail(key + ".name", "expected a tree name of at most 32 characters");
            if (ws_->FindTree(name) != NoIndex) return Fail(key + ".name", "the tree \"" + name + "\" is listed twice");
            std::string kind;
            for (const auto& [member, value] : entry.items()) {
                if (member == "name") continue;
                // A misspelt key next to a good source is named as what it is, not as a second source.
                if (!TreeSources().contains(member))
                    return Fail(key + "." + member, "unknown key; expected \"name\" and \"ldif\" or \"ldap\"");
                if (!kind.empty()) return Fail(key, "expected one source, \"ldif\" or \"ldap\", not both");
                kind = member;
            }
            if (kind.empty()) return Fail(key, "expected where the tree comes from: \"ldif\": \"file.ldif\"");
            auto source = TreeSources().find(kind);
            std::string why;
            auto tree = source->second(entry, baseFolder_, name, why);
            if (!tree) return Fail(key + "." + kind, why);
            ws_->Trees.push_back(std::move(tree));
        }
        return true;
    }

    // An object of a tree named by DN in the workstation file.
    // A live tree cannot be checked here: what the file names stands in for the server's object.
    bool Object(TDirectorySource& tree, const std::string& dn, const std::string& key, uint32_t& object) {
        TNameParts parts;
        std::string why;
        if (!LdapDnToParts(dn, parts, why)) return Fail(key, "expected a DN such as \"cn=admin,o=acme\": " + why);
        if (!parts.empty() && EqualsFolded(parts.back().Type, "t") && EqualsFolded(parts.back().Value, tree.Name()))
            parts.pop_back();
        object = tree.FileObject(parts);
        if (object == NoIndex) return Fail(key, "the object \"" + dn + "\" is not in the tree \"" + tree.Name() + "\"");
        return true;
    }

    // File-system rights as the notation reads them: letters (R W C E A F M S) or a decimal mask.
    // The notation passes over characters that are no letters of the kind; here each must be one
    // (or a blank, or a bracket of the rights text), or "RWXYZ" would grant Read and Write, "rw"
    // nothing and a mask "Q" would block every right, each without a word.
    bool Rights(const std::string& text, const std::string& key, uint16_t& mask) {
        const bool number = !text.empty() && text.find_first_not_of("0123456789 ") == std::string::npos &&
                            text.find_first_of("0123456789") != std::string::npos;
        if (!number)
            for (size_t i = 0; i < text.size(); ++i)
                if (std::string_view("RWCEAFMS []").find(text[i]) == std::string_view::npos)
                {
                    size_t length = 1;   // the whole of a character that takes several bytes
                    while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
                        ++length;
                    return Fail(key, "expected file-system rights as the letters R, W, C, E, A, F, M and S (upper "
                                     "case) or a decimal mask; found \"" +
                                         text.substr(i, length) + "\" at position " + std::to_string(i + 1) +
                                         " of \"" + text + "\"");
                }
        bool ok = true;
        uint32_t rights = U_StrToRights(text, rkFileSystem, &ok);
        if (!ok || rights > 0x1FF)
            return Fail(key, "expected file-system rights as letters such as \"RWCEMF\", found \"" + text + "\"");
        mask = static_cast<uint16_t>(rights);
        return true;
    }

    bool ObjectID(const std::string& text, std::string_view key, NWObjectID& id) {
        const char* begin = text.data();
        const char* end = text.data() + text.size();
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            begin += 2;
            base = 16;
        }
        auto [stop, ec] = std::from_chars(begin, end, id, base);
        if (begin == end || ec != std::errc() || stop != end)
            return Fail(std::string(key), "expected an object ID in decimal or as 0x followed by hexadecimal digits");
        return true;
    }

    bool Servers(const TJson& root) {
        auto it = root.find("servers");
        if (it == root.end()) return true;
        if (!it->is_array()) return Fail("servers", "expected a list of servers");
        for (size_t i = 0; i < it->size(); ++i) {
            const auto& entry = (*it)[i];
            std::string key = "servers[" + std::to_string(i) + "]";
            if (!entry.is_object()) return Fail(key, "expected { \"name\": ..., \"tree\": ..., \"volumes\": [...] }");
            if (!CheckKeys(entry, key, {"name", "tree", "object", "bindery", "volumes"})) return false;
            TWorkstationServer server;
            std::string treeName, objectDn;
            if (!String(entry, "name", key, true, server.Name) || !String(entry, "tree", key, true, treeName) ||
                !String(entry, "object", key, false, objectDn))
                return false;
            if (ws_->FindServer(server.Name) != NoIndex)
                return Fail(key + ".name", "the server \"" + server.Name + "\" is listed twice");
            server.Tree = ws_->FindTree(treeName);
            if (server.Tree == NoIndex)
                return Fail(key + ".tree", "the tree \"" + treeName + "\" is not in \"trees\"");
            TDirectorySource& tree = *ws_->Trees[server.Tree];
            if (!objectDn.empty() && !Object(tree, objectDn, key + ".object", server.Object)) return false;
            if (auto bindery = entry.find("bindery"); bindery != entry.end()) {
                if (!bindery->is_object()) return Fail(key + ".bindery", "expected { \"object ID\": \"bindery name\" }");
                for (const auto& [idText, name] : bindery->items()) {
                    std::string itemKey = key + ".bindery." + idText;
                    NWObjectID id = 0;
                    if (!ObjectID(idText, itemKey, id)) return false;
                    if (!name.is_string() || name.get<std::string>().empty())
                        return Fail(itemKey, "expected the bindery name as a text");
                    server.Bindery[id] = name.get<std::string>();
                }
            }
            if (auto volumes = entry.find("volumes"); volumes != entry.end()) {
                if (!volumes->is_array()) return Fail(key + ".volumes", "expected a list of volumes");
                for (size_t v = 0; v < volumes->size(); ++v)
                    if (!Volume((*volumes)[v], key + ".volumes[" + std::to_string(v) + "]", tree, server)) return false;
            }
            ws_->Servers.push_back(std::move(server));
        }
        return true;
    }

    bool Volume(const TJson& entry, const std::string& key, TDirectorySource& tree, TWorkstationServer& server) {
        if (!entry.is_object()) return Fail(key, "expected { \"name\": ..., \"number\": ..., \"directories\": [...] }");
        if (!CheckKeys(entry, key, {"name", "number", "object", "directories"})) return false;
        TWorkstationVolume volume;
        std::string objectDn;
        if (!String(entry, "name", key, true, volume.Name) || !String(entry, "object", key, false, objectDn)) return false;
        if (volume.Name.find_first_of(":\\/") != std::string::npos)
            return Fail(key + ".name", "expected a volume name without \":\", \"\\\" or \"/\"");
        auto number = entry.find("number");
        if (number == entry.end() || !number->is_number_integer() || number->get<int64_t>() < 0 ||
            number->get<int64_t>() > 0xFFFF)
            return Fail(key + ".number", "expected the volume number, a whole number from 0 to 65535");
        volume.Number = static_cast<uint16_t>(number->get<int64_t>());
        for (const auto& other : server.Volumes) {
            if (EqualsFolded(other.Name, volume.Name))
                return Fail(key + ".name", "the server already has a volume \"" + volume.Name + "\"");
            if (other.Number == volume.Number)
                return Fail(key + ".number", "the server already has a volume number " + std::to_string(volume.Number));
        }
        if (!objectDn.empty() && !Object(tree, objectDn, key + ".object", volume.Object)) return false;
        TWorkstationDirectory root;
        root.Name = volume.Name;
        volume.Directories.push_back(std::move(root));
        volume.ByPath.emplace("", 0);
        std::vector<bool> given(1, false);   // whether the file describes the directory (not only names it)
        if (auto directories = entry.find("directories"); directories != entry.end()) {
            if (!directories->is_array()) return Fail(key + ".directories", "expected a list of directories");
            for (size_t d = 0; d < directories->size(); ++d)
                if (!Directory((*directories)[d], key + ".directories[" + std::to_string(d) + "]", tree, volume, given))
                    return false;
        }
        server.Volumes.push_back(std::move(volume));
        return true;
    }

    bool Directory(const TJson& entry, const std::string& key, TDirectorySource& tree, TWorkstationVolume& volume,
                   std::vector<bool>& given) {
        if (!entry.is_object()) return Fail(key, "expected { \"path\": ..., \"trustees\": {...} }");
        if (!CheckKeys(entry, key, {"path", "owner", "created", "irm", "trustees"})) return false;
        auto pathIt = entry.find("path");
        if (pathIt == entry.end() || !pathIt->is_string())
            return Fail(key + ".path", "expected the directory's path within the volume (\"\" for its root)");
        std::vector<std::string> names;
        if (!SplitVolumePath(pathIt->get<std::string>(), names))
            return Fail(key + ".path", "expected a path without \".\" or \"..\" parts");
        // Directories named only as the way to a deeper one exist with nothing assigned.
        uint32_t at = 0;
        for (size_t depth = 1; depth <= names.size(); ++depth) {
            std::string path = JoinVolumePath(names, 0, depth);
            uint32_t found = volume.FindDirectory(path);
            if (found == NoIndex) {
                found = static_cast<uint32_t>(volume.Directories.size());
                TWorkstationDirectory directory;
                directory.Name = names[depth - 1];
                directory.Path = path;
                directory.Parent = at;
                volume.Directories.push_back(std::move(directory));
                volume.Directories[at].Children.push_back(found);
                volume.ByPath.emplace(FoldAscii(path), found);
                given.push_back(false);
            }
            at = found;
        }
        if (given[at]) return Fail(key + ".path", "the directory \"" + volume.Directories[at].Path + "\" is listed twice");
        given[at] = true;
        TWorkstationDirectory& directory = volume.Directories[at];
        std::string owner, created, irm;
        if (!String(entry, "owner", key, false, owner) || !String(entry, "created", key, false, created) ||
            !String(entry, "irm", key, false, irm))
            return false;
        if (!owner.empty()) {
            uint32_t object = NoIndex;
            if (!Object(tree, owner, key + ".owner", object)) return false;
            directory.Owner = tree.ObjectID(object);
        }
        if (!created.empty() && !ParseIsoTime(created, directory.CreationTime))
            return Fail(key + ".created", "expected a time such as \"2009-09-01T08:00:00Z\"");
        if (entry.contains("irm")) {
            uint16_t mask = 0;
            if (!Rights(irm, key + ".irm", mask)) return false;
            // The mask is the eight bits below Supervisor, which no mask takes away.
            directory.InheritedRightsMask = mask & AllRightsMask;
        }
        if (auto trustees = entry.find("trustees"); trustees != entry.end()) {
            if (!trustees->is_object())
                return Fail(key + ".trustees", "expected { \"trustee\": \"rights letters\" }");
            for (const auto& [name, rights] : trustees->items()) {
                std::string itemKey = key + ".trustees." + name;
                if (!rights.is_string()) return Fail(itemKey, "expected the rights as letters such as \"RF\"");
                TTrusteeEntry trustee;
                if (!Rights(rights.get<std::string>(), itemKey, trustee.Rights)) return false;
                if (name == PublicName) {
                    trustee.ObjectID = PublicTrusteeID;
                } else if (name == RootName) {
                    trustee.ObjectID = tree.ObjectID(SourceRootObject);
                } else if (name.size() > 3 && name[0] == '#' && name[1] == '0' && (name[2] == 'x' || name[2] == 'X')) {
                    if (!ObjectID(name.substr(1), itemKey, trustee.ObjectID)) return false;
                } else {
                    uint32_t object = NoIndex;
                    if (!Object(tree, name, itemKey, object)) return false;
                    trustee.ObjectID = tree.ObjectID(object);
                }
                directory.Trustees.push_back(trustee);
            }
        }
        return true;
    }

    bool Connections(const TJson& root) {
        auto it = root.find("connections");
        if (it == root.end()) return true;
        if (!it->is_array()) return Fail("connections", "expected a list of connections");
        bool havePrimary = false;
        for (size_t i = 0; i < it->size(); ++i) {
            const auto& entry = (*it)[i];
            std::string key = "connections[" + std::to_string(i) + "]";
            if (!entry.is_object()) return Fail(key, "expected { \"server\": ..., \"user\": ... }");
            if (!CheckKeys(entry, key, {"server", "user", "primary"})) return false;
            TWorkstationConnection connection;
            std::string serverName;
            if (!String(entry, "server", key, true, serverName)) return false;
            connection.Server = ws_->FindServer(serverName);
            if (connection.Server == NoIndex)
                return Fail(key + ".server", "the server \"" + serverName + "\" is not in \"servers\"");
            TWorkstationServer& server = ws_->Servers[connection.Server];
            if (server.Connection != NoIndex)
                return Fail(key + ".server", "the workstation is already attached to \"" + server.Name + "\"");
            auto user = entry.find("user");
            if (user != entry.end() && !user->is_null()) {
                if (!user->is_string()) return Fail(key + ".user", "expected the user's DN, or null when nobody is logged in");
                if (!Object(*ws_->Trees[server.Tree], user->get<std::string>(), key + ".user", connection.User)) return false;
            }
            if (auto primary = entry.find("primary"); primary != entry.end()) {
                if (!primary->is_boolean()) return Fail(key + ".primary", "expected true or false");
                connection.Primary = primary->get<bool>();
                if (connection.Primary && havePrimary) return Fail(key + ".primary", "only one connection can be primary");
                havePrimary = havePrimary || connection.Primary;
            }
            connection.Reference = ConnectionReference(ws_->Connections.size());
            connection.Handle = ConnectionHandle(ws_->Connections.size());
            server.Connection = static_cast<uint32_t>(ws_->Connections.size());
            ws_->Connections.push_back(connection);
        }
        return true;
    }

    bool Drives(const TJson& root) {
        auto it = root.find("drives");
        if (it == root.end()) return true;
        if (!it->is_object()) return Fail("drives", "expected { \"F\": \"\\\\\\\\SERVER\\\\VOLUME\" }");
        for (const auto& [letter, target] : it->items()) {
            std::string key = "drives." + letter;
            char c = letter.size() == 1 ? FoldAsciiChar(letter[0]) : 0;
            if (c < 'a' || c > 'z') return Fail(key, "expected a drive letter from A to Z");
            TDriveMapping& drive = ws_->Drives[static_cast<size_t>(c - 'a')];
            if (drive.Server != NoIndex) return Fail(key, "the drive letter is mapped twice");
            std::string unc = target.is_string() ? target.get<std::string>() : std::string();
            std::vector<std::string> names;
            if (unc.size() < 3 || (unc[0] != '\\' && unc[0] != '/') || (unc[1] != '\\' && unc[1] != '/') ||
                !SplitVolumePath(unc.substr(2), names) || names.size() < 2)
                return Fail(key, "expected a UNC path \\\\SERVER\\VOLUME or \\\\SERVER\\VOLUME\\PATH");
            drive.Server = ws_->FindServer(names[0]);
            if (drive.Server == NoIndex) return Fail(key, "the server \"" + names[0] + "\" is not in \"servers\"");
            const TWorkstationServer& server = ws_->Servers[drive.Server];
            if (server.Connection == NoIndex)
                return Fail(key, "the workstation has no connection to \"" + server.Name + "\" to map a drive over");
            for (uint32_t v = 0; v < server.Volumes.size(); ++v)
                if (EqualsFolded(server.Volumes[v].Name, names[1])) drive.Volume = v;
            if (drive.Volume == NoIndex)
                return Fail(key, "the server \"" + server.Name + "\" has no volume \"" + names[1] + "\"");
            names.erase(names.begin(), names.begin() + 2);
            const TWorkstationVolume& volume = server.Volumes[drive.Volume];
            uint32_t directory = volume.FindDirectory(JoinVolumePath(names, 0, names.size()));
            if (directory == NoIndex)
                return Fail(key, "the volume \"" + volume.Name + "\" has no directory \"" +
                                     JoinVolumePath(names, 0, names.size()) + "\"");
            drive.Path = volume.Directories[directory].Path;
        }
        return true;
    }

    std::string file_;
    std::string baseFolder_;
    std::string error_;
    TWorkstation* ws_ = nullptr;
};

} // namespace

bool SplitVolumePath(std::string_view path, std::vector<std::string>& names, bool steps) {
    names.clear();
    std::string name;
    auto flush = [&] {
        if (name == "." || name == "..") {
            if (!steps || (name == ".." && names.empty())) return false;
            if (name == "..") names.pop_back();
        } else if (!name.empty()) {
            names.push_back(name);
        }
        name.clear();
        return true;
    };
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!flush()) return false;
        } else {
            name += c;
        }
    }
    return flush();
}

std::string JoinVolumePath(const std::vector<std::string>& names, size_t from, size_t to) {
    std::string path;
    for (size_t i = from; i < to; ++i) {
        if (i > from) path += '\\';
        path += names[i];
    }
    return path;
}

uint32_t TWorkstationVolume::FindDirectory(std::string_view path) const {
    std::vector<std::string> names;
    if (!SplitVolumePath(path, names)) return NoIndex;
    auto it = ByPath.find(FoldAscii(JoinVolumePath(names, 0, names.size())));
    return it == ByPath.end() ? NoIndex : it->second;
}

uint32_t TWorkstation::FindTree(std::string_view name) const {
    for (uint32_t i = 0; i < Trees.size(); ++i)
        if (EqualsFolded(Trees[i]->Name(), name)) return i;
    return NoIndex;
}

uint32_t TWorkstation::FindServer(std::string_view name) const {
    for (uint32_t i = 0; i < Servers.size(); ++i)
        if (EqualsFolded(Servers[i].Name, name)) return i;
    return NoIndex;
}

void RegisterTreeSource(const std::string& kind, TTreeSource source) { TreeSources()[kind] = std::move(source); }

std::unique_ptr<TWorkstation> ReadWorkstationFile(const std::string& path, std::string& error) {
    error.clear();
    TWorkstationReader reader(path);
    try {
        return reader.Run(error);
    } catch (const std::exception& e) {
        // Whatever the file system or the memory refuses while reading ends the load, not the program.
        error = path + ": cannot be read: " + e.what();
        return nullptr;
    }
}

uint16_t VolumeRights(const std::vector<std::pair<NWObjectID, size_t>>& ids, size_t count,
                      const TWorkstationVolume& volume, uint32_t directory) {
    std::vector<uint32_t> chain; // the directory up to the volume root
    for (uint32_t at = directory; at != NoIndex && at < volume.Directories.size();
         at = volume.Directories[at].Parent)
        chain.push_back(at);

    std::vector<uint16_t> rights(count, 0);
    std::vector<size_t> assignedAt(count, 0); // the step that last assigned, from 1
    size_t step = 0;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        ++step;
        const TWorkstationDirectory& entry = volume.Directories[*at];
        const uint16_t letThrough = static_cast<uint16_t>(entry.InheritedRightsMask | FileSupervisor);
        for (uint16_t& held : rights)
            held &= letThrough;
        for (const TTrusteeEntry& trustee : entry.Trustees) {
            auto first =
                std::lower_bound(ids.begin(), ids.end(), std::make_pair(trustee.ObjectID, size_t{0}));
            for (auto it = first; it != ids.end() && it->first == trustee.ObjectID; ++it) {
                if (assignedAt[it->second] != step) {
                    assignedAt[it->second] = step;
                    rights[it->second] = 0;
                }
                rights[it->second] |= trustee.Rights;
            }
        }
    }
    uint16_t total = 0;
    for (uint16_t held : rights)
        total |= held;
    if (total & FileSupervisor) total = AllFileRights;
    return total & AllFileRights;
}

NWCONN_REF ConnectionReference(size_t index) { return 0x00A10001u + static_cast<NWCONN_REF>(index); }
NWCONN_HANDLE ConnectionHandle(size_t index) { return 1u + static_cast<NWCONN_HANDLE>(index); }

} // namespace era
