#include "cli/options.h"

#include <cstdlib>
#include <map>
#include <set>

namespace era {

namespace {

struct TCommandSpec {
    size_t MinOperands;
    size_t MaxOperands;          // SIZE_MAX: any number
    std::set<std::string> Options;
    const char* Operands;        // for messages
};

const std::map<std::string, TCommandSpec>& Commands() {
    static const std::set<std::string> scanOptions = {"--tree",    "--resolve-containers", "--users-only",
                                                      "--include", "--exclude",            "--details",
                                                      "--attributes", "--save",            "--format"};
    static const std::map<std::string, TCommandSpec> commands = {
        {"trees", {0, 0, {}, ""}},
        {"servers", {0, 0, {}, ""}},
        {"ls", {0, 1, {"--tree"}, "[CONTAINER]"}},
        {"attr", {2, 2, {"--tree"}, "OBJECT PATH"}},
        {"search", {1, 1, {"--tree", "--base", "--scope", "--template"}, "FILTER"}},
        {"rights", {2, 3, {"--tree"}, "SUBJECT OBJECT [ATTRIBUTE]"}},
        {"scan", {1, SIZE_MAX, scanOptions, "OBJECT..."}},
        {"scan-path", {1, SIZE_MAX, [] {
                           auto o = scanOptions;
                           o.erase("--tree");
                           o.insert("--subdirs");
                           return o;
                       }(),
                       "PATH..."}},
    };
    return commands;
}

// Options that take a value.
bool TakesValue(const std::string& option) {
    static const std::set<std::string> valued = {"--workstation", "--tree",     "--base",       "--scope",
                                                 "--template",    "--include",  "--exclude",    "--attributes",
                                                 "--save",        "--format"};
    return valued.contains(option);
}

} // namespace

std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    TCommandLine line;
    if (const char* env = std::getenv("ERA_WORKSTATION")) line.Workstation = env;
    std::vector<std::pair<std::string, std::string>> options;
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-' || arg == "-") {
            if (line.Command.empty())
                line.Command = arg;
            else
                line.Operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        std::string value;
        const size_t eq = arg.find('=');
        const bool inlineValue = arg.starts_with("--") && eq != std::string::npos;
        if (inlineValue) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (arg == "-h") arg = "--help";
        if (TakesValue(arg)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    error = "option " + arg + " expects a value";
                    return std::nullopt;
                }
                value = args[++i];
            }
        } else if (inlineValue) {
            error = "option " + arg + " takes no value";
            return std::nullopt;
        }
        if (arg == "--workstation") line.Workstation = value;
        else if (arg == "--debug") line.Debug = true;
        else if (arg == "--help") line.Help = true;
        else if (arg == "--version") line.Version = true;
        else options.emplace_back(arg, value);
    }
    if (line.Help || line.Version) return line;
    if (line.Command.empty()) {
        error = "no command given; expected one of trees, servers, ls, attr, search, rights, scan, scan-path";
        return std::nullopt;
    }
    auto found = Commands().find(line.Command);
    if (found == Commands().end()) {
        error = "unknown command \"" + line.Command +
                "\"; expected one of trees, servers, ls, attr, search, rights, scan, scan-path";
        return std::nullopt;
    }
    const TCommandSpec& spec = found->second;
    for (const auto& [option, value] : options) {
        if (!spec.Options.contains(option)) {
            error = "unknown option " + option + " for " + line.Command;
            return std::nullopt;
        }
        if (option == "--tree") line.Tree = value;
        else if (option == "--base") line.Base = value;
        else if (option == "--scope") {
            if (value != "0" && value != "1" && value != "2") {
                error = "option --scope expects 0 (the base), 1 (its subordinates) or 2 (the subtree), not \"" +
                        value + "\"";
                return std::nullopt;
            }
            line.Scope = value[0] - '0';
        } else if (option == "--template") line.Template = value;
        else if (option == "--resolve-containers") line.ResolveContainers = true;
        else if (option == "--users-only") line.UsersOnly = true;
        else if (option == "--subdirs") line.ScanSubDirs = true;
        else if (option == "--include") line.Include = value;
        else if (option == "--exclude") line.Exclude = value;
        else if (option == "--details") line.Details = true;
        else if (option == "--attributes") line.Attributes = value;
        else if (option == "--save") {
            line.Save = value;
            line.SaveGiven = true;
        }
        else if (option == "--format") line.Format = value;
    }
    if (!line.Format.empty() && !line.SaveGiven) {
        error = "option --format needs --save FILE";
        return std::nullopt;
    }
    if (line.Operands.size() < spec.MinOperands || line.Operands.size() > spec.MaxOperands) {
        error = line.Command + " expects " + (spec.Operands[0] ? spec.Operands : std::string("no operands")) +
                ", got " + std::to_string(line.Operands.size()) + " operand" +
                (line.Operands.size() == 1 ? "" : "s");
        return std::nullopt;
    }
    // An empty name would read as the context itself, [Root]: a script whose variable came out
    // empty would scan the whole tree's root without a word. (An empty filter is documented to
    // find every object, so search keeps it.)
    if (line.Command != "search")
        for (size_t i = 0; i < line.Operands.size(); ++i)
            if (line.Operands[i].empty()) {
                error = line.Command + " expects " + spec.Operands + ", got an empty operand (operand " +
                        std::to_string(i + 1) + ")";
                return std::nullopt;
            }
    return line;
}

