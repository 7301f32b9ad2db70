#include "app/report.h"

#include "directory/attributes.h"
#include "directory/names.h"
#include "directory/rights_bits.h"
#include "rights/trace_levels.h"
#include "util/settings.h"
#include "util/text.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace era {

namespace {

struct TEffectiveFields {
    std::string Rights, Class, Trustee, Attribute;
};

// The four fields of an effective-rights line, cut by first occurrences of the separators.
TEffectiveFields CutEffectiveLine(const std::string& line) {
    TEffectiveFields f;
    f.Rights = StrAfter(StrBefore(line, "]", true), "[", true);
    f.Class = StrAfter(StrBefore(StrAfter(line, "->", true), "]", true), "[", true);
    f.Trustee = StrAfter(StrAfter(StrBefore(line, " / ", true), "->", true), "] ", true);
    if (!f.Trustee.starts_with("[")) f.Trustee = U_FullName(f.Trustee);
    f.Attribute = StrBefore(StrAfter(StrAfter(line, " / ", true), "\"", true), "\"", true);
    return f;
}

// The engine's self-checks: "  Check 1:     Calc s: [%s] - Calc i: %s" (the rights text disagrees
// with the mask it stands for) and "  Check 2:     Calc s: [%s] - Eff: %s" (the analysis disagrees
// with the directory's own answer). They follow the effective-rights line they check.
constexpr std::string_view Check1Label = "  Check 1:     Calc s: [";
constexpr std::string_view Check2Label = "  Check 2:     Calc s: [";
static_assert(Check1Label.size() == Check2Label.size());
// The reasons the engine gives for a trustee's rights follow its effective-rights line.
constexpr std::string_view ReasonLabel = "     * ";

bool IsSelfCheckLine(const std::string& line) {
    return line.starts_with(Check1Label) || line.starts_with(Check2Label);
}

// What a self-check line found: its source and that source's answer.
TSummaryRow::TCheck CheckOf(const std::string& line) {
    const bool mask = line.starts_with(Check1Label);
    const std::string rest = line.substr(Check1Label.size());
    return mask ? TSummaryRow::TCheck{"mask", StrAfter(rest, "] - Calc i: ", true)}
                : TSummaryRow::TCheck{"directory", StrAfter(rest, "] - Eff: ", true)};
}

// The self-check as a row of its own, tied to its trustee's row: the row's class, the check's
// calculated letters, the row's trustee and attribute, and what the check found. Cut as a trustee
// line, a check line named ".- Eff: [BCDR I]" as a trustee.
std::string SelfCheckRow(const TEffectiveFields& row, const std::string& line, bool fileMode) {
    const std::string letters = StrBefore(line.substr(Check1Label.size()), "] - ", true);
    const TSummaryRow::TCheck check = CheckOf(line);
    const std::string finding = check.Source + ": " + check.Rights;
    if (fileMode)
        return Format("Self-check:\t%s\t[%s]\t%s\t%s", row.Class.c_str(), letters.c_str(), row.Trustee.c_str(),
                      finding.c_str());
    return Format("Self-check:\t%s\t[%s]\t%s\t%s\t%s", row.Class.c_str(), letters.c_str(), row.Trustee.c_str(),
                  row.Attribute.c_str(), finding.c_str());
}

} // namespace

// The headings are "Object: \"%s\" on tree \"%s\"" of an object, the driver's "Path: \"%s\"" and
// the analysis's "Tree/Volume/Server: %s / %s / %s" of a path.
void TakeSummaryHeading(const std::string& line, TSummaryRow& item) {
    constexpr std::string_view ObjectLabel = "Object: \"", TreeLabel = "\" on tree \"", PathLabel = "Path: \"",
                               PlaceLabel = "Tree/Volume/Server: ";
    if (line.starts_with(ObjectLabel)) {
        const size_t tree = line.rfind(TreeLabel);
        if (tree == std::string::npos || tree < ObjectLabel.size()) return;
        item.Item = line.substr(ObjectLabel.size(), tree - ObjectLabel.size());
        item.Tree = TrimRightChars(line.substr(tree + TreeLabel.size()), "\"");
    } else if (line.starts_with(PathLabel)) {
        const size_t end = line.rfind('"');
        item = TSummaryRow{};
        item.Item = line.substr(PathLabel.size(), end > PathLabel.size() ? end - PathLabel.size() : 0);
    } else if (line.starts_with(PlaceLabel)) {
        const std::string place = line.substr(PlaceLabel.size());
        const size_t first = place.find(" / "), last = place.rfind(" / ");
        if (first == std::string::npos || first == last) return;
        item.Tree = place.substr(0, first);
        item.Volume = place.substr(first + 3, last - first - 3);
        item.Server = place.substr(last + 3);
    }
}

