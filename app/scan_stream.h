#pragma once

// A scan of items taken one at a time (a subtree walk, a file of names), each item's output
// handed on as soon as it is done and in the items' order: scanned in this process, or spread
// over worker processes that share the loaded directory.
//
// Why processes: the client (installed once per process) and the analysis keep mutable caches
// and are not made for threads. A worker forked after the workstation is loaded shares the
// loaded trees copy-on-write without a line of locking, keeps caches of its own, and cannot
// disturb another worker or the parent by anything it does, a crash included. The parent deals
// the items round-robin, a few ahead per worker, and reads each worker's answers in the order it
// dealt them, so the output keeps the items' order; a worker that runs ahead blocks on its full
// socket, so memory stays bounded by the few items in flight, whatever the number of items.

#include <functional>
#include <string>
#include <vector>

namespace era {

class TMainState;

// Which lines of an item a scan hands on: its summary, its detail text, or both (the summary in
// Lines, the detail text in DetailLines).
enum class TItemLines { Summary, Details, Both };

// What the scan of one item gave.
struct TItemOutput {
    std::string Item;
    std::vector<std::string> Lines;       // the lines shown: the summary's, or the detail text's
    std::vector<std::string> DetailLines; // with TItemLines::Both, the detail text's lines
    std::vector<std::string> Records;     // the JSON records of the summary's rows, when the state keeps them
    std::vector<std::string> Log;         // the troubleshooting log's lines of the item (debug mode)
    bool Missing = false;                 // the item was not found
    bool Done = false;                    // found and analysed to the end
    std::string Failure;                  // why it ended early; empty when it did not
};

// Gives the next item; false when there is none (or no more is wanted).
using TNextItem = std::function<bool(std::string& item)>;
// Takes one item's output.
using TDeliverItem = std::function<void(const TItemOutput& output)>;

// Scans the items that next gives, in a scan the caller has begun (TMainState::BeginScan) and
// ends, and hands each item's output to deliver in the items' order; lines chooses the lines
// handed on. The state's MissingItems, FailedItems and ItemsDone count the items as when they are
// scanned with ScanItem. With jobs above 1 the items are scanned in that many worker processes;
// an item whose worker ended before answering (a crash, a kill) is a failed item with the cause,
// and a new worker takes over the rest of that worker's items. Throws std::runtime_error when no
// worker process can be started.
void ScanItems(TMainState& state, TItemLines lines, int jobs, const TNextItem& next,
               const TDeliverItem& deliver);

// The number of processors this process may run on (at least 1): the default number of jobs.
int AvailableCores();

} // namespace era
