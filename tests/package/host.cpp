// A host that knows only the installed headers, the plug-in and the
// simulated LAN's library (for hosts' tests). It runs a full update over
// the simulated LAN and
// calls each entry point the plug-in exports for hosts, so that a missing
// export fails the link and a wrong answer fails the run.
#include "platform/Platform.h"
#include "simlan/SimulatedLan.h"
#include "platform/Version.h"
#include "service/VelnarLanJoin.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace brenn::matchmaking;

int failures = 0;
int announced = 0;
int traced = 0;
unsigned lastState = 0;

void expect(bool ok, const char* what) {
    if (ok) return;
    std::printf("FAILED: %s\n", what);
    ++failures;
}

void onServer(ServerData*, std::uint32_t, bool, void*) { ++announced; }
void onState(std::uint32_t state, void*) { lastState = state; }
void onTrace(const char*, void*) { ++traced; }
int gone = 0;
void onGone(ServerData* record, void*) {
    ++gone;
    delete record;
}
std::uint32_t frozenTick() { return 42; }

void runUpdate(velnar::VelnarLanJoin& service, brenn::platform::SimulatedLan& lan) {
    for (int step = 0; step < 10000 && service.isUpdating(); ++step) {
        service.update();
        lan.advance(1);
    }
}

// A host's own service on the plug-in's interfaces: their constructors and
// assignment operators come from the plug-in.
class HostJoin final : public IJoinService, public IHostService {
public:
    void update() override {}
    std::string getName() override { return "host"; }
    void serverListFullUpdate() override {}
    void serverListInfoUpdate(const std::string&, QueryType) override {}
    void serverListAuxUpdate(const std::string&, std::uint32_t, QueryType) override {}
    void clearServers() override {}
    void sortServers(bool, const std::string&, CompareMode) override {}
    HostResult startHosting(const std::string&, std::uint32_t) override { return HostOk; }
    void stopHosting() override {}
    bool isHosting() override { return false; }
    HostResult setServerValue(const std::string&, const std::string&, const std::string&) override { return HostOk; }
    HostResult setPlayerValue(std::int32_t, const std::string&, const std::string&) override { return HostOk; }
    HostResult removePlayer(std::int32_t) override { return HostOk; }
    HostResult setPlayerLimit(std::int32_t) override { return HostOk; }
};

void checkPlatform() {
    using namespace brenn::platform;
    expect(netToHost16(hostToNet16(0x1234)) == 0x1234 && netToHost32(hostToNet32(0x12345678u)) == 0x12345678u,
           "byte order round trip");
    const std::uint16_t net = hostToNet16(0x0102);
    expect(reinterpret_cast<const unsigned char*>(&net)[0] == 1, "network byte order is big-endian");
    expect(native().tickCount != nullptr, "native operations");
    const Operations saved = current();
    Operations frozen = saved;
    frozen.tickCount = frozenTick;
    install(frozen);
    expect(tickCount() == 42, "installed operations are current");
    install(saved);
}

}  // namespace

