// era's benchmarks on generated trees of real size: loading, the analysis of one object and of
// many, whole scans through the scan driver, the Security Equals search, the directory's own
// effective-rights answer, the summary builder and the export writers.
//
//   era_bench [--benchmark_filter=REGEX] [--benchmark_repetitions=N] ...
//
// ERA_BENCH_LARGE=1 adds the load of a 1,000,000-entry tree (some 340 MB of LDIF, 2 GB of memory).
// ERA_BENCH_CACHE=DIR keeps the generated trees in DIR between runs.

#include "bench_tree.h"

#include "app/main_state.h"
#include "app/report.h"
#include "rights/analysis.h"
#include "rights/search_filter.h"
#include "util/export.h"
#include "util/ini_file.h"
#include "util/settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace era::bench {

namespace {

constexpr long Small = 10'000;
constexpr long Large = 100'000;
constexpr long Million = 1'000'000;
constexpr size_t ScanObjects = 1000;

// The process's peak resident size so far, in MB.
double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Runs the body with a directory installed; a failure to prepare it skips the benchmark.
template <typename TBody>
void WithDirectory(benchmark::State& state, long entries, TBody body) {
    TBenchDirectory* directory = nullptr;
    try {
        directory = &TBenchDirectory::Use(entries);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    body(*directory);
}

// --- Loading

void BM_LoadWorkstation(benchmark::State& state) {
    const long entries = state.range(0);
    TBenchDirectory::Release();   // the tree of an earlier benchmark would only add to the peak
    const TGeneratedTree* tree = nullptr;
    try {
        tree = &GeneratedTree(entries);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    size_t objects = 0;
    for (auto _ : state) {
        std::string message;
        auto client = LoadWorkstation(tree->Workstation, message);
        if (!client) {
            state.SkipWithError(message.c_str());
            return;
        }
        objects = SnapshotTreeOf(*client->Workstation().Trees.front())->Objects().size();
        benchmark::DoNotOptimize(client.get());
        state.PauseTiming();   // freeing the tree is no part of the load
        client.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(objects));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(tree->LdifBytes));
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["ldif_MB"] = static_cast<double>(tree->LdifBytes) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_LoadWorkstation)->Arg(Small)->Arg(Large)->Unit(benchmark::kMillisecond);

// --- The analysis

void BM_AnalyzeDeepLeaf(benchmark::State& state) {
    const uint32_t flags = static_cast<uint32_t>(state.range(1));
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        const std::string item = directory.DeepLeaf();
        size_t lines = 0, results = 0;
        for (auto _ : state) {
            TStringList trace, found;
            U_AnalyzeEffectiveRights(directory.ScanContext(), item, 31, flags, &trace, found, nullptr);
            lines = static_cast<size_t>(trace.Count());
            results = static_cast<size_t>(found.Count());
        }
        state.counters["trace_lines"] = static_cast<double>(lines);
        state.counters["results"] = static_cast<double>(results);
        state.SetLabel(item);
    });
}
BENCHMARK(BM_AnalyzeDeepLeaf)
    ->ArgNames({"entries", "flags"})
    ->Args({Small, ScanDirectoryMode})
    ->Args({Large, ScanDirectoryMode})
    ->Args({Large, ScanDirectoryMode | ScanResolveContainers})
    ->Unit(benchmark::kMicrosecond);

