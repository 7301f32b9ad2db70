// The scan driver's state over a user settings file from elsewhere: sections of the wrong form,
// keys that are no numbers, binary bytes, a name context that is not in the tree. Nothing of it
// may stop the start-up, and a restored selection scans what it names, reporting what is missing.

#include "app/main_state.h"
#include "client/workstation_client.h"
#include "directory/connections.h"
#include "util/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

TEST(DamagedSettings, AForeignSettingsFileNeitherStopsTheStartNorInventsItems) {
    const fs::path dir = fs::temp_directory_path() / ("era-damaged-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "era.ini").string();
    std::string garbage = "[Context]\nSMALL_TREE=.nowhere.acme\n"
                          "[CheckListBoxEdir - SMALL_TREE]\n0=.admin.acme\nfoo=bar\n99999999999=.big.acme\n1=\n"
                          "2=.gone.acme\n-1=.negative.acme\n"
                          "[CheckListBoxEdir - SMALL_TREE Checked]\n.admin.acme=1\n.gone.acme=yes\n"
                          "[Settings\n=\n[]\n";
    for (int i = 0; i < 256; ++i) garbage += static_cast<char>(i);
    garbage += "\n[CheckListBoxEdir - OTHER_TREE]\n0=\xFF\xFE\n";
    std::ofstream(file, std::ios::binary) << garbage;

    std::string message;
    auto previous = InstallClient(nullptr);
    ResetNetWareStartup();
    ASSERT_EQ(InstallWorkstation(std::string(ERA_TEST_DATA_DIR) + "/client/small.json", message), 0) << message;
    {
        TMainState state;
        state.Startup.UserSettings = std::make_unique<TIniFile>(file);
        state.ResultCache = std::make_unique<TCache>();
        ASSERT_NO_THROW(state.FillTreeList());
        EXPECT_EQ(state.CurrentTree, "SMALL_TREE");
        // Every numbered key is an item, in file order; only the checked ones are scanned.
        std::vector<std::string> items;
        for (const auto& item : state.CheckListBoxEdir.Items.Items()) items.push_back(item.Text);
        EXPECT_NE(std::find(items.begin(), items.end(), ".admin.acme"), items.end());
        ASSERT_NO_THROW(state.DoTheJob());
        EXPECT_TRUE(state.FailedItems.empty());
        for (const auto& missing : state.MissingItems) EXPECT_NE(missing, ".admin.acme");
        bool scannedAdmin = false;
        for (const auto& line : state.MemoStandard.Items())
            scannedAdmin = scannedAdmin || line.Text == "Object: \".admin.acme\" on tree \"SMALL_TREE\"";
        EXPECT_TRUE(scannedAdmin);
        // Switching trees saves the old tree's list and context into the file without harm.
        ASSERT_NO_THROW(state.ChangeTree("OTHER_TREE"));
        ASSERT_NO_THROW(state.ChangeTree("SMALL_TREE"));
    }
    // The file is still a readable settings file afterwards, its unrelated lines kept.
    TIniFile after(file);
    EXPECT_EQ(after.ReadString("Context", "SMALL_TREE", ""), ".nowhere.acme");
    ResetNetWareStartup();
    InstallClient(std::move(previous));
    fs::remove_all(dir);
}

} // namespace
} // namespace era
