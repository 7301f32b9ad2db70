#include "client/ldap/ldap_session.h"

#include "client/ascii_fold.h"
#include "client/ldap/ldap_values.h"

#include <ldap.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace era {

namespace {

constexpr const char* WhoAmIOid = "1.3.6.1.4.1.4203.1.11.3";
// eDirectory's own way to ask who the connection is bound as: no request value; the reply names
// the identity as an octet string.
constexpr const char* GetBindDnOid = "2.16.840.1.113719.1.27.100.31";
constexpr const char* GetBindDnReplyOid = "2.16.840.1.113719.1.27.100.32";

// Frees what libldap hands out, however a call ends.
struct TMessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using TMessage = std::unique_ptr<LDAPMessage, TMessageFree>;

struct TControlFree {
    void operator()(LDAPControl* control) const { ldap_control_free(control); }
};
using TControl = std::unique_ptr<LDAPControl, TControlFree>;

struct TControlsFree {
    void operator()(LDAPControl** controls) const { ldap_controls_free(controls); }
};
using TControls = std::unique_ptr<LDAPControl*, TControlsFree>;

struct TLdapText {
    char* Text = nullptr;
    ~TLdapText() {
        if (Text) ldap_memfree(Text);
    }
};

bool IsTransportError(int rc) {
    return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT;
}

} // namespace

const TLdapAttribute* TLdapEntry::Find(std::string_view name) const {
    for (const auto& attribute : Attributes)
        if (EqualsFolded(attribute.Name, name)) return &attribute;
    return nullptr;
}

NWCCODE LdapResultToCode(int rc) {
    switch (rc) {
    case LDAP_SUCCESS: return 0;
    case LDAP_OPERATIONS_ERROR: return ErrSystemFailure;
    case LDAP_PROTOCOL_ERROR:
    case LDAP_UNAVAILABLE_CRITICAL_EXTENSION:
    case LDAP_UNWILLING_TO_PERFORM:
    case LDAP_PARAM_ERROR:
    case LDAP_NOT_SUPPORTED: return ErrInvalidRequest;
    case LDAP_TIMELIMIT_EXCEEDED:
    case LDAP_BUSY:
    case LDAP_UNAVAILABLE:
    case LDAP_SERVER_DOWN:
    case LDAP_CONNECT_ERROR:
    case LDAP_TIMEOUT: return ErrTransportFailure;
    case LDAP_SIZELIMIT_EXCEEDED:
    case LDAP_ADMINLIMIT_EXCEEDED: return ErrInsufficientBuffer;
    case LDAP_AUTH_METHOD_NOT_SUPPORTED:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_CONFIDENTIALITY_REQUIRED:
    case LDAP_INAPPROPRIATE_AUTH:
    case LDAP_INVALID_CREDENTIALS: return ErrAuthenticationFailed;
    case LDAP_REFERRAL:
    case LDAP_LOOP_DETECT: return ErrAllReferralsFailed;
    case LDAP_NO_SUCH_ATTRIBUTE:
    case LDAP_UNDEFINED_TYPE: return ErrNoSuchAttribute;
    case LDAP_INAPPROPRIATE_MATCHING:
    case LDAP_FILTER_ERROR: return ErrInvalidFilterSyntax;
    case LDAP_INVALID_SYNTAX: return ErrSyntaxViolation;
    case LDAP_NO_SUCH_OBJECT:
    case LDAP_ALIAS_PROBLEM:
    case LDAP_ALIAS_DEREF_PROBLEM: return ErrNoSuchEntry;
    case LDAP_INVALID_DN_SYNTAX: return ErrIllegalDsName;
    case LDAP_INSUFFICIENT_ACCESS: return ErrNoAccess;
    case LDAP_DECODING_ERROR:
    case LDAP_ENCODING_ERROR: return ErrInvalidResponse;
    case LDAP_NO_MEMORY: return ErrNotEnoughMemory;
    default: return ErrFatal;
    }
}