// Many objects, each batch other ones (every user in turn), so that a batch finds little of what
// the directory worked out for the batch before.
void BM_AnalyzeMany(benchmark::State& state) {
    const uint32_t flags = static_cast<uint32_t>(state.range(1));
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        const std::vector<std::string> users = directory.Users(static_cast<size_t>(state.range(0)));
        size_t next = 0;
        int64_t analysed = 0, lines = 0;
        for (auto _ : state) {
            for (size_t n = 0; n < ScanObjects; ++n) {
                TStringList trace, found;
                U_AnalyzeEffectiveRights(directory.ScanContext(), users[next], 31, flags, &trace, found, nullptr);
                next = (next + 1) % users.size();
                lines += trace.Count();
            }
            analysed += static_cast<int64_t>(ScanObjects);
        }
        state.SetItemsProcessed(analysed);
        state.counters["trace_lines_per_object"] = analysed ? static_cast<double>(lines) / analysed : 0.0;
    });
}
BENCHMARK(BM_AnalyzeMany)
    ->ArgNames({"entries", "flags"})
    ->Args({Small, ScanDirectoryMode})
    ->Args({Small, ScanDirectoryMode | ScanResolveContainers})
    ->Args({Large, ScanDirectoryMode})
    ->Args({Large, ScanDirectoryMode | ScanResolveContainers})
    ->Unit(benchmark::kMillisecond);

// --- Whole scans through the scan driver, as "era scan" runs them (flags: resolve containers).

void BM_ScanDoTheJob(benchmark::State& state) {
    const bool resolve = state.range(1) != 0;
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        TMainState main;
        main.Startup.EditionCode = 4;
        MapEdition(main.Startup);
        main.Startup.UserSettings = std::make_unique<TMemIniFile>();
        main.FillTreeList();
        main.Settings.ResolveContainers = resolve;
        main.ResultCache = std::make_unique<TCache>();
        for (const auto& user : directory.Users(ScanObjects)) main.CheckListBoxEdir.Add(user, true);
        for (auto _ : state) {
            main.DoTheJob();
            benchmark::DoNotOptimize(main.MemoStandard.Count());
        }
        if (!main.MissingItems.empty() || !main.FailedItems.empty()) state.SkipWithError("an item of the scan failed");
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ScanObjects));
        state.counters["summary_lines"] = main.MemoStandard.Count();
        state.counters["detail_lines"] = main.MemoDebug.Count();
    });
}
BENCHMARK(BM_ScanDoTheJob)
    ->ArgNames({"entries", "resolve"})
    ->Args({Large, 0})
    ->Args({Large, 1})
    ->Unit(benchmark::kMillisecond);

// --- Searches and the directory's own answers

void BM_SecurityEqualsSearch(benchmark::State& state) {
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        const std::string filter = "(Security Equals=" + directory.LargestGroup() + ")";
        int found = 0;
        for (auto _ : state) {
            TStringList results;
            NWCCODE code = U_DSFilteredSearch(directory.ScanContext(), "[Root]", filter, &results, 2);
            if (code != 0) {
                state.SkipWithError("the search failed");
                return;
            }
            found = results.Count();
        }
        state.counters["found"] = found;
        state.SetLabel(filter);
    });
}
BENCHMARK(BM_SecurityEqualsSearch)->Arg(Large)->ArgName("entries")->Unit(benchmark::kMicrosecond);

// NWDSGetEffectiveRights through the client for pairs of users (subject) and users (object),
// each iteration another pair; the client keeps what it works out, as it does in a scan.
void BM_DirectoryEffectiveRights(benchmark::State& state) {
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        const std::vector<std::string> subjects = directory.Users(ScanObjects);
        const std::vector<std::string> objects = directory.Users(ScanObjects / 10);
        size_t n = 0;
        for (auto _ : state) {
            uint32_t privileges = 0;
            const NWCCODE code = Client().NWDSGetEffectiveRights(directory.ScanContext(), subjects[n % subjects.size()],
                                                                 objects[n % objects.size()], "[Entry Rights]",
                                                                 privileges);
            benchmark::DoNotOptimize(privileges);
            if (code != 0) {
                state.SkipWithError("NWDSGetEffectiveRights failed");
                return;
            }
            ++n;
        }
        state.SetItemsProcessed(state.iterations());
    });
}
BENCHMARK(BM_DirectoryEffectiveRights)->Arg(Large)->ArgName("entries");

// --- The report and the exports

