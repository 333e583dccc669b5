// The datagrams of one status reply: pairs split without cutting one,
// each datagram numbered, "\final\" in the last.
#pragma once

#include "protocol/Wire.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace brenn::hosting {

using Pair = std::pair<std::string, std::string>;

// Largest datagram a reply is split into (protocol/Wire.h: below what
// browsers read).
constexpr std::size_t MaxDatagram = wire::ReplyDatagram;
// Room kept in every datagram for its tail: "\final\", "\queryid\" and
// "<query>.<part>" with a 32-bit query number.
constexpr std::size_t TailRoom = 40;
// The longest "\key\value" that fits a datagram of its own.
constexpr std::size_t MaxPairLength = MaxDatagram - TailRoom;

// The encoded length of one pair, "\key\value".
std::size_t pairLength(const Pair& pair);

// The bodies of a reply: the pairs, in order, spread evenly over `parts`
// datagrams (at least 1), more where a datagram would exceed MaxDatagram
// with its tail. A pair is never cut; one longer than MaxPairLength takes a
// datagram of its own and makes it longer than MaxDatagram (callers that
// must keep the limit refuse such pairs first). No pairs give one empty body.
std::vector<std::string> splitReply(const std::vector<Pair>& pairs, int parts);

// Appends the tail of part `part` (1-based) of `count` to *datagram:
// "\final\" when it is the last, then "\queryid\<query>.<part>".
void appendTail(std::string* datagram, std::uint32_t query, std::size_t part, std::size_t count);

// The whole reply to query number `query`: splitReply's bodies with their
// tails, e.g. "\hostname\Alpha\numplayers\3\final\\queryid\12.1".
std::vector<std::string> buildReply(const std::vector<Pair>& pairs, int parts, std::uint32_t query);

}  // namespace brenn::hosting
