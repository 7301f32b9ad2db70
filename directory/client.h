#pragma once

// The directory client interface: what stands in for the NetWare client on this platform.
// Every call returns a completion code (0 = success); no exception crosses this interface.

#include <cstdint>
#include <memory>
#include <string>

namespace era {

// The client's error-text library, loaded for one lookup and released after it.
class TErrorTextLibrary {
public:
    virtual ~TErrorTextLibrary() = default;
    // The library's "NWstrerror" function: a zero-terminated description of a completion code.
    using TStrError = const char* (*)(int32_t code);
    // The exported "NWstrerror", or nullptr when the library exports none.
    virtual TStrError FindNWstrerror() const = 0;
};

// One directory client: the calls of the NetWare client, one for one.
class TDirectoryClient {
public:
    virtual ~TDirectoryClient() = default;

    // Loads the error-text library; nullptr when it is not installed.
    virtual std::unique_ptr<TErrorTextLibrary> LoadErrorTextLibrary() = 0;
};

// The process-wide client; a client that never started when none is installed.
TDirectoryClient& Client();
// Installs the process-wide client (start-up, tests); returns the one it replaces.
std::unique_ptr<TDirectoryClient> InstallClient(std::unique_ptr<TDirectoryClient> client);

} // namespace era
