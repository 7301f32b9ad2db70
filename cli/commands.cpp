#include "cli/commands.h"

#include "app/audit_diff.h"
#include "app/lookups.h"
#include "app/main_state.h"
#include "app/reach.h"
#include "app/saving.h"
#include "app/scan_stream.h"
#include "app/subtree.h"
#include "app/summary_json.h"
#include "cli/name_file.h"
#include "client/workstation_client.h"
#include "directory/attribute_names.h"
#include "directory/attributes.h"
#include "directory/completion_codes.h"
#include "directory/error_text.h"
#include "directory/names.h"
#include "util/settings.h"
#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
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
        if (index == 1 && ShowsPanel) Show(text);
        TStatusBar::SetPanelText(index, std::move(text));
    }
    bool Terminal() const { return terminal_; }
    // Shows the text in place of what the line showed.
    void Show(const std::string& text) {
        if (!terminal_) return;
        std::string shown = EscapeControls(text.substr(0, 100));
        std::cerr << "\r\033[K" << shown << std::flush;
        dirty_ = !shown.empty();
    }
    void Clear() {
        if (terminal_ && dirty_) std::cerr << "\r\033[K" << std::flush;
        dirty_ = false;
    }
    // Whether the analysis's own texts (panel 1) are shown; a scan that shows its progress
    // instead clears it.
    bool ShowsPanel = true;

private:
    bool terminal_;
    bool dirty_ = false;
};

TTerminalStatusBar& TerminalBar(TMainState& state) {
    return static_cast<TTerminalStatusBar&>(*state.StatusBar);
}

// Writes lines to standard output as they come, and to the saved file when the scan saves as it
// goes; the progress line is cleared first so that no line is written over it.
struct TScanOutput {
    TMainState& State;
    TReportSaver* Saver = nullptr;
    bool Json = false; // standard output takes the rows' JSON records, not the report's lines
    void Write(const std::vector<std::string>& lines, const std::vector<std::string>& records) {
        TerminalBar(State).Clear();
        for (const auto& text : Json ? records : lines)
            std::cout << text << '\n';
        if (Saver)
            for (const auto& text : Saver->TakesRecords() ? records : lines)
                Saver->Add(text);
        FlushStandardOutput();
    }
    // The scan's header block (the summary's lines of it) into the saved report alone: a report of
    // text or a table keeps its settings and its header rows, where standard output shows none.
    void SaveHeader(const TStringList& memo, int from) {
        if (&memo != &State.MemoStandard || !Saver || Saver->TakesRecords()) return;
        for (int i = from; i < memo.Count(); ++i)
            Saver->Add(memo.Strings(i));
    }
};

