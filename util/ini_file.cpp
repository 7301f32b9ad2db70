#include "util/ini_file.h"

#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace era {

namespace {

// Marks a value written in escaped form; a plain value never begins with it (one that would is
// escaped itself).
constexpr std::string_view EscapeMarker = "%ESC%";

bool SameName(const std::string& a, const std::string& b) { return TextEquals(a, b); }

// Blanks and tabs only: an escaped value keeps the line breaks at its ends.
std::string TrimSpaces(std::string_view s) { return TrimRightChars(TrimLeftChars(s, " \t"), " \t"); }

bool NeedsEscape(const std::string& value) {
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return true;
    return TrimSpaces(value).starts_with(EscapeMarker);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexDigit(text[i + 1]);
            int lo = HexDigit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::optional<int> ParseInteger(const std::string& text) {
    std::string t = TrimSpaces(text);
    if (t.empty()) return std::nullopt;
    bool negative = false;
    size_t pos = 0;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        pos = 1;
    }
    int base = 10;
    if (t.size() > pos + 2 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= t.size()) return std::nullopt;
    long long value = 0;
    auto [end, ec] = std::from_chars(t.data() + pos, t.data() + t.size(), value, base);
    if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    if (negative) value = -value;
    // Hexadecimal texts name bit patterns: 0xFFFFFFFF reads as -1, as a 32-bit store would.
    if (base == 16 && !negative && value > INT32_MAX && value <= UINT32_MAX) value = static_cast<int32_t>(value);
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::string EncodeIniValue(const std::string& value) {
    if (!NeedsEscape(value)) return value;
    std::string out(EscapeMarker);
    for (char c : value) {
        if (c == '%' || c == '\r' || c == '\n' || c == '\0') {
            static const char* const Hex = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(Hex[(static_cast<unsigned char>(c) >> 4) & 0xF]);
            out.push_back(Hex[static_cast<unsigned char>(c) & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string DecodeIniValue(const std::string& raw) {
    std::string t = TrimSpaces(raw);
    if (t.starts_with(EscapeMarker)) t = TrimSpaces(Unescape(std::string_view(t).substr(EscapeMarker.size())));
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        t = t.substr(1, t.size() - 2);
    return t;
}

// ---------------------------------------------------------------------------------------------
// TIniDocument

void TIniDocument::Parse(const std::string& text) {
    Clear();
    std::vector<TLine>* target = &preamble_;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Every carriage return at the line's end goes, not only the one of a CR LF: a raw value
        // ending in one would lose it when the document is written and read back, and no value
        // this store writes ends in one (those are escaped).
        while (!line.empty() && line.back() == '\r') line.pop_back();

        std::string trimmed = TrimSpaces(line);
        size_t close = trimmed.find(']');
        if (!trimmed.empty() && trimmed[0] == '[' && close != std::string::npos) {
            sections_.emplace_back().Name = trimmed.substr(1, close - 1);
            target = &sections_.back().Lines;
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos && !trimmed.starts_with(";")) {
            target->push_back({TrimSpaces(line.substr(0, eq)), line.substr(eq + 1), true});
        } else {
            target->push_back({{}, line, false});
        }
    }
}

std::string TIniDocument::Render() const {
    std::string out;
    auto renderLines = [&out](const std::vector<TLine>& lines) {
        for (const auto& l : lines) {
            if (l.IsEntry) {
                out += l.Key;
                out += '=';
            }
            out += l.Raw;
            out += '\n';
        }
    };
    renderLines(preamble_);
    for (const auto& s : sections_) {
        out += '[';
        out += s.Name;
        out += "]\n";
        renderLines(s.Lines);
    }
    return out;
}

TIniDocument::TSection* TIniDocument::FindSection(const std::string& name) {
    for (auto& s : sections_)
        if (SameName(s.Name, name)) return &s;
    return nullptr;
}

const TIniDocument::TSection* TIniDocument::FindSection(const std::string& name) const {
    for (const auto& s : sections_)
        if (SameName(s.Name, name)) return &s;
    return nullptr;
}

const TIniDocument::TLine* TIniDocument::TSection::FindEntry(const std::string& key) const {
    if (!Indexed) {
        Index.clear();
        for (size_t i = 0; i < Lines.size(); ++i)
            if (Lines[i].IsEntry) Index.emplace(UpperCase(Lines[i].Key), i);   // the first entry of a key wins
        Indexed = true;
    }
    const auto found = Index.find(UpperCase(key));
    return found == Index.end() ? nullptr : &Lines[found->second];
}

const std::string* TIniDocument::Find(const std::string& section, const std::string& key) const {
    const TSection* s = FindSection(section);
    if (!s) return nullptr;
    const TLine* line = s->FindEntry(key);
    return line ? &line->Raw : nullptr;
}

void TIniDocument::Set(const std::string& section, const std::string& key, const std::string& rawValue) {
    TSection* s = FindSection(section);
    if (!s) {
        s = &sections_.emplace_back();
        s->Name = section;
    }
    if (const TLine* line = s->FindEntry(key)) {
        const_cast<TLine*>(line)->Raw = rawValue;
        return;
    }
    // New keys go behind the section's last entry, before any trailing blank lines.
    auto at = s->Lines.end();
    while (at != s->Lines.begin() && !std::prev(at)->IsEntry && TrimSpaces(std::prev(at)->Raw).empty()) --at;
    if (at == s->Lines.end())
        s->Index.emplace(UpperCase(key), s->Lines.size());
    else
        s->Indexed = false;   // the blank lines behind it move
    s->Lines.insert(at, {key, rawValue, true});
}

bool TIniDocument::DeleteKey(const std::string& section, const std::string& key) {
    TSection* s = FindSection(section);
    if (!s) return false;
    const TLine* line = s->FindEntry(key);
    if (!line) return false;
    s->Lines.erase(s->Lines.begin() + (line - s->Lines.data()));
    s->Indexed = false;
    return true;
}

bool TIniDocument::EraseSection(const std::string& section) {
    bool erased = false;
    for (auto it = sections_.begin(); it != sections_.end();) {
        if (SameName(it->Name, section)) {
            it = sections_.erase(it);
            erased = true;
        } else {
            ++it;
        }
    }
    return erased;
}

bool TIniDocument::HasSection(const std::string& section) const { return FindSection(section) != nullptr; }

std::vector<std::string> TIniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& s : sections_) names.push_back(s.Name);
    return names;
}

std::vector<std::pair<std::string, std::string>> TIniDocument::Entries(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    if (const TSection* s = FindSection(section))
        for (const auto& l : s->Lines)
            if (l.IsEntry) entries.emplace_back(l.Key, l.Raw);
    return entries;
}

void TIniDocument::Clear() {
    preamble_.clear();
    sections_.clear();
}

// ---------------------------------------------------------------------------------------------
// TCustomIniFile

std::string TCustomIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    const std::string* raw = Document().Find(section, key);
    return raw ? DecodeIniValue(*raw) : def;
}

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& key, int def) {
    const std::string* raw = Document().Find(section, key);
    if (!raw) return def;
    return ParseInteger(DecodeIniValue(*raw)).value_or(def);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key, bool def) {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

template <typename TChange>
void TCustomIniFile::Change(TChange change) {
    TIniDocument& doc = Document();
    if (updates_ > 0) {
        pending_ = change(doc) || pending_;
        return;
    }
    TIniDocument before = doc;
    if (!change(doc)) return;
    try {
        Commit();
    } catch (...) {
        doc = std::move(before);   // nothing half-applied: the store still shows the file's content
        throw;
    }
}

void TCustomIniFile::BeginUpdate() {
    if (updates_++ == 0) {
        beforeUpdate_ = Document();
        pending_ = false;
    }
}

void TCustomIniFile::EndUpdate() {
    if (updates_ == 0 || --updates_ > 0) return;
    TIniDocument before = std::move(beforeUpdate_);
    beforeUpdate_.Clear();
    if (!pending_) return;
    pending_ = false;
    try {
        Commit();
    } catch (...) {
        Document() = std::move(before);
        throw;
    }
}

TIniUpdate::~TIniUpdate() {
    if (!ini_) return;
    try {
        ini_->EndUpdate();
    } catch (...) {
        // Only an update that ends by an exception gets here; that exception is the one to pass on.
    }
}

void TIniUpdate::Finish() {
    TCustomIniFile* ini = ini_;
    ini_ = nullptr;
    ini->EndUpdate();
}

void TCustomIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    Change([&](TIniDocument& doc) {
        doc.Set(section, key, EncodeIniValue(value));
        return true;
    });
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TCustomIniFile::ReadSection(const std::string& section) {
    std::vector<std::string> keys;
    for (const auto& [key, raw] : Document().Entries(section)) keys.push_back(key);
    return keys;
}

std::vector<std::string> TCustomIniFile::ReadSectionValues(const std::string& section) {
    std::vector<std::string> lines;
    for (const auto& [key, raw] : Document().Entries(section)) lines.push_back(key + "=" + DecodeIniValue(raw));
    return lines;
}

std::vector<std::string> TCustomIniFile::ReadSections() { return Document().SectionNames(); }

bool TCustomIniFile::SectionExists(const std::string& section) { return Document().HasSection(section); }

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& key) {
    return Document().Find(section, key) != nullptr;
}

void TCustomIniFile::EraseSection(const std::string& section) {
    Change([&](TIniDocument& doc) { return doc.EraseSection(section); });
}

void TCustomIniFile::DeleteKey(const std::string& section, const std::string& key) {
    Change([&](TIniDocument& doc) { return doc.DeleteKey(section, key); });
}

void TCustomIniFile::Clear() {
    Change([&](TIniDocument& doc) {
        doc.Clear();
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

TIniDocument& TIniFile::Document() {
    struct stat st {};
    long long stamp[3] = {-1, -1, -1};
    if (::stat(fileName_.c_str(), &st) == 0) {
        stamp[0] = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        stamp[1] = static_cast<long long>(st.st_size);
        stamp[2] = static_cast<long long>(st.st_ino);
    }
    if (loaded_ && std::equal(stamp, stamp + 3, stamp_)) return document_;

    document_.Clear();
    // Only a regular file holds settings: a folder reads as empty, and a device such as /dev/zero
    // would never end.
    if (stamp[0] != -1 && S_ISREG(st.st_mode)) {
        std::ifstream in(fileName_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        document_.Parse(text.str());
    }
    std::copy(stamp, stamp + 3, stamp_);
    loaded_ = true;
    return document_;
}

void TIniFile::Commit() {
    namespace fs = std::filesystem;
    auto fail = [this](const std::string& what, int err) {
        throw EIniFileError("Cannot write \"" + fileName_ + "\": " + what + ": " + std::strerror(err));
    };

    // Write through a symbolic link to the file it names, so the link survives.
    std::error_code ec;
    fs::path target = fileName_;
    if (fs::is_symlink(target, ec)) target = fs::canonical(target, ec);
    fs::path folder = target.parent_path();
    if (!folder.empty() && !fs::exists(folder, ec)) fs::create_directories(folder, ec);

    // Keep the old file's permissions; a new file gets the usual ones (0666 less the umask).
    mode_t mode = 0;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    std::string temp = target.string() + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) fail("cannot create a temporary file beside it", errno);

    const std::string text = document_.Render();
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            fail("writing failed", err);
        }
        written += static_cast<size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        fail("writing failed", err);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail("writing failed", err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail("cannot replace the old file", err);
    }

    // Our own write is the file's content now: no need to read it again.
    if (::stat(fileName_.c_str(), &st) == 0) {
        stamp_[0] = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        stamp_[1] = static_cast<long long>(st.st_size);
        stamp_[2] = static_cast<long long>(st.st_ino);
    }
}

} // namespace era
