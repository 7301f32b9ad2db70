#pragma once

// The analysis run as the scan driver runs it: a workstation loaded through the real loader, the
// client started, and the contexts prepared as the selection pages prepare them.

#include "client/redirector.h"
#include "client/workstation_client.h"
#include "directory/connections.h"
#include "directory/context.h"
#include "rights/analysis.h"
#include "util/paths.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <string>

namespace era::test {

class TAnalysisFixture {
public:
    explicit TAnalysisFixture(const std::string& workstation) : TAnalysisFixture(Loaded(workstation)) {}
    // The same with a client of the test's own.
    explicit TAnalysisFixture(std::unique_ptr<TDirectoryClient> client) {
        previous_ = InstallClient(std::move(client));
        InstallClientRedirector();   // drive and UNC paths answered by the workstation's volumes
        ResetNetWareStartup();
        EXPECT_EQ(InitNetWare(), 0);
        // As the selection pages: the scan context at [Root] of the primary tree, typeless names.
        EXPECT_EQ(TDSContext::Create(scan_), 0);
        EXPECT_EQ(U_DSChangeTree(scan_.Get(), U_GetPrimaryTreeName(), false), 0);
        EXPECT_EQ(U_DSSetContextToRoot(scan_.Get()), 0);
        EXPECT_EQ(U_DSSetContextFlag(scan_.Get(), "+", DcvTypelessNames), 0);
        EXPECT_EQ(TDSContext::Create(startup_), 0);
        EXPECT_EQ(U_DSSetContextFlag(startup_.Get(), "+", DcvTypelessNames), 0);
    }
    ~TAnalysisFixture() {
        scan_.Reset();
        startup_.Reset();
        ResetNetWareStartup();
        SetNetworkDirectoryResolver(nullptr);
        InstallClient(std::move(previous_));
    }
    TAnalysisFixture(const TAnalysisFixture&) = delete;
    TAnalysisFixture& operator=(const TAnalysisFixture&) = delete;

    // The analysis of a directory object; trace lines as "level text".
    std::string Object(const std::string& name, uint32_t flags = 0, int maxLevel = 31,
                       TStringList* results = nullptr) {
        TStringList trace, own;
        U_AnalyzeEffectiveRights(scan_.Get(), name, maxLevel, flags | ScanDirectoryMode, &trace,
                                 results ? *results : own, nullptr);
        return Lines(trace);
    }

    // The analysis of a NetWare directory ("SERVER/VOLUME:path"), in a context prepared as the
    // driver prepares its item context.
    std::string Path(const std::string& item, uint32_t flags = 0, int maxLevel = 31, TStringList* results = nullptr) {
        TDSContext context;
        EXPECT_EQ(TDSContext::Duplicate(startup_.Get(), context), 0);
        NWCONN_HANDLE connection = 0;
        std::string server, volume, path, tree;
        EXPECT_EQ(Client().NWParsePath(item, server, connection, volume, path), 0) << item;
        U_GetTreeNameByHandle(connection, tree);
        EXPECT_EQ(U_DSChangeCurrentTreeAndContext(context.Get(), tree, "[Root]", false), 0);
        TStringList trace, own;
        U_AnalyzeEffectiveRights(context.Get(), item, maxLevel, flags, &trace, results ? *results : own, nullptr);
        return Lines(trace);
    }

    NWDSContextHandle ScanContext() const { return scan_.Get(); }

    static std::string Lines(const TStringList& trace) {
        std::string text;
        for (const auto& line : trace.Items()) text += Format("%2u %s\n", line.Object, line.Text.c_str());
        return text;
    }

private:
    static std::unique_ptr<TDirectoryClient> Loaded(const std::string& workstation) {
        std::string message;
        auto client = LoadWorkstation(workstation, message);
        EXPECT_TRUE(client) << message;
        return client;
    }

    std::unique_ptr<TDirectoryClient> previous_;
    TDSContext scan_;
    TDSContext startup_;
};

inline std::string RightsData(const std::string& name) { return std::string(ERA_TEST_DATA_DIR) + "/rights/" + name; }
inline std::string Sample() { return std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json"; }

} // namespace era::test
