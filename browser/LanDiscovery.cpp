// LAN discovery: starting a pass and collecting the answers to the broadcast.
#include "browser/LanDiscovery.h"

#include "browser/ServerBrowser.h"

#include <cstring>

namespace brenn::browser {

namespace {

constexpr char StatusQuery[] = "\\status\\";
constexpr int StatusQueryLength = 8;
constexpr std::uint32_t SynchronousStepGap = 10;
// A socket that the poll keeps calling readable while every receive fails
// would hold the step forever; give up on the drain after this many.
constexpr int MaxFailedReceives = 16;

}  // namespace

std::int32_t openQuerySockets(ServerBrowser* browser) {
    for (std::int32_t i = 0; i < browser->slotCount; ++i) {
        QuerySlot& slot = browser->querySlots[i];
        slot.socket = platform::openUdpSocket();
        if (slot.socket == platform::InvalidSocket) {
            if (i == 0) return SocketFailed;
            browser->slotCount = i;
            break;
        }
        slot.server = nullptr;
        slot.startTick = 0;
    }
    return NoError;
}

std::int32_t openBroadcastSocket(ServerBrowser* browser) {
    browser->broadcastSocket = platform::openUdpSocket();
    if (browser->broadcastSocket == platform::InvalidSocket) return SocketFailed;
    if (platform::enableBroadcast(browser->broadcastSocket) != 0) {
        platform::closeSocket(browser->broadcastSocket);
        browser->broadcastSocket = platform::InvalidSocket;
        return SocketFailed;
    }
    return NoError;
}

void sendBroadcast(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort,
                   std::int32_t step) {
    // Counted wide, so that no lastPort or step can make the loop endless.
    const std::int64_t stride = step < 1 ? 1 : step;
    const std::int64_t last = lastPort > 65535 ? 65535 : lastPort;
    for (std::int64_t port = firstPort; port <= last; port += stride) {
        if (port < 0) continue;
        platform::sendTo(browser->broadcastSocket, StatusQuery, StatusQueryLength, platform::BroadcastAddress,
                         platform::hostToNet16(static_cast<std::uint16_t>(port)));
    }
}

void runUntilIdle(ServerBrowser* browser) {
    while (browser->state != Idle) {
        think(browser);
        platform::sleep(SynchronousStepGap);
    }
}

std::int32_t lanUpdate(ServerBrowser* browser, std::int32_t async, std::int32_t firstPort,
                       std::int32_t lastPort, std::int32_t step) {
    if (browser->state != Idle) return Busy;
    if (openQuerySockets(browser) != NoError) return SocketFailed;
    if (openBroadcastSocket(browser) != NoError) {
        // Nothing of a pass that did not start stays open.
        closeQuerySockets(browser);
        return SocketFailed;
    }
    sendBroadcast(browser, firstPort, lastPort, step);
    setState(browser, ListingLan);
    browser->listStartTick = platform::tickCount();
    browser->nextIndex = 0;
    browser->abortRequested = 0;
    if (async == 0) runUntilIdle(browser);
    return NoError;
}

void discoveryStep(ServerBrowser* browser) {
    char buffer[server::MaxDatagram + 1];
    int failedReceives = 0;
    for (;;) {
        std::uint8_t readable = 0;
        if (platform::pollReadable(&browser->broadcastSocket, 1, &readable) <= 0 || !readable) break;
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        const int length = platform::receiveFrom(browser->broadcastSocket, buffer, server::MaxDatagram,
                                                 &address, &port);
        if (length < 0) {
            if (++failedReceives >= MaxFailedReceives) break;
            continue;
        }
        buffer[length] = '\0';
        if (!server::holdsFinal(buffer)) continue;
        const std::uint16_t hostPort = platform::netToHost16(port);
        if (findServer(browser, address, hostPort) != -1) continue;
        addServer(browser, address, hostPort, Status);
    }
    if (platform::tickCount() - browser->listStartTick > ListingTimeout) {
        platform::closeSocket(browser->broadcastSocket);
        browser->broadcastSocket = platform::InvalidSocket;
        setState(browser, Querying);
    }
}

}  // namespace brenn::browser
