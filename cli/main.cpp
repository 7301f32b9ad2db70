// era: Effective Rights Analysis on the command line.

#include "app/lookups.h"
#include "app/main_state.h"
#include "app/saving.h"
#include "cli/options.h"
#include "client/workstation_client.h"
#include "directory/attributes.h"
#include "directory/connections.h"
#include "directory/error_text.h"
#include "directory/listing.h"
#include "directory/names.h"
#include "directory/netware_paths.h"
#include "rights/search_filter.h"
#include "util/export.h"
#include "util/paths.h"
#include "util/settings.h"
#include "util/text.h"
#include "util/version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace era {
namespace {

// The cause of the first failed write to standard output (an errno); 0 while all went through.
int StandardOutputError = 0;

// Pushes what standard output holds to its file; false once a write has failed, the cause kept.
// A report cut short by a full disk or a file-size limit must not pass for a whole one.
bool FlushStandardOutput() {
    if (StandardOutputError != 0) return false;
    errno = 0;
    std::cout.flush();
    const int streamError = errno;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        StandardOutputError = errno != 0 ? errno : streamError != 0 ? streamError : EIO;
        return false;
    }
    return true;
}

// Names and values as the directory holds them, one per line: control characters escaped, so
// that none of them starts a line of its own or reaches the terminal as a command.
void PrintListing(const TStringList& lines) {
    for (const auto& line : lines.Items()) std::cout << EscapeControls(line.Text) << '\n';
}

int Fail(const std::string& operation, NWCCODE code, const std::string& hint = {}) {
    std::cerr << "era: " << EscapeControls(operation) << " failed: " << U_ErrorText(code)
              << (hint.empty() ? "" : "; " + EscapeControls(hint)) << '\n';
    return ExitItemFailed;
}

// Logs one client call for --debug as the scan logs its calls: "VX: " and the operation with its
// item in parentheses, and for a failed call " - " and the error text. Gives the code back.
NWCCODE Logged(bool debug, const std::string& call, NWCCODE code) {
    if (debug) std::cerr << "VX: " << EscapeControls(call) << (code != 0 ? " - " + U_ErrorText(code) : std::string()) << '\n';
    return code;
}

std::string Joined(const TStringList& list) {
    std::string text;
    for (const auto& item : list.Items()) text += (text.empty() ? "" : ", ") + item.Text;
    return text;
}

// A hint for a name the directory does not know, when it is one: typed relative where a full name
// was meant.
std::string NameHint(NWDSContextHandle context, NWCCODE code, const std::string& name) {
    return code == ErrNoSuchEntry ? RelativeNameHint(context, name) : std::string();
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

// A name as the user gave it, in full form: comma-form DNs are accepted too.
std::string ObjectName(const std::string& given) {
    if (given.find('=') != std::string::npos && given.find(',') != std::string::npos)
        return U_FullName(U_TypelessName(given));
    return given;
}

// Prepares the eDirectory edition's contexts; false (with a message) when the tree is unknown.
bool PrepareTree(TMainState& state, const std::string& tree) {
    state.FillTreeList();
    Logged(state.Startup.DebugMode, "U_ListTrees (" + Joined(state.Trees) + ")", 0);
    if (state.Trees.Count() == 0) {
        std::cerr << "era: the workstation is attached to no tree\n";
        return false;
    }
    if (tree.empty()) return true;
    for (const auto& item : state.Trees.Items())
        if (TextEquals(item.Text, tree)) {
            if (!TextEquals(state.CurrentTree, item.Text)) {
                state.ChangeTree(item.Text);
                Logged(state.Startup.DebugMode, "U_DSChangeTree (" + item.Text + ")", 0);
            }
            return true;
        }
    std::string known;
    for (const auto& item : state.Trees.Items()) known += (known.empty() ? "" : ", ") + item.Text;
    std::cerr << "era: unknown tree \"" << tree << "\"; the workstation is attached to " << known << '\n';
    return false;
}

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
    state.OnMemoLines = [&state, shown](const TStringList& memo, int from) {
        if (&memo != shown) return;
        static_cast<TTerminalStatusBar*>(state.StatusBar.get())->Clear();
        for (int i = from; i < memo.Count(); ++i) std::cout << memo.Strings(i) << '\n';
        FlushStandardOutput();
    };
}

