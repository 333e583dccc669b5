// ServerIndex: a map from a server's (address, port) to its position in the
// browser's server list, so that a discovery step handling thousands of
// answers finds each sender in constant time instead of walking the list.
#pragma once

#include "containers/DynArray.h"

#include <cstdint>

namespace brenn {

// One open-addressing slot; position -1 marks an empty slot.
struct ServerIndexEntry {
    std::uint32_t address;  // network byte order, as stored in the server
    std::uint16_t port;     // host byte order
    std::int32_t position;  // index in the server list, or -1
};

// Covers positions 0..covered-1 of one server list, keeping for every
// (address, port) the first position that holds it. An index that could not
// get storage is stale: it holds nothing, and the caller walks the list
// instead until a rebuild succeeds. Zero bytes make an empty, current index.
struct ServerIndex {
    ServerIndexEntry* entries;  // capacity slots (C allocator), or null
    std::int32_t capacity;      // a power of two, or 0
    std::int32_t used;          // filled slots
    std::int32_t covered;       // list positions 0..covered-1 are in the index
    std::int32_t stale;         // 1 when a failed allocation dropped the table
};

namespace serverindex {

// True when the index may be asked: not stale and covering exactly
// listLength positions.
bool usable(const ServerIndex* index, std::int32_t listLength);

// Position recorded for (address, port), or -1 when the index has none.
// Only meaningful when usable().
std::int32_t find(const ServerIndex* index, std::uint32_t address, std::uint16_t port);

// Records that position (which must equal covered) holds (address, port);
// an (address, port) already indexed keeps its earlier position. Result 0,
// or -1 when the table could not grow: the index is then stale and empty.
// A stale index ignores the call and returns -1.
int add(ServerIndex* index, std::uint32_t address, std::uint16_t port, std::int32_t position);

// Indexes every element of servers (BrowserServer pointers) from scratch.
// Result 0, or -1 (the index stale and empty) when storage cannot be had.
int rebuild(ServerIndex* index, const DynArray* servers);

// Empties the index for an empty list, keeping its storage. A stale index
// becomes current (an empty list needs no storage).
void clear(ServerIndex* index);

// Frees the storage; the index is then empty and current, as if zeroed.
void release(ServerIndex* index);

}  // namespace serverindex

}  // namespace brenn