void ConfigureScan(TMainState& state, const TCommandLine& line, TScanOutput& output) {
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
    output.Json = json;
    state.KeepSummaryRows =
        json || (line.SaveGiven && SaveFormatOf(line.Format, line.Save) == TSaveFormat::Json);
    state.OnMemoLines = [&output, &state, shown, printed = size_t(0)](const TStringList& memo,
                                                                      int from) mutable {
        if (&memo != shown) return;
        std::vector<std::string> lines, records;
        for (int i = from; i < memo.Count(); ++i)
            lines.push_back(memo.Strings(i));
        for (; printed < state.SummaryRows.size(); ++printed)
            records.push_back(SummaryRowJson(state.SummaryRows[printed]));
        output.Write(lines, records);
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

// What a scan saves: the file named by --save (the target), a saver when the scan saves as it
// goes, and what broke the scan off, if anything did.
struct TScanEnd {
    TReportSaver* Saver = nullptr;
    std::string BrokenOff; // why the output is not the whole of what was asked for
};

int FinishScan(TMainState& state, const TCommandLine& line, const TScanEnd& end = {}) {
    TerminalBar(state).Clear();
    const TStringList& memo = line.Details ? state.MemoDebug : state.MemoStandard;
    if (line.Debug)
        for (const auto& entry : state.ListBoxLog.Items())
            std::cerr << entry.Text << '\n';
    int status = ReportMissingAndFailed(state);
    if (!line.SaveGiven) return status;
    std::error_code ec;
    const char* kept = std::filesystem::exists(line.Save, ec) ? "left as it was" : "not written";
    if (state.ItemsDone == 0) {
        // A report of headers only is no report: an earlier one of that name is worth more.
        std::cerr << "era: nothing was scanned, so \"" << line.Save << "\" was " << kept << '\n';
        return status;
    }
    if (!end.BrokenOff.empty()) {
        std::cerr << "era: the scan was " << end.BrokenOff << ", so \"" << line.Save << "\" was " << kept
                  << '\n';
        return status;
    }
    try {
        if (end.Saver)
            end.Saver->Commit();
        else
            SaveReport(memo, state.SummaryRows, line.Format, line.Save);
    } catch (const EExportError& e) {
        std::cerr << "era: could not save: " << e.what() << '\n';
        status = ExitWriteFailed;
    }
    return status;
}

// --- The scan of directory objects, item by item

volatile std::sig_atomic_t Interrupted = 0;

void OnInterrupt(int) {
    Interrupted = 1;
}

// Ctrl-C ends a scan after the items in hand, which are written whole; a second one ends the
// program at once, as Ctrl-C does elsewhere.
class TInterruptible {
public:
    TInterruptible() {
        Interrupted = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~TInterruptible() { ::sigaction(SIGINT, &previous_, nullptr); }
    TInterruptible(const TInterruptible&) = delete;
    TInterruptible& operator=(const TInterruptible&) = delete;

private:
    struct sigaction previous_ {};
};

// "1:05" or "2:03:09".
std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    const long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    return hours > 0 ? Format("%ld:%02ld:%02ld", hours, minutes, rest) : Format("%ld:%02ld", minutes, rest);
}

// The objects done and their total (when known), the rate and the time left, on the terminal's
// progress line, at most ten times a second.
class TProgress {
public:
    TProgress(TTerminalStatusBar& bar, std::optional<size_t> total) : bar_(bar), total_(total) {}
    void Done(size_t done) {
        const auto now = std::chrono::steady_clock::now();
        if (!bar_.Terminal() ||
            (now - shown_ < std::chrono::milliseconds(100) && (!total_ || done < *total_)))
            return;
        shown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        std::string text = total_ ? Format("%zu of %zu objects", done, *total_) : Format("%zu objects", done);
        text += Format(", %.0f a second", rate);
        if (total_ && rate > 0) text += ", " + Duration((*total_ - std::min(done, *total_)) / rate) + " left";
        bar_.Show(text);
    }

private:
    TTerminalStatusBar& bar_;
    std::optional<size_t> total_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

// The objects a scan takes: its operands, then the names of the --from file, then the subtree of
// --subtree, each as a full name; none once Ctrl-C was pressed or the file has a line that
// cannot be read.
struct TScanObjects {
    NWDSContextHandle Context;
    const std::vector<std::string>& Operands;
    TNameFile* File = nullptr;
    TSubtreeWalk* Walk = nullptr;
    size_t NextOperand = 0;

    bool Next(std::string& item) {
        if (Interrupted) return false;
        if (NextOperand < Operands.size()) {
            item = FullObjectName(Context, Operands[NextOperand++]);
            return true;
        }
        std::string name;
        if (File && File->Next(name)) {
            item = FullObjectName(Context, name);
            return true;
        }
        if (File && !File->Error().empty()) return false;
        File = nullptr;
        return Walk && Walk->Next(item);
    }
};

// The jobs of a scan: as asked, or as many as there are cores; one on a tree read over LDAP.
int ScanJobs(const TCommandLine& line, std::optional<size_t> objects) {
    int jobs = line.Jobs > 0 ? line.Jobs : AvailableCores();
    if (jobs > 1 && ReadsLiveTrees()) {
        if (line.Jobs > 1)
            std::cerr << "era: warning: option --jobs: a tree read over LDAP is scanned with one job\n";
        jobs = 1;
    }
    // No more workers than objects.
    if (objects) jobs = static_cast<int>(std::max<size_t>(1, std::min<size_t>(jobs, *objects)));
    return jobs;
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

namespace {

// Opens the --from file, read through first (but for standard input, read once): a line that
// cannot be read stops the command before any output. Adds its names to the total; false (with
// a message) when it cannot be read.
bool OpenNameFile(const TCommandLine& line, TNameFile& file, std::optional<size_t>& total) {
    std::string error;
    size_t names = 0;
    if ((line.From != "-" && !CountNames(line.From, names, error)) || !file.Open(line.From, error)) {
        std::cerr << "era: option --from: " << error << '\n';
        return false;
    }
    if (file.IsStandardInput())
        total.reset();
    else if (total)
        *total += names;
    return true;
}

// Starts the walk of the --subtree container; false (with a message) when the container cannot
// be read. Adds its objects to the total when the progress line shows it.
// The full name of an object the user named; false (with the message, the name, the directory's
// error and a hint) when the directory does not have it.
bool ExistingObject(NWDSContextHandle context, const std::string& given, const char* message, std::string& full) {
    full = FullObjectName(context, given);
    DSObjectInfo info;
    NWCCODE code = 0;
    if (U_DSObjectExists(context, full, info, &code)) return true;
    const std::string hint = RelativeNameHint(context, full);
    std::cerr << "era: " << message << " \"" << EscapeControls(given)
              << "\": " << U_ErrorText(code != 0 ? code : ErrNoSuchEntry)
              << (hint.empty() ? "" : "; " + EscapeControls(hint)) << '\n';
    return false;
}

bool StartSubtree(NWDSContextHandle context, const std::string& given, std::optional<TSubtreeWalk>& walk,
                  std::optional<size_t>& total) {
    std::string container;
    if (!ExistingObject(context, given, "option --subtree: cannot read", container)) return false;
    walk.emplace(context, container);
    // Counted ahead only for the progress line, which only a terminal shows.
    if (total && ::isatty(STDERR_FILENO) == 1)
        *total += CountSubtree(context, container);
    else
        total.reset();
    return true;
}

// Ends a scan of objects: the report saved unless the scan was broken off, what went wrong
// named; the exit status.
int EndObjectScan(TMainState& state, const TCommandLine& line, TReportSaver* saver, const TNameFile& file,
                  const std::optional<TSubtreeWalk>& walk, size_t done) {
    TScanEnd end{saver, {}};
    int status = ExitDone;
    if (!file.Error().empty()) {
        end.BrokenOff = "broken off at a line of --from that cannot be read";
        status = ExitUsage;
    } else if (Interrupted) {
        end.BrokenOff = "interrupted";
        status = ExitInterrupted;
    }
    const int finished = FinishScan(state, line, end);
    if (!file.Error().empty()) std::cerr << "era: option --from: " << file.Error() << '\n';
    if (walk)
        for (const auto& failure : walk->Failures())
            std::cerr << "era: the subordinates of " << EscapeControls(failure.Container)
                      << " could not be listed: " << U_ErrorText(failure.Code) << '\n';
    if (Interrupted) std::cerr << "era: interrupted after " << done << " objects\n";
    if (status == ExitDone && walk && !walk->Failures().empty()) status = ExitItemFailed;
    return status != ExitDone ? status : finished;
}

// The saver of a scan that saves as it goes (none without --save); false (with a message) when
// the file cannot be begun.
bool OpenSaver(const TCommandLine& line, std::unique_ptr<TReportSaver>& saver) {
    try {
        if (line.SaveGiven) saver = std::make_unique<TReportSaver>(line.Save, line.Format);
    } catch (const EExportError& e) {
        std::cerr << "era: could not save: " << e.what() << '\n';
        return false;
    }
    return true;
}

// The lines and the rows' JSON records written of one scanned item.
using TShownLines = std::function<void(const TItemOutput& item, std::vector<std::string>& lines,
                                       std::vector<std::string>& records)>;

// The scan of directory objects that scan and reach share: the operands, then the names of the
// --from file, then the subtree of the container (none when empty), each item's lines as shown
// makes them from the lines asked for; the scan's header block is written when header is set.
int ScanObjects(TMainState& state, const TCommandLine& line, const std::vector<std::string>& operands,
                const std::string& subtree, TItemLines lines, const TShownLines& shown, bool header) {
    const NWDSContextHandle context = state.ScanContext.Get();
    std::optional<size_t> total = operands.size();
    TNameFile file;
    if (line.FromGiven && !OpenNameFile(line, file, total)) return ExitUsage;
    std::optional<TSubtreeWalk> walk;
    if (!subtree.empty() && !StartSubtree(context, subtree, walk, total)) return ExitItemFailed;
    std::unique_ptr<TReportSaver> saver;
    if (!OpenSaver(line, saver)) return ExitWriteFailed;
    TScanOutput output{state, saver.get()};
    ConfigureScan(state, line, output);
    if (!header) state.OnMemoLines = [&output](const TStringList& memo, int from) { output.SaveHeader(memo, from); };
    // What is written is not kept: the memory of a scan does not grow with its objects.
    state.KeepMemoLines = false;
    TerminalBar(state).ShowsPanel = false;
    const int jobs = ScanJobs(line, walk ? std::nullopt : total);
    TScanObjects objects{context, operands, line.FromGiven ? &file : nullptr, walk ? &*walk : nullptr};
    TProgress progress(TerminalBar(state), total);
    size_t done = 0;
    TInterruptible interruptible;
    state.BeginScan();
    try {
        ScanItems(
            state, lines, jobs, [&objects](std::string& item) { return objects.Next(item); },
            [&](const TItemOutput& item) {
                std::vector<std::string> lines, records;
                shown(item, lines, records);
                output.Write(lines, records);
                if (line.Debug)
                    for (const auto& entry : item.Log)
                        std::cerr << entry << '\n';
                progress.Done(++done);
            });
    } catch (const std::runtime_error& e) {
        state.EndScan();
        TerminalBar(state).Clear();
        std::cerr << "era: " << e.what() << '\n';
        return ExitItemFailed;
    }
    state.EndScan();
    return EndObjectScan(state, line, saver.get(), file, walk, done);
}

// The full name of the trustee that reach is asked about, as the summary writes trustees; false
// (with a message) when the directory has no such object.
bool ReachTrustee(NWDSContextHandle context, const std::string& given, std::string& trustee) {
    if (U_IsSpecialName(given)) {
        trustee = given;
        return true;
    }
    if (!ExistingObject(context, given, "reach: no trustee", trustee)) return false;
    trustee = EscapeControls(trustee);
    return true;
}

// An item's lines in reach: its rows of the trustee with their reasons, and of the item's JSON
// records (one per trustee row, when the state keeps them) those of the same rows; an item whose
// summary and trace do not belong together fails.
void ReachItemLines(TMainState& state, const std::string& trustee, const std::string& item,
                    const std::vector<std::string>& summary, const std::vector<std::string>& details,
                    const std::vector<std::string>& allRecords, std::vector<std::string>& lines,
                    std::vector<std::string>& records) {
    TReachItem reach;
    if (!ReachOfItem(summary, details, trustee, reach)) {
        state.FailedItems.push_back({item, "its summary and its trace do not match"});
        return;
    }
    lines = ReachLines(reach);
    for (const auto& row : reach.Rows)
        if (row.Index < allRecords.size()) records.push_back(allRecords[row.Index]);
}

// The path a summary's heading names ("Path: \"F:\\PUBLIC\""); the default when it names none.
std::string PathOf(const std::vector<std::string>& summary, const std::string& otherwise) {
    for (const auto& line : summary)
        if (line.starts_with("Path: \"")) return line.substr(7, line.find('"', 7) - 7);
    return otherwise;
}

// The option given to reach that is for the other kind of item (objects or paths); null for none.
const char* MisplacedReachOption(const TCommandLine& line) {
    if (!line.OnPaths) return line.ScanSubDirs ? "--subdirs" : nullptr;
    if (line.SubtreeGiven) return "--subtree";
    if (line.FromGiven) return "--from";
    if (line.Jobs > 0) return "--jobs";
    if (!line.Tree.empty()) return "--tree";
    return nullptr;
}

// reach --path: the scan of the paths as scan-path makes it, each path's summary and trace taken
// together as the driver tells them (the trace first).
int ReachPaths(TMainState& state, const TCommandLine& line) {
    state.FillServerList();
    const std::vector<std::string> paths(line.Operands.begin() + 1, line.Operands.end());
    SelectServerOfPath(state, paths.front());
    std::string trustee;
    if (!ReachTrustee(state.StartupContext.Get(), line.Operands[0], trustee)) return ExitItemFailed;
    std::unique_ptr<TReportSaver> saver;
    if (!OpenSaver(line, saver)) return ExitWriteFailed;
    TScanOutput output{state, saver.get()};
    ConfigureScan(state, line, output);
    state.KeepMemoLines = false;
    std::vector<std::string> details;
    bool headerSaved = false;
    state.OnMemoLines = [&](const TStringList& memo, int from) {
        if (!headerSaved && &memo == &state.MemoStandard) {
            output.SaveHeader(memo, from);
            headerSaved = true;
            return;
        }
        std::vector<std::string> lines, allRecords, shown, records;
        for (int i = from; i < memo.Count(); ++i) lines.push_back(memo.Strings(i));
        if (&memo == &state.MemoDebug) {
            details = std::move(lines);
            return;
        }
        for (const auto& row : state.SummaryRows) allRecords.push_back(SummaryRowJson(row));
        state.SummaryRows.clear();
        ReachItemLines(state, trustee, PathOf(lines, paths.front()), lines, details, allRecords, shown, records);
        output.Write(shown, records);
    };
    for (const auto& path : paths) state.CheckListBoxPaths.Add(path, true);
    state.DoTheJob();
    return FinishScan(state, line, {saver.get(), {}});
}

} // namespace

int RunScan(TMainState& state, const TCommandLine& line) {
    return ScanObjects(state, line, line.Operands, line.SubtreeGiven ? line.Subtree : std::string(),
                       line.Details ? TItemLines::Details : TItemLines::Summary,
                       [](const TItemOutput& item, std::vector<std::string>& lines,
                          std::vector<std::string>& records) {
                           lines = item.Lines;
                           records = item.Records;
                       },
                       true);
}

int RunReach(TMainState& state, const TCommandLine& line) {
    if (line.Operands.empty() || (line.OnPaths ? line.Operands.size() < 2 : line.Operands.size() > 1)) {
        std::cerr << "era: reach expects " << (line.OnPaths ? "TRUSTEE PATH... with --path" : "one TRUSTEE")
                  << ", got " << line.Operands.size() << " operand" << (line.Operands.size() == 1 ? "" : "s")
                  << "\nTry 'era --help'.\n";
        return ExitUsage;
    }
    const char* misplaced = MisplacedReachOption(line);
    if (misplaced) {
        std::cerr << "era: option " << misplaced << " of reach "
                  << (line.OnPaths ? "is for objects, not for --path" : "needs --path") << "\nTry 'era --help'.\n";
        return ExitUsage;
    }
    if (line.OnPaths) return ReachPaths(state, line);
    std::string trustee;
    if (!ReachTrustee(state.ScanContext.Get(), line.Operands[0], trustee)) return ExitItemFailed;
    // The whole tree unless the objects are named otherwise.
    const std::string subtree = line.SubtreeGiven ? line.Subtree : line.FromGiven ? std::string() : RootName;
    return ScanObjects(
        state, line, {}, subtree, TItemLines::Both,
        [&](const TItemOutput& item, std::vector<std::string>& lines, std::vector<std::string>& records) {
            ReachItemLines(state, trustee, item.Item, item.Lines, item.DetailLines, item.Records, lines, records);
        },
        false);
}

int RunScanPath(TMainState& state, const TCommandLine& line) {
    state.FillServerList();
    SelectServerOfPath(state, line.Operands.front());
    TScanOutput output{state};
    ConfigureScan(state, line, output);
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
