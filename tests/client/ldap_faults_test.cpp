// The live directory when things go wrong: no server at start, a wrong password, a password file
// others may read, an anonymous bind, a server that stops or freezes in the middle of a scan and
// comes back.

#include "client_fixture.h"
#include "ldap_server.h"
#include "support/recording_host.h"

#include "directory/attributes.h"
#include "directory/connections.h"
#include "directory/context.h"
#include "directory/error_text.h"
#include "directory/listing.h"
#include "rights/search_filter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace era::test {
namespace {

using TClock = std::chrono::steady_clock;
// The tests let a client try a lost server again sooner than the second it waits by default.
constexpr std::chrono::milliseconds ShortDelay{200};

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Installs a client for the test's lifetime and puts the client-less default back afterwards.
class TInstalled {
public:
    explicit TInstalled(std::unique_ptr<TDirectoryClient> client) : client_(client.get()) {
        InstallClient(std::move(client));
        ResetNetWareStartup();
    }
    ~TInstalled() {
        InstallClient(nullptr);
        ResetNetWareStartup();
    }
    TDirectoryClient& operator*() const { return *client_; }

private:
    TDirectoryClient* client_;
};

NWCCODE ReadInfo(TDirectoryClient& client, NWDSContextHandle context, const std::string& name) {
    std::string full;
    TObjectInfo info;
    return client.NWDSReadObjectInfo(context, name, full, info);
}

TEST(LdapFaults, AServerThatIsDownAtStartFailsTheClientStartWithCodeAndMessage) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    std::string path = server.WriteWorkstation("workstation.json");
    server.Stop();
    auto client = LoadLdap(path);   // the settings load; the server is asked only at start
    ASSERT_TRUE(client);
    TLdapWorkstation* ldap = client.get();
    TInstalled installed(std::move(client));
    era::testing::TRecordingHostScope host;
    auto start = TClock::now();
    NWCCODE code = InitNetWare();
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(code, ErrTransportFailure & 0xFFFF);
    EXPECT_EQ(ldap->NWCallsInit(), ErrTransportFailure);
    EXPECT_NE(ldap->LastError().find(server.Uri()), std::string::npos) << ldap->LastError();
    EXPECT_NE(ldap->LastError().find("Can't contact LDAP server"), std::string::npos) << ldap->LastError();
    ASSERT_EQ(host->Dialogs.size(), 1u);
    const std::string& dialog = host->Dialogs.front().Text;
    EXPECT_EQ(dialog.rfind("Could not find server/tree connection. InitNetWare returned error 0xFD8F (transport failure "
                           "(server unreachable): LDAP tree ACME_TREE (" + server.Uri() + ")", 0),
              0u)
        << dialog;
}

TEST(LdapFaults, AWrongPasswordIsAClearErrorThatNeverShowsThePassword) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    auto client = LoadLdap(server.WriteWorkstation("workstation.json"));
    ASSERT_TRUE(client);
    ::setenv(TestPasswordVariable, "not-the-secret", 1);
    EXPECT_EQ(client->NWCallsInit(), -669);
    const std::string& message = client->LastError();
    EXPECT_NE(message.find("LDAP tree ACME_TREE (" + server.Uri() + "): the server refused the bind as "
                           "cn=admin,o=acme: Invalid credentials"),
              std::string::npos)
        << message;
    EXPECT_EQ(message.find("not-the-secret"), std::string::npos);
    EXPECT_EQ(U_ErrorText(-669).find("not-the-secret"), std::string::npos);
    // The right password is read again when the client tries next.
    ::setenv(TestPasswordVariable, TestPassword, 1);
    EXPECT_EQ(client->NWCallsInit(), 0) << client->LastError();
}