TLdapSession::TLdapSession(TLdapSettings settings) : settings_(std::move(settings)) {}

TLdapSession::~TLdapSession() { Disconnect(); }

std::string TLdapSession::Where() const { return "LDAP tree " + settings_.TreeName + " (" + settings_.Uri + ")"; }

NWCCODE TLdapSession::Fail(NWCCODE code, const std::string& message) {
    lastError_ = Where() + ": " + message;
    return code;
}

NWCCODE TLdapSession::TransportFailure(const std::string& message) {
    Disconnect();
    retryAfter_ = std::chrono::steady_clock::now() + reconnectDelay_;
    // libldap says little more than that the server cannot be reached when the TLS handshake
    // fails; the likeliest reason is said here.
    bool tls = settings_.StartTls || EqualsFolded(settings_.Uri.substr(0, 8), "ldaps://");
    if (connecting_ && tls)
        return Fail(ErrTransportFailure,
                    message + "; over TLS the server's certificate must be signed by " +
                        (settings_.CaFile.empty() ? std::string("a CA of the system's certificate store")
                                                  : "the CA of \"" + settings_.CaFile + "\"") +
                        " and name the host of the URI");
    return Fail(ErrTransportFailure, message);
}

std::string TLdapSession::Diagnostic() const {
    // What libldap adds in words, a TLS failure above all ("TLS: peer cert untrusted ...").
    if (!ld_) return {};
    char* detail = nullptr;
    std::string text;
    if (ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &detail) == LDAP_OPT_SUCCESS && detail) {
        if (*detail && std::strcmp(detail, "(unknown error code)") != 0) text = std::string(" (") + detail + ")";
        ldap_memfree(detail);
    }
    return text;
}

NWCCODE TLdapSession::Result(int rc, const char* what, const char* diagnostic) {
    if (rc == LDAP_SUCCESS) return 0;
    std::string message = std::string(what) + ": " + ldap_err2string(rc);
    if (diagnostic && *diagnostic) message += std::string(" (") + diagnostic + ")";
    else if (IsTransportError(rc)) message += Diagnostic();
    if (IsTransportError(rc)) return TransportFailure(message);
    return Fail(LdapResultToCode(rc), message);
}

void TLdapSession::Disconnect() {
    if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
    ld_ = nullptr;
    extensions_.clear();
    controls_.clear();
    subschema_.clear();
    haveSchema_ = false;
    syntaxes_.clear();
    haveIdentity_ = false;
    identity_.clear();
}

NWCCODE TLdapSession::Open() {
    int rc = ldap_initialize(&ld_, settings_.Uri.c_str());
    if (rc != LDAP_SUCCESS || !ld_) {
        ld_ = nullptr;
        return Fail(ErrInvalidRequest, std::string("the URI cannot be used: ") + ldap_err2string(rc));
    }
    int version = LDAP_VERSION3;
    timeval timeout{settings_.TimeoutSeconds, 0};
    int demand = LDAP_OPT_X_TLS_DEMAND;
    int newContext = 0;
    bool ok = ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version) == LDAP_OPT_SUCCESS &&
              ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF) == LDAP_OPT_SUCCESS &&
              ldap_set_option(ld_, LDAP_OPT_RESTART, LDAP_OPT_ON) == LDAP_OPT_SUCCESS &&
              ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &timeout) == LDAP_OPT_SUCCESS &&
              ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &timeout) == LDAP_OPT_SUCCESS;
    // Certificates are always verified: against caFile when given, else the system's store.
    ok = ok && ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand) == LDAP_OPT_SUCCESS;
    if (ok && !settings_.CaFile.empty())
        ok = ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, settings_.CaFile.c_str()) == LDAP_OPT_SUCCESS;
    if (ok) ok = ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &newContext) == LDAP_OPT_SUCCESS;
    if (!ok) {
        Disconnect();
        return Fail(ErrInvalidRequest, "the connection options (protocol version, time limits, TLS) cannot be set");
    }
    return 0;
}

