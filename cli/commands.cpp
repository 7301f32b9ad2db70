#include "cli/commands.h"

#include "app/audit_diff.h"
#include "app/lookups.h"
#include "app/main_state.h"
#include "app/saving.h"
#include "app/summary_json.h"
#include "directory/attribute_names.h"
#include "directory/error_text.h"
#include "util/settings.h"
#include "util/text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace era {

int& StandardOutputError() {
    static int error = 0;
    return error;
}

// A report cut short by a full disk or a file-size limit must not pass for a whole one.
bool FlushStandardOutput() {
    if (StandardOutputError() != 0) return false;
    errno = 0;
    std::cout.flush();
    const int streamError = errno;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        StandardOutputError() = errno != 0 ? errno : streamError != 0 ? streamError : EIO;
        return false;
    }
    return true;
}

NWCCODE Logged(bool debug, const std::string& call, NWCCODE code) {
    if (debug)
        std::cerr << "VX: " << EscapeControls(call) << (code != 0 ? " - " + U_ErrorText(code) : std::string())
                  << '\n';
    return code;
}

namespace {

// Names and values as the directory holds them, one per line: control characters escaped, so
// that none of them starts a line of its own or reaches the terminal as a command.
void PrintListing(const TStringList& lines) {
    for (const auto& line : lines.Items())
        std::cout << EscapeControls(line.Text) << '\n';
}

int Fail(const std::string& operation, NWCCODE code, const std::string& hint = {}) {
    std::cerr << "era: " << EscapeControls(operation) << " failed: " << U_ErrorText(code)
              << (hint.empty() ? "" : "; " + EscapeControls(hint)) << '\n';
    return ExitItemFailed;
}

// The --debug log of a lookup's client calls.
TCallLog DebugLog(const TCommandLine& line) {
    return [debug = line.Debug](const std::string& call, NWCCODE code) { Logged(debug, call, code); };
}

// Prints a lookup's answer, or says why there is none; the exit status.
int Print(const char* command, const TLookup& lookup) {
    switch (lookup.Outcome) {
    case TLookupOutcome::Done:
        PrintListing(lookup.Lines);
        return ExitDone;
    case TLookupOutcome::CallFailed:
        return Fail(lookup.Call, lookup.Code, lookup.Hint);
    case TLookupOutcome::NoContainer:
        std::cerr << "era: \"" << EscapeControls(lookup.Item) << "\" is no container\n";
        return ExitItemFailed;
    case TLookupOutcome::UnknownAttribute:
        std::cerr << "era: " << command << ": unknown attribute \"" << EscapeControls(lookup.Item)
                  << "\"; expected an attribute of the schema, " << EntryRightsAttr << " or "
                  << AllAttributesRightsAttr << '\n';
        return ExitUsage;
    }
    return ExitItemFailed;
}

// Progress on one line of standard error, only when that is a terminal.
class TTerminalStatusBar final : public TStatusBar {
public:
    TTerminalStatusBar() : terminal_(::isatty(STDERR_FILENO) == 1) {}
    ~TTerminalStatusBar() override { Clear(); }
    void SetPanelText(int index, std::string text) override {
        if (terminal_ && index == 1) {
            std::string shown = EscapeControls(text.substr(0, 100));
            std::cerr << "\r\033[K" << shown << std::flush;
            dirty_ = !shown.empty();
        }
        TStatusBar::SetPanelText(index, std::move(text));
    }
    void Clear() {
        if (terminal_ && dirty_) std::cerr << "\r\033[K" << std::flush;
        dirty_ = false;
    }

private:
    bool terminal_;
    bool dirty_ = false;
};

void ConfigureScan(TMainState& state, const TCommandLine& line) {
    state.Settings.ResolveContainers = line.ResolveContainers;
    state.Settings.ShowOnlyUsers = line.UsersOnly;
    state.Settings.ScanSubDirs = line.ScanSubDirs;
    state.Settings.FilterIncl = line.Include;
    state.Settings.FilterExcl = line.Exclude;
    state.ResultCache = std::make_unique<TCache>();
    if (!line.Attributes.empty()) {
        state.Startup.ProgramSettings = std::make_unique<TIniFile>(line.Attributes);
        state.Startup.AttrColumnsEnabled = true;
        for (const auto& warning : AttrConfigWarnings(*state.Startup.ProgramSettings))
            std::cerr << "era: warning: option --attributes: " << line.Attributes << ": " << warning << '\n';
    }
    if (state.Startup.AttrColumnsEnabled && state.Startup.ProgramSettings)
        state.AttrConfig = ReadAttrConfig(*state.Startup.ProgramSettings);
    state.StatusBar = std::make_unique<TTerminalStatusBar>();
    // Each item is printed as soon as it is done: a long scan shows its progress in its output,
    // and one broken off keeps every item it finished.
    const TStringList* shown = line.Details ? &state.MemoDebug : &state.MemoStandard;
    const bool json = !line.Format.empty() && SaveFormatOf(line.Format, "") == TSaveFormat::Json;
    state.KeepSummaryRows = json || (line.SaveGiven && SaveFormatOf(line.Format, line.Save) == TSaveFormat::Json);
    state.OnMemoLines = [&state, shown, json, printed = size_t(0)](const TStringList& memo, int from) mutable {
        if (&memo != shown) return;
        static_cast<TTerminalStatusBar*>(state.StatusBar.get())->Clear();
        if (json)
            for (; printed < state.SummaryRows.size(); ++printed)
                std::cout << SummaryRowJson(state.SummaryRows[printed]) << '\n';
        else
            for (int i = from; i < memo.Count(); ++i)
                std::cout << memo.Strings(i) << '\n';
        FlushStandardOutput();
    };
}

// Names the items the scan did not find or could not finish; the exit status so far.
int ReportMissingAndFailed(TMainState& state) {
    int status = ExitDone;
    for (const auto& missing : state.MissingItems) {
        const std::string hint =
            state.Startup.EdirMode ? RelativeNameHint(state.ScanContext.Get(), missing) : "";
        std::cerr << "era: not found: " << EscapeControls(missing)
                  << (hint.empty() ? "" : "; " + EscapeControls(hint)) << '\n';
        status = ExitItemFailed;
    }
    for (const auto& failed : state.FailedItems) {
        std::cerr << "era: " << EscapeControls(failed.Item)
                  << ": the analysis ended early: " << EscapeControls(failed.Reason) << '\n';
        status = ExitItemFailed;
    }
    return status;
}

int FinishScan(TMainState& state, const TCommandLine& line) {
    static_cast<TTerminalStatusBar*>(state.StatusBar.get())->Clear();
    const TStringList& memo = line.Details ? state.MemoDebug : state.MemoStandard;
    if (line.Debug)
        for (const auto& entry : state.ListBoxLog.Items())
            std::cerr << entry.Text << '\n';
    int status = ReportMissingAndFailed(state);
    if (!line.SaveGiven) return status;
    if (state.ItemsDone == 0) {
        // A report of headers only is no report: an earlier one of that name is worth more.
        std::error_code ec;
        std::cerr << "era: nothing was scanned, so \"" << line.Save << "\" was "
                  << (std::filesystem::exists(line.Save, ec) ? "left as it was" : "not written") << '\n';
        return status;
    }
    try {
        SaveReport(memo, state.SummaryRows, line.Format, line.Save);
    } catch (const EExportError& e) {
        std::cerr << "era: could not save: " << e.what() << '\n';
        status = ExitWriteFailed;
    }
    return status;
}

} // namespace

