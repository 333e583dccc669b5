// Seeded contents for simulated servers: names, maps, limits and players.
#include "ContentGenerator.h"

#include <algorithm>
#include <cstdio>

namespace lanserver {
namespace {

const char* const Adjectives[] = {"Amber", "Basalt", "Cobalt", "Dusty", "Ember", "Frosty",
                                  "Granite", "Hollow", "Iron",   "Jade",  "Kestrel", "Lunar"};
const char* const Nouns[] = {"Ridge", "Summit", "Canyon", "Quarry", "Bastion", "Outpost",
                             "Crag",  "Mesa",   "Gorge",  "Fort"};
const char* const Maps[] = {"switchback", "high_pass", "rockfall", "timberline", "saddle",
                            "scree",      "overlook",  "cirque"};
const char* const GameTypes[] = {"deathmatch", "team_deathmatch", "capture_the_flag", "king_of_the_hill"};
const char* const PlayerNames[] = {"Mara", "Tobin", "Quill", "Sable", "Oren", "Wren", "Hask",
                                   "Ilse", "Corbin", "Pell", "Juno", "Vesna", "Brask", "Nilo"};
const char* const Teams[] = {"red", "blue"};
const int MaxPlayers[] = {8, 12, 16, 24, 32};
const int TimeLimits[] = {10, 15, 20, 30};
const int FragLimits[] = {0, 25, 50, 100};

template <typename T, std::size_t N>
const T& pick(Random& random, const T (&items)[N]) {
    return items[random.below(static_cast<std::uint32_t>(N))];
}

}  // namespace

std::uint64_t Random::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t Random::below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }

int Random::between(int low, int high) {
    return low + static_cast<int>(below(static_cast<std::uint32_t>(high - low + 1)));
}

std::vector<Pair> generatePairs(std::uint64_t seed, int number, const std::string& gameName) {
    Random random(seed * 1000003ull + static_cast<std::uint64_t>(number));
    char hostname[64];
    std::snprintf(hostname, sizeof hostname, "%s %s %03d", pick(random, Adjectives),
                  pick(random, Nouns), number + 1);
    const int maxPlayers = pick(random, MaxPlayers);
    // At most 12 players, so that a whole reply fits one datagram.
    const int players = random.between(0, std::min(maxPlayers, 12));

    std::vector<Pair> pairs = {
        {"hostname", hostname},
        {"gamename", gameName},
        {"mapname", pick(random, Maps)},
        {"gametype", pick(random, GameTypes)},
        {"numplayers", std::to_string(players)},
        {"maxplayers", std::to_string(maxPlayers)},
        {"timelimit", std::to_string(pick(random, TimeLimits))},
        {"fraglimit", std::to_string(pick(random, FragLimits))},
    };
    for (int i = 0; i < players; ++i) {
        const std::string n = std::to_string(i);
        pairs.push_back({"player_" + n, pick(random, PlayerNames) + std::string(1, static_cast<char>('A' + i))});
        pairs.push_back({"score_" + n, std::to_string(random.between(-3, 60))});
        pairs.push_back({"ping_" + n, std::to_string(random.between(8, 180))});
        pairs.push_back({"team_" + n, Teams[i % 2]});
    }
    return pairs;
}

}  // namespace lanserver
