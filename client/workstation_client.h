#pragma once

// Starting the workstation's client: a workstation file names trees read from LDIF exports and
// trees read from LDAP servers; the client made from it answers every call the directory
// interface has, each tree's calls from that tree's source. Nothing above this header needs to
// know which sources run.

#include "client/workstation_calls.h"

#include <memory>
#include <string>

namespace era {

// Reads a workstation file with every tree it names, each kind of tree ("ldif", "ldap") by its
// source. On failure gives nullptr and a message that names the file, the key or line and what
// was expected; nothing half-loaded is kept.
std::unique_ptr<TWorkstation> LoadWorkstationFile(const std::string& path, std::string& error);

// The client for a loaded workstation file.
std::unique_ptr<TWorkstationClient> MakeWorkstationClient(std::unique_ptr<TWorkstation> workstation);

// Starts the client from a workstation file: the client, or nullptr with a message that names the
// file, the key or line and what was expected there (the code is NweClientNotStarted then).
NWCCODE LoadWorkstation(const std::string& path, std::unique_ptr<TWorkstationClient>& client,
                        std::string& message);
std::unique_ptr<TWorkstationClient> LoadWorkstation(const std::string& path, std::string& message);
// Loads a workstation file and, when it loads, makes it the process-wide client with its
// redirector answering for network paths (what "--workstation FILE" and ERA_WORKSTATION do).
// On failure the installed client stays as it was.
NWCCODE InstallWorkstation(const std::string& path, std::string& message);
// Whether the installed client reads trees from a live directory: its connections are its own
// and are not to be shared with processes forked from it.
bool ReadsLiveTrees();

} // namespace era
