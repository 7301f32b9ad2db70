#include "client/redirector.h"

#include "directory/client.h"

namespace era {

bool TClientRedirector::DirectoryExists(const std::string& path) { return Client().RedirectorDirectoryExists(path); }

bool TClientRedirector::StoredName(const std::string& path, std::string& name) {
    name.clear();
    if (!Client().RedirectorDirectoryExists(path)) return false;
    std::string server, volume, within;
    NWCONN_HANDLE connection = 0;
    if (Client().NWParsePath(path, server, connection, volume, within) != 0) return false;
    size_t slash = within.find_last_of('\\');
    name = within.empty() ? volume : within.substr(slash == std::string::npos ? 0 : slash + 1);
    return !name.empty();
}

void InstallClientRedirector() { SetNetworkDirectoryResolver(std::make_unique<TClientRedirector>()); }

} // namespace era
