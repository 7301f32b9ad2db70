// The main window driven as a user drives it, on the sample workstation: start-up and its
// switches, pages by edition, settings across two starts, the selection pages, the scan through
// the button (against the era command's own output), closing during a scan, and saving.

#include "cli/run_era.h"
#include "client/workstation_client.h"
#include "directory/connections.h"
#include "gui/controls.h"
#include "gui/form_about.h"
#include "gui/main_form.h"
#include "gui/qt_host.h"
#include "util/ini_file.h"
#include "util/paths.h"
#include "util/settings.h"
#include "window_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace era {
namespace {

using drive::ClickFolder;
using drive::ClickRadio;
using drive::OpenFolder;
using drive::Scan;
using drive::ShowPage;
using test::MaskDate;
using test::RunEra;
using test::SampleWorkstation;

void AddObject(QObject* form, const std::vector<QString>& containers, const QString& entry) {
    EXPECT_TRUE(drive::AddObject(form, containers, entry)) << entry.toStdString();
}

// The Qt host, with message boxes recorded instead of waiting for a click.
class TTestHost final : public TQtHost {
public:
    void ShowDialog(TDialogKind, const std::string& text) override { Dialogs.push_back(text); }
    std::vector<std::string> Dialogs;
};

class MainForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string message;
        ASSERT_EQ(InstallWorkstation(SampleWorkstation(), message), 0) << message;
    }
    void SetUp() override {
        auto host = std::make_unique<TTestHost>();
        host_ = host.get();
        InstallUiHost(std::move(host));
        // The program's files: settings in a private configuration folder, companions beside a
        // program of the desktop edition's name.
        ::setenv("XDG_CONFIG_HOME", dir_.Path("config").c_str(), 1);
        std::filesystem::create_directories(dir_.Path("config"));
        std::filesystem::create_directories(dir_.Path("bin"));
        SetProgramFile(dir_.Path("bin/era-gui"));
    }
    void TearDown() override {
        SetProgramFile("");
        SetProgramArguments(0, nullptr);
        InstallUiHost(nullptr);
    }

    std::unique_ptr<TMainForm> Start(uint8_t edition, const std::vector<std::string>& args = {}) {
        std::vector<const char*> argv = {"era-gui"};
        for (const auto& a : args)
            argv.push_back(a.c_str());
        SetProgramArguments(static_cast<int>(argv.size()), argv.data());
        auto form = std::make_unique<TMainForm>(edition);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }
    template <typename T>
    static T* Find(QObject* form, const char* name) {
        T* child = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static bool PageShown(QObject* form, const char* page) {
        auto* tabs = Find<QTabWidget>(form, "PageControl1");
        return tabs->isTabVisible(tabs->indexOf(Find<QWidget>(form, page)));
    }
    static std::vector<std::string> Lines(QPlainTextEdit* memo) {
        std::vector<std::string> lines;
        for (const auto& line : memo->toPlainText().split(QLatin1Char('\n')))
            lines.push_back(line.toStdString());
        return lines;
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    static std::vector<std::string> Items(QListWidget* list) {
        std::vector<std::string> items;
        for (int i = 0; i < list->count(); ++i)
            items.push_back(list->item(i)->text().toStdString());
        return items;
    }
    test::TTempDir dir_;
    TTestHost* host_ = nullptr;
};

TEST_F(MainForm, TheDebugSwitchOpensTheTroubleshootingPage) {
    const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
        {{}, false},       {{"/debug"}, true},  {{"\\DEBUG"}, true},
        {{"debug"}, true}, {{"-debug"}, false}, {{"debugger"}, false}};
    for (const auto& [args, debug] : cases) {
        auto form = Start(4, args);
        const std::string shown = args.empty() ? "(none)" : args.front();
        EXPECT_EQ(PageShown(form.get(), "TabSheetDebug"), debug) << shown;
        EXPECT_EQ(form->State().Startup.DebugMode, debug) << shown;
        EXPECT_EQ(Find<QTabWidget>(form.get(), "PageControl1")->currentWidget(),
                  Find<QWidget>(form.get(), "TabSheetInfo"));
    }
    // Without the switch a scan leaves the troubleshooting list empty.
    auto form = Start(4);
    AddObject(form.get(), {"acme"}, "User: admin");
    Scan(form.get());
    EXPECT_FALSE(Find<QPlainTextEdit>(form.get(), "MemoStandard")->toPlainText().isEmpty());
    EXPECT_EQ(Find<QListWidget>(form.get(), "ListBoxLog")->count(), 0);
}

