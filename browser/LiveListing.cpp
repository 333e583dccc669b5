// Live listing: opening and closing the list, its step, its broadcast
// rounds and the end of its first sweep.
#include "browser/LiveListing.h"

#include "browser/Announcements.h"
#include "browser/BrowserCore.h"
#include "browser/PoolRenewal.h"
#include "browser/BrowserServer.h"
#include "browser/LiveSchedule.h"
#include "browser/QueryEngine.h"
#include "browser/Trace.h"

#include <cstring>

namespace brenn::browser {

namespace {

// Every server listed before the list opened is asked at once; those
// reported before are reported again when they answer.
void adoptServers(ServerBrowser* browser, std::uint32_t now) {
    LiveListing& live = browser->live;
    for (std::int32_t i = 0; i < serverCount(browser); ++i) {
        ServerLiveness& liveness = serverAt(browser, i)->liveness;
        liveness.slot = 0;
        liveness.dueTick = now;
        liveness.heardTick = now;
        liveness.answeredTick = now - HintAge - 1;
        liveness.failedEpisodes = 0;
        liveness.fingerprint = 0;
        live.listed += liveness.listed;
    }
}

// The sweep's rounds go out as a pass's; later rounds begin at growing
// gaps, each to the interfaces up at its start.
void broadcastStep(ServerBrowser* browser, std::uint32_t now) {
    LiveListing& live = browser->live;
    if (!roundsOver(browser)) {
        sendBroadcast(browser);
        return;
    }
    if (!reached(now, live.nextRoundTick)) return;
    live.laterRounds += 1;
    live.nextRoundTick = now + roundGap(live.laterRounds + 1);
    trace(browser, "live round %d; the next in %u ms", static_cast<int>(live.laterRounds),
          static_cast<unsigned>(roundGap(live.laterRounds + 1)));
    startRound(browser);
}

// The first sweep is complete once its broadcast window is over and every
// server found has been reported or given up.
void sweepStep(ServerBrowser* browser, std::uint32_t now) {
    LiveListing& live = browser->live;
    if (live.sweepDone) return;
    if (!live.windowOver) {
        const bool nothingSent = roundsOver(browser) && browser->discovery.sent == 0;
        if (!nothingSent && now - live.openTick <= ListingTimeout) return;
        if (nothingSent) trace(browser, "no broadcast could be sent: no server can answer");
        live.windowOver = 1;
    }
    if (serverCount(browser) != live.listed) return;
    live.sweepDone = 1;
    trace(browser, "first sweep complete: %d servers in %u ms; receive buffer %d bytes",
          static_cast<int>(live.listed), static_cast<unsigned>(now - live.openTick),
          static_cast<int>(browser->discovery.receiveBuffer));
    if (browser->limits.refused > 0)
        trace(browser, "%d answers ignored over the bounds of %d servers per address and %d in all",
              static_cast<int>(browser->limits.refused), static_cast<int>(browser->limits.perAddress),
              static_cast<int>(browser->limits.total));
    if (browser->callback != nullptr) browser->callback(browser, SweepComplete, browser->instance, nullptr, 0);
}

// Every idle slot gets a server that is due: one never reported at once,
// a listed one once its dueTick has come. The search goes round the list
// from where the last one stopped, so that every server gets its turn.
void dispatchStep(ServerBrowser* browser, std::uint32_t now) {
    LiveListing& live = browser->live;
    const std::int32_t count = serverCount(browser);
    std::int32_t slot = 0;
    for (std::int32_t seen = 0; seen < count; ++seen) {
        while (slot < browser->slotCount && browser->querySlots[slot].server != nullptr) ++slot;
        if (slot == browser->slotCount) return;
        if (live.cursor >= count) live.cursor = 0;
        BrowserServer* server = serverAt(browser, live.cursor++);
        ServerLiveness& liveness = server->liveness;
        if (liveness.slot != 0 || (liveness.listed && !reached(now, liveness.dueTick))) continue;
        QuerySlot& chosen = browser->querySlots[slot];
        chosen.scratch = server::create(server->ip, server->queryPort, server->queryType, server->pool);
        if (chosen.scratch == nullptr) return;  // no storage: the server waits for the next step
        liveness.slot = slot + 1;
        startQuery(chosen, server, liveness.listed ? RefreshTimeout : QueryTimeout);
    }
}

}  // namespace

std::int32_t liveUpdate(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort, std::int32_t step) {
    const std::int32_t result = beginBroadcasting(browser, firstPort, lastPort, step, MaxRounds);
    if (result != NoError) return result;
    LiveListing& live = browser->live;
    std::memset(&live, 0, sizeof live);
    live.openTick = browser->listStartTick;
    live.nextRoundTick = live.openTick + RoundStart[MaxRounds - 1] + roundGap(1);
    live.announceSocket = platform::InvalidSocket;
    live.poolCheckTick = live.openTick + PoolCheckInterval;
    adoptServers(browser, live.openTick);
    listenForAnnouncements(browser);
    browser->abortRequested = 0;
    setState(browser, Live);
    return NoError;
}

void liveStep(ServerBrowser* browser) {
    if (browser->abortRequested) {
        closeList(browser);
        return;
    }
    const std::uint32_t now = platform::tickCount();
    broadcastStep(browser, now);
    collectAnswers(browser, live::heard);
    collectAnnouncements(browser);
    if (browser->state != Live) return;
    if (reached(now, browser->live.poolCheckTick)) {
        browser->live.poolCheckTick = now + PoolCheckInterval;
        renewPoolIfGrown(browser);
    }
    receivePhase(browser);
    if (browser->state != Live) return;
    timePhase(browser);
    if (browser->state != Live) return;
    dispatchStep(browser, now);
    sweepStep(browser, now);
}

void releaseSlots(ServerBrowser* browser) {
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        QuerySlot& slot = browser->querySlots[i];
        if (slot.server != nullptr) slot.server->liveness.slot = 0;
        slot.server = nullptr;
        if (slot.scratch != nullptr) server::freeServer(&slot.scratch);
        slot.scratch = nullptr;
    }
}

std::int32_t closeList(ServerBrowser* browser) {
    if (browser->state == Idle) return NoError;
    platform::closeSocket(browser->broadcastSocket);
    browser->broadcastSocket = platform::InvalidSocket;
    platform::closeSocket(browser->live.announceSocket);
    browser->live.announceSocket = platform::InvalidSocket;
    closeQuerySockets(browser);
    releaseSlots(browser);
    trace(browser, "list closed: %d servers listed", static_cast<int>(serverCount(browser)));
    setState(browser, Idle);
    return NoError;
}

}  // namespace brenn::browser
