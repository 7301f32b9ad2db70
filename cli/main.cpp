// era: Effective Rights Analysis on the command line.

#include "app/main_state.h"
#include "app/saving.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "client/workstation_client.h"
#include "directory/connections.h"
#include "util/paths.h"
#include "util/settings.h"
#include "util/text.h"
#include "util/version.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace era {
namespace {

// Why the files the options name cannot serve, found before a scan spends its time; empty when
// they look right.
std::string CheckOptionFiles(const TCommandLine& line) {
    if (line.SaveGiven) {
        const std::string problem = CheckSaveTarget(line.Save, line.Format);
        if (!problem.empty()) return "option --save: " + problem;
    }
    if (!line.Attributes.empty()) {
        // Attribute lines that silently stay away would read as "nothing to show" for every trustee.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(line.Attributes, ec))
            return "option --attributes: cannot read \"" + line.Attributes +
                   "\"; expected an INI file with a section [Attributes]";
    }
    return {};
}

// Installs the workstation's client and starts it; false (with a message) when it does not start.
bool StartClient(const TCommandLine& line) {
    // Without a workstation there is no client to start: one message says what to give.
    if (line.Workstation.empty()) {
        std::cerr << "era: no workstation file: give --workstation FILE or set ERA_WORKSTATION\n";
        return false;
    }
    std::string message;
    if (InstallWorkstation(line.Workstation, message) != 0) {
        std::cerr << "era: " << message << '\n';
        return false;
    }
    return Logged(line.Debug, "InitNetWare (" + line.Workstation + ")", InitNetWare()) == 0;
}

int Run(const TCommandLine& line) {
    const std::string problem = CheckOptionFiles(line);
    if (!problem.empty()) {
        std::cerr << "era: " << problem << '\n';
        return ExitUsage;
    }
    const TCommandSpec& command = *FindCommand(line.Command);
    TMainState state;
    if (!command.NeedsClient) return command.Handler(state, line);
    if (!StartClient(line)) return ExitNoClient;
    state.Startup.EditionCode = command.OnPaths || line.OnPaths ? 2 : 4;
    MapEdition(state.Startup);
    state.Startup.DebugMode = line.Debug;
    // The command line never changes the user's stored selections: its settings live in memory.
    state.Startup.UserSettings = std::make_unique<TMemIniFile>();
    // A command that works in a tree (it takes --tree) has its contexts prepared there first.
    const bool inTree = std::ranges::find(command.Options, "--tree") != command.Options.end();
    if (inTree && !line.OnPaths && !PrepareTree(state, line.Tree)) return ExitUsage;
    return command.Handler(state, line);
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
    if (std::fclose(stdout) != 0 && written) StandardOutputError() = errno;
    if (StandardOutputError() != 0) {
        std::cerr << "era: could not write to standard output: " << WriteFailureCause(StandardOutputError())
                  << "; the output is incomplete\n";
        status = ExitWriteFailed;
    }
    // A scan stopped by Ctrl-C has ended cleanly; era then ends by that signal, as a program
    // does that was interrupted, so that a calling shell or script stops as well.
    if (status == ExitInterrupted) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
    return status;
}
