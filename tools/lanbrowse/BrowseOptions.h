// BrowseOptions: the example host's command line.
#pragma once

#include "service/VelnarLanJoin.h"

#include <string>

namespace lanbrowse {

struct BrowseOptions {
    std::string sortKey;  // empty: servers in the order they answered
    bool descending = false;
    brenn::matchmaking::CompareMode mode = brenn::matchmaking::CompareCaseSensitive;
    bool json = false;
    bool trace = false;   // every hook call as a line on standard error
    int queries = 8;      // queries in flight at once
    int watchS = 0;       // 0: one pass; else seconds between passes
    bool aux = false;     // watch passes keep the servers found before
    int passes = 10;      // passes in watch mode
    int tickMs = 5;       // pause between two update calls
    int timeoutS = 30;    // a pass that takes longer is given up
    int receiveBuffer = -1;  // bytes asked for on the discovery socket; -1: the service's default
    std::string keyMap;   // empty: the usual search (KeyMapFile.h)
    bool live = false;    // a live list instead of passes
    int durationS = 0;    // live: close the list after this many seconds; 0: at Ctrl-C
    bool help = false;
    bool version = false;
};

// Parses the command line. False, with a message in *error, on a bad
// option or value.
bool parseOptions(int argc, char** argv, BrowseOptions* options, std::string* error);

// The --help text.
const char* usage();

}  // namespace lanbrowse
