// The query engine: one step of the Querying state.
#include "browser/QueryEngine.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/LiveListing.h"
#include "browser/ReplyParser.h"
#include "browser/Trace.h"
#include "protocol/Wire.h"

#include <cstring>

namespace brenn::browser {

namespace {

struct QueryText {
    const char* text;
    std::int32_t length;
};

constexpr QueryText QueryTexts[] = {
    {"\\basic\\", 7}, {"\\info\\", 6}, {"\\rules\\", 7}, {"\\players\\", 9}, {"\\info\\\\rules\\", 13},
    {wire::StatusQuery, static_cast<std::int32_t>(wire::StatusQueryLength)},
};

std::int32_t progress(const ServerBrowser* browser) {
    const std::int32_t count = serverCount(browser);
    return count == 0 ? 100 : static_cast<std::int32_t>(static_cast<std::int64_t>(browser->nextIndex) * 100 / count);
}

std::uint64_t partBit(std::int32_t part) { return std::uint64_t{1} << (part - 1); }

// True when every part up to the final one has come.
bool allParts(const QuerySlot& slot) {
    if (slot.finalPart == 0) return false;
    const std::uint64_t wanted = slot.finalPart == 64 ? ~std::uint64_t{0} : partBit(slot.finalPart + 1) - 1;
    return (slot.parts & wanted) == wanted;
}

// The later of the latest query and the last part heard (ticks compared
// as they wrap).
std::uint32_t lastNews(const QuerySlot& slot) {
    return slot.heardTick - slot.sendTick < 0x80000000u ? slot.heardTick : slot.sendTick;
}

void sendQuery(QuerySlot& slot) {
    std::int32_t length = 0;
    const char* text = queryText(slot.server->queryType, &length);
    if (text != nullptr) platform::sendTo(slot.socket, text, length, slot.target.address, slot.target.port);
    slot.sendTick = platform::tickCount();
    slot.queries += 1;
}

void complete(ServerBrowser* browser, QuerySlot& slot) {
    if (browser->state == Live) return live::answered(browser, slot);
    BrowserServer* server = slot.server;
    slot.server = nullptr;
    server->liveness.listed = 1;
    if (browser->callback != nullptr)
        browser->callback(browser, ServerUpdated, browser->instance, server, progress(browser));
}

// The query of a slot ends without a complete reply.
void giveUp(ServerBrowser* browser, QuerySlot& slot) {
    if (browser->state == Live) return live::givenUp(browser, slot);
    slot.server = nullptr;
}

// Reads one datagram of a busy slot whose socket is readable. A numbered
// reply is complete when its final part and every part before it have
// come; a part that came before changes nothing. An unnumbered reply is
// complete with the datagram that holds "\final\".
void receiveReply(ServerBrowser* browser, QuerySlot& slot) {
    char buffer[server::MaxDatagram + 1];
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    std::uint32_t arrival = 0;
    const int length = platform::receiveTimed(slot.socket, buffer, server::MaxDatagram, &address, &port, &arrival);
    if (length == platform::NothingToRead) return;
    // Only the queried address and port may answer; anything else (or a
    // failure that names no sender) leaves the slot to its time-out.
    if (address != slot.target.address || port != slot.target.port) return;
    if (length < 0) return giveUp(browser, slot);
    buffer[length] = '\0';
    const server::ReplyMarks marks = server::readMarks(buffer);
    const bool final = marks.final;
    const std::int32_t part = marks.part;
    if (part != 0 && (slot.parts & partBit(part)) != 0) {
        trace(browser, "%s:%u: part %d again, ignored", server::address(slot.server),
              static_cast<unsigned>(server::queryPort(slot.server)), static_cast<int>(part));
        return;
    }
    // A live listing's reply goes into its scratch record, a pass's
    // straight into the server.
    BrowserServer* server = slot.scratch != nullptr ? slot.scratch : slot.server;
    const std::uint32_t now = platform::tickCount();
    if (server->ping == server::UnmeasuredPing) {
        // From the latest query sent before this first datagram to its
        // arrival (not to this step, which may come a frame later); to now
        // when it arrived before the latest query was sent. Held below the
        // 16-bit limit so that a host that stalled for half a minute does
        // not read a negative ping.
        const bool beforeQuery = slot.sendTick - arrival - 1u < 0x7FFFFFFFu;
        const std::uint32_t elapsed = (beforeQuery ? now : arrival) - slot.sendTick;
        server->ping = static_cast<std::int16_t>(elapsed > 32767u ? 32767u : elapsed);
    }
    slot.heardTick = now;
    server::parseReply(server, buffer);
    if (part == 0) {
        if (final) complete(browser, slot);
        return;
    }
    slot.parts |= partBit(part);
    if (final && slot.finalPart == 0) slot.finalPart = part;
    if (allParts(slot)) complete(browser, slot);
}

}  // namespace

std::int32_t receivePhase(ServerBrowser* browser) {
    platform::Socket readSet[platform::MaxPollSockets];
    std::int32_t readSlot[platform::MaxPollSockets];
    int polled = 0;
    std::int32_t busy = 0;
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        if (browser->querySlots[i].server == nullptr) continue;
        ++busy;
        if (polled < platform::MaxPollSockets) {
            readSet[polled] = browser->querySlots[i].socket;
            readSlot[polled] = i;
            ++polled;
        }
    }
    if (busy == 0) return 0;
    std::uint8_t readable[platform::MaxPollSockets];
    if (platform::pollReadable(readSet, polled, readable) > 0) {
        for (int k = 0; k < polled; ++k) {
            QuerySlot& slot = browser->querySlots[readSlot[k]];
            if (readable[k] && slot.server != nullptr) receiveReply(browser, slot);
        }
    }
    return busy;
}

