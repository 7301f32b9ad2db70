#pragma once

// What the fuzz targets share: a scratch folder of the process for the files a target writes,
// and the small embedded directory of the tests, installed once as the process-wide client.

#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"
#include "directory/context.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace era::fuzz {

// A folder of this process, removed when the process ends normally.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("era-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        static struct TRemover {
            std::filesystem::path Path;
            ~TRemover() {
                std::error_code ignored;
                std::filesystem::remove_all(Path, ignored);
            }
        } remover{path};
        return path;
    }();
    return folder;
}

// Replaces the file's content with the bytes.
inline void WriteBytes(const std::filesystem::path& file, const uint8_t* data, size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A fixture file of the tests.
inline std::string FixtureFile(const std::string& name) {
    return std::string(ERA_SOURCE_DIR) + "/tests/data/client/" + name;
}

// A context at [Root] of SMALL_TREE (typeless names) on the small directory of the tests, which
// is installed as the process-wide client the first time. The context lives as long as the
// process; a fixture that does not load ends the run, since nothing could be tested then.
inline NWDSContextHandle SmallDirectoryContext() {
    static const NWDSContextHandle handle = [] {
        std::string message;
        if (InstallWorkstation(FixtureFile("small.json"), message) != 0) {
            std::fprintf(stderr, "cannot load the fuzz fixture: %s\n", message.c_str());
            std::abort();
        }
        TDSContext context;
        if (TDSContext::Create(context) != 0 || U_DSChangeTree(context.Get(), "SMALL_TREE", false) != 0 ||
            U_DSSetContextToRoot(context.Get()) != 0 || U_DSSetContextFlag(context.Get(), "+", DcvTypelessNames) != 0) {
            std::fprintf(stderr, "cannot prepare a context on the fuzz fixture\n");
            std::abort();
        }
        return context.Release();
    }();
    return handle;
}

} // namespace era::fuzz
