// Which senders of a query a hosted game answers: a reply is many times the
// size of the query, so answering anyone would make the game a reflector.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace brenn::hosting {

// True when a reply can go to address:port (network byte order) at all: a
// port other than 0, and an address that names one host: not multicast or
// reserved (224.0.0.0 and up, which includes the limited broadcast), and
// not in 0.0.0.0/8 except 0.0.0.0 itself, "this host", which is what a
// broadcast sent on a loopback-only network carries as its sender.
bool isReachableSender(std::uint32_t address, std::uint16_t port);

// True for an address (network byte order) on the host's own side of any
// router: this host (0.0.0.0), loopback 127.0.0.0/8, link-local
// 169.254.0.0/16, and the private ranges 10.0.0.0/8, 172.16.0.0/12 and
// 192.168.0.0/16.
bool isLocalAddress(std::uint32_t address);

// True when address (network byte order) is a host of the subnet of one of
// the count interfaces: one that is up, neither loopback nor point to point,
// with a prefix of /8 to /30, and not the subnet's network or broadcast
// address itself.
bool onAttachedSubnet(std::uint32_t address, const platform::InterfaceAddress* interfaces, int count);

// True when address is the network or the directed broadcast address of
// the subnet of one of those interfaces (a reply to it would reach the
// whole subnet).
bool isSubnetBroadcast(std::uint32_t address, const platform::InterfaceAddress* interfaces, int count);

}  // namespace brenn::hosting