TEST(LdapFaults, APasswordFileOthersMayReadIsRefused) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    std::string secret = server.WriteFile("password.txt", std::string(TestPassword) + "\n");
    ::chmod(secret.c_str(), 0644);
    std::string settings = ", \"passwordFile\": \"password.txt\"";
    std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": { \"uri\": \"" + server.Uri() +
                       "\", \"base\": \"o=acme\", \"bindDn\": \"cn=admin,o=acme\"" + settings + " } } ] }";
    std::string path = server.WriteFile("workstation.json", json);
    std::string message;
    std::unique_ptr<TWorkstationClient> loaded;
    EXPECT_NE(LoadWorkstation(path, loaded, message), 0);
    EXPECT_FALSE(loaded);
    EXPECT_NE(message.find("trees[0].ldap: the password file \"" + secret + "\" may be read by group or others "
                           "(mode 0644); allow its owner only (chmod 600)"),
              std::string::npos)
        << message;
    EXPECT_EQ(message.find(TestPassword), std::string::npos);
    ::chmod(secret.c_str(), 0600);
    ASSERT_EQ(LoadWorkstation(path, loaded, message), 0) << message;
    EXPECT_EQ(loaded->NWCallsInit(), 0);
    TContext context(*loaded);
    context.SetFlags(DcvTypelessNames);
    std::string me;
    EXPECT_EQ(loaded->NWDSWhoAmI(context, me), 0);
    EXPECT_EQ(me, "admin.acme");
    // A file that becomes readable later is refused at the next connection.
    ::chmod(secret.c_str(), 0640);
    TLdapSource* ldap = LdapSource(*loaded, "ACME_TREE");
    ASSERT_TRUE(ldap);
    ldap->SetReconnectDelay(ShortDelay);
    server.Stop();
    ASSERT_TRUE(server.Start());
    std::this_thread::sleep_for(ShortDelay + std::chrono::milliseconds(50));
    ldap->ClearCache();
    EXPECT_EQ(ReadInfo(*loaded, context, ".acme"), ErrTransportFailure);   // the lost connection
    std::this_thread::sleep_for(ShortDelay + std::chrono::milliseconds(50));
    EXPECT_EQ(ReadInfo(*loaded, context, ".acme"), -669);
    EXPECT_NE(ldap->LastError().find("mode 0640"), std::string::npos) << ldap->LastError();
}

TEST(LdapFaults, CertificatesAreVerifiedOverLdapsAndStartTls) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    struct TCase {
        const char* What;
        std::string Uri;
        std::string More;
        NWCCODE Code;
    } cases[] = {
        {"ldaps with the CA", server.TlsUri(), ", \"caFile\": \"" + TSlapd::CaFile() + "\"", 0},
        {"ldaps without it", server.TlsUri(), "", ErrTransportFailure},
        {"StartTLS with the CA", server.Uri(), ", \"startTls\": true, \"caFile\": \"" + TSlapd::CaFile() + "\"", 0},
        {"StartTLS without it", server.Uri(), ", \"startTls\": true", ErrTransportFailure},
    };
    for (const auto& c : cases) {
        std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": { \"uri\": \"" + c.Uri +
                           "\", \"base\": \"o=acme\", \"timeoutSeconds\": 2, \"bindDn\": \"cn=admin,o=acme\", "
                           "\"passwordEnv\": \"" + TestPasswordVariable + "\"" + c.More + " } } ] }";
        auto client = LoadLdap(server.WriteFile("workstation.json", json));
        ASSERT_TRUE(client) << c.What;
        EXPECT_EQ(client->NWCallsInit(), c.Code) << c.What << ": " << client->LastError();
        if (c.Code != 0) {
            EXPECT_NE(client->LastError().find("certificate"), std::string::npos) << c.What << ": " << client->LastError();
            continue;
        }
        TContext context(*client);
        context.SetFlags(DcvTypelessNames);
        std::string me;
        EXPECT_EQ(client->NWDSWhoAmI(context, me), 0) << c.What;
        EXPECT_EQ(me, "admin.acme") << c.What;
    }
}

