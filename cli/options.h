#pragma once

// The command line of era: global options, the command and its options and operands, and the
// table of commands and options that the parsing, the messages and --help are all made from.

#include "directory/attribute_names.h"

#include <optional>
#include <string>
#include <vector>

namespace era {

class TMainState;

// Exit statuses of the command.
constexpr int ExitDone = 0;
constexpr int ExitItemFailed = 1; // some item missing or failed, or a directory call failed
constexpr int ExitUsage = 2;
constexpr int ExitNoClient = 3;    // the client did not start
constexpr int ExitWriteFailed = 4; // standard output or the saved file could not be written
constexpr int ExitInterrupted = 130; // Ctrl-C ended a scan (128 and the signal's number)

struct TCommandLine {
    std::string Workstation; // --workstation, else ERA_WORKSTATION
    bool Debug = false;      // --debug
    bool Help = false;       // --help
    bool Version = false;    // --version
    std::string Command;     // one of the table's commands
    std::vector<std::string> Operands;

    // Command options.
    std::string Tree;               // --tree
    std::string Base = RootName;    // search --base
    int Scope = 2;                  // search --scope
    std::string Template;           // search --template
    bool ResolveContainers = false; // --resolve-containers
    bool UsersOnly = false;         // --users-only
    bool ScanSubDirs = false;       // scan-path --subdirs
    std::string Include;            // --include
    std::string Exclude;            // --exclude
    bool Details = false;           // --details
    std::string Attributes;         // --attributes INI
    std::string Save;               // --save FILE
    bool SaveGiven = false;         // --save was given (an empty FILE is an error, not "no save")
    std::string Format;             // --format KEYWORD
    std::string Subtree;            // scan --subtree CONTAINER
    bool SubtreeGiven = false;
    std::string From;               // scan --from FILE ("-": standard input)
    bool FromGiven = false;
    int Jobs = 0;                   // scan --jobs N; 0: as many as there are cores
    bool OnPaths = false;           // reach --path: NetWare directories instead of objects
};

// The most jobs --jobs takes.
constexpr int MaxJobs = 64;

// Where --help shows an option: among the global ones, in its command's synopsis, or in a section
// of the options that the same commands share ("Options of scan and scan-path").
enum class TOptionPlace { Global, Synopsis, Shared };

// One option: its name, the name of its value (none for a switch), where --help shows it and
// what it says there, and what it sets; false with an error for a value it cannot take.
struct TOptionSpec {
    const char* Name;
    const char* Value;
    TOptionPlace Place;
    const char* Help;
    bool (*Apply)(TCommandLine& line, const std::string& value, std::string& error);
};

// One command: its name, its operands as --help and the messages show them ("OBJECT PATH",
// "[CONTAINER]", "OBJECT..."), the options it takes, what --help says of it, whether it works on
// NetWare paths (the file-system edition) rather than directory objects, whether an empty
// operand means something, what runs it, and whether it needs the client.
struct TCommandSpec {
    const char* Name;
    const char* Operands;
    std::vector<std::string> Options;
    const char* Help;
    bool OnPaths;
    bool TakesEmptyOperands;
    int (*Handler)(TMainState& state, const TCommandLine& line);
    bool NeedsClient = true; // false: it reads only files (diff) and runs without a workstation
};

// Every option, in the order --help shows them.
const std::vector<TOptionSpec>& OptionTable();
// Every command, in the order --help and the messages show them.
const std::vector<TCommandSpec>& CommandTable();
// The option or command of that name; null for none.
const TOptionSpec* FindOption(const std::string& name);
const TCommandSpec* FindCommand(const std::string& name);

// How many operands the operand text allows: a word in brackets is optional, one ending in "..."
// stands for one or more.
size_t MinOperands(const TCommandSpec& command);
size_t MaxOperands(const TCommandSpec& command); // SIZE_MAX: any number
// The command as --help shows it: its name, its own options, "[OPTIONS]" when it takes a shared
// section of several, and its operands.
std::string Synopsis(const TCommandSpec& command);

// Parses the arguments (without the program name). On a usage error the result is empty and
// error says what was wrong and what was expected.
std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string UsageText();

} // namespace era
