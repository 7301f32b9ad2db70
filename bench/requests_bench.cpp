// What one analysis asks of the directory: the embedded directory with a count of every request a
// remote directory would have to answer (reads, object information, listings, searches,
// effective-rights questions), set against the levels of the object's chain and the distinct
// trustees of its result. Over LDAP each of these requests is a round trip unless the backend
// answers it from what it has already read.

#include "bench_tree.h"

#include "client/redirector.h"
#include "directory/connections.h"
#include "rights/analysis.h"
#include "rights/notation.h"

#include <benchmark/benchmark.h>

#include <set>

namespace era::bench {

namespace {

class TCountingClient final : public TWorkstationClient {
public:
    using TWorkstationClient::TWorkstationClient;

    NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                     const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) override {
        ++Reads;
        return TWorkstationClient::NWDSRead(context, object, infoType, allAttrs, attrNames, iterationHandle, result);
    }
    NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object, std::string& distinguishedName,
                               TObjectInfo& info) override {
        ++Information;
        return TWorkstationClient::NWDSReadObjectInfo(context, object, distinguishedName, info);
    }
    NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object, TDSBuffer& buffer) override {
        ++Information;
        return TWorkstationClient::NWDSReadObjectDSIInfo(context, object, buffer);
    }
    NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                     TDSBuffer& result) override {
        ++Listings;
        return TWorkstationClient::NWDSList(context, object, iterationHandle, result);
    }
    NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                               TDSBuffer& result) override {
        ++Listings;
        return TWorkstationClient::NWDSListContainers(context, object, iterationHandle, result);
    }
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attrName, uint32_t& privileges) override {
        ++Rights;
        return TWorkstationClient::NWDSGetEffectiveRights(context, subject, object, attrName, privileges);
    }
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp, uint32_t infoType,
                              bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                              int32_t countObjectsToSearch, int32_t& countObjectsSearched, TDSBuffer& result) override {
        ++Searches;
        return TWorkstationClient::NWDSExtSyncSearch(context, baseObjectName, scope, searchAliases, filterBuffer, timeStamp,
                                                  infoType, allAttrs, attrNames, iterationHandle, countObjectsToSearch,
                                                  countObjectsSearched, result);
    }
    void Reset() { Reads = Information = Listings = Rights = Searches = 0; }
    int64_t Total() const { return Reads + Information + Listings + Rights + Searches; }

    int64_t Reads = 0, Information = 0, Listings = 0, Rights = 0, Searches = 0;
};

// Analyses 1,000 users spread over the tree once, through the counting client.
void BM_RequestsPerObject(benchmark::State& state) {
    const long entries = state.range(0);
    const uint32_t flags = static_cast<uint32_t>(state.range(1));
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
    auto owned = std::make_unique<TCountingClient>(std::move(workstation));
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
    ->ArgNames({"entries", "flags"})
    ->Args({100'000, ScanDirectoryMode})
    ->Args({100'000, ScanDirectoryMode | ScanResolveContainers})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace era::bench