NWCCODE TLdapSession::Await(int msgid, bool all, LDAPMessage** result, const char* what) {
    *result = nullptr;
    timeval timeout{settings_.TimeoutSeconds, 0};
    int rc = ldap_result(ld_, msgid, all ? LDAP_MSG_ALL : LDAP_MSG_ONE, &timeout, result);
    if (rc == 0) {
        if (*result) ldap_msgfree(*result);
        *result = nullptr;
        ldap_abandon_ext(ld_, msgid, nullptr, nullptr);
        return TransportFailure(std::string(what) + ": no answer within " + std::to_string(settings_.TimeoutSeconds) +
                                " seconds");
    }
    if (rc < 0) {
        int error = LDAP_SERVER_DOWN;
        ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &error);
        if (*result) ldap_msgfree(*result);
        *result = nullptr;
        return TransportFailure(std::string(what) + ": " + ldap_err2string(error) + Diagnostic());
    }
    return 0;
}

NWCCODE TLdapSession::Bind() {
    if (settings_.BindDn.empty()) return 0;   // anonymous: no bind at all
    std::string password, why;
    if (!ReadLdapPassword(settings_, password, why)) return Fail(-669, why);
    berval credentials{static_cast<ber_len_t>(password.size()), password.data()};
    int msgid = -1;
    int rc = ldap_sasl_bind(ld_, settings_.BindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, &msgid);
    WipePassword(password);
    if (rc != LDAP_SUCCESS) return Result(rc, "bind", nullptr);
    ++roundTrips_;
    LDAPMessage* raw = nullptr;
    NWCCODE code = Await(msgid, true, &raw, "bind");
    if (code != 0) return code;
    TMessage reply(raw);
    int error = LDAP_OTHER;
    TLdapText diagnostic;
    rc = ldap_parse_result(ld_, reply.get(), &error, nullptr, &diagnostic.Text, nullptr, nullptr, 0);
    if (rc != LDAP_SUCCESS) return Result(rc, "bind", nullptr);
    if (error != LDAP_SUCCESS) {
        std::string message = "the server refused the bind as " + settings_.BindDn + ": " + ldap_err2string(error);
        if (diagnostic.Text && *diagnostic.Text) message += std::string(" (") + diagnostic.Text + ")";
        if (IsTransportError(error)) return TransportFailure(message);
        return Fail(LdapResultToCode(error), message);
    }
    return 0;
}

NWCCODE TLdapSession::ReadRootEntry() {
    std::vector<TLdapEntry> entries;
    NWCCODE code = Search("", 0, "(objectClass=*)", {"supportedExtension", "supportedControl", "subschemaSubentry"},
                          nullptr, entries);
    // A server that hides its root entry still serves; only a lost connection counts.
    if (code == ErrTransportFailure) return code;
    if (code == 0 && !entries.empty()) {
        if (const auto* values = entries.front().Find("supportedExtension")) extensions_ = values->Values;
        if (const auto* values = entries.front().Find("supportedControl")) controls_ = values->Values;
        if (const auto* values = entries.front().Find("subschemaSubentry"); values && !values->Values.empty())
            subschema_ = values->Values.front();
    }
    return 0;
}

NWCCODE TLdapSession::Connect() {
    if (ld_) return 0;
    struct TConnecting {
        bool& Flag;
        explicit TConnecting(bool& flag) : Flag(flag) { Flag = true; }
        ~TConnecting() { Flag = false; }
    } connecting(connecting_);
    if (std::chrono::steady_clock::now() < retryAfter_) {
        if (lastError_.empty()) lastError_ = Where() + ": the server cannot be reached";
        return ErrTransportFailure;
    }
    NWCCODE code = Open();
    if (code != 0) return code;
    if (settings_.StartTls) {
        ++roundTrips_;
        int rc = ldap_start_tls_s(ld_, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            std::string message = std::string("StartTLS: ") + ldap_err2string(rc) + Diagnostic();
            if (IsTransportError(rc)) return TransportFailure(message);
            Disconnect();
            return Fail(LdapResultToCode(rc), message);
        }
    }
    code = Bind();
    if (code == 0) code = ReadRootEntry();
    if (code != 0) {
        Disconnect();
        return code;
    }
    ++connections_;
    return 0;
}

