#pragma once

// The embedded directory with a count of every request a remote directory would have to answer
// (reads, object information, listings, searches, effective-rights questions), and a switch for
// what it says of its answers: stable, the analysis keeps answers across objects, as on the
// embedded directory; not, it asks every time, as on a live directory. The benchmarks count with
// it, and the tests check with it what the analysis asks.

#include "client/workstation_client.h"

#include <cstdint>
#include <memory>
#include <string>

namespace era::bench {

class TCountingClient final : public TWorkstationClient {
public:
    TCountingClient(std::unique_ptr<TWorkstation> workstation, bool stable)
        : TWorkstationClient(std::move(workstation)), stable_(stable) {}

    bool AnswersAreStable() const override { return stable_; }

    NWCCODE NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType, bool allAttrs,
                     const TDSBuffer* attrNames, int32_t& iterationHandle, TDSBuffer& result) override {
        ++Reads;
        return TWorkstationClient::NWDSRead(context, object, infoType, allAttrs, attrNames, iterationHandle,
                                            result);
    }
    NWCCODE NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                               std::string& distinguishedName, TObjectInfo& info) override {
        ++Information;
        return TWorkstationClient::NWDSReadObjectInfo(context, object, distinguishedName, info);
    }
    NWCCODE NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                  TDSBuffer& buffer) override {
        ++Information;
        return TWorkstationClient::NWDSReadObjectDSIInfo(context, object, buffer);
    }
    NWCCODE NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                     TDSBuffer& result) override {
        ++Listings;
        return TWorkstationClient::NWDSList(context, object, iterationHandle, result);
    }
    NWCCODE NWDSListContainers(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                               TDSBuffer& result) override {
        ++Listings;
        return TWorkstationClient::NWDSListContainers(context, object, iterationHandle, result);
    }
    NWCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                   const std::string& object, const std::string& attrName,
                                   uint32_t& privileges) override {
        ++Rights;
        return TWorkstationClient::NWDSGetEffectiveRights(context, subject, object, attrName, privileges);
    }
    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp,
                              uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames,
                              int32_t& iterationHandle, int32_t countObjectsToSearch,
                              int32_t& countObjectsSearched, TDSBuffer& result) override {
        ++Searches;
        return TWorkstationClient::NWDSExtSyncSearch(
            context, baseObjectName, scope, searchAliases, filterBuffer, timeStamp, infoType, allAttrs,
            attrNames, iterationHandle, countObjectsToSearch, countObjectsSearched, result);
    }
    void Reset() { Reads = Information = Listings = Rights = Searches = 0; }
    int64_t Total() const { return Reads + Information + Listings + Rights + Searches; }

    int64_t Reads = 0, Information = 0, Listings = 0, Rights = 0, Searches = 0;

private:
    bool stable_;
};

} // namespace era::bench
