#pragma once

// The effective-rights analysis of one item: which trustees hold which effective rights on one
// directory object (directory mode) or one NetWare directory (file-system mode), and why — with
// the full trace of every level, filter and equivalence, and the self-checks against the
// directory's own answer.

#include "directory/client.h"
#include "util/string_list.h"
#include "rights/trace_levels.h"
#include "util/ui_host.h"

#include <cstdint>
#include <string>

namespace era {

// The flags word of an analysis.
constexpr uint32_t ScanResolveContainers = 1;   // residents of container trustees count too
constexpr uint32_t ScanDirectoryMode = 2;       // the item is a directory object (else a NetWare path)
constexpr uint32_t ScanUsersOnly = 4;           // keep only trustees that can log in

// Analyses one item. Trace lines (their level attached) go to trace when it is given and their
// level is at most maxLevel; result entries are appended to results (with their rights masks
// attached); statusBar (when given) shows progress in its panel 1. Failures of single client
// calls become trace lines and never end the analysis.
void U_AnalyzeEffectiveRights(NWDSContextHandle context, const std::string& item, int maxLevel, uint32_t flags,
                              TStringList* trace, TStringList& results, TStatusBar* statusBar);

} // namespace era