std::string UsageText() {
    return R"USAGE(Usage: era [--workstation FILE] [--debug] COMMAND [OPTIONS] [OPERANDS]

era tells who holds which effective rights on an eDirectory object or a NetWare directory,
and why: every inheritance step, filter, security equivalence and container residence.

Names are typeless and dot-separated, the object's own name first; a leading "." marks a full
name (.jdoe.east.sales.acme), without it a name is relative to [Root]. LDAP DNs work too
(cn=jdoe,ou=east,ou=sales,o=acme). In a search value of a string attribute "*" is a wildcard.
The manual, docs/manual.md (installed in share/doc/era), explains the workstation file, names,
filters and templates, the rights letters, and how to read a summary and a trace.

Global options:
  --workstation FILE   the workstation file naming trees, servers, volumes and drives
                       (default: the environment variable ERA_WORKSTATION)
  --debug              write the troubleshooting log of every client call to standard error
  --help               show this text
  --version            show the program's version

Commands:
  trees                the trees the workstation is attached to
  servers              the servers the workstation is attached to
  ls [CONTAINER]       a container's subordinates as "class: name" (default [Root])
  attr OBJECT PATH     the value lines of an attribute path, e.g. "Member|Telephone Number"
  search [--base NAME] [--scope 0|1|2] [--template TEXT] FILTER
                       objects matching a filter, e.g. "(Security Equals=.admin.acme)"
  rights SUBJECT OBJECT [ATTRIBUTE]
                       the directory's own effective-rights answer
                       (ATTRIBUTE default: [Entry Rights])
  scan [OPTIONS] OBJECT...
                       the effective trustees of directory objects
  scan-path [--subdirs] [OPTIONS] PATH...
                       the effective trustees of NetWare directories (F:\PUBLIC, \\FS1\SYS\PUBLIC)

Options of ls, attr, search, rights and scan:
  --tree NAME          work in this tree (default: the primary connection's tree)

Options of scan and scan-path:
  --resolve-containers add the residents of container trustees individually
  --users-only         keep only trustees that can log in
  --include TEXT       keep only trustees whose name contains TEXT
  --exclude TEXT       drop trustees whose name contains TEXT
  --details            print the detailed trace instead of the summary
  --attributes INI     add attribute lines configured in section [Attributes] of INI
  --save FILE          also save the output to FILE, checked before the scan; a file of
                       that name is replaced only when the whole output is written, and
                       left as it is when no item could be scanned
  --format KEYWORD     TXT, CSV, HTML, XML or XLSX (default: from FILE's extension);
                       TXT keeps each line whole, the others make a table whose columns
                       are the tab-separated fields (CSV with RFC 4180 quoting)

The summary has one tab-separated row per trustee and protected attribute:
  Effective Trustee:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE
A "Self-check:" row after a trustee's row means the analysis and the directory disagree on it:
  Self-check:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE  directory: [ITS ANSWER]
  Self-check:  CLASS  [RIGHTS]  TRUSTEE  ATTRIBUTE  mask: [THE MASK'S LETTERS]
"directory:" gives the directory's own effective rights for that trustee and attribute, which
differ from the analysed [RIGHTS]; "mask:" says the rights text and the mask it was read into
differ. --details shows the same finding as a "Check 2" or "Check 1" line in the trace.

Names and values are shown with their control characters escaped: a line break as \n, a tab
as \t, a carriage return as \r, any other as \xhh (its bytes in hex); a backslash that would
read as the start of one of these is shown as \x5c.

Exit status: 0 done, 1 an item missing or failed, 2 usage error, 3 the client did not start,
4 standard output or the saved file could not be written in full (a message says why).
)USAGE";
}

} // namespace era
