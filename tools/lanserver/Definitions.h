// Definitions: the simulator's server definitions file.
//
// One server per line; blank lines and lines whose first non-blank character
// is '#' are skipped. A line is
//
//   WHERE [OPTION ...] PAIRS
//
//   WHERE    address:port, or '*' for the next free slot of --addresses and
//            --ports
//   OPTION   answers (the default), silent (answers the broadcast only),
//            dead (answers nothing), split=N (datagrams per reply),
//            delay=MS (reply delay in milliseconds)
//   PAIRS    the reply's pairs as they travel: \key\value\key\value...,
//            from the first backslash to the end of the line (blanks inside
//            values are kept). The simulator adds "final" and "queryid"
//            itself; a server without a gamename pair reports none.
//
// Example:
//   127.0.0.2:22000 \hostname\Alpha Base\gamename\ridgeline\numplayers\0
//   * silent \hostname\Quiet One\gamename\ridgeline
#pragma once

#include "SimServer.h"

#include <istream>
#include <string>
#include <vector>

namespace lanserver {

// Appends the servers of the text to *servers. False, with "line N: why" in
// *error, on the first bad line; *servers is then unchanged.
bool parseDefinitions(std::istream& input, std::vector<SimServer>* servers, std::string* error);

// Splits "\k\v\k\v..." into pairs; a last key without value gets "". False,
// with a message, when the text does not start with '\', a key is empty, or
// a key is "final" or "queryid".
bool parsePairs(const std::string& text, std::vector<Pair>* pairs, std::string* error);

}  // namespace lanserver
