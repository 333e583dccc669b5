// VelnarLanJoin: construction, destruction, update requests and mappings.
#include "service/VelnarLanJoin.h"

#include "browser/ServerBrowser.h"
#include "protocol/Wire.h"
#include "service/HostMappings.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace brenn::matchmaking::velnar {

namespace {

constexpr char KeyMapPath[] = "\\MultiplayerServers\\VelnarKeyMap.ini";
static_assert(VelnarLanJoin::DefaultReceiveBuffer == browser::DiscoveryReceiveBuffer,
              "the documented default is the engine's");

// The game's six-letter secret key, kept out of the binary's plain text.
void buildSecretKey(char (&key)[7]) {
    const unsigned char scrambled[6] = {0x1C, 0x0B, 0x1E, 0x0F, 0x1A, 0x08};
    for (int i = 0; i < 6; ++i) key[i] = static_cast<char>(scrambled[i] ^ 0x4E);
    key[6] = '\0';
}

std::string keyMapPath() {
    char directory[platform::MaxPathLength] = {0};
    platform::currentDirectory(sizeof directory, directory);
    return std::string(directory) + KeyMapPath;
}

}  // namespace

VelnarLanJoin::VelnarLanJoin(std::string name, JoinMatchmaking* joinMatchmaking)
    : VelnarLanJoin(std::move(name), joinMatchmaking, keyMapPath()) {}

VelnarLanJoin::VelnarLanJoin(std::string name, JoinMatchmaking* joinMatchmaking, const std::string& keyMapFile)
    : serviceId(nullptr),
      joinMatchmaking(joinMatchmaking),
      keyMap(nullptr),
      updating(false),
      nextServerId(0),
      browser(nullptr),
      updateProblem(UpdateFine),
      goneHook(nullptr),
      goneContext(nullptr) {
    char secretKey[7];
    buildSecretKey(secretKey);
    browser = browser::create(joinMatchmaking->primaryName.c_str(), joinMatchmaking->secondaryName.c_str(),
                              secretKey, joinMatchmaking->maxConcurrentQueries, &VelnarLanJoin::onBrowserEvent, 1,
                              this);
    serviceId = strdup(name.c_str());
    try {
        keyMap = new KeyMap(keyMapFile);
    } catch (const std::bad_alloc&) {
        keyMap = nullptr;
    }
}

VelnarLanJoin::~VelnarLanJoin() {
    browser::destroy(browser);
    std::free(serviceId);
    delete keyMap;
}

void VelnarLanJoin::update() {
    if (updating) browser::think(browser);
}

std::string VelnarLanJoin::getName() { return getServiceId(); }

void VelnarLanJoin::serverListFullUpdate() { startUpdate(true); }

void VelnarLanJoin::serverListInfoUpdate(const std::string&, QueryType) { serverListFullUpdate(); }

void VelnarLanJoin::serverListAuxUpdate(const std::string&, std::uint32_t, QueryType) { startUpdate(false); }

void VelnarLanJoin::startUpdate(bool fresh) {
    // A request while an update runs is ignored.
    if (browser::state(browser) != brenn::Idle) return;
    updateProblem = UpdateFine;
    updating = true;
    if (fresh && browser::clear(browser) != brenn::NoError) updateProblem = UpdateKeptServers;
    if (browser::lanUpdate(browser, 1, wire::FirstPort, wire::LastPort, 1) != brenn::NoError) {
        // Nothing could be sent: the update ends here, and ends for the
        // host as every update does, so that its loop on isUpdating ends.
        updateProblem = UpdateNoSocket;
        updating = false;
        serverStateChanged(HostStateIdle);
    }
}

void VelnarLanJoin::serverListLiveUpdate() {
    if (browser::state(browser) != brenn::Idle) return;
    updateProblem = UpdateFine;
    updating = true;
    if (browser::liveUpdate(browser, wire::FirstPort, wire::LastPort, 1) != brenn::NoError) {
        updateProblem = UpdateNoSocket;
        updating = false;
        serverStateChanged(HostStateIdle);
    }
}

void VelnarLanJoin::closeList() { browser::closeList(browser); }

bool VelnarLanJoin::isLive() const { return browser::state(browser) == brenn::Live; }

void VelnarLanJoin::setServerGoneHook(ServerGoneHook hook, void* context) {
    goneHook = hook;
    goneContext = context;
}

bool VelnarLanJoin::setServerLimits(const ServerLimits& limits) {
    return browser::setLimits(browser, limits.perAddress, limits.total) == brenn::NoError;
}

ServerLimits VelnarLanJoin::getServerLimits() const {
    ServerLimits limits;
    limits.perAddress = browser->limits.perAddress;
    limits.total = browser->limits.total;
    return limits;
}

void VelnarLanJoin::clearServers() { browser::clear(browser); }

void VelnarLanJoin::newServerData(ServerData* serverData, std::uint32_t progress, bool isNew) {
    joinMatchmaking->notifyNewServerData(serverData, progress, isNew);
}

void VelnarLanJoin::serverStateChanged(std::uint32_t state) { joinMatchmaking->notifyStateChanged(state); }

JoinMatchmaking* VelnarLanJoin::getJoinMatchmaking() { return joinMatchmaking; }

KeyMap* VelnarLanJoin::getKeyMap() { return keyMap; }

void VelnarLanJoin::setUpdating(bool value) { updating = value; }

bool VelnarLanJoin::isUpdating() { return updating; }

std::uint32_t VelnarLanJoin::getNextServerId() { return ++nextServerId; }

const char* VelnarLanJoin::getServiceId() { return serviceId != nullptr ? serviceId : ""; }

bool VelnarLanJoin::browserReady() const { return browser != nullptr; }

UpdateProblem VelnarLanJoin::getUpdateProblem() const { return updateProblem; }

void VelnarLanJoin::setTraceHook(TraceHook hook, void* context) { browser::setTrace(browser, hook, context); }

void VelnarLanJoin::setReceiveBufferRequest(std::int32_t bytes) { browser::setReceiveBufferRequest(browser, bytes); }

std::int32_t VelnarLanJoin::getReceiveBufferRequest() const { return browser->receiveBufferRequest; }

std::int32_t VelnarLanJoin::getVelnarQueryType(QueryType queryType) { return engineQueryType(queryType); }

std::int32_t VelnarLanJoin::getVelnarCompareMode(CompareMode mode) { return engineCompareMode(mode); }

}  // namespace brenn::matchmaking::velnar

extern "C" brenn::matchmaking::velnar::VelnarLanJoin* CreateJoinClass(
    std::string name, brenn::matchmaking::JoinMatchmaking* joinMatchmaking) {
    using brenn::matchmaking::velnar::VelnarLanJoin;
    if (joinMatchmaking == nullptr) return nullptr;
    try {
        auto* service = new VelnarLanJoin(std::move(name), joinMatchmaking);
        if (!service->browserReady()) {
            delete service;
            return nullptr;
        }
        return service;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
