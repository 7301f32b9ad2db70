#include "cli/options.h"

#include "app/saving.h"
#include "cli/commands.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace era {

namespace {

// What an option of each kind sets.
template <std::string TCommandLine::*Field>
bool SetText(TCommandLine& line, const std::string& value, std::string&) {
    line.*Field = value;
    return true;
}

template <bool TCommandLine::*Field>
bool SetSwitch(TCommandLine& line, const std::string&, std::string&) {
    line.*Field = true;
    return true;
}

bool SetScope(TCommandLine& line, const std::string& value, std::string& error) {
    if (value != "0" && value != "1" && value != "2") {
        error = "option --scope expects 0 (the base), 1 (its subordinates) or 2 (the subtree), not \"" +
                value + "\"";
        return false;
    }
    line.Scope = value[0] - '0';
    return true;
}

bool SetSave(TCommandLine& line, const std::string& value, std::string&) {
    line.Save = value;
    line.SaveGiven = true;
    return true;
}

// An empty name would read as the context itself, [Root], or as no file at all.
bool SetSubtree(TCommandLine& line, const std::string& value, std::string& error) {
    if (value.empty()) error = "option --subtree expects a container, got an empty name";
    line.Subtree = value;
    line.SubtreeGiven = true;
    return !value.empty();
}

bool SetFrom(TCommandLine& line, const std::string& value, std::string& error) {
    if (value.empty()) error = "option --from expects a file name (- for standard input), got an empty one";
    line.From = value;
    line.FromGiven = true;
    return !value.empty();
}

bool SetJobs(TCommandLine& line, const std::string& value, std::string& error) {
    int jobs = 0;
    for (char c : value) {
        if (c < '0' || c > '9' || jobs > MaxJobs) {
            jobs = 0;
            break;
        }
        jobs = jobs * 10 + (c - '0');
    }
    if (jobs < 1 || jobs > MaxJobs) {
        error = "option --jobs expects a number from 1 to " + std::to_string(MaxJobs) + ", not \"" + value + "\"";
        return false;
    }
    line.Jobs = jobs;
    return true;
}

// The options of a scan, of directory objects and of paths alike.
const std::vector<std::string> ScanOptions = {
    "--resolve-containers", "--users-only", "--include", "--exclude", "--details",
    "--attributes",         "--save",       "--format"};
// Those of them that reach takes: it keeps the rows of one trustee, with their reasons.
const std::vector<std::string> ReachOptions = {"--resolve-containers", "--save", "--format"};

std::vector<std::string> Concatenated(std::vector<std::string> first,
                                      const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// "a", "a and b", "a, b and c".
std::string Enumeration(const std::vector<std::string>& names, const char* last) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? last : ", ") + names[i];
    return text;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const auto& command : CommandTable())
        names.push_back(command.Name);
    return names;
}

// The commands that take the option, in the table's order.
std::vector<std::string> CommandsTaking(const std::string& option) {
    std::vector<std::string> names;
    for (const auto& command : CommandTable())
        if (std::ranges::find(command.Options, option) != command.Options.end())
            names.push_back(command.Name);
    return names;
}

// The operand words of a command ("SUBJECT", "OBJECT", "[ATTRIBUTE]").
std::vector<std::string> OperandWords(const TCommandSpec& command) {
    std::istringstream in(command.Operands);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

} // namespace

