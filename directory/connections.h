#pragma once

// Client start-up and the workstation's connections: servers and trees it is attached to, the
// tree and user of a connection, and the names that belong to object IDs on a connection.

#include "directory/client.h"
#include "util/string_list.h"

#include <string>

namespace era {

// Starts the client once; on failure shows the start-up sentence box and returns the code.
NWCCODE InitNetWare();
// Opens the start-up connection (the primary one, else the first attached); runs once.
NWCCODE U_OpenPrimaryConnection();
// Forgets the start-up connection, so the next start-up opens one again (a new client, tests).
void ResetNetWareStartup();
// The start-up connection handle (0xFFFF while none is open).
NWCONN_HANDLE StartupConnection();

// Connection information of one type as text (empty on failure).
NWCCODE U_GetConnInfoByRef(NWCONN_REF connRef, uint32_t infoType, std::string& text);
NWCCODE U_GetConnInfoByHandle(NWCONN_HANDLE connection, uint32_t infoType, std::string& text);
// A tree name as the client pads it, cut to 32 characters and without trailing "_".
std::string CutTreeName(const std::string& padded);
NWCCODE U_GetTreeNameByRef(NWCONN_REF connRef, std::string& tree);
NWCCODE U_GetTreeNameByHandle(NWCONN_HANDLE connection, std::string& tree);
NWCCODE U_GetServerNameByRef(NWCONN_REF connRef, std::string& server);
// Whether the connection is authenticated to the directory.
bool U_IsDSAuthenticated(NWCONN_HANDLE connection);
// The tree of the primary connection, or empty.
std::string U_GetPrimaryTreeName();
NWCCODE U_GetConnRefByHandle(NWCONN_HANDLE connection, NWCONN_REF& connRef);
// The name of the user logged in on the connection; "<not authenticated>" when nobody is.
std::string U_GetConnUserName(NWCONN_HANDLE connection);
// Appends the attached servers, each with its connection reference.
void U_ListServers(TStringList& servers);
// Appends the attached trees, each once (ignoring case) with the first reference it was seen on.
void U_ListTrees(TStringList& trees);

// The name of an object ID on a connection, in the form the context's flags give.
NWCCODE U_DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id, std::string& name);
// The same, looked up in the connection's own tree through a fresh context.
NWCCODE U_DSMapIDToNameOnConn(NWCONN_HANDLE connection, NWObjectID id, std::string& name);
// The name of an object ID in the server's bindery.
NWCCODE U_BinderyGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name);
// The name from the directory when the connection is authenticated to it, else from the bindery.
NWCCODE U_GetObjectNameByID(NWCONN_HANDLE connection, NWObjectID id, std::string& name);
// Sets the context to the connection's tree at "[Root]".
NWCCODE U_DSChangeTreeToConn(NWDSContextHandle context, NWCONN_HANDLE connection);

} // namespace era
