// ServerIndex: open addressing with linear probing over (address, port).
#include "browser/ServerIndex.h"

#include "browser/BrowserServer.h"
#include "containers/Allocation.h"

#include <cstring>

namespace brenn::serverindex {

namespace {

constexpr std::int32_t MinimumCapacity = 64;
// Past this the slot array's size in bytes would leave the 32-bit range of
// positions anyway; a list that large is refused as out of storage.
constexpr std::int32_t MaximumCapacity = std::int32_t{1} << 28;

std::uint32_t slotFor(std::uint32_t address, std::uint16_t port, std::int32_t capacity) {
    std::uint64_t h = ((static_cast<std::uint64_t>(address) << 16) | port) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return static_cast<std::uint32_t>(h) & static_cast<std::uint32_t>(capacity - 1);
}

// The smallest capacity that keeps `count` entries at most half full, or 0
// when there is none.
std::int32_t capacityFor(std::int32_t count) {
    std::int32_t capacity = MinimumCapacity;
    while (capacity / 2 < count) {
        if (capacity >= MaximumCapacity) return 0;
        capacity *= 2;
    }
    return capacity;
}

ServerIndexEntry* emptySlots(std::int32_t capacity) {
    auto* entries = static_cast<ServerIndexEntry*>(
        allocation::allocate(static_cast<std::size_t>(capacity) * sizeof(ServerIndexEntry)));
    if (entries == nullptr) return nullptr;
    for (std::int32_t i = 0; i < capacity; ++i) entries[i].position = -1;
    return entries;
}

// Puts the entry in its slot unless that key is there already. Needs a free
// slot in the table.
void place(ServerIndexEntry* entries, std::int32_t capacity, std::uint32_t address, std::uint16_t port,
           std::int32_t position, std::int32_t* used) {
    std::uint32_t i = slotFor(address, port, capacity);
    const std::uint32_t mask = static_cast<std::uint32_t>(capacity - 1);
    while (entries[i].position != -1) {
        if (entries[i].address == address && entries[i].port == port) return;
        i = (i + 1) & mask;
    }
    entries[i].address = address;
    entries[i].port = port;
    entries[i].position = position;
    ++*used;
}

void dropStorage(ServerIndex* index) {
    allocation::release(index->entries);
    index->entries = nullptr;
    index->capacity = 0;
    index->used = 0;
    index->covered = 0;
}

int becomeStale(ServerIndex* index) {
    dropStorage(index);
    index->stale = 1;
    return -1;
}

// Moves the entries into a table of twice the capacity. -1 when it cannot.
int grow(ServerIndex* index) {
    const std::int32_t capacity = capacityFor(index->used + 1);
    if (capacity == 0) return -1;
    ServerIndexEntry* entries = emptySlots(capacity);
    if (entries == nullptr) return -1;
    std::int32_t used = 0;
    for (std::int32_t i = 0; i < index->capacity; ++i) {
        const ServerIndexEntry& e = index->entries[i];
        if (e.position != -1) place(entries, capacity, e.address, e.port, e.position, &used);
    }
    allocation::release(index->entries);
    index->entries = entries;
    index->capacity = capacity;
    index->used = used;
    return 0;
}

}  // namespace

bool usable(const ServerIndex* index, std::int32_t listLength) {
    return !index->stale && index->covered == listLength;
}

std::int32_t find(const ServerIndex* index, std::uint32_t address, std::uint16_t port) {
    if (index->capacity == 0) return -1;
    std::uint32_t i = slotFor(address, port, index->capacity);
    const std::uint32_t mask = static_cast<std::uint32_t>(index->capacity - 1);
    while (index->entries[i].position != -1) {
        if (index->entries[i].address == address && index->entries[i].port == port)
            return index->entries[i].position;
        i = (i + 1) & mask;
    }
    return -1;
}

int add(ServerIndex* index, std::uint32_t address, std::uint16_t port, std::int32_t position) {
    if (index->stale || position != index->covered) return -1;
    if ((index->used + 1) > index->capacity / 2 && grow(index) != 0) return becomeStale(index);
    place(index->entries, index->capacity, address, port, position, &index->used);
    index->covered = position + 1;
    return 0;
}

int rebuild(ServerIndex* index, const DynArray* servers) {
    dropStorage(index);
    index->stale = 0;
    const std::int32_t count = dynarray::length(servers);
    const std::int32_t capacity = capacityFor(count);
    if (capacity == 0) return becomeStale(index);
    index->entries = emptySlots(capacity);
    if (index->entries == nullptr) return becomeStale(index);
    index->capacity = capacity;
    for (std::int32_t i = 0; i < count; ++i) {
        const BrowserServer* server;
        std::memcpy(&server, dynarray::elementAt(servers, i), sizeof server);
        place(index->entries, capacity, server->ip, server->queryPort, i, &index->used);
    }
    index->covered = count;
    return 0;
}

void clear(ServerIndex* index) {
    for (std::int32_t i = 0; i < index->capacity; ++i) index->entries[i].position = -1;
    index->used = 0;
    index->covered = 0;
    index->stale = 0;
}

void release(ServerIndex* index) {
    dropStorage(index);
    index->stale = 0;
}

}  // namespace brenn::serverindex
