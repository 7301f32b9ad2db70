#pragma once

// A real OpenLDAP server for the LDAP client's tests: slapd on 127.0.0.1 and a free port, its
// configuration and data in a folder of its own, loaded with slapadd from the sample tree and
// the tests' fixture tree. The server is stopped however the test ends: by the destructor, by an
// atexit handler, and (should the test process die) by the kernel, which sends it SIGKILL when
// its parent goes away.

#include "client/ascii_fold.h"
#include "client/ldap/ldap_workstation.h"
#include "client/workstation_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace era::test {

inline constexpr const char* SlapdBinary = "/usr/sbin/slapd";
inline constexpr const char* SlapaddBinary = "/usr/sbin/slapadd";
inline constexpr const char* TestPasswordVariable = "ERA_TEST_LDAP_PASSWORD";
inline constexpr const char* TestPassword = "era-test-secret";
inline constexpr const char* AdminDn = "cn=admin,o=acme";

// Every server still running is killed when the test process exits.
inline std::set<pid_t>& RunningServers() {
    static std::set<pid_t> pids;
    static const bool registered = [] {
        std::atexit([] {
            for (pid_t pid : RunningServers()) ::kill(pid, SIGKILL);
        });
        return true;
    }();
    (void)registered;
    return pids;
}

// Starts a program and gives its pid; stdout and stderr go to log. The child dies with us.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) {
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// Waits up to timeout for a child; its exit status, or -1 when it is still running.
inline int WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || std::chrono::steady_clock::now() > end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

inline int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

