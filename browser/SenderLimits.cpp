// SenderLimits: a small open-addressing table of servers per address.
#include "browser/SenderLimits.h"

#include "browser/BrowserCore.h"
#include "browser/Trace.h"
#include "containers/Allocation.h"

#include <cstring>

namespace brenn::limits {

namespace {

constexpr std::int32_t MinimumCapacity = 32;

// Every bit of the address reaches the slot: addresses of one subnet, in
// network byte order, differ only in their high bytes.
std::uint32_t home(std::uint32_t address, std::int32_t capacity) {
    std::uint32_t h = address;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h & static_cast<std::uint32_t>(capacity - 1);
}

// The slot holding address, or the empty slot where it would go; -1 in an
// empty table.
std::int32_t slotOf(const SenderLimits* limits, std::uint32_t address) {
    if (limits->capacity == 0) return -1;
    const std::uint32_t mask = static_cast<std::uint32_t>(limits->capacity - 1);
    std::uint32_t i = home(address, limits->capacity);
    while (limits->entries[i].servers != 0 && limits->entries[i].address != address) i = (i + 1) & mask;
    return static_cast<std::int32_t>(i);
}

// Moves the entries into a table of `capacity` slots (a power of two, more
// than twice the addresses held). -1 (the table unchanged) without storage.
int resize(SenderLimits* limits, std::int32_t capacity) {
    auto* entries = static_cast<SenderCount*>(allocation::allocate(static_cast<std::size_t>(capacity) * sizeof(SenderCount)));
    if (entries == nullptr) return -1;
    std::memset(entries, 0, static_cast<std::size_t>(capacity) * sizeof(SenderCount));
    SenderLimits grown = *limits;
    grown.entries = entries;
    grown.capacity = capacity;
    for (std::int32_t i = 0; i < limits->capacity; ++i)
        if (limits->entries[i].servers != 0) grown.entries[slotOf(&grown, limits->entries[i].address)] = limits->entries[i];
    allocation::release(limits->entries);
    *limits = grown;
    return 0;
}

// Keeps the table at most half full. -1 (the table unchanged) without storage.
int makeRoom(SenderLimits* limits) {
    if ((limits->used + 1) * 2 <= limits->capacity) return 0;
    return resize(limits, limits->capacity == 0 ? MinimumCapacity : limits->capacity * 2);
}

bool refuse(ServerBrowser* browser, std::uint32_t address, SenderCount* count) {
    SenderLimits& limits = browser->limits;
    limits.refused += 1;
    if (count != nullptr && !count->traced) {
        count->traced = 1;
        browser::trace(browser, "%s: more than %d servers from one address; its further answers ignored",
              platform::addressToText(address), static_cast<int>(limits.perAddress));
    } else if (count == nullptr && !limits.totalTraced) {
        limits.totalTraced = 1;
        browser::trace(browser, "%d servers listed: further answers ignored", static_cast<int>(limits.total));
    }
    return false;
}

}  // namespace

bool admit(ServerBrowser* browser, std::uint32_t address, std::int32_t listLength) {
    SenderLimits& limits = browser->limits;
    std::int32_t slot = slotOf(&limits, address);
    if (slot != -1 && limits.entries[slot].servers >= limits.perAddress)
        return refuse(browser, address, &limits.entries[slot]);
    if (listLength >= limits.total) return refuse(browser, address, nullptr);
    if (slot == -1 || limits.entries[slot].servers == 0) {
        if (makeRoom(&limits) != 0) {
            limits.refused += 1;
            return false;
        }
        slot = slotOf(&limits, address);
        limits.entries[slot].address = address;
        limits.entries[slot].traced = 0;
        limits.used += 1;
    }
    limits.entries[slot].servers += 1;
    return true;
}

int reserve(SenderLimits* limits, std::int32_t addresses) {
    std::int32_t capacity = MinimumCapacity;
    while (capacity < 2 * addresses) capacity *= 2;
    return capacity <= limits->capacity ? 0 : resize(limits, capacity);
}

void release(SenderLimits* limits, std::uint32_t address) {
    const std::int32_t slot = slotOf(limits, address);
    if (slot == -1 || limits->entries[slot].servers == 0) return;
    if (--limits->entries[slot].servers > 0) return;
    // Backward-shift deletion keeps every later entry of the run findable.
    limits->used -= 1;
    const std::uint32_t mask = static_cast<std::uint32_t>(limits->capacity - 1);
    std::uint32_t hole = static_cast<std::uint32_t>(slot);
    for (std::uint32_t i = (hole + 1) & mask; limits->entries[i].servers != 0; i = (i + 1) & mask) {
        const std::uint32_t want = home(limits->entries[i].address, limits->capacity);
        // The entry may move into the hole when its home is not within (hole, i].
        if (((i - want) & mask) >= ((i - hole) & mask)) {
            limits->entries[hole] = limits->entries[i];
            limits->entries[i].servers = 0;
            hole = i;
        }
    }
}

std::int32_t serversOf(const SenderLimits* limits, std::uint32_t address) {
    const std::int32_t slot = slotOf(limits, address);
    return slot == -1 ? 0 : limits->entries[slot].servers;
}

void forget(SenderLimits* limits) {
    if (limits->entries != nullptr)
        std::memset(limits->entries, 0, static_cast<std::size_t>(limits->capacity) * sizeof(SenderCount));
    limits->used = 0;
}

void newPass(SenderLimits* limits) {
    limits->refused = 0;
    limits->totalTraced = 0;
    for (std::int32_t i = 0; i < limits->capacity; ++i) limits->entries[i].traced = 0;
}

void releaseTable(SenderLimits* limits) {
    allocation::release(limits->entries);
    limits->entries = nullptr;
    limits->capacity = 0;
    limits->used = 0;
}

}  // namespace brenn::limits
