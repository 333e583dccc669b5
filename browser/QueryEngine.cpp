// The query engine: one step of the Querying state.
#include "browser/QueryEngine.h"

#include "browser/LanDiscovery.h"
#include "browser/ServerBrowser.h"

#include <cstring>

namespace brenn::browser {

namespace {


struct QueryText {
    const char* text;
    std::int32_t length;
};

constexpr QueryText QueryTexts[] = {
    {"\\basic\\", 7}, {"\\info\\", 6}, {"\\rules\\", 7}, {"\\players\\", 9}, {"\\info\\\\rules\\", 13},
    {"\\status\\", 8},
};

std::int32_t progress(const ServerBrowser* browser) {
    const std::int32_t count = serverCount(browser);
    return count == 0 ? 100 : static_cast<std::int32_t>(static_cast<std::int64_t>(browser->nextIndex) * 100 / count);
}

// Reads one datagram of a busy slot whose socket is readable.
void receiveReply(ServerBrowser* browser, QuerySlot& slot) {
    char buffer[server::MaxDatagram + 1];
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    const int length = platform::receiveFrom(slot.socket, buffer, server::MaxDatagram, &address, &port);
    // Only the queried address and port may answer; anything else (or a
    // failure that names no sender) leaves the slot to its time-out.
    if (address != slot.target.address || port != slot.target.port) return;
    if (length < 0) {
        slot.server = nullptr;
        return;
    }
    buffer[length] = '\0';
    const bool final = server::holdsFinal(buffer);
    BrowserServer* server = slot.server;
    if (server->ping == server::UnmeasuredPing) {
        // Held below the 16-bit limit so that a host that stalled for half
        // a minute does not read a negative ping.
        const std::uint32_t elapsed = platform::tickCount() - slot.startTick;
        server->ping = static_cast<std::int16_t>(elapsed > 32767u ? 32767u : elapsed);
    }
    server::parseReply(server, buffer);
    if (final) {
        if (browser->callback != nullptr)
            browser->callback(browser, ServerUpdated, browser->instance, server, progress(browser));
        slot.server = nullptr;
    }
}

void dispatch(ServerBrowser* browser, QuerySlot& slot) {
    BrowserServer* server = serverAt(browser, browser->nextIndex);
    browser->nextIndex += 1;
    slot.server = server;
    std::memset(&slot.target, 0, sizeof slot.target);
    slot.target.family = 2;
    slot.target.address = platform::addressFromText(server::address(server));
    slot.target.port = platform::hostToNet16(server::queryPort(server));
    std::int32_t length = 0;
    const char* text = queryText(server->queryType, &length);
    if (text != nullptr)
        platform::sendTo(slot.socket, text, length, slot.target.address, slot.target.port);
    slot.startTick = platform::tickCount();
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
    // Collect: the busy slots, and the first 64 of them to poll.
    platform::Socket readSet[platform::MaxPollSockets];
    std::int32_t readSlot[platform::MaxPollSockets];
    int polled = 0;
    std::int32_t busyAtStart = 0;
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        if (browser->querySlots[i].server == nullptr) continue;
        ++busyAtStart;
        if (polled < platform::MaxPollSockets) {
            readSet[polled] = browser->querySlots[i].socket;
            readSlot[polled] = i;
            ++polled;
        }
    }

    // Receive: one datagram per readable busy slot.
    if (busyAtStart > 0) {
        std::uint8_t readable[platform::MaxPollSockets];
        if (platform::pollReadable(readSet, polled, readable) > 0) {
            for (int k = 0; k < polled; ++k) {
                QuerySlot& slot = browser->querySlots[readSlot[k]];
                if (readable[k] && slot.server != nullptr) receiveReply(browser, slot);
            }
        }
    }

    // Time out: silent for more than the limit.
    const std::uint32_t now = platform::tickCount();
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        QuerySlot& slot = browser->querySlots[i];
        if (slot.server != nullptr && now - slot.startTick > ListingTimeout) slot.server = nullptr;
    }

    // End test.
    if (browser->abortRequested || (browser->nextIndex >= serverCount(browser) && busyAtStart == 0)) {
        closeQuerySockets(browser);
        setState(browser, Idle);
        return NoError;
    }

    // Dispatch.
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        if (browser->nextIndex >= serverCount(browser)) break;
        if (browser->querySlots[i].server == nullptr) dispatch(browser, browser->querySlots[i]);
    }
    return NoError;
}

}  // namespace brenn::browser
