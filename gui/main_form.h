#pragma once

// The main window of both desktop editions: the pages for settings, selection, scan and
// troubleshooting, the menus and the status bar, over the window's headless state (TMainState),
// which holds everything that is not drawing.

#include "app/main_state.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace era {

class TCheckListBox;
class TFormAbout;
class TRadioGroup;

// The maker's web address, shown in the status bar and the about box.
extern const char* const MakerAddress;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window of the edition (4: eDirectory, 2: file system) and runs its start-up.
    explicit TMainForm(uint8_t editionCode, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The about box FormShow fills and "About ..." shows (owned by the caller).
    void SetFormAbout(TFormAbout* about) { FormAbout = about; }
    // The window's state, for the tests.
    TMainState& State() { return state_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the widgets (what a form file would hold).
    void CreateComponents();
    QWidget* CreateInfoPage();
    QWidget* CreateSettingsPage();
    QWidget* CreateSelectEdirPage();
    QWidget* CreateSelectPathPage();
    // The count label and the check list of a selection page, below what the page holds.
    TCheckListBox* CreateSelectionList(QBoxLayout* page, QLabel*& label, const char* labelName,
                                       const char* caption, const char* name, const char* hint);
    QWidget* CreateActionPage();
    QWidget* CreateDebugPage();
    void CreateMenus();

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void PageControl1Change();
    void ActionSettingsShowDetailsExecute(bool fromMenu);
    void CheckBoxDebugClick();
    QPlainTextEdit* GetMemo();
    void MenuExitClick();
    void StatusBar1Click();
    void ActionAboutExecute();
    void BitBtnScanClick();
    void BitBtnStopClick();
    void LabelSelectedUpd();
    void FillTreeList();
    void ComboBoxTreesChange();
    void GetContainerInfo();
    void ListBoxEdirContainersDblClick();
    void ListBoxEdirObjectsDblClick();
    void FillServerList();
    void RadioGroupServersClick();
    void ShellTreeViewSetRoot(const std::string& root);
    void ShellTreeViewFilesExpand(QTreeWidgetItem* item);
    void ShellTreeViewFilesClick();
    void ShellTreeViewFilesDblClick();
    void CheckListBoxClick(TCheckListBox* list, int row);
    void CheckListBoxDblClick(TCheckListBox* list);
    void ActionSaveAsExecute();
    void ActionSaveAsTxtClick();
    void ActionSaveToClipboardClick();
    void ActionSaveToExcelClick();

    // Showing the state.
    void ShowCheckList(TCheckListBox* list, const TCheckList& model, int current = -1);
    void ShowTreeState();
    void ShowResults();
    void ShowMemo(QPlainTextEdit* memo, const TStringList& lines, int& shown);
    void SetScanning(bool scanning);
    void ReadScanSettings();

    TMainState state_;
    QPointer<TFormAbout> FormAbout;
    bool shown_ = false;
    bool closePending_ = false;
    bool closed_ = false;
    int shownDebug_ = 0;
    int shownStandard_ = 0;
    int shownLog_ = 0;

    // Components, named as the window names them (each also its objectName).
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheetInfo = nullptr;
    QWidget* TabSheetSettings = nullptr;
    QWidget* TabSheetSelectEdir = nullptr;
    QWidget* TabSheetSelectPath = nullptr;
    QWidget* TabSheetAction = nullptr;
    QWidget* TabSheetDebug = nullptr;
    QLabel* PanelInfoTop = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QWidget* PanelSettingsConfig = nullptr;
    QLineEdit* EditFilterExcl = nullptr;
    QLineEdit* EditFilterIncl = nullptr;
    QCheckBox* CheckBoxSettingsResolveContainers = nullptr;
    QWidget* PanelSettingsWdr = nullptr;
    QCheckBox* CheckBoxSettingsScanSubDirs = nullptr;
    QComboBox* ComboBoxTrees = nullptr;
    QLineEdit* EditMyName = nullptr;
    QLineEdit* EditCurrentContainer = nullptr;
    QListWidget* ListBoxEdirContainers = nullptr;
    QListWidget* ListBoxEdirObjects = nullptr;
    QLabel* LabelObjSelected = nullptr;
    TCheckListBox* CheckListBoxEdir = nullptr;
    TRadioGroup* RadioGroupServers = nullptr;
    QTreeWidget* ShellTreeViewFiles = nullptr;
    QLabel* LabelDirSelected = nullptr;
    TCheckListBox* CheckListBoxPaths = nullptr;
    QWidget* PanelSettingsResult = nullptr;
    QPushButton* BitBtnScan = nullptr;
    QPushButton* BitBtnStop = nullptr;
    QCheckBox* CheckBoxDebug = nullptr;
    QPlainTextEdit* MemoDebug = nullptr;
    QPlainTextEdit* MemoStandard = nullptr;
    QListWidget* ListBoxLog = nullptr;
    QWidget* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QMenu* MenuFile = nullptr;
    QMenu* MenuSave = nullptr;
    QAction* MenuExit = nullptr;
    QMenu* MenuSettings = nullptr;
    QAction* MenuSettingsShowDetails = nullptr;
    QAction* MenuSettingsResolveContainers = nullptr;
    QAction* MenuSettingsShowOnlyUsers = nullptr;
    QMenu* PopupMenuS = nullptr;
    QMenu* PopupMenuSave = nullptr;
    QFileDialog* SaveDialog = nullptr;
    // ActionList.
    QAction* ActionSaveAs = nullptr;
    QAction* ActionSaveAsTxt = nullptr;
    QAction* ActionSaveAsClipboard = nullptr;
    QAction* ActionSaveAsExcel = nullptr;
    QAction* ActionSettingsShowDetails = nullptr;
    QAction* ActionAbout = nullptr;
    QList<QAction*> ActionList;
};

} // namespace era
