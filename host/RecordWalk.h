// RecordWalk: filling records the way it was done before the indexes, with
// every lookup walking the list or the section. Benchmarks and tests compare
// the two through it; it is not part of the plug-in's interface.
#pragma once

#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking {

struct RecordWalk {
    // As JoinMatchmaking::findServerData, walking host's list from the head.
    static ServerData* findServerData(const JoinMatchmaking& host, const std::string& address, std::uint32_t port);

    // As JoinMatchmaking::createServerData, leaving host without its record
    // index (the next findServerData or createServerData makes it again).
    static ServerData* createServerData(JoinMatchmaking& host, const std::string& serviceId, std::uint32_t serverId,
                                        const std::string& address, std::uint32_t port,
                                        brenn::BrowserServer* browserServer);

    // As ServerData::setValue and setPlayerValue, walking the section. An
    // index the section has already is still kept right.
    static void setValue(ServerData& record, const char* section, const char* key, const char* value);
    static void setPlayerValue(ServerData& record, const char* section, std::int32_t index, const char* key,
                               const char* value);
};

}  // namespace brenn::matchmaking
