#pragma once

// An LDAP server of the tests' own that speaks the extended operations of eDirectory which slapd
// does not know: effective privileges (2.16.840.1.113719.1.27.100.33, reply 100.34) and Get Bind
// DN (100.31, reply 100.32). It listens on 127.0.0.1 and an ephemeral port and runs in one thread
// of the test process. Each client connection gets a connection of its own to the tests' slapd, to
// which everything but the root entry and the extended operations is passed on as it comes (bind,
// searches and reads, abandon, unbind); the answers come back unchanged. The root entry lists the
// two operations (and not RFC 4532's Who-am-I).
//
// An effective-privileges request is checked byte for byte against the documented layout (three
// DER octet strings one after the other, nothing around them, nothing after them) and answered
// from the embedded directory's own effective rights on the sample tree, so an analysis through
// the responder can be held against the embedded directory's line for line. A request of any other
// shape is refused with protocolError and counted.
//
// The thread ends when the responder is destroyed, and in any case after a time limit; the process
// ending takes it along.

#include "client/ascii_fold.h"
#include "client/name_forms.h"
#include "client/schema_map.h"
#include "client/workstation_client.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <lber.h>
#include <ldap.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace era::test {

inline constexpr const char* EffectivePrivilegesRequestOid = "2.16.840.1.113719.1.27.100.33";
inline constexpr const char* EffectivePrivilegesResponseOid = "2.16.840.1.113719.1.27.100.34";
inline constexpr const char* GetBindDnRequestOid = "2.16.840.1.113719.1.27.100.31";
inline constexpr const char* GetBindDnResponseOid = "2.16.840.1.113719.1.27.100.32";

// One DER octet string: tag 04, the length in its shortest form, the bytes. Written here by hand
// so that the check does not lean on the encoder it checks.
inline std::string DerOctetString(const std::string& bytes) {
    std::string out(1, '\x04');
    size_t length = bytes.size();
    if (length < 0x80) {
        out += static_cast<char>(length);
    } else {
        std::string digits;
        for (; length > 0; length >>= 8)
            digits.insert(digits.begin(), static_cast<char>(length & 0xFF));
        out += static_cast<char>(0x80 | digits.size());
        out += digits;
    }
    return out + bytes;
}

inline std::string Hex(const std::string& bytes) {
    static const char Digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += Digits[c >> 4];
        out += Digits[c & 0x0F];
    }
    return out;
}

class TLdapResponder {
public:
    // How Get Bind DN is answered: as documented, refused, or under another response name.
    enum class TGetBindDn { Answer, Refuse, OtherResponseName };
    // How effective privileges are answered: as documented, with a failure (LDAP "other"), or
    // with a value that is not a bare INTEGER (the INTEGER inside an OCTET STRING).
    enum class TPrivileges { Answer, Fail, Undecodable };
    struct TOptions {
        bool ListEffectivePrivileges = true;
        bool ListGetBindDn = true;
        std::string Identity; // what Get Bind DN answers; empty: the DN of the connection's bind
        TGetBindDn GetBindDn = TGetBindDn::Answer;
        TPrivileges Privileges = TPrivileges::Answer;
    };

    // upstreamPort: the slapd that answers binds and searches.
    TLdapResponder(int upstreamPort, TOptions options)
        : upstreamPort_(upstreamPort), options_(std::move(options)) {
        std::string message;
        directory_ = LoadWorkstation(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json", message);
        if (!directory_) {
            ADD_FAILURE() << "the responder's directory does not load: " << message;
            return;
        }
        EXPECT_EQ(directory_->NWDSCreateContextHandle(context_), 0);
        EXPECT_EQ(directory_->NWDSSetContext(context_, DckTreeName, std::string("ACME_TREE")), 0);
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "the responder cannot listen: " << std::strerror(errno);
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }

    ~TLdapResponder() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
        if (directory_) directory_->NWDSFreeContext(context_);
    }
    TLdapResponder(const TLdapResponder&) = delete;
    TLdapResponder& operator=(const TLdapResponder&) = delete;

    bool Running() const { return port_ != 0; }
    std::string Uri() const { return "ldap://127.0.0.1:" + std::to_string(port_); }

    // What the responder saw.
    int EffectivePrivilegesAnswered() const { return privilegesAnswered_; }
    // Effective-privileges requests of the documented shape, answered or not.
    int EffectivePrivilegesAsked() const { return privilegesAsked_; }
    int GetBindDnAsked() const { return bindDnAsked_; }
    // Requests refused for their shape, and extended operations the root entry does not list.
    int Malformed() const { return malformed_; }
    int Unlisted() const { return unlisted_; }
    std::string LastPrivilegesRequest() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastRequest_;
    }
    std::string Complaints() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return complaints_;
    }

