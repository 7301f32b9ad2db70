// The INI store's reader over arbitrary bytes: the document parser and its reads, the file store
// and the settings readers on a file holding the bytes, and the round trip of what the store
// writes — a rendered document parses back into one that renders the same.

#include "fuzz/fuzz_support.h"
#include "util/ini_file.h"
#include "util/settings.h"
#include "util/string_list.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const std::string text(reinterpret_cast<const char*>(data), size);

    TIniDocument document;
    document.Parse(text);
    for (const auto& section : document.SectionNames()) {
        if (!document.HasSection(section)) std::abort();
        for (const auto& [key, raw] : document.Entries(section)) {
            if (!document.Find(section, key)) std::abort();
            (void)DecodeIniValue(raw);
        }
    }
    const std::string rendered = document.Render();
    TIniDocument again;
    again.Parse(rendered);
    if (again.Render() != rendered) std::abort();

    // A value written into the document comes back as it was written.
    if (!document.SectionNames().empty()) {
        const std::string section = document.SectionNames().front();
        const std::string value = text.substr(0, 64);
        document.Set(section, "FuzzKey", EncodeIniValue(value));
        TIniDocument reread;
        reread.Parse(document.Render());
        const std::string* raw = reread.Find(section, "FuzzKey");
        if (!raw) std::abort();
    }

    const auto file = fuzz::ScratchFolder() / "settings.ini";
    fuzz::WriteBytes(file, data, size);
    TIniFile ini(file.string());
    for (const auto& section : ini.ReadSections()) {
        (void)ini.ReadSectionValues(section);
        for (const auto& key : ini.ReadSection(section)) {
            (void)ini.ReadString(section, key, "");
            (void)ini.ReadInteger(section, key, 0);
            (void)ini.ReadBool(section, key, false);
            (void)IniReadText(ini, section, key, "");
            (void)IniReadStringCached(ini, section, key, "");
            (void)IniReadIntegerCached(ini, section, key, 0);
        }
        TStringList list;
        IniReadList(ini, section, list, false);
        IniReadList(ini, section, list, true);
    }
    IniSectionCache().Clear();
    return 0;
}
