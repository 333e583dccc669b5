// SimServer: one simulated game server: where it listens, how it behaves
// and the key/value pairs it reports.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lanserver {

// What a server answers.
enum class Behaviour {
    Answers,  // the broadcast and its own status queries
    Silent,   // the broadcast only: it is found, then never answers its query
    Dead,     // nothing at all: it is never found
};

// "answers", "silent" or "dead".
const char* behaviourName(Behaviour behaviour);

using Pair = std::pair<std::string, std::string>;

struct SimServer {
    std::string address;      // dotted IPv4 text; empty until a slot is assigned
    std::uint16_t port = 0;   // 0 until a slot is assigned
    Behaviour behaviour = Behaviour::Answers;
    int split = 0;            // datagrams per reply; 0: the run's --split
    int delayMs = -1;         // reply delay; -1: the run's --delay
    std::vector<Pair> pairs;  // in the order they are sent, without final/queryid
};

// The value of key among the pairs (first match, case-sensitive), or null.
const std::string* findValue(const SimServer& server, const std::string& key);

}  // namespace lanserver
