// JoinMatchmaking: finding and creating records, calling the host's hooks.
#include "host/JoinMatchmaking.h"

#include "host/ServerData.h"

#include <new>

namespace brenn::matchmaking {

JoinMatchmaking::~JoinMatchmaking() { disposeServerData(); }

ServerData* JoinMatchmaking::findServerData(const std::string& address, std::uint32_t port) {
    for (ServerData* record = serverDataHead; record != nullptr; record = record->next) {
        if (record->address == address && record->port == port) return record;
    }
    return nullptr;
}

ServerData* JoinMatchmaking::createServerData(const std::string& serviceId,
                                              std::uint32_t serverId,
                                              const std::string& address, std::uint32_t port,
                                              brenn::BrowserServer* browserServer) {
    // The constructor links the record only once its texts are copied, so a
    // failure there leaves the list as it was.
    try {
        return new (std::nothrow)
            ServerData(this, serviceId, serverId, address, port, browserServer);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
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
    // Each record unlinks itself as it is deleted.
    while (serverDataHead != nullptr) delete serverDataHead;
}

}  // namespace brenn::matchmaking