const std::vector<TOptionSpec>& OptionTable() {
    using enum TOptionPlace;
    static const std::vector<TOptionSpec> options = {
        {"--workstation", "FILE", Global,
         "the workstation file naming trees, servers, volumes and drives\n"
         "(default: the environment variable ERA_WORKSTATION)",
         SetText<&TCommandLine::Workstation>},
        {"--debug", nullptr, Global, "write the troubleshooting log of every client call to standard error",
         SetSwitch<&TCommandLine::Debug>},
        {"--help", nullptr, Global, "show this text", SetSwitch<&TCommandLine::Help>},
        {"--version", nullptr, Global, "show the program's version", SetSwitch<&TCommandLine::Version>},
        {"--base", "NAME", Synopsis, nullptr, SetText<&TCommandLine::Base>},
        {"--scope", "0|1|2", Synopsis, nullptr, SetScope},
        {"--template", "TEXT", Synopsis, nullptr, SetText<&TCommandLine::Template>},
        {"--subdirs", nullptr, Synopsis, nullptr, SetSwitch<&TCommandLine::ScanSubDirs>},
        {"--path", nullptr, Synopsis, nullptr, SetSwitch<&TCommandLine::OnPaths>},
        {"--tree", "NAME", Shared, "work in this tree (default: the primary connection's tree)",
         SetText<&TCommandLine::Tree>},
        {"--subtree", "CONTAINER", Shared,
         "scan every object at and below CONTAINER: the container first,\n"
         "then its subordinates sorted by name, each followed by its own\n"
         "subtree (depth first)",
         SetSubtree},
        {"--from", "FILE", Shared,
         "scan the objects named in FILE, one a line (- for standard input);\n"
         "blank lines and lines starting with # are skipped",
         SetFrom},
        {"--jobs", "N", Shared,
         "analyse N objects at a time in worker processes (default: the\n"
         "number of cores); the output is the same for every N. A tree read\n"
         "over LDAP is scanned with one job",
         SetJobs},
        {"--users-only", nullptr, Shared, "keep only trustees that can log in",
         SetSwitch<&TCommandLine::UsersOnly>},
        {"--include", "TEXT", Shared, "keep only trustees whose name contains TEXT",
         SetText<&TCommandLine::Include>},
        {"--exclude", "TEXT", Shared, "drop trustees whose name contains TEXT",
         SetText<&TCommandLine::Exclude>},
        {"--details", nullptr, Shared, "print the detailed trace instead of the summary",
         SetSwitch<&TCommandLine::Details>},
        {"--attributes", "INI", Shared, "add attribute lines configured in section [Attributes] of INI",
         SetText<&TCommandLine::Attributes>},
        {"--resolve-containers", nullptr, Shared, "add the residents of container trustees individually",
         SetSwitch<&TCommandLine::ResolveContainers>},
        {"--save", "FILE", Shared,
         "also save the output to FILE, checked before the scan; a file of\n"
         "that name is replaced only when the whole output is written, and\n"
         "left as it is when no item could be scanned",
         SetSave},
        {"--format", "KEYWORD", Shared,
         "JSON: the output (and FILE) as JSON Lines, one record per row\n"
         "(docs/json-schema.md); of scan, scan-path and reach also the format\n"
         "of FILE: TXT, CSV, HTML, XML or XLSX (default: from FILE's\n"
         "extension, .json for JSON); TXT keeps each line whole, the\n"
         "others make a table whose columns are the tab-separated fields\n"
         "(CSV with RFC 4180 quoting)",
         SetText<&TCommandLine::Format>},
    };
    return options;
}

