#include "app/main_state.h"

#include "directory/attributes.h"
#include "directory/connections.h"
#include "directory/error_text.h"
#include "directory/listing.h"
#include "directory/names.h"
#include "directory/netware_paths.h"
#include "rights/analysis.h"
#include "util/export.h"
#include "util/paths.h"
#include "util/settings.h"
#include "util/text.h"
#include "util/version.h"

#include <exception>

namespace era {

namespace {

constexpr const char* Separator = "_____________________";   // 21 underscores
// A scan keeps every trace line it shows.
constexpr int MaxTraceLevel = LevelHeader;

std::string EdirListSection(const std::string& tree) { return Format("%s - %s", "CheckListBoxEdir", tree.c_str()); }

} // namespace

void MapEdition(TStartupState& state) {
    switch (state.EditionCode) {
    case 0:
        state.AttrColumnsEnabled = true;
        break;
    case 1:
        state.FileMode = false;
        state.EdirMode = true;
        state.AttrColumnsEnabled = false;
        break;
    case 2:
        state.FileMode = true;
        state.EdirMode = false;
        state.AttrColumnsEnabled = true;
        break;
    default:
        state.AttrColumnsEnabled = false;
        break;
    }
    state.AppIdentity = state.FileMode ? "Vexilant.file" : "Vexilant.edir";
}

// ---------------------------------------------------------------------------------------------
// The selection pages' contexts

void TMainState::FillTreeList() {
    try {
        TDSContext::Create(BrowseContext);
        TDSContext::Create(ScanContext);
        Trees.Clear();
        U_ListTrees(Trees);
        if (Trees.Count() == 0) return;
        const std::string primary = U_GetPrimaryTreeName();
        int index = 0;
        for (int i = 0; i < Trees.Count(); ++i)
            if (TextEquals(Trees.Strings(i), primary)) index = i;
        ChangeTree(Trees.Strings(index));
    } catch (...) {
        // As on the selection page: a failure here leaves the lists as far as they got.
    }
}

void TMainState::ChangeTree(const std::string& tree) {
    TCustomIniFile* settings = Startup.UserSettings.get();
    if (!CurrentTree.empty() && settings) {
        IniWriteString(*settings, "Context", CurrentTree, CurrentNameContext);
        SaveCheckList(*settings, EdirListSection(CurrentTree), CheckListBoxEdir);
    }
    if (tree.empty()) return;
    CurrentTree = tree;
    U_DSChangeTree(BrowseContext.Get(), tree, false);
    NWCCODE code = U_DSChangeTree(ScanContext.Get(), tree, false);
    CurrentNameContext = settings ? IniReadText(*settings, "Context", tree, RootName) : RootName;
    U_DSSetContext(BrowseContext.Get(), CurrentNameContext);
    const NWCCODE rootCode = U_DSSetContextToRoot(ScanContext.Get());
    if (code == 0) code = rootCode;
    if (code != 0) U_ShowError(code, "DSChangeCurrentTree");
    U_DSSetContextFlag(BrowseContext.Get(), "+", DcvTypelessNames);
    U_DSSetContextFlag(ScanContext.Get(), "+", DcvTypelessNames);
    MyName = U_DSWhoAmI(ScanContext.Get());
    GetContainerInfo();
    if (settings) RestoreCheckList(*settings, EdirListSection(tree), CheckListBoxEdir);
}

void TMainState::GetContainerInfo(TStringList& containers, TStringList& objects) {
    TCursor previous = BeginWait();
    const std::string current = U_FullName(U_DSGetNameContext(BrowseContext.Get()));
    containers.Clear();
    objects.Clear();
    containers.SetSorted(true);
    containers.SetDuplicates(dupAccept);
    U_DSListContainer(BrowseContext.Get(), current, &containers, true, "", &objects);
    containers.SetSorted(false);
    if (current != RootName)
        containers.Insert(0, "[ .. ]");
    else
        objects.InsertObject(0, Format("%s: %s", RootName, RootName), 8);
    CurrentNameContext = current;
    EndWait(previous);
}

void TMainState::StepIntoContainer(const std::string& entry) {
    U_DSSetContext(BrowseContext.Get(), U_CombineContext(CurrentNameContext, entry));
    GetContainerInfo();
}

std::string TMainState::ObjectEntryName(const std::string& entry, uint32_t prefixLength) {
    // The prefix is the class and ": "; an entry shorter than its prefix names nothing.
    const std::string name = prefixLength < entry.size() ? entry.substr(prefixLength) : std::string();
    return U_DSGetFullName(BrowseContext.Get(), name);
}

void TMainState::FillServerList() {
    if (TDSContext::Create(StartupContext) != 0) return;
    U_DSSetContextFlag(StartupContext.Get(), "+", DcvTypelessNames);
    Servers.Clear();
    U_ListServers(Servers);
    if (SelectedServer < 0 && Servers.Count() > 0) SelectServer(0);
}

void TMainState::SelectServer(int index) {
    if (index < 0 || index >= Servers.Count()) return;
    if (ServerConnection != 999) Client().NWCCCloseConn(ServerConnection);
    ServerConnection = 999;
    SelectedServer = index;
    ServerConnRef = Servers.Objects(index);
    ServerName = Servers.Strings(index);
    NWCONN_HANDLE handle = 0;
    const NWCCODE code = Client().NWCCOpenConnByRef(ServerConnRef, 1, 0, handle);
    if (code != 0)
        U_ShowError(code, "NWCCOpenConnByRef");
    else
        ServerConnection = handle;
    // The folder tree opens only for a server whose user is known.
    CurrentUser.Name = ServerConnection == 999 ? "<not authenticated>" : U_GetConnUserName(ServerConnection);
    FolderTreeEnabled = CurrentUser.Name != "<not authenticated>";
}

void TMainState::ListFolders(const std::string& path, TStringList& folders) {
    folders.Clear();
    if (ServerConnection == 999 || !FolderTreeEnabled) return;
    const std::string root = "\\\\" + ServerName + "\\";
    if (TextEquals(AddTrailingBackslash(path), root)) {
        TStringList volumes;
        U_NWListVolumes(ServerConnection, volumes);
        for (const auto& volume : volumes.Items()) folders.Add(root + volume.Text);
    } else {
        U_NWListSubdirectories(path, SaDirectoriesAll, "*", folders, 1, pfLong);
    }
    folders.Sort();
}

void TMainState::SelectFolder(const std::string& path) {
    FolderVolume.clear();
    FolderPath.clear();
    FolderShortPath = PathForm(path, pfShort);
    StatusBar->SetPanelText(1, FolderShortPath);
    NWCONN_HANDLE connection = ServerConnection;
    U_PathToNWPath(FolderShortPath, connection, ServerName, FolderVolume, FolderPath);
    ServerConnection = connection;
    MemoStandard.Clear();
    MemoDebug.Clear();
}

// ---------------------------------------------------------------------------------------------
// The selection lists

int TMainState::SelectedCount() const {
    const TCheckList& active = Startup.FileMode ? CheckListBoxPaths : CheckListBoxEdir;
    int n = 0;
    for (int i = 0; i < active.Items.Count(); ++i)
        if (active.Checked(i)) ++n;
    return n;
}

int TMainState::AddSelection(const std::string& text) {
    SelectionChanged = true;
    TCheckList& active = ActiveList();
    int index = -1;
    for (int i = 0; i < active.Items.Count() && index < 0; ++i)
        if (TextEquals(active.Items.Strings(i), text)) index = i;
    if (index < 0) index = active.Add(text);
    active.SetChecked(index, true);
    return index;
}

void TMainState::RemoveSelection(int i) {
    SelectionChanged = true;
    TCheckList& active = ActiveList();
    if (i < 0 || i >= active.Items.Count()) return;
    TCheckList rest;
    for (int j = 0; j < active.Items.Count(); ++j)
        if (j != i) rest.Add(active.Items.Strings(j), active.Checked(j));
    active = std::move(rest);
}

// ---------------------------------------------------------------------------------------------
// The scan driver

// The driver's lines name the items and what the client said of them: control characters in
// them are escaped, as the engine escapes its own, so no name breaks a line of the outputs.
void TMainState::LogLine(const std::string& text) {
    if (Startup.DebugMode) ListBoxLog.Add(EscapeControls(text));
    UiHost().ProcessMessages();
}

void TMainState::LogResult(const std::string& text, NWCCODE code) {
    if (Startup.DebugMode && code != 0) LogLine(text + " - " + U_ErrorText(code));
}

void TMainState::AddTraceLine(const std::string& text, uint32_t level) {
    trace_.AddObject(EscapeControls(text), level);
}

void TMainState::AddErrorLine(const std::string& text, NWCCODE code) {
    const std::string line = EscapeControls(Format("%s: %s", text.c_str(), U_ErrorText(code).c_str()));
    if (Startup.DebugMode) ListBoxLog.Add(line);
    if (code != 0) trace_.AddObject(line, LevelDriverError);
}

void TMainState::WriteScanHeader() {
    AddTraceLine(Format("Version:   %s %s", Startup.AppIdentity.c_str(), VersionText), LevelHeader);
    AddTraceLine(Format("Date:      %s", NowStamp().c_str()), LevelHeader);
    AddTraceLine(Format("Settings:  Resolve Containers=%s", BoolToText(Settings.ResolveContainers).c_str()), LevelHeader);
    if (Startup.FileMode) {
        AddTraceLine("Settings:  Scan type=File system", LevelHeader);
        AddTraceLine(Format("Settings:  Scan Subdirs=%s", BoolToText(Settings.ScanSubDirs).c_str()), LevelHeader);
    } else {
        AddTraceLine("Settings:  Scan type=eDirectory", LevelHeader);
    }
    AddTraceLine("", LevelHeader);
    AppendToMemo(MemoDebug, trace_);
    AppendToMemo(MemoStandard, trace_);
    trace_.Clear();
    if (ItemFinished) ItemFinished();
}

void TMainState::ExpandSubdirectories() {
    TStringList collected;
    for (const auto& entry : selection_.Items())
        U_NWListSubdirectories(entry.Text, SaDirectoriesAll, "*", collected, 1, pfLong);
    for (const auto& path : collected.Items()) selection_.Add(path.Text);
    selection_.Sort();
}

void TMainState::StartItem() {
    results_.Clear();
    trace_.Clear();
    AddTraceLine(Separator, LevelHeader);
    AddTraceLine("", LevelHeader);
}

void TMainState::ObjectStep(const std::string& object) {
    StartItem();
    DSObjectInfo info;
    const bool found = U_DSObjectExists(ScanContext.Get(), object, info);
    LogLine(Separator);
    LogLine(Format("VX: Check Object \"%s\" (%s)", object.c_str(), CurrentTree.c_str()));
    if (!found) {
        AddErrorLine(Format("Invalid Object (%s)", object.c_str()), ErrDirectoryNotFound);
        MissingItems.push_back(object);
    } else {
        U_AnalyzeEffectiveRights(ScanContext.Get(), object, MaxTraceLevel, scanFlags_, &trace_, results_, StatusBar.get());
    }
    FinishItem();
    if (found) ++ItemsDone;
}

void TMainState::PathStep(const std::string& path) {
    StartItem();
    std::string shortPath = PathForm(path, pfShort);
    if (shortPath.empty()) shortPath = path;
    const std::string longPath = PathForm(path, pfLong);
    const bool missing = !DirExists(shortPath);
    lastShortPath_ = shortPath;
    LogLine(Separator);
    LogLine(Format("VX: Check Path \"%s\" (%s)", shortPath.c_str(), longPath.c_str()));
    AddTraceLine(Format("Path: \"%s\"", longPath.c_str()) + (missing ? " (not found)" : ""), LevelItemHeading);
    if (missing) {
        AddErrorLine(Format("Invalid Path (%s)", shortPath.c_str()), ErrDirectoryNotFound);
        MissingItems.push_back(path);
        FinishItem();
        return;
    }
    itemConnection_ = ServerConnection;
    itemConnRef_ = ServerConnRef;
    itemContext_.Reset();
    TDSContext::Duplicate(StartupContext.Get(), itemContext_);

    std::string server, volume, dirPath;
    NWCONN_HANDLE connection = itemConnection_;
    U_PathToNWPath(shortPath, connection, server, volume, dirPath);
    const NWCCODE parseCode = U_PathToNWPath(ConvertOem(shortPath, true), connection, server, volume, dirPath);
    itemConnection_ = connection;
    LogResult(Format("VX: U_PathToNWPath (%s)", shortPath.c_str()), parseCode);

    std::string tree;
    U_GetTreeNameByHandle(itemConnection_, tree);
    U_DSChangeCurrentTreeAndContext(itemContext_.Get(), tree, RootName, false);

    const NWCCODE refCode = U_GetConnRefByHandle(itemConnection_, itemConnRef_);
    LogResult(Format("VX: U_GetConnRefByHandle (%s)", shortPath.c_str()), refCode);

    CurrentUser.Name = U_DSWhoAmI(itemContext_.Get());
    NWObjectID id = 0;
    const NWCCODE mapCode = Client().NWDSMapNameToID(itemContext_.Get(), itemConnection_, CurrentUser.Name, id);
    CurrentUser.ID = mapCode == 0 ? id : 0xFFFFFFFFu;
    CurrentUser.Mapped = mapCode == 0;
    LogResult(Format("VX: NWDSMapNameToID (%s : ID=0x%04X)", CurrentUser.Name.c_str(), CurrentUser.ID), mapCode);

    U_AnalyzeEffectiveRights(itemContext_.Get(), Format("%s/%s:%s", server.c_str(), volume.c_str(), dirPath.c_str()),
                             MaxTraceLevel, scanFlags_, &trace_, results_, StatusBar.get());
    FinishItem();
    ++ItemsDone;
}

void TMainState::AppendToMemo(TStringList& memo, const TStringList& lines) {
    const int from = memo.Count();
    for (const auto& line : lines.Items()) memo.AddObject(line.Text, line.Object);
    if (OnMemoLines) OnMemoLines(memo, from);
    if (!KeepMemoLines) memo.Clear();
}

void TMainState::FinishItem() {
    // Told before the memo may drop what it is told.
    const bool detailShown = MemoDebug.Count() + trace_.Count() > 0;
    AppendToMemo(MemoDebug, trace_);
    TReportInputs inputs;
    inputs.FileMode = Startup.FileMode;
    inputs.FilterExcl = Settings.FilterExcl;
    inputs.FilterIncl = Settings.FilterIncl;
    inputs.AttrColumnsEnabled = Startup.AttrColumnsEnabled;
    inputs.AttrConfig = &AttrConfig;
    inputs.ResultCache = ResultCache.get();
    inputs.Context = Startup.FileMode ? StartupContext.Get() : BrowseContext.Get();
    inputs.Rows = KeepSummaryRows ? &SummaryRows : nullptr;
    BuildSummary(trace_, inputs);
    AppendToMemo(MemoStandard, trace_);
    CheckBoxDebugVisible = detailShown;
    if (ItemFinished) ItemFinished();
    LogLine("");
}

void TMainState::MarkRunning() {
    scanning_ = true;
    stopRequested_ = false;
    stopped_ = false;
    waitCursor_ = BeginWait();
    ScanButtonEnabled = false;
}

void TMainState::StartOutputs() {
    results_.Clear();
    trace_.Clear();
    MemoStandard.Clear();
    MemoDebug.Clear();
    SummaryRows.clear();
    MissingItems.clear();
    FailedItems.clear();
    ItemsDone = 0;
    scanFlags_ = 0;
    if (Settings.ShowOnlyUsers) scanFlags_ = ScanUsersOnly;
    if (Settings.ResolveContainers) scanFlags_ |= ScanResolveContainers;
    WriteScanHeader();
    if (!Startup.FileMode) scanFlags_ |= ScanDirectoryMode;
}

bool TMainState::BeginScan() {
    // The driver lets events run between items; one of them may be another press of the button.
    if (scanning_) return false;
    MarkRunning();
    try {
        StartOutputs();
    } catch (...) {
        EndScan();
        throw;
    }
    return true;
}

void TMainState::ScanItem(const std::string& item) {
    if (!Startup.FileMode) lastObject_ = item;
    try {
        if (Startup.FileMode)
            PathStep(item);
        else
            ObjectStep(item);
    } catch (const std::exception& e) {
        FailedItems.push_back({item, e.what()});
    } catch (...) {
        FailedItems.push_back({item, "unexpected failure"});
    }
}

void TMainState::EndScan() {
    if (!scanning_) return;
    itemContext_.Reset();
    results_.Clear();
    trace_.Clear();
    StatusBar->SetPanelText(1, Startup.FileMode ? lastShortPath_ : lastObject_);
    ScanButtonEnabled = true;
    stopped_ = stopRequested_;
    stopRequested_ = false;
    scanning_ = false;
    EndWait(waitCursor_);
}

void TMainState::DoTheJob() {
    if (scanning_) return;
    MarkRunning();
    // However the scan ends, it ends as a scan: the button back, the hourglass gone.
    struct TEnding {
        TMainState& State;
        ~TEnding() {
            State.selection_.Clear();
            State.EndScan();
        }
    } ending{*this};
    selection_.Clear();
    const TCheckList& active = Startup.FileMode ? CheckListBoxPaths : CheckListBoxEdir;
    for (int i = 0; i < active.Items.Count(); ++i)
        if (active.Checked(i)) selection_.Add(active.Items.Strings(i));
    if (Settings.ScanSubDirs) ExpandSubdirectories();
    StartOutputs();
    for (const auto& entry : selection_.Items()) {
        if (stopRequested_) break;
        ScanItem(entry.Text);
    }
}

} // namespace era
