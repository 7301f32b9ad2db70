#pragma once

// The levels of trace lines. Every line the analysis and the scan driver write carries one; a scan
// keeps the lines up to its maximum (LevelHeader: all it shows), and the report builder picks the
// summary's lines by their level.

#include <cstdint>

namespace era {

enum TTraceLevel : std::uint32_t {
    LevelEffective = 5,        // "Effective: ..." per trustee, and its self-check lines
    LevelObjectDn = 12,        // "DN: ..." opening one level of the walk up the tree
    LevelItemHeading = 13,     // "Object: ...", "Tree/Volume/Server: ..." and the driver's "Path: ..."
    LevelItemStart = 14,       // the blank line that opens an item in the summary
    LevelPathFilter = 14,      // "Path: ... - IRM ..." of a path; the item's own opens it like LevelItemStart
    LevelDirectTrustee = 15,   // "Direct Trustee: ..." of one level
    LevelResident = 16,        // "Indirect Trustee: ... (Resides in ...)"
    LevelSecurityEquals = 17,  // "Indirect Trustee: ... (SecEqu to ...)"
    LevelInheritedFilter = 18, // "IRM: ..." of one level
    LevelDriverError = 21,     // a failed call of the scan driver
    LevelCallError = 22,       // a failed client call of the analysis
    LevelHeader = 31,          // headers, separators, notes and blank lines of the detail
    LevelFileRecalc = 41,      // file-system filter and recalculation steps, beyond every scan's maximum
};

// Added to the levels of a walk level's lines when the level is a container above the item, so
// that the item's own level keeps the lower numbers.
constexpr std::uint32_t LevelAbove = 10;

} // namespace era