int main() {
    std::printf("VelnarLanJoin %s\n", VELNARLANJOIN_VERSION);
    checkPlatform();

    brenn::platform::SimulatedLan lan;
    lan.addStatusServer("10.0.0.7", 22000, {"\\hostname\\Alpha\\gamename\\ridgeline\\final\\"});
    JoinMatchmaking matchmaking;
    matchmaking.newServerDataHook = onServer;
    matchmaking.stateChangedHook = onState;
    std::unique_ptr<velnar::VelnarLanJoin> service(CreateJoinClass("package", &matchmaking));
    if (!service) return 1;
    // The key map is missing on purpose: the plug-in says so once and goes on.
    expect(lan.messages().size() == 1 && service->getKeyMap() && service->getKeyMap()->entries().empty(),
           "a missing key map is reported once and leaves the map empty");
    expect(service->getName() == "package" && std::strcmp(service->getServiceId(), "package") == 0, "name");
    expect(service->getJoinMatchmaking() == &matchmaking && service->browserReady(), "service made");
    expect(service->getNextServerId() == 1 && service->getNextServerId() == 2, "server ids count up");

    service->setTraceHook(onTrace, nullptr);
    service->serverListFullUpdate();
    runUpdate(*service, lan);
    expect(announced == 1 && lastState == HostStateIdle && matchmaking.serverDataCount == 1, "full update");
    expect(service->getUpdateProblem() == UpdateFine && traced > 0, "a traced update without problems");
    service->sortServers(true, "hostname", CompareCaseInsensitive);
    service->serverListAuxUpdate("", 0, QueryStatus);
    runUpdate(*service, lan);
    service->serverListInfoUpdate("", QueryStatus);
    runUpdate(*service, lan);
    expect(announced == 4 && matchmaking.serverDataCount == 1, "sort, aux and info updates");

    ServerData* record = matchmaking.findServerData("10.0.0.7", 22000);
    expect(record != nullptr, "the record is found by address and port");
    if (record) {
        record->setValue("info", "hostname", "Beta");
        record->setPlayerValue("players", 0, "player", "Ada");
        record->removePlayersFrom("players", 0);
        expect(record->playersSection.count == 0, "players removed");
        service->newServerData(record, 100, false);
    }
    matchmaking.reannounceServer("10.0.0.7", 22000);
    service->serverStateChanged(HostStateQuerying);
    expect(announced == 6 && lastState == HostStateQuerying, "hooks through the service and the host model");
    matchmaking.notifyNewServerData(matchmaking.createServerData("host", 9, "10.0.0.8", 1, nullptr), 0, true);
    matchmaking.notifyStateChanged(HostStateIdle);
    expect(announced == 7 && matchmaking.serverDataCount == 2, "records the host makes");
    matchmaking.disposeServerData();
    service->clearServers();
    service->setUpdating(true);
    service->setUpdating(false);
    expect(matchmaking.serverDataCount == 0 && !service->isUpdating(), "records disposed");

    const KeyMap map("no/such/key-map.ini");
    const KeyMapEntry entry("info", "hostname", "hostname");
    expect(map.lookup("hostname") == "hostname" && map.fileName() == "no/such/key-map.ini" &&
               entry.serverKey == "hostname",
           "key map");
    // A game hosted with the plug-in on the same simulated LAN is found.
    lan.setBindAddress("10.0.0.9");
    std::unique_ptr<velnar::VelnarLanHost> hosted(CreateHostClass("Hosted"));
    if (hosted) hosted->setAnnouncing(true);
    expect(hosted && hosted->isAnnouncing() && hosted->setServerValue("info", "mapname", "cirque") == HostOk &&
               hosted->startHosting("Hosted", 0) == HostOk && hosted->getPort() == 22000,
           "a hosted game");
    service->serverListFullUpdate();
    for (int step = 0; step < 10000 && service->isUpdating(); ++step) {
        service->update();
        hosted->update();
        lan.advance(1);
    }
    expect(matchmaking.findServerData("10.0.0.9", 22000) != nullptr, "the hosted game is listed");
    // A live list: the hosted game stops, says goodbye, and is gone.
    ServerLimits limits;
    limits.perAddress = 11;
    expect(service->setServerLimits(limits) && service->getServerLimits().perAddress == 11, "bounds");
    service->setServerGoneHook(onGone, nullptr);
    service->serverListLiveUpdate();
    for (int step = 0; step < 4000 && lastState != HostStateLive; ++step) {
        service->update();
        hosted->update();
        lan.advance(1);
    }
    expect(service->isLive() && lastState == HostStateLive, "a live list's first sweep");
    hosted->stopHosting();
    for (int step = 0; step < 50 && gone == 0; ++step) {
        service->update();
        lan.advance(1);
    }
    service->closeList();
    expect(gone == 1 && !service->isLive() && lastState == HostStateIdle, "gone with its goodbye, list closed");
    HostJoin host;
    HostJoin copy(host);
    copy = host;
    expect(copy.getName() == "host", "a host's own service");

    std::printf("%d announcements, last state %u, %d failures\n", announced, lastState, failures);
    return failures == 0 ? 0 : 1;
}
