#pragma once

// A main state on the sample workstation's tree, its contexts prepared as the selection page does.

#include "app/main_state.h"
#include "client/redirector.h"
#include "client/workstation_client.h"
#include "directory/connections.h"

#include <gtest/gtest.h>

namespace era {

class SampleStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string message;
        ASSERT_EQ(InstallWorkstation(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json", message), 0) << message;
        ResetNetWareStartup();
        ASSERT_EQ(InitNetWare(), 0);
        state_.Startup.UserSettings = std::make_unique<TMemIniFile>();
        state_.FillTreeList();
    }
    void TearDown() override {
        state_.BrowseContext.Reset();
        state_.ScanContext.Reset();
        ResetNetWareStartup();
        SetNetworkDirectoryResolver(nullptr);
        InstallClient(nullptr);
    }
    TMainState state_;
};

} // namespace era
