// The service's browser callback: state changes become host state codes,
// completed servers become filled ServerData records.
#include "service/VelnarLanJoin.h"

#include "browser/ServerBrowser.h"
#include "protocol/Wire.h"

#include <cstdio>
#include <cstring>

namespace brenn::matchmaking::velnar {

namespace {

constexpr char Missing[] = "(NONE)";

// Writes the server's values into the record through the key map: each
// entry's value, or "(NONE)", and one value per player for the entries of
// the section "players". A record refreshed after players left lists only
// those still there.
void fillRecord(ServerData* record, const KeyMap& keyMap, brenn::BrowserServer* server) {
    std::int32_t players = server::intValue(server, "numplayers", 0);
    if (players > VelnarLanJoin::MaxPlayers) players = VelnarLanJoin::MaxPlayers;
    if (players < 0) players = 0;
    bool playersMapped = false;
    for (const KeyMapEntry& entry : keyMap.entries()) {
        const std::string serverKey = keyMap.lookup(entry.key);
        if (entry.section == "players") {
            playersMapped = true;
            for (std::int32_t i = 0; i < players; ++i) {
                record->setPlayerValue(entry.section.c_str(), i, entry.key.c_str(),
                                       server::playerStringValue(server, i, serverKey.c_str(), Missing));
            }
        } else {
            record->setValue(entry.section.c_str(), entry.key.c_str(),
                             server::stringValue(server, serverKey.c_str(), Missing));
        }
    }
    if (playersMapped) record->removePlayersFrom("players", players);
}

}  // namespace

void VelnarLanJoin::onBrowserEvent(brenn::ServerBrowser* browser, std::int32_t event, void* instance,
                                   void* param1, std::int32_t param2) {
    auto* service = static_cast<VelnarLanJoin*>(instance);
    if (event == brenn::ServerUpdated) {
        service->onServerUpdated(param1, static_cast<std::uint32_t>(param2));
        return;
    }
    if (event == brenn::ServerGone) {
        service->onServerGone(param1, param2 != 0);
        return;
    }
    if (event == brenn::SweepComplete) {
        if (browser::broadcastsSent(browser) == 0) service->updateProblem = UpdateNoBroadcast;
        service->serverStateChanged(HostStateLive);
        return;
    }
    if (event != brenn::StateChanged) return;
    switch (browser::state(browser)) {
        case brenn::Idle:
            // Cleared first, so that a state hook asking isUpdating sees false.
            service->updating = false;
            service->serverStateChanged(HostStateIdle);
            break;
        case brenn::Querying:
            if (browser::broadcastsSent(browser) == 0) service->updateProblem = UpdateNoBroadcast;
            service->serverStateChanged(HostStateQuerying);
            break;
        default:
            break;
    }
}

void VelnarLanJoin::onServerUpdated(void* browserServer, std::uint32_t progress) {
    auto* server = static_cast<brenn::BrowserServer*>(browserServer);
    if (std::strcmp(server::stringValue(server, "gamename", wire::GameName), wire::GameName) != 0) return;

    // The address text lies in the platform's conversion buffer: copy it now.
    const std::string address = server::address(server);
    const std::uint32_t port = server::queryPort(server);
    ServerData* record = joinMatchmaking->findServerData(address, port);
    const bool isNew = record == nullptr;
    if (isNew) {
        // The id is taken only when a record is made.
        record = joinMatchmaking->createServerData(getServiceId(), nextServerId + 1, address, port, server);
        if (record == nullptr) return;
        getNextServerId();
    }
    // The browser's record of it now (the one it was made from may have
    // gone with a cleared list).
    record->browserServer = server;

    if (keyMap != nullptr) fillRecord(record, *keyMap, server);

    char ping[16];
    std::snprintf(ping, sizeof ping, "%d", static_cast<int>(server::ping(server)));
    record->setValue("info", "ping", ping);
    newServerData(record, progress, isNew);
}

void VelnarLanJoin::onServerGone(void* browserServer, bool listed) {
    auto* server = static_cast<brenn::BrowserServer*>(browserServer);
    ServerData* record = joinMatchmaking->findServerData(server::address(server), server::queryPort(server));
    if (record == nullptr) return;
    // The browser frees its record once this returns.
    if (record->browserServer == server) record->browserServer = nullptr;
    if (listed && goneHook != nullptr) goneHook(record, goneContext);
}

}  // namespace brenn::matchmaking::velnar
