// LAN discovery: starting a pass, the broadcast rounds, and collecting the
// answers to them.
#include "browser/LanDiscovery.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/QueryEngine.h"
#include "browser/ReplyParser.h"
#include "browser/Trace.h"
#include "protocol/Wire.h"

#include <cstdio>
#include <cstring>

namespace brenn::browser {

namespace {

constexpr std::uint32_t SynchronousStepGap = 10;
// The ports of a round are spread over at most this many ms: a range of
// thousands of ports goes out in one go, as a single round did before.
constexpr std::uint32_t RoundSpread = 200;

// The first port of the range that is 0 or above.
std::int64_t firstValidPort(std::int32_t firstPort, std::int64_t stride) {
    if (firstPort >= 0) return firstPort;
    const std::int64_t behind = -static_cast<std::int64_t>(firstPort);
    return firstPort + (behind + stride - 1) / stride * stride;
}

std::int64_t strideOf(const DiscoveryRounds& plan) { return plan.step < 1 ? 1 : plan.step; }

std::int64_t lastOf(const DiscoveryRounds& plan) { return plan.lastPort > 65535 ? 65535 : plan.lastPort; }

// When the port at nextPort of the round begun last is due, in ms after
// the first broadcast.
std::uint32_t dueAt(const ServerBrowser* browser) {
    const DiscoveryRounds& plan = browser->discovery;
    const std::int64_t position =
        (plan.nextPort - firstValidPort(plan.firstPort, strideOf(plan))) / strideOf(plan);
    const std::int64_t spread = position * PortSpacing;
    return RoundStart[plan.round - 1] + static_cast<std::uint32_t>(spread < RoundSpread ? spread : RoundSpread);
}

// 255.255.255.255 leaves by one interface only; each interface that has a
// broadcast address is asked by its own, so that a machine with several
// networks (wired and Wi-Fi, a virtual machine's, a VPN holding the
// default route) hears the servers of all of them. Loopback and
// point-to-point interfaces have none.
void planTargets(ServerBrowser* browser) {
    DiscoveryRounds& plan = browser->discovery;
    plan.targets[0] = platform::BroadcastAddress;
    plan.targetCount = 1;
    platform::InterfaceAddress interfaces[platform::MaxInterfaces];
    const int count = platform::listInterfaces(interfaces, platform::MaxInterfaces);
    for (int i = 0; i < count; ++i) {
        const platform::InterfaceAddress& entry = interfaces[i];
        if ((entry.flags & platform::InterfaceBroadcast) == 0 ||
            (entry.flags & (platform::InterfaceLoopback | platform::InterfacePointToPoint)) != 0 ||
            entry.broadcast == 0 || entry.broadcast == platform::BroadcastAddress)
            continue;
        bool known = false;
        for (std::int32_t t = 0; t < plan.targetCount; ++t) known = known || plan.targets[t] == entry.broadcast;
        if (!known) plan.targets[plan.targetCount++] = entry.broadcast;
    }
}

void traceRound(ServerBrowser* browser) {
    if (browser->trace == nullptr) return;
    const DiscoveryRounds& plan = browser->discovery;
    char addresses[160] = "";
    for (std::int32_t t = 0; t < plan.targetCount; ++t) {
        const std::size_t used = std::strlen(addresses);
        std::snprintf(addresses + used, sizeof addresses - used, "%s%s", t == 0 ? "" : ", ",
                      platform::addressToText(plan.targets[t]));
    }
    trace(browser, "broadcast round %d of %d to %s, ports %d-%d: %d sent, %d refused in all; %d servers so far",
          static_cast<int>(plan.round), static_cast<int>(plan.rounds), addresses, static_cast<int>(plan.firstPort),
          static_cast<int>(lastOf(plan)), static_cast<int>(plan.sent), static_cast<int>(plan.refused),
          static_cast<int>(serverCount(browser)));
}

void beginRound(DiscoveryRounds& plan) {
    plan.round += 1;
    plan.nextPort = firstValidPort(plan.firstPort, strideOf(plan));
}

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
    // More servers answering within a few ms than the system's default
    // buffer holds would be dropped by the kernel. A smaller grant is
    // no failure: the rounds and the spread still help. A request of 0
    // asks for nothing and leaves the system's default.
    const bool ask = browser->receiveBufferRequest > 0;
    browser->discovery.receiveBuffer =
        ask ? platform::setReceiveBuffer(browser->broadcastSocket, browser->receiveBufferRequest) : -1;
    return NoError;
}

std::int32_t sendBroadcast(ServerBrowser* browser) {
    DiscoveryRounds& plan = browser->discovery;
    const std::uint32_t elapsed = platform::tickCount() - browser->listStartTick;
    const std::int64_t stride = strideOf(plan);
    const std::int64_t last = lastOf(plan);
    std::int32_t sent = 0;
    while (plan.round <= plan.rounds) {
        if (plan.nextPort > last) {
            // This round is out; the next begins at its time.
            if (plan.round == plan.rounds || elapsed < RoundStart[plan.round]) break;
            beginRound(plan);
            continue;
        }
        if (elapsed < dueAt(browser)) break;
        const std::uint16_t port = platform::hostToNet16(static_cast<std::uint16_t>(plan.nextPort));
        for (std::int32_t t = 0; t < plan.targetCount; ++t) {
            if (platform::sendTo(browser->broadcastSocket, wire::StatusQuery, static_cast<int>(wire::StatusQueryLength),
                                 plan.targets[t], port) == static_cast<int>(wire::StatusQueryLength)) {
                ++sent;
                ++plan.sent;
            } else {
                ++plan.refused;
            }
        }
        plan.nextPort += stride;
        if (plan.nextPort > last) traceRound(browser);
    }
    return sent;
}

void runUntilIdle(ServerBrowser* browser) {
    while (browser->state != Idle) {
        think(browser);
        platform::sleep(SynchronousStepGap);
    }
}

std::int32_t beginBroadcasting(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort,
                               std::int32_t step, std::int32_t rounds) {
    if (browser->state != Idle) return Busy;
    if (openQuerySockets(browser) != NoError) return SocketFailed;
    if (openBroadcastSocket(browser) != NoError) {
        // Nothing of a pass that did not start stays open.
        closeQuerySockets(browser);
        return SocketFailed;
    }
    DiscoveryRounds& plan = browser->discovery;
    plan.firstPort = firstPort;
    plan.lastPort = lastPort;
    plan.step = step;
    plan.rounds = rounds;
    plan.round = 0;
    plan.sent = 0;
    plan.refused = 0;
    limits::newPass(&browser->limits);
    planTargets(browser);
    beginRound(plan);
    browser->listStartTick = platform::tickCount();
    sendBroadcast(browser);
    return NoError;
}

void startRound(ServerBrowser* browser) {
    DiscoveryRounds& plan = browser->discovery;
    plan.rounds = 1;
    plan.round = 0;
    planTargets(browser);
    beginRound(plan);
    browser->listStartTick = platform::tickCount();
    sendBroadcast(browser);
}

bool roundsOver(const ServerBrowser* browser) {
    const DiscoveryRounds& plan = browser->discovery;
    return plan.round == plan.rounds && plan.nextPort > lastOf(plan);
}

std::int32_t lanUpdate(ServerBrowser* browser, std::int32_t async, std::int32_t firstPort,
                       std::int32_t lastPort, std::int32_t step) {
    const std::int32_t result =
        beginBroadcasting(browser, firstPort, lastPort, step, MaxRounds);
    if (result != NoError) return result;
    setState(browser, ListingLan);
    browser->nextIndex = 0;
    browser->abortRequested = 0;
    if (async == 0) runUntilIdle(browser);
    return NoError;
}

void collectAnswers(ServerBrowser* browser, void (*known)(ServerBrowser*, BrowserServer*)) {
    // Reads while the poll finds the socket readable. Nothing to read after
    // all, or a failed receive (an error queued on the socket, which the
    // receive consumes), ends the drain for this step: what waits behind it
    // is read at the next.
    char buffer[server::MaxDatagram + 1];
    for (;;) {
        std::uint8_t readable = 0;
        if (platform::pollReadable(&browser->broadcastSocket, 1, &readable) <= 0 || !readable) break;
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        const int length = platform::receiveFrom(browser->broadcastSocket, buffer, server::MaxDatagram,
                                                 &address, &port);
        if (length < 0) break;
        buffer[length] = '\0';
        if (!server::readMarks(buffer).final) continue;
        // A server that answers every round, or through two interfaces, is
        // one server: its later answers cost one index lookup.
        const std::uint16_t hostPort = platform::netToHost16(port);
        const std::int32_t index = findServer(browser, address, hostPort);
        if (index != -1) {
            if (known != nullptr) known(browser, serverAt(browser, index));
            continue;
        }
        if (!limits::admit(browser, address, serverCount(browser))) continue;
        if (addServer(browser, address, hostPort, Status) == nullptr) limits::release(&browser->limits, address);
    }
}

void discoveryStep(ServerBrowser* browser) {
    sendBroadcast(browser);
    collectAnswers(browser, nullptr);
    const DiscoveryRounds& plan = browser->discovery;
    const bool roundsOver = plan.round == plan.rounds && plan.nextPort > lastOf(plan);
    const bool nothingSent = roundsOver && plan.sent == 0;
    if (nothingSent || platform::tickCount() - browser->listStartTick > ListingTimeout) {
        if (nothingSent) trace(browser, "no broadcast could be sent: no server can answer");
        trace(browser, "discovery over: %d servers; receive buffer %d bytes", static_cast<int>(serverCount(browser)),
              static_cast<int>(plan.receiveBuffer));
        if (browser->limits.refused > 0)
            trace(browser, "%d answers ignored over the bounds of %d servers per address and %d in all",
                  static_cast<int>(browser->limits.refused), static_cast<int>(browser->limits.perAddress),
                  static_cast<int>(browser->limits.total));
        platform::closeSocket(browser->broadcastSocket);
        browser->broadcastSocket = platform::InvalidSocket;
        setState(browser, Querying);
    }
}

std::int32_t broadcastsSent(const ServerBrowser* browser) { return browser->discovery.sent; }

}  // namespace brenn::browser
