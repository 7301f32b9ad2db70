#include "util/settings.h"

#include "util/paths.h"
#include "util/shell.h"
#include "util/text.h"
#include "util/ui_host.h"

namespace era {

namespace {

// The value a write compares with when the key is missing: no real setting holds it.
constexpr int MissingInteger = -999666;

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Where the files are

std::string ProgramDataPath(bool inAppData, std::string_view extension) {
    const std::string path = ProgramFileWithExt(extension);
    if (!inAppData) return path;
    // Without an application-data folder this is a file in the root folder, as it always was.
    return AddTrailingBackslash(ShellFolder("AppData")) + FileNameOf(path);
}

std::string IniFilePath(bool inAppData) {
    return ProgramDataPath(inAppData, "ini");
}

std::unique_ptr<TCustomIniFile> OpenIniFile(bool inAppData) {
    return std::make_unique<TIniFile>(IniFilePath(inAppData));
}

void ClearIniFile(TCustomIniFile& ini) {
    if (!ini.ReadSections().empty()) ini.Clear(); // all sections in one write
    ini.UpdateFile();
    IniSectionCache().Forget(ini);
}

std::string CleanIniName(std::string_view name) {
    return RemoveChars(name, "[]");
}

namespace {

// A key as the store reads it from a file: cleaned, and without the blanks and tabs around it.
// Written with them, a padded key would be a different key for the next run, which would add it
// again instead of finding the value already there.
std::string CleanIniKey(std::string_view key) {
    return TrimRightChars(TrimLeftChars(CleanIniName(key), " \t"), " \t");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The section cache

bool TIniSectionCache::Describes(const TCustomIniFile& ini) const {
    return ini_ == &ini && fileName_ == ini.FileName();
}

bool TIniSectionCache::Lookup(TCustomIniFile& ini, const std::string& section, const std::string& key,
                              std::string& value) {
    if (!Describes(ini) || section != section_) {
        values_.clear();
        for (const std::string& line : ini.ReadSectionValues(section)) {
            const std::size_t eq = line.find('=');
            // The first line of a key is the one the store itself would answer with.
            values_.emplace(UpperCase(line.substr(0, eq)), line.substr(eq + 1));
        }
        ini_ = &ini;
        fileName_ = ini.FileName();
        section_ = section;
    }
    const auto found = values_.find(UpperCase(key));
    if (found == values_.end()) return false;
    value = found->second;
    return true;
}

// A write reaches the cache only when it went to the cached section of the cached store: a write
// to another store under the same section name says nothing about this one. The value is read back
// as the store gives it; one that reads back empty removes the key, so the cached readers answer
// with their default, as they would for the file.
void TIniSectionCache::Written(TCustomIniFile& ini, const std::string& section, const std::string& key) {
    if (section != section_ || !Describes(ini)) return;
    const std::string value = ini.ReadString(section, key, "");
    if (value.empty())
        values_.erase(UpperCase(key));
    else
        values_[UpperCase(key)] = value;
}

void TIniSectionCache::Erased(const TCustomIniFile& ini, const std::string& section) {
    if (Describes(ini) && TextEquals(CleanIniName(section), CleanIniName(section_))) Clear();
}

void TIniSectionCache::Forget(const TCustomIniFile& ini) {
    if (Describes(ini)) Clear();
}

void TIniSectionCache::Clear() {
    ini_ = nullptr;
    fileName_.clear();
    section_.clear();
    values_.clear();
}

TIniSectionCache& IniSectionCache() {
    static TIniSectionCache cache;
    return cache;
}

// ---------------------------------------------------------------------------------------------
// Values

std::string IniReadText(TCustomIniFile& ini, const std::string& section, const std::string& key,
                        const std::string& def) {
    return StrReplace(ini.ReadString(section, CleanIniKey(key), def), "#CRLF#", "\r\n", true, true);
}

int IniReadInteger(TCustomIniFile& ini, const std::string& section, const std::string& key, int def) {
    return ini.ReadInteger(section, CleanIniKey(key), def);
}

void IniWriteString(TCustomIniFile& ini, const std::string& section, const std::string& key,
                    const std::string& value) {
    const std::string cleanKey = CleanIniKey(key);
    const std::string cleanSection = CleanIniName(section);
    if (cleanKey.empty()) return;
    try {
        const std::string stored = ini.ReadString(cleanSection, cleanKey, "");
        // The store hands quoted values back without their quotes: an unchanged quoted value is
        // recognised by quoting what was read. A missing key reads as "", so an empty value never
        // creates a key.
        if (stored == value || DoubleQuoted(stored) == value) return;
        ini.WriteString(cleanSection, cleanKey, value);
        IniSectionCache().Written(ini, cleanSection, cleanKey);
    } catch (const EIniFileError& error) {
        // The store has left the old file in place; the user learns why, and the program goes on.
        UiHost().ShowDialog(dkError, error.what());
    }
}

void IniWriteInteger(TCustomIniFile& ini, const std::string& section, const std::string& key, int value) {
    const std::string cleanKey = CleanIniKey(key);
    const std::string cleanSection = CleanIniName(section);
    if (cleanKey.empty()) return;
    if (ini.ReadInteger(cleanSection, cleanKey, MissingInteger) == value) return;
    ini.WriteInteger(cleanSection, cleanKey, value);
    IniSectionCache().Written(ini, cleanSection, cleanKey);
}

void IniWriteBool(TCustomIniFile& ini, const std::string& section, const std::string& key, bool value) {
    const std::string cleanKey = CleanIniKey(key);
    const std::string cleanSection = CleanIniName(section);
    if (cleanKey.empty()) return;
    if (ini.ValueExists(cleanSection, cleanKey) && ini.ReadBool(cleanSection, cleanKey, false) == value)
        return;
    ini.WriteBool(cleanSection, cleanKey, value);
    IniSectionCache().Written(ini, cleanSection, cleanKey);
}

std::string IniReadStringCached(TCustomIniFile& ini, const std::string& section, const std::string& key,
                                const std::string& def) {
    std::string value;
    if (!IniSectionCache().Lookup(ini, section, CleanIniKey(key), value) || value.empty()) return def;
    return value;
}

int IniReadIntegerCached(TCustomIniFile& ini, const std::string& section, const std::string& key, int def) {
    return TextToIntDef(IniReadStringCached(ini, section, key, ""), def);
}

bool IniReadBoolCached(TCustomIniFile& ini, const std::string& section, const std::string& key, bool def) {
    const std::string value = IniReadStringCached(ini, section, key, "");
    return value.empty() ? def : value == "1";
}

// ---------------------------------------------------------------------------------------------
// Sections and lists

// The section cache forgets an erased section, so that no cached read answers with a value the
// file no longer holds (a check mark taken away, for one).
void IniEraseSection(TCustomIniFile& ini, const std::string& section) {
    const std::string cleanSection = CleanIniName(section);
    if (!ini.SectionExists(cleanSection)) return;
    ini.EraseSection(cleanSection);
    IniSectionCache().Erased(ini, cleanSection);
}

void IniWriteList(TCustomIniFile& ini, const std::string& section, const TStringList& list,
                  bool keysFromObjects) {
    const std::string cleanSection = CleanIniName(section);
    // One write of the file for the whole list, however long it is.
    TIniUpdate update(ini);
    IniEraseSection(ini, cleanSection);
    for (int i = 0; i < list.Count(); ++i) {
        // Items with equal attached values overwrite each other; empty items leave no key.
        const int key = keysFromObjects ? static_cast<int>(list.Objects(i)) : i;
        IniWriteString(ini, cleanSection, Format("%d", key), list.Strings(i));
    }
    try {
        update.Finish();
    } catch (const EIniFileError& error) {
        IniSectionCache().Forget(ini);
        UiHost().ShowDialog(dkError, error.what());
    }
}

void IniReadList(TCustomIniFile& ini, const std::string& section, TStringList& list, bool objectsFromKeys) {
    list.Clear();
    for (const std::string& line : ini.ReadSectionValues(section)) {
        const std::size_t eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::uint32_t object =
            objectsFromKeys && !key.empty() ? static_cast<std::uint32_t>(TextToIntDef(key, 0)) : 0;
        list.AddObject(line.substr(eq + 1), object);
    }
}

} // namespace era
