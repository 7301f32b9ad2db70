#pragma once

// The directory client's redirector as the path helpers' resolver of network paths: drive
// letters and UNC paths are answered by the process-wide client, whichever backend it is.

#include "util/paths.h"

namespace era {

class TClientRedirector final : public TNetworkDirectoryResolver {
public:
    // Whether the client's volumes hold that directory.
    bool DirectoryExists(const std::string& path) override;
    // The stored spelling of the path's last component (the volume's name for a volume root).
    bool StoredName(const std::string& path, std::string& name) override;
};

// Makes the process-wide client answer for network paths in DirExists and PathForm.
void InstallClientRedirector();

} // namespace era
