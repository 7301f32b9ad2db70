#include "client/snapshot/ldif_loader.h"

#include "client/ascii_fold.h"
#include "client/client_text.h"
#include "client/schema_map.h"
#include "client/time_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <map>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace era {

namespace {

constexpr NWObjectID FirstAssignedID = 0x00008001;   // where IDs start for records without localEntryID

// Attributes the loader reads for the object itself, besides keeping their values.
enum class TRole : uint8_t { Plain, ObjectClass, StructuralClass, LocalEntryID, CreateTime, ModifyTime };

struct TTypeInfo {
    uint32_t Attribute = NoAttribute;
    uint32_t Syntax = SynCiString;
    TRole Role = TRole::Plain;
};

// A name value waiting for every object of the file to be known: an entry not met yet, or an
// ACL subject before the file has named the attribute "ACL" (under which every ACL is indexed).
struct TPendingName {
    TStoredValue* Value = nullptr;   // in the tree's store, once the record is complete
    uint32_t Object;
    uint32_t Slot;     // index into the record's attributes
    uint32_t Index;    // index into the attribute's values
    uint32_t Syntax;   // of the attribute
    std::string Key;   // a name not met yet: its NameKey
    bool Plain = false;   // a plain DN not met yet: the value holds the DN as the file wrote it
};

// An entry whose container comes later in the file.
struct TPendingParent {
    uint32_t Object;
    std::string Key;
};

// Whether the value of a "name:: value" line is base64 as LDIF writes it: groups of four of the
// alphabet, the last one padded with "=", spaces around them. It is checked on the line as the
// file wrote it, so a folded base64 value is refused too.
bool ValidBase64(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
    if (text.size() % 4 != 0) return false;
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    for (size_t i = 0; i + padding < text.size(); ++i) {
        const char c = text[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/'))
            return false;
    }
    return true;
}

// The UTF-8 byte-order mark some editors put before the first line.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// What each byte can be in a plain DN: a type's character (letters, digits and "-"), a value's
// (those and "_" and "@"; "." is escaped apart), and the byte folded.
struct TPlainBytes {
    static constexpr uint8_t Type = 1, Value = 2;
    uint8_t Kind[256] = {};
    char Folded[256] = {};
};

constexpr TPlainBytes MakePlainBytes() {
    TPlainBytes table;
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        table.Folded[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        const bool type = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (type) table.Kind[i] = TPlainBytes::Type | TPlainBytes::Value;
        else if (c == '_' || c == '@') table.Kind[i] = TPlainBytes::Value;
    }
    return table;
}

constexpr TPlainBytes PlainBytes = MakePlainBytes();

// The NameKey of a DN whose parts are all plain ("cn=a,ou=b.c,o=d": a type of letters, digits
// and "-" that starts with a letter, a value of letters, digits, "-", "_", "@" and "."), none of
// them of type "t": the name values of an export nearly all are. Empty for any other DN, which
// is read in full.
// Written into key, whose room is kept from call to call.
std::string_view PlainNameKey(std::string_view dn, std::string& key) {
    const auto kind = [](char c) { return PlainBytes.Kind[static_cast<unsigned char>(c)]; };
    if (key.size() < 2 * dn.size()) key.resize(2 * dn.size());   // room for every character escaped
    char* out = key.data();
    size_t at = 0;
    while (at < dn.size()) {
        const size_t typeStart = at;
        while (at < dn.size() && (kind(dn[at]) & TPlainBytes::Type)) ++at;
        if (at == typeStart || at >= dn.size() || dn[at] != '=') return {};
        const char first = FoldAsciiChar(dn[typeStart]);
        if (first < 'a' || first > 'z' || (at - typeStart == 1 && first == 't')) return {};
        if (typeStart) *out++ = '.';
        const size_t valueStart = ++at;
        for (; at < dn.size(); ++at) {
            const char c = dn[at];
            if (c == ',') break;
            if (c == '.') {
                *out++ = '\\';
                *out++ = '.';
                continue;
            }
            if (!(kind(c) & TPlainBytes::Value)) return {};
            *out++ = PlainBytes.Folded[static_cast<unsigned char>(c)];
        }
        if (at == valueStart) return {};
        if (at < dn.size() && ++at == dn.size()) return {};   // a "," ending the DN
    }
    return std::string_view(key.data(), static_cast<size_t>(out - key.data()));
}

// The bytes of a file: mapped when the system can, read otherwise.
class TFileBytes {
public:
    TFileBytes() = default;
    ~TFileBytes() {
        if (mapped_) ::munmap(mapped_, size_);
    }
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;

    // Gives 0, or the errno of the failure.
    int Open(const std::string& file) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno ? errno : EIO;
        struct stat info{};
        int result = 0;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            size_ = static_cast<size_t>(info.st_size);
            void* at = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (at != MAP_FAILED) {
                mapped_ = static_cast<char*>(at);
                ::madvise(mapped_, size_, MADV_SEQUENTIAL);
            }
        }
        if (!mapped_) {
            size_ = 0;
            result = ReadAll(fd);
        }
        ::close(fd);
        return result;
    }

    std::string_view View() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(read_); }

    // The pages before at are read and not needed for a while: the memory they take is given
    // back (read again from the file if they are needed after all).
    void Release(const char* at) {
        if (!mapped_ || at < mapped_ || at > mapped_ + size_) return;
        const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        const size_t end = static_cast<size_t>(at - mapped_) / page * page;
        if (end > released_) ::madvise(mapped_ + released_, end - released_, MADV_DONTNEED);
        released_ = std::max(released_, end);
    }

private:
    int ReadAll(int fd) {
        char piece[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, piece, sizeof piece);
            if (got == 0) return 0;
            if (got < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            read_.append(piece, static_cast<size_t>(got));
        }
    }

    char* mapped_ = nullptr;
    size_t size_ = 0;
    size_t released_ = 0;
    std::string read_;
};

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One line of a record as LDIF reads it: a folded line is put together, each fold ("\n ") kept
// as two carriage returns, which the value drops with every other carriage return it holds.
struct TRecordLine {
    std::string_view Text;
    unsigned long Number;   // the file's line on which it starts
    bool Folded = false;    // put together from several
};

