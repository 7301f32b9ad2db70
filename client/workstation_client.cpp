#include "client/workstation_client.h"

#include "client/ldap/ldap_settings.h"
#include "client/redirector.h"
#include "client/snapshot/snapshot_client.h"

namespace era {

std::unique_ptr<TWorkstation> LoadWorkstationFile(const std::string& path, std::string& error) {
    // Trees named "ldif" are read from their export, trees named "ldap" from their server.
    static const bool SourcesKnown = (RegisterTreeSource("ldif", SnapshotTreeSource),
                                      RegisterTreeSource("ldap", LdapTreeSource), true);
    (void)SourcesKnown;
    return ReadWorkstationFile(path, error);
}

std::unique_ptr<TWorkstationClient> MakeWorkstationClient(std::unique_ptr<TWorkstation> workstation) {
    return std::make_unique<TWorkstationClient>(std::move(workstation));
}

NWCCODE LoadWorkstation(const std::string& path, std::unique_ptr<TWorkstationClient>& client,
                        std::string& message) {
    client.reset();
    auto workstation = LoadWorkstationFile(path, message);
    if (!workstation) return NweClientNotStarted;
    client = MakeWorkstationClient(std::move(workstation));
    return 0;
}

std::unique_ptr<TWorkstationClient> LoadWorkstation(const std::string& path, std::string& message) {
    std::unique_ptr<TWorkstationClient> client;
    LoadWorkstation(path, client, message);
    return client;
}

NWCCODE InstallWorkstation(const std::string& path, std::string& message) {
    std::unique_ptr<TWorkstationClient> client;
    NWCCODE code = LoadWorkstation(path, client, message);
    if (code != 0) return code;
    InstallClient(std::move(client));
    InstallClientRedirector();
    return 0;
}

bool ReadsLiveTrees() {
    const auto* workstation = dynamic_cast<const TWorkstationClient*>(&Client());
    if (!workstation) return false;
    for (const auto& tree : workstation->Workstation().Trees)
        if (tree->Live()) return true;
    return false;
}

} // namespace era