TEST(LdapFaults, SettingsThatCannotWorkAreRefusedWhenTheWorkstationLoads) {
    struct TCase {
        const char* What;
        const char* Settings;
        const char* Expected;
    } cases[] = {
        {"no uri", R"({ "base": "o=acme" })", "trees[0].ldap: uri: missing"},
        {"another scheme", R"({ "uri": "http://host", "base": "o=acme" })", "uri: expected one server"},
        {"two servers", R"({ "uri": "ldap://a ldap://b", "base": "o=acme" })", "uri: expected one server"},
        {"no base", R"({ "uri": "ldap://host" })", "base: missing"},
        {"a base that is no DN", R"({ "uri": "ldap://host", "base": "acme" })", "base: expected a DN"},
        {"a DN without password", R"({ "uri": "ldap://host", "base": "o=acme", "bindDn": "cn=a,o=acme" })",
         "bindDn: expected \"passwordEnv\" or \"passwordFile\""},
        {"a password without DN", R"({ "uri": "ldap://host", "base": "o=acme", "passwordEnv": "HOME" })",
         "a password is given but no DN"},
        {"both passwords",
         R"({ "uri": "ldap://host", "base": "o=acme", "bindDn": "cn=a,o=acme", "passwordEnv": "HOME", "passwordFile": "x" })",
         "not both"},
        {"an unset variable",
         R"({ "uri": "ldap://host", "base": "o=acme", "bindDn": "cn=a,o=acme", "passwordEnv": "ERA_TEST_NOT_SET" })",
         "passwordEnv: the environment variable ERA_TEST_NOT_SET is not set"},
        {"a missing password file",
         R"({ "uri": "ldap://host", "base": "o=acme", "bindDn": "cn=a,o=acme", "passwordFile": "nothere" })",
         "the password file"},
        {"StartTLS over ldaps", R"({ "uri": "ldaps://host", "base": "o=acme", "startTls": true })",
         "startTls: an \"ldaps://\" server"},
        {"a missing certificate file", R"({ "uri": "ldaps://host", "base": "o=acme", "caFile": "none.pem" })",
         "caFile: the certificate file"},
        {"no time limit", R"({ "uri": "ldap://host", "base": "o=acme", "timeoutSeconds": 0 })",
         "timeoutSeconds: expected a whole number from 1 to 600"},
        {"an unknown key", R"({ "uri": "ldap://host", "base": "o=acme", "password": "x" })",
         "password: unknown key"},
    };
    TTempFolder folder;
    ::unsetenv("ERA_TEST_NOT_SET");
    for (const auto& c : cases) {
        std::string path = folder.Write("workstation.json", std::string(R"({ "trees": [ { "name": "T", "ldap": )") +
                                                                c.Settings + " } ] }");
        std::string message;
        std::unique_ptr<TWorkstationClient> loaded;
        EXPECT_NE(LoadWorkstation(path, loaded, message), 0) << c.What;
        EXPECT_NE(message.find(c.Expected), std::string::npos) << c.What << ": " << message;
        EXPECT_NE(message.find("trees[0].ldap: "), std::string::npos) << c.What << ": " << message;
    }
}

// An empty password in a simple bind is taken by servers as an anonymous bind that succeeds: the
// scan would run with everyone's rights while the file names the admin. Refused when the file
// loads and again at the bind, should the variable have been emptied in between.
TEST(LdapFaults, AnEmptyPasswordIsRefusedLikeAMissingOne) {
    TTempFolder folder;
    const std::string empty = folder.Write("empty.pw", "");
    const std::string blankLine = folder.Write("blank.pw", "\n");
    for (const auto& file : {empty, blankLine}) ::chmod(file.c_str(), 0600);
    ::setenv("ERA_TEST_EMPTY_PASSWORD", "", 1);
    struct TCase {
        const char* What;
        std::string Password;
        std::string Expected;
    } cases[] = {
        {"an empty variable", "\"passwordEnv\": \"ERA_TEST_EMPTY_PASSWORD\"",
         "the environment variable ERA_TEST_EMPTY_PASSWORD (passwordEnv) holds no password (a bind without a "
         "password is refused)"},
        {"an empty file", "\"passwordFile\": \"empty.pw\"",
         "the password file \"" + empty + "\" holds no password (a bind without a password is refused)"},
        {"a file of one empty line", "\"passwordFile\": \"blank.pw\"",
         "the password file \"" + blankLine + "\" holds no password (a bind without a password is refused)"},
    };
    for (const auto& c : cases) {
        std::string path = folder.Write("workstation.json", R"({ "trees": [ { "name": "T", "ldap": { "uri": "ldap://host", )"
                                                            R"("base": "o=acme", "bindDn": "cn=a,o=acme", )" +
                                                                c.Password + " } } ] }");
        std::string message;
        std::unique_ptr<TWorkstationClient> loaded;
        EXPECT_NE(LoadWorkstation(path, loaded, message), 0) << c.What;
        EXPECT_FALSE(loaded) << c.What;
        EXPECT_NE(message.find("trees[0].ldap: " + c.Expected), std::string::npos) << c.What << ": " << message;
    }
    ::unsetenv("ERA_TEST_EMPTY_PASSWORD");

    TSlapd server;
    ASSERT_TRUE(server.Running());
    auto client = LoadLdap(server.WriteWorkstation("workstation.json"));
    ASSERT_TRUE(client);
    ::setenv(TestPasswordVariable, "", 1);
    EXPECT_EQ(client->NWCallsInit(), -669);
    EXPECT_NE(client->LastError().find("the environment variable " + std::string(TestPasswordVariable) +
                                       " (passwordEnv) holds no password (a bind without a password is refused)"),
              std::string::npos)
        << client->LastError();
    ::setenv(TestPasswordVariable, TestPassword, 1);
    EXPECT_EQ(client->NWCallsInit(), 0) << client->LastError();
}

TEST(LdapFaults, AnAnonymousBindReadsWhatTheServerLetsEveryoneRead) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    std::string json = "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": " + server.TreeSettings("o=acme", "", false) +
                       " } ] }";
    auto client = LoadLdap(server.WriteFile("workstation.json", json));
    ASSERT_TRUE(client);
    ASSERT_EQ(client->NWCallsInit(), 0) << client->LastError();
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    auto acl = ReadAll(*client, context, "[Root]", "ACL");
    EXPECT_EQ(acl.Code, 0);
    EXPECT_EQ(acl.Values.size(), 4u);
    std::string me;
    EXPECT_EQ(client->NWDSWhoAmI(context, me), ErrNotLoggedIn);
    EXPECT_TRUE(me.empty());
}

TEST(LdapFaults, AServerThatStopsMidScanFailsTheRestWithCodesAndIsReconnectedLater) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    auto client = LoadLdap(server.WriteWorkstation("workstation.json"));
    ASSERT_TRUE(client);
    TLdapWorkstation* ldap = client.get();
    TInstalled installed(std::move(client));
    ASSERT_EQ(ldap->NWCallsInit(), 0);
    TDSContext context;
    ASSERT_EQ(TDSContext::Create(context), 0);
    TStringList lines;
    ASSERT_EQ(U_DSGetAttribute(context.Get(), ".sales.acme", "ACL", lines), 0);
    EXPECT_EQ(lines.Count(), 5);

    server.Stop();
    // What the server answered before is not trusted once it is gone; every call fails at once.
    auto start = TClock::now();
    lines.Clear();
    EXPECT_EQ(U_DSGetAttribute(context.Get(), ".hr.acme", "ACL", lines), ErrTransportFailure);
    EXPECT_EQ(U_DSGetAttribute(context.Get(), ".sales.acme", "ACL", lines), ErrTransportFailure);
    EXPECT_EQ(lines.Count(), 0);
    DSListCursor cursor;
    EXPECT_EQ(U_DSListOpen(context.Get(), ".acme", false, cursor), ErrTransportFailure);
    TStringList found;
    EXPECT_EQ(U_DSFilteredSearch(context.Get(), "[Root]", "(Security Equals=.everyone.acme)", &found, 2),
              ErrTransportFailure);
    uint32_t mask = 0;
    EXPECT_EQ(U_DSGetEffectiveRights(context.Get(), ".admin.acme", ".acme", "", mask), "[n/a]");
    EXPECT_EQ(U_DSGetParentName(context.Get(), ".jdoe.east.sales.acme"), "");
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_NE(ldap->LastError().find("Can't contact LDAP server"), std::string::npos) << ldap->LastError();

    ASSERT_TRUE(server.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));   // past the second it waits by default
    lines.Clear();
    EXPECT_EQ(U_DSGetAttribute(context.Get(), ".sales.acme", "ACL", lines), 0);
    EXPECT_EQ(lines.Count(), 5);
}

TEST(LdapFaults, AFrozenServerTimesOutAndNothingHangs) {
    TSlapd server;
    ASSERT_TRUE(server.Running());
    server.TimeoutSeconds = 1;
    auto client = LoadLdap(server.WriteWorkstation("workstation.json"));
    ASSERT_TRUE(client);
    ASSERT_EQ(client->NWCallsInit(), 0);
    TContext context(*client);
    EXPECT_EQ(ReadInfo(*client, context, ".acme"), 0);

    server.Pause();
    auto start = TClock::now();
    EXPECT_EQ(ReadInfo(*client, context, ".it.acme"), ErrTransportFailure);
    double waited = SecondsSince(start);
    EXPECT_GE(waited, 0.9);
    EXPECT_LT(waited, 3.0);
    EXPECT_NE(client->LastError().find("no answer within 1 seconds"), std::string::npos) << client->LastError();
    // The calls right after fail at once instead of waiting again.
    start = TClock::now();
    for (const char* name : {".hr.acme", ".sales.acme", ".admin.acme"})
        EXPECT_EQ(ReadInfo(*client, context, name), ErrTransportFailure);
    EXPECT_LT(SecondsSince(start), 0.5);

    server.Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));   // past the second it waits by default
    EXPECT_EQ(ReadInfo(*client, context, ".it.acme"), 0) << client->LastError();
}

} // namespace
} // namespace era::test