// Splits an LDIF file into records of lines. Records are separated by empty lines; a line that
// starts with a space continues the one before; comment lines ("#", folded too) are left out.
// Before a record's first line, a comment block ended by an empty line is dropped, and a line
// starting with a digit is an old export's record number, which is skipped. Line numbers count
// the line feeds; a carriage return before one is dropped.
class TLdifRecords {
public:
    // data: the file after its byte-order mark, if it has one.
    TLdifRecords(std::string_view data, bool byteOrderMark) : data_(data), byteOrderMark_(byteOrderMark) {}

    // The next record's lines; false at the end of the file. A record may hold no lines at all
    // (a record number alone: then Empty()), or comments alone.
    bool Next(std::vector<TRecordLine>& lines) {
        lines.clear();
        physical_.clear();
        bool found = false, topComment = false;
        size_t bytes = 0;
        while (at_ < data_.size()) {
            const std::string_view line = TakeLine();
            const unsigned long number = ++number_;
            if (Foreign(line, number)) return false;
            if (line.empty()) {
                if (found) break;
                physical_.clear();
                bytes = 0;
                topComment = false;
                continue;
            }
            if (!found) {
                if (line[0] == '#') {
                    topComment = true;
                } else if (!(topComment && line[0] == ' ')) {
                    found = true;
                    if (line[0] >= '0' && line[0] <= '9') continue;
                    if (line.size() >= 8 && EqualsFolded(line.substr(0, 8), "include:")) {
                        refused_ = true;
                        return false;
                    }
                }
            }
            physical_.push_back({line, number, false});
            bytes += line.size() + 2;
        }
        if (!found) return false;
        Join(lines, bytes);
        return true;
    }

    bool Empty() const { return physical_.empty(); }
    // Where the next record starts: nothing before it is looked at again.
    const char* Position() const { return data_.data() + at_; }
    // Whether reading stopped at a line the loader refuses (see TLoader::RefuseForeignForms).
    bool Refused() const { return refused_; }

private:
    // The next physical line, without its line feed and the carriage return before it.
    std::string_view TakeLine() {
        const char* start = data_.data() + at_;
        const size_t left = data_.size() - at_;
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', left));
        if (!feed) {
            // The last line, without a line feed: a carriage return before its last character
            // ends it there.
            at_ = data_.size();
            return {start, left >= 2 && start[left - 2] == '\r' ? left - 2 : left};
        }
        size_t size = static_cast<size_t>(feed - start);
        at_ += size + 1;
        if (size > 0 && start[size - 1] == '\r') --size;
        return {start, size};
    }

    // An "include:" line anywhere, or a line starting a record with a digit, of the file as it
    // is (the first line with its byte-order mark).
    bool Foreign(std::string_view line, unsigned long number) {
        if (number == 1 && byteOrderMark_) {
            recordStart_ = false;
            return false;
        }
        if (line.empty()) {
            recordStart_ = true;
            return false;
        }
        const char first = line[0];
        if ((first == 'i' || first == 'I') && line.size() >= 8 && EqualsFolded(line.substr(0, 8), "include:"))
            refused_ = true;
        else if (first != '#' && first != ' ') {
            if (recordStart_ && first >= '0' && first <= '9') refused_ = true;
            recordStart_ = false;
        }
        return refused_;
    }

    // Puts folded lines together and leaves comments out. A line that needs no change stays a
    // view into the file; the others are written into joined_, made large enough first so that
    // nothing written there moves.
    void Join(std::vector<TRecordLine>& lines, size_t bytes) {
        joined_.clear();
        joined_.reserve(bytes);
        // A line of a carriage return alone ends what is read of the record (the rest is no part
        // of it), unless it is the record's first line.
        size_t count = physical_.size();
        for (size_t i = 1; i < count; ++i)
            if (physical_[i].Text == "\r") count = i;
        for (size_t i = 0; i < count;) {
            size_t end = i + 1;
            while (end < count && physical_[end].Text[0] == ' ') ++end;
            TRecordLine line = physical_[i];
            if (end > i + 1) {
                const size_t offset = joined_.size();
                joined_.append(line.Text);
                for (size_t k = i + 1; k < end; ++k) joined_.append("\r\r").append(physical_[k].Text.substr(1));
                line.Text = std::string_view(joined_).substr(offset);
                line.Folded = true;
            }
            i = end;
            if (line.Text[0] != '#') lines.push_back(line);
        }
    }

    std::string_view data_;
    bool byteOrderMark_;
    bool recordStart_ = true;
    bool refused_ = false;
    size_t at_ = 0;
    unsigned long number_ = 0;
    std::vector<TRecordLine> physical_;
    std::string joined_;
};

// The value of a "name:: value" line, decoded into out: groups of four (checked before) up to
// the first one with padding. False where the line must be refused: no value, or text after
// the last group (spaces after a group without padding).
bool DecodeBase64(std::string_view text, std::string& out) {
    auto nibble = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        if (c == '=') return 0;
        return -1;
    };
    out.clear();
    if (text.empty()) return false;
    for (size_t at = 0; at < text.size(); at += 4) {
        if (text.size() - at < 4) return false;
        int n[4];
        for (int i = 0; i < 4; ++i)
            if ((n[i] = nibble(text[at + static_cast<size_t>(i)])) < 0) return false;
        out.push_back(static_cast<char>((n[0] << 2) | (n[1] >> 4)));
        if (text[at + 2] == '=') break;
        out.push_back(static_cast<char>(((n[1] & 0xF) << 4) | (n[2] >> 2)));
        if (text[at + 3] == '=') break;
        out.push_back(static_cast<char>(((n[2] & 0x3) << 6) | n[3]));
    }
    return true;
}

