// Loads a workstation file with the embedded directory and says how long it took and what it
// holds: the load figure of a generated tree, wall clock and the CPU time of the process (every
// thread) during the load, which a busy machine inflates less than the wall clock.
//
//   era_load_workstation FILE

#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"

#include <chrono>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: era_load_workstation FILE\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::string message;
    auto client = era::LoadWorkstation(argv[1], message);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!client) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    size_t objects = 0;
    for (const auto& tree : client->Workstation().Trees)
        if (const era::TSnapshotTree* snapshot = era::SnapshotTreeOf(*tree)) objects += snapshot->Objects().size();
    std::printf("loaded %zu objects in %zu tree(s) in %.3f s\n", objects, client->Workstation().Trees.size(), seconds);
    std::printf("cpu %.3f s\n", cpuSeconds);
    return 0;
}
