#include "util/export.h"

#include "util/shell.h"
#include "util/text.h"
#include "util/ui_host.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace era {

namespace fs = std::filesystem;

namespace {

const std::string EmptyCell;

// Every line followed by CR LF, the last one included.
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text.append(line).append("\r\n");
    return text;
}

// The extension of the path's last component, with its dot; "" when it has none.
std::string FileExtOf(std::string_view path) {
    const std::size_t delimiter = path.find_last_of("/\\:");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (delimiter != std::string_view::npos && dot < delimiter)) return {};
    return std::string(path.substr(dot));
}

// Characters, not bytes: continuation bytes of UTF-8 do not count.
std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The length of the well-formed UTF-8 sequence at the start of the text that XML may carry; 0 when
// the bytes there are no such sequence (a stray or overlong byte, a surrogate, a control character,
// U+FFFE or U+FFFF).
std::size_t XmlCharLength(std::string_view s) {
    const std::size_t length = Utf8SequenceLength(s);
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    if (length == 1) return (byte(0) >= 0x20 || byte(0) == '\t' || byte(0) == '\n' || byte(0) == '\r') ? 1 : 0;
    if (length == 3 && byte(0) == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE) return 0; // U+FFFE, U+FFFF
    return length;
}

// The value elements of a cell: its lines sorted ignoring letter case, each text once. Letter case
// is folded for a-z only, so the order is the same on every system.
std::string XmlValueElements(const std::string& text) {
    TStringList lines;
    lines.SetSorted(true);
    lines.SetDuplicates(dupIgnore);
    lines.SetText(text);
    std::string elements;
    for (int i = 0; i < lines.Count(); ++i)
        elements += Format("<%s index=\"%d\">", "value", i) + XmlEscape(lines.Strings(i)) + "</value>";
    return elements;
}

// ---------------------------------------------------------------------------------------------
// The workbook

TDocumentOpener& Opener() {
    static TDocumentOpener opener;
    return opener;
}

// Owns a workbook until it is closed.
class TWorkbook {
public:
    TWorkbook(const std::string& path, const std::string& tempFolder) {
        lxw_workbook_options options{};
        options.tmpdir = const_cast<char*>(tempFolder.c_str());
        workbook_ = workbook_new_opt(path.c_str(), &options);
    }
    ~TWorkbook() {
        if (workbook_) workbook_close(workbook_);
    }
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;
    lxw_workbook* Get() const { return workbook_; }
    // Writes the file and releases the workbook.
    lxw_error Close() {
        lxw_workbook* workbook = workbook_;
        workbook_ = nullptr;
        return workbook_close(workbook);
    }

private:
    lxw_workbook* workbook_ = nullptr;
};

// Writes the cells into a new workbook at the path; false with the reason when it fails.
bool WriteWorkbook(const std::string& path, const std::string& tempFolder,
                   const std::vector<std::vector<std::string>>& rows, std::string& reason) {
    TWorkbook workbook(path, tempFolder);
    if (!workbook.Get()) {
        reason = "the workbook could not be created";
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.Get(), nullptr);
    lxw_format* wrap = workbook_add_format(workbook.Get());
    if (!sheet || !wrap) {
        reason = "the worksheet could not be created";
        return false;
    }
    format_set_text_wrap(wrap);

    std::vector<std::size_t> widths;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string& cell = rows[r][c];
            if (cell.empty()) continue;
            if (r >= LXW_ROW_MAX || c >= LXW_COL_MAX) {
                reason = Format("the results do not fit on a worksheet (%zu rows, %zu columns at most)",
                                static_cast<std::size_t>(LXW_ROW_MAX), static_cast<std::size_t>(LXW_COL_MAX));
                return false;
            }
            const bool multiLine = cell.find('\n') != std::string::npos;
            const lxw_error error =
                worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                       cell.c_str(), multiLine ? wrap : nullptr);
            if (error != LXW_NO_ERROR) {
                reason = Format("row %zu, column %zu: %s", r + 1, c + 1, lxw_strerror(error));
                return false;
            }
            if (widths.size() <= c) widths.resize(c + 1);
            for (const std::string& line : SplitToArray(cell, "\n"))
                widths[c] = std::max(widths[c], CharacterCount(line));
        }
    }
    // Columns as wide as their longest line, as the spreadsheet's own fitting would make them.
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const double width = std::min(255.0, static_cast<double>(widths[c]) * 1.1 + 1.0);
        if (width > LXW_DEF_COL_WIDTH)
            worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, nullptr);
    }
    errno = 0;
    const lxw_error error = workbook.Close();
    if (error != LXW_NO_ERROR) {
        // The library's text names its step; errno, when it says something, the cause.
        reason = lxw_strerror(error);
        if (errno != 0) reason += ": " + WriteFailureCause(errno);
        return false;
    }
    return true;
}

} // namespace