// Splits a record line into its name and value as LDIF reads them: white space before the name,
// around the colon and before the value is skipped; a base64 value is decoded into scratch, and
// carriage returns (folds among them) are dropped from any other. False for a line that is no
// attribute line. colon: where the line's first colon is; carriageReturns: whether the line may
// hold any (folds, or a file that holds some), which are dropped.
bool SplitLine(std::string_view line, size_t colon, bool carriageReturns, std::string_view& name,
               std::string_view& value, std::string& nameScratch, std::string& scratch) {
    if (colon == std::string_view::npos) return false;
    size_t start = 0;
    while (start < line.size() && IsCSpace(line[start])) ++start;
    name = line.substr(start, colon - start);
    // White space between the name and the colon is blanked out with zero bytes, not cut off:
    // such a name is none of the known ones.
    if (colon > start + 1 && IsCSpace(line[colon - 1])) {
        nameScratch.assign(name);
        for (size_t at = nameScratch.size() - 1; at > 0 && IsCSpace(nameScratch[at]); --at) nameScratch[at] = '\0';
        name = nameScratch;
    }
    size_t at = colon + 1;
    const bool base64 = at < line.size() && line[at] == ':';
    if (base64) ++at;
    while (at < line.size() && IsCSpace(line[at])) ++at;
    value = line.substr(at);
    if (carriageReturns && value.find('\r') != std::string_view::npos) {
        std::string kept;
        for (char c : value)
            if (c != '\r') kept.push_back(c);
        scratch = std::move(kept);
        value = scratch;
    }
    if (!base64) return true;
    std::string decoded;
    if (!DecodeBase64(value, decoded)) return false;
    scratch = std::move(decoded);
    value = scratch;
    return true;
}

// A time stamp: a time, optionally followed by "#replica#event" (the two packed into number2).
// nullptr when it reads, else what was expected.
const char* ParseTimeStamp(std::string_view text, uint32_t& seconds, uint32_t& number2) {
    size_t hash = text.find('#');
    if (!ParseGeneralizedTime(text.substr(0, hash), seconds)) return "a time such as 20090901080000Z";
    if (hash == std::string_view::npos) return nullptr;
    std::string_view rest = text.substr(hash + 1);
    size_t second = rest.find('#');
    uint32_t replica = 0, event = 0;
    if (second == std::string_view::npos || !ParseUnsigned(rest.substr(0, second), replica) ||
        !ParseUnsigned(rest.substr(second + 1), event) || replica > 0xFFFF || event > 0xFFFF)
        return "a time stamp time#replica#event";
    number2 = (replica << 16) | event;
    return nullptr;
}

class TLoader {
public:
    TLoader(const std::string& file, const std::string& treeName)
        : file_(file), treeName_(treeName), tree_(std::make_unique<TSnapshotTree>(treeName)) {
        tree_->SetSourceFile(file);
    }

    std::unique_ptr<TSnapshotTree> Run(std::string& error) {
        if (!ReadFile()) {
            error = error_;
            return nullptr;
        }
        tree_->FinishIndexes();
        return std::move(tree_);
    }

private:
    bool Fail(unsigned long line, const std::string& what) {
        error_ = file_;
        if (line) error_.append(":").append(std::to_string(line));
        error_.append(": ").append(what);
        return false;
    }

