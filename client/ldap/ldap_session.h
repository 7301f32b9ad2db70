#pragma once

// One connection to an LDAP server for one tree: connecting and binding (TLS verified, StartTLS
// on request), the operations the client needs, each within the configured time, and the
// translation of LDAP result codes into the directory's completion codes.
//
// Every operation that waits for an answer of the server counts as one round trip. When the
// server cannot be reached, or does not answer in time, the connection is dropped and the call
// fails with ErrTransportFailure; for a while after that (a second unless set otherwise) every call
// fails at once without trying, so a scan over a dead server ends quickly; then the next call
// connects again.

#include "client/ascii_fold.h"
#include "client/ldap/ldap_settings.h"
#include "directory/client.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;

namespace era {

// One attribute of an entry as the server sent it.
struct TLdapAttribute {
    std::string Name;
    std::vector<std::string> Values;   // raw bytes
};

// One entry of a search result.
struct TLdapEntry {
    std::string Dn;
    std::vector<TLdapAttribute> Attributes;
    // The values of an attribute (LDAP name, any letter case), or nullptr.
    const TLdapAttribute* Find(std::string_view name) const;
};

// The state of a paged search between its pages.
struct TLdapPage {
    std::string Cookie;    // empty before the first page and after the last
    bool Done = false;     // the last page has come
    bool Abandon = false;  // asks for no more entries: the server lets the paged search go
};

class TLdapSession {
public:
    explicit TLdapSession(TLdapSettings settings);
    ~TLdapSession();
    TLdapSession(const TLdapSession&) = delete;
    TLdapSession& operator=(const TLdapSession&) = delete;

    const TLdapSettings& Settings() const { return settings_; }
    // Connects and binds unless connected; a code and LastError() on failure.
    NWCCODE Connect();
    bool Connected() const { return ld_ != nullptr; }
    // Drops the connection (the next call connects again).
    void Disconnect();
    // How many times the connection was (re)established.
    uint64_t Connections() const { return connections_; }

    // A search (scope 0 base, 1 one level, 2 subtree). With page given, one page of at most
    // Settings().PageSize entries is fetched (Simple Paged Results) and the cookie kept in page.
    NWCCODE Search(const std::string& base, int scope, const std::string& filter,
                   const std::vector<std::string>& attributes, TLdapPage* page, std::vector<TLdapEntry>& entries);
    // An extended operation; the reply's value (may be empty). With replyOid given, a reply that
    // names another response OID fails with -330.
    NWCCODE Extended(const std::string& oid, const std::string& request, std::string& reply,
                     const std::string& replyOid = {});
    // The identity the server holds for this connection ("dn:..."; empty: anonymous), asked once
    // per connection: by RFC 4532's Who-am-I when the server lists it, else by eDirectory's Get
    // Bind DN when it lists that, else the bind DN.
    NWCCODE WhoAmI(std::string& authzId);
    // The LDAP syntax OID of an attribute type the server's schema defines (by any of its names),
    // read once per connection; ErrNoSuchAttribute for a name the schema does not hold.
    NWCCODE AttributeSyntax(const std::string& name, std::string& syntaxOid);
    // Whether the server lists an extended operation or a control in its root entry.
    bool SupportsExtension(const std::string& oid) const;
    bool SupportsControl(const std::string& oid) const;

    uint64_t RoundTrips() const { return roundTrips_; }
    // How long calls fail at once after the server was found unreachable.
    void SetReconnectDelay(std::chrono::milliseconds delay) { reconnectDelay_ = delay; }
    // The last failure in words (never holding the password).
    const std::string& LastError() const { return lastError_; }

private:
    NWCCODE Open();
    NWCCODE Bind();
    NWCCODE ReadRootEntry();
    // Waits for the result of msgid; a code for a timeout or a lost connection.
    NWCCODE Await(int msgid, bool all, LDAPMessage** result, const char* what);
    NWCCODE Fail(NWCCODE code, const std::string& message);
    NWCCODE TransportFailure(const std::string& message);
    NWCCODE Result(int rc, const char* what, const char* diagnostic);
    std::string Where() const;
    std::string Diagnostic() const;

    TLdapSettings settings_;
    LDAP* ld_ = nullptr;
    uint64_t roundTrips_ = 0;
    uint64_t connections_ = 0;
    std::string lastError_;
    std::vector<std::string> extensions_;
    std::vector<std::string> controls_;
    std::string subschema_;                 // the DN of the schema entry the root entry names
    bool haveSchema_ = false;
    std::unordered_map<std::string, std::string, TFoldedHash, TFoldedEqual> syntaxes_;   // name -> OID
    bool connecting_ = false;
    bool haveIdentity_ = false;
    std::string identity_;
    std::chrono::steady_clock::time_point retryAfter_{};
    std::chrono::milliseconds reconnectDelay_{1000};
};

// The directory's completion code for an LDAP result code.
NWCCODE LdapResultToCode(int rc);

} // namespace era
