// Hooks into the engine that only its tests and benchmarks use: failing
// allocations on purpose, and the list walk that the server index stands
// in for. Production code never includes this header; the plug-in does not
// export what it declares.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

namespace allocation::testing {

// The allocations after the next `successes` ones fail, until disarmed;
// failAfter(-1) disarms.
void failAfter(long successes);

}  // namespace allocation::testing

namespace browser::testing {

// Index in the server list of the first server with this address (network
// order) and port (host order), or -1, found by walking the list: what
// findServer answers, the slow way.
std::int32_t findServerLinear(const ServerBrowser* browser, std::uint32_t address, std::uint16_t port);

// While set, every server index keeps nothing and findServer walks the
// list: the flood benchmark's "before".
void disableServerIndex(bool disabled);

}  // namespace browser::testing

}  // namespace brenn