TEST_F(MainForm, PagesAndMenusFollowTheEdition) {
    auto edir = Start(4);
    EXPECT_TRUE(PageShown(edir.get(), "TabSheetSelectEdir"));
    EXPECT_FALSE(PageShown(edir.get(), "TabSheetSelectPath"));
    EXPECT_FALSE(Find<QMenu>(edir.get(), "MenuSettings")->menuAction()->isVisible());
    EXPECT_FALSE(Find<QWidget>(edir.get(), "PanelSettingsWdr")->isVisibleTo(edir.get()));
    EXPECT_EQ(edir->State().Startup.AppIdentity, "Vexilant.edir");
    auto files = Start(2);
    EXPECT_FALSE(PageShown(files.get(), "TabSheetSelectEdir"));
    EXPECT_TRUE(PageShown(files.get(), "TabSheetSelectPath"));
    EXPECT_TRUE(Find<QMenu>(files.get(), "MenuSettings")->menuAction()->isVisible());
    EXPECT_FALSE(Find<QAction>(files.get(), "MenuSettingsResolveContainers")->isVisible());
    EXPECT_FALSE(Find<QAction>(files.get(), "MenuSettingsShowOnlyUsers")->isVisible());
    EXPECT_EQ(files->State().Startup.AppIdentity, "Vexilant.file");
}

TEST_F(MainForm, TheAboutBoxShowsTheEditionAndTheInfoPageItsText) {
    std::ofstream(dir_.Path("bin/era-gui.txt")) << "About this program\nsecond line\n";
    SetProgramArguments(0, nullptr);
    TMainForm form(2);
    TFormAbout about(&form);
    form.SetFormAbout(&about);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(about.windowTitle(), "About Vexilant");
    EXPECT_EQ(Find<QLineEdit>(&about, "LabeledEditApplication")->text(), "Vexilant.file");
    EXPECT_EQ(Find<QLineEdit>(&about, "LabeledEditVersion")->text(), "v1.6 (2009-09) ");
    EXPECT_EQ(Find<QLabel>(&about, "LabelWS")->text().toStdString(), MakerAddress);
    EXPECT_EQ(Find<QPlainTextEdit>(&form, "Memo1")->toPlainText(), "About this program\nsecond line");
    // Without its text file the page says which file it looked for.
    SetProgramFile(dir_.Path("bin/era-gui-fs"));
    TMainForm other(2);
    EXPECT_EQ(Find<QPlainTextEdit>(&other, "Memo1")->toPlainText().toStdString(),
              "Could not find " + dir_.Path("bin/era-gui-fs.txt"));
}

TEST_F(MainForm, SettingsComeBackOnTheNextStart) {
    QPoint placed;
    {
        auto form = Start(2);
        Find<QLineEdit>(form.get(), "EditFilterExcl")->setText("guest");
        Find<QLineEdit>(form.get(), "EditFilterIncl")->setText("acme");
        Find<QCheckBox>(form.get(), "CheckBoxSettingsResolveContainers")->setChecked(true);
        Find<QAction>(form.get(), "MenuSettingsResolveContainers")->setChecked(true);
        form->setGeometry(40, 50, 700, 500);
        placed = form->pos();
        ShowPage(form.get(), "TabSheetSelectPath");
        auto* servers = Find<TRadioGroup>(form.get(), "RadioGroupServers");
        ASSERT_EQ(servers->ItemIndex(), 0);
        auto* folders = Find<QTreeWidget>(form.get(), "ShellTreeViewFiles");
        QTreeWidgetItem* root = folders->topLevelItem(0);
        ASSERT_NE(root, nullptr);
        ASSERT_GE(root->childCount(), 1);
        ClickFolder(folders, root->child(0), true);
        ASSERT_EQ(Find<TCheckListBox>(form.get(), "CheckListBoxPaths")->Count(), 1);
        form->close();
    }
    TIniFile ini(IniFilePath(true));
    EXPECT_EQ(ini.ReadString("Settings", "EditFilterExcl", ""), "guest");
    EXPECT_EQ(ini.ReadInteger("Settings", "MainForm.Width", 0), 700);

    auto form = Start(2);
    EXPECT_EQ(Find<QLineEdit>(form.get(), "EditFilterExcl")->text(), "guest");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "EditFilterIncl")->text(), "acme");
    EXPECT_TRUE(Find<QCheckBox>(form.get(), "CheckBoxSettingsResolveContainers")->isChecked());
    EXPECT_TRUE(Find<QAction>(form.get(), "MenuSettingsResolveContainers")->isChecked());
    EXPECT_EQ(form->size(), QSize(700, 500));
    EXPECT_EQ(form->pos(), placed);
    auto* paths = Find<TCheckListBox>(form.get(), "CheckListBoxPaths");
    ASSERT_EQ(paths->Count(), 1);
    EXPECT_EQ(paths->item(0)->text(), "\\\\FS1\\DATA");
    EXPECT_TRUE(paths->Checked(0));
    // An action's checked state comes from its key; one without a key starts unchecked.
    EXPECT_FALSE(Find<QAction>(form.get(), "ActionSettingsShowDetails")->isChecked());
}

