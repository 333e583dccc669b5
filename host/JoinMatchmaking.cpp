// JoinMatchmaking: finding and creating records, calling the host's hooks.
#include "host/JoinMatchmaking.h"

#include "host/RecordLookup.h"
#include "host/ServerData.h"

namespace brenn::matchmaking {

JoinMatchmaking::~JoinMatchmaking() { disposeServerData(); }

ServerData* JoinMatchmaking::findServerData(const std::string& address, std::uint32_t port) {
    return RecordLookup::find(*this, address, port);
}

ServerData* JoinMatchmaking::createServerData(const std::string& serviceId,
                                              std::uint32_t serverId,
                                              const std::string& address, std::uint32_t port,
                                              brenn::BrowserServer* browserServer) {
    return RecordLookup::create(*this, serviceId, serverId, address, port, browserServer);
}

void JoinMatchmaking::notifyNewServerData(ServerData* serverData, std::uint32_t progress,
                                          bool isNew) {
    if (newServerDataHook != nullptr) newServerDataHook(serverData, progress, isNew, hookContext);
}

void JoinMatchmaking::notifyStateChanged(std::uint32_t state) {
    if (stateChangedHook != nullptr) stateChangedHook(state, hookContext);
}

void JoinMatchmaking::reannounceServer(const std::string& address, std::uint32_t port) {
    ServerData* record = findServerData(address, port);
    if (record != nullptr && newServerDataHook != nullptr)
        newServerDataHook(record, 0, true, hookContext);
}

void JoinMatchmaking::disposeServerData() {
    // Without the index each record's unlinking costs the same, and the
    // table is given back with the records.
    RecordLookup::dropIndex(*this);
    while (serverDataHead != nullptr) delete serverDataHead;
}

}  // namespace brenn::matchmaking