std::uint32_t SummaryRowMask(const TSummaryRow& row) {
    return U_StrToRights("[" + row.Rights + "]", row.FileMode ? rkFileSystem : U_RightsKindOf(row.Attribute));
}

namespace {

// The trustee row as a record of the item.
TSummaryRow RowRecord(const TSummaryRow& item, const TEffectiveFields& f, bool fileMode) {
    TSummaryRow row = item;
    row.FileMode = fileMode;
    row.Class = f.Class;
    row.Rights = f.Rights;
    row.Trustee = f.Trustee;
    if (!fileMode) row.Attribute = f.Attribute;
    row.Mask = SummaryRowMask(row);
    return row;
}

// Appends the attribute line of a trustee row, filling config's LastValues on the way.
void AppendAttributeLines(TStringList& summary, const TEffectiveFields& fields, const TReportInputs& in,
                          TAttrConfig& config) {
    if (!in.AttrColumnsEnabled || fields.Trustee.empty() || config.Template.empty()) return;
    const std::string section = "Attr - " + fields.Class;
    std::string text = in.ResultCache ? in.ResultCache->ReadValue(section, fields.Trustee) : std::string();
    if (text.empty()) {
        text = config.Template;
        for (int n = 1; n <= std::min(config.Count, TAttrConfig::MaxColumns); ++n) {
            const std::string placeholder = Format("#%s_%.02d", "Attr", n);
            if (text.find(placeholder) == std::string::npos) continue;
            std::string value;
            // A column without an attribute name has nothing to read: like an unreadable attribute
            // it shows its default, so that no placeholder is left in the line.
            if (config.Names[n].empty() ||
                U_DSGetAttributeText(in.Context, fields.Trustee, config.Names[n], value) != 0)
                config.LastValues[n] = config.Defaults[n];
            else
                config.LastValues[n] =
                    EscapeControls(StrReplace(StrReplace(value, "\r\n", ";", true, true), "\n", ";", true, true));
            text = StrReplace(text, placeholder, config.LastValues[n], true, true);
        }
        if (in.ResultCache) in.ResultCache->WriteValue(section, fields.Trustee, DoubleQuoted(text));
    }
    if (!TrimBlanks(text).empty()) {
        summary.Add(text);
        summary.Add("");
    }
}

std::string CacheFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec) / ("era-" + std::to_string(::getuid()));
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    // Use the folder only when it is really ours and nobody else's to write in.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        folder = fs::path(ProgramDataPath(true, "cache")).parent_path();
        fs::create_directories(folder, ec);
    }
    return folder.string();
}

// A new empty file "~N.tmp" in the folder, N the first number whose file does not exist yet.
// Every cache gets a file of its own: with one name for every run, two runs at once read each
// other's values and the first to end deleted the other's file, and a run that was killed left
// its values for the next run to show as its own.
std::string NewCacheFile(const std::string& folder) {
    for (unsigned number = 1; number <= 0xFFFF; ++number) {
        const std::string name = (std::filesystem::path(folder) / Format("~%X.tmp", number)).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) break;
    }
    // No file can be made there: the cache still works, in memory only (see ReadValue).
    return {};
}

} // namespace

TAttrConfig ReadAttrConfig(TCustomIniFile& programSettings) {
    TAttrConfig config;
    config.Count = std::clamp(IniReadInteger(programSettings, "Attributes", "AttrCount", 0), 0, TAttrConfig::MaxColumns);
    config.Template = IniReadText(programSettings, "Attributes", "AttrFormat", "");
    config.Template = StrReplace(config.Template, "#TAB", "\t", true, true);
    config.Template = StrReplace(config.Template, "#CRLF", "\r\n", true, true);
    for (int n = 1; n <= config.Count; ++n) {
        config.Names[n] = IniReadText(programSettings, "Attributes", Format("%s_%.02d", "Attr", n), "");
        config.Defaults[n] = IniReadText(programSettings, "Attributes", Format("%s_%.02d", "AttrDefault", n), "");
    }
    return config;
}



