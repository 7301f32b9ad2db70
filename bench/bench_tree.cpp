#include "bench_tree.h"

#include "client/redirector.h"
#include "directory/connections.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace era::bench {

namespace {

namespace fs = std::filesystem;

// The run's folder for generated trees; a temporary one goes when the run ends.
class TRunFolder {
public:
    TRunFolder() {
        if (const char* cache = std::getenv("ERA_BENCH_CACHE"); cache && *cache) {
            path_ = cache;
        } else {
            path_ = fs::temp_directory_path() / ("era-bench-" + std::to_string(::getpid()));
            temporary_ = true;
        }
        fs::create_directories(path_);
    }
    ~TRunFolder() {
        std::error_code ignored;
        if (temporary_) fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
    bool temporary_ = false;
};

TRunFolder& RunFolder() {
    static TRunFolder folder;
    return folder;
}

// Runs the generator and waits for it; its report line is dropped.
void Generate(long entries, const fs::path& out) {
    std::vector<std::string> args = {ERA_GEN_TREE, "--entries", std::to_string(entries), "--out", out.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("era_gen_tree --entries " + std::to_string(entries) + " failed");
}

std::unique_ptr<TBenchDirectory>& Installed() {
    static std::unique_ptr<TBenchDirectory> directory;
    return directory;
}

} // namespace

const TGeneratedTree& GeneratedTree(long entries) {
    static std::map<long, TGeneratedTree> trees;
    auto found = trees.find(entries);
    if (found != trees.end()) return found->second;
    TGeneratedTree tree;
    tree.Entries = entries;
    fs::path folder = RunFolder().Path() / ("tree-" + std::to_string(entries));
    tree.Folder = folder.string();
    tree.Workstation = (folder / "workstation.json").string();
    tree.Ldif = (folder / "tree.ldif").string();
    if (!fs::exists(tree.Workstation) || !fs::exists(tree.Ldif)) Generate(entries, folder);
    tree.LdifBytes = fs::file_size(tree.Ldif);
    return trees.emplace(entries, std::move(tree)).first->second;
}

TBenchDirectory& TBenchDirectory::Use(long entries) {
    auto& installed = Installed();
    if (!installed || installed->entries_ != entries) {
        Release();
        installed.reset(new TBenchDirectory(entries));
    }
    return *installed;
}

void TBenchDirectory::Release() {
    auto& installed = Installed();
    installed.reset();
}

TBenchDirectory::TBenchDirectory(long entries) : entries_(entries) {
    const TGeneratedTree& generated = GeneratedTree(entries);
    std::string message;
    auto client = LoadWorkstation(generated.Workstation, message);
    if (!client) throw std::runtime_error(message);
    tree_ = SnapshotTreeOf(*client->Workstation().Trees.front());
    InstallClient(std::move(client));
    InstallClientRedirector();
    ResetNetWareStartup();
    if (InitNetWare() != 0) throw std::runtime_error("the client did not start");
    if (TDSContext::Create(scan_) != 0 || U_DSChangeTree(scan_.Get(), U_GetPrimaryTreeName(), false) != 0 ||
        U_DSSetContextToRoot(scan_.Get()) != 0 || U_DSSetContextFlag(scan_.Get(), "+", DcvTypelessNames) != 0)
        throw std::runtime_error("the scan context could not be prepared");
}

TBenchDirectory::~TBenchDirectory() {
    scan_.Reset();
    ResetNetWareStartup();
    SetNetworkDirectoryResolver(nullptr);
    InstallClient(nullptr);
}

std::string TBenchDirectory::Name(uint32_t object) const {
    if (object == RootObject) return "[Root]";
    return "." + WriteFullName(tree_->FullName(object), false);
}

int TBenchDirectory::Depth(uint32_t object) const {
    int depth = 0;
    for (uint32_t at = object; at != RootObject && at != NoObject; at = tree_->Object(at).Parent) ++depth;
    return depth;
}

std::vector<std::string> TBenchDirectory::Users(size_t count) const {
    std::vector<uint32_t> users;
    const auto& objects = tree_->Objects();
    for (uint32_t i = 0; i < objects.size(); ++i)
        if (objects[i].BaseClass == "User") users.push_back(i);
    std::vector<std::string> names;
    if (users.empty() || count == 0) return names;
    const size_t step = std::max<size_t>(1, users.size() / count);
    for (size_t i = 0; i < users.size() && names.size() < count; i += step) names.push_back(Name(users[i]));
    return names;
}

std::string TBenchDirectory::DeepLeaf() const {
    const auto& objects = tree_->Objects();
    uint32_t best = NoObject;
    int bestDepth = -1;
    for (uint32_t i = 0; i < objects.size(); ++i) {
        if (objects[i].BaseClass != "User") continue;
        const int depth = Depth(i);
        if (depth > bestDepth) {
            best = i;
            bestDepth = depth;
        }
    }
    if (best == NoObject) throw std::runtime_error("the tree holds no user");
    return Name(best);
}

std::string TBenchDirectory::LargestGroup() const {
    const auto& objects = tree_->Objects();
    const uint32_t member = tree_->FindAttribute("Member");
    uint32_t best = NoObject;
    size_t bestCount = 0;
    for (uint32_t i = 0; i < objects.size(); ++i) {
        if (objects[i].BaseClass != "Group") continue;
        const TStoredAttribute* values = tree_->AttributeOf(i, member);
        const size_t count = values ? values->Values.size() : 0;
        if (best == NoObject || count > bestCount) {
            best = i;
            bestCount = count;
        }
    }
    if (best == NoObject) throw std::runtime_error("the tree holds no group");
    return Name(best);
}

} // namespace era::bench