int FinishScan(TMainState& state, const TCommandLine& line) {
    static_cast<TTerminalStatusBar*>(state.StatusBar.get())->Clear();
    const TStringList& memo = line.Details ? state.MemoDebug : state.MemoStandard;
    if (line.Debug)
        for (const auto& entry : state.ListBoxLog.Items()) std::cerr << entry.Text << '\n';
    int status = ExitDone;
    for (const auto& missing : state.MissingItems) {
        const std::string hint = state.Startup.EdirMode ? RelativeNameHint(state.ScanContext.Get(), missing) : "";
        std::cerr << "era: not found: " << EscapeControls(missing) << (hint.empty() ? "" : "; " + EscapeControls(hint))
                  << '\n';
        status = ExitItemFailed;
    }
    for (const auto& failed : state.FailedItems) {
        std::cerr << "era: " << EscapeControls(failed.Item) << ": the analysis ended early: "
                  << EscapeControls(failed.Reason) << '\n';
        status = ExitItemFailed;
    }
    if (!line.SaveGiven) return status;
    if (state.ItemsDone == 0) {
        // A report of headers only is no report: an earlier one of that name is worth more.
        std::error_code ec;
        std::cerr << "era: nothing was scanned, so \"" << line.Save << "\" was "
                  << (std::filesystem::exists(line.Save, ec) ? "left as it was" : "not written") << '\n';
        return status;
    }
    try {
        SaveReport(memo, line.Format, line.Save);
    } catch (const EExportError& e) {
        std::cerr << "era: could not save: " << e.what() << '\n';
        status = ExitWriteFailed;
    }
    return status;
}

int RunScan(TMainState& state, const TCommandLine& line) {
    if (!PrepareTree(state, line.Tree)) return ExitUsage;
    ConfigureScan(state, line);
    for (const auto& given : line.Operands) {
        const std::string name = ObjectName(given);
        std::string full = U_DSGetFullName(state.ScanContext.Get(), name);
        state.CheckListBoxEdir.Add(full.empty() ? U_FullName(name) : full, true);
    }
    state.DoTheJob();
    return FinishScan(state, line);
}

int RunScanPath(TMainState& state, const TCommandLine& line) {
    state.FillServerList();
    NWCONN_HANDLE connection = 0;
    std::string server, volume, path;
    if (U_PathToNWPath(line.Operands.front(), connection, server, volume, path) == 0)
        for (int i = 0; i < state.Servers.Count(); ++i)
            if (TextEquals(state.Servers.Strings(i), server) && i != state.SelectedServer) state.SelectServer(i);
    ConfigureScan(state, line);
    for (const auto& given : line.Operands) state.CheckListBoxPaths.Add(given, true);
    state.DoTheJob();
    return FinishScan(state, line);
}

