#include "app/saving.h"

#include "app/summary_json.h"
#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace era {

namespace fs = std::filesystem;

namespace {

constexpr const char* KnownExtensions = ".txt, .csv, .html, .xml or .xlsx, or .json";

// The extension of the path's last component without its dot; "" when it has none.
std::string ExtensionOf(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

} // namespace

TSaveFormat SaveFormatOf(const std::string& keyword, const std::string& path) {
    static const struct {
        const char* Name;
        TSaveFormat Format;
    } Names[] = {{"TXT", TSaveFormat::Text},  {"DOC", TSaveFormat::Text},      {"ASCII", TSaveFormat::Text},
                 {"CSV", TSaveFormat::Csv},   {"HTML", TSaveFormat::Html},     {"HTM", TSaveFormat::Html},
                 {"XML", TSaveFormat::Xml},   {"XLSX", TSaveFormat::Workbook}, {"JSON", TSaveFormat::Json},
                 {"JSONL", TSaveFormat::Json}};
    const std::string name = UpperCase(TrimLeftChars(keyword.empty() ? ExtensionOf(path) : keyword, " ."));
    for (const auto& entry : Names)
        if (name == entry.Name) return entry.Format;
    return TSaveFormat::None;
}

std::string CheckSaveTarget(const std::string& path, const std::string& keyword) {
    if (path.empty()) return "the file name is empty";
    std::error_code ec;
    if (fs::is_directory(path, ec)) return "\"" + path + "\" is a folder; expected a file name";
    if (SaveFormatOf(keyword, path) == TSaveFormat::None) {
        if (!keyword.empty())
            return "unknown format \"" + keyword + "\"; expected TXT, CSV, HTML, XML or XLSX, or JSON";
        const std::string extension = ExtensionOf(path);
        if (extension.empty())
            return "cannot tell the format of \"" + path + "\" without an extension; expected " +
                   KnownExtensions + ", or give --format";
        return "unknown format \"." + extension + "\" of \"" + path + "\"; expected " + KnownExtensions +
               ", or give --format";
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status)) return "the folder \"" + folder.string() + "\" does not exist";
    if (!fs::is_directory(status)) return "\"" + folder.string() + "\" is not a folder";
    // The report is written beside the target and then takes its place: the folder must be writable.
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write in the folder \"" + folder.string() + "\": " + WriteFailureCause(errno);
    return {};
}

TGrid ReportTable(const TStringList& report) {
    std::vector<std::vector<std::string>> rows;
    bool inHeader = true;
    for (const auto& line : report.Items()) {
        if (line.Text.empty()) {
            inHeader = false;
            continue;
        }
        rows.push_back(inHeader ? std::vector<std::string>{line.Text} : SplitToArray(line.Text, "\t"));
    }
    size_t columns = 1;
    for (const auto& row : rows)
        columns = std::max(columns, row.size());
    TGrid grid(static_cast<int>(columns), static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            grid.SetCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    return grid;
}

void SaveReport(const TStringList& report, const std::string& keyword, const std::string& path) {
    switch (SaveFormatOf(keyword, path)) {
    case TSaveFormat::Text:
        // The desktop program's one-column text: each line whole, tabs inside it.
        SaveTextFile(path, GridToText(LinesToGrid(report), "\t"));
        return;
    case TSaveFormat::Csv:
        SaveTextFile(path, GridToCsv(ReportTable(report)));
        return;
    case TSaveFormat::Html: {
        const TGrid table = ReportTable(report);
        SaveTextFile(path, GridToHtml(&table));
        return;
    }
    case TSaveFormat::Xml: {
        const TGrid table = ReportTable(report);
        SaveTextFile(path, GridToXml(&table));
        return;
    }
    case TSaveFormat::Workbook:
        SaveGridAsWorkbook(ReportTable(report), path);
        return;
    case TSaveFormat::Json:
        // Only the rows of a scan are records; a report alone has none to give.
    case TSaveFormat::None:
        break;
    }
    throw EExportError("Cannot write file \"" + path + "\": unknown format");
}

namespace {
// How much of the text format a saver holds before it writes it out.
constexpr size_t SaverBuffer = 1 << 16;
} // namespace

TReportSaver::TReportSaver(const std::string& path, const std::string& keyword)
    : path_(path), keyword_(keyword) {
    const TSaveFormat format = SaveFormatOf(keyword, path);
    records_ = format == TSaveFormat::Json;
    if (format == TSaveFormat::Text || records_) text_ = std::make_unique<TReplacingFile>(path);
}

TReportSaver::~TReportSaver() = default;

void TReportSaver::Add(const std::string& line) {
    if (!text_) {
        kept_.Add(line);
        return;
    }
    if (records_) {
        // One JSON record a line, as SummaryRowsJson writes them.
        buffered_ += line;
        buffered_ += '\n';
    } else {
        // A line as the one-column text of SaveReport has it: an empty one as one blank, CR LF after.
        buffered_ += QuoteCell(line.empty() ? std::string_view(" ") : std::string_view(line));
        buffered_ += "\r\n";
    }
    if (buffered_.size() >= SaverBuffer) {
        text_->Write(buffered_);
        buffered_.clear();
    }
}

void TReportSaver::Commit() {
    if (!text_) {
        SaveReport(kept_, keyword_, path_);
        return;
    }
    text_->Write(buffered_);
    buffered_.clear();
    text_->Commit();
}

void SaveReport(const TStringList& report, const std::vector<TSummaryRow>& rows, const std::string& keyword,
                const std::string& path) {
    if (SaveFormatOf(keyword, path) == TSaveFormat::Json)
        SaveTextFile(path, SummaryRowsJson(rows));
    else
        SaveReport(report, keyword, path);
}

} // namespace era
