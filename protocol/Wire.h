// The wire protocol of the game's LAN browsing, in one place: what a
// browser broadcasts and asks, what a hosted game (or lanserver, or the
// simulated LAN) answers, on which ports and in datagrams of what size.
// Internal: never installed; the engine, the hosting side, the service,
// the simulated LAN and lanserver all take their constants from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brenn::wire {

// The status query: broadcast in discovery, then sent to each server that
// answered; a datagram that begins with it asks for the status reply.
constexpr char StatusQuery[] = "\\status\\";
constexpr std::size_t StatusQueryLength = sizeof StatusQuery - 1;

// The "gamename" of the game's servers; a server that reports another is
// someone else's and is left out of the host's list.
constexpr char GameName[] = "ridgeline";

// The UDP ports the game's servers listen on, and a hosted game binds.
constexpr std::uint16_t FirstPort = 22000;
constexpr std::uint16_t LastPort = 22010;

// Datagram sizes. A browser reads at most ReadDatagram bytes of a datagram
// (its buffer is a 1500-byte frame's worth, one byte kept for the NUL that
// makes the datagram a text); anything past it is cut. A hosted game splits
// its replies into datagrams of at most ReplyDatagram bytes, well below
// what a browser reads, so that no reply a host builds is ever cut.
constexpr int ReadDatagram = 1499;
constexpr std::size_t ReplyDatagram = 1400;
static_assert(ReplyDatagram < static_cast<std::size_t>(ReadDatagram), "a browser reads every reply datagram whole");

// The most datagrams (parts "\queryid\N.1" to "N.64") of one reply: a
// browser puts back together no more, and a host never sends more.
constexpr std::int32_t MaxReplyParts = 64;

// Announcements from a hosted game to live browsers, sent from its query
// port to AnnouncePort (outside the query ports) of the broadcast addresses:
// "\announce\PORT\gamename\ridgeline\final\" when it starts and when its
// values change, "\goodbye\PORT\gamename\ridgeline\final\" when it stops.
// PORT is the query port in decimal, the datagram's source port.
constexpr std::uint16_t AnnouncePort = 22020;
constexpr char AnnounceKey[] = "announce";
constexpr char GoodbyeKey[] = "goodbye";

}  // namespace brenn::wire