namespace era::test {
namespace {

// A listener on loopback that answers every connection with bytes that are no LDAP at all.
class TGarbageServer {
public:
    TGarbageServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        ::listen(fd_, 8);
        thread_ = std::thread([this] {
            uint32_t noise = 12345;
            for (;;) {
                const int client = ::accept(fd_, nullptr, nullptr);
                if (client < 0) return;
                char bytes[512];
                for (char& b : bytes) b = static_cast<char>((noise = noise * 1103515245u + 12345u) >> 24);
                (void)!::write(client, bytes, sizeof bytes);
                ::close(client);
            }
        });
    }
    ~TGarbageServer() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

TEST(LdapFaults, AServerAnsweringGarbageFailsWithACodeAndNothingHangs) {
    TGarbageServer garbage;
    TTempFolder folder;
    const std::string path = folder.Write(
        "ws.json", "{ \"trees\": [ { \"name\": \"ACME_TREE\", \"ldap\": { \"uri\": \"ldap://127.0.0.1:" +
                       std::to_string(garbage.Port()) + "\", \"base\": \"o=acme\", \"timeoutSeconds\": 2 } } ] }");
    auto client = LoadLdap(path);
    ASSERT_TRUE(client);
    TInstalled installed(std::move(client));
    era::testing::TRecordingHostScope host;
    const auto start = TClock::now();
    const NWCCODE code = InitNetWare();
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_NE(code, 0);
    ASSERT_EQ(host->Dialogs.size(), 1u);
    EXPECT_NE(host->Dialogs.front().Text.find("InitNetWare returned error"), std::string::npos);
}

} // namespace
} // namespace era::test
