// ServerBrowser: creation, destruction, the step dispatch and the server list.
#include "browser/BrowserCore.h"

#include "browser/BrowserServer.h"
#include "browser/QueryEngine.h"
#include "containers/Allocation.h"

#include <cstring>

namespace brenn::browser {

namespace {

constexpr std::int32_t ServerListGrowth = 64;

void copyName(char (&buffer)[32], const char* text) {
    std::strncpy(buffer, text == nullptr ? "" : text, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
}

// The first server with this address and port, by walking the list.
std::int32_t walkServers(const ServerBrowser* browser, std::uint32_t address, std::uint16_t port) {
    const std::int32_t count = serverCount(browser);
    for (std::int32_t i = 0; i < count; ++i) {
        const BrowserServer* candidate = serverAt(browser, i);
        if (candidate->queryPort == port && candidate->ip == address) return i;
    }
    return -1;
}

DynArray* createServerList() {
    return dynarray::create(sizeof(BrowserServer*), ServerListGrowth, server::freeServer);
}

}  // namespace

ServerBrowser* create(const char* primaryName, const char* secondaryName, const char* secretKey,
                      std::int32_t slotCount, BrowserCallback callback, std::int32_t /*callbackKind*/,
                      void* instance) {
    if (slotCount < 1) slotCount = 1;
    auto* browser = static_cast<ServerBrowser*>(allocation::allocate(sizeof(ServerBrowser)));
    if (browser == nullptr) return nullptr;
    std::memset(browser, 0, sizeof *browser);
    browser->state = Idle;
    browser->servers = createServerList();
    browser->stringPool = stringpool::create();
    browser->querySlots = static_cast<QuerySlot*>(
        allocation::allocate(static_cast<std::size_t>(slotCount) * sizeof(QuerySlot)));
    if (browser->servers == nullptr || browser->stringPool == nullptr || browser->querySlots == nullptr ||
        limits::reserve(&browser->limits, limits::ReservedAddresses) != 0) {
        dynarray::destroy(browser->servers);
        stringpool::destroy(browser->stringPool);
        limits::releaseTable(&browser->limits);
        allocation::release(browser->querySlots);
        allocation::release(browser);
        return nullptr;
    }
    browser->slotCount = slotCount;
    std::memset(browser->querySlots, 0, static_cast<std::size_t>(slotCount) * sizeof(QuerySlot));
    for (std::int32_t i = 0; i < slotCount; ++i) browser->querySlots[i].socket = platform::InvalidSocket;
    copyName(browser->primaryName, primaryName);
    copyName(browser->secretKey, secretKey);
    copyName(browser->secondaryName, secondaryName);
    browser->callback = callback;
    browser->instance = instance;
    browser->sortKey = "";
    browser->broadcastSocket = platform::InvalidSocket;
    browser->live.announceSocket = platform::InvalidSocket;
    browser->discovery.receiveBuffer = -1;
    browser->limits.perAddress = limits::DefaultPerAddress;
    browser->limits.total = limits::DefaultTotal;
    browser->receiveBufferRequest = DiscoveryReceiveBuffer;
    platform::startSockets();
    return browser;
}

void destroy(ServerBrowser* browser) {
    if (browser == nullptr) return;
    if (browser->state != Idle) {
        // A pass still running holds sockets; a long-lived game must not
        // leak them.
        platform::closeSocket(browser->broadcastSocket);
        platform::closeSocket(browser->live.announceSocket);
        closeQuerySockets(browser);
        releaseSlots(browser);
    }
    dynarray::destroy(browser->servers);
    stringpool::destroy(browser->stringPool);
    serverindex::release(&browser->serverIndex);
    limits::releaseTable(&browser->limits);
    allocation::release(browser->querySlots);
    allocation::release(browser);
    platform::endSockets();
}

std::int32_t think(ServerBrowser* browser) {
    if (browser == nullptr) return NoBrowser;
    switch (browser->state) {
        case ListingLan: discoveryStep(browser); break;
        case Querying: queryStep(browser); break;
        case Live: liveStep(browser); break;
        default: break;
    }
    return NoError;
}

std::int32_t halt(ServerBrowser* browser) {
    if (browser != nullptr && browser->state != Idle) browser->abortRequested = 1;
    return 0;
}

std::int32_t clear(ServerBrowser* browser) {
    if (browser->state != Idle) return Busy;
    DynArray* servers = createServerList();
    StringPool* pool = stringpool::create();
    if (servers == nullptr || pool == nullptr) {
        dynarray::destroy(servers);
        stringpool::destroy(pool);
        return NoMemory;
    }
    // The servers go first: their key tables refer to the pool's texts.
    dynarray::destroy(browser->servers);
    browser->servers = servers;
    serverindex::clear(&browser->serverIndex);
    limits::forget(&browser->limits);
    stringpool::destroy(browser->stringPool);
    browser->stringPool = pool;
    return NoError;
}

std::int32_t setLimits(ServerBrowser* browser, std::int32_t perAddress, std::int32_t total) {
    if (perAddress < 1 || total < 1) return OutOfRange;
    browser->limits.perAddress = perAddress;
    browser->limits.total = total;
    return NoError;
}

std::int32_t state(const ServerBrowser* browser) { return browser->state; }

std::int32_t serverCount(const ServerBrowser* browser) { return dynarray::length(browser->servers); }

BrowserServer* serverAt(const ServerBrowser* browser, std::int32_t index) {
    if (index < 0 || index >= serverCount(browser)) return nullptr;
    return *static_cast<BrowserServer**>(dynarray::elementAt(browser->servers, index));
}

void setState(ServerBrowser* browser, std::int32_t newState) {
    browser->state = newState;
    if (browser->callback != nullptr)
        browser->callback(browser, StateChanged, browser->instance, nullptr, 0);
}

BrowserServer* addServer(ServerBrowser* browser, std::uint32_t address, std::uint16_t port,
                         std::int32_t queryType) {
    if (browser == nullptr) return nullptr;
    BrowserServer* added = server::create(address, port, queryType, browser->stringPool);
    if (added == nullptr) return nullptr;
    if (dynarray::append(browser->servers, &added) != 0) {
        server::freeServer(&added);
        return nullptr;
    }
    // The server is in the list whatever happens to the index: an index
    // that cannot grow goes stale and findServer walks the list instead.
    const std::int32_t position = serverCount(browser) - 1;
    if (serverindex::usable(&browser->serverIndex, position))
        serverindex::add(&browser->serverIndex, address, port, position);
    else
        serverindex::rebuild(&browser->serverIndex, browser->servers);
    return added;
}

std::int32_t findServer(const ServerBrowser* browser, std::uint32_t address, std::uint16_t port) {
    if (!serverindex::usable(&browser->serverIndex, serverCount(browser))) return walkServers(browser, address, port);
    const std::int32_t position = serverindex::find(&browser->serverIndex, address, port);
    if (position == -1) return -1;
    const BrowserServer* found = serverAt(browser, position);
    if (found->ip == address && found->queryPort == port) return position;
    return walkServers(browser, address, port);
}

void setReceiveBufferRequest(ServerBrowser* browser, std::int32_t bytes) {
    browser->receiveBufferRequest = bytes > 0 ? bytes : 0;
}

}  // namespace brenn::browser
