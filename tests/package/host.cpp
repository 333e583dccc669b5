// A host that knows only the installed headers and the plug-in: one full
// update over the simulated LAN the plug-in ships for integration tests.
#include "platform/SimulatedLan.h"
#include "service/VelnarLanJoin.h"

#include <cstdio>
#include <memory>

namespace {

int servers = 0;
unsigned lastState = 0;

void onServer(brenn::matchmaking::ServerData*, std::uint32_t, bool, void*) { ++servers; }
void onState(std::uint32_t state, void*) { lastState = state; }

}  // namespace

int main() {
    brenn::platform::SimulatedLan lan;
    lan.addStatusServer("10.0.0.7", 22000, {"\\hostname\\Alpha\\gamename\\ridgeline\\final\\"});

    brenn::matchmaking::JoinMatchmaking matchmaking;
    matchmaking.newServerDataHook = onServer;
    matchmaking.stateChangedHook = onState;
    std::unique_ptr<brenn::matchmaking::velnar::VelnarLanJoin> service(CreateJoinClass("package", &matchmaking));
    if (!service) return 1;
    service->serverListFullUpdate();
    for (int step = 0; step < 10000 && service->isUpdating(); ++step) {
        service->update();
        lan.advance(1);
    }
    std::printf("servers %d, last state %u, records %d\n", servers, lastState, matchmaking.serverDataCount);
    return servers == 1 && lastState == 1 && matchmaking.serverDataCount == 1 ? 0 : 1;
}
