#pragma once

// The one way results leave the program: a grid of text cells written to a target named by a
// keyword — an HTML, XML or separated text file, the clipboard, or a spreadsheet. Text files are
// UTF-8, every line (the last included) ended by CR LF, and replace an existing file.

#include "util/string_list.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace era {

// A rectangular table of text cells, addressed by column and row from 0; the fixed (heading)
// columns and rows stand at its top left. Cell texts may hold line breaks (CR LF).
class TGrid {
public:
    TGrid() = default;
    // A grid of the size with empty cells.
    TGrid(int colCount, int rowCount);

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    // Changes the size; cells inside both sizes keep their text (negative sizes count as 0).
    void SetSize(int colCount, int rowCount);
    // The cell's text; "" outside the grid.
    const std::string& Cells(int col, int row) const;
    // Sets the cell's text (outside the grid throws std::out_of_range).
    void SetCell(int col, int row, std::string text);

    int FixedCols = 0;
    int FixedRows = 0;

private:
    int colCount_ = 0;
    int rowCount_ = 0;
    std::vector<std::string> cells_; // row after row
};

// The targets a keyword names.
enum TTargetKind : int {
    tkNone = 0,
    tkHtml = 1,
    tkXml = 2,
    tkText = 3,
    tkQuattroPro = 4,
    tkExcel = 5,
    tkClipboard = 6
};

// A failed file write of an export.
class EExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The kind the keyword names (exact comparison after upper-casing); tkNone for any other text.
TTargetKind TargetKind(std::string_view keyword);

// The lines as a one-column grid, an empty line as one space (at least one row).
TGrid LinesToGrid(const TStringList& lines);
// LinesToGrid through ExportGridToFile; false when it could not, with the reason — the file's
// name and the system's own words — in error.
bool SaveLinesToFile(const TStringList& lines, const std::string& keyword, const std::string& path,
                     std::string& error);
// SaveLinesToFile with every error swallowed without a message. True when the target received the
// text.
bool ExportLines(const TStringList& lines, const std::string& keyword, const std::string& path);
// ExportGrid with a tab, or "," when the path's extension is ".csv" in any letter case.
bool ExportGridToFile(const TGrid* grid, const std::string& keyword, const std::string& path);
// Writes the grid to the keyword's target (see the .cpp); false when it did not get there. Invalid
// targets and spreadsheet failures are shown in error boxes; a failed file write throws EExportError.
bool ExportGrid(const TGrid* grid, const std::string& keyword, const std::string& path,
                const std::string& separator);

// Every row as one line of cells passed through QuoteCell, separator between them, CR LF after each.
std::string GridToText(const TGrid& grid, const std::string& separator);
// The cell on one line: trailing line breaks gone, CR LF as LF, and a text that still holds a line
// feed enclosed in double quotes with its own double quotes turned into single ones.
std::string QuoteCell(std::string_view text);
// Comma-separated text (RFC 4180): a cell holding a comma, double quote or line break in double
// quotes with its double quotes doubled; every row ended by CR LF.
std::string GridToCsv(const TGrid& grid);
// GridToText on the user-interface host's clipboard; false when there is no clipboard or it refused.
bool GridToClipboard(const TGrid& grid, const std::string& separator);
// An HTML document with the grid as a table (without a grid, only the document's frame).
std::string GridToHtml(const TGrid* grid);
// The cell as one td element: escaped, line breaks as <br>, fixed cells bold, an empty cell <br>.
std::string HtmlCell(const TGrid& grid, int col, int row);
// An XML document with the grid's rows, cells and their sorted distinct lines (without a grid,
// only the prolog and the document element).
std::string GridToXml(const TGrid* grid);
// "<name>content</name>", or XmlEmptyElement(name) for empty content; the content is markup.
std::string XmlElement(std::string_view name, std::string_view content);
// "<name/>".
std::string XmlEmptyElement(std::string_view name);
// The text with & < > " ' as entities and characters XML cannot carry as U+FFFD, fit for
// element content and attribute values.
std::string XmlEscape(std::string_view text);

// Writes the text to the file: through a temporary file beside it that replaces it only when the
// whole text is written, so a failure leaves an earlier file as it was. Throws EExportError
// naming the file and the cause.
void SaveTextFile(const std::string& path, const std::string& text);
// A file written in parts through a temporary file beside it, which takes the file's place only
// when Commit is called and everything was written, so a failure or an interruption leaves an
// earlier file of that name as it was. A symbolic link is written through to the file it names,
// and a replaced file keeps its mode. The temporary file goes away unless committed. Throws
// EExportError naming the file and the cause.
class TReplacingFile {
public:
    explicit TReplacingFile(const std::string& path);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;
    int Fd() const { return fd_; }
    const std::string& TempPath() const { return temp_; }
    // Appends the bytes; after a failed write nothing more is written and Commit says why.
    void Write(std::string_view bytes);
    // Puts the file in place, unless reason (or a failed write) says why it cannot be.
    void Commit(const std::string& reason = {});

private:
    std::string path_;
    std::string target_;
    std::string temp_;
    unsigned mode_ = 0;
    int fd_ = -1;
    std::string failure_;
};
// Writes the grid as a workbook (one cell per grid cell) to the file, replacing it as SaveTextFile
// does. Throws EExportError naming the file and the cause.
void SaveGridAsWorkbook(const TGrid& grid, const std::string& path);
// Why a write failed, from its errno: a full disk, the file-size limit, permission… in words,
// followed by the system's text.
std::string WriteFailureCause(int error);

// The rows and cells a spreadsheet makes of pasted separated text.
std::vector<std::vector<std::string>> SplitPastedText(std::string_view text);
// Writes the separated text as a new workbook in the temporary folder (tabs and line ends split it
// into cells, as a paste would) and opens it with the desktop's handler. A failure shows
// "Error saving to Excel (%s) - Results are in clipboard"; false then.
bool SendToExcel(const std::string& clipboardText);
// There is no QuattroPro on this system: shows "Error saving to QP (%s) - Results are in clipboard"
// and gives false.
bool SendToQuattroPro(const std::string& clipboardText);

// Opens a document with the desktop's handler; the shell result code (above 32: started).
using TDocumentOpener = std::function<int(const std::string& path)>;
// Installs the opener SendToExcel uses (an empty one: OpenDocument); returns the one it replaces.
TDocumentOpener SetDocumentOpener(TDocumentOpener opener);

} // namespace era
