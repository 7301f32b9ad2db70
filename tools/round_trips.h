#pragma once

// An LDAP client that counts what it asks the server: every call of the directory interface that
// may reach the server, by kind, with the round trips spent while it ran; and one analysis with its
// round trips, levels and distinct trustees. Used by era_round_trips and its test.

#include "client/ldap/ldap_workstation.h"
#include "client/workstation_client.h"
#include "rights/analysis.h"
#include "rights/notation.h"

#include <array>
#include <memory>
#include <set>
#include <string>

namespace era::roundtrips {

// The calls that may reach the server, one counter each.
enum TKind : size_t {
    KindRead,
    KindObjectInfo,
    KindList,
    KindSearch,
    KindIterationEnd,
    KindEffectiveRights,
    KindNames,
    KindSchema,
    KindStream,
    KindCount
};
inline constexpr std::array<const char*, KindCount> KindTitles = {
    "read (NWDSRead)",
    "object information",
    "listing",
    "search (NWDSExtSyncSearch)",
    "end of an iteration",
    "effective rights (getEffectivePrivileges)",
    "name, ID and who-am-I",
    "syntax of an attribute",
    "stream",
};

struct TTally {
    std::array<uint64_t, KindCount> Calls{};
    std::array<uint64_t, KindCount> Trips{};
    void Add(const TTally& other) {
        for (size_t k = 0; k < KindCount; ++k) {
            Calls[k] += other.Calls[k];
            Trips[k] += other.Trips[k];
        }
    }
};

// The LDAP client with every call that may ask the server counted by kind: the calls made, and the
// round trips spent while they ran. (No call of the client goes through another counted one; were
// one to, its round trips would count twice, which the tool's test would show.)
class TCountingLdapClient final : public TLdapWorkstation {
public:
    using TLdapWorkstation::TLdapWorkstation;

    TTally Tally;
    // The distinct effective-rights questions (subject, object, attribute) since Asked was emptied.
    std::set<std::string> Asked;

    NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                     const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) override {
        return Count(KindRead, [&] {
            return TLdapWorkstation::NWDSRead(context, object, infoType, allAttrs, attrNames, iterationHandle,
                                              result);
        });
    }
    NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                               std::string& distinguishedName, TObjectInfo& info) override {
        return Count(KindObjectInfo, [&] {
            return TLdapWorkstation::NWDSReadObjectInfo(context, object, distinguishedName, info);
        });
    }
    NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                  TDSBuffer& buffer) override {
        return Count(KindObjectInfo,
                     [&] { return TLdapWorkstation::NWDSReadObjectDSIInfo(context, object, buffer); });
    }
    NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                     TDSBuffer& result) override {
        return Count(KindList,
                     [&] { return TLdapWorkstation::NWDSList(context, object, iterationHandle, result); });
    }
    NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                               TDSBuffer& result) override {
        return Count(KindList, [&] {
            return TLdapWorkstation::NWDSListContainers(context, object, iterationHandle, result);
        });
    }
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp,
                              uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames,
                              int32_t& iterationHandle, int32_t countObjectsToSearch,
                              int32_t& countObjectsSearched, TDSBuffer& result) override {
        return Count(KindSearch, [&] {
            return TLdapWorkstation::NWDSExtSyncSearch(
                context, baseObjectName, scope, searchAliases, filterBuffer, timeStamp, infoType, allAttrs,
                attrNames, iterationHandle, countObjectsToSearch, countObjectsSearched, result);
        });
    }
    NWCCODE NWDSCloseIteration(NWDSContextHandle context, int32_t iterationHandle,
                               uint32_t operation) override {
        return Count(KindIterationEnd, [&] {
            return TLdapWorkstation::NWDSCloseIteration(context, iterationHandle, operation);
        });
    }
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                   const std::string& object, const std::string& attrName,
                                   uint32_t& privileges) override {
        Asked.insert(subject + '\n' + object + '\n' + attrName);
        return Count(KindEffectiveRights, [&] {
            return TLdapWorkstation::NWDSGetEffectiveRights(context, subject, object, attrName, privileges);
        });
    }
    NWCCODE NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                 std::string& canonical) override {
        return Count(KindNames,
                     [&] { return TLdapWorkstation::NWDSCanonicalizeName(context, name, canonical); });
    }
    NWCCODE NWDSWhoAmI(NWDSContextHandle context, std::string& name) override {
        return Count(KindNames, [&] { return TLdapWorkstation::NWDSWhoAmI(context, name); });
    }
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, NWObjectID id,
                            std::string& name) override {
        return Count(KindNames,
                     [&] { return TLdapWorkstation::NWDSMapIDToName(context, connection, id, name); });
    }
    NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection, const std::string& name,
                            NWObjectID& id) override {
        return Count(KindNames,
                     [&] { return TLdapWorkstation::NWDSMapNameToID(context, connection, name, id); });
    }
    NWCCODE NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName,
                            uint32_t& syntaxID) override {
        return Count(KindSchema,
                     [&] { return TLdapWorkstation::NWDSGetSyntaxID(context, attrName, syntaxID); });
    }
    NWCCODE NWDSOpenStream(NWDSContextHandle context, const std::string& object, const std::string& attrName,
                           uint32_t flags, int32_t& fileHandle) override {
        return Count(KindStream, [&] {
            return TLdapWorkstation::NWDSOpenStream(context, object, attrName, flags, fileHandle);
        });
    }

private:
    template <class TCall>
    NWCCODE Count(TKind kind, TCall call) {
        const uint64_t before = RoundTrips();
        const NWCCODE code = call();
        Tally.Trips[kind] += RoundTrips() - before;
        ++Tally.Calls[kind];
        return code;
    }
};

// What one analysis cost and found.
struct TAnalysis {
    uint64_t Trips = 0;
    int Levels = 0;
    int Trustees = 0;
};

inline TAnalysis Analyse(TCountingLdapClient& client, NWDSContextHandle context, const std::string& object,
                         uint32_t flags) {
    TAnalysis analysis;
    TStringList trace, results;
    const uint64_t before = client.RoundTrips();
    U_AnalyzeEffectiveRights(context, object, LevelHeader, flags, &trace, results, nullptr);
    analysis.Trips = client.RoundTrips() - before;
    // Each level of the walk opens with its "DN: " line.
    for (const auto& line : trace.Items())
        analysis.Levels += line.Text.rfind("DN: ", 0) == 0;
    std::set<std::string> trustees;
    for (const auto& entry : results.Items())
        trustees.insert(U_ACLTrustee(entry.Text));
    analysis.Trustees = static_cast<int>(trustees.size());
    return analysis;
}

// Reads a workstation file as the client factory does (trees named "ldap" read by the LDAP
// source) into a counting client; nullptr with the loader's message when it does not load.
inline std::unique_ptr<TCountingLdapClient> LoadCountingClient(const std::string& path,
                                                               std::string& message) {
    auto workstation = LoadWorkstationFile(path, message);
    if (!workstation) return nullptr;
    return std::make_unique<TCountingLdapClient>(std::move(workstation));
}

} // namespace era::roundtrips
