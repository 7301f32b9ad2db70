// What one analysis asks of the directory: the embedded directory with a count of every request a
// remote directory would have to answer (reads, object information, listings, searches,
// effective-rights questions), set against the levels of the object's chain and the distinct
// trustees of its result. Over LDAP each of these requests is a round trip unless the backend
// answers it from what it has already read. With kept 1 the client says its answers cannot change,
// so the analysis answers what it asked for an earlier object itself (the embedded directory).

#include "bench_tree.h"
#include "counting_client.h"

#include "client/redirector.h"
#include "directory/connections.h"
#include "rights/analysis.h"
#include "rights/notation.h"

#include <benchmark/benchmark.h>

#include <set>

namespace era::bench {

namespace {

// Analyses 1,000 users spread over the tree once, through the counting client.
void BM_RequestsPerObject(benchmark::State& state) {
    const long entries = state.range(0);
    const uint32_t flags = static_cast<uint32_t>(state.range(1));
    const bool kept = state.range(2) != 0;
    std::vector<std::string> users;
    std::vector<int> depths;
    try {
        TBenchDirectory& directory = TBenchDirectory::Use(entries);
        users = directory.Users(1000);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    TBenchDirectory::Release();
    std::string message;
    auto workstation = LoadWorkstationFile(GeneratedTree(entries).Workstation, message);
    if (!workstation) {
        state.SkipWithError(message.c_str());
        return;
    }
    auto owned = std::make_unique<TCountingClient>(std::move(workstation), kept);
    TCountingClient* client = owned.get();
    InstallClient(std::move(owned));
    InstallClientRedirector();
    ResetNetWareStartup();
    TDSContext context;
    if (InitNetWare() != 0 || TDSContext::Create(context) != 0 ||
        U_DSChangeTree(context.Get(), U_GetPrimaryTreeName(), false) != 0 || U_DSSetContextToRoot(context.Get()) != 0 ||
        U_DSSetContextFlag(context.Get(), "+", DcvTypelessNames) != 0) {
        state.SkipWithError("the counting client did not start");
    } else {
        int64_t levels = 0, trustees = 0;
        for (auto _ : state) {
            client->Reset();
            levels = trustees = 0;
            for (const auto& user : users) {
                TStringList trace, results;
                U_AnalyzeEffectiveRights(context.Get(), user, 31, flags, &trace, results, nullptr);
                // The chain: every dot-separated part of the name and [Root].
                levels += static_cast<int64_t>(std::count(user.begin(), user.end(), '.')) + 1;
                std::set<std::string> distinct;
                for (const auto& entry : results.Items()) distinct.insert(U_ACLTrustee(entry.Text));
                trustees += static_cast<int64_t>(distinct.size());
            }
        }
        const double n = static_cast<double>(users.size());
        state.counters["levels"] = static_cast<double>(levels) / n;
        state.counters["trustees"] = static_cast<double>(trustees) / n;
        state.counters["requests"] = static_cast<double>(client->Total()) / n;
        state.counters["reads"] = static_cast<double>(client->Reads) / n;
        state.counters["info"] = static_cast<double>(client->Information) / n;
        state.counters["lists"] = static_cast<double>(client->Listings) / n;
        state.counters["searches"] = static_cast<double>(client->Searches) / n;
        state.counters["rights"] = static_cast<double>(client->Rights) / n;
        state.counters["target"] = static_cast<double>(levels + trustees) / n;   // a level each, a trustee each
    }
    context.Reset();
    ResetNetWareStartup();
    SetNetworkDirectoryResolver(nullptr);
    InstallClient(nullptr);
}
BENCHMARK(BM_RequestsPerObject)
    ->ArgNames({"entries", "flags", "kept"})
    ->Args({100'000, ScanDirectoryMode, 0})
    ->Args({100'000, ScanDirectoryMode | ScanResolveContainers, 0})
    ->Args({100'000, ScanDirectoryMode, 1})
    ->Args({100'000, ScanDirectoryMode | ScanResolveContainers, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace era::bench
