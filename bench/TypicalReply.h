// The replies the benchmarks parse: a typical status reply of a LAN game
// server, about 1.2 KB with 40 stored pairs, and helpers shared by the
// benchmark files.
#pragma once

#include <string>

namespace brenn::bench {

// Pairs that typicalReply() stores ("final" and "queryid" are dropped).
constexpr int TypicalPairs = 40;

// A status reply as one server would send it: server settings, eight
// players with score and ping, two teams, then "\final\" and a query id.
// `variant` changes the names so that replies of different servers differ.
inline std::string typicalReply(int variant = 0) {
    const std::string v = std::to_string(variant);
    std::string r;
    auto pair = [&r](const std::string& key, const std::string& value) {
        r += "\\" + key + "\\" + value;
    };
    pair("hostname", "Ridgeline LAN evening - dedicated room " + v + " (all welcome, no cheats)");
    pair("gamename", "ridgeline");
    pair("gamever", "1.04.2212 build 5590 release");
    pair("location", "0");
    pair("mapname", "Harbor Approach at dusk, extended");
    pair("gametype", "capture the flag with reinforcements");
    pair("gamemode", "openplaying");
    pair("numplayers", "8");
    pair("maxplayers", "16");
    pair("password", "0");
    pair("timelimit", "30");
    pair("hostport", "22000");
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        pair("player_" + n, "Player number " + n + " of room " + v + " tag[LAN] plays medic, sniper and engineer");
        pair("score_" + n, std::to_string(1200 - 37 * i));
        pair("ping_" + n, std::to_string(12 + i * 3));
    }
    pair("team_t0", "Harbor Guard, blue side");
    pair("team_t1", "Ridge Runners, red side");
    pair("score_t0", "14");
    pair("score_t1", "11");
    r += "\\final\\\\queryid\\1.1";
    return r;
}

}  // namespace brenn::bench
