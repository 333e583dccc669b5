// The timing of a live listing: when it broadcasts again, when it asks a
// listed server again, and when it gives a silent one up as gone.
#pragma once

#include <cstdint>

namespace brenn::browser {

// The first sweep broadcasts as a pass does (RoundStart, within
// ListingTimeout). Each later round begins roundGap(n) ms after the one
// before it: 4, 8 and 16 s, then every RoundGapCap ms for as long as the
// list is open. A server that starts without announcing itself is found
// by the next round: within RoundGapCap.
constexpr std::uint32_t FirstRoundGap = 4000;
constexpr std::uint32_t RoundGapCap = 30000;

// The gap before later round `number` (1 for the first after the sweep's
// rounds): FirstRoundGap doubled number - 1 times, at most RoundGapCap.
std::uint32_t roundGap(std::int32_t number);

// A listed server is asked again this long after it was last heard (a
// complete reply, or an answer to a broadcast)...
constexpr std::uint32_t RefreshAfter = 10000;
// ...in query episodes as in a pass (up to MaxQueries queries, each sent
// after more than RetryInterval without news), each given up this long
// after its first query, the next one beginning then...
constexpr std::uint32_t RefreshTimeout = 2000;
// ...and it is reported gone once this many episodes in a row went
// without a complete reply: GoneAfterEpisodes * MaxQueries queries
// unanswered, RefreshAfter + GoneAfterEpisodes * RefreshTimeout ms (16 s)
// after it was last heard when slots are free. At 10 % loss each way a
// query and its one-datagram answer fail together with a chance of 0.19:
// all twelve with about 2e-9.
constexpr std::int32_t GoneAfterEpisodes = 3;

// An announcement asks a listed server again at once, or this long after
// its last reply when that came later (a burst of them asks once).
constexpr std::uint32_t HintAge = 1000;

// How often a live listing looks whether its text pool wants renewing.
constexpr std::uint32_t PoolCheckInterval = 60000;

// True once tick has come at now, ticks compared as they wrap (tick at
// most 2^31 - 1 ms ahead).
inline bool reached(std::uint32_t now, std::uint32_t tick) { return now - tick < 0x80000000u; }

}  // namespace brenn::browser
