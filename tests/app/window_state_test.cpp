// What the desktop window asks of its headless state beyond the scan itself: a scan that events
// try to start again, a scan stopped halfway, the selection lists' duplicate rule, the folder tree
// of the path page (through the client only), and saving that says why it failed.

#include "app/main_state.h"
#include "client/workstation_client.h"
#include "directory/connections.h"
#include "util/export.h"
#include "util/paths.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace era {
namespace {

class WindowState : public ::testing::Test {
protected:
    void SetUp() override {
        std::string message;
        ASSERT_EQ(InstallWorkstation(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json", message), 0)
            << message;
        ResetNetWareStartup();
        ASSERT_EQ(InitNetWare(), 0);
        state_.Startup.UserSettings = std::make_unique<TMemIniFile>();
        state_.ResultCache = std::make_unique<TCache>();
    }
    void TearDown() override {
        state_.BrowseContext.Reset();
        state_.ScanContext.Reset();
        state_.StartupContext.Reset();
        ResetNetWareStartup();
        SetNetworkDirectoryResolver(nullptr);
        InstallClient(nullptr);
    }
    int Count(const TStringList& memo, const std::string& line) {
        int n = 0;
        for (const auto& item : memo.Items())
            n += item.Text == line ? 1 : 0;
        return n;
    }
    TMainState state_;
};

TEST_F(WindowState, AScanStartedWhileOneRunsIsRefused) {
    state_.FillTreeList();
    state_.CheckListBoxEdir.Add(".admin.acme", true);
    state_.CheckListBoxEdir.Add(".vdavis.hr.acme", true);
    int nested = 0;
    state_.ItemFinished = [&] {
        EXPECT_TRUE(state_.Scanning());
        state_.DoTheJob(); // a second press of the button while events run
        ++nested;
    };
    state_.DoTheJob();
    EXPECT_FALSE(state_.Scanning());
    EXPECT_EQ(nested, 3); // the header and the two items, each once
    EXPECT_EQ(Count(state_.MemoStandard, "Object: \".admin.acme\" on tree \"ACME_TREE\""), 1);
    EXPECT_EQ(Count(state_.MemoStandard, "Object: \".vdavis.hr.acme\" on tree \"ACME_TREE\""), 1);
}

TEST_F(WindowState, AStoppedScanKeepsTheItemsDoneAndEndsAfterTheCurrentOne) {
    state_.FillTreeList();
    for (const char* object : {".admin.acme", ".vdavis.hr.acme", ".hr.acme"})
        state_.CheckListBoxEdir.Add(object, true);
    int items = 0;
    state_.ItemFinished = [&] {
        if (++items == 2) state_.RequestStop(); // during the first item
    };
    state_.DoTheJob();
    EXPECT_TRUE(state_.Stopped());
    EXPECT_TRUE(state_.ScanButtonEnabled);
    EXPECT_EQ(Count(state_.MemoStandard, "Object: \".admin.acme\" on tree \"ACME_TREE\""), 1);
    EXPECT_EQ(Count(state_.MemoStandard, "Object: \".vdavis.hr.acme\" on tree \"ACME_TREE\""), 0);
    // The next scan runs to its end again.
    state_.ItemFinished = nullptr;
    state_.DoTheJob();
    EXPECT_FALSE(state_.Stopped());
    EXPECT_EQ(Count(state_.MemoStandard, "Object: \".hr.acme\" on tree \"ACME_TREE\""), 1);
}

TEST_F(WindowState, AnEntryAddedAgainInAnotherCaseIsCheckedNotDoubled) {
    state_.FillTreeList();
    state_.CheckListBoxEdir.Add(".JDOE.East.Sales.ACME", false);
    state_.CheckListBoxEdir.Add(".admin.acme", true);
    EXPECT_EQ(state_.SelectedCount(), 1);
    EXPECT_EQ(state_.AddSelection(".jdoe.east.sales.acme"), 0);
    EXPECT_EQ(state_.CheckListBoxEdir.Items.Count(), 2);
    EXPECT_TRUE(state_.CheckListBoxEdir.Checked(0));
    EXPECT_TRUE(state_.SelectionChanged);
    EXPECT_EQ(state_.SelectedCount(), 2);
    state_.RemoveSelection(0);
    ASSERT_EQ(state_.CheckListBoxEdir.Items.Count(), 1);
    EXPECT_EQ(state_.CheckListBoxEdir.Items.Strings(0), ".admin.acme");
    EXPECT_TRUE(state_.CheckListBoxEdir.Checked(0));
}

TEST_F(WindowState, StepsIntoContainersAndBackUp) {
    state_.FillTreeList();
    ASSERT_EQ(state_.CurrentNameContext, "[Root]");
    EXPECT_EQ(state_.ListBoxEdirObjects.Strings(0), "[Root]: [Root]");
    EXPECT_EQ(state_.ListBoxEdirObjects.Objects(0), 8u);
    state_.StepIntoContainer("acme");
    state_.StepIntoContainer("hr");
    EXPECT_EQ(state_.CurrentNameContext, ".hr.acme");
    EXPECT_EQ(state_.ListBoxEdirContainers.Strings(0), "[ .. ]");
    int vdavis = -1;
    for (int i = 0; i < state_.ListBoxEdirObjects.Count(); ++i)
        if (state_.ListBoxEdirObjects.Strings(i) == "User: vdavis") vdavis = i;
    ASSERT_GE(vdavis, 0);
    EXPECT_EQ(state_.ObjectEntryName("User: vdavis", state_.ListBoxEdirObjects.Objects(vdavis)),
              ".vdavis.hr.acme");
    state_.StepIntoContainer("[ .. ]");
    EXPECT_EQ(state_.CurrentNameContext, ".acme");
}

TEST_F(WindowState, TheFolderTreeListsVolumesThenFoldersOfTheServer) {
    state_.Startup.EditionCode = 2;
    MapEdition(state_.Startup);
    state_.FillServerList();
    ASSERT_EQ(state_.ServerName, "FS1");
    ASSERT_TRUE(state_.FolderTreeEnabled);
    TStringList folders;
    state_.ListFolders("\\\\FS1\\", folders);
    ASSERT_EQ(folders.Count(), 2);
    EXPECT_EQ(folders.Strings(0), "\\\\FS1\\DATA");
    EXPECT_EQ(folders.Strings(1), "\\\\FS1\\SYS");
    state_.ListFolders("\\\\FS1\\DATA\\APPS", folders);
    ASSERT_EQ(folders.Count(), 2);
    EXPECT_EQ(folders.Strings(0), "\\\\FS1\\DATA\\APPS\\CRM");
    EXPECT_EQ(folders.Strings(1), "\\\\FS1\\DATA\\APPS\\OFFICE");
    // A local folder is no folder of the server.
    state_.ListFolders(std::filesystem::temp_directory_path().string(), folders);
    EXPECT_EQ(folders.Count(), 0);

    state_.SelectFolder("\\\\FS1\\DATA\\SHARED\\SALES");
    EXPECT_EQ(state_.FolderVolume, "DATA");
    EXPECT_EQ(state_.FolderPath, "SHARED\\SALES");
    EXPECT_EQ(state_.StatusBar->PanelText(1), "\\\\FS1\\DATA\\SHARED\\SALES");

    // The unauthenticated server's folders stay closed.
    state_.SelectServer(1);
    EXPECT_EQ(state_.CurrentUser.Name, "<not authenticated>");
    EXPECT_FALSE(state_.FolderTreeEnabled);
    state_.ListFolders("\\\\FS2\\", folders);
    EXPECT_EQ(folders.Count(), 0);
}

TEST(SaveLines, AFailureNamesTheFileAndTheSystemsReason) {
    TStringList lines;
    lines.Add("one");
    const std::string path = "/nonexistent-era-folder/Trustees.txt";
    std::string error;
    EXPECT_FALSE(SaveLinesToFile(lines, "TXT", path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    const auto file =
        std::filesystem::temp_directory_path() / ("era-save-" + std::to_string(::getpid()) + ".txt");
    EXPECT_TRUE(SaveLinesToFile(lines, "TXT", file.string(), error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(std::filesystem::file_size(file), 5u); // "one" CR LF
    std::filesystem::remove(file);
}

} // namespace
} // namespace era