void timePhase(ServerBrowser* browser) {
    const std::uint32_t now = platform::tickCount();
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        QuerySlot& slot = browser->querySlots[i];
        if (slot.server == nullptr) continue;
        if (now - slot.startTick > slot.timeout) {
            trace(browser, "%s:%u: no complete reply within %u ms (%d queries), dropped",
                  server::address(slot.server), static_cast<unsigned>(server::queryPort(slot.server)),
                  static_cast<unsigned>(slot.timeout), static_cast<int>(slot.queries));
            giveUp(browser, slot);
            continue;
        }
        const std::uint32_t quiet = now - lastNews(slot);
        if (slot.queries >= MaxQueries || quiet <= RetryInterval) continue;
        if (slot.finalPart != 0)
            trace(browser, "%s:%u: reply of %d parts incomplete, asking again (query %d of %d)",
                  server::address(slot.server), static_cast<unsigned>(server::queryPort(slot.server)),
                  static_cast<int>(slot.finalPart), static_cast<int>(slot.queries + 1), static_cast<int>(MaxQueries));
        else
            trace(browser, "%s:%u: nothing new for %u ms, asking again (query %d of %d)",
                  server::address(slot.server), static_cast<unsigned>(server::queryPort(slot.server)),
                  static_cast<unsigned>(quiet), static_cast<int>(slot.queries + 1), static_cast<int>(MaxQueries));
        sendQuery(slot);
    }
}

void startQuery(QuerySlot& slot, BrowserServer* server, std::uint32_t timeout) {
    slot.server = server;
    std::memset(&slot.target, 0, sizeof slot.target);
    slot.target.family = 2;
    slot.target.address = platform::addressFromText(server::address(server));
    slot.target.port = platform::hostToNet16(server::queryPort(server));
    slot.queries = 0;
    slot.parts = 0;
    slot.finalPart = 0;
    slot.timeout = timeout;
    sendQuery(slot);
    slot.startTick = slot.sendTick;
    slot.heardTick = slot.sendTick;
}

namespace {

// The dispatch phase: every idle slot gets the next server not yet asked.
void dispatchPhase(ServerBrowser* browser) {
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        if (browser->nextIndex >= serverCount(browser)) break;
        if (browser->querySlots[i].server == nullptr) {
            BrowserServer* server = serverAt(browser, browser->nextIndex);
            browser->nextIndex += 1;
            startQuery(browser->querySlots[i], server, QueryTimeout);
        }
    }
}

}  // namespace

const char* queryText(std::int32_t queryType, std::int32_t* length) {
    if (queryType < 0 || queryType >= static_cast<std::int32_t>(sizeof QueryTexts / sizeof QueryTexts[0])) {
        *length = 0;
        return nullptr;
    }
    *length = QueryTexts[queryType].length;
    return QueryTexts[queryType].text;
}

std::int32_t closeQuerySockets(ServerBrowser* browser) {
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        platform::closeSocket(browser->querySlots[i].socket);
        browser->querySlots[i].socket = platform::InvalidSocket;
    }
    return 0;
}

std::int32_t queryStep(ServerBrowser* browser) {
    const std::int32_t busyAtStart = receivePhase(browser);
    // A callback may have closed the list: the pass is over then.
    if (browser->state != Querying) return NoError;
    timePhase(browser);
    if (browser->abortRequested || (browser->nextIndex >= serverCount(browser) && busyAtStart == 0)) {
        closeQuerySockets(browser);
        setState(browser, Idle);
        return NoError;
    }
    dispatchPhase(browser);
    return NoError;
}

}  // namespace brenn::browser
