#pragma once

// Helpers for the client tests: load a workstation through the real loader, write throw-away
// fixture files, and drive the batched calls to their end.

#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace era::test {

inline std::string DataFile(const std::string& name) { return std::string(ERA_TEST_DATA_DIR) + "/client/" + name; }

// Loads a workstation file; fails the test with the loader's message when it does not load.
inline std::unique_ptr<TWorkstationClient> Load(const std::string& path) {
    std::string message;
    auto client = LoadWorkstation(path, message);
    EXPECT_TRUE(client) << message;
    return client;
}

inline std::unique_ptr<TWorkstationClient> LoadSmall() { return Load(DataFile("small.json")); }

// A folder of its own for files a test writes; removed when the test ends.
class TTempFolder {
public:
    TTempFolder() {
        auto base = std::filesystem::temp_directory_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("era_client_") + (info ? info->test_suite_name() + std::string("_") + info->name() : "x");
        for (int i = 0;; ++i) {
            path_ = base / (name + "_" + std::to_string(i));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A context of the client, freed at the end of the scope.
class TContext {
public:
    explicit TContext(TDirectoryClient& client) : client_(client) { EXPECT_EQ(client_.NWDSCreateContextHandle(handle_), 0); }
    ~TContext() { client_.NWDSFreeContext(handle_); }
    TContext(const TContext&) = delete;
    TContext& operator=(const TContext&) = delete;
    operator NWDSContextHandle() const { return handle_; }
    void SetFlags(uint32_t flags) { EXPECT_EQ(client_.NWDSSetContext(handle_, DckFlags, flags), 0); }
    void SetNameContext(const std::string& name) { EXPECT_EQ(client_.NWDSSetContext(handle_, DckNameContext, name), 0); }

private:
    TDirectoryClient& client_;
    NWDSContextHandle handle_ = 0;
};

// What a read of one attribute gave over all its batches.
struct TReadResult {
    NWCCODE Code = 0;
    int Batches = 0;
    uint32_t Syntax = 0;
    std::vector<TAttrValue> Values;
};

inline TReadResult ReadAll(TDirectoryClient& client, NWDSContextHandle context, const std::string& object,
                           const std::string& attribute, uint32_t resultSize = MaxMessageLen) {
    TReadResult read;
    TDSBuffer names(DefaultMessageLen);
    client.NWDSInitBuf(context, DsvRead, names);
    client.NWDSPutAttrName(context, names, attribute);
    TDSBuffer result(resultSize);
    int32_t iteration = -1;
    do {
        client.NWDSInitBuf(context, DsvRead, result);
        read.Code = client.NWDSRead(context, object, DsAttributeValues, false, &names, iteration, result);
        if (read.Code != 0) break;
        ++read.Batches;
        EXPECT_LE(result.UsedBytes(), result.Size());
        uint32_t count = 0;
        client.NWDSGetAttrCount(context, result, count);
        for (uint32_t a = 0; a < count; ++a) {
            std::string name;
            uint32_t values = 0;
            client.NWDSGetAttrName(context, result, name, values, read.Syntax);
            for (uint32_t v = 0; v < values; ++v) {
                TAttrValue value;
                client.NWDSGetAttrVal(context, result, read.Syntax, value);
                read.Values.push_back(value);
            }
        }
    } while (iteration != -1 && read.Batches < 100000);
    return read;
}

// The texts of values that are texts (names, strings).
inline std::vector<std::string> Texts(const std::vector<TAttrValue>& values) {
    std::vector<std::string> texts;
    for (const auto& value : values)
        if (const auto* text = std::get_if<TTextValue>(&value)) texts.push_back(text->Text);
    return texts;
}

// What a listing gave over all its batches.
struct TListResult {
    NWCCODE Code = 0;
    int Batches = 0;
    std::vector<std::string> Names;
    std::vector<TObjectInfo> Infos;
    bool EveryBatchHadEntries = true;
};

inline TListResult ListAll(TDirectoryClient& client, NWDSContextHandle context, const std::string& container,
                           bool containersOnly) {
    TListResult list;
    TDSBuffer result(DefaultMessageLen);
    int32_t iteration = -1;
    do {
        list.Code = containersOnly ? client.NWDSListContainers(context, container, iteration, result)
                                   : client.NWDSList(context, container, iteration, result);
        if (list.Code != 0) break;
        ++list.Batches;
        uint32_t count = 0;
        client.NWDSGetObjectCount(context, result, count);
        if (count == 0 && iteration != -1) list.EveryBatchHadEntries = false;
        for (uint32_t i = 0; i < count; ++i) {
            std::string name;
            uint32_t attributes = 0;
            TObjectInfo info;
            client.NWDSGetObjectName(context, result, name, attributes, info);
            list.Names.push_back(name);
            list.Infos.push_back(info);
        }
    } while (iteration != -1 && list.Batches < 100000);
    return list;
}

} // namespace era::test