namespace {

// The paged-results control of a request: the page size with the cookie of the last page, or a
// size of 0 that lets the server drop the search. libldap refuses to write that size, so the
// control's value is written here then.
int MakePageControl(LDAP* ld, TLdapPage& page, int pageSize, LDAPControl*& control) {
    berval cookie{static_cast<ber_len_t>(page.Cookie.size()), page.Cookie.data()};
    if (!page.Abandon)
        return ldap_create_page_control(ld, static_cast<ber_int_t>(pageSize), page.Cookie.empty() ? nullptr : &cookie,
                                        0, &control);
    BerElement* ber = ber_alloc_t(LBER_USE_DER);
    berval value{0, nullptr};
    int rc = ber && ber_printf(ber, "{iO}", static_cast<ber_int_t>(0), &cookie) >= 0 && ber_flatten2(ber, &value, 1) >= 0
                 ? ldap_control_create(LDAP_CONTROL_PAGEDRESULTS, 0, &value, 1, &control)
                 : LDAP_ENCODING_ERROR;
    if (value.bv_val) ber_memfree(value.bv_val);
    if (ber) ber_free(ber, 1);
    return rc;
}

// One entry of a search reply with every attribute and value it carries.
TLdapEntry EntryOfMessage(LDAP* ld, LDAPMessage* message) {
    TLdapEntry entry;
    TLdapText dn;
    dn.Text = ldap_get_dn(ld, message);
    if (dn.Text) entry.Dn = dn.Text;
    BerElement* ber = nullptr;
    for (char* name = ldap_first_attribute(ld, message, &ber); name; name = ldap_next_attribute(ld, message, ber)) {
        TLdapAttribute attribute;
        attribute.Name = name;
        if (berval** values = ldap_get_values_len(ld, message, name)) {
            for (size_t i = 0; values[i]; ++i) attribute.Values.emplace_back(values[i]->bv_val, values[i]->bv_len);
            ldap_value_free_len(values);
        }
        ldap_memfree(name);
        entry.Attributes.push_back(std::move(attribute));
    }
    if (ber) ber_free(ber, 0);
    return entry;
}

// Where the next page starts, from the paged-results control of the final reply: no cookie (or
// no control) means the search is done.
void ReadPageResponse(LDAP* ld, LDAPControl** serverControls, TLdapPage& page) {
    page.Cookie.clear();
    page.Done = true;
    LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, serverControls, nullptr);
    ber_int_t estimate = 0;
    berval cookie{0, nullptr};
    if (!response || ldap_parse_pageresponse_control(ld, response, &estimate, &cookie) != LDAP_SUCCESS) return;
    if (cookie.bv_len > 0) {
        page.Cookie.assign(cookie.bv_val, cookie.bv_len);
        page.Done = false;
    }
    if (cookie.bv_val) ber_memfree(cookie.bv_val);
}

} // namespace

