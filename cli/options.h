#pragma once

// The command line of era: global options, the command and its options and operands.

#include <optional>
#include <string>
#include <vector>

namespace era {

// Exit statuses of the command.
constexpr int ExitDone = 0;
constexpr int ExitItemFailed = 1;     // some item missing or failed, or a directory call failed
constexpr int ExitUsage = 2;
constexpr int ExitNoClient = 3;       // the client did not start
constexpr int ExitWriteFailed = 4;    // standard output or the saved file could not be written

struct TCommandLine {
    std::string Workstation;          // --workstation, else ERA_WORKSTATION
    bool Debug = false;               // --debug
    bool Help = false;                // --help
    bool Version = false;             // --version
    std::string Command;              // trees, servers, ls, attr, search, rights, scan, scan-path
    std::vector<std::string> Operands;

    // Command options.
    std::string Tree;                 // --tree
    std::string Base = "[Root]";      // search --base
    int Scope = 2;                    // search --scope
    std::string Template;             // search --template
    bool ResolveContainers = false;   // --resolve-containers
    bool UsersOnly = false;           // --users-only
    bool ScanSubDirs = false;         // scan-path --subdirs
    std::string Include;              // --include
    std::string Exclude;              // --exclude
    bool Details = false;             // --details
    std::string Attributes;           // --attributes INI
    std::string Save;                 // --save FILE
    bool SaveGiven = false;           // --save was given (an empty FILE is an error, not "no save")
    std::string Format;               // --format KEYWORD
};

// Parses the arguments (without the program name). On a usage error the result is empty and
// error says what was wrong and what was expected.
std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string UsageText();

} // namespace era