    // Lines the reader of the LDIF library treats in ways of its own are refused before it sees
    // the file. It opens whatever an "include:" line names and goes on reading it within the same
    // record, so one such line could make it read any file of the machine (or /dev/zero, without
    // end). And it takes a line that starts a record with a digit for a record number of an old
    // export format and skips it, handing back no record at all when nothing follows.
    // Lines an LDIF reader could take in ways of their own are refused: an "include:" line, which
    // would have it read another file (any file of the machine, or /dev/zero without end) within
    // the same record, and a line that starts a record with a digit, an old export format's
    // record number. The first of them in the file is what a file holding one is refused for.
    bool RefuseForeignForms(std::string_view data) {
        bool recordStart = true;
        unsigned long number = 0;
        while (!data.empty()) {
            size_t end = data.find('\n');
            std::string_view line = data.substr(0, end);
            data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.size() >= 8 && EqualsFolded(line.substr(0, 8), "include:"))
                return Fail(number, "\"include:\" lines are not followed; export the tree into one file");
            if (line.empty()) {
                recordStart = true;
            } else if (line[0] != '#' && line[0] != ' ') {
                if (recordStart && line[0] >= '0' && line[0] <= '9')
                    return Fail(number, "expected the record to begin with \"dn:\"");
                recordStart = false;
            }
        }
        return true;
    }

    // Reads the file and links what it names. A file that fails for any reason, and holds a line
    // of those RefuseForeignForms refuses, is refused for the first such line.
    bool ReadFile() {
        std::error_code kindError;
        const auto kind = std::filesystem::status(file_, kindError).type();
        if (kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::not_found &&
            !kindError)
            return Fail(0, "expected an LDIF file, found a folder or a device");
        TFileBytes bytes;
        if (const int failure = bytes.Open(file_))
            return Fail(0, std::string("cannot open the LDIF file (") + std::strerror(failure) + ")");
        const std::string_view data = bytes.View();
        std::string withoutZeros;
        if (std::memchr(data.data(), '\0', data.size()) != nullptr) {
            if (!RefuseForeignForms(data)) return false;
            withoutZeros = WithoutZeroBytes(data);
        }
        if (ReadRecords(withoutZeros.empty() ? data : std::string_view(withoutZeros), bytes) && Link()) return true;
        const std::string error = error_;
        if (!RefuseForeignForms(data)) return false;
        error_ = error;
        return false;
    }

    // A zero byte ends the text of its line: what follows it on that line, and the line feed,
    // are dropped, so the next line goes on where the zero byte stood. Unless a carriage return
    // comes just before the last character left: then the line ends at the carriage return.
    static std::string WithoutZeroBytes(std::string_view data) {
        std::string kept;
        kept.reserve(data.size());
        while (!data.empty()) {
            const size_t zero = data.find('\0');
            const std::string_view before = data.substr(0, zero);
            kept.append(before);
            if (zero == std::string_view::npos) break;
            const size_t lineStart = before.rfind('\n') + 1;   // npos + 1: the piece starts the data
            if (zero - lineStart >= 2 && before[zero - 2] == '\r') {
                kept.resize(kept.size() - 2);
                kept.push_back('\n');
            }
            const size_t feed = data.find('\n', zero);
            data.remove_prefix(feed == std::string_view::npos ? data.size() : feed + 1);
        }
        return kept;
    }

    bool ReadRecords(std::string_view data, TFileBytes& bytes) {
        // A byte-order mark some editors put before the first line is no part of its name.
        const bool byteOrderMark = data.starts_with(ByteOrderMark);
        if (byteOrderMark) data.remove_prefix(ByteOrderMark.size());
        // A record of an export takes a few hundred bytes; room made early saves moving it all later.
        tree_->Reserve(std::min<size_t>(data.size() / 256, 50'000'000));
        carriageReturns_ = std::memchr(data.data(), '\r', data.size()) != nullptr;
        TLdifRecords records(data, byteOrderMark);
        constexpr std::ptrdiff_t ReleaseStep = 4 << 20;
        const char* released = data.data();
        std::vector<TRecordLine> lines;
        bool first = true;
        while (records.Next(lines)) {
            if (records.Empty()) continue;   // a record number alone
            if (!Record(lines, first)) return false;
            first = false;
            // What the tree keeps of a record is in its own store: the file read so far is
            // given back in pieces, so that it and the tree do not take memory side by side.
            if (records.Position() - released > ReleaseStep) {
                released = records.Position();
                bytes.Release(released);
            }
        }
        if (records.Refused()) return Fail(0, "a line of a form that is not read");   // said by RefuseForeignForms
        if (tree_->Objects().size() == 1 && tree_->Objects()[RootObject].Line == 0)
            return Fail(0, "the file holds no entries");
        return true;
    }

    // The DN library reads past a text's end: the text it gets ends with a zero byte.
    bool SplitDn(std::string_view dn, TNameParts& parts, std::string& why) {
        dnScratch_.assign(dn);
        return LdapDnToParts(dnScratch_, parts, why);
    }

    // Drops a trailing "t=<this tree>" part: some exports name the tree root in every DN.
    void StripTreeSuffix(TNameParts& parts) const {
        if (!parts.empty() && EqualsFolded(parts.back().Type, "t") && EqualsFolded(parts.back().Value, treeName_))
            parts.pop_back();
    }

    bool Record(const std::vector<TRecordLine>& lines, bool firstRecord) {
        bool haveDn = false;
        uint32_t object = NoObject;
        unsigned long dnLine = 0;
        TStoredText firstClass, structuralClass;
        recordAttributes_.clear();
        for (const TRecordLine& recordLine : lines) {
            const std::string_view line = recordLine.Text;
            const unsigned long lineNo = recordLine.Number;
            const size_t colon = line.find(':');
            if (colon != std::string_view::npos && colon + 1 < line.size() && line[colon + 1] == '<')
                return Fail(lineNo, "values given by URL (\":<\") are not read; put the value into the file");
            if (colon != std::string_view::npos && colon + 1 < line.size() && line[colon + 1] == ':' &&
                !ValidBase64(line.substr(colon + 2)))
                return Fail(lineNo, "the value of \"" + std::string(line.substr(0, colon)) +
                                        "\" is no valid base64 (expected groups of four of A-Z, a-z, 0-9, \"+\" "
                                        "and \"/\", the last one padded with \"=\")");
            std::string_view name, text;
            if (!SplitLine(line, colon, carriageReturns_ || recordLine.Folded, name, text, nameScratch_, valueScratch_))
                return Fail(lineNo, "expected an attribute line \"name: value\" or \"name:: base64 value\"");
            if (!haveDn) {
                if (firstRecord && EqualsFolded(name, "version")) {
                    if (text != "1") return Fail(lineNo, "expected \"version: 1\"");
                    continue;
                }
                if (!EqualsFolded(name, "dn")) return Fail(lineNo, "expected the record to begin with \"dn:\"");
                if (!StartObject(text, lineNo, object)) return false;
                haveDn = true;
                dnLine = lineNo;
                continue;
            }
            if (EqualsFolded(name, "changetype")) {
                if (!EqualsFolded(text, "add"))
                    return Fail(lineNo, "expected an entry; change records other than \"changetype: add\" are not read");
                continue;
            }
            if (EqualsFolded(name, "control") || EqualsFolded(name, "dn"))
                return Fail(lineNo, "expected an attribute of the entry; records are separated by an empty line");
            if (!AddValue(object, name, text, lineNo, firstClass, structuralClass)) return false;
        }
        if (!haveDn) return true;   // the version line or comments alone
        StoreRecord(object);
        TSnapshotObject& entry = tree_->MutableObjects()[object];
        if (object == RootObject) {
            entry.BaseClass = "Tree Root";
        } else {
            entry.BaseClass = !structuralClass.empty() ? structuralClass : firstClass;
            if (entry.BaseClass.empty()) return Fail(dnLine, "expected an \"objectClass\" line in the entry");
        }
        entry.Container = IsContainerClass(entry.BaseClass);
        return true;
    }

    // Moves the record's values into the tree's store, each attribute's side by side. Lists of
    // classes repeat from entry to entry: each distinct one is stored once.
    void StoreRecord(uint32_t object) {
        const size_t count = recordAttributes_.size();
        if (count == 0) return;
        TStoredAttribute* attributes = tree_->NewAttributes(count);
        slotValues_.assign(count, nullptr);
        for (size_t slot = 0; slot < count; ++slot) {
            const auto& values = recordValues_[slot];
            attributes[slot].Attribute = recordAttributes_[slot];
            if (recordAttributes_[slot] == classAttribute_) {
                classKey_.clear();
                for (const auto& value : values) classKey_.push_back(value.Text.data());
                auto [it, added] = classLists_.try_emplace(classKey_);
                if (added) {
                    TStoredValue* stored = tree_->NewValues(values.size());
                    std::copy(values.begin(), values.end(), stored);
                    it->second = {stored, values.size()};
                }
                attributes[slot].Values = it->second;
                continue;
            }
            TStoredValue* stored = tree_->NewValues(values.size());
            std::copy(values.begin(), values.end(), stored);
            attributes[slot].Values = {stored, values.size()};
            slotValues_[slot] = stored;
        }
        for (size_t i = recordPending_; i < pending_.size(); ++i)
            pending_[i].Value = slotValues_[pending_[i].Slot] + pending_[i].Index;
        recordPending_ = pending_.size();
        tree_->MutableObjects()[object].Attributes = {attributes, count};
    }

    bool StartObject(std::string_view dn, unsigned long lineNo, uint32_t& object) {
        // Nearly every DN of an export is plain: its key and naming part are read off its text.
        std::string otherKey;
        std::string_view key = PlainNameKey(dn, keyScratch_);
        TNamePart rdn;
        bool hasParent = false;
        if (!key.empty()) {
            const size_t equals = dn.find('=');
            const size_t comma = dn.find(',', equals);
            rdn.Type = RdnType(dn.substr(0, equals));
            rdn.Value.assign(dn.substr(equals + 1, comma == std::string_view::npos ? comma : comma - equals - 1));
            hasParent = comma != std::string_view::npos;
        } else if (!StartOtherObject(dn, lineNo, object, otherKey, rdn, hasParent)) {
            return false;
        } else if (object == RootObject) {
            return true;
        } else {
            key = otherKey;
        }
        auto& objects = tree_->MutableObjects();
        object = static_cast<uint32_t>(objects.size());
        if (!tree_->IndexName(key, object)) {
            uint32_t other = tree_->FindObjectByKey(key);
            return Fail(lineNo, "the entry \"" + std::string(dn) + "\" is already in the file (line " +
                                    std::to_string(objects[other].Line) + ")");
        }
        // The parent's key is the entry's own without its first part (NameKey escapes the dots
        // inside values, so the first part ends where that part's escaped value ends).
        size_t ownPart = 0;
        for (char c : rdn.Value) ownPart += (c == '.' || c == '\\') ? 2 : 1;
        const std::string_view parentKey = hasParent ? key.substr(ownPart + 1) : std::string_view();
        TSnapshotObject entry;
        entry.Rdn = std::move(rdn);
        entry.Line = static_cast<uint32_t>(lineNo);
        // Containers mostly come before what they hold; the others are looked up once the whole
        // file is read.
        if (parentKey != lastParentKey_ || lastParent_ == NoObject) {
            lastParent_ = tree_->FindObjectByKey(parentKey);
            lastParentKey_ = parentKey;
        }
        entry.Parent = lastParent_;
        if (entry.Parent == NoObject) pendingParents_.push_back({object, std::string(parentKey)});
        objects.push_back(std::move(entry));
        return true;
    }

    // A DN that is not plain: split in full. The tree root's record is taken here (object is
    // RootObject); for any other, its key, naming part and whether it has a container.
    bool StartOtherObject(std::string_view dn, unsigned long lineNo, uint32_t& object, std::string& key,
                          TNamePart& rdn, bool& hasParent) {
        TNameParts parts;
        std::string why;
        if (!SplitDn(dn, parts, why)) return Fail(lineNo, "expected a DN after \"dn:\": " + why);
        if (parts.size() == 1 && EqualsFolded(parts[0].Type, "t")) {
            if (!EqualsFolded(parts[0].Value, treeName_))
                return Fail(lineNo, "the entry names the tree \"" + parts[0].Value +
                                        "\", but the workstation loads this file as tree \"" + treeName_ + "\"");
            auto& root = tree_->MutableObjects()[RootObject];
            if (root.Line != 0)
                return Fail(lineNo, "the tree root is already in the file (line " + std::to_string(root.Line) + ")");
            root.Line = static_cast<uint32_t>(lineNo);
            object = RootObject;
            return true;
        }
        StripTreeSuffix(parts);
        if (parts.empty()) return Fail(lineNo, "expected the DN of an entry; the empty DN names no entry");
        key = NameKey(parts);
        hasParent = parts.size() > 1;
        rdn = std::move(parts.front());
        object = NoObject;
        return true;
    }

    // The directory name of a naming type as a plain DN spells it ("cn": "CN").
    const std::string& RdnType(std::string_view spelling) {
        for (const auto& [known, name] : rdnTypes_)
            if (known == spelling) return name;
        if (rdnTypes_.size() >= 16) rdnTypes_.erase(rdnTypes_.begin());
        rdnTypes_.emplace_back(std::string(spelling), DirectoryAttributeName(spelling));
        return rdnTypes_.back().second;
    }

    const TTypeInfo& TypeInfo(std::string_view ldapName) {
        // Records repeat the same few spellings line after line: those are found without hashing.
        // In the order they were met, so the line after a match is mostly the next one.
        for (size_t i = 0, n = recentTypes_.size(); i < n; ++i) {
            const size_t at = (recentNext_ + i) % n;
            if (recentTypes_[at].first == ldapName) {
                recentNext_ = at + 1;
                return *recentTypes_[at].second;
            }
        }
        const TTypeInfo& info = FindTypeInfo(ldapName);
        if (recentTypes_.size() >= 16) recentTypes_.erase(recentTypes_.begin());
        recentTypes_.emplace_back(std::string(ldapName), &info);   // map nodes stay where they are
        return info;
    }

    const TTypeInfo& FindTypeInfo(std::string_view ldapName) {
        auto it = types_.find(ldapName);
        if (it != types_.end()) return it->second;
        std::string directoryName = DirectoryAttributeName(ldapName);
        TTypeInfo info;
        info.Syntax = DirectoryAttributeSyntax(directoryName);
        info.Attribute = tree_->InternAttribute(directoryName, ldapName, info.Syntax);
        // The tree keeps the syntax of the name it met first under that directory name.
        info.Syntax = tree_->Attributes()[info.Attribute].Syntax;
        const std::string& canonical = tree_->Attributes()[info.Attribute].Name;
        if (canonical == "Object Class") {
            info.Role = TRole::ObjectClass;
            classAttribute_ = info.Attribute;
        }
        else if (canonical == "structuralObjectClass") info.Role = TRole::StructuralClass;
        else if (canonical == "localEntryID") info.Role = TRole::LocalEntryID;
        else if (canonical == "createTimestamp") info.Role = TRole::CreateTime;
        else if (canonical == "modifyTimestamp") info.Role = TRole::ModifyTime;
        return types_.emplace(std::string(ldapName), info).first->second;
    }

    TStoredText ClassName(std::string_view ldapName) {
        // Entries repeat the same few spellings: those are found without hashing.
        for (const auto& [spelling, known] : recentClasses_)
            if (spelling == ldapName) return known;
        auto it = classes_.find(ldapName);
        if (it == classes_.end())
            it = classes_.emplace(std::string(ldapName), tree_->InternText(DirectoryClassName(ldapName))).first;
        if (recentClasses_.size() >= 16) recentClasses_.erase(recentClasses_.begin());
        recentClasses_.emplace_back(std::string(ldapName), it->second);
        return it->second;
    }

    // The protected attribute of an ACL value: a bracketed name as it is, else its directory name.
    TStoredText ProtectedAttribute(std::string_view attribute) {
        auto it = protectedNames_.find(attribute);
        if (it == protectedNames_.end())
            it = protectedNames_
                     .emplace(std::string(attribute),
                              tree_->InternText(attribute.front() == '[' ? std::string(attribute)
                                                                         : DirectoryAttributeName(attribute)))
                     .first;
        return it->second;
    }

    // The attribute every ACL subject is indexed under, once the file has named it.
    uint32_t AclAttribute() {
        if (aclAttribute_ == NoAttribute) aclAttribute_ = tree_->FindAttribute("ACL");
        return aclAttribute_;
    }

    bool AddValue(uint32_t object, std::string_view ldapName, std::string_view text, unsigned long lineNo,
                  TStoredText& firstClass, TStoredText& structuralClass) {
        const TTypeInfo info = TypeInfo(ldapName);
        auto& objects = tree_->MutableObjects();
        auto& attributes = recordAttributes_;
        uint32_t slot = NoAttribute;
        if (!attributes.empty() && attributes.back() == info.Attribute) {
            slot = static_cast<uint32_t>(attributes.size() - 1);
        } else {
            for (size_t i = 0; i < attributes.size(); ++i)
                if (attributes[i] == info.Attribute) slot = static_cast<uint32_t>(i);
            if (slot == NoAttribute) {
                slot = static_cast<uint32_t>(attributes.size());
                attributes.push_back(info.Attribute);
                if (recordValues_.size() < attributes.size()) recordValues_.resize(attributes.size());
                recordValues_[slot].clear();
            }
        }
        TStoredValue value;
        uint32_t valueIndex = static_cast<uint32_t>(recordValues_[slot].size());
        switch (info.Role) {
        case TRole::ObjectClass:
            value.Text = ClassName(text);
            if (firstClass.empty()) firstClass = value.Text;
            break;
        case TRole::StructuralClass:
            value.Text = ClassName(text);
            structuralClass = value.Text;
            break;
        default:
            if (!Convert(info.Syntax, text, lineNo, object, slot, valueIndex, ldapName, value)) return false;
            break;
        }
        TSnapshotObject& entry = objects[object];
        switch (info.Role) {
        case TRole::LocalEntryID:
            if (!tree_->IndexID(value.Number, object)) {
                uint32_t other = tree_->FindObjectByID(value.Number);
                return Fail(lineNo, "localEntryID " + std::string(text) + " is already the ID of the entry at line " +
                                        std::to_string(objects[other].Line));
            }
            entry.ID = value.Number;
            hasID_.resize(objects.size());
            hasID_[object] = true;
            break;
        case TRole::CreateTime: entry.CreationTime = value.Number; break;
        case TRole::ModifyTime: entry.ModificationTime = value.Number; break;
        default: break;
        }
        recordValues_[slot].push_back(value);
        return true;
    }

    // A name value: a DN or a bracketed special name. DNs are resolved once every entry is known.
    bool ParseName(std::string_view text, unsigned long lineNo, uint32_t object, uint32_t slot, uint32_t valueIndex,
                   uint32_t syntax, std::string_view what, TStoredValue& value) {
        if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
            if (text == RootName) {
                value.Name = TNameRef::Object;
                value.Object = RootObject;
            } else {
                value.Name = TNameRef::Special;
                value.Text = tree_->InternText(text);
            }
            return IndexNameValue(object, slot, valueIndex, syntax, value);
        }
        // A name of an entry met before is known now; only the others wait for the whole file.
        if (const std::string_view plain = PlainNameKey(text, keyScratch_); !plain.empty()) {
            if (const uint32_t known = tree_->FindObjectByKey(plain); known != NoObject) {
                value.Name = TNameRef::Object;
                value.Object = known;
                return IndexNameValue(object, slot, valueIndex, syntax, value);
            }
            // Mostly an entry further down: its typed name is written only if none has it.
            value.Name = TNameRef::Dangling;
            value.Text = tree_->StoreText(text);
            pending_.push_back({nullptr, object, slot, valueIndex, syntax, std::string(), true});
            return true;
        }
        TNameParts parts;
        std::string why;
        if (!SplitDn(text, parts, why)) return Fail(lineNo, "expected " + std::string(what) + ": " + why);
        if (parts.size() == 1 && EqualsFolded(parts[0].Type, "t") && EqualsFolded(parts[0].Value, treeName_))
            parts.clear();
        StripTreeSuffix(parts);
        if (parts.empty() && !text.empty()) {
            value.Name = TNameRef::Object;
            value.Object = RootObject;
            return IndexNameValue(object, slot, valueIndex, syntax, value);
        }
        if (parts.empty()) return Fail(lineNo, "expected " + std::string(what) + ", found an empty value");
        std::string key = NameKey(parts);
        if (const uint32_t known = tree_->FindObjectByKey(key); known != NoObject) {
            value.Name = TNameRef::Object;
            value.Object = known;
            return IndexNameValue(object, slot, valueIndex, syntax, value);
        }
        value.Name = TNameRef::Dangling;
        value.Text = tree_->StoreText(WriteFullName(parts, true));
        pending_.push_back({nullptr, object, slot, valueIndex, syntax, std::move(key)});
        return true;
    }

    // The typed full name of a plain DN ("CN=a.O=b"), as a name of no entry is kept.
    std::string TypedName(std::string_view dn) const {
        TNameParts parts;
        std::string why;
        LdapDnToParts(dn, parts, why);   // a plain DN always splits
        return WriteFullName(parts, true);
    }

    // The search finds the holders of a name through the tree's indexes, whatever the name
    // stands for: an object, a bracketed name ("[Public]") or an object not in the file. A name
    // of the file's entries met before, or a bracketed one, is indexed at once.
    bool IndexNameValue(uint32_t object, uint32_t slot, uint32_t valueIndex, uint32_t syntax,
                        const TStoredValue& value) {
        if (syntax != SynDistName && syntax != SynObjectACL) return true;
        const uint32_t attribute = syntax == SynObjectACL ? AclAttribute() : recordAttributes_[slot];
        if (attribute == NoAttribute) {
            pending_.push_back({nullptr, object, slot, valueIndex, syntax, std::string()});
            return true;
        }
        if (value.Name == TNameRef::Special) tree_->IndexSpecialHolder(attribute, value.Text, object);
        else tree_->IndexHolder(attribute, value.Object, object);
        return true;
    }

    bool ParseAcl(std::string_view text, unsigned long lineNo, uint32_t object, uint32_t slot, uint32_t valueIndex,
                  TStoredValue& value) {
        const char* expected =
            "expected an ACL value of four parts, privileges#scope#subject#protected attribute "
            "(such as 16#subtree#cn=admin,o=acme#[Entry Rights])";
        size_t first = text.find('#');
        size_t second = first == std::string_view::npos ? first : text.find('#', first + 1);
        size_t last = text.rfind('#');
        if (second == std::string_view::npos || last <= second) return Fail(lineNo, expected);
        std::string_view privileges = text.substr(0, first);
        std::string_view scope = text.substr(first + 1, second - first - 1);
        std::string_view subject = text.substr(second + 1, last - second - 1);
        std::string_view attribute = text.substr(last + 1);
        uint32_t mask = 0;
        if (!ParseUnsigned(privileges, mask))
            return Fail(lineNo, "expected the ACL privileges as a number before the first \"#\", found \"" +
                                    std::string(privileges) + "\"");
        if (subject.empty() || attribute.empty()) return Fail(lineNo, expected);
        bool entryKind = attribute == EntryRightsAttr;
        bool inheritable;
        if (EqualsFolded(scope, "subtree")) inheritable = true;
        else if (EqualsFolded(scope, "entry")) inheritable = false;
        else return Fail(lineNo, "expected the ACL scope \"subtree\" or \"entry\", found \"" + std::string(scope) + "\"");
        // Bit 0x40 reads in opposite senses: set on an entry-rights assignment that is not
        // inherited, set on an attribute-rights assignment that is.
        mask &= ~0x40u;
        if (entryKind ? !inheritable : inheritable) mask |= 0x40u;
        value.Number = mask;
        value.Extra = ProtectedAttribute(attribute);
        return ParseName(subject, lineNo, object, slot, valueIndex, SynObjectACL, "the ACL subject as a DN", value);
    }

    // The values that hold a name with numbers or text around it.
    template <typename TExpected>
    bool ConvertNamed(uint32_t syntax, std::string_view text, unsigned long lineNo, uint32_t object, uint32_t slot,
                      uint32_t valueIndex, const TExpected& expected, TStoredValue& value) {
        switch (syntax) {
        case SynPath: {
            // volume DN#name space#path
            size_t first = text.find('#');
            size_t second = first == std::string_view::npos ? first : text.find('#', first + 1);
            if (second == std::string_view::npos || !ParseUnsigned(text.substr(first + 1, second - first - 1), value.Number))
                return expected("a path value volume#name space#path");
            value.Extra = tree_->StoreText(text.substr(second + 1));
            return ParseName(text.substr(0, first), lineNo, object, slot, valueIndex, syntax, "the volume as a DN", value);
        }
        case SynTypedName: {
            // DN#level#interval
            size_t last = text.rfind('#');
            size_t middle = last == std::string_view::npos || last == 0 ? std::string_view::npos : text.rfind('#', last - 1);
            if (middle == std::string_view::npos || !ParseUnsigned(text.substr(middle + 1, last - middle - 1), value.Number) ||
                !ParseUnsigned(text.substr(last + 1), value.Number2))
                return expected("a typed name DN#level#interval");
            return ParseName(text.substr(0, middle), lineNo, object, slot, valueIndex, syntax, "a DN", value);
        }
        case SynHold: {
            size_t last = text.rfind('#');
            if (last == std::string_view::npos || !ParseUnsigned(text.substr(last + 1), value.Number))
                return expected("a hold DN#amount");
            return ParseName(text.substr(0, last), lineNo, object, slot, valueIndex, syntax, "a DN", value);
        }
        case SynBackLink: {
            size_t hash = text.find('#');
            if (hash != std::string_view::npos && ParseUnsigned(text.substr(0, hash), value.Number))
                return ParseName(text.substr(hash + 1), lineNo, object, slot, valueIndex, syntax, "a DN", value);
            return ParseName(text, lineNo, object, slot, valueIndex, syntax, "a DN", value);
        }
        default: return false;
        }
    }

    bool Convert(uint32_t syntax, std::string_view text, unsigned long lineNo, uint32_t object, uint32_t slot,
                 uint32_t valueIndex, std::string_view ldapName, TStoredValue& value) {
        auto expected = [&](const std::string& what) {
            return Fail(lineNo, "expected " + what + " as the value of \"" + std::string(ldapName) + "\", found \"" +
                                    std::string(text.substr(0, 80)) + "\"");
        };
        switch (syntax) {
        case SynDistName:
            return ParseName(text, lineNo, object, slot, valueIndex, syntax, "a DN", value);
        case SynObjectACL:
            return ParseAcl(text, lineNo, object, slot, valueIndex, value);
        case SynBoolean:
            if (EqualsFolded(text, "TRUE")) value.Number = 1;
            else if (EqualsFolded(text, "FALSE")) value.Number = 0;
            else return expected("TRUE or FALSE");
            return true;
        case SynInteger:
        case SynCounter:
        case SynInterval:
            if (!ParseInteger(text, value.Number)) return expected("a whole number");
            return true;
        case SynTime:
            if (!ParseGeneralizedTime(text, value.Number)) return expected("a time such as 20090901080000Z");
            return true;
        case SynTimeStamp:
            if (const char* what = ParseTimeStamp(text, value.Number, value.Number2)) return expected(what);
            return true;
        case SynPath:
        case SynTypedName:
        case SynHold:
        case SynBackLink: return ConvertNamed(syntax, text, lineNo, object, slot, valueIndex, expected, value);
        case SynNetAddress: {
            size_t hash = text.find('#');
            if (hash == std::string_view::npos || !ParseUnsigned(text.substr(0, hash), value.Number))
                return expected("a network address type#address bytes");
            value.Text = tree_->StoreText(text.substr(hash + 1));
            return true;
        }
        case SynEMailAddress: {
            size_t hash = text.find('#');
            if (hash != std::string_view::npos && ParseUnsigned(text.substr(0, hash), value.Number))
                value.Text = tree_->StoreText(text.substr(hash + 1));
            else
                value.Text = tree_->StoreText(text);
            return true;
        }
        case SynReplicaPointer: {
            std::string server;
            ParseReplicaPointer(text, server, value.Number, value.Number2);
            value.Text = tree_->StoreText(server);
            return true;
        }
        default:
            value.Text = tree_->StoreText(text);
            return true;
        }
    }

    // Second pass: parents, name values, aliases and IDs, once every entry of the file is known.
    bool Link() {
        auto& objects = tree_->MutableObjects();
        for (const auto& pending : pendingParents_) {
            uint32_t parent = tree_->FindObjectByKey(pending.Key);
            if (parent == NoObject)
                return Fail(objects[pending.Object].Line,
                            "the container above this entry (\"" + pending.Key + "\") is not in the file");
            objects[pending.Object].Parent = parent;
        }
        pendingParents_.clear();
        pendingParents_.shrink_to_fit();
        // Children in file order, each list made to measure.
        std::vector<uint32_t> childCount(objects.size());
        for (uint32_t i = 1; i < objects.size(); ++i) ++childCount[objects[i].Parent];
        for (uint32_t i = 0; i < objects.size(); ++i) objects[i].Children.reserve(childCount[i]);
        childCount = {};
        for (uint32_t i = 1; i < objects.size(); ++i) objects[objects[i].Parent].Children.push_back(i);
        // Whatever holds other objects is a container, whatever its class.
        for (auto& object : objects)
            if (!object.Children.empty()) object.Container = true;

        const uint32_t aclAttribute = tree_->FindAttribute("ACL");
        for (auto& pending : pending_) {
            auto& value = *pending.Value;
            const bool indexed = pending.Syntax == SynDistName || pending.Syntax == SynObjectACL;
            const uint32_t indexAttribute = pending.Syntax == SynObjectACL
                                                ? aclAttribute
                                                : objects[pending.Object].Attributes[pending.Slot].Attribute;
            if (value.Name == TNameRef::Special) {
                if (indexed) tree_->IndexSpecialHolder(indexAttribute, value.Text, pending.Object);
                continue;
            }
            if (value.Name == TNameRef::Dangling) {
                uint32_t target = tree_->FindObjectByKey(pending.Plain ? PlainNameKey(value.Text, keyScratch_) : std::string_view(pending.Key));
                if (target == NoObject && pending.Plain) value.Text = tree_->StoreText(TypedName(value.Text));
                if (target == NoObject) {
                    // Keyed as the search reads the kept name back, so both agree on what is equal.
                    TResolvedName resolved;
                    if (indexed && ResolveInputName("." + value.Text, {}, resolved) == 0 && resolved.Special.empty())
                        tree_->IndexDanglingHolder(indexAttribute, NameKey(resolved.Parts), pending.Object);
                    continue;
                }
                value.Name = TNameRef::Object;
                value.Object = target;
                value.Text = {};
            }
            if (indexed) tree_->IndexHolder(indexAttribute, value.Object, pending.Object);
        }
        pending_.clear();
        pending_.shrink_to_fit();

        uint32_t aliasAttribute = tree_->FindAttribute("Aliased Object Name");
        for (uint32_t i = 0; i < objects.size(); ++i) {
            if (objects[i].BaseClass != "Alias") continue;
            const auto* target = tree_->AttributeOf(i, aliasAttribute);
            if (!target || target->Values.empty())
                return Fail(objects[i].Line, "expected an \"aliasedObjectName\" line in the alias entry");
            objects[i].AliasTarget = target->Values.front().Object;
        }

        hasID_.resize(objects.size());
        NWObjectID next = FirstAssignedID;
        for (uint32_t i = 0; i < objects.size(); ++i) {
            if (hasID_[i]) continue;
            while (tree_->FindObjectByID(next) != NoObject) ++next;
            objects[i].ID = next;
            tree_->IndexID(next, i);
        }
        return true;
    }

    std::string file_;
    std::string treeName_;
    std::unique_ptr<TSnapshotTree> tree_;
    std::string error_;
    std::string dnScratch_;
    bool carriageReturns_ = false;   // whether the file holds any
    std::string keyScratch_;   // the key of a plain DN
    std::vector<std::pair<std::string, std::string>> rdnTypes_;   // spellings of naming types met last
    std::string nameScratch_;    // a name with white space before its colon
    std::string valueScratch_;   // a value decoded or put together from a folded line
    std::vector<TPendingParent> pendingParents_;
    std::string lastParentKey_;   // siblings follow each other: their container is looked up once
    uint32_t lastParent_ = NoObject;
    std::vector<TPendingName> pending_;
    size_t recordPending_ = 0;   // pending_ from here on belong to the record being read
    std::vector<bool> hasID_;
    // The record being read: its attributes in the order it first names them, and their values.
    std::vector<uint32_t> recordAttributes_;
    std::vector<std::vector<TStoredValue>> recordValues_;
    std::vector<TStoredValue*> slotValues_;
    uint32_t classAttribute_ = NoAttribute;
    uint32_t aclAttribute_ = NoAttribute;
    std::vector<const char*> classKey_;
    std::map<std::vector<const char*>, std::span<const TStoredValue>> classLists_;
    std::unordered_map<std::string, TTypeInfo, TFoldedHash, TFoldedEqual> types_;
    std::vector<std::pair<std::string, const TTypeInfo*>> recentTypes_;   // exact spellings met last
    size_t recentNext_ = 0;
    std::unordered_map<std::string, TStoredText, TFoldedHash, TFoldedEqual> classes_;
    std::vector<std::pair<std::string, TStoredText>> recentClasses_;   // exact spellings met last
    std::map<std::string, TStoredText, std::less<>> protectedNames_;
};

} // namespace

std::unique_ptr<TSnapshotTree> LoadLdifTree(const std::string& file, const std::string& treeName, std::string& error) {
    error.clear();
    TLoader loader(file, treeName);
    return loader.Run(error);
}

} // namespace era
