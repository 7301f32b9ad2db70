#pragma once

// The few shell services the program needs: the per-user application-data folder, environment
// variables, and starting a command line, a document or a web address. Programs are started with
// posix_spawn; documents and web addresses are handed to xdg-open; the command interpreter is
// $SHELL (else /bin/sh) with "-c".

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace era {

// The shell-style results of RunCommand: above 32 means started, 32 or less is an error.
constexpr int ShellStarted = 42;
constexpr int ShellFailed = 0;       // the system refused for lack of resources or another reason
constexpr int ShellFileNotFound = 2; // no such program, document or file
constexpr int ShellPathNotFound = 3; // a folder of the path (or the working directory) is missing
constexpr int ShellAccessDenied = 5; // not allowed to run it
constexpr int ShellOutOfMemory = 8;
constexpr int ShellBadFormat = 11; // the file is no program the system can run
constexpr int SwShowNormal = 1;    // the normal window state (windows are the desktop's business)

// How a command line is started.
struct TShellLaunch {
    std::string Program;                // the file to run; a bare name is looked up on the PATH
    std::vector<std::string> Arguments; // the arguments behind the program's own name
    std::string WorkingDirectory;       // "" keeps the current one
    int Error = 0;                      // the result code when Program is empty: nothing can start
};

// A per-user shell folder by its registry value name: "AppData" is $XDG_CONFIG_HOME, else ~/.config;
// other names give "".
std::string ShellFolder(std::string_view name);
// The environment variable's value, "" when it is not set.
std::string EnvVar(const std::string& name);
// Whether the word is one of the command interpreter's 15 built-in commands (any letter case).
bool IsShellBuiltin(std::string_view word);
// The program, arguments and working directory a command line stands for (see the .cpp).
TShellLaunch ResolveCommand(const std::string& commandLine);
// Parameter text split into arguments at blanks and tabs; double quotes group and are removed.
std::vector<std::string> SplitParameters(std::string_view parameters);
// Starts a resolved command without waiting for it. Its exit is collected in the background, unless
// child is given: then the caller receives the process id and waits for it.
int StartProgram(const TShellLaunch& launch, pid_t* child = nullptr);
// Starts the command line; the result code as above (the show state has no meaning here).
int RunCommand(const std::string& commandLine, int showState = SwShowNormal);
// RunCommand with the normal window state: opens a program, document or web address.
int OpenDocument(const std::string& commandLine);

} // namespace era
