// The results, limits and counters of the hosting service.
#pragma once

#include <cstdint>

namespace brenn::matchmaking {

// Results of the hosting service's operations. Every failure leaves the
// service as it was.
enum HostResult : std::int32_t {
    HostOk = 0,
    HostPortInUse = 1,       // the port asked for (or each of 22000 to 22010) is taken
    HostSocketFailed = 2,    // no socket could be made or bound for another reason
    HostAlreadyHosting = 3,  // startHosting while hosting: stop first
    HostBadPort = 4,         // a port above 65535
    HostBadKey = 5,          // empty, holds '\' or NUL, too long, or a key the service keeps itself
    HostBadValue = 6,        // holds '\' or NUL, or the pair does not fit one datagram
    HostBadSection = 7,      // not one of "basic", "info", "rules", "teams"
    HostBadPlayer = 8,       // index outside 0 to MaxPlayerSlots - 1, or no such player
    HostServerFull = 9,      // a new player while the player limit is reached
    HostReplyTooLarge = 10,  // the reply would take more than MaxReplyDatagrams datagrams
    HostBadLimit = 11,       // a limit out of its range, or a player limit below the players present
};

// Which queries a hosted game answers. Replies are counted per query, of
// however many datagrams. A sender is an IPv4 address, whatever its port.
struct HostLimits {
    // Answer only senders on this machine's own LAN: loopback, link-local,
    // the private ranges and the subnets of the machine's interfaces. Off:
    // any sender (the rates still hold). Either way a subnet's network or
    // broadcast address is never answered.
    bool lanOnly = true;
    // Replies per second to one sender, and the most it may have at once
    // after a quiet spell (1 to 1000000 each).
    std::uint32_t senderRate = 10;
    std::uint32_t senderBurst = 5;
    // Replies per second to all senders together, and their burst.
    std::uint32_t totalRate = 500;
    std::uint32_t totalBurst = 100;
};

// What a hosted game did with the datagrams that reached it. A query whose
// reply the system would not send (a send failed) counts in none of them.
struct HostCounters {
    std::uint64_t answered = 0;     // status queries whose whole reply was sent
    std::uint64_t notQueries = 0;   // anything but the 8 bytes "\status\": ignored
    std::uint64_t notLocal = 0;     // queries from senders outside the LAN (or no host at all)
    std::uint64_t rateLimited = 0;  // queries over a sender's or the total rate
    // Every query refused for one of the reasons above.
    std::uint64_t refused() const { return notQueries + notLocal + rateLimited; }
};

}  // namespace brenn::matchmaking
