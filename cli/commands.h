#pragma once

// What each command of era does and prints: the handlers of the command table, over app/.

#include "cli/options.h"
#include "directory/client.h"

#include <string>

namespace era {

// Pushes what standard output holds to its file; false once a write has failed, the cause kept.
bool FlushStandardOutput();
// The cause of the first failed write to standard output (an errno); 0 while all went through.
int& StandardOutputError();

// Logs one client call for --debug as the scan logs its calls: "VX: " and the operation with its
// item in parentheses, and for a failed call " - " and the error text. Gives the code back.
NWCCODE Logged(bool debug, const std::string& call, NWCCODE code);

// Prepares the eDirectory edition's contexts in the tree (empty: the primary connection's); false
// (with a message) when the workstation is attached to no tree or not to that one.
bool PrepareTree(TMainState& state, const std::string& tree);

// The handlers of the command table, one per command.
int RunTrees(TMainState& state, const TCommandLine& line);
int RunServers(TMainState& state, const TCommandLine& line);
int RunLs(TMainState& state, const TCommandLine& line);
int RunAttr(TMainState& state, const TCommandLine& line);
int RunSearch(TMainState& state, const TCommandLine& line);
int RunRights(TMainState& state, const TCommandLine& line);
int RunScan(TMainState& state, const TCommandLine& line);
int RunScanPath(TMainState& state, const TCommandLine& line);
int RunDiff(TMainState& state, const TCommandLine& line);
int RunReach(TMainState& state, const TCommandLine& line);

} // namespace era
