#pragma once

// Saving a scan's report to a file from the command line: the target checked before the scan,
// and the report written as one-column text (as the desktop program's "... as *.TXT") or as a
// real table — comma-separated, HTML, XML or a workbook — whose columns are the report's
// tab-separated fields.

#include "app/report.h"
#include "util/export.h"
#include "util/string_list.h"

#include <memory>
#include <string>

namespace era {

// The file formats a report is saved in.
enum class TSaveFormat { None, Text, Csv, Html, Xml, Workbook, Json };

// The format the keyword names, or without one the path's extension: TXT (DOC, ASCII), CSV,
// HTML (HTM), XML, XLSX, JSON (JSONL: the summary's rows as JSON Lines) in any letter case, with or without a
// leading dot; None for anything else.
TSaveFormat SaveFormatOf(const std::string& keyword, const std::string& path);

// Why the report cannot be saved there, checked before a scan spends its time: no file name, an
// unknown format, a folder, a folder that is missing or is no folder, a folder not writable.
// Empty when the target looks writable.
std::string CheckSaveTarget(const std::string& path, const std::string& keyword);

// The report as a table: the header block (the lines before the first empty one) as rows of one
// cell, empty lines dropped, every other line split into cells at its tabs.
TGrid ReportTable(const TStringList& report);

// Writes the report to the file in the format (SaveFormatOf); throws EExportError naming the
// file and the cause when it cannot. An earlier file of that name stays whole then.
void SaveReport(const TStringList& report, const std::string& keyword, const std::string& path);
// The same for a scan whose summary rows were kept: in the JSON format the rows as JSON Lines,
// in every other the report.
void SaveReport(const TStringList& report, const std::vector<TSummaryRow>& rows, const std::string& keyword,
                const std::string& path);

// A report saved as a scan goes on. The text format is written line by line through a file
// beside the target, so a long scan's memory does not grow with its report; the table formats
// keep the lines until Commit, since their columns are those of the widest row. Before Commit
// the target stays as it was, and a saver dropped without Commit leaves it so. Throws
// EExportError naming the file and the cause.
class TReportSaver {
public:
    TReportSaver(const std::string& path, const std::string& keyword);
    ~TReportSaver();
    TReportSaver(const TReportSaver&) = delete;
    TReportSaver& operator=(const TReportSaver&) = delete;
    // Whether the saver takes the JSON records of the summary rows (the JSON format) rather than the
    // report's lines.
    bool TakesRecords() const { return records_; }
    // Adds a line of the report, or a record in the JSON format.
    void Add(const std::string& line);
    // Puts the whole report in place of the target (SaveReport's file, byte for byte).
    void Commit();

private:
    std::string path_;
    std::string keyword_;
    bool records_ = false;                 // the JSON format: Add takes records
    std::unique_ptr<TReplacingFile> text_; // the text and JSON formats
    std::string buffered_;                 // its lines not yet written
    TStringList kept_;                     // the table formats
};

} // namespace era
