#include "directory/client.h"

namespace era {

namespace {

// The workstation without a client: nothing is installed, so nothing answers.
class TAbsentClient final : public TDirectoryClient {
public:
    std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() override { return nullptr; }
};

std::unique_ptr<TDirectoryClient>& Slot() {
    static std::unique_ptr<TDirectoryClient> slot = std::make_unique<TAbsentClient>();
    return slot;
}

} // namespace

TDirectoryClient& Client() { return *Slot(); }

std::unique_ptr<TDirectoryClient> InstallClient(std::unique_ptr<TDirectoryClient> client) {
    if (!client) client = std::make_unique<TAbsentClient>();
    std::swap(Slot(), client);
    return client;
}

} // namespace era
