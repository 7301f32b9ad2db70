#include "util/paths.h"

#include "util/text.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace era {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TNetworkDirectoryResolver>& Resolver() {
    static std::unique_ptr<TNetworkDirectoryResolver> resolver;
    return resolver;
}

std::string& ProgramFileOverride() {
    static std::string path;
    return path;
}

std::vector<std::string>& ProgramArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

bool IsDelimiter(char c) {
    return c == '\\' || c == '/';
}

// Network and volume forms ("\\srv\vol\dir", "F:\dir", "SYS:PUBLIC\dir") are written with
// backslashes and split at ":" too; a local Linux path is split at "/" only, since "\" and ":"
// are ordinary characters of its names.
bool UsesBackslashes(std::string_view path) {
    if (IsNetworkPath(path)) return true;
    return path.find('/') == std::string_view::npos && path.find_first_of("\\:") != std::string_view::npos;
}

std::string_view Delimiters(std::string_view path) {
    return UsesBackslashes(path) ? "\\/:" : "/";
}

// Index just behind the last delimiter of the path (0 when it has none).
std::size_t NameStart(std::string_view path) {
    const std::size_t at = path.find_last_of(Delimiters(path));
    return at == std::string_view::npos ? 0 : at + 1;
}

std::string Fold(std::string_view text) {
    return UpperCase(text);
}

} // namespace

std::unique_ptr<TNetworkDirectoryResolver>
SetNetworkDirectoryResolver(std::unique_ptr<TNetworkDirectoryResolver> resolver) {
    std::swap(Resolver(), resolver);
    return resolver;
}

bool IsNetworkPath(std::string_view path) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
    const bool letter =
        !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path.size() >= 2 && path[1] == ':';
}

std::string AddTrailingBackslash(std::string_view path) {
    if (!path.empty() && IsDelimiter(path.back())) return std::string(path);
    return std::string(path) + (UsesBackslashes(path) ? '\\' : '/');
}

std::string RemoveTrailingSlash(std::string_view path) {
    if (!path.empty() && IsDelimiter(path.back())) path.remove_suffix(1);
    return std::string(path);
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    return AddTrailingBackslash(directory) + std::string(name);
}

std::string SetFileExt(std::string_view path, std::string_view extension) {
    const std::string ext = extension.empty() ? std::string() : EnsurePrefix(extension, ".");
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string_view::npos && dot >= NameStart(path);
    return std::string(path.substr(0, hasExtension ? dot : path.size())) + ext;
}

