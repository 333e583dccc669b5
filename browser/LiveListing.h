// Live listing: a list that is filled as servers answer and stays true
// while it is open. The browser broadcasts as a pass does, queries each
// server as soon as its answer arrives, reports it when its reply is
// complete, then keeps asking the listed servers (LiveSchedule.h),
// broadcasts again at growing intervals, follows the servers' own
// announcements, and reports a server gone once it stops answering or
// says goodbye. It ends only when the owner closes the list.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace brenn {

struct BrowserServer;
struct QuerySlot;
struct ServerBrowser;

struct LiveListing {
    std::uint32_t openTick;         // when the list was opened
    std::int32_t windowOver;        // 1 once the first sweep's broadcast window is over
    std::int32_t sweepDone;         // 1 once SweepComplete was raised
    std::int32_t laterRounds;       // broadcast rounds begun after the first sweep's
    std::uint32_t nextRoundTick;    // when the next of them begins
    std::int32_t listed;            // servers of the list whose liveness.listed is set
    std::int32_t cursor;            // where the next search for a due server begins
    platform::Socket announceSocket;  // the announcement port; InvalidSocket when not heard
    std::int32_t announcements;     // announcements taken as hints
    std::int32_t ignored;           // other datagrams on the announcement port
    std::uint32_t poolCheckTick;    // when the text pool is looked at next
    std::int32_t pooledValues;      // values in the pool after its last renewal
};

namespace browser {

// Opens a live listing over the ports from firstPort to lastPort (as
// lanUpdate plans them), keeping the servers listed before: those already
// reported are asked at once and reported again when they answer (isNew to
// the owner), or reported gone when they do not; the others are queried as
// new. Sends the first broadcast and enters Live (StateChanged). Busy
// outside Idle (nothing changed); SocketFailed when the first query socket
// or the broadcast socket could not be opened (no event, nothing left
// open, still Idle); else NoError.
std::int32_t liveUpdate(ServerBrowser* browser, std::int32_t firstPort, std::int32_t lastPort, std::int32_t step);

// One non-blocking step of a live listing: broadcasts what is due, takes
// the answers (a new sender is queried within the step, as far as slots are
// free), reads the announcements, reads replies (ServerUpdated for a new
// server, or a listed one whose pairs changed), gives up quiet episodes
// (ServerGone after GoneAfterEpisodes), starts the episodes that are due,
// and raises SweepComplete once, when the first sweep is complete.
void liveStep(ServerBrowser* browser);

// Ends a running pass or live listing at once: every socket is closed
// before anything more is sent, the queries in flight are dropped, the
// servers stay listed, and the browser enters Idle (StateChanged). Nothing
// in Idle. Always NoError. May be called from the callback.
std::int32_t closeList(ServerBrowser* browser);

// Frees the live listing's per-slot records and empties every slot; the
// sockets stay as they are.
void releaseSlots(ServerBrowser* browser);

// The query engine's outcomes in a live listing (QueryEngine.cpp).
namespace live {
// The slot's reply is complete: the server takes its pairs and ping, is
// heard now, and is reported when new or changed.
void answered(ServerBrowser* browser, QuerySlot& slot);
// The slot's episode ended without a complete reply: a server never
// reported is dropped; a listed one is asked again at once, or reported
// gone after GoneAfterEpisodes such episodes in a row.
void givenUp(ServerBrowser* browser, QuerySlot& slot);
// The server answered a broadcast: a listed one is heard now (its episodes
// given up so far are forgiven), and asked for its values as planned.
void heard(ServerBrowser* browser, BrowserServer* server);
// Takes server out of the list (and out of its slot), raises ServerGone
// with `listed`, then frees it.
void removeServer(ServerBrowser* browser, BrowserServer* server);
}  // namespace live

}  // namespace browser

}  // namespace brenn
