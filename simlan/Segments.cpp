// The simulated LAN's segments: the player's interfaces, the subnets behind
// them, and which of them a broadcast reaches.
#include "simlan/LanState.h"

namespace brenn::platform::simlan {

namespace {

// The player's interface whose subnet holds address, or null.
const InterfaceAddress* interfaceFor(const SimulatedLan::State& lan, std::uint32_t address) {
    for (const InterfaceAddress& i : lan.interfaces)
        if ((i.flags & InterfacePointToPoint) == 0 && ((i.address ^ address) & i.netmask) == 0) return &i;
    return nullptr;
}

}  // namespace

bool isPlayerAddress(const SimulatedLan::State& lan, std::uint32_t address) {
    if (address == lan.playerAddress) return true;
    for (const InterfaceAddress& i : lan.interfaces)
        if (i.address == address) return true;
    return false;
}

bool isDirectedBroadcast(const SimulatedLan::State& lan, std::uint32_t address) {
    for (const InterfaceAddress& i : lan.interfaces)
        if ((i.flags & InterfaceBroadcast) != 0 && i.broadcast == address) return true;
    return false;
}

std::uint32_t sourceFor(const SimulatedLan::State& lan, std::uint32_t address) {
    if (lan.interfaces.empty()) return lan.playerAddress;
    if (const InterfaceAddress* i = interfaceFor(lan, address)) return i->address;
    return lan.broadcastRoute != 0 ? lan.broadcastRoute : lan.playerAddress;
}

bool broadcastReach(const SimulatedLan::State& lan, std::uint32_t address, std::vector<std::uint32_t>* subnets,
                    std::uint32_t* source) {
    if (lan.interfaces.empty()) {
        *source = lan.playerAddress;
        return address == BroadcastAddress;
    }
    for (const InterfaceAddress& i : lan.interfaces) {
        const bool limited = address == BroadcastAddress && i.address == lan.broadcastRoute;
        const bool directed = (i.flags & InterfaceBroadcast) != 0 && i.broadcast == address;
        if (!limited && !directed) continue;
        *source = i.address;
        if ((i.flags & InterfacePointToPoint) == 0) subnets->push_back(i.address & i.netmask);
        return true;
    }
    return false;
}

// 255.255.255.255 reaches the sender's own segment, an interface's
// broadcast address that segment when the sender is in it. Without
// interfaces the LAN is one segment and only 255.255.255.255 is a broadcast.
bool broadcastFrom(const SimulatedLan::State& lan, std::uint32_t from, std::uint32_t address,
                   std::vector<std::uint32_t>* subnets) {
    if (lan.interfaces.empty()) return address == BroadcastAddress;
    const InterfaceAddress* segment = interfaceFor(lan, from);
    if (segment == nullptr) return false;
    const bool directed = (segment->flags & InterfaceBroadcast) != 0 && segment->broadcast == address;
    if (address != BroadcastAddress && !directed) return false;
    subnets->push_back(from & segment->netmask);
    return true;
}

bool inSubnets(const SimulatedLan::State& lan, std::uint32_t address, const std::vector<std::uint32_t>& subnets) {
    const InterfaceAddress* i = interfaceFor(lan, address);
    if (i == nullptr) return false;
    for (std::uint32_t subnet : subnets)
        if ((address & i->netmask) == subnet) return true;
    return false;
}

}  // namespace brenn::platform::simlan
