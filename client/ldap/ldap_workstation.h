#pragma once

// A workstation client whose file names LDAP trees, with what its LDAP sources tell: the round
// trips they made, their last failures, and a way to forget their answers. For diagnostics, the
// tests and the round-trip tool.

#include "client/ascii_fold.h"
#include "client/ldap/ldap_client.h"
#include "client/workstation_calls.h"

#include <chrono>
#include <string>
#include <vector>

namespace era {

// The LDAP source of a workstation client's tree, or nullptr when the tree is read otherwise.
inline TLdapSource* LdapSource(const TWorkstationClient& client, const std::string& treeName) {
    for (const auto& tree : client.Workstation().Trees)
        if (EqualsFolded(tree->Name(), treeName)) return dynamic_cast<TLdapSource*>(tree.get());
    return nullptr;
}

// The workstation client of a file that names LDAP trees, with what its LDAP sources tell.
class TLdapWorkstation : public TWorkstationClient {
public:
    using TWorkstationClient::TWorkstationClient;

    // Round trips to the servers so far (every LDAP tree, or one tree by name).
    uint64_t RoundTrips() const {
        uint64_t total = 0;
        for (TLdapSource* source : Sources())
            total += source->RoundTrips();
        return total;
    }
    uint64_t RoundTrips(const std::string& treeName) const {
        TLdapSource* source = LdapSource(*this, treeName);
        return source ? source->RoundTrips() : 0;
    }
    // Forgets every answer kept.
    void ClearCache() {
        for (TLdapSource* source : Sources())
            source->ClearCache();
    }
    void SetReconnectDelay(std::chrono::milliseconds delay) {
        for (TLdapSource* source : Sources())
            source->SetReconnectDelay(delay);
    }
    // The last failure of a tree's connection in words, or empty.
    std::string LastError(const std::string& treeName) const {
        TLdapSource* source = LdapSource(*this, treeName);
        return source ? source->LastError() : std::string();
    }
    // The last failure of any tree's connection (the first tree's that has one).
    std::string LastError() const {
        for (TLdapSource* source : Sources())
            if (!source->LastError().empty()) return source->LastError();
        return {};
    }
    bool IsLdapTree(const std::string& treeName) const { return LdapSource(*this, treeName) != nullptr; }

private:
    std::vector<TLdapSource*> Sources() const {
        std::vector<TLdapSource*> sources;
        for (const auto& tree : Workstation().Trees)
            if (auto* source = dynamic_cast<TLdapSource*>(tree.get())) sources.push_back(source);
        return sources;
    }
};

} // namespace era
