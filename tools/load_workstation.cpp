// Loads a workstation file with the embedded directory and says how long it took and what it
// holds: the load figure of a generated tree.
//
//   era_load_workstation FILE

#include "client/snapshot/snapshot_client.h"
#include "client/workstation_client.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: era_load_workstation FILE\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    std::string message;
    auto client = era::LoadWorkstation(argv[1], message);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!client) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    size_t objects = 0;
    for (const auto& tree : client->Workstation().Trees)
        if (const era::TSnapshotTree* snapshot = era::SnapshotTreeOf(*tree)) objects += snapshot->Objects().size();
    std::printf("loaded %zu objects in %zu tree(s) in %.3f s\n", objects, client->Workstation().Trees.size(), seconds);
    return 0;
}
