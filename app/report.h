#pragma once

// The report builder: one item's trace turned into its summary — the heading, one tab-separated
// line per effective trustee that passes the name filters (each followed by a "Self-check:" row
// per check of the analysis that disagrees on it), the driver's error lines and, when configured,
// a line of directory attributes per trustee — and the cache of those attribute lines.

#include "directory/client.h"
#include "util/ini_file.h"
#include "util/string_list.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace era {

// The report's attribute columns, from the "Attributes" section of the program settings file.
struct TAttrConfig {
    static constexpr int MaxColumns = 20;
    int Count = 0;
    std::string Template;
    std::array<std::string, MaxColumns + 1> Names;      // [1..Count]
    std::array<std::string, MaxColumns + 1> Defaults;   // [1..Count]
    // Written by BuildSummary: the values of the last attribute line it made [1..Count].
    std::array<std::string, MaxColumns + 1> LastValues;
};

// Reads the columns: "AttrCount" (at most 20), "AttrFormat" ("#TAB", "#CRLF"), "Attr_01"…,
// "AttrDefault_01"….
TAttrConfig ReadAttrConfig(TCustomIniFile& programSettings);
// What in the "Attributes" section would silently give no attribute lines or be ignored: no
// section, no "AttrFormat", keys that are none of the above (one text per finding).
std::vector<std::string> AttrConfigWarnings(TCustomIniFile& programSettings);

// Attribute lines computed in earlier scans of this run, in a temporary INI file that is deleted
// when the cache goes away. The file sits in a folder of the user's own, so no one else can
// plant or read it.
class TCache {
public:
    TCache();
    ~TCache();
    TCache(const TCache&) = delete;
    TCache& operator=(const TCache&) = delete;

    void WriteValue(const std::string& section, const std::string& key, const std::string& value);
    std::string ReadValue(const std::string& section, const std::string& key);
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    std::unique_ptr<TCustomIniFile> ini_;   // on the file; in memory when no file could be made
};

// One trustee row of a summary as a record of its own: the item it belongs to, the row's fields,
// the reasons the trace gives for the rights and the self-checks that disagree. Texts are as the
// trace holds them (control characters escaped, see EscapeControls).
struct TSummaryRow {
    bool FileMode = false;
    std::string Tree;    // the object's tree; of a path, the tree of its volume
    std::string Item;    // the object's full name, or the path as it was given
    std::string Volume;  // of a path: its volume's and server's objects
    std::string Server;
    std::string Class;
    std::string Rights;  // the letters between the brackets, blanks kept: "CR    "
    std::uint32_t Mask = 0;
    std::string Trustee;
    std::string Attribute; // eDirectory edition only
    std::vector<std::string> Reasons; // "[CR    ] for SecEqu to \".everyone.acme\"", …
    struct TCheck {
        std::string Source; // "directory" (its own answer differs) or "mask" (letters and mask differ)
        std::string Rights; // what that source says, as it says it: "[BCDR I]"
    };
    std::vector<TCheck> Checks;
};

// Takes the item a summary heading names into the record: "Object: ..." sets its tree and object,
// "Path: ..." starts a path's record, "Tree/Volume/Server: ..." sets the path's tree, volume and
// server. Other lines leave it as it is.
void TakeSummaryHeading(const std::string& line, TSummaryRow& item);
// The mask the row's letters stand for, in the kind of its attribute (of a path: file rights).
std::uint32_t SummaryRowMask(const TSummaryRow& row);

// What the report builder reads besides the trace. The two it points to it also writes: the result
// cache (an attribute line once made) and the columns' LastValues.
struct TReportInputs {
    bool FileMode = false;
    std::string FilterExcl;
    std::string FilterIncl;
    bool AttrColumnsEnabled = false;
    TAttrConfig* AttrConfig = nullptr;   // read; its LastValues written
    TCache* ResultCache = nullptr;       // read and written
    NWDSContextHandle Context = 0;   // for attribute reads
    std::vector<TSummaryRow>* Rows = nullptr; // when set, the trustee rows kept are appended here
};

// Replaces the trace's content with the item's summary lines.
void BuildSummary(TStringList& trace, const TReportInputs& inputs);

} // namespace era
