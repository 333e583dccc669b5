// UdpPing: the round trip of one status query to one server, measured with
// a plain UDP socket beside the join service (not through it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brenn::bench {

// Sends "\status\" to address:port count times, one at a time, and returns
// the time from each send to the first datagram back from that address and
// port, in microseconds, in the order sent. It waits by spinning on the
// socket, as a host that calls update() in a tight loop does. A query left unanswered for
// timeoutMs is left out, so the result may be shorter than count (empty when
// the address is no IPv4 text or no socket can be had).
std::vector<double> pingStatus(const std::string& address, std::uint16_t port, int count, int timeoutMs);

}  // namespace brenn::bench
