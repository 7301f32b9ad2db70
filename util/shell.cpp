#include "util/shell.h"

#include "util/text.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace era {

namespace fs = std::filesystem;

namespace {

const std::array<std::string, 15> BuiltinCommands{"CD", "COPY", "DEL",      "DIR",  "ECHO",
                                                  "MD", "PATH", "PROMPT",   "REM",  "REN",
                                                  "RD", "SET",  "TRUENAME", "TYPE", "VER"};

// An existing file that is not a directory, as the shell's file test sees it.
bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    return fs::exists(path, error) && !fs::is_directory(path, error);
}

bool IsExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

std::string Interpreter() {
    const std::string shell = EnvVar("SHELL");
    return shell.empty() ? "/bin/sh" : shell;
}

// The full path of a program found on the PATH, "" when there is none.
std::string FindOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    std::string rest = EnvVar("PATH"), folder;
    while (!rest.empty()) {
        SplitFirst(rest, ":", folder, rest);
        const std::string candidate = JoinWith(folder.empty() ? "." : folder, name, "/");
        std::error_code error;
        if (fs::is_regular_file(candidate, error) && IsExecutable(candidate)) return candidate;
    }
    return {};
}

// A web or mail address: a scheme of two or more characters before a colon ("https:", "mailto:";
// one letter is a drive), or an address that starts with "www.".
bool IsAddress(std::string_view text) {
    if (PosText("www.", text) == 1) return true;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alpha && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
    }
    return true;
}

TShellLaunch Open(const std::string& target, std::string workingDirectory) {
    TShellLaunch launch;
    launch.Program = "xdg-open";
    launch.Arguments = {target};
    launch.WorkingDirectory = std::move(workingDirectory);
    return launch;
}

int ResultOf(int error) {
    switch (error) {
    case 0:
        return ShellStarted;
    case ENOENT:
        return ShellFileNotFound;
    case ENOTDIR:
        return ShellPathNotFound;
    case EACCES:
    case EPERM:
        return ShellAccessDenied;
    case ENOMEM:
    case EAGAIN:
        return ShellOutOfMemory;
    case ENOEXEC:
        return ShellBadFormat;
    default:
        return ShellFailed;
    }
}

} // namespace

std::string ShellFolder(std::string_view name) {
    if (!TextEquals(name, "AppData")) return {};
    const std::string config = EnvVar("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return config; // relative values are to be ignored
    std::string home = EnvVar("HOME");
    if (home.empty()) {
        std::array<char, 4096> buffer{};
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
            home = found->pw_dir;
    }
    return home.empty() ? std::string() : home + "/.config";
}

std::string EnvVar(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

bool IsShellBuiltin(std::string_view word) {
    return TextInList(word, BuiltinCommands, false);
}

// 1. The program is sought word by word: the candidate grows by the next blank-separated word until
//    it names an existing file or the word taken is empty (two blanks in a row stop the search), so
//    a program path with blanks needs no quotes. A found file runs with its own folder as working
//    directory and the rest of the line as parameters; a found file that cannot be executed is a
//    document and goes to xdg-open.
// 2. Otherwise the first word decides: a built-in command runs the whole line in the interpreter
//    ($SHELL -c line, where the desktop had "comspec /C line"); a program on the PATH runs with the
//    rest as parameters; a web address or a folder goes to xdg-open; anything else is not found.
TShellLaunch ResolveCommand(const std::string& commandLine) {
    std::string candidate, word, rest = commandLine;
    bool found = false;
    for (;;) {
        SplitFirst(rest, " ", word, rest);
        candidate = JoinWith(candidate, word, " ");
        if (FileExists(candidate)) {
            found = true;
            break;
        }
        if (word.empty()) break;
    }
    TShellLaunch launch;
    if (found) {
        std::error_code error;
        const fs::path program = fs::absolute(candidate, error);
        const std::string path = error ? candidate : program.lexically_normal().string();
        const std::string folder = error ? std::string() : program.lexically_normal().parent_path().string();
        if (!IsExecutable(path)) return Open(path, folder);
        launch.Program = path;
        launch.Arguments = SplitParameters(rest);
        launch.WorkingDirectory = folder;
        return launch;
    }
    std::string first, parameters;
    SplitFirst(commandLine, " ", first, parameters);
    if (IsShellBuiltin(first)) {
        launch.Program = Interpreter();
        launch.Arguments = {"-c", commandLine};
        return launch;
    }
    const std::string onPath = FindOnPath(first);
    if (!onPath.empty()) {
        launch.Program = onPath;
        launch.Arguments = SplitParameters(parameters);
        return launch;
    }
    std::error_code error;
    if (IsAddress(first) || (!first.empty() && fs::is_directory(first, error))) return Open(first, {});
    launch.Error = ShellFileNotFound;
    return launch;
}

std::vector<std::string> SplitParameters(std::string_view parameters) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false, pending = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            pending = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (pending) arguments.push_back(current);
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending) arguments.push_back(current);
    return arguments;
}

int StartProgram(const TShellLaunch& launch, pid_t* child) {
    if (launch.Program.empty()) return launch.Error != 0 ? launch.Error : ShellFileNotFound;
    std::vector<std::string> words;
    words.reserve(launch.Arguments.size() + 1);
    words.push_back(launch.Program);
    words.insert(words.end(), launch.Arguments.begin(), launch.Arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return ShellOutOfMemory;
    if (!launch.WorkingDirectory.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions, launch.WorkingDirectory.c_str()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return ShellOutOfMemory;
    }
    pid_t pid = 0;
    const bool search = launch.Program.find('/') == std::string::npos;
    const int error =
        search ? posix_spawnp(&pid, launch.Program.c_str(), &actions, nullptr, argv.data(), environ)
               : posix_spawn(&pid, launch.Program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return ResultOf(error);
    if (child) {
        *child = pid; // the caller collects it
        return ShellStarted;
    }
    // Nobody waits for what the shell opens; a small thread collects its exit so no zombie stays.
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the finished child stays a zombie until the program ends; it still runs.
    }
    return ShellStarted;
}

int RunCommand(const std::string& commandLine, int /*showState*/) {
    return StartProgram(ResolveCommand(commandLine));
}

int OpenDocument(const std::string& commandLine) {
    return RunCommand(commandLine, SwShowNormal);
}

} // namespace era
