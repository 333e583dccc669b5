// LAN discovery: the start of a pass (sockets, broadcast rounds) and the
// discovery step that collects the servers answering the broadcasts.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace brenn {

struct BrowserServer;
struct ServerBrowser;

// The broadcasts of one pass: "\status\" to every port of the range, in
// up to MaxRounds rounds, each round to 255.255.255.255 and to the directed
// broadcast address of every interface that has one.
struct DiscoveryRounds {
    std::int32_t firstPort;  // the pass's port range and step
    std::int32_t lastPort;
    std::int32_t step;
    std::uint32_t targets[1 + platform::MaxInterfaces];  // network byte order
    std::int32_t targetCount;
    std::int32_t rounds;     // rounds of this pass: MaxRounds, or 1
    std::int32_t round;      // rounds begun so far
    std::int64_t nextPort;   // next port of the round begun last
    std::int32_t sent;       // broadcasts the platform took, all rounds
    std::int32_t refused;    // broadcasts it refused
    std::int32_t receiveBuffer;  // bytes the system granted the discovery socket; -1 unknown
};

namespace browser {

// Discovery collects answers until more than this many ms have passed
// since the first broadcast.
constexpr std::uint32_t ListingTimeout = 3000;
// Broadcast rounds per pass and port, and when each begins (ms after the
// first): answers lost on the way, or dropped by a full receive buffer,
// get three more chances.
constexpr std::int32_t MaxRounds = 4;
constexpr std::uint32_t RoundStart[MaxRounds] = {0, 400, 1000, 1800};
// Within a round the ports are sent this many ms apart, so that the
// answers of one port are read before the next port's arrive.
constexpr std::uint32_t PortSpacing = 20;
// The receive buffer asked for on the discovery socket: room for some
// thousand answers arriving at once, where the system allows it.
constexpr int DiscoveryReceiveBuffer = 1 << 20;

// Starts a pass: opens the query sockets and the broadcast socket, plans
// the broadcast rounds over the ports from firstPort to lastPort (step
// apart; a step below 1 counts as 1; ports outside 0..65535 are not sent
// to), sends what is due at once (the first port of the first round),
// enters ListingLan. With async 0 it then runs the whole pass before
// returning. Busy outside Idle (nothing changed); SocketFailed when the
// first query socket or the broadcast socket could not be opened (no event,
// every socket it opened closed again, still Idle); else NoError.
std::int32_t lanUpdate(ServerBrowser* browser, std::int32_t async, std::int32_t firstPort,
                       std::int32_t lastPort, std::int32_t step);

// The start of a pass or a live listing: opens the query sockets and the
// broadcast socket, plans `rounds` broadcast rounds (RoundStart) over the
// ports as lanUpdate does and sends what is due at once; the state is not
// changed. Busy outside Idle; SocketFailed (nothing left open) as lanUpdate.
std::int32_t beginBroadcasting(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort,
                               std::int32_t step, std::int32_t rounds);
// Begins one more round now over the same ports, to 255.255.255.255 and to
// the broadcast addresses of the interfaces up now, sending what is due.
void startRound(ServerBrowser* browser);
// True when every round planned has sent its last port.
bool roundsOver(const ServerBrowser* browser);
// Reads the answers waiting on the broadcast socket: a server is added for
// every new sender whose answer holds "\final\"; a known sender's answer is
// handed to `known` (when not null).
void collectAnswers(ServerBrowser* browser, void (*known)(ServerBrowser*, BrowserServer*));

// The steps of lanUpdate.
// Opens one socket per slot. SocketFailed if the first fails; a later
// failure lowers slotCount for good to the sockets opened.
std::int32_t openQuerySockets(ServerBrowser* browser);
// Opens the broadcast socket, enables broadcast on it and asks for its
// receive buffer; SocketFailed (and no socket left open) on failure.
std::int32_t openBroadcastSocket(ServerBrowser* browser);
// Sends every broadcast whose time has come. Returns how many the platform
// took.
std::int32_t sendBroadcast(ServerBrowser* browser);
// Runs think, then sleeps 10 ms, until the browser is Idle.
void runUntilIdle(ServerBrowser* browser);

// One step of ListingLan: sends the broadcasts that are due, drains the
// waiting answers, adding a server for every new sender whose answer holds
// "\final\", then ends discovery when more than ListingTimeout ms have
// passed since the first broadcast, or when every round is over and not
// one broadcast could be sent.
void discoveryStep(ServerBrowser* browser);

// Broadcasts the platform took during the current or last pass.
std::int32_t broadcastsSent(const ServerBrowser* browser);

}  // namespace browser

}  // namespace brenn
