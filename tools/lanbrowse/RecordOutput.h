// RecordOutput: the servers of a pass as a table for people or as JSON for
// scripts.
#pragma once

#include "BrowseOptions.h"
#include "BrowseSession.h"
#include "TextDecoding.h"

#include <ostream>
#include <string>
#include <vector>

namespace lanbrowse {

// The records to show, in order: with a sort, the sort's order, restricted
// to the servers reported in this pass (a server that answered an earlier
// pass only keeps its old record, and the sort would name it too);
// otherwise the order in which they were reported.
std::vector<brenn::matchmaking::ServerData*> recordsInOrder(const PassResult& pass);

// The table: address:port, ping, hostname, map, game type, players/maximum,
// from the records' info sections as the key map fills them.
void writeTable(std::ostream& out, const std::vector<brenn::matchmaking::ServerData*>& records);

// One JSON object on one line: the pass number and update kind, elapsed
// milliseconds, whether it finished, the state codes, every hook call, the
// sort, and every record with all five sections.
void writeJson(std::ostream& out, int number, bool aux, const BrowseOptions& options, const PassResult& pass);

// One record as a JSON object: address, port, server id and the five
// sections, every text decoded (TextDecoding.h).
tooltext::Json recordJson(const brenn::matchmaking::ServerData* record);

// The table of writeTable as text.
std::string tableText(const std::vector<brenn::matchmaking::ServerData*>& records);

}  // namespace lanbrowse
