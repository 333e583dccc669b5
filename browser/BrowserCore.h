// The ServerBrowser structure, the engine object that finds game servers on
// the LAN, and its core operations: creation, the step dispatch, the server
// list. The owner starts a pass with lanUpdate (LanDiscovery.h) and calls
// think from its own loop; every state change and every completed server
// reaches it through one callback.
#pragma once

#include "browser/BrowserTypes.h"
#include "browser/LanDiscovery.h"
#include "browser/LiveListing.h"
#include "browser/QuerySlot.h"
#include "browser/SenderLimits.h"
#include "browser/ServerIndex.h"
#include "browser/StringPool.h"
#include "browser/Trace.h"
#include "containers/DynArray.h"
#include "platform/Platform.h"

#include <cstdint>

namespace brenn {

struct ServerBrowser {
    std::int32_t state;               // BrowserState
    DynArray* servers;                // BrowserServer pointers, owned
    QuerySlot* querySlots;            // slotCount slots
    // The names and key the owner gave at creation: kept (cut to 31
    // characters) but never read by the engine; owners may read them back.
    char primaryName[32];
    char secretKey[32];
    char secondaryName[32];
    std::int32_t slotCount;           // queries in flight at most; at least 1
    std::int32_t nextIndex;           // position in servers of the next server to query
    std::int32_t abortRequested;      // set by halt, read by the query engine
    BrowserCallback callback;
    void* instance;                   // handed back to the callback unchanged
    // Key of the last sort: the caller's text, borrowed, read by the
    // comparators while sort runs. The service points it back at "" once
    // its sort is over, so that it never outlives the caller's copy.
    const char* sortKey;
    std::int32_t sortAscending;       // direction of the last sort
    platform::Socket broadcastSocket; // discovery socket; InvalidSocket outside discovery
    std::uint32_t listStartTick;      // tick right after the broadcast
    StringPool* stringPool;           // every key and value text of the servers
    ServerIndex serverIndex;          // (address, port) to position in servers
    DiscoveryRounds discovery;        // the broadcasts of the pass
    // Bytes of receive buffer asked for on the discovery socket of the
    // next pass: DiscoveryReceiveBuffer from creation; 0 asks for none,
    // leaving the system's default (setReceiveBufferRequest).
    std::int32_t receiveBufferRequest;
    BrowserTrace trace;               // null: no trace
    void* traceContext;
    LiveListing live;                 // the live listing, while state is Live
    SenderLimits limits;              // servers taken per address and in all
};

namespace browser {

// A new Idle browser with slotCount query slots (below 1 makes 1), names
// and key copied (at most 31 characters each), and the sockets layer
// started. callbackKind changes nothing. Null when storage cannot be had.
// The caller owns it: destroy().
ServerBrowser* create(const char* primaryName, const char* secondaryName, const char* secretKey,
                      std::int32_t slotCount, BrowserCallback callback, std::int32_t callbackKind,
                      void* instance);

// Closes the sockets of a pass or live listing still running (no event),
// frees every server, pooled text and slot, and ends the sockets layer.
// Null is ignored.
void destroy(ServerBrowser* browser);

// One non-blocking step of the running pass. NoBrowser for null, else
// NoError (also in Idle, where it does nothing).
std::int32_t think(ServerBrowser* browser);

// Asks a running pass to end: the query engine ends it at its next step,
// after discovery has run its course. No effect in Idle. Returns 0.
std::int32_t halt(ServerBrowser* browser);

// Removes every server and pooled text. Busy (and nothing changed) outside
// Idle; NoMemory (and nothing changed: the old servers are kept) when new
// empty containers cannot be had; NoError otherwise. Server pointers handed
// out before become invalid.
std::int32_t clear(ServerBrowser* browser);

// Sets the most servers taken from one address and in all (passes and live
// listings, from the next answer on; servers listed already stay).
// OutOfRange (nothing changed) for a bound below 1, else NoError.
std::int32_t setLimits(ServerBrowser* browser, std::int32_t perAddress, std::int32_t total);

std::int32_t state(const ServerBrowser* browser);
std::int32_t serverCount(const ServerBrowser* browser);
// The server at index, or null for an index outside 0..serverCount-1.
BrowserServer* serverAt(const ServerBrowser* browser, std::int32_t index);

// Stores the state, then calls the callback with StateChanged.
void setState(ServerBrowser* browser, std::int32_t state);

// Appends a new server (ping 9999). Null for no browser or when storage
// cannot be had; the list is then unchanged.
BrowserServer* addServer(ServerBrowser* browser, std::uint32_t address, std::uint16_t port,
                         std::int32_t queryType);

// Index in servers of the first server with this address (network order)
// and port (host order), or -1. Constant time through serverIndex; walks the
// list when the index could not get storage.
std::int32_t findServer(const ServerBrowser* browser, std::uint32_t address, std::uint16_t port);

// The receive buffer that the discovery socket of the passes started from
// now on asks for, in bytes; 0 (or less) asks for none and leaves the
// system's default. A running pass keeps the socket it has.
void setReceiveBufferRequest(ServerBrowser* browser, std::int32_t bytes);

}  // namespace browser

}  // namespace brenn
