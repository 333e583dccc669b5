// Query acceptance of a hosted game: which datagrams get a reply.
#pragma once

#include "hosting/SenderBuckets.h"
#include "hosting/TokenBucket.h"
#include "platform/Platform.h"
#include "protocol/Wire.h"
#include "service/HostingTypes.h"

#include <cstdint>

namespace brenn::hosting {

// What admit decided about one datagram.
enum Verdict : std::int32_t {
    Answer = 0,
    NotAQuery = 1,      // not exactly "\status\"
    NotLocal = 2,       // a sender that is no host (or a subnet's broadcast), or outside the LAN where only the LAN is answered
    SenderLimited = 3,  // over the sender's rate
    TotalLimited = 4,   // over the total rate
};

// How old (ms) the list of the machine's interfaces may grow before a
// query makes the gate list them again.
constexpr std::uint32_t InterfaceListAge = 5000;

// The query text a hosted game answers, and its length (protocol/Wire.h).
constexpr const char* StatusQuery = wire::StatusQuery;
constexpr int StatusQueryLength = static_cast<int>(wire::StatusQueryLength);

// True when limits are within their ranges (rates and bursts 1 to 1000000).
bool validLimits(const matchmaking::HostLimits& limits);

class QueryGate {
public:
    // Starts with full buckets at tick now. limits must be valid.
    QueryGate(const matchmaking::HostLimits& limits, std::uint32_t now);

    // Takes new limits (which must be valid); every bucket starts full again
    // and the machine's interfaces are listed anew at the next query.
    void setLimits(const matchmaking::HostLimits& limits, std::uint32_t now);
    const matchmaking::HostLimits& limits() const { return limits_; }

    // Decides on a datagram of length bytes (length is what the receive
    // gave, so a datagram cut at the buffer's end reads as too long) from
    // address:port (network byte order) at tick now. The LAN is the local
    // ranges and the subnets of the machine's interfaces (listed at most
    // every InterfaceListAge ms). Only Answer takes a token: a sender's
    // token first, then one of the total.
    Verdict admit(const char* data, int length, std::uint32_t address, std::uint16_t port, std::uint32_t now);

private:
    void listInterfaces(std::uint32_t now);

    matchmaking::HostLimits limits_;
    platform::InterfaceAddress interfaces_[platform::MaxInterfaces];
    int interfaceCount_ = 0;
    std::uint32_t listedAt_ = 0;
    bool listed_ = false;
    BucketRate senderRate_;
    BucketRate totalRate_;
    TokenBucket total_;
    SenderBuckets senders_;
};

}  // namespace brenn::hosting
