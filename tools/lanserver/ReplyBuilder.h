// ReplyBuilder: the datagrams of one status reply.
#pragma once

#include "SimServer.h"

#include <string>
#include <vector>

namespace lanserver {

// Largest datagram the simulator sends; receivers read at most 1499 bytes.
constexpr std::size_t MaxDatagram = 1400;

// The reply to query number `queryNumber` of a server: its pairs spread
// evenly over `parts` datagrams (at least 1), more when a datagram would
// exceed MaxDatagram. Datagram k (1-based) ends with "\queryid\<n>.<k>";
// only the last holds "\final\", right before its queryid pair, e.g.
// "\hostname\Alpha\numplayers\3\final\\queryid\12.1". A pair is never cut.
std::vector<std::string> buildReply(const std::vector<Pair>& pairs, int parts, int queryNumber);

}  // namespace lanserver