std::string WriteFailureCause(int error) {
    switch (error) {
    case ENOSPC:
        return Format("the disk is full (%s)", std::strerror(error));
    case EFBIG:
        return Format("the file-size limit is reached (%s)", std::strerror(error));
    case EDQUOT:
        return Format("the disk quota is used up (%s)", std::strerror(error));
    case EACCES:
    case EPERM:
        return Format("permission denied (%s)", std::strerror(error));
    case EROFS:
        return Format("the file system is read-only (%s)", std::strerror(error));
    default:
        return std::strerror(error);
    }
}

TReplacingFile::TReplacingFile(const std::string& path) : path_(path) {
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    target_ = target.string();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode_ = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    temp_ = target_ + ".XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0)
        throw EExportError(Format("Cannot create file \"%s\": %s", path.c_str(), WriteFailureCause(errno).c_str()));
}

TReplacingFile::~TReplacingFile() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(temp_.c_str());
}

void TReplacingFile::Write(std::string_view bytes) {
    while (failure_.empty() && !bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            failure_ = WriteFailureCause(errno);
        else
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TReplacingFile::Commit(const std::string& given) {
    std::string reason = given.empty() ? failure_ : given;
    if (reason.empty() && (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0)) reason = WriteFailureCause(errno);
    if (::close(fd_) != 0 && reason.empty()) reason = WriteFailureCause(errno);
    fd_ = -1;
    if (!reason.empty()) {
        ::unlink(temp_.c_str());
        throw EExportError(Format("Cannot write file \"%s\": %s", path_.c_str(), reason.c_str()));
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        throw EExportError(Format("Cannot create file \"%s\": %s", path_.c_str(), WriteFailureCause(err).c_str()));
    }
}

namespace {

// Writes a file through a replacing file: fill writes the content into the temporary file (its
// descriptor and name) and gives "" or why it could not.
void WriteReplacing(const std::string& path, const std::function<std::string(int fd, const std::string& temp)>& fill) {
    TReplacingFile file(path);
    file.Commit(fill(file.Fd(), file.TempPath()));
}

} // namespace

void SaveTextFile(const std::string& path, const std::string& text) {
    TReplacingFile file(path);
    file.Write(text);
    file.Commit();
}

// ---------------------------------------------------------------------------------------------
// The grid

TGrid::TGrid(int colCount, int rowCount) {
    SetSize(colCount, rowCount);
}

void TGrid::SetSize(int colCount, int rowCount) {
    colCount = std::max(colCount, 0);
    rowCount = std::max(rowCount, 0);
    std::vector<std::string> cells(static_cast<std::size_t>(colCount) * static_cast<std::size_t>(rowCount));
    for (int r = 0; r < std::min(rowCount, rowCount_); ++r)
        for (int c = 0; c < std::min(colCount, colCount_); ++c)
            cells[static_cast<std::size_t>(r) * colCount + c] =
                std::move(cells_[static_cast<std::size_t>(r) * colCount_ + c]);
    cells_ = std::move(cells);
    colCount_ = colCount;
    rowCount_ = rowCount;
}

const std::string& TGrid::Cells(int col, int row) const {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return EmptyCell;
    return cells_[static_cast<std::size_t>(row) * colCount_ + col];
}

void TGrid::SetCell(int col, int row, std::string text) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        throw std::out_of_range(Format("grid cell %d,%d out of range", col, row));
    cells_[static_cast<std::size_t>(row) * colCount_ + col] = std::move(text);
}

// ---------------------------------------------------------------------------------------------
// Choosing the target

TTargetKind TargetKind(std::string_view keyword) {
    static const struct {
        const char* Keyword;
        TTargetKind Kind;
    } Keywords[] = {{"HTML", tkHtml},      {"HTM", tkHtml},   {"XML", tkXml},     {"TXT", tkText},
                    {"DOC", tkText},       {"ASCII", tkText}, {"CSV", tkText},    {"QP", tkQuattroPro},
                    {"WB3", tkQuattroPro}, {"XLS", tkExcel},  {"EXCEL", tkExcel}, {"CLIPBOARD", tkClipboard}};
    const std::string upper = UpperCase(keyword);
    for (const auto& entry : Keywords)
        if (upper == entry.Keyword) return entry.Kind;
    return tkNone;
}

TGrid LinesToGrid(const TStringList& lines) {
    TGrid grid(1, std::max(1, lines.Count()));
    // An empty line keeps its row as one space (HTML would otherwise show it as a line break).
    for (int i = 0; i < lines.Count(); ++i)
        grid.SetCell(0, i, lines.Strings(i).empty() ? std::string(" ") : lines.Strings(i));
    return grid;
}

bool SaveLinesToFile(const TStringList& lines, const std::string& keyword, const std::string& path,
                     std::string& error) {
    error.clear();
    try {
        const TGrid grid = LinesToGrid(lines);
        return ExportGridToFile(&grid, keyword, path);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

bool ExportLines(const TStringList& lines, const std::string& keyword, const std::string& path) {
    std::string error; // the caller shows nothing either: a failed export leaves just no file
    return SaveLinesToFile(lines, keyword, path, error);
}

bool ExportGridToFile(const TGrid* grid, const std::string& keyword, const std::string& path) {
    const std::string separator = LowerCase(FileExtOf(path)) == ".csv" ? "," : "\t";
    return ExportGrid(grid, keyword, path, separator);
}

bool ExportGrid(const TGrid* grid, const std::string& keyword, const std::string& path,
                const std::string& separator) {
    if (!grid) return false;
    // Without a keyword the path's extension names the target; ".csv" and "csv" are the same.
    const std::string target = TrimLeftChars(keyword.empty() ? FileExtOf(path) : keyword, " .");
    const TTargetKind kind = TargetKind(target);
    if (kind == tkNone) {
        UiHost().ShowDialog(dkError, "Invalid target");
        return false;
    }
    if (kind <= tkText && CharacterCount(path) < 3) {
        UiHost().ShowDialog(dkError, "Invalid target path");
        return false;
    }
    if (kind >= tkQuattroPro) {
        const std::string text = GridToText(*grid, separator);
        // The spreadsheets are promised the text on the clipboard: without it they are not tried.
        if (!UiHost().SetClipboardText(text)) return false;
        if (kind == tkClipboard) return true;
        return kind == tkExcel ? SendToExcel(text) : SendToQuattroPro(text);
    }
    const std::string text = kind == tkHtml  ? GridToHtml(grid)
                             : kind == tkXml ? GridToXml(grid)
                                             : GridToText(*grid, separator);
    SaveTextFile(path, text);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Separated text

std::string QuoteCell(std::string_view text) {
    std::string cell = TrimRightChars(text, "\r\n");
    ReplaceIn(cell, "\r\n", "\n", true, true);
    if (cell.find('\n') == std::string::npos) return cell; // separators and quotes stay as they are
    ReplaceIn(cell, "\"", "'", true, true);
    return "\"" + cell + "\"";
}

std::string GridToText(const TGrid& grid, const std::string& separator) {
    std::string text;
    for (int r = 0; r < grid.RowCount(); ++r) {
        for (int c = 0; c < grid.ColCount(); ++c) {
            if (c > 0) text += separator;
            text += QuoteCell(grid.Cells(c, r));
        }
        text += "\r\n";
    }
    return text;
}

bool GridToClipboard(const TGrid& grid, const std::string& separator) {
    return UiHost().SetClipboardText(GridToText(grid, separator));
}

std::string GridToCsv(const TGrid& grid) {
    std::string text;
    for (int r = 0; r < grid.RowCount(); ++r) {
        for (int c = 0; c < grid.ColCount(); ++c) {
            if (c > 0) text += ',';
            const std::string& cell = grid.Cells(c, r);
            if (cell.find_first_of(",\"\r\n") == std::string::npos)
                text += cell;
            else
                text += DoubleQuoted(cell);
        }
        text += "\r\n";
    }
    return text;
}

void SaveGridAsWorkbook(const TGrid& grid, const std::string& path) {
    std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c) rows[static_cast<std::size_t>(r)].push_back(grid.Cells(c, r));
    WriteReplacing(path, [&rows, &path](int, const std::string& temp) -> std::string {
        std::error_code ec;
        const fs::path tempFolder = fs::temp_directory_path(ec);
        std::string reason;
        WriteWorkbook(temp, ec ? fs::path(path).parent_path().string() : tempFolder.string(), rows, reason);
        return reason;
    });
}

// ---------------------------------------------------------------------------------------------
// HTML

std::string HtmlCell(const TGrid& grid, int col, int row) {
    std::string text = grid.Cells(col, row);
    if (text.empty()) {
        text = "<br>"; // never bold
    } else {
        // The ampersand goes first, so the entities made after it stay as they are.
        ReplaceIn(text, "&", "&amp;", true, true);
        ReplaceIn(text, "<", "&lt;", true, true);
        ReplaceIn(text, ">", "&gt;", true, true);
        ReplaceIn(text, "'", "&apos;", true, true);
        ReplaceIn(text, "\"", "&quot;", true, true);
        ReplaceIn(text, "\r\n", "<br>", true, true);
        if (col < grid.FixedCols || row < grid.FixedRows) text = "<b>" + text + "</b>";
    }
    return "<td>" + text + "</td>";
}

std::string GridToHtml(const TGrid* grid) {
    std::vector<std::string> lines{"<html><body>"};
    if (grid) {
        lines.emplace_back("<table border=1>");
        for (int r = 0; r < grid->RowCount(); ++r) {
            lines.push_back(Format("<%s>", "tr"));
            for (int c = 0; c < grid->ColCount(); ++c)
                lines.push_back(HtmlCell(*grid, c, r));
            lines.push_back(Format("</%s>", "tr"));
        }
        lines.emplace_back("</table>");
    }
    lines.emplace_back("</body></html>");
    return JoinLines(lines);
}

// ---------------------------------------------------------------------------------------------
// XML

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        switch (text[i]) {
        case '&':
            out += "&amp;";
            ++i;
            continue;
        case '<':
            out += "&lt;";
            ++i;
            continue;
        case '>':
            out += "&gt;";
            ++i;
            continue;
        case '"':
            out += "&quot;";
            ++i;
            continue;
        case '\'':
            out += "&apos;";
            ++i;
            continue;
        default:
            break;
        }
        const std::size_t length = XmlCharLength(text.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // a byte XML cannot carry: the replacement character
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string XmlElement(std::string_view name, std::string_view content) {
    if (content.empty()) return XmlEmptyElement(name);
    const std::string n(name);
    return "<" + n + ">" + std::string(content) + "</" + n + ">";
}

std::string XmlEmptyElement(std::string_view name) {
    return Format("<%s/>", std::string(name).c_str());
}

// Every cell text, heading and value is escaped: a trustee or attribute name with "<" or "&" would
// otherwise make a document that no XML reader accepts. The file is UTF-8 and its prolog says so.
std::string GridToXml(const TGrid* grid) {
    std::vector<std::string> lines{"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
                                   "<document>"};
    if (grid) {
        const double now = NowDateTime(); // one moment for both, also at midnight
        lines.push_back(Format("<table rowCount=\"%d\" colCount=\"%d\" fixedRows=\"%d\" fixedCols=\"%d\" "
                               "date=\"%s\" time=\"%s\"/>",
                               grid->RowCount(), grid->ColCount(), grid->FixedRows, grid->FixedCols,
                               FormatDateTime("yyyy-mm-dd", now).c_str(),
                               FormatDateTime("hh:nn:ss", now).c_str()));
        for (int r = 0; r < grid->RowCount(); ++r) {
            lines.push_back(Format("<%s %s=\"%d\">", "row", "value", r));
            lines.push_back(XmlElement("row", XmlEscape(grid->Cells(0, r))));
            if (grid->ColCount() > 1)
                for (int c = 0; c < grid->ColCount(); ++c)
                    lines.push_back(XmlElement("cell", XmlElement("col", XmlEscape(grid->Cells(c, 0))) +
                                                           XmlValueElements(grid->Cells(c, r))));
            lines.push_back(Format("</%s>", "row"));
        }
    }
    lines.emplace_back("</document>");
    return JoinLines(lines);
}

// ---------------------------------------------------------------------------------------------
// Spreadsheets

// A tab ends a cell, a line end ends a row, and a cell that starts with a double quote runs to the
// closing one, line feeds and doubled quotes inside included (QuoteCell's multi-line cells).
std::vector<std::vector<std::string>> SplitPastedText(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool atCellStart = true;
    std::size_t i = 0;
    const auto endCell = [&] {
        row.push_back(std::move(cell));
        cell.clear();
        atCellStart = true;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (atCellStart && c == '"') {
            std::string quoted;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < text.size()) {
                if (text[j] == '"') {
                    if (j + 1 < text.size() && text[j + 1] == '"') {
                        quoted += '"';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                quoted += text[j++];
            }
            atCellStart = false;
            if (closed) { // an unclosed quote is an ordinary character
                cell = std::move(quoted);
                i = j;
                continue;
            }
        }
        atCellStart = false;
        if (c == '\t') {
            endCell();
            ++i;
        } else if (c == '\r' || c == '\n') {
            endCell();
            rows.push_back(std::move(row));
            row.clear();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else {
            cell += c;
            ++i;
        }
    }
    if (!atCellStart || !row.empty()) {
        endCell();
        rows.push_back(std::move(row));
    }
    return rows;
}

TDocumentOpener SetDocumentOpener(TDocumentOpener opener) {
    TDocumentOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

// There is no spreadsheet to drive here: the text becomes a workbook file, which the desktop's
// handler for workbooks opens. The file stays in the temporary folder for that program to read
// (the handler may still be starting when we return).
bool SendToExcel(const std::string& clipboardText) {
    std::string reason;
    bool done = false;
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error);
    if (error) {
        reason = "no temporary folder: " + error.message();
    } else {
        std::string path = (folder / "era-XXXXXX.xlsx").string();
        const int fd = ::mkstemps(path.data(), 5);
        if (fd < 0) {
            reason = Format("cannot create a workbook in %s: %s", folder.c_str(), std::strerror(errno));
        } else {
            ::close(fd);
            if (!WriteWorkbook(path, folder.string(), SplitPastedText(clipboardText), reason)) {
                ::unlink(path.c_str());
            } else {
                const int started = Opener() ? Opener()(path) : OpenDocument(path);
                done = started > 32;
                if (!done) {
                    reason = Format("no program opened %s (shell code %d)", path.c_str(), started);
                    ::unlink(path.c_str()); // nobody will read it
                }
            }
        }
    }
    if (!done)
        UiHost().ShowDialog(dkError,
                            Format("Error saving to Excel (%s) - Results are in clipboard", reason.c_str()));
    return done;
}

bool SendToQuattroPro(const std::string& /*clipboardText*/) {
    UiHost().ShowDialog(dkError, Format("Error saving to QP (%s) - Results are in clipboard",
                                        "QuattroPro is not available on this system"));
    return false;
}

} // namespace era
