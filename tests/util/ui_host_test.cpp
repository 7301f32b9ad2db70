#include "support/recording_host.h"
#include "util/ui_host.h"

#include <gtest/gtest.h>

namespace era {

TEST(UiHost, HeadlessHostWritesOneLinePerDialog) {
    THeadlessHost host;
    ::testing::internal::CaptureStderr();
    host.ShowDialog(dkError, "Error 8801: NWCCOpenConnByRef");
    host.ShowDialog(dkWarning, "two\r\nlines\nand\rmore");
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "Error: Error 8801: NWCCOpenConnByRef\nWarning: two lines and more\n");
    EXPECT_EQ(DialogLine(dkInformation, "done"), "Information: done");
}

TEST(UiHost, HeadlessHostHasNoClipboardAndKeepsTheCursor) {
    THeadlessHost host;
    EXPECT_FALSE(host.SetClipboardText("text"));
    host.ProcessMessages();
    const TCursor outer = host.BeginWait();
    const TCursor inner = host.BeginWait();
    EXPECT_EQ(outer, crDefault);
    EXPECT_EQ(inner, crHourGlass); // nested waits give back the hourglass they found
    host.EndWait(inner);
    host.EndWait(outer);
    EXPECT_EQ(host.BeginWait(), crDefault);
}

TEST(UiHost, InstallingReplacesTheProcessWideHost) {
    TUserInterfaceHost* original = &UiHost();
    {
        testing::TRecordingHostScope recording;
        EXPECT_EQ(&UiHost(), &*recording);
        UiHost().ShowDialog(dkError, "boom");
        EXPECT_TRUE(UiHost().SetClipboardText("clip"));
        ASSERT_EQ(recording->Dialogs.size(), 1u);
        EXPECT_EQ(recording->Dialogs[0].Text, "boom");
        EXPECT_EQ(recording->Clipboard, "clip");
    }
    EXPECT_EQ(&UiHost(), original);
    // Installing nothing puts a headless host in place.
    std::unique_ptr<TUserInterfaceHost> previous = InstallUiHost(nullptr);
    EXPECT_NE(dynamic_cast<THeadlessHost*>(&UiHost()), nullptr);
    InstallUiHost(std::move(previous));
    EXPECT_EQ(&UiHost(), original);
}

TEST(UiHost, StatusBarPanels) {
    TStatusBar bar;
    EXPECT_EQ(bar.PanelText(1), "");
    bar.SetPanelText(1, "Check indirect trustees: .admin.acme");
    bar.SetPanelText(-1, "ignored");
    EXPECT_EQ(bar.PanelText(1), "Check indirect trustees: .admin.acme");
    EXPECT_EQ(bar.PanelText(0), "");
    EXPECT_EQ(bar.PanelText(-1), "");
    EXPECT_EQ(bar.PanelText(7), "");
}

} // namespace era