NWCCODE TLdapSession::Search(const std::string& base, int scope, const std::string& filter,
                             const std::vector<std::string>& attributes, TLdapPage* page,
                             std::vector<TLdapEntry>& entries) {
    entries.clear();
    NWCCODE code = Connect();
    if (code != 0) return code;
    std::vector<char*> names;
    for (const auto& name : attributes) names.push_back(const_cast<char*>(name.c_str()));
    names.push_back(nullptr);
    TControl pageControl;
    LDAPControl* controls[2] = {nullptr, nullptr};
    if (page) {
        LDAPControl* control = nullptr;
        int rc = MakePageControl(ld_, *page, settings_.PageSize, control);
        if (rc != LDAP_SUCCESS) return Result(rc, "paged search", nullptr);
        pageControl.reset(control);
        controls[0] = control;
    }
    static const int Scopes[] = {LDAP_SCOPE_BASE, LDAP_SCOPE_ONELEVEL, LDAP_SCOPE_SUBTREE};
    timeval limit{settings_.TimeoutSeconds, 0};
    int msgid = -1;
    int rc = ldap_search_ext(ld_, base.c_str(), Scopes[std::clamp(scope, 0, 2)], filter.c_str(), names.data(), 0,
                             page ? controls : nullptr, nullptr, &limit, 0, &msgid);
    if (rc != LDAP_SUCCESS) return Result(rc, "search", nullptr);
    ++roundTrips_;
    LDAPMessage* raw = nullptr;
    code = Await(msgid, true, &raw, "search");
    if (code != 0) return code;
    TMessage reply(raw);
    int error = LDAP_SUCCESS;
    TLdapText diagnostic;
    for (LDAPMessage* message = ldap_first_message(ld_, reply.get()); message;
         message = ldap_next_message(ld_, message)) {
        int type = ldap_msgtype(message);
        if (type == LDAP_RES_SEARCH_ENTRY) {
            entries.push_back(EntryOfMessage(ld_, message));
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            LDAPControl** rawControls = nullptr;
            rc = ldap_parse_result(ld_, message, &error, nullptr, &diagnostic.Text, nullptr, &rawControls, 0);
            TControls serverControls(rawControls);
            if (rc != LDAP_SUCCESS) return Result(rc, "search", nullptr);
            if (page) ReadPageResponse(ld_, serverControls.get(), *page);
        }
    }
    if (error != LDAP_SUCCESS) {
        entries.clear();
        return Result(error, ("search of \"" + base + "\"").c_str(), diagnostic.Text);
    }
    return 0;
}

NWCCODE TLdapSession::Extended(const std::string& oid, const std::string& request, std::string& reply,
                               const std::string& replyOid) {
    reply.clear();
    NWCCODE code = Connect();
    if (code != 0) return code;
    berval value{static_cast<ber_len_t>(request.size()), const_cast<char*>(request.data())};
    int msgid = -1;
    int rc = ldap_extended_operation(ld_, oid.c_str(), request.empty() ? nullptr : &value, nullptr, nullptr, &msgid);
    if (rc != LDAP_SUCCESS) return Result(rc, oid.c_str(), nullptr);
    ++roundTrips_;
    LDAPMessage* raw = nullptr;
    code = Await(msgid, true, &raw, oid.c_str());
    if (code != 0) return code;
    TMessage answer(raw);
    int error = LDAP_OTHER;
    TLdapText diagnostic;
    rc = ldap_parse_result(ld_, answer.get(), &error, nullptr, &diagnostic.Text, nullptr, nullptr, 0);
    if (rc != LDAP_SUCCESS) return Result(rc, oid.c_str(), nullptr);
    if (error != LDAP_SUCCESS) return Result(error, ("extended operation " + oid).c_str(), diagnostic.Text);
    TLdapText answeredOid;
    berval* data = nullptr;
    rc = ldap_parse_extended_result(ld_, answer.get(), &answeredOid.Text, &data, 0);
    if (rc != LDAP_SUCCESS) return Result(rc, oid.c_str(), nullptr);
    if (data) {
        reply.assign(data->bv_val, data->bv_len);
        ber_bvfree(data);
    }
    // A reply that names another operation's response is not the answer asked for.
    if (!replyOid.empty() && answeredOid.Text && replyOid != answeredOid.Text) {
        reply.clear();
        return Fail(ErrInvalidResponse,
                    "extended operation " + oid + ": the server answered with " + answeredOid.Text);
    }
    return 0;
}

