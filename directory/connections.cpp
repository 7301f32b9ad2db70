#include "directory/connections.h"

#include "directory/context.h"
#include "directory/error_text.h"
#include "util/text.h"
#include "util/ui_host.h"

#include <array>
#include <cstring>

namespace era {

namespace {

constexpr NWCONN_HANDLE NotOpened = 0xFFFF;
NWCONN_HANDLE startupConnection = NotOpened;
NWCCODE lastScanResult = 0;

// Connection and file calls count with their low 16 bits only.
NWCCODE Low16(NWCCODE code) { return code & 0xFFFF; }

// Information as text: a 256-byte buffer of which 255 bytes are offered to the client.
template <typename TQuery>
NWCCODE InfoText(TQuery query, std::string& text) {
    text.clear();
    std::array<uint8_t, 256> buffer{};
    NWCCODE code = Low16(query(std::span<uint8_t>(buffer.data(), 255)));
    if (code == 0) text = CStrToStr(reinterpret_cast<const char*>(buffer.data()), 255);
    return code;
}

template <typename TQuery>
NWCCODE InfoNumber(TQuery query, uint32_t& value) {
    value = 0;
    std::array<uint8_t, 4> buffer{};
    NWCCODE code = Low16(query(std::span<uint8_t>(buffer)));
    if (code == 0) std::memcpy(&value, buffer.data(), sizeof value);
    return code;
}

// The scan over every attached connection reference.
template <typename TVisit>
void ScanConnections(TVisit visit) {
    uint32_t iterator = 0;
    for (;;) {
        NWCONN_REF ref = 0;
        NWCCODE code = Client().NWCCScanConnRefs(iterator, ref);
        lastScanResult = code;
        UiHost().ProcessMessages();
        if (code != 0) break;
        visit(ref);
    }
}

} // namespace

NWCCODE InitNetWare() {
    NWCCODE code = U_OpenPrimaryConnection();
    if (code == 0) return 0;
    U_ReportError(code, Low16(code) == 0xFFFF ? "Could not initialize NetWare Client. InitNetWare"
                                              : "Could not find server/tree connection. InitNetWare");
    return code;
}

NWCCODE U_OpenPrimaryConnection() {
    if (startupConnection != NotOpened) return 0;
    NWCCODE code = Low16(Client().NWCallsInit());
    if (code != 0) return code;
    uint32_t iterator = 0;
    NWCONN_REF candidate = 0;
    code = Low16(Client().NWCCScanConnRefs(iterator, candidate));
    if (code != 0) return code;
    NWCONN_REF primary = 0;
    if (Client().NWCCGetPrimConnRef(primary) == 0) candidate = primary;
    // Only an opened connection counts as started: a failed open leaves start-up to run again.
    NWCONN_HANDLE handle = 0;
    code = Low16(Client().NWCCOpenConnByRef(candidate, 1, 0, handle));
    if (code == 0) startupConnection = handle;
    return code;
}

void ResetNetWareStartup() {
    startupConnection = NotOpened;
    lastScanResult = 0;
}

NWCONN_HANDLE StartupConnection() { return startupConnection; }
NWCCODE LastScanResult() { return lastScanResult; }
void SetLastScanResult(NWCCODE code) { lastScanResult = code; }

NWCCODE U_GetConnInfoByRef(NWCONN_REF connRef, uint32_t infoType, std::string& text) {
    return InfoText([&](std::span<uint8_t> b) { return Client().NWCCGetConnRefInfo(connRef, infoType, b); }, text);
}

NWCCODE U_GetConnInfoByHandle(NWCONN_HANDLE connection, uint32_t infoType, std::string& text) {
    return InfoText([&](std::span<uint8_t> b) { return Client().NWCCGetConnInfo(connection, infoType, b); }, text);
}

std::string CutTreeName(const std::string& padded) {
    return TrimRightChars(padded.substr(0, std::min<size_t>(padded.size(), 32)), "_");
}

NWCCODE U_GetTreeNameByRef(NWCONN_REF connRef, std::string& tree) {
    NWCCODE code = U_GetConnInfoByRef(connRef, NwccInfoTreeName, tree);
    tree = CutTreeName(tree);
    return code;
}

NWCCODE U_GetTreeNameByHandle(NWCONN_HANDLE connection, std::string& tree) {
    NWCCODE code = U_GetConnInfoByHandle(connection, NwccInfoTreeName, tree);
    if (code == 0) tree = CutTreeName(tree);
    return code;
}

NWCCODE U_GetServerNameByRef(NWCONN_REF connRef, std::string& server) {
    return U_GetConnInfoByRef(connRef, NwccInfoServerName, server);
}

bool U_IsDSAuthenticated(NWCONN_HANDLE connection) {
    uint32_t state = 0;
    NWCCODE code = InfoNumber(
        [&](std::span<uint8_t> b) { return Client().NWCCGetConnInfo(connection, NwccInfoAuthState, b); }, state);
    return code == 0 && state != 0;
}

std::string U_GetPrimaryTreeName() {
    NWCONN_REF ref = 0;
    if (Client().NWCCGetPrimConnRef(ref) != 0) return {};
    std::string tree;
    U_GetTreeNameByRef(ref, tree);
    return tree;
}

NWCCODE U_GetConnRefByHandle(NWCONN_HANDLE connection, NWCONN_REF& connRef) {
    return InfoNumber(
        [&](std::span<uint8_t> b) { return Client().NWCCGetConnInfo(connection, NwccInfoConnRef, b); }, connRef);
}

std::string U_GetConnUserName(NWCONN_HANDLE connection) {
    const std::string notAuthenticated = "<not authenticated>";
    uint32_t id = 0;
    NWCCODE code = InfoNumber(
        [&](std::span<uint8_t> b) { return Client().NWCCGetConnInfo(connection, NwccInfoUserID, b); }, id);
    // A failed query leaves the ID unknown: nobody can be named for it.
    if (code != 0 || id == 0) return notAuthenticated;
    std::string name;
    if (U_GetObjectNameByID(connection, id, name) != 0) return {};
    return name;
}

void U_ListServers(TStringList& servers) {
    ScanConnections([&](NWCONN_REF ref) {
        std::string server;
        U_GetServerNameByRef(ref, server);
        if (!server.empty()) servers.AddObject(server, ref);
    });
}

void U_ListTrees(TStringList& trees) {
    ScanConnections([&](NWCONN_REF ref) {
        std::string tree;
        U_GetTreeNameByRef(ref, tree);
        if (tree.empty()) return;
        for (const auto& item : trees.Items())
            if (TextEquals(item.Text, tree)) return;
        trees.AddObject(tree, ref);
    });
}

NWCCODE U_DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id, std::string& name) {
    NWCCODE code = Client().NWDSMapIDToName(context, connection, id, name);
    if (code != 0) name.clear();
    return code;
}

