// The engine's enumerations and its event callback.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

// State of a ServerBrowser. 1 is no state.
enum BrowserState : std::int32_t {
    Idle = 0,
    ListingLan = 2,  // broadcast sent, answers collected
    Querying = 3,    // found servers being queried
    Live = 4,        // a live listing: finding, querying and refreshing at once, until closed
};

// Event codes passed to the BrowserCallback.
enum BrowserEvent : std::int32_t {
    StateChanged = 1,   // param1 null, param2 0; read the new state with state()
    ServerUpdated = 2,  // param1 the BrowserServer, param2 the progress in percent
    // Live: param1 the BrowserServer, already out of the list and freed
    // once the callback returns; param2 1 when it had been reported (it
    // stopped answering or said goodbye), 0 when it never was (it answered
    // a broadcast but no query).
    ServerGone = 3,
    // Live: the first sweep is complete: the broadcasts of the first
    // ListingTimeout ms are over and every server that answered them was
    // reported or given up. param1 null, param2 0.
    SweepComplete = 4,
};

// Results of the engine's operations.
enum BrowserError : std::int32_t {
    NoError = 0,
    SocketFailed = 1,  // lanUpdate could not open its sockets
    Busy = 4,          // refused: the browser is not Idle
    NoBrowser = 5,     // think called without a browser
    NoMemory = 6,      // storage could not be had; nothing changed
    OutOfRange = 7,    // a setting outside its range; nothing changed
};

// Which query a server is sent; indexes the query text table.
enum BrowserQueryType : std::int32_t {
    Basic = 0,
    Info = 1,
    Rules = 2,
    Players = 3,
    InfoRules = 4,
    Status = 5,
};

// How sort compares the servers' values. Other values sort as CaseInsensitive.
enum BrowserCompareMode : std::int32_t {
    Integer = 0,
    Float = 1,
    CaseSensitive = 2,
    CaseInsensitive = 3,
};

// The owner's callback: (browser, event, instance, param1, param2).
using BrowserCallback = void (*)(ServerBrowser* browser, std::int32_t event, void* instance,
                                 void* param1, std::int32_t param2);

}  // namespace brenn
