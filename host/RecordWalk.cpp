// RecordWalk: the walking lookups, reached through the classes' own.
#include "host/RecordWalk.h"

#include <cstdio>

namespace brenn::matchmaking {

ServerData* RecordWalk::findServerData(const JoinMatchmaking& host, const std::string& address,
                                       std::uint32_t port) {
    return host.walk(address, port);
}

ServerData* RecordWalk::createServerData(JoinMatchmaking& host, const std::string& serviceId,
                                         std::uint32_t serverId, const std::string& address,
                                         std::uint32_t port, brenn::BrowserServer* browserServer) {
    return host.create(serviceId, serverId, address, port, browserServer, false);
}

void RecordWalk::setValue(ServerData& record, const char* section, const char* key, const char* value) {
    record.set(section, nullptr, key, value, false);
}

void RecordWalk::setPlayerValue(ServerData& record, const char* section, std::int32_t index, const char* key,
                                const char* value) {
    char indexText[12];
    std::snprintf(indexText, sizeof indexText, "%i", static_cast<int>(index));
    record.set(section, indexText, key, value, false);
}

}  // namespace brenn::matchmaking
