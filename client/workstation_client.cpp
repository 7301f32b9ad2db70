#include "client/workstation_client.h"

#include "client/ldap/ldap_client.h"
#include "client/ldap/ldap_settings.h"
#include "client/redirector.h"

namespace era {

std::unique_ptr<TSnapshotClient> MakeWorkstationClient(std::unique_ptr<TWorkstation> workstation) {
    if (workstation->LiveTrees.empty()) return std::make_unique<TSnapshotClient>(std::move(workstation));
    return std::make_unique<TLdapClient>(std::move(workstation));
}

NWCCODE LoadWorkstation(const std::string& path, std::unique_ptr<TSnapshotClient>& client,
                        std::string& message) {
    client.reset();
    // Trees named "ldap" in the file are stand-ins whose directory the LDAP source reads.
    static const bool LdapTreesKnown = (RegisterTreeSource("ldap", LdapTreeSource, true), true);
    (void)LdapTreesKnown;
    auto workstation = LoadWorkstationFile(path, message);
    if (!workstation) return NweClientNotStarted;
    // A file that names LDAP trees gets the live directory; the rest of it answers the same.
    client = MakeWorkstationClient(std::move(workstation));
    return 0;
}

std::unique_ptr<TSnapshotClient> LoadWorkstation(const std::string& path, std::string& message) {
    std::unique_ptr<TSnapshotClient> client;
    LoadWorkstation(path, client, message);
    return client;
}

NWCCODE InstallWorkstation(const std::string& path, std::string& message) {
    std::unique_ptr<TSnapshotClient> client;
    NWCCODE code = LoadWorkstation(path, client, message);
    if (code != 0) return code;
    InstallClient(std::move(client));
    InstallClientRedirector();
    return 0;
}

bool ReadsLiveTrees() { return dynamic_cast<const TLdapClient*>(&Client()) != nullptr; }

} // namespace era
