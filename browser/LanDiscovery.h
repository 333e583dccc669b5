// LAN discovery: the start of a pass (sockets, broadcast) and the discovery
// step that collects the servers answering the broadcast.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

namespace browser {

// How long discovery collects answers, and how long a query may go
// unanswered: both end only when more than this many ms have passed.
constexpr std::uint32_t ListingTimeout = 3000;

// Starts a pass: opens the query sockets and the broadcast socket, sends
// "\status\" to 255.255.255.255 on every port from firstPort to lastPort
// (step apart; a step below 1 counts as 1; ports outside 0..65535 are not
// sent to), enters ListingLan. With async 0 it then runs the whole pass
// before returning. Busy outside Idle (nothing changed); SocketFailed when
// the first query socket or the broadcast socket could not be opened (no
// event, every socket it opened closed again, still Idle); else NoError.
std::int32_t lanUpdate(ServerBrowser* browser, std::int32_t async, std::int32_t firstPort,
                       std::int32_t lastPort, std::int32_t step);

// The steps of lanUpdate.
// Opens one socket per slot. SocketFailed if the first fails; a later
// failure lowers slotCount for good to the sockets opened.
std::int32_t openQuerySockets(ServerBrowser* browser);
// Opens the broadcast socket and enables broadcast on it; SocketFailed (and
// no socket left open) on failure.
std::int32_t openBroadcastSocket(ServerBrowser* browser);
void sendBroadcast(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort,
                   std::int32_t step);
// Runs think, then sleeps 10 ms, until the browser is Idle.
void runUntilIdle(ServerBrowser* browser);

// One step of ListingLan: drains the waiting answers, adding a server for
// every new sender whose answer holds "\final\", then ends discovery when
// more than ListingTimeout ms have passed since the broadcast.
void discoveryStep(ServerBrowser* browser);

}  // namespace browser

}  // namespace brenn