const std::vector<TCommandSpec>& CommandTable() {
    static const std::vector<TCommandSpec> commands = {
        {"trees", "", {}, "the trees the workstation is attached to", false, false, RunTrees},
        {"servers", "", {}, "the servers the workstation is attached to", false, false, RunServers},
        {"ls",
         "[CONTAINER]",
         {"--tree"},
         "a container's subordinates as \"class: name\" (default [Root])",
         false,
         false,
         RunLs},
        {"attr",
         "OBJECT PATH",
         {"--tree"},
         "the value lines of an attribute path, e.g. \"Member|Telephone Number\"",
         false,
         false,
         RunAttr},
        // An empty filter is documented to find every object.
        {"search",
         "FILTER",
         {"--tree", "--base", "--scope", "--template"},
         "objects matching a filter, e.g. \"(Security Equals=.admin.acme)\"",
         false,
         true,
         RunSearch},
        {"rights",
         "SUBJECT OBJECT [ATTRIBUTE]",
         {"--tree"},
         "the directory's own effective-rights answer\n(ATTRIBUTE default: [Entry Rights])",
         false,
         false,
         RunRights},
        {"scan", "OBJECT...", Concatenated({"--tree", "--subtree", "--from", "--jobs"}, ScanOptions),
         "the effective trustees of directory objects: the operands, then\n"
         "those of --from, then those of --subtree; each object's output is\n"
         "written as soon as it is done",
         false, false, RunScan},
        {"scan-path", "PATH...", Concatenated({"--subdirs"}, ScanOptions),
         "the effective trustees of NetWare directories (F:\\PUBLIC, \\\\FS1\\SYS\\PUBLIC)", true, false,
         RunScanPath},
        {"diff",
         "OLD NEW",
         {"--format"},
         "what changed between two saved summaries (the text of scan or\n"
         "its JSON Lines): rights added, removed and changed, by object;\n"
         "exit status 0 when equal, 1 when different, 2 on trouble",
         false,
         false,
         RunDiff,
         false},
        {"reach", "TRUSTEE [PATH...]",
         Concatenated({"--path", "--subdirs", "--tree", "--subtree", "--from", "--jobs"}, ReachOptions),
         "what TRUSTEE can reach: every object of --subtree (default [Root])\n"
         "and of --from on which TRUSTEE holds effective rights, directly,\n"
         "through a group or role it is security-equal to or (with\n"
         "--resolve-containers) through its containers; with --path the same\n"
         "of the NetWare directories PATH... (with --subdirs their subdirectories)",
         false, false, RunReach},
    };
    return commands;
}

const TOptionSpec* FindOption(const std::string& name) {
    for (const auto& option : OptionTable())
        if (name == option.Name) return &option;
    return nullptr;
}

const TCommandSpec* FindCommand(const std::string& name) {
    for (const auto& command : CommandTable())
        if (name == command.Name) return &command;
    return nullptr;
}

size_t MinOperands(const TCommandSpec& command) {
    return std::ranges::count_if(OperandWords(command),
                                 [](const std::string& word) { return !word.starts_with("["); });
}

size_t MaxOperands(const TCommandSpec& command) {
    const auto words = OperandWords(command);
    if (std::ranges::any_of(words, [](const std::string& word) { return word.ends_with("..."); }))
        return SIZE_MAX;
    return words.size();
}

std::string Synopsis(const TCommandSpec& command) {
    std::string text = command.Name;
    size_t shared = 0;
    for (const auto& name : command.Options) {
        const TOptionSpec* option = FindOption(name);
        if (option->Place == TOptionPlace::Synopsis)
            text += " [" + name + (option->Value ? std::string(" ") + option->Value : "") + "]";
        else if (option->Place == TOptionPlace::Shared)
            ++shared;
    }
    // Several shared options are too many for one line; one alone (--tree) is told in its section.
    if (shared > 1) text += " [OPTIONS]";
    if (*command.Operands) text += std::string(" ") + command.Operands;
    return text;
}

namespace {

// The parts of the parse that have names of their own.
struct TParse {
    TCommandLine Line;
    struct TGiven {
        std::string Name;
        const TOptionSpec* Option; // null for an option no command takes
        std::string Value;
    };
    std::vector<TGiven> CommandOptions; // applied once the command is known
    std::string Error;

    // Takes one option and its value (from "--name=value" or the next argument); false on an error.
    bool TakeOption(const std::vector<std::string>& args, size_t& i);
    // The command's own checks: it is known, takes these options and as many operands.
    bool CheckCommand();
    bool CheckOperands(const TCommandSpec& command);
};

bool TParse::TakeOption(const std::vector<std::string>& args, size_t& i) {
    std::string name = args[i], value;
    const size_t eq = name.find('=');
    const bool inlineValue = name.starts_with("--") && eq != std::string::npos;
    if (inlineValue) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
    }
    if (name == "-h") name = "--help";
    const TOptionSpec* option = FindOption(name);
    if (option && option->Value && !inlineValue) {
        if (i + 1 >= args.size()) {
            Error = "option " + name + " expects a value";
            return false;
        }
        value = args[++i];
    } else if ((!option || !option->Value) && inlineValue) {
        Error = "option " + name + " takes no value";
        return false;
    }
    if (option && option->Place == TOptionPlace::Global) return option->Apply(Line, value, Error);
    // Whether the command takes it is known only once the command is.
    CommandOptions.push_back({name, option, value});
    return true;
}

