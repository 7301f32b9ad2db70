// Counts the requests an analysis sends to an LDAP server: for each object named, the round trips
// of its first analysis with nothing kept (cold) and of the same analysis again at once (warm),
// then of a scan of all of them in order on one client and of that scan again (the answers of the
// first pass still within the tree's cache time). Each object's levels (the "DN:" lines of its
// walk up the tree) and distinct trustees (of its result) are counted too, and the warm figure is
// held against a round trip per level, one per distinct trustee and one more. The calls of the
// directory interface that cost the round trips are counted by kind.
//
//   era_round_trips [--resolve-containers] WORKSTATION OBJECTS
//
// WORKSTATION names the tree over LDAP as its primary tree; OBJECTS holds one name a line (full
// typeless names, LDAP DNs or [Root]; blank lines and "#" comments are skipped). Exit status 0
// when every object met the target warm, 1 when one missed it, 2 on a usage or start-up error.

#include "tools/round_trips.h"

#include "app/lookups.h"
#include "client/redirector.h"
#include "directory/connections.h"
#include "directory/context.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace era;
using namespace era::roundtrips;

std::vector<std::string> ReadObjects(const std::string& path) {
    std::vector<std::string> objects;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        objects.push_back(line == "[Root]" ? line : DirectoryName(line));
    }
    return objects;
}

double PerObject(uint64_t total, size_t objects) {
    return static_cast<double>(total) / static_cast<double>(objects);
}

void PrintKinds(const char* title, const TTally& tally, size_t objects) {
    std::printf("  %s, per object: calls / round trips\n", title);
    for (size_t k = 0; k < KindCount; ++k) {
        if (tally.Calls[k] == 0) continue;
        std::printf("    %-44s %8.2f / %7.2f\n", KindTitles[k], PerObject(tally.Calls[k], objects),
                    PerObject(tally.Trips[k], objects));
    }
}

} // namespace

