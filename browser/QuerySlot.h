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
    std::uint32_t startTick;  // tick right after the query was sent
    SocketAddress target;     // where the query went; replies only from here
};

}  // namespace brenn
