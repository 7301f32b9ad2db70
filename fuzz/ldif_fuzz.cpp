// The LDIF tree loader over arbitrary bytes: the bytes become the one tree of a workstation file,
// which is loaded through the real workstation loader. A file that does not load must say why,
// naming the file; one that loads is walked once from the root.

#include "directory/attributes.h"
#include "fuzz/fuzz_support.h"
#include "rights/analysis.h"

#include <algorithm>
#include <cstdlib>

namespace {

const std::string& WorkstationFile() {
    static const std::string file = [] {
        const auto folder = era::fuzz::ScratchFolder();
        const std::string json = R"({"trees": [{"name": "FUZZ_TREE", "ldif": "tree.ldif"}]})";
        era::fuzz::WriteBytes(folder / "workstation.json", reinterpret_cast<const uint8_t*>(json.data()), json.size());
        return (folder / "workstation.json").string();
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const std::string& workstation = WorkstationFile();
    fuzz::WriteBytes(fuzz::ScratchFolder() / "tree.ldif", data, size);
    std::string message;
    std::unique_ptr<TWorkstationClient> client;
    const NWCCODE code = LoadWorkstation(workstation, client, message);
    if (code != 0) {
        // A refusal names the file it refused.
        if (client || message.find("tree.ldif") == std::string::npos) std::abort();
        return 0;
    }
    if (!client || client->Workstation().Trees.size() != 1) std::abort();
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees[0]);
    const auto& objects = tree.Objects();
    for (uint32_t i = 1; i < objects.size(); ++i)
        if (objects[i].Parent >= objects.size()) std::abort();

    // What the loaded tree answers: information, every attribute's lines and the analysis of the
    // first few objects, as a scan would ask for them.
    const TWorkstationClient* loaded = client.get();
    InstallClient(std::move(client));
    {
        TDSContext context;
        if (TDSContext::Create(context) != 0) std::abort();
        U_DSChangeTree(context.Get(), "FUZZ_TREE", false);
        U_DSSetContextToRoot(context.Get());
        U_DSSetContextFlag(context.Get(), "+", DcvTypelessNames);
        const TSnapshotTree& installed = *SnapshotTreeOf(*loaded->Workstation().Trees[0]);
        const uint32_t count = static_cast<uint32_t>(std::min<size_t>(installed.Objects().size(), 12));
        for (uint32_t i = 0; i < count; ++i) {
            const std::string name = i == RootObject ? "[Root]" : "." + WriteFullName(installed.FullName(i), false);
            DSObjectInfo info;
            U_DSObjectExists(context.Get(), name, info);
            for (const auto& attribute : installed.Object(i).Attributes) {
                TStringList lines;
                U_DSGetAttribute(context.Get(), name, installed.Attributes()[attribute.Attribute].Name, lines);
            }
            if (i < 4) {
                TStringList trace, results;
                U_AnalyzeEffectiveRights(context.Get(), name, 31, ScanDirectoryMode | ScanResolveContainers, &trace,
                                         results, nullptr);
            }
        }
    }
    InstallClient(nullptr);
    return 0;
}
