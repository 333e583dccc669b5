// QuerySlot: one query in flight, on a UDP socket of its own.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace brenn {

struct BrowserServer;

// An IPv4 socket address in the platform's layout.
struct SocketAddress {
    std::uint16_t family;   // 2: IPv4
    std::uint16_t port;     // network byte order
    std::uint32_t address;  // network byte order
    std::uint8_t zero[8];
};

struct QuerySlot {
    platform::Socket socket;  // opened when a pass starts, closed when it ends
    BrowserServer* server;    // the server being queried; null while idle
    std::uint32_t startTick;  // tick right after the first query was sent
    SocketAddress target;     // where the query went; replies only from here
    std::uint32_t sendTick;   // tick right after the latest query was sent
    std::uint32_t heardTick;  // tick of the last datagram that added a part
    std::int32_t queries;     // queries sent to this server so far
    std::uint64_t parts;      // numbered parts received: bit k-1 for part k
    std::int32_t finalPart;   // number of the part that held "\final\"; 0 before it came
    std::uint32_t timeout;    // ms after startTick at which the query is given up
    // A live listing's reply being put together, taken into server once
    // complete (so that its values change all at once); null in a pass,
    // whose replies go straight into server.
    BrowserServer* scratch;
};

}  // namespace brenn
