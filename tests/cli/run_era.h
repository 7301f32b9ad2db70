#pragma once

// Runs the era binary as a user would and captures what it prints; compares output with the
// golden files in tests/data/golden (ERA_UPDATE_GOLDEN=1 in the environment rewrites them).

#include "support/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace era::test {

struct TRun {
    std::string Out;
    std::string Err;
    int Status = -1;
};

inline std::string SampleWorkstation() { return std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json"; }

// A private settings folder and a fixed time zone and locale, so runs are repeatable.
inline std::vector<std::string> TestEnvironment(const std::vector<std::string>& extra) {
    static const std::string config = [] {
        auto dir = std::filesystem::temp_directory_path() / ("era-cli-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir.string();
    }();
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config, "TZ=UTC", "LC_ALL=C", "HOME=" + config,
                                    "PATH=/usr/bin:/bin"};
    for (const auto& e : extra) env.push_back(e);
    return env;
}

inline TRun RunEra(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                   const std::string& input = "") {
    TRun run;
    int out[2], err[2], in[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe(in) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<std::string> argStrings = {ERA_BINARY};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = TestEnvironment(extraEnv);
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ERA_BINARY, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    ::close(in[0]);
    if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return run;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, 60000) <= 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.Out : run.Err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// A folder of the test's own, removed when it ends.
class TTempDir {
public:
    TTempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("era-cli-" + std::to_string(::getpid()) + "-" + (info ? info->name() : "x"));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The output with the scan header's date line masked.
inline std::string MaskDate(const std::string& text) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.starts_with("Date:      ")) line = "Date:      <masked>";
        out += line + "\n";
    }
    return out;
}

} // namespace era::test