bool TParse::CheckCommand() {
    const std::string expected = "; expected one of " + Enumeration(CommandNames(), ", ");
    if (Line.Command.empty()) {
        Error = "no command given" + expected;
        return false;
    }
    const TCommandSpec* command = FindCommand(Line.Command);
    if (!command) {
        Error = "unknown command \"" + Line.Command + "\"" + expected;
        return false;
    }
    for (const auto& [name, option, value] : CommandOptions) {
        if (!option || std::ranges::find(command->Options, name) == command->Options.end()) {
            Error = "unknown option " + name + " for " + Line.Command;
            return false;
        }
        if (!option->Apply(Line, value, Error)) return false;
    }
    // JSON is a form of the output itself; the other formats are of the saved file only.
    const bool json = !Line.Format.empty() && SaveFormatOf(Line.Format, "") == TSaveFormat::Json;
    const bool saves = std::ranges::find(command->Options, "--save") != command->Options.end();
    if (!Line.Format.empty() && !json && (!saves || !Line.SaveGiven)) {
        Error = saves ? "option --format needs --save FILE, or is JSON"
                      : "option --format of " + Line.Command + " expects JSON, not \"" + Line.Format + "\"";
        return false;
    }
    if ((json || (Line.SaveGiven && SaveFormatOf(Line.Format, Line.Save) == TSaveFormat::Json)) && Line.Details) {
        Error = "JSON holds the summary's rows; it does not go with --details";
        return false;
    }
    return CheckOperands(*command);
}

bool TParse::CheckOperands(const TCommandSpec& command) {
    const size_t count = Line.Operands.size();
    // Objects named by --subtree or --from need no operands beside them.
    const bool named = Line.SubtreeGiven || Line.FromGiven;
    if ((count < MinOperands(command) && !named) || count > MaxOperands(command)) {
        Error = Line.Command + " expects " +
                (*command.Operands ? command.Operands : std::string("no operands")) + ", got " +
                std::to_string(count) + " operand" + (count == 1 ? "" : "s");
        if (std::ranges::find(command.Options, "--subtree") != command.Options.end())
            Error += "; or give --subtree CONTAINER or --from FILE";
        return false;
    }
    // An empty name would read as the context itself, [Root]: a script whose variable came out
    // empty would scan the whole tree's root without a word.
    if (!command.TakesEmptyOperands)
        for (size_t i = 0; i < count; ++i)
            if (Line.Operands[i].empty()) {
                Error = Line.Command + " expects " + command.Operands + ", got an empty operand (operand " +
                        std::to_string(i + 1) + ")";
                return false;
            }
    return true;
}

} // namespace

std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    TParse parse;
    if (const char* env = std::getenv("ERA_WORKSTATION")) parse.Line.Workstation = env;
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-' || arg == "-") {
            (parse.Line.Command.empty() ? parse.Line.Command : parse.Line.Operands.emplace_back()) = arg;
        } else if (arg == "--") {
            operandsOnly = true;
        } else if (!parse.TakeOption(args, i)) {
            error = parse.Error;
            return std::nullopt;
        }
    }
    if (parse.Line.Help || parse.Line.Version) return parse.Line;
    if (!parse.CheckCommand()) {
        error = parse.Error;
        return std::nullopt;
    }
    return parse.Line;
}