std::string ProgramFile() {
    if (!ProgramFileOverride().empty()) return ProgramFileOverride();
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

void SetProgramFile(std::string path) {
    ProgramFileOverride() = std::move(path);
}

std::string ProgramFileWithExt(std::string_view extension) {
    return SetFileExt(ProgramFile(), extension);
}

bool DirExists(const std::string& path) {
    if (path.empty()) return false;
    if (IsNetworkPath(path)) return Resolver() && Resolver()->DirectoryExists(path);
    std::error_code error;
    return fs::is_directory(path, error);
}

std::string PathForm(std::string_view path, int mode) {
    if (mode != pfLong) return std::string(path); // no short (8.3) names here
    std::string result = RemoveTrailingSlash(path);
    if (result.empty()) return std::string(path); // the local root "/" stays itself
    const std::size_t nameStart = NameStart(result);
    std::string directory = result.substr(0, nameStart);
    const std::string name = result.substr(nameStart);
    if (name.empty() || directory == "\\\\") return result;
    const bool driveRoot = directory.size() == 3 && directory[1] == ':' && IsDelimiter(directory[2]);
    if (!directory.empty() && !driveRoot) {
        directory = PathForm(RemoveTrailingSlash(directory), pfLong);
        result = JoinPath(directory, name);
    }
    // A component's display name is its stored name. For a local path that is the name as it
    // stands; for a network path the redirector is asked, except for the share right under a bare
    // server name, which it does not rename.
    if (!IsNetworkPath(result) || !Resolver()) return result;
    // "." and ".." name no component of their own: the redirector would answer with the name of
    // the directory they lead to, and "F:\PUBLIC\..\PUBLIC" would read "F:\PUBLIC\SYS\PUBLIC".
    if (name == "." || name == "..") return result;
    const bool bareServer = directory.size() >= 2 && directory.substr(0, 2) == "\\\\" &&
                            directory.find('\\', 2) == std::string::npos;
    std::string stored;
    if (!bareServer && Resolver()->StoredName(result, stored) && !stored.empty())
        result = JoinPath(directory, stored);
    return result;
}

std::string ConvertOem(std::string_view text, bool /*toOem*/) {
    // Both code pages are UTF-8 here, so only the 511-byte bound of the conversion buffer stays;
    // a cut there moves back to the start of the character it would split.
    constexpr std::size_t Bound = 511;
    std::size_t n = std::min(text.size(), Bound);
    if (n < text.size()) {
        std::size_t back = 0;
        while (back < 3 && n > back && (static_cast<unsigned char>(text[n - back]) & 0xC0) == 0x80)
            ++back;
        if ((static_cast<unsigned char>(text[n - back]) & 0xC0) != 0x80) n -= back;
    }
    const std::string_view kept = text.substr(0, n);
    return std::string(kept.substr(0, kept.find('\0')));
}

void RemoveStrings(TStringList* a, const TStringList* b) {
    if (a == nullptr || b == nullptr) return;
    std::unordered_map<std::string, std::vector<int>> places; // folded text -> indices, last first
    for (int i = a->Count() - 1; i >= 0; --i)
        places[Fold(a->Strings(i))].push_back(i);
    std::vector<bool> doomed(static_cast<std::size_t>(a->Count()), false);
    for (const TStringItem& item : b->Items()) {
        auto found = places.find(Fold(item.Text));
        if (found == places.end() || found->second.empty()) continue;
        doomed[static_cast<std::size_t>(found->second.back())] = true;
        found->second.pop_back();
    }
    a->DeleteIf([&doomed](int index) { return doomed[static_cast<std::size_t>(index)]; });
}

void AppendStrings(TStringList* a, const TStringList* b, bool allowDuplicates) {
    if (a == nullptr || b == nullptr) return;
    const std::vector<TStringItem> incoming = b->Items(); // a copy: b may be a itself
    std::unordered_set<std::string> held;
    if (!allowDuplicates) {
        for (const TStringItem& item : a->Items())
            held.insert(Fold(item.Text));
    }
    for (const TStringItem& item : incoming) {
        if (allowDuplicates || held.insert(Fold(item.Text)).second) a->AddObject(item.Text, item.Object);
    }
}

void LoadTextFile(TStringList& memo, const std::string& path) {
    memo.Add("Could not find " + path);
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return;
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    if (!file || !content) return; // unreadable: the "Could not find" line stays
    std::string text = content.str();
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    memo.SetText(text);
}

void LoadProgramInfo(TStringList& memo) {
    LoadTextFile(memo, ProgramFileWithExt("txt"));
}

TCursor BeginWait() {
    return UiHost().BeginWait();
}

void EndWait(TCursor cursor) {
    UiHost().EndWait(cursor);
}

void ShowDialog(TDialogKind kind, const std::string& text) {
    UiHost().ShowDialog(kind, text);
}

void SetProgramArguments(int argc, const char* const* argv) {
    std::vector<std::string>& arguments = ProgramArguments();
    arguments.clear();
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] != nullptr) arguments.emplace_back(argv[i]);
    }
}

bool HasSwitch(std::string_view name, std::size_t minimum) {
    if (name.size() < minimum) return false;
    const std::string keyword = UpperCase(name);
    for (const std::string& argument : ProgramArguments()) {
        if (IsAbbreviation(TrimLeftChars(argument, "/\\"), keyword, minimum)) return true;
    }
    return false;
}

} // namespace era
