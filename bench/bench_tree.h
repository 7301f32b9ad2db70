#pragma once

// What every benchmark stands on: trees made by the project's generator (once per run, outside
// any timed region) and the embedded directory loaded from them and started as the program
// starts it — the client and its redirector installed, the client started, the scan context at
// [Root] of the tree with typeless names, as the selection pages prepare it.

#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"
#include "directory/context.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace era::bench {

// A generated workstation: the folder, its workstation file and LDIF export.
struct TGeneratedTree {
    long Entries = 0;
    std::string Folder;
    std::string Workstation;
    std::string Ldif;
    uintmax_t LdifBytes = 0;
};

// The tree of that many entries (default generator options, seed 1), generated at first use into
// the run's folder: $ERA_BENCH_CACHE when set (kept, and reused when already there), else a
// temporary folder removed when the run ends. Throws std::runtime_error when generation fails.
const TGeneratedTree& GeneratedTree(long entries);

// A generated tree loaded and installed as the process-wide client.
class TBenchDirectory {
public:
    // The directory of that many entries, loading it (and dropping the one loaded before) when
    // another is installed. Throws std::runtime_error when it does not load or start.
    static TBenchDirectory& Use(long entries);
    // Drops the installed directory (its memory goes back before a bigger one loads).
    static void Release();

    ~TBenchDirectory();
    TBenchDirectory(const TBenchDirectory&) = delete;
    TBenchDirectory& operator=(const TBenchDirectory&) = delete;

    long Entries() const { return entries_; }
    NWDSContextHandle ScanContext() const { return scan_.Get(); }
    const TSnapshotTree& Tree() const { return *tree_; }
    // The typeless full name (".user5.u9.u1.synth") of an object of the tree.
    std::string Name(uint32_t object) const;
    // count users spread evenly over the tree (every n-th user in file order).
    std::vector<std::string> Users(size_t count) const;
    // A user at the greatest depth below [Root].
    std::string DeepLeaf() const;
    // The group (in file order) with the most members.
    std::string LargestGroup() const;
    // The depth of an object below [Root] ([Root] 0).
    int Depth(uint32_t object) const;

private:
    explicit TBenchDirectory(long entries);

    long entries_;
    const TSnapshotTree* tree_ = nullptr;
    TDSContext scan_;
};

} // namespace era::bench