std::vector<std::string> AttrConfigWarnings(TCustomIniFile& programSettings) {
    if (!programSettings.SectionExists("Attributes")) return {"no section [Attributes]: no attribute lines are added"};
    std::vector<std::string> warnings;
    if (!programSettings.ValueExists("Attributes", "AttrFormat"))
        warnings.push_back("[Attributes] has no AttrFormat (such as AttrFormat=Phone: #Attr_01): no attribute lines "
                           "are added");
    for (const auto& key : programSettings.ReadSection("Attributes")) {
        bool known = TextEquals(key, "AttrCount") || TextEquals(key, "AttrFormat");
        for (int n = 1; n <= TAttrConfig::MaxColumns && !known; ++n)
            known = TextEquals(key, Format("Attr_%.02d", n)) || TextEquals(key, Format("AttrDefault_%.02d", n));
        if (!known)
            warnings.push_back("[Attributes] key \"" + key + "\" is unknown and ignored; expected AttrCount, AttrFormat, "
                               "Attr_01 to Attr_20 and AttrDefault_01 to AttrDefault_20");
    }
    return warnings;
}

TCache::TCache() : fileName_(NewCacheFile(CacheFolder())) {
    if (fileName_.empty())
        ini_ = std::make_unique<TMemIniFile>();
    else
        ini_ = std::make_unique<TIniFile>(fileName_);
}

TCache::~TCache() {
    ini_.reset();
    std::error_code ec;
    if (!fileName_.empty()) std::filesystem::remove(fileName_, ec);
}

void TCache::WriteValue(const std::string& section, const std::string& key, const std::string& value) {
    IniWriteString(*ini_, section, key, value);
}

std::string TCache::ReadValue(const std::string& section, const std::string& key) {
    return IniReadStringCached(*ini_, section, key, "");
}

void BuildSummary(TStringList& trace, const TReportInputs& inputs) {
    TStringList summary;
    bool hasStart = false, hasHeading = false;
    for (const auto& line : trace.Items()) {
        hasStart = hasStart || line.Object == LevelItemStart;
        hasHeading = hasHeading || line.Object == LevelItemStart || line.Object == LevelItemHeading;
    }
    if (hasHeading) {
        // The trustee row a self-check line belongs to: the one just before it. Its attribute
        // lines wait until its self-checks are written, so that these follow the row directly.
        std::optional<TEffectiveFields> row;
        bool rowKept = false;
        // The kept row as a record, when the caller wants them, with its checks and reasons.
        TSummaryRow item;
        std::optional<TSummaryRow> record;
        const auto flushAttributeLines = [&] {
            if (row && rowKept && inputs.AttrConfig) AppendAttributeLines(summary, *row, inputs, *inputs.AttrConfig);
            row.reset();
            if (record) inputs.Rows->push_back(std::move(*record));
            record.reset();
        };
        for (const auto& line : trace.Items()) {
            if (line.Object == LevelEffective && IsSelfCheckLine(line.Text)) {
                if (row && rowKept) summary.Add(SelfCheckRow(*row, line.Text, inputs.FileMode));
                if (record) record->Checks.push_back(CheckOf(line.Text));
                continue;
            }
            if (record && line.Object == LevelHeader && line.Text.starts_with(ReasonLabel))
                record->Reasons.push_back(TrimRightChars(line.Text.substr(ReasonLabel.size()), " "));
            // Lines the summary leaves out (the notes among them) do not end a trustee's row.
            if (line.Object != LevelEffective && line.Object != LevelItemHeading && line.Object != LevelItemStart &&
                line.Object != LevelDriverError)
                continue;
            flushAttributeLines();
            switch (line.Object) {
            case LevelEffective: {
                row = CutEffectiveLine(line.Text);
                const TEffectiveFields& f = *row;
                rowKept = (inputs.FilterExcl.empty() || PosText(inputs.FilterExcl, f.Trustee) == 0) &&
                          (inputs.FilterIncl.empty() || PosText(inputs.FilterIncl, f.Trustee) != 0);
                if (!rowKept) break;
                if (inputs.Rows) record = RowRecord(item, f, inputs.FileMode);
                summary.Add(inputs.FileMode ? Format("Effective Trustee:\t%s\t[%s]\t%s", f.Class.c_str(),
                                                     f.Rights.c_str(), f.Trustee.c_str())
                                            : Format("Effective Trustee:\t%s\t[%s]\t%s\t%s", f.Class.c_str(),
                                                     f.Rights.c_str(), f.Trustee.c_str(), f.Attribute.c_str()));
                break;
            }
            case LevelItemHeading:
                TakeSummaryHeading(line.Text, item);
                summary.Add(line.Text);
                break;
            case LevelDriverError:
                summary.Add(line.Text);
                break;
            case LevelItemStart:
                summary.Add("");
                break;
            default:
                break;
            }
        }
        flushAttributeLines();
        if (!hasStart) summary.Add("No trustees detected");
    }
    summary.Add("");
    summary.Add("");
    trace.SetText(summary.Text());
}

} // namespace era
