#pragma once

// What the main window holds, without a window: the start-up state, the settings panels, the
// selection lists, the contexts of the selection pages, the result outputs — and the operations
// on them that both the command line and the desktop program run: preparing the contexts as the
// selection pages do, and the scan driver.

#include "app/report.h"
#include "directory/context.h"
#include "util/ini_file.h"
#include "util/selection_lists.h"
#include "util/string_list.h"
#include "util/ui_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace era {

// Set once at start-up.
struct TStartupState {
    uint8_t EditionCode = 4;
    bool FileMode = false;
    bool EdirMode = true;
    bool AttrColumnsEnabled = false;
    std::string AppIdentity = "Vexilant.edir";
    bool DebugMode = false;
    std::unique_ptr<TCustomIniFile> UserSettings;
    std::unique_ptr<TCustomIniFile> ProgramSettings;
};

// Maps the edition code to the mode flags and the application identity.
void MapEdition(TStartupState& state);

// The check boxes and filters of the settings page.
struct TScanSettings {
    bool ResolveContainers = false;   // CheckBoxSettingsResolveContainers
    bool ScanSubDirs = false;         // CheckBoxSettingsScanSubDirs
    bool ShowOnlyUsers = false;       // MenuSettingsShowOnlyUsers
    std::string FilterExcl;           // EditFilterExcl
    std::string FilterIncl;           // EditFilterIncl
};

// An item that ended in its guard: left out of the memos, but never lost.
struct TItemFailure {
    std::string Item;
    std::string Reason;
};

// The logged-in user of the file-system edition's selected server.
struct TCurrentUser {
    std::string Name;
    NWObjectID ID = 0xFFFFFFFFu;
    bool Mapped = false;
};

class TMainState {
public:
    TStartupState Startup;
    TScanSettings Settings;
    TAttrConfig AttrConfig;
    std::unique_ptr<TCache> ResultCache;

    // Selection lists.
    TCheckList CheckListBoxEdir;
    TCheckList CheckListBoxPaths;
    bool SelectionChanged = false;

    // eDirectory edition: the selection page's contexts and position.
    TDSContext BrowseContext;
    TDSContext ScanContext;
    TStringList Trees;                // ComboBoxTrees, each with its connection reference
    std::string CurrentTree;
    std::string CurrentNameContext;
    std::string MyName;               // EditMyName

    // File-system edition.
    TDSContext StartupContext;
    TStringList Servers;              // RadioGroupServers, each with its connection reference
    int SelectedServer = -1;
    NWCONN_HANDLE ServerConnection = 999;   // 999 while none is open
    NWCONN_REF ServerConnRef = 0;
    std::string ServerName;
    TCurrentUser CurrentUser;
    bool FolderTreeEnabled = false;

    // Outputs.
    TStringList MemoDebug;
    TStringList MemoStandard;
    TStringList ListBoxLog;
    // The status bar; a front end may put its own in (the command line shows progress with it).
    std::unique_ptr<TStatusBar> StatusBar = std::make_unique<TStatusBar>();
    // Told of the lines a scan adds to MemoStandard or MemoDebug as soon as a part is complete
    // (the header block, then each item): the memo and the index of its first new line. A front
    // end shows them as they come, so that a scan broken off keeps what it had finished.
    std::function<void(const TStringList& memo, int from)> OnMemoLines;
    bool CheckBoxDebugVisible = false;
    bool ScanButtonEnabled = true;

    // What the last scan could not do: items missing, items that ended in their guard.
    std::vector<std::string> MissingItems;
    std::vector<TItemFailure> FailedItems;
    // How many items of the last scan were found and analysed to the end.
    int ItemsDone = 0;

    // --- Preparing the contexts as the selection pages do
    // eDirectory edition: creates both contexts, lists the trees and changes to the primary one.
    void FillTreeList();
    // Saves the old tree's position and selection, switches both contexts to the tree (the scan
    // context at "[Root]", typeless names on both) and loads the tree's selection.
    void ChangeTree(const std::string& tree);
    // Lists the browse context's container into the two lists, as the selection page shows it.
    void GetContainerInfo(TStringList& containers, TStringList& objects);
    // File-system edition: creates the start-up context (typeless names), lists the servers and
    // selects the first.
    void FillServerList();
    // Opens the server's connection by reference and roots the folder tree there.
    void SelectServer(int index);

    // --- The scan
    // Scans every checked entry of the active selection list into the memos.
    void DoTheJob();

private:
    void LogLine(const std::string& text);
    void LogResult(const std::string& text, NWCCODE code);
    void AddTraceLine(const std::string& text, uint32_t level);
    void AddErrorLine(const std::string& text, NWCCODE code);
    void WriteScanHeader();
    void ExpandSubdirectories();
    void StartItem();
    void ObjectStep(const std::string& object);
    void PathStep(const std::string& path);
    void FinishItem();
    // Appends the lines with their levels and tells OnMemoLines.
    void AppendToMemo(TStringList& memo, const TStringList& lines);

    TStringList selection_;
    TStringList results_;
    TStringList trace_;
    uint32_t scanFlags_ = 0;
    TDSContext itemContext_;
    NWCONN_HANDLE itemConnection_ = 0;
    NWCONN_REF itemConnRef_ = 0;
    std::string lastShortPath_;
    std::string lastObject_;
};

} // namespace era