NWCCODE TLdapSession::WhoAmI(std::string& authzId) {
    authzId.clear();
    NWCCODE code = Connect();
    if (code != 0) return code;
    if (!haveIdentity_) {
        // RFC 4532's Who-am-I where the server knows it, else eDirectory's Get Bind DN; without
        // either (or when the answer fails) the bind DN is who the server holds us for.
        bool answered = false;
        if (SupportsExtension(WhoAmIOid)) {
            code = Extended(WhoAmIOid, "", identity_);
            if (code == ErrTransportFailure) return code;
            answered = code == 0;
        } else if (SupportsExtension(GetBindDnOid)) {
            std::string reply;
            code = Extended(GetBindDnOid, "", reply, GetBindDnReplyOid);
            if (code == ErrTransportFailure) return code;
            answered = code == 0 && DecodeGetBindDnReply(reply, identity_);
            if (code == 0 && !answered)
                Fail(ErrInvalidResponse, "Get Bind DN: the reply is not an octet string");
        }
        if (!answered) identity_ = settings_.BindDn.empty() ? std::string() : "dn:" + settings_.BindDn;
        haveIdentity_ = true;
    }
    authzId = identity_;
    return 0;
}

namespace {

// The words of an RFC 4512 attribute type description: "(", ")", quoted texts (without quotes)
// and bare words.
std::vector<std::string> DescriptionWords(const std::string& text) {
    std::vector<std::string> words;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '(' || c == ')') {
            words.emplace_back(1, c);
            ++i;
        } else if (c == '\'') {
            size_t end = text.find('\'', i + 1);
            if (end == std::string::npos) end = text.size();
            words.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = text.find_first_of(" \t\n\r()'", i);
            if (end == std::string::npos) end = text.size();
            words.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

} // namespace

NWCCODE TLdapSession::AttributeSyntax(const std::string& name, std::string& syntaxOid) {
    syntaxOid.clear();
    NWCCODE code = Connect();
    if (code != 0) return code;
    if (!haveSchema_) {
        std::vector<TLdapEntry> entries;
        code = Search(subschema_.empty() ? "cn=schema" : subschema_, 0, "(objectClass=*)", {"attributeTypes"}, nullptr,
                      entries);
        if (code != 0) return code;
        // Each type by every name it has, with its syntax or the type it derives from.
        std::unordered_map<std::string, std::string, TFoldedHash, TFoldedEqual> parents;
        if (!entries.empty())
            if (const auto* types = entries.front().Find("attributeTypes"))
                for (const auto& description : types->Values) {
                    auto words = DescriptionWords(description);
                    std::vector<std::string> names;
                    std::string syntax, parent;
                    for (size_t i = 0; i < words.size(); ++i) {
                        if (words[i] == "NAME" && i + 1 < words.size()) {
                            if (words[i + 1] == "(") {
                                for (size_t k = i + 2; k < words.size() && words[k] != ")"; ++k) names.push_back(words[k]);
                            } else {
                                names.push_back(words[i + 1]);
                            }
                        } else if (words[i] == "SYNTAX" && i + 1 < words.size()) {
                            syntax = words[i + 1].substr(0, words[i + 1].find('{'));
                        } else if (words[i] == "SUP" && i + 1 < words.size()) {
                            parent = words[i + 1];
                        }
                    }
                    for (const auto& n : names) {
                        syntaxes_[n] = syntax;
                        if (syntax.empty()) parents[n] = parent;
                    }
                }
        for (auto& [n, syntax] : syntaxes_) {
            std::string at = n;
            for (int hop = 0; syntax.empty() && hop < 16; ++hop) {
                auto parent = parents.find(at);
                if (parent == parents.end()) break;
                auto found = syntaxes_.find(parent->second);
                if (found == syntaxes_.end()) break;
                syntax = found->second;
                at = parent->second;
            }
        }
        haveSchema_ = true;
    }
    auto found = syntaxes_.find(name);
    if (found == syntaxes_.end()) return Fail(ErrNoSuchAttribute, "the schema holds no attribute \"" + name + "\"");
    syntaxOid = found->second;
    return 0;
}

bool TLdapSession::SupportsExtension(const std::string& oid) const {
    return std::find(extensions_.begin(), extensions_.end(), oid) != extensions_.end();
}

bool TLdapSession::SupportsControl(const std::string& oid) const {
    return std::find(controls_.begin(), controls_.end(), oid) != controls_.end();
}

} // namespace era
