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
    TStringList ListBoxEdirContainers; // the browsed container's subcontainers ("[ .. ]" first below [Root])
    TStringList ListBoxEdirObjects;    // its subordinates with their class prefix; the value: the prefix's length

    // File-system edition.
    TDSContext StartupContext;
    TStringList Servers;              // RadioGroupServers, each with its connection reference
    int SelectedServer = -1;
    NWCONN_HANDLE ServerConnection = 999;   // 999 while none is open
    NWCONN_REF ServerConnRef = 0;
    std::string ServerName;
    TCurrentUser CurrentUser;
    bool FolderTreeEnabled = false;
    std::string FolderShortPath;      // the folder clicked last, as the status bar shows it
    std::string FolderVolume;         // its volume
    std::string FolderPath;           // its path within the volume

    // Outputs.
    TStringList MemoDebug;
    TStringList MemoStandard;
    TStringList ListBoxLog;
    // The trustee rows of the summary as records (a front end that writes them sets the switch
    // before the scan); appended item by item before MemoStandard's lines are told.
    bool KeepSummaryRows = false;
    std::vector<TSummaryRow> SummaryRows;
    // The status bar; a front end may put its own in (the command line shows progress with it).
    std::unique_ptr<TStatusBar> StatusBar = std::make_unique<TStatusBar>();
    // Told of the lines a scan adds to MemoStandard or MemoDebug as soon as a part is complete
    // (the header block, then each item): the memo and the index of its first new line. A front
    // end shows them as they come, so that a scan broken off keeps what it had finished.
    std::function<void(const TStringList& memo, int from)> OnMemoLines;
    bool CheckBoxDebugVisible = false;
    // Called when the scan has appended to the memos (after the header and after each item), so
    // that a window can show them while the scan goes on.
    std::function<void()> ItemFinished;
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
    // The same into ListBoxEdirContainers and ListBoxEdirObjects.
    void GetContainerInfo() { GetContainerInfo(ListBoxEdirContainers, ListBoxEdirObjects); }
    // Steps the browse context into a container entry ("[ .. ]" steps up) and lists it.
    void StepIntoContainer(const std::string& entry);
    // The full name in the browse context of an object entry: its text after the class prefix.
    std::string ObjectEntryName(const std::string& entry, uint32_t prefixLength);
    // File-system edition: creates the start-up context (typeless names), lists the servers and
    // selects the first.
    void FillServerList();
    // Opens the server's connection by reference and roots the folder tree there.
    void SelectServer(int index);
    // The folders below a folder of the selected server, as UNC paths: below the server's root
    // ("\\SERVER\") its volumes, below a volume or folder its subdirectories. All through the
    // client, never the local file system.
    void ListFolders(const std::string& path, TStringList& folders);
    // A folder clicked on the path page: its short form and its volume and path on the server.
    void SelectFolder(const std::string& path);

    // --- The selection lists
    // CheckListBoxPaths in the file-system edition, CheckListBoxEdir in the eDirectory edition.
    TCheckList& ActiveList() { return Startup.FileMode ? CheckListBoxPaths : CheckListBoxEdir; }
    // The number of checked entries of the active list.
    int SelectedCount() const;
    // Adds the text checked to the active list unless an equal entry (ignoring case) is there,
    // which is checked instead; marks the selection changed. The entry's index.
    int AddSelection(const std::string& text);
    // Removes entry i of the active list; marks the selection changed.
    void RemoveSelection(int i);

    // Whether the memos keep the lines they take. A front end that writes every part out as
    // OnMemoLines tells of it clears this: each part is then dropped once told, and the memory
    // of a scan does not grow with the number of its items.
    bool KeepMemoLines = true;

    // --- The scan
    // Scans every checked entry of the active selection list into the memos. Refuses to start
    // while a scan runs (the events it lets run can ask for another).
    void DoTheJob();
    // The same scan in steps, for a front end that takes its items from elsewhere (a subtree
    // walk, a file of names, worker processes): BeginScan starts it as DoTheJob does up to the
    // header block (false while a scan runs), ScanItem scans one item as DoTheJob scans each
    // checked entry, in its own guard, and EndScan ends the scan.
    bool BeginScan();
    void ScanItem(const std::string& item);
    void EndScan();
    // Whether a scan is running.
    bool Scanning() const { return scanning_; }
    // Ends the running scan after its current item; what was done stays in the memos.
    void RequestStop() { stopRequested_ = scanning_; }
    // Whether the last scan ended early at the user's request.
    bool Stopped() const { return stopped_; }

private:
    void LogLine(const std::string& text);
    void LogResult(const std::string& text, NWCCODE code);
    void AddTraceLine(const std::string& text, uint32_t level);
    void AddErrorLine(const std::string& text, NWCCODE code);
    void WriteScanHeader();
    void ExpandSubdirectories();
    // The parts of BeginScan: the scan marked running, then the lists, memos and flags cleared
    // and the header written.
    void MarkRunning();
    void StartOutputs();
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
    bool scanning_ = false;
    bool stopRequested_ = false;
    bool stopped_ = false;
    TCursor waitCursor_{};
};

} // namespace era
