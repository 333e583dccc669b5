// ContentGenerator: seeded, reproducible contents for simulated servers.
#pragma once

#include "SimServer.h"

#include "protocol/Wire.h"

#include <cstdint>
#include <string>

namespace lanserver {

// The game the browsing side looks for, and the one "other game" servers run.
constexpr const char* GameName = brenn::wire::GameName;
constexpr const char* OtherGameName = "ironvale";

// A small deterministic generator (splitmix64): the same seed gives the same
// servers on every machine and library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A number from 0 to bound - 1; bound must be at least 1.
    std::uint32_t below(std::uint32_t bound);
    // A number from low to high, both included.
    int between(int low, int high);

private:
    std::uint64_t state_;
};

// The pairs of server number `number` (0-based) of a run with this seed:
// hostname, gamename, mapname, gametype, numplayers, maxplayers, timelimit,
// fraglimit, and player_i, score_i, ping_i, team_i for each player. The
// hostname holds the number, so hostnames are unique within a run.
std::vector<Pair> generatePairs(std::uint64_t seed, int number, const std::string& gameName);

}  // namespace lanserver
