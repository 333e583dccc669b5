// The sender checks of a hosted game.
#include "hosting/SenderFilter.h"

#include "platform/Platform.h"

namespace brenn::hosting {

namespace {

struct Range {
    std::uint32_t network;  // host byte order
    std::uint32_t mask;
};

constexpr Range LocalRanges[] = {
    {0x00000000u, 0xFFFFFFFFu},  // 0.0.0.0
    {0x7F000000u, 0xFF000000u},  // 127.0.0.0/8
    {0xA9FE0000u, 0xFFFF0000u},  // 169.254.0.0/16
    {0x0A000000u, 0xFF000000u},  // 10.0.0.0/8
    {0xAC100000u, 0xFFF00000u},  // 172.16.0.0/12
    {0xC0A80000u, 0xFFFF0000u},  // 192.168.0.0/16
};

// The interfaces that stand for a LAN segment of this machine: up, neither
// loopback nor point to point, a prefix of /8 to /30 (a /31 or /32 has no
// network or broadcast address of its own).
bool isSegment(const platform::InterfaceAddress& i) {
    const std::uint32_t flags = i.flags;
    const std::uint32_t mask = platform::netToHost32(i.netmask);
    return (flags & platform::InterfaceUp) != 0 &&
           (flags & (platform::InterfaceLoopback | platform::InterfacePointToPoint)) == 0 &&
           (mask >> 24) == 0xFFu && (~mask) >= 3u;
}

bool inSubnet(std::uint32_t address, const platform::InterfaceAddress& i) {
    return ((address ^ i.address) & i.netmask) == 0;
}

// The subnet's network address (host part all zeros) or its broadcast
// address (all ones, or what the interface reports).
bool isSubnetEnd(std::uint32_t address, const platform::InterfaceAddress& i) {
    const std::uint32_t hostPart = address & ~i.netmask;
    return hostPart == 0 || hostPart == ~i.netmask || (i.broadcast != 0 && address == i.broadcast);
}

}  // namespace

bool onAttachedSubnet(std::uint32_t address, const platform::InterfaceAddress* interfaces, int count) {
    for (int k = 0; k < count; ++k)
        if (isSegment(interfaces[k]) && inSubnet(address, interfaces[k]) && !isSubnetEnd(address, interfaces[k]))
            return true;
    return false;
}

bool isSubnetBroadcast(std::uint32_t address, const platform::InterfaceAddress* interfaces, int count) {
    for (int k = 0; k < count; ++k)
        if (isSegment(interfaces[k]) && inSubnet(address, interfaces[k]) && isSubnetEnd(address, interfaces[k]))
            return true;
    return false;
}

bool isReachableSender(std::uint32_t address, std::uint16_t port) {
    const std::uint32_t host = platform::netToHost32(address);
    return port != 0 && (host == 0 || (host >> 24) != 0) && host < 0xE0000000u;
}

bool isLocalAddress(std::uint32_t address) {
    const std::uint32_t host = platform::netToHost32(address);
    for (const Range& range : LocalRanges)
        if ((host & range.mask) == range.network) return true;
    return false;
}

}  // namespace brenn::hosting