int main(int argc, char** argv) {
    uint32_t flags = ScanDirectoryMode;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--resolve-containers")
            flags |= ScanResolveContainers;
        else
            operands.push_back(arg);
    }
    if (operands.size() != 2) {
        std::fprintf(stderr, "usage: era_round_trips [--resolve-containers] WORKSTATION OBJECTS\n");
        return 2;
    }
    const std::vector<std::string> objects = ReadObjects(operands[1]);
    if (objects.empty()) {
        std::fprintf(stderr, "era_round_trips: %s names no object\n", operands[1].c_str());
        return 2;
    }
    std::string message;
    auto owned = LoadCountingClient(operands[0], message);
    if (!owned) {
        std::fprintf(stderr, "era_round_trips: %s\n", message.c_str());
        return 2;
    }
    TCountingLdapClient& client = *owned;
    InstallClient(std::move(owned));
    InstallClientRedirector();
    ResetNetWareStartup();
    int status = 2;
    {
        TDSContext context;
        const std::string tree = U_GetPrimaryTreeName();
        if (InitNetWare() != 0 || TDSContext::Create(context) != 0 ||
            U_DSChangeTree(context.Get(), tree, false) != 0 || U_DSSetContextToRoot(context.Get()) != 0 ||
            U_DSSetContextFlag(context.Get(), "+", DcvTypelessNames) != 0) {
            std::fprintf(stderr, "era_round_trips: the client did not start: %s\n",
                         client.LastError().c_str());
        } else if (!client.IsLdapTree(tree)) {
            std::fprintf(stderr, "era_round_trips: the primary tree %s is not read over LDAP\n",
                         tree.c_str());
        } else {
            const size_t n = objects.size();
            // Cold and warm per object: nothing kept before the first analysis, all of it kept for
            // the second.
            uint64_t cold = 0, warm = 0, levels = 0, trustees = 0, target = 0;
            uint64_t warmMax = 0;
            size_t missed = 0;
            // A server without the effective-privileges operation is never asked; one with it
            // (eDirectory) gets each distinct question of the first analysis, and of the second
            // only those the first did not ask (the client keeps the answers for the cache time).
            uint64_t unsentCalls = 0, unsentRights = 0, distinctRights = 0;
            size_t missedWithRights = 0;
            std::string worst;
            TTally coldKinds, warmKinds;
            for (const auto& object : objects) {
                client.ClearCache();
                client.Tally = {};
                client.Asked.clear();
                const TAnalysis first = Analyse(client, context.Get(), object, flags);
                distinctRights += client.Asked.size();
                const std::set<std::string> askedCold = std::move(client.Asked);
                client.Asked.clear();
                coldKinds.Add(client.Tally);
                client.Tally = {};
                const TAnalysis again = Analyse(client, context.Get(), object, flags);
                warmKinds.Add(client.Tally);
                cold += first.Trips;
                warm += again.Trips;
                levels += again.Levels;
                trustees += again.Trustees;
                const uint64_t allowed = static_cast<uint64_t>(again.Levels + again.Trustees) + 1;
                target += allowed;
                if (again.Trips > allowed) ++missed;
                uint64_t unsent = 0;
                if (client.Tally.Trips[KindEffectiveRights] == 0) {
                    unsentCalls += client.Tally.Calls[KindEffectiveRights];
                    for (const auto& question : client.Asked)
                        unsent += askedCold.count(question) == 0;
                }
                unsentRights += unsent;
                if (again.Trips + unsent > allowed) ++missedWithRights;
                if (again.Trips > warmMax || worst.empty()) {
                    warmMax = again.Trips;
                    worst = object;
                }
            }
            // A scan: the objects in order on one client, then the same scan again.
            client.ClearCache();
            client.Tally = {};
            uint64_t pass[2] = {0, 0};
            double seconds[2] = {0, 0};
            TTally passKinds[2];
            for (int p = 0; p < 2; ++p) {
                const auto start = std::chrono::steady_clock::now();
                const uint64_t before = client.RoundTrips();
                for (const auto& object : objects)
                    Analyse(client, context.Get(), object, flags);
                pass[p] = client.RoundTrips() - before;
                seconds[p] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                passKinds[p] = client.Tally;
                client.Tally = {};
            }

            std::printf("LDAP round trips per analysed object: %zu objects of %s, flags %u\n", n,
                        tree.c_str(), flags);
            std::printf("  levels %.2f, distinct trustees %.2f, target warm (levels + trustees + 1) %.2f\n",
                        PerObject(levels, n), PerObject(trustees, n), PerObject(target, n));
            std::printf("  cold  (nothing kept, first analysis of the object)     %8.2f\n",
                        PerObject(cold, n));
            std::printf(
                "  warm  (the same object again at once)                  %8.2f   (at most %llu: %s)\n",
                PerObject(warm, n), static_cast<unsigned long long>(warmMax), worst.c_str());
            std::printf("  scan  (all objects in order on one client, first pass) %8.2f   (%.2f s)\n",
                        PerObject(pass[0], n), seconds[0]);
            std::printf("  scan  again (second pass, within the cache time)       %8.2f   (%.2f s)\n",
                        PerObject(pass[1], n), seconds[1]);
            std::printf("  warm target: %s (%zu of %zu objects over levels + trustees + 1)\n",
                        missed == 0 ? "met" : "missed", missed, n);
            if (unsentCalls > 0) {
                std::printf("  the server did not get the %.2f effective-rights questions per object\n"
                            "  (it does not answer getEffectivePrivileges); one that does gets the\n"
                            "  %.2f distinct ones cold (cold at least %.2f) and warm only those the\n"
                            "  first analysis did not ask, %.2f, the others being kept for the cache\n"
                            "  time: warm would be %.2f, target %s (%zu of %zu objects over)\n",
                            PerObject(unsentCalls, n), PerObject(distinctRights, n),
                            PerObject(cold + distinctRights, n), PerObject(unsentRights, n),
                            PerObject(warm + unsentRights, n), missedWithRights == 0 ? "met" : "missed",
                            missedWithRights, n);
            }
            PrintKinds("cold", coldKinds, n);
            PrintKinds("warm", warmKinds, n);
            PrintKinds("scan, first pass", passKinds[0], n);
            PrintKinds("scan, second pass", passKinds[1], n);
            // One line for the scripts that read the figures.
            std::printf("figures: cold=%.2f warm=%.2f target=%.2f over=%zu objects=%zu pass1=%.2f pass2=%.2f "
                        "unsent=%.2f overWithUnsent=%zu\n",
                        PerObject(cold, n), PerObject(warm, n), PerObject(target, n), missed, n,
                        PerObject(pass[0], n), PerObject(pass[1], n), PerObject(unsentRights, n),
                        missedWithRights);
            status = missed == 0 ? 0 : 1;
        }
    }
    ResetNetWareStartup();
    SetNetworkDirectoryResolver(nullptr);
    InstallClient(nullptr);
    return status;
}
