// Query acceptance: the protocol check, the sender filter and the limits.
#include "hosting/QueryGate.h"

#include "hosting/SenderFilter.h"

#include <cstring>

namespace brenn::hosting {

namespace {

constexpr std::uint32_t MaxRate = 1000000;

bool inRange(std::uint32_t value) { return value >= 1 && value <= MaxRate; }

}  // namespace

bool validLimits(const matchmaking::HostLimits& limits) {
    return inRange(limits.senderRate) && inRange(limits.senderBurst) && inRange(limits.totalRate) &&
           inRange(limits.totalBurst);
}

QueryGate::QueryGate(const matchmaking::HostLimits& limits, std::uint32_t now) : total_{0, 0} {
    setLimits(limits, now);
}

void QueryGate::setLimits(const matchmaking::HostLimits& limits, std::uint32_t now) {
    limits_ = limits;
    senderRate_ = BucketRate{limits.senderRate, limits.senderBurst};
    totalRate_ = BucketRate{limits.totalRate, limits.totalBurst};
    total_ = fullBucket(totalRate_, now);
    senders_.clear();
    listed_ = false;
}

// A list that cannot be had leaves the one before in use.
void QueryGate::listInterfaces(std::uint32_t now) {
    platform::InterfaceAddress listed[platform::MaxInterfaces];
    const int count = platform::listInterfaces(listed, platform::MaxInterfaces);
    if (count >= 0) {
        for (int i = 0; i < count; ++i) interfaces_[i] = listed[i];
        interfaceCount_ = count;
    }
    listed_ = true;
    listedAt_ = now;
}

Verdict QueryGate::admit(const char* data, int length, std::uint32_t address, std::uint16_t port,
                         std::uint32_t now) {
    if (length != StatusQueryLength || std::memcmp(data, StatusQuery, StatusQueryLength) != 0) return NotAQuery;
    if (!listed_ || now - listedAt_ > InterfaceListAge) listInterfaces(now);
    if (!isReachableSender(address, port) || isSubnetBroadcast(address, interfaces_, interfaceCount_)) return NotLocal;
    if (limits_.lanOnly && !isLocalAddress(address) && !onAttachedSubnet(address, interfaces_, interfaceCount_))
        return NotLocal;
    if (!senders_.take(address, senderRate_, now)) return SenderLimited;
    if (!takeToken(&total_, totalRate_, now)) return TotalLimited;
    return Answer;
}

}  // namespace brenn::hosting