namespace {

// One entry of a help section: the term in a column of its own and its text beside it, or below
// it when the term is too wide; the text's further lines under its first.
std::string HelpEntry(const std::string& term, const std::string& text) {
    constexpr size_t TextColumn = 23;
    const std::string indent(TextColumn, ' ');
    std::string entry = "  " + term;
    if (entry.size() < TextColumn)
        entry.append(TextColumn - entry.size(), ' ');
    else
        entry += "\n" + indent;
    for (char c : text)
        entry += c == '\n' ? "\n" + indent : std::string(1, c);
    return entry + "\n";
}

std::string OptionTerm(const TOptionSpec& option) {
    return std::string(option.Name) + (option.Value ? std::string(" ") + option.Value : "");
}

// The sections of shared options, each headed by the commands that take them.
std::string SharedOptionSections() {
    std::string text;
    std::vector<std::string> sectionTakers;
    for (const auto& option : OptionTable()) {
        if (option.Place != TOptionPlace::Shared) continue;
        const auto takers = CommandsTaking(option.Name);
        if (takers != sectionTakers) {
            text += "\nOptions of " + Enumeration(takers, " and ") + ":\n";
            sectionTakers = takers;
        }
        text += HelpEntry(OptionTerm(option), option.Help);
    }
    return text;
}

} // namespace

std::string UsageText() {
    std::string text = R"USAGE(Usage: era [--workstation FILE] [--debug] COMMAND [OPTIONS] [OPERANDS]

era tells who holds which effective rights on an eDirectory object or a NetWare directory,
and why: every inheritance step, filter, security equivalence and container residence.

Names are typeless and dot-separated, the object's own name first; a leading "." marks a full
name (.jdoe.east.sales.acme), without it a name is relative to [Root]. LDAP DNs work too
(cn=jdoe,ou=east,ou=sales,o=acme). In a search value of a string attribute "*" is a wildcard.
The manual, docs/manual.md (installed in share/doc/era), explains the workstation file, names,
filters and templates, the rights letters, and how to read a summary and a trace.

Global options:
)USAGE";
    for (const auto& option : OptionTable())
        if (option.Place == TOptionPlace::Global) text += HelpEntry(OptionTerm(option), option.Help);
    text += "\nCommands:\n";
    for (const auto& command : CommandTable())
        text += HelpEntry(Synopsis(command), command.Help);
    text += SharedOptionSections();
    return text + R"USAGE(
The summary has one tab-separated row per trustee and protected attribute:
  Effective Trustee:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE
A "Self-check:" row after a trustee's row means the analysis and the directory disagree on it:
  Self-check:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE  directory: [ITS ANSWER]
  Self-check:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE  mask: [THE MASK'S LETTERS]
"directory:" gives the directory's own effective rights for that trustee and attribute, which
differ from the analysed [RIGHTS]; "mask:" says the rights text and the mask it was read into
differ. --details shows the same finding as a "Check 2" or "Check 1" line in the trace.

reach writes, per object (or path) on which TRUSTEE holds rights, its heading, then each row of
its summary that names TRUSTEE, followed by that row's "Self-check:" rows and the reasons of the
trace as --details lists them, then an empty line; nothing when TRUSTEE holds no rights there:
  Object: ".sales.acme" on tree "ACME_TREE"
  Effective Trustee:  User  [CRWS  ]  .jdoe.east.sales.acme  [All Attributes Rights]
       * [CR    ] for SecEqu to ".everyone.acme"
       * [CRWS  ] for SecEqu to ".sales-managers.sales.acme"
The rows are exactly those a scan of the same objects writes for TRUSTEE.

Names and values are shown with their control characters escaped: a line break as \n, a tab
as \t, a carriage return as \r, any other as \xhh (its bytes in hex); a backslash that would
read as the start of one of these is shown as \x5c.

With --format json each row is one line of JSON (docs/json-schema.md): its tree (of a path
also server and volume), object or path, trustee, class, attribute, rights and mask, the
reasons of the trace and the self-check when there is one. era diff reads either form.

Exit status: 0 done, 1 an item missing or failed, 2 usage error, 3 the client did not start,
4 standard output or the saved file could not be written in full (a message says why).
A scan stopped by Ctrl-C writes the objects it had in hand, then ends by that signal (130).
era diff, as diff(1): 0 the audits agree, 1 they differ, 2 a file is unreadable or unknown.
)USAGE";
}

} // namespace era
