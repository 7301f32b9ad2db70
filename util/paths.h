#pragma once

// Paths, files, the command line and the interface helpers of the core. Local paths are the Linux
// file system; drive-letter paths ("F:\...") and UNC paths ("\\server\volume\...") belong to the
// directory client's redirector, which answers for them through the network resolver below.

#include "util/string_list.h"
#include "util/ui_host.h"

#include <memory>
#include <string>
#include <string_view>

namespace era {

// The path forms PathForm knows.
enum TPathForm : int { pfShort = 0, pfLong = 4 };

// The redirector's answers about drive-letter and UNC paths.
class TNetworkDirectoryResolver {
public:
    virtual ~TNetworkDirectoryResolver() = default;
    // Whether the network path names an existing directory.
    virtual bool DirectoryExists(const std::string& path) = 0;
    // The stored name of the path's last component; false when the redirector knows none.
    virtual bool StoredName(const std::string& path, std::string& name) = 0;
};

// Installs the resolver for network paths (nullptr: none); returns the one it replaces.
std::unique_ptr<TNetworkDirectoryResolver>
SetNetworkDirectoryResolver(std::unique_ptr<TNetworkDirectoryResolver> resolver);
// Whether the path is a drive-letter ("F:...") or UNC ("\\...") path.
bool IsNetworkPath(std::string_view path);

// The path ending in a path delimiter: "\" for network and volume forms, "/" for local paths.
std::string AddTrailingBackslash(std::string_view path);
// The path without one trailing "\" or "/".
std::string RemoveTrailingSlash(std::string_view path);
// AddTrailingBackslash(directory) + name.
std::string JoinPath(std::string_view directory, std::string_view name);
// The path with its extension replaced by (or extended with) the extension; "" removes it.
std::string SetFileExt(std::string_view path, std::string_view extension);
// The program file's full path (/proc/self/exe unless SetProgramFile gave another).
std::string ProgramFile();
// Makes ProgramFile answer with the path (tests); "" goes back to the real program file.
void SetProgramFile(std::string path);
// SetFileExt of the program file.
std::string ProgramFileWithExt(std::string_view extension);
// Whether a directory of that path exists (network paths: as the resolver says, else false).
bool DirExists(const std::string& path);
// pfShort: the path unchanged (Linux has no short names); pfLong: every component's stored name.
std::string PathForm(std::string_view path, int mode);
// The text bounded to 511 bytes, never cut inside a UTF-8 character, up to its first NUL.
std::string ConvertOem(std::string_view text, bool toOem);
// For each string of b, the first equal string of a (ignoring case) is deleted; nothing without both.
void RemoveStrings(TStringList* a, const TStringList* b);
// Appends b's strings (with their values) to a; without allowDuplicates a string a holds is skipped.
void AppendStrings(TStringList* a, const TStringList* b, bool allowDuplicates);
// Adds "Could not find " + path to the memo, then replaces its lines by the file's when it can.
void LoadTextFile(TStringList& memo, const std::string& path);
// LoadTextFile of the program's information file (the program file with the extension "txt").
void LoadProgramInfo(TStringList& memo);
// Sets the hourglass cursor; returns the previous one.
TCursor BeginWait();
// Sets the cursor back.
void EndWait(TCursor cursor);
// A modal message box of the kind with one OK button.
void ShowDialog(TDialogKind kind, const std::string& text);
// Stores the process's arguments for HasSwitch (start-up).
void SetProgramArguments(int argc, const char* const* argv);
// Whether an argument (leading "/" and "\" removed) abbreviates the name to at least minimum letters.
bool HasSwitch(std::string_view name, std::size_t minimum);

} // namespace era
