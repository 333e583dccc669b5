// ServerPlan: the servers of a run, from the definitions file and the seed.
#pragma once

#include "Options.h"
#include "SimServer.h"

#include <ostream>
#include <string>
#include <vector>

namespace lanserver {

// The defined servers first, then the generated ones, every one with its
// address:port slot. Among the generated servers, a seeded choice makes
// --other-game of them report the other game, then --silent of them silent
// and --dead of them dead. False, with a message, when the file cannot be
// read or parsed, the counts do not fit, or the slots run out.
bool planServers(const Options& options, std::vector<SimServer>* servers, std::string* error);

// Writes the servers as a JSON list of objects {"address", "port",
// "behaviour", "split", "delay", "pairs": [[key, value], ...]}, where split
// and delay are the values in force for that server; one server a line.
// Keys and values are decoded as the browsers decode them (valid UTF-8 as
// it is, any other byte as Windows-1252), so the manifest is valid UTF-8.
void writeManifest(std::ostream& out, const Options& options, const std::vector<SimServer>& servers);

}  // namespace lanserver
