// The host-level enumerations taken by the join service's operations.
#pragma once

#include <cstdint>

namespace brenn::matchmaking {

// Which query the host asks for. LAN updates always send the status query;
// the value only matters to the mapping onto the browser's query types.
enum QueryType : std::int32_t {
    QueryBasic = 0,
    QueryInfo = 1,
    QueryRules = 2,
    QueryPlayers = 3,
    QueryInfoRules = 4,
    QueryStatus = 5,
    QueryExtended = 6,
};

// How sortServers compares the servers' values.
enum CompareMode : std::int32_t {
    CompareInteger = 0,
    CompareFloat = 1,
    CompareCaseSensitive = 2,
    CompareCaseInsensitive = 3,
};

// What kept the last update from asking the network, as getUpdateProblem
// tells it once the state hook has heard HostStateIdle.
enum UpdateProblem : std::uint32_t {
    UpdateFine = 0,         // nothing did: the servers that answered were listed
    UpdateNoSocket = 1,     // the update could not open its sockets
    UpdateNoBroadcast = 2,  // not one broadcast could be sent (no network, no route)
    UpdateKeptServers = 3,  // the list could not be cleared for want of memory: the servers found before stay
};

// A function that hears the service's trace lines (broadcast rounds,
// servers asked again, parts that came twice), one line a call, no newline.
using TraceHook = void (*)(const char* line, void* context);

// The state codes the host's state hook receives.
constexpr std::uint32_t HostStateIdle = 1;      // the update is over (a live list: closed)
constexpr std::uint32_t HostStateQuerying = 4;  // the found servers are being queried
// A live list's first sweep is complete: every server that answered the
// first three seconds of broadcasts has been reported or given up. The
// list stays open (and true) until the host closes it.
constexpr std::uint32_t HostStateLive = 5;

class ServerData;

// How many servers the join service takes from one address and in all, in
// passes and live lists; answers beyond them are ignored (and traced), so
// that a machine answering from thousands of ports costs seconds, not
// minutes, and bounded memory.
struct ServerLimits {
    std::int32_t perAddress = 16;  // a real machine has at most 11: one per port of the range
    std::int32_t total = 4096;
};

// Called with the host's record of a server that left a live list (it
// stopped answering, or said goodbye) and the context given with the hook.
// The record stays the host's, in its list: delete it, or keep it.
using ServerGoneHook = void (*)(ServerData* record, void* context);

}  // namespace brenn::matchmaking
