// Live listing: what becomes of a server when its episode is answered or
// given up, when it answers a broadcast, and when it leaves the list.
#include "browser/LiveListing.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/LiveSchedule.h"
#include "browser/QueryEngine.h"
#include "browser/Trace.h"

#include <cstring>

namespace brenn::browser {

namespace {

std::int32_t progress(const ServerBrowser* browser) {
    const std::int32_t count = serverCount(browser);
    if (browser->live.sweepDone || count == 0) return 100;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(browser->live.listed) * 100 / count);
}

// Empties the slot, freeing its scratch record.
void vacate(QuerySlot& slot) {
    if (slot.server != nullptr) slot.server->liveness.slot = 0;
    slot.server = nullptr;
    if (slot.scratch != nullptr) server::freeServer(&slot.scratch);
    slot.scratch = nullptr;
}

void markHeard(BrowserServer* server, std::uint32_t now) {
    ServerLiveness& liveness = server->liveness;
    liveness.heardTick = now;
    liveness.answeredTick = now;
    liveness.failedEpisodes = 0;
    liveness.dueTick = now + RefreshAfter;
}

}  // namespace

namespace live {

void answered(ServerBrowser* browser, QuerySlot& slot) {
    BrowserServer* server = slot.server;
    server::takePairs(server, slot.scratch);
    server->ping = slot.scratch->ping;
    vacate(slot);
    markHeard(server, platform::tickCount());
    ServerLiveness& liveness = server->liveness;
    if (!liveness.listed) {
        liveness.listed = 1;
        browser->live.listed += 1;
    }
    // A reply that changes nothing is not reported again.
    const std::uint32_t print = server::fingerprint(server);
    if (print == liveness.fingerprint) return;
    liveness.fingerprint = print;
    if (browser->callback != nullptr)
        browser->callback(browser, ServerUpdated, browser->instance, server, progress(browser));
}

void givenUp(ServerBrowser* browser, QuerySlot& slot) {
    BrowserServer* server = slot.server;
    const std::uint32_t episodeEnd = slot.startTick + RefreshTimeout;
    vacate(slot);
    ServerLiveness& liveness = server->liveness;
    if (liveness.listed) {
        liveness.failedEpisodes += 1;
        if (liveness.failedEpisodes < GoneAfterEpisodes) {
            // The next episode begins when this one would have ended (at
            // once after a time-out; later after a refusal).
            liveness.dueTick = episodeEnd;
            return;
        }
        trace(browser, "%s:%u: gone: no reply to %d episodes in %u ms", server::address(server),
              static_cast<unsigned>(server::queryPort(server)), static_cast<int>(liveness.failedEpisodes),
              static_cast<unsigned>(platform::tickCount() - liveness.heardTick));
    } else {
        trace(browser, "%s:%u: never answered its query, dropped until it answers again", server::address(server),
              static_cast<unsigned>(server::queryPort(server)));
    }
    removeServer(browser, server);
}

void heard(ServerBrowser*, BrowserServer* server) {
    // The server is there; its values are asked for as planned all the same.
    ServerLiveness& liveness = server->liveness;
    if (!liveness.listed) return;
    liveness.heardTick = platform::tickCount();
    liveness.failedEpisodes = 0;
}

void removeServer(ServerBrowser* browser, BrowserServer* server) {
    const std::int32_t index = findServer(browser, server->ip, server->queryPort);
    if (index == -1 || serverAt(browser, index) != server) return;
    if (server->liveness.slot != 0) vacate(browser->querySlots[server->liveness.slot - 1]);
    // Out of the list first, so that the callback sees a list without it.
    BrowserServer* none = nullptr;
    std::memcpy(dynarray::elementAt(browser->servers, index), &none, sizeof none);
    dynarray::removeAt(browser->servers, index);
    serverindex::rebuild(&browser->serverIndex, browser->servers);
    LiveListing& live = browser->live;
    if (live.cursor > index) live.cursor -= 1;
    const std::int32_t listed = server->liveness.listed;
    live.listed -= listed;
    limits::release(&browser->limits, server->ip);
    if (browser->callback != nullptr) browser->callback(browser, ServerGone, browser->instance, server, listed);
    server::freeServer(&server);
}

}  // namespace live

}  // namespace brenn::browser