bool PrepareTree(TMainState& state, const std::string& tree) {
    state.FillTreeList();
    Logged(state.Startup.DebugMode, "U_ListTrees (" + Joined(state.Trees) + ")", 0);
    if (state.Trees.Count() == 0) {
        std::cerr << "era: the workstation is attached to no tree\n";
        return false;
    }
    if (tree.empty()) return true;
    const std::string known = KnownTree(state.Trees, tree);
    if (known.empty()) {
        std::cerr << "era: unknown tree \"" << tree << "\"; the workstation is attached to "
                  << Joined(state.Trees) << '\n';
        return false;
    }
    if (!TextEquals(state.CurrentTree, known)) {
        state.ChangeTree(known);
        Logged(state.Startup.DebugMode, "U_DSChangeTree (" + known + ")", 0);
    }
    return true;
}

int RunTrees(TMainState&, const TCommandLine& line) {
    PrintListing(WorkstationTrees(DebugLog(line)).Lines);
    return ExitDone;
}

int RunServers(TMainState&, const TCommandLine& line) {
    const TServerTrees servers = WorkstationServers(DebugLog(line));
    for (int i = 0; i < servers.Servers.Count(); ++i)
        std::cout << EscapeControls(servers.Servers.Strings(i)) << '\t' << EscapeControls(servers.Trees[i])
                  << '\n';
    return ExitDone;
}

int RunLs(TMainState& state, const TCommandLine& line) {
    const std::string container = line.Operands.empty() ? std::string() : line.Operands[0];
    return Print("ls", ListContainer(state.ScanContext.Get(), container, DebugLog(line)));
}

int RunAttr(TMainState& state, const TCommandLine& line) {
    return Print("attr",
                 AttributeLines(state.ScanContext.Get(), line.Operands[0], line.Operands[1], DebugLog(line)));
}

int RunSearch(TMainState& state, const TCommandLine& line) {
    return Print("search", SearchObjects(state.ScanContext.Get(), line.Base, line.Operands[0], line.Scope,
                                         line.Template, DebugLog(line)));
}

int RunRights(TMainState& state, const TCommandLine& line) {
    const std::string attribute = line.Operands.size() > 2 ? line.Operands[2] : std::string();
    return Print("rights", EffectiveRights(state.ScanContext.Get(), line.Operands[0], line.Operands[1],
                                           attribute, DebugLog(line)));
}

int RunScan(TMainState& state, const TCommandLine& line) {
    ConfigureScan(state, line);
    for (const auto& given : line.Operands)
        state.CheckListBoxEdir.Add(FullObjectName(state.ScanContext.Get(), given), true);
    state.DoTheJob();
    return FinishScan(state, line);
}

int RunScanPath(TMainState& state, const TCommandLine& line) {
    state.FillServerList();
    SelectServerOfPath(state, line.Operands.front());
    ConfigureScan(state, line);
    for (const auto& given : line.Operands)
        state.CheckListBoxPaths.Add(given, true);
    state.DoTheJob();
    return FinishScan(state, line);
}

// As diff(1): 0 when the audits agree, 1 when they differ, 2 when one cannot be read.
int RunDiff(TMainState&, const TCommandLine& line) {
    std::vector<TAuditItem> before, after;
    std::string error;
    if (!ReadAudit(line.Operands[0], before, error) || !ReadAudit(line.Operands[1], after, error)) {
        std::cerr << "era: diff: " << EscapeControls(error) << '\n';
        return ExitUsage;
    }
    const auto changes = DiffAudits(before, after);
    const bool json = !line.Format.empty() && SaveFormatOf(line.Format, "") == TSaveFormat::Json;
    std::cout << (json ? DiffJson(changes) : DiffText(changes));
    return changes.empty() ? ExitDone : ExitItemFailed;
}

} // namespace era
