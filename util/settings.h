#pragma once

// The settings layer over the INI stores: where the program's INI files live, value readers and
// writers that clean names and write only what changed, a cache of the section read last, and
// string lists kept as sections of numbered keys.
//
// Keys lose their square brackets in readers and writers alike; section names lose them only in
// the writers, so a section written under a bracketed name is not found again by the readers.

#include "util/ini_file.h"
#include "util/string_list.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace era {

// --- Where the files are
// The program file's base name with the extension; with inAppData, in the application-data folder.
std::string ProgramDataPath(bool inAppData, std::string_view extension);
// ProgramDataPath(inAppData, "ini").
std::string IniFilePath(bool inAppData);
// A new store on IniFilePath(inAppData); the file need not exist.
std::unique_ptr<TCustomIniFile> OpenIniFile(bool inAppData);
// Erases every section and flushes the file.
void ClearIniFile(TCustomIniFile& ini);
// The name without any "[" or "]".
std::string CleanIniName(std::string_view name);

// --- The section read last
// One section of one store, as the cached readers saw it.
class TIniSectionCache {
public:
    // The key's value (ignoring letter case) in the section, loading the section when the cache
    // describes another section (exact name) or another store; false when the key is missing.
    bool Lookup(TCustomIniFile& ini, const std::string& section, const std::string& key, std::string& value);
    // Takes in a value just written to the store (see the .cpp for the rule).
    void Written(TCustomIniFile& ini, const std::string& section, const std::string& key);
    // Forgets what it holds when it describes that section (any letter case) of the store.
    void Erased(const TCustomIniFile& ini, const std::string& section);
    // Forgets what it holds when it describes a section of the store.
    void Forget(const TCustomIniFile& ini);
    // Forgets everything.
    void Clear();
    // The store the section was loaded from (nullptr when none).
    const TCustomIniFile* Ini() const { return ini_; }
    // The name the section was loaded under.
    const std::string& Section() const { return section_; }

private:
    bool Describes(const TCustomIniFile& ini) const;

    const TCustomIniFile* ini_ = nullptr;
    std::string fileName_; // with the address, tells a new store at a reused address apart
    std::string section_;
    std::unordered_map<std::string, std::string> values_; // upper-cased key -> value
};

// The program's one section cache.
TIniSectionCache& IniSectionCache();

// --- Values (store and section first)
// The stored text (or def), every "#CRLF#" turned into CR LF.
std::string IniReadText(TCustomIniFile& ini, const std::string& section, const std::string& key,
                        const std::string& def);
// The stored integer (or def).
int IniReadInteger(TCustomIniFile& ini, const std::string& section, const std::string& key, int def);
// Writes the value unless the store holds it already; a store error is shown in an error box.
void IniWriteString(TCustomIniFile& ini, const std::string& section, const std::string& key,
                    const std::string& value);
// Writes the integer unless the store holds it already; store errors pass to the caller.
void IniWriteInteger(TCustomIniFile& ini, const std::string& section, const std::string& key, int value);
// Writes the flag unless the key holds it already; store errors pass to the caller.
void IniWriteBool(TCustomIniFile& ini, const std::string& section, const std::string& key, bool value);
// The value through the section cache; an empty or missing value gives def.
std::string IniReadStringCached(TCustomIniFile& ini, const std::string& section, const std::string& key,
                                const std::string& def);
// The cached value as a decimal integer; def when empty, missing or not a number.
int IniReadIntegerCached(TCustomIniFile& ini, const std::string& section, const std::string& key, int def);
// The cached value: true exactly when it is "1"; def when empty or missing.
bool IniReadBoolCached(TCustomIniFile& ini, const std::string& section, const std::string& key, bool def);

// --- Sections and lists
// Erases the section (written name, brackets removed) when it exists; the section cache forgets it.
void IniEraseSection(TCustomIniFile& ini, const std::string& section);
// Replaces the section by the items under keys "0", "1", ... (or their attached values as keys).
void IniWriteList(TCustomIniFile& ini, const std::string& section, const TStringList& list,
                  bool keysFromObjects);
// Replaces the list by the section's values in file order (keys as attached values when asked).
void IniReadList(TCustomIniFile& ini, const std::string& section, TStringList& list, bool objectsFromKeys);

} // namespace era