TEST_F(MainForm, BackToATreeBringsBackItsListAndContainer) {
    auto form = Start(4);
    auto* trees = Find<QComboBox>(form.get(), "ComboBoxTrees");
    ASSERT_EQ(trees->currentText(), "ACME_TREE");
    AddObject(form.get(), {"acme", "hr"}, "User: vdavis");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "EditCurrentContainer")->text(), ".hr.acme");
    trees->setCurrentText("LAB_TREE");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "EditCurrentContainer")->text(), "[Root]");
    EXPECT_EQ(Find<TCheckListBox>(form.get(), "CheckListBoxEdir")->Count(), 0);
    EXPECT_EQ(Find<QListWidget>(form.get(), "ListBoxEdirObjects")->item(0)->text(), "[Root]: [Root]");
    trees->setCurrentText("ACME_TREE");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "EditCurrentContainer")->text(), ".hr.acme");
    auto* list = Find<TCheckListBox>(form.get(), "CheckListBoxEdir");
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->item(0)->text(), ".vdavis.hr.acme");
    EXPECT_TRUE(list->Checked(0));
    EXPECT_EQ(Find<QListWidget>(form.get(), "ListBoxEdirContainers")->item(0)->text(), "[ .. ]");
}

TEST_F(MainForm, AnObjectAddedInAnotherCaseIsCheckedNotAddedAgain) {
    {
        TIniFile ini(IniFilePath(true));
        ini.WriteString("CheckListBoxEdir - ACME_TREE", "0", ".ADMIN.ACME");
    }
    auto form = Start(4);
    auto* list = Find<TCheckListBox>(form.get(), "CheckListBoxEdir");
    ASSERT_EQ(list->Count(), 1);
    EXPECT_FALSE(list->Checked(0));
    AddObject(form.get(), {"acme"}, "User: admin");
    ASSERT_EQ(list->Count(), 1);
    EXPECT_TRUE(list->Checked(0));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(Find<QLabel>(form.get(), "LabelObjSelected")->text(), "#Objects Selected: 1");
}

TEST_F(MainForm, UncheckingEveryEntryDisablesTheScan) {
    auto form = Start(4);
    AddObject(form.get(), {"acme"}, "User: admin");
    AddObject(form.get(), {}, "Group: everyone");
    auto* scan = Find<QPushButton>(form.get(), "BitBtnScan");
    EXPECT_TRUE(scan->isEnabled());
    auto* list = Find<TCheckListBox>(form.get(), "CheckListBoxEdir");
    ASSERT_EQ(list->Count(), 2);
    list->SetChecked(0, false);
    EXPECT_TRUE(scan->isEnabled());
    list->SetChecked(1, false);
    EXPECT_FALSE(scan->isEnabled());
    EXPECT_EQ(Find<QLabel>(form.get(), "LabelObjSelected")->text(), "#Objects Selected: 0");
    EXPECT_EQ(Find<QLabel>(form.get(), "StatusBar1Panel0")->text(), "#Objects Selected: 0");
}