int Run(const TCommandLine& line) {
    if (line.SaveGiven) {
        // A target that cannot take the report is found before the scan spends its time.
        const std::string problem = CheckSaveTarget(line.Save, line.Format);
        if (!problem.empty()) {
            std::cerr << "era: option --save: " << problem << '\n';
            return ExitUsage;
        }
    }
    if (!line.Attributes.empty()) {
        // Attribute lines that silently stay away would read as "nothing to show" for every trustee.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(line.Attributes, ec)) {
            std::cerr << "era: option --attributes: cannot read \"" << line.Attributes
                      << "\"; expected an INI file with a section [Attributes]\n";
            return ExitUsage;
        }
    }
    // Without a workstation there is no client to start: one message says what to give.
    if (line.Workstation.empty()) {
        std::cerr << "era: no workstation file: give --workstation FILE or set ERA_WORKSTATION\n";
        return ExitNoClient;
    }
    std::string message;
    if (InstallWorkstation(line.Workstation, message) != 0) {
        std::cerr << "era: " << message << '\n';
        return ExitNoClient;
    }
    if (Logged(line.Debug, "InitNetWare (" + line.Workstation + ")", InitNetWare()) != 0) return ExitNoClient;

    TMainState state;
    state.Startup.EditionCode = line.Command == "scan-path" ? 2 : 4;
    MapEdition(state.Startup);
    state.Startup.DebugMode = line.Debug;
    // The command line never changes the user's stored selections: its settings live in memory.
    state.Startup.UserSettings = std::make_unique<TMemIniFile>();

    if (line.Command == "trees") {
        TStringList trees;
        U_ListTrees(trees);
        Logged(line.Debug, "U_ListTrees (" + Joined(trees) + ")", 0);
        PrintListing(trees);
        return ExitDone;
    }
    if (line.Command == "servers") {
        TStringList servers;
        U_ListServers(servers);
        Logged(line.Debug, "U_ListServers (" + Joined(servers) + ")", 0);
        for (const auto& item : servers.Items()) {
            std::string tree;
            Logged(line.Debug, "U_GetTreeNameByRef (" + item.Text + ")", U_GetTreeNameByRef(item.Object, tree));
            std::cout << EscapeControls(item.Text) << '\t' << EscapeControls(tree) << '\n';
        }
        return ExitDone;
    }
    if (line.Command == "scan") return RunScan(state, line);
    if (line.Command == "scan-path") return RunScanPath(state, line);

    if (!PrepareTree(state, line.Tree)) return ExitUsage;
    const NWDSContextHandle context = state.ScanContext.Get();
    if (line.Command == "ls") {
        const std::string container = line.Operands.empty() ? "[Root]" : ObjectName(line.Operands[0]);
        TStringList objects;
        NWCCODE code = Logged(line.Debug, "U_DSListContainer (" + container + ")",
                              U_DSListContainer(context, container, nullptr, true, "", &objects));
        if (code == 0 && objects.Count() == 0 && !U_DSIsContainer(context, container) && container != "[Root]") {
            DSObjectInfo info;
            U_DSObjectExists(context, container, info, &code);
            Logged(line.Debug, "U_DSReadObjectInfo (" + container + ")", code);
            if (code == 0) {
                std::cerr << "era: \"" << EscapeControls(container) << "\" is no container\n";
                return ExitItemFailed;
            }
        }
        if (code != 0) return Fail("U_DSListContainer (" + container + ")", code, NameHint(context, code, container));
        PrintListing(objects);
        return ExitDone;
    }
    if (line.Command == "attr") {
        TStringList lines;
        const std::string object = ObjectName(line.Operands[0]);
        NWCCODE code = Logged(line.Debug, "U_DSGetAttributeEx (" + object + ":" + line.Operands[1] + ")",
                              U_DSGetAttributeEx(context, object, line.Operands[1], lines));
        if (code != 0)
            return Fail("U_DSGetAttributeEx (" + object + ":" + line.Operands[1] + ")", code,
                        NameHint(context, code, object));
        PrintListing(lines);
        return ExitDone;
    }
    if (line.Command == "search") {
        TStringList results;
        int found = 0;
        NWCCODE code = Logged(line.Debug, "U_DSSearch (" + line.Operands[0] + ")",
                              U_DSSearch(context, ObjectName(line.Base), line.Operands[0], 0, nullptr, nullptr, found,
                                         0, line.Template, &results, line.Scope));
        if (code != 0) return Fail("U_DSSearch (" + line.Operands[0] + ")", code, FilterProblem(line.Operands[0], code));
        PrintListing(results);
        return ExitDone;
    }
    if (line.Command == "rights") {
        const std::string subject = ObjectName(line.Operands[0]);
        const std::string object = ObjectName(line.Operands[1]);
        std::string attribute = "[Entry Rights]";
        if (line.Operands.size() > 2) {
            // An attribute the schema does not know would be answered all the same, as if it were
            // one: the user would read rights to something that does not exist.
            NWCCODE code = ProtectedAttributeName(context, line.Operands[2], attribute);
            if (!IsSpecialAttribute(line.Operands[2]))
                Logged(line.Debug, "NWDSGetSyntaxID (" + line.Operands[2] + ")", code);
            if (code == ErrNoSuchAttribute) {
                std::cerr << "era: rights: unknown attribute \"" << EscapeControls(line.Operands[2])
                          << "\"; expected an attribute of the schema, [Entry Rights] or [All Attributes Rights]\n";
                return ExitUsage;
            }
            if (code != 0) return Fail("NWDSGetSyntaxID (" + line.Operands[2] + ")", code);
        }
        uint32_t privileges = 0;
        NWCCODE code = Logged(line.Debug, "NWDSGetEffectiveRights (" + subject + " on " + object + ":" + attribute + ")",
                              Client().NWDSGetEffectiveRights(context, subject, object, attribute, privileges));
        if (code != 0) {
            DSObjectInfo info;
            const bool subjectMissing = code == ErrNoSuchEntry && !U_DSObjectExists(context, subject, info);
            return Fail("NWDSGetEffectiveRights (" + subject + " on " + object + ")", code,
                        NameHint(context, code, subjectMissing ? subject : object));
        }
        uint32_t mask = 0;
        const std::string rights = U_DSGetEffectiveRights(context, subject, object, attribute, mask);
        Logged(line.Debug, Format("U_DSGetEffectiveRights (%s on %s:%s) (rights=%04X)", subject.c_str(), object.c_str(),
                                  attribute.c_str(), mask),
               0);
        std::cout << rights << '\n';
        return ExitDone;
    }
    return ExitUsage;
}

} // namespace
} // namespace era

static int Main(int argc, char** argv) {
    using namespace era;
    SetProgramArguments(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto line = ParseCommandLine(args, error);
    if (!line) {
        std::cerr << "era: " << error << "\nTry 'era --help'.\n";
        return ExitUsage;
    }
    if (line->Help) {
        std::cout << UsageText();
        return ExitDone;
    }
    if (line->Version) {
        std::cout << "era " << VersionText << "(build " << BuildVersion() << ")\n";
        return ExitDone;
    }
    try {
        return Run(*line);
    } catch (const std::exception& e) {
        std::cerr << "era: " << e.what() << '\n';
        return ExitItemFailed;
    }
}

int main(int argc, char** argv) {
    using namespace era;
    // Beyond the file-size limit a write fails with EFBIG and is reported, instead of the signal
    // ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    int status = Main(argc, argv);
    const bool written = FlushStandardOutput();
    if (std::fclose(stdout) != 0 && written) StandardOutputError = errno;
    if (StandardOutputError != 0) {
        std::cerr << "era: could not write to standard output: " << WriteFailureCause(StandardOutputError)
                  << "; the output is incomplete\n";
        status = ExitWriteFailed;
    }
    return status;
}