// The traces of a hundred analyses with resident trustees resolved, as one large trace.
TStringList LargeTrace(TBenchDirectory& directory) {
    TStringList trace;
    for (const auto& user : directory.Users(100)) {
        TStringList results;
        U_AnalyzeEffectiveRights(directory.ScanContext(), user, 31, ScanDirectoryMode | ScanResolveContainers, &trace,
                                 results, nullptr);
    }
    return trace;
}

void BM_BuildSummary(benchmark::State& state) {
    const bool columns = state.range(1) != 0;
    WithDirectory(state, state.range(0), [&](TBenchDirectory& directory) {
        const TStringList trace = LargeTrace(directory);
        TMemIniFile program;
        IniWriteInteger(program, "Attributes", "AttrCount", 2);
        IniWriteString(program, "Attributes", "AttrFormat", "#Attr_01#TAB#Attr_02");
        IniWriteString(program, "Attributes", "Attr_01", "Full Name");
        IniWriteString(program, "Attributes", "Attr_02", "Telephone Number");
        TAttrConfig config = ReadAttrConfig(program);
        TCache cache;
        TReportInputs inputs;
        inputs.AttrColumnsEnabled = columns;
        inputs.AttrConfig = &config;
        inputs.ResultCache = &cache;
        inputs.Context = directory.ScanContext();
        int summaryLines = 0;
        for (auto _ : state) {
            state.PauseTiming();
            TStringList copy = trace;
            state.ResumeTiming();
            BuildSummary(copy, inputs);
            summaryLines = copy.Count();
        }
        state.SetItemsProcessed(state.iterations() * trace.Count());
        state.counters["trace_lines"] = trace.Count();
        state.counters["summary_lines"] = summaryLines;
    });
}
BENCHMARK(BM_BuildSummary)
    ->ArgNames({"entries", "columns"})
    ->Args({Large, 0})
    ->Args({Large, 1})
    ->Unit(benchmark::kMillisecond);

// A memo of 10,000 lines as a scan writes them (the detail text of real analyses).
TStringList TenThousandLines(TBenchDirectory& directory) {
    TStringList memo;
    for (const auto& user : directory.Users(ScanObjects)) {
        TStringList results;
        U_AnalyzeEffectiveRights(directory.ScanContext(), user, 31, ScanDirectoryMode, &memo, results, nullptr);
        if (memo.Count() >= 10'000) break;
    }
    while (memo.Count() > 10'000) memo.Delete(memo.Count() - 1);
    return memo;
}

void BM_ExportLines(benchmark::State& state, const char* keyword, const char* extension) {
    WithDirectory(state, Small, [&](TBenchDirectory& directory) {
        const TStringList memo = TenThousandLines(directory);
        const auto path = std::filesystem::temp_directory_path() /
                          ("era-bench-export-" + std::to_string(::getpid()) + extension);
        for (auto _ : state) {
            if (!ExportLines(memo, keyword, path.string())) {
                state.SkipWithError("the export failed");
                break;
            }
        }
        std::error_code ec;
        state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path, ec)));
        state.SetItemsProcessed(state.iterations() * memo.Count());
        state.counters["lines"] = memo.Count();
        std::filesystem::remove(path, ec);
    });
}
BENCHMARK_CAPTURE(BM_ExportLines, txt, "TXT", ".txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportLines, csv, "CSV", ".csv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportLines, html, "HTML", ".html")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportLines, xml, "XML", ".xml")->Unit(benchmark::kMillisecond);

} // namespace

// The million-entry load, only on request: it takes a generated file of some 340 MB and 2 GB of memory.
void RegisterLargeBenchmarks() {
    const char* large = std::getenv("ERA_BENCH_LARGE");
    if (!large || !*large || std::string(large) == "0") return;
    benchmark::RegisterBenchmark("BM_LoadWorkstation", BM_LoadWorkstation)
        ->Arg(Million)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

} // namespace era::bench

int main(int argc, char** argv) {
    era::bench::RegisterLargeBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    era::bench::TBenchDirectory::Release();
    return 0;
}