TEST_F(MainForm, ShowDetailsOnAnEmptyDetailMemoDropsBack) {
    auto form = Start(4);
    auto* details = Find<QCheckBox>(form.get(), "CheckBoxDebug");
    details->setChecked(true);
    EXPECT_FALSE(details->isChecked());
    EXPECT_FALSE(Find<QAction>(form.get(), "ActionSettingsShowDetails")->isChecked());
    EXPECT_FALSE(Find<QPlainTextEdit>(form.get(), "MemoStandard")->isHidden());
    EXPECT_TRUE(Find<QPlainTextEdit>(form.get(), "MemoDebug")->isHidden());
}

TEST_F(MainForm, SavingIsOfferedOnlyWithResultsUnderTheViewsFileName) {
    auto form = Start(4);
    auto* saveMenu = Find<QMenu>(form.get(), "MenuSave");
    emit saveMenu->aboutToShow();
    for (const char* name : {"ActionSaveAsTxt", "ActionSaveAsClipboard", "ActionSaveAsExcel"})
        EXPECT_FALSE(Find<QAction>(form.get(), name)->isEnabled()) << name;
    AddObject(form.get(), {"acme"}, "User: admin");
    Scan(form.get());
    emit saveMenu->aboutToShow();
    for (const char* name : {"ActionSaveAsTxt", "ActionSaveAsClipboard", "ActionSaveAsExcel"})
        EXPECT_TRUE(Find<QAction>(form.get(), name)->isEnabled()) << name;

    // The dialog proposes the view's name; a file that cannot be written is named in an error box.
    auto* dialog = Find<QFileDialog>(form.get(), "SaveDialog");
    // Saves the view shown as the file; the name the dialog proposed.
    auto saveAs = [&](const std::string& path) {
        QString proposed;
        QTimer::singleShot(0, dialog, [&] {
            proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            EXPECT_TRUE(drive::TypeFileName(dialog, path));
        });
        Find<QAction>(form.get(), "ActionSaveAsTxt")->trigger();
        return proposed;
    };
    const std::string unwritable = dir_.Path("missing-folder/out.txt");
    EXPECT_EQ(saveAs(unwritable), "Trustees.txt");
    ASSERT_EQ(host_->Dialogs.size(), 1u);
    EXPECT_NE(host_->Dialogs[0].find(unwritable), std::string::npos) << host_->Dialogs[0];
    EXPECT_NE(host_->Dialogs[0].find("No such file or directory"), std::string::npos) << host_->Dialogs[0];

    Find<QCheckBox>(form.get(), "CheckBoxDebug")->setChecked(true);
    const std::string saved = dir_.Path("details.txt");
    EXPECT_EQ(saveAs(saved), "Trustees_Details.txt");
    EXPECT_EQ(host_->Dialogs.size(), 1u) << host_->Dialogs.back();
    EXPECT_NE(test::ReadFile(saved).find("Object: \".admin.acme\" on tree \"ACME_TREE\""), std::string::npos);
    // The clipboard takes the view shown.
    Find<QAction>(form.get(), "ActionSaveAsClipboard")->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("Settings:  Scan type=eDirectory"));
}

TEST_F(MainForm, TheScanButtonGivesWhatTheCommandGives) {
    auto form = Start(4);
    AddObject(form.get(), {"acme", "sales", "east"}, "User: jdoe");
    AddObject(form.get(), {"[ .. ]", "[ .. ]", "hr"}, "User: vdavis");
    Scan(form.get());
    const std::vector<std::string> args = {"--workstation", SampleWorkstation(), "scan",
                                           ".jdoe.east.sales.acme", ".vdavis.hr.acme"};
    const test::TRun summary = RunEra(args);
    ASSERT_EQ(summary.Status, 0) << summary.Err;
    auto details = args;
    details.insert(details.begin() + 3, "--details");
    const test::TRun detail = RunEra(details);
    ASSERT_EQ(detail.Status, 0) << detail.Err;
    auto masked = [](QPlainTextEdit* memo) {
        return Lines(MaskDate(memo->toPlainText().toStdString() + "\n"));
    };
    EXPECT_EQ(masked(Find<QPlainTextEdit>(form.get(), "MemoStandard")), Lines(MaskDate(summary.Out)));
    EXPECT_EQ(masked(Find<QPlainTextEdit>(form.get(), "MemoDebug")), Lines(MaskDate(detail.Out)));
    EXPECT_EQ(Find<QLabel>(form.get(), "StatusBar1Panel1")->text(), "");
    EXPECT_TRUE(Find<QPushButton>(form.get(), "BitBtnScan")->isEnabled());
}

