#pragma once

// What one trustee reaches: of the items of a scan, the summary rows that name the trustee, each
// with its self-check rows and the reasons the item's trace gives for those rights. Made from the
// same summary and trace as the scan of the item writes, so that it can never differ from it.

#include <string>
#include <vector>

namespace era {

// One trustee row of an item's summary with what belongs to it.
struct TReachRow {
    // As the summary writes it: "Effective Trustee:\tCLASS\t[RIGHTS]\tTRUSTEE\tATTRIBUTE" (of a
    // path without the attribute).
    std::string Row;
    std::vector<std::string> SelfChecks; // its "Self-check:\t..." rows
    // The reasons of the trace, as it lists them below the trustee's "Effective:" line without
    // their leading "     * ": "[CR    ] for SecEqu to \".everyone.acme\"", ...
    std::vector<std::string> Reasons;
    // Its place among the item's trustee rows (0: the first), by which other forms of the same row
    // (its JSON record) are found.
    size_t Index = 0;
};

// The rows of one item that name the trustee.
struct TReachItem {
    // The summary's heading lines: "Object: ..." of an object; "Path: ..." and
    // "Tree/Volume/Server: ..." of a path.
    std::vector<std::string> Heading;
    std::vector<TReachRow> Rows;
};

// The trustee field of a summary's trustee row; empty for any other line.
std::string SummaryRowTrustee(const std::string& line);

// Takes from an item's summary lines and detail lines the rows whose trustee is the one given (a
// full name as the summary writes it, compared without regard to case, as the directory compares
// names). False when the two texts do not belong together: a trustee row whose effective-rights
// line is missing from the trace or has other rights.
bool ReachOfItem(const std::vector<std::string>& summary, const std::vector<std::string>& details,
                 const std::string& trustee, TReachItem& reach);

// The lines that show an item's reach: the heading lines, then each row followed by its self-check
// rows and its reasons (each as the trace writes it, "     * " and the reason), then an empty line;
// none for an item without rows.
std::vector<std::string> ReachLines(const TReachItem& reach);

} // namespace era
