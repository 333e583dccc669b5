// SenderLimits: how many servers a browser takes from one sender address
// and in all, so that one broken or hostile machine answering from
// thousands of ports costs a bounded number of queries and bounded memory.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

// Servers of one address in the list. servers 0 marks an empty slot.
struct SenderCount {
    std::uint32_t address;  // network byte order
    std::int32_t servers;
    std::int32_t traced;    // 1 once its first answer over the bound was traced
};

// Zero bytes make an empty table; the bounds are set by limits::reset.
struct SenderLimits {
    std::int32_t perAddress;  // servers taken from one address at most
    std::int32_t total;       // servers in the list at most
    SenderCount* entries;     // capacity slots (linear probing), or null
    std::int32_t capacity;    // a power of two, or 0
    std::int32_t used;        // addresses with at least one server
    std::int32_t refused;     // answers ignored since the pass began
    std::int32_t totalTraced; // 1 once the total bound was traced in this pass
};

namespace limits {

// The bounds a browser starts with: a machine's servers (the port range
// gives a real one at most 11) and a LAN's.
constexpr std::int32_t DefaultPerAddress = 16;
constexpr std::int32_t DefaultTotal = 4096;
// Addresses counted without taking more storage, from the browser's
// creation: the machines of a large LAN.
constexpr std::int32_t ReservedAddresses = 512;

// Whether a new server of address may join a list of listLength servers:
// true, counted, when both bounds leave room; false, counted as refused
// (and traced once per address, and once for the total, per pass), when
// not, or when no storage can be had for the count.
bool admit(ServerBrowser* browser, std::uint32_t address, std::int32_t listLength);

// Makes room for the counts of `addresses` addresses at once, so that
// admitting them takes no storage. -1 (nothing changed) without storage,
// else 0.
int reserve(SenderLimits* limits, std::int32_t addresses);

// A server of address left the list (or was never added after admit).
void release(SenderLimits* limits, std::uint32_t address);

// Counts the servers of one address.
std::int32_t serversOf(const SenderLimits* limits, std::uint32_t address);

// Forgets every count (for an emptied list), keeping the bounds.
void forget(SenderLimits* limits);

// A new pass: refusals counted and traced afresh.
void newPass(SenderLimits* limits);

// Frees the table; the counts are gone, the bounds stay.
void releaseTable(SenderLimits* limits);

}  // namespace limits

}  // namespace brenn
