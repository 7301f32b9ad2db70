// The workstation loader over arbitrary bytes: the bytes are the workstation file (JSON), beside
// copies of the tests' LDIF fixtures and the sample's trees, which it may name. A file that does
// not load must say why, naming the file; nothing may escape as an exception.

#include "fuzz/fuzz_support.h"

#include <cstdlib>

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const auto& scratch = era::fuzz::ScratchFolder();
        for (const char* name : {"small.ldif", "other.ldif"})
            std::filesystem::copy_file(era::fuzz::FixtureFile(name), scratch / name,
                                       std::filesystem::copy_options::overwrite_existing);
        for (const char* name : {"acme.ldif", "lab.ldif"})
            std::filesystem::copy_file(std::string(ERA_SOURCE_DIR) + "/examples/acme/" + name, scratch / name,
                                       std::filesystem::copy_options::overwrite_existing);
        return scratch;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const auto file = Folder() / "workstation.json";
    fuzz::WriteBytes(file, data, size);
    std::string message;
    std::unique_ptr<TWorkstationClient> client;
    const NWCCODE code = LoadWorkstation(file.string(), client, message);
    if (code != 0) {
        if (code != NweClientNotStarted || client || message.find("workstation.json") == std::string::npos)
            std::abort();
        return 0;
    }
    if (!client) std::abort();
    // The loaded workstation's cross references all point inside it.
    const TWorkstation& ws = client->Workstation();
    for (const auto& server : ws.Servers) {
        if (server.Tree >= ws.Trees.size()) std::abort();
        if (server.Connection != NoIndex && server.Connection >= ws.Connections.size()) std::abort();
    }
    for (const auto& drive : ws.Drives)
        if (drive.Server != NoIndex && (drive.Server >= ws.Servers.size() ||
                                        drive.Volume >= ws.Servers[drive.Server].Volumes.size()))
            std::abort();
    return 0;
}