private:
    struct TConnection {
        int Client = -1;
        int Upstream = -1;
        std::string Pending; // bytes of the client not yet a whole message
        std::string BoundDn;
    };

    struct TBerFree {
        void operator()(BerElement* ber) const { ber_free(ber, 1); }
    };
    using TBer = std::unique_ptr<BerElement, TBerFree>;

    static constexpr auto Lifetime = std::chrono::minutes(5);
    static constexpr size_t MaxMessage = 1 << 20;

    void Complain(const std::string& text) {
        ++malformed_;
        std::lock_guard<std::mutex> lock(mutex_);
        complaints_ += text + "\n";
    }

    static bool SendAll(int fd, const std::string& bytes) {
        for (size_t sent = 0; sent < bytes.size();) {
            ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    static std::string Flatten(BerElement* ber) {
        berval flat{0, nullptr};
        if (ber_flatten2(ber, &flat, 0) < 0) return {};
        return std::string(flat.bv_val, flat.bv_len);
    }

    // The length of the whole BER element at the start of bytes; 0 while it is incomplete, npos
    // for one that cannot be read.
    static size_t ElementSize(const std::string& bytes) {
        if (bytes.size() < 2) return 0;
        if (static_cast<unsigned char>(bytes[0]) != 0x30) return std::string::npos;
        auto first = static_cast<unsigned char>(bytes[1]);
        size_t header = 2, length = first;
        if (first & 0x80) {
            size_t digits = first & 0x7F;
            if (digits == 0 || digits > 4) return std::string::npos;
            if (bytes.size() < 2 + digits) return 0;
            length = 0;
            for (size_t i = 0; i < digits; ++i)
                length = (length << 8) | static_cast<unsigned char>(bytes[2 + i]);
            header += digits;
        }
        if (length > MaxMessage) return std::string::npos;
        return bytes.size() < header + length ? 0 : header + length;
    }

    void Serve() {
        auto end = std::chrono::steady_clock::now() + Lifetime;
        std::vector<TConnection> connections;
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (const auto& c : connections) {
                fds.push_back({c.Client, POLLIN, 0});
                fds.push_back({c.Upstream, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            // The connections polled; one accepted now waits for the next round.
            const size_t polled = connections.size();
            if (fds[0].revents & POLLIN) Accept(connections);
            for (size_t i = 0; i < polled; ++i) {
                TConnection& c = connections[i];
                bool open = true;
                if (fds[1 + 2 * i].revents) open = FromClient(c);
                if (open && fds[2 + 2 * i].revents) open = FromUpstream(c);
                if (!open) {
                    ::close(c.Client);
                    ::close(c.Upstream);
                    c.Client = c.Upstream = -1;
                }
            }
            std::erase_if(connections, [](const TConnection& c) { return c.Client < 0; });
        }
        for (auto& c : connections) {
            ::close(c.Client);
            ::close(c.Upstream);
        }
    }

    void Accept(std::vector<TConnection>& connections) {
        int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        int upstream = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(upstreamPort_));
        if (upstream < 0 || ::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (upstream >= 0) ::close(upstream);
            ::close(client);
            return;
        }
        // No send waits long: a client that stops reading ends its connection.
        timeval limit{5, 0};
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        ::setsockopt(upstream, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        connections.push_back({client, upstream, {}, {}});
    }

    bool FromUpstream(TConnection& c) {
        char buffer[65536];
        ssize_t n = ::recv(c.Upstream, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        return n > 0 && SendAll(c.Client, std::string(buffer, static_cast<size_t>(n)));
    }

    bool FromClient(TConnection& c) {
        char buffer[65536];
        ssize_t n = ::recv(c.Client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        if (n <= 0) return false;
        c.Pending.append(buffer, static_cast<size_t>(n));
        for (;;) {
            size_t size = ElementSize(c.Pending);
            if (size == std::string::npos) return false;
            if (size == 0) return true;
            std::string message = c.Pending.substr(0, size);
            c.Pending.erase(0, size);
            if (!Handle(c, message)) return false;
        }
    }

    // One request of the client: answered here, or passed on.
    bool Handle(TConnection& c, const std::string& message) {
        berval value{static_cast<ber_len_t>(message.size()), const_cast<char*>(message.data())};
        TBer ber(ber_init(&value));
        ber_int_t id = 0;
        ber_len_t length = 0;
        if (!ber || ber_scanf(ber.get(), "{i", &id) == LBER_ERROR) return false;
        ber_tag_t operation = ber_peek_tag(ber.get(), &length);
        if (operation == LDAP_REQ_BIND) {
            ber_int_t version = 0;
            berval dn{0, nullptr};
            if (ber_scanf(ber.get(), "{im", &version, &dn) != LBER_ERROR)
                c.BoundDn.assign(dn.bv_val, dn.bv_len);
        } else if (operation == LDAP_REQ_SEARCH && IsRootEntryRead(ber.get())) {
            return SendAll(c.Client, RootEntry(id));
        } else if (operation == LDAP_REQ_EXTENDED) {
            return SendAll(c.Client, Extended(c, id, ber.get()));
        }
        return SendAll(c.Upstream, message);
    }

    // A base search of the empty DN asking for the supported extensions: what the client reads
    // when it connects. (Other reads of the empty DN go on to slapd.)
    static bool IsRootEntryRead(BerElement* ber) {
        berval base{0, nullptr};
        ber_int_t scope = -1, deref = 0, size = 0, time = 0, typesOnly = 0;
        if (ber_scanf(ber, "{meeiibx", &base, &scope, &deref, &size, &time, &typesOnly) == LBER_ERROR)
            return false;
        if (base.bv_len != 0 || scope != LDAP_SCOPE_BASE) return false;
        BerVarray attributes = nullptr;
        if (ber_scanf(ber, "W", &attributes) == LBER_ERROR) return false;
        bool asked = false;
        for (size_t i = 0; attributes && attributes[i].bv_val; ++i)
            asked = asked || EqualsFolded(std::string_view(attributes[i].bv_val, attributes[i].bv_len),
                                          "supportedExtension");
        ber_bvarray_free(attributes);
        return asked;
    }

    std::string RootEntry(ber_int_t id) const {
        std::vector<std::pair<std::string, std::vector<std::string>>> attributes = {
            {"supportedExtension", {}},
            {"supportedControl", {"1.2.840.113556.1.4.319"}}, // paged results, as slapd's
            {"subschemaSubentry", {"cn=Subschema"}},
            {"supportedLDAPVersion", {"3"}}};
        if (options_.ListEffectivePrivileges) attributes[0].second.push_back(EffectivePrivilegesRequestOid);
        if (options_.ListGetBindDn) attributes[0].second.push_back(GetBindDnRequestOid);
        TBer entry(ber_alloc_t(LBER_USE_DER));
        ber_printf(entry.get(), "{it{s{", id, static_cast<ber_tag_t>(LDAP_RES_SEARCH_ENTRY), "");
        for (const auto& [name, values] : attributes) {
            ber_printf(entry.get(), "{s[", name.c_str());
            for (const auto& v : values)
                ber_printf(entry.get(), "s", v.c_str());
            ber_printf(entry.get(), "]N}");
        }
        ber_printf(entry.get(), "}N}N}");
        TBer done(ber_alloc_t(LBER_USE_DER));
        ber_printf(done.get(), "{it{essN}N}", id, static_cast<ber_tag_t>(LDAP_RES_SEARCH_RESULT),
                   LDAP_SUCCESS, "", "");
        return Flatten(entry.get()) + Flatten(done.get());
    }

    static std::string ExtendedResponse(ber_int_t id, int result, const std::string& diagnostic,
                                        const char* responseOid, const std::string* value) {
        TBer ber(ber_alloc_t(LBER_USE_DER));
        ber_printf(ber.get(), "{it{ess", id, static_cast<ber_tag_t>(LDAP_RES_EXTENDED), result, "",
                   diagnostic.c_str());
        if (responseOid)
            ber_printf(ber.get(), "ts", static_cast<ber_tag_t>(LDAP_TAG_EXOP_RES_OID), responseOid);
        if (value) {
            berval bytes{static_cast<ber_len_t>(value->size()), const_cast<char*>(value->data())};
            ber_printf(ber.get(), "tO", static_cast<ber_tag_t>(LDAP_TAG_EXOP_RES_VALUE), &bytes);
        }
        ber_printf(ber.get(), "N}N}");
        return Flatten(ber.get());
    }

    std::string Extended(TConnection& c, ber_int_t id, BerElement* ber) {
        berval oidBytes{0, nullptr}, requestBytes{0, nullptr};
        ber_len_t length = 0;
        if (ber_scanf(ber, "{m", &oidBytes) == LBER_ERROR)
            return ExtendedResponse(id, LDAP_PROTOCOL_ERROR, "", nullptr, nullptr);
        bool hasValue = ber_peek_tag(ber, &length) == LDAP_TAG_EXOP_REQ_VALUE;
        if (hasValue && ber_scanf(ber, "m", &requestBytes) == LBER_ERROR)
            return ExtendedResponse(id, LDAP_PROTOCOL_ERROR, "", nullptr, nullptr);
        const std::string oid(oidBytes.bv_val, oidBytes.bv_len);
        const std::string request(requestBytes.bv_val ? requestBytes.bv_val : "", requestBytes.bv_len);
        if (oid == EffectivePrivilegesRequestOid && options_.ListEffectivePrivileges)
            return EffectivePrivileges(id, hasValue, request);
        if (oid == GetBindDnRequestOid && options_.ListGetBindDn) {
            if (hasValue) {
                Complain("Get Bind DN with a request value: " + Hex(request));
                return ExtendedResponse(id, LDAP_PROTOCOL_ERROR, "Get Bind DN takes no request value",
                                        nullptr, nullptr);
            }
            ++bindDnAsked_;
            if (options_.GetBindDn == TGetBindDn::Refuse)
                return ExtendedResponse(id, LDAP_UNWILLING_TO_PERFORM, "not now", nullptr, nullptr);
            const std::string identity =
                DerOctetString(options_.Identity.empty() ? c.BoundDn : options_.Identity);
            return ExtendedResponse(id, LDAP_SUCCESS, "",
                                    options_.GetBindDn == TGetBindDn::Answer ? GetBindDnResponseOid
                                                                             : EffectivePrivilegesResponseOid,
                                    &identity);
        }
        ++unlisted_;
        return ExtendedResponse(id, LDAP_PROTOCOL_ERROR, "unknown extended operation " + oid, nullptr,
                                nullptr);
    }

    std::string EffectivePrivileges(ber_int_t id, bool hasValue, const std::string& request) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastRequest_ = request;
        }
        // Exactly three octet strings, read with lber, whose DER form is the request byte for byte.
        std::vector<std::string> strings;
        berval value{static_cast<ber_len_t>(request.size()), const_cast<char*>(request.data())};
        TBer ber(ber_init(&value));
        ber_len_t length = 0;
        while (ber && hasValue && strings.size() < 4 &&
               ber_peek_tag(ber.get(), &length) == LBER_OCTETSTRING) {
            berval text{0, nullptr};
            if (ber_get_stringbv(ber.get(), &text, LBER_BV_NOTERM) == LBER_ERROR) break;
            strings.emplace_back(text.bv_val ? text.bv_val : "", text.bv_len);
        }
        std::string expected;
        for (const auto& s : strings)
            expected += DerOctetString(s);
        if (strings.size() != 3 || expected != request) {
            Complain("effective privileges: not three DER octet strings one after the other: " +
                     Hex(request));
            return ExtendedResponse(id, LDAP_PROTOCOL_ERROR,
                                    "the request value is not dn, trusteeDN, attrName", nullptr, nullptr);
        }
        ++privilegesAsked_;
        if (options_.Privileges == TPrivileges::Fail)
            return ExtendedResponse(id, LDAP_OTHER, "not now", nullptr, nullptr);
        uint32_t privileges = 0;
        NWCCODE code = directory_->NWDSGetEffectiveRights(
            context_, DirectoryName(strings[1]), DirectoryName(strings[0]),
            strings[2].rfind('[', 0) == 0 ? strings[2] : DirectoryAttributeName(strings[2]), privileges);
        if (code != 0)
            return ExtendedResponse(id, code == ErrNoSuchEntry ? LDAP_NO_SUCH_OBJECT : LDAP_OTHER,
                                    "the embedded directory answers " + std::to_string(code), nullptr,
                                    nullptr);
        ++privilegesAnswered_;
        TBer reply(ber_alloc_t(LBER_USE_DER));
        ber_printf(reply.get(), "i", static_cast<ber_int_t>(privileges));
        std::string bytes = Flatten(reply.get());
        if (options_.Privileges == TPrivileges::Undecodable) bytes = DerOctetString(bytes);
        return ExtendedResponse(id, LDAP_SUCCESS, "", EffectivePrivilegesResponseOid, &bytes);
    }

    // A DN of the request as the embedded directory's full name; the special names as they are,
    // the tree's own entry (t=...) as [Root].
    static std::string DirectoryName(const std::string& dn) {
        if (!dn.empty() && dn.front() == '[') return dn;
        TNameParts parts;
        std::string error;
        if (!LdapDnToParts(dn, parts, error)) return dn;
        if (!parts.empty() && EqualsFolded(parts.back().Type, "T")) parts.pop_back();
        return parts.empty() ? std::string(RootName) : "." + WriteFullName(parts, true);
    }

    int upstreamPort_;
    TOptions options_;
    std::unique_ptr<TWorkstationClient> directory_;
    NWDSContextHandle context_ = 0;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::atomic<int> privilegesAnswered_{0}, privilegesAsked_{0}, bindDnAsked_{0}, malformed_{0},
        unlisted_{0};
    mutable std::mutex mutex_;
    std::string lastRequest_;
    std::string complaints_;
};

} // namespace era::test
