#pragma once

// Starting the workstation's client: a workstation file names trees read from LDIF exports and
// trees read from LDAP servers; the client made from it answers every call the directory
// interface has, whichever source a tree comes from. Nothing above this header needs to know
// which sources run.

#include "client/snapshot/snapshot_client.h"

#include <memory>
#include <string>

namespace era {

// The client for a loaded workstation file: the embedded directory, or the live one when the file
// names LDAP trees.
std::unique_ptr<TSnapshotClient> MakeWorkstationClient(std::unique_ptr<TWorkstation> workstation);

// Starts the client from a workstation file: the client, or nullptr with a message that names the
// file, the key or line and what was expected there (the code is NweClientNotStarted then).
NWCCODE LoadWorkstation(const std::string& path, std::unique_ptr<TSnapshotClient>& client,
                        std::string& message);
std::unique_ptr<TSnapshotClient> LoadWorkstation(const std::string& path, std::string& message);
// Loads a workstation file and, when it loads, makes it the process-wide client with its
// redirector answering for network paths (what "--workstation FILE" and ERA_WORKSTATION do).
// On failure the installed client stays as it was.
NWCCODE InstallWorkstation(const std::string& path, std::string& message);
// Whether the installed client reads trees from a live directory: its connections are its own
// and are not to be shared with processes forked from it.
bool ReadsLiveTrees();

} // namespace era