NWCCODE U_DSMapIDToNameOnConn(NWCONN_HANDLE connection, NWObjectID id, std::string& name) {
    name.clear();
    TDSContext context;
    NWCCODE code = TDSContext::Create(context);
    if (code != 0) return code;
    code = U_DSChangeTreeToConn(context.Get(), connection);
    if (code == 0) code = U_DSMapIDToName(context.Get(), connection, id, name);
    return code;
}

NWCCODE U_BinderyGetObjectName(NWCONN_HANDLE connection, NWObjectID id, std::string& name) {
    uint16_t type = 0;
    NWCCODE code = Low16(Client().NWGetObjectName(connection, id, name, type));
    if (code != 0) name.clear();
    return code;
}

NWCCODE U_GetObjectNameByID(NWCONN_HANDLE connection, NWObjectID id, std::string& name) {
    NWCCODE code = U_IsDSAuthenticated(connection) ? U_DSMapIDToNameOnConn(connection, id, name) : -1;
    if (code != 0) return Low16(U_BinderyGetObjectName(connection, id, name));
    return 0;
}

NWCCODE U_DSChangeTreeToConn(NWDSContextHandle context, NWCONN_HANDLE connection) {
    std::string tree;
    NWCCODE code = U_GetTreeNameByHandle(connection, tree);
    if (code != 0) return code;
    return U_DSChangeCurrentTreeAndContext(context, tree, RootName, false);
}

} // namespace era