inline bool Accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class TSlapd {
public:
    TSlapd() {
        char pattern[] = "/tmp/era_slapd_XXXXXX";
        if (char* made = ::mkdtemp(pattern)) folder_ = made;
        if (folder_.empty()) {
            ADD_FAILURE() << "cannot make a folder for the test server";
            return;
        }
        std::filesystem::create_directory(folder_ + "/db");
        std::string data = std::string(ERA_TEST_DATA_DIR) + "/ldap";
        std::ifstream in(data + "/slapd.conf.in");
        std::stringstream text;
        text << in.rdbuf();
        std::string conf = text.str();
        for (auto [key, value] : {std::pair<std::string, std::string>{"@FOLDER@", folder_}, {"@DATA@", data}})
            for (size_t at; (at = conf.find(key)) != std::string::npos;) conf.replace(at, key.size(), value);
        std::ofstream(folder_ + "/slapd.conf") << conf;
        // slapadd reads records only; the export's "version: 1" line is left out. (Its quick mode, -q,
        // is not used: it merges the values of an attribute whose lines are interleaved with
        // another's wrongly.)
        for (const std::string& file : {std::string(ERA_EXAMPLES_DIR) + "/acme/acme.ldif", data + "/fixture.ldif"}) {
            std::ifstream ldif(file);
            std::string line, body;
            bool first = true;
            while (std::getline(ldif, line)) {
                if (first && line == "version: 1") {
                    first = false;
                    continue;
                }
                first = false;
                body += line + "\n";
            }
            std::string copy = folder_ + "/" + std::filesystem::path(file).filename().string();
            std::ofstream(copy) << body;
            pid_t pid = Spawn({SlapaddBinary, "-f", folder_ + "/slapd.conf", "-s", "-l", copy}, folder_ + "/slapadd.log");
            int status = WaitFor(pid, std::chrono::seconds(20));
            if (status != 0) {
                ADD_FAILURE() << "slapadd failed on " << file << " (status " << status << "): " << Log("slapadd.log");
                return;
            }
        }
        for (int attempt = 0; attempt < 3 && !Running(); ++attempt) {
            port_ = FreePort();
            tlsPort_ = FreePort();
            Start();
        }
        if (!Running()) ADD_FAILURE() << "slapd does not start: " << Log("slapd.log");
    }

    ~TSlapd() {
        Stop();
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    TSlapd(const TSlapd&) = delete;
    TSlapd& operator=(const TSlapd&) = delete;

    bool Running() const { return pid_ > 0; }
    int Port() const { return port_; }
    std::string Uri() const { return "ldap://127.0.0.1:" + std::to_string(port_); }
    // The same server speaking TLS from the start.
    std::string TlsUri() const { return "ldaps://127.0.0.1:" + std::to_string(tlsPort_); }
    // The CA that signed the server's certificate.
    static std::string CaFile() { return std::string(ERA_TEST_DATA_DIR) + "/ldap/ca.pem"; }
    const std::string& Folder() const { return folder_; }

    // Starts the server (again) on its port with the data it has.
    bool Start() {
        if (Running()) return true;
        pid_t pid = Spawn({SlapdBinary, "-f", folder_ + "/slapd.conf", "-h", Uri() + "/ " + TlsUri() + "/", "-d", "0"},
                          folder_ + "/slapd.log");
        if (pid <= 0) return false;
        RunningServers().insert(pid);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (WaitFor(pid, std::chrono::milliseconds(0)) >= 0) {
                RunningServers().erase(pid);
                return false;
            }
            if (Accepts(port_) && Accepts(tlsPort_)) {
                pid_ = pid;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        WaitFor(pid, std::chrono::seconds(5));
        RunningServers().erase(pid);
        return false;
    }

    // Stops the server and waits until it is gone.
    void Stop() {
        if (!Running()) return;
        // The data is the test's own and the database survives a kill, so there is no need to
        // wait for an orderly shutdown.
        ::kill(pid_, SIGKILL);
        WaitFor(pid_, std::chrono::seconds(5));
        RunningServers().erase(pid_);
        pid_ = 0;
    }

    // Freezes the server (it keeps its port but answers nothing) and lets it go on.
    void Pause() const {
        if (!Running()) return;
        ::kill(pid_, SIGSTOP);
        // The signal takes effect a moment later: wait until the kernel shows every thread stopped.
        auto stopped = [](const std::filesystem::path& statFile) {
            std::ifstream stat(statFile);
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            size_t close = text.rfind(')');
            return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'T';
        };
        for (int i = 0; i < 200; ++i) {
            bool all = true;
            std::error_code ignored;
            for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/task", ignored))
                all = all && stopped(task.path() / "stat");
            if (all) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Resume() const { if (Running()) ::kill(pid_, SIGCONT); }

    std::string Log(const std::string& name) const {
        std::ifstream in(folder_ + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The "ldap" member of a tree's entry, with more keys when given.
    std::string TreeSettings(const std::string& base, const std::string& more = "", bool bind = true) const {
        std::string json = "{ \"uri\": \"" + Uri() + "\", \"base\": \"" + base + "\", \"timeoutSeconds\": " +
                           std::to_string(TimeoutSeconds);
        if (bind) json += std::string(", \"bindDn\": \"") + AdminDn + "\", \"passwordEnv\": \"" + TestPasswordVariable + "\"";
        return json + more + " }";
    }

    // A workstation file: ACME_TREE and FIXTURE_TREE on this server, FS1 in ACME_TREE as the
    // primary connection (logged in as admin) with no volumes.
    std::string WriteWorkstation(const std::string& name, const std::string& acmeMore = "",
                                 const std::string& fixtureMore = ", \"pageSize\": 4") const {
        std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": " + TreeSettings("o=acme", acmeMore) +
                           " }, { \"name\": \"FIXTURE_TREE\", \"ldap\": " + TreeSettings("o=fixture", fixtureMore, false) +
                           " } ], \"servers\": [ { \"name\": \"FS1\", \"tree\": \"ACME_TREE\", "
                           "\"object\": \"cn=FS1,ou=it,o=acme\" } ], \"connections\": [ { \"server\": \"FS1\", "
                           "\"user\": \"cn=admin,o=acme\", \"primary\": true } ] }";
        return WriteFile(name, json);
    }

    int TimeoutSeconds = 2;   // what the written settings give

    std::string WriteFile(const std::string& name, const std::string& text) const {
        std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

private:
    std::string folder_;
    int port_ = 0;
    int tlsPort_ = 0;
    pid_t pid_ = 0;
};

// Loads a workstation file naming LDAP trees; the test fails with the loader's message when it
// does not load or names no LDAP tree.
inline std::unique_ptr<TLdapWorkstation> LoadLdap(const std::string& path) {
    ::setenv(TestPasswordVariable, TestPassword, 1);
    std::string message;
    auto workstation = LoadWorkstationFile(path, message);
    EXPECT_TRUE(workstation) << message;
    if (!workstation) return nullptr;
    auto client = std::make_unique<TLdapWorkstation>(std::move(workstation));
    bool ldap = false;
    for (const auto& tree : client->Workstation().Trees) ldap = ldap || tree->Live();
    EXPECT_TRUE(ldap) << "the workstation names LDAP trees but the loader gave none";
    if (!ldap) return nullptr;
    return client;
}

} // namespace era::test