TEST_F(MainForm, ClosingDuringAScanWaitsForItsEnd) {
    auto form = Start(4);
    AddObject(form.get(), {"acme"}, "User: admin");
    AddObject(form.get(), {}, "Group: everyone");
    bool visibleAfterClose = false, scanning = false, treesEnabled = true;
    QTimer::singleShot(0, form.get(), [&] {
        scanning = form->State().Scanning();
        treesEnabled = Find<QComboBox>(form.get(), "ComboBoxTrees")->isEnabled();
        form->close();
        visibleAfterClose = form->isVisible();
    });
    Scan(form.get());
    EXPECT_TRUE(scanning);
    EXPECT_FALSE(treesEnabled);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(form->isVisible());
    // The scan ran to its end before the window went.
    EXPECT_TRUE(
        Find<QPlainTextEdit>(form.get(), "MemoStandard")->toPlainText().contains("\".everyone.acme\""));
}

TEST_F(MainForm, StopEndsTheScanAfterTheCurrentItem) {
    auto form = Start(4);
    AddObject(form.get(), {"acme"}, "User: admin");
    AddObject(form.get(), {}, "Group: everyone");
    QTimer::singleShot(0, form.get(), [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    Scan(form.get());
    const QString shown = Find<QPlainTextEdit>(form.get(), "MemoStandard")->toPlainText();
    EXPECT_TRUE(shown.contains("Object: \".admin.acme\""));
    EXPECT_FALSE(shown.contains("Object: \".everyone.acme\""));
    EXPECT_TRUE(Find<QPushButton>(form.get(), "BitBtnScan")->isEnabled());
}

TEST_F(MainForm, ThePathPageBrowsesTheServersAndScansAsTheCommandDoes) {
    SetProgramFile(dir_.Path("bin/era-gui-fs"));
    auto form = Start(2);
    ShowPage(form.get(), "TabSheetSelectPath");
    auto* servers = Find<TRadioGroup>(form.get(), "RadioGroupServers");
    auto* folders = Find<QTreeWidget>(form.get(), "ShellTreeViewFiles");
    ASSERT_EQ(servers->Items(), QStringList({"FS1", "FS2"}));
    // FS2's connection is not authenticated: its folders stay closed.
    ClickRadio(servers, 1);
    EXPECT_FALSE(folders->isEnabled());
    ClickRadio(servers, 0);
    ASSERT_TRUE(folders->isEnabled());
    QTreeWidgetItem* root = folders->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), "\\\\FS1\\");
    ASSERT_EQ(root->childCount(), 2);
    QTreeWidgetItem* sys = root->child(1);
    EXPECT_EQ(sys->text(0), "SYS");
    QTreeWidgetItem* publicFolder = OpenFolder(sys, "PUBLIC");
    ASSERT_NE(publicFolder, nullptr);
    ClickFolder(folders, publicFolder);
    EXPECT_EQ(Find<QLabel>(form.get(), "StatusBar1Panel1")->text(), "\\\\FS1\\SYS\\PUBLIC");
    ClickFolder(folders, publicFolder, true);
    auto* paths = Find<TCheckListBox>(form.get(), "CheckListBoxPaths");
    ASSERT_EQ(paths->Count(), 1);
    EXPECT_EQ(paths->item(0)->text(), "\\\\FS1\\SYS\\PUBLIC");
    EXPECT_EQ(Find<QLabel>(form.get(), "LabelDirSelected")->text(), "#Start Paths Selected: 1");
    Scan(form.get());
    const test::TRun run =
        RunEra({"--workstation", SampleWorkstation(), "scan-path", "\\\\FS1\\SYS\\PUBLIC"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(
        Lines(MaskDate(Find<QPlainTextEdit>(form.get(), "MemoStandard")->toPlainText().toStdString() + "\n")),
        Lines(MaskDate(run.Out)));
}

} // namespace
} // namespace era
