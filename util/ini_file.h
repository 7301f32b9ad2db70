#pragma once

// INI stores: the one format every setting, selection list and cache of the program lives in.
//
// Sections and keys are looked up ignoring letter case. A value read is the text behind the first
// "=", blanks trimmed and one pair of enclosing double or single quotes removed. Values holding a
// line break (or a NUL) are written in an escaped form that only this store produces, so they come
// back whole; every other value is written byte for byte as given.

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

// A store error: the file could not be written (full disk, read-only folder, ...).
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parsed content of one INI file, lines kept in file order.
class TIniDocument {
public:
    void Parse(const std::string& text);
    std::string Render() const;

    // The raw value text (behind the first "=") of a key, or nullptr.
    const std::string* Find(const std::string& section, const std::string& key) const;
    void Set(const std::string& section, const std::string& key, const std::string& rawValue);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool EraseSection(const std::string& section);
    bool HasSection(const std::string& section) const;
    std::vector<std::string> SectionNames() const;
    // The keys and raw values of a section in file order.
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;
    void Clear();

private:
    struct TLine {
        std::string Key;     // empty for lines that are not key=value (comments, blanks)
        std::string Raw;     // the value text behind "=", or the whole line when Key is empty
        bool IsEntry = false;
    };
    struct TSection {
        std::string Name;
        std::vector<TLine> Lines;
        // Upper-cased key -> the line of its first entry; built on the first lookup and dropped
        // when lines move, so reading or writing a key of a long section is no walk through it.
        mutable std::unordered_map<std::string, size_t> Index;
        mutable bool Indexed = false;
        const TLine* FindEntry(const std::string& key) const;
    };
    TSection* FindSection(const std::string& name);
    const TSection* FindSection(const std::string& name) const;

    std::vector<TLine> preamble_;   // lines before the first section
    std::vector<TSection> sections_;
};

// The store interface every reader and writer of settings works through.
class TCustomIniFile {
public:
    virtual ~TCustomIniFile() = default;

    // The file the store works on (empty for a store in memory).
    virtual std::string FileName() const = 0;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def);
    // Decimal, or hexadecimal after "0x"; anything else gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def);
    // True for any non-zero integer.
    bool ReadBool(const std::string& section, const std::string& key, bool def);

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // The key names of a section in file order.
    std::vector<std::string> ReadSection(const std::string& section);
    // The "key=value" lines of a section in file order, values read as ReadString reads them.
    std::vector<std::string> ReadSectionValues(const std::string& section);
    std::vector<std::string> ReadSections();
    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);
    // Erases every section at once.
    void Clear();
    // Writes what is pending to disk (every write is already there; kept for the callers' sake).
    virtual void UpdateFile() {}

    // Holds the writes back until the matching EndUpdate, which stores them at once: a list of
    // thousands of items becomes one write of the file, not thousands. Calls nest.
    void BeginUpdate();
    // Stores what was held back when the outermost update ends. When that fails, the store shows
    // the content it had at BeginUpdate again and EIniFileError is thrown.
    void EndUpdate();

protected:
    // The current content, brought up to date with the file first.
    virtual TIniDocument& Document() = 0;
    // Stores the document after a change; throws EIniFileError when that fails.
    virtual void Commit() = 0;

private:
    // Applies a change to the document and stores it (or holds it back during an update); a
    // failed store puts the document back as it was. The change says whether it changed anything.
    template <typename TChange>
    void Change(TChange change);

    int updates_ = 0;
    bool pending_ = false;
    TIniDocument beforeUpdate_;
};

// Holds a store's writes back for as long as it lives (BeginUpdate); Finish stores them and
// passes a failure on, the destructor stores them when Finish was not called and keeps quiet.
class TIniUpdate {
public:
    explicit TIniUpdate(TCustomIniFile& ini) : ini_(&ini) { ini_->BeginUpdate(); }
    ~TIniUpdate();
    TIniUpdate(const TIniUpdate&) = delete;
    TIniUpdate& operator=(const TIniUpdate&) = delete;
    void Finish();

private:
    TCustomIniFile* ini_;
};

// A store on a file: every write reaches the file at once, safely — the new content goes to a
// temporary file beside it, which then replaces the old one, so an interrupted write or a full
// disk leaves the previous file intact. Reads see changes other stores made to the same file.
class TIniFile final : public TCustomIniFile {
public:
    explicit TIniFile(std::string fileName);
    std::string FileName() const override { return fileName_; }

protected:
    TIniDocument& Document() override;
    void Commit() override;

private:
    std::string fileName_;
    TIniDocument document_;
    bool loaded_ = false;
    // What the file looked like when it was last read, to notice changes made elsewhere.
    long long stamp_[3] = {-1, -1, -1};
};

// A store in memory with the same behaviour, for caches that never need a file.
class TMemIniFile final : public TCustomIniFile {
public:
    std::string FileName() const override { return {}; }

protected:
    TIniDocument& Document() override { return document_; }
    void Commit() override {}

private:
    TIniDocument document_;
};

// The value text a store writes for a value (escaped when it holds a line break or NUL).
std::string EncodeIniValue(const std::string& value);
// The value a store reads back from the raw text behind "=".
std::string DecodeIniValue(const std::string& raw);

} // namespace era
