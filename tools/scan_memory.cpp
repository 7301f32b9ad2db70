// Scans the first objects of a workstation's first tree in one process, as the scan driver does
// for a selection, and says how the resident memory grows with the number of items: the figure
// that tells a per-item leak from the memos' own output.
//
//   era_scan_memory FILE [ITEMS]   (default 10000; a sample every tenth of the way)

#include "app/main_state.h"
#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"
#include "directory/client.h"
#include "util/ini_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

size_t MemoBytes(const era::TStringList& memo) {
    size_t bytes = 0;
    for (const auto& item : memo.Items()) bytes += item.Text.size();
    return bytes;
}

// Samples the memory whenever the driver moves on to the item at a sampling point.
class TSamplingStatusBar final : public era::TStatusBar {
public:
    TSamplingStatusBar(era::TMainState& state, int every) : state_(state), every_(every) {}
    void SetPanelText(int index, std::string text) override {
        // Each item's trace starts with the separator line; the driver has started item
        // "items_" once the detail memo holds that many.
        const era::TStringList& memo = state_.MemoDebug;
        for (; seen_ < memo.Count(); ++seen_)
            if (memo.Strings(seen_) == "_____________________" && ++items_ % every_ == 0)
                std::printf("%8d items: VmRSS %7ld kB, memos %9zu bytes of text in %zu lines\n", items_, ResidentKb(),
                            MemoBytes(state_.MemoDebug) + MemoBytes(state_.MemoStandard),
                            static_cast<size_t>(state_.MemoDebug.Count() + state_.MemoStandard.Count()));
        era::TStatusBar::SetPanelText(index, std::move(text));
    }

private:
    era::TMainState& state_;
    int every_;
    int items_ = 0;
    int seen_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    using namespace era;
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: era_scan_memory FILE [ITEMS]\n");
        return 2;
    }
    const int wanted = argc == 3 ? std::atoi(argv[2]) : 10000;
    std::string message;
    if (InstallWorkstation(argv[1], message) != 0) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    std::printf("workstation loaded: VmRSS %ld kB\n", ResidentKb());
    const auto& client = static_cast<const TWorkstationClient&>(Client());
    const TSnapshotTree& tree = *SnapshotTreeOf(*client.Workstation().Trees.front());

    TMainState state;
    state.Startup.UserSettings = std::make_unique<TMemIniFile>();
    state.ResultCache = std::make_unique<TCache>();
    state.FillTreeList();
    state.CheckListBoxEdir.Clear();
    int items = 0;
    for (uint32_t i = 1; i < tree.Objects().size() && items < wanted; ++i, ++items)
        state.CheckListBoxEdir.Add("." + WriteFullName(tree.FullName(i), false), true);
    state.StatusBar = std::make_unique<TSamplingStatusBar>(state, std::max(1, items / 10));
    std::printf("%d items selected: VmRSS %ld kB\n", items, ResidentKb());
    state.DoTheJob();
    std::printf("scan done: VmRSS %ld kB; %zu items missing, %zu failed\n", ResidentKb(), state.MissingItems.size(),
                state.FailedItems.size());
    state.MemoDebug.Clear();
    state.MemoStandard.Clear();
    state.StatusBar = std::make_unique<TSamplingStatusBar>(state, std::max(1, items / 10));
    // A second scan of the same selection: with the memos emptied first it must not need more.
    state.DoTheJob();
    std::printf("second scan done: VmRSS %ld kB\n", ResidentKb());
    return 0;
}
