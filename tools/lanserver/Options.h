// Options: the simulator's command line.
#pragma once

#include "protocol/Wire.h"

#include <cstdint>
#include <string>

namespace lanserver {

struct Options {
    int servers = -1;                   // generated servers; -1: 12, or 0 with --definitions
    std::string addresses = "127.0.0.2";
    std::string ports = std::to_string(brenn::wire::FirstPort) + "-" + std::to_string(brenn::wire::LastPort);
    std::uint64_t seed = 1;
    std::string definitions;            // file of defined servers; empty: none
    int otherGame = 0;                  // generated servers of another game
    int silent = 0;                     // generated servers that answer the broadcast only
    int dead = 0;                       // generated servers that answer nothing
    int split = 1;                      // datagrams per reply
    int delayMs = 0;                    // delay of every reply
    int spreadMs = 0;                   // answers to one broadcast spread over this time
    int durationS = 60;                 // the run ends after this many seconds
    std::string readyFile;              // created once every socket is bound
    std::string manifest;               // JSON list of the servers, written at start
    bool quiet = false;                 // no summary on standard output
    bool announce = false;              // hellos at the start, goodbyes at the end
    bool help = false;
    bool version = false;
};

// Parses the command line. False, with a message in *error, on a bad option
// or value; *options is then unusable.
bool parseOptions(int argc, char** argv, Options* options, std::string* error);

// The --help text.
const char* usage();

}  // namespace lanserver
