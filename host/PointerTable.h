// PointerTable: an open-addressed hash table of borrowed pointers whose keys
// live in the elements they point at; the record and value indexes use it.
#pragma once

#include "containers/Allocation.h"

#include <cstdint>
#include <cstring>

namespace brenn::matchmaking {

// Holds at most one pointer per slot, probing linearly, never more than half
// full, so that a lookup reads a slot or two. Traits::hash(const T*) gives an
// element's hash; lookups pass the probe's hash and a predicate. Slots come
// from the engine's allocator. A zeroed table is empty and valid; release()
// makes it so again. Nothing here throws.
template <typename T, typename Traits>
struct PointerTable {
    T** slots = nullptr;
    std::uint32_t mask = 0;   // slot count - 1 (a power of two); 0 while slots is null
    std::uint32_t count = 0;  // pointers held

    // The slot holding the element for which matches(element) is true, or
    // null. The slot stays valid until the table next changes.
    template <typename Matches>
    T** find(std::uint32_t hash, Matches matches) const {
        if (slots == nullptr) return nullptr;
        for (std::uint32_t i = hash & mask;; i = (i + 1) & mask) {
            if (slots[i] == nullptr) return nullptr;
            if (matches(slots[i])) return &slots[i];
        }
    }

    // Adds element (which must not be held yet), growing first when the
    // table would be over half full. False when storage cannot be had; the
    // table is then unchanged.
    bool insert(T* element) {
        if ((count + 1) * 2 > mask + 1 && !resize(slots == nullptr ? 16 : (mask + 1) * 2)) return false;
        place(slots, mask, element);
        ++count;
        return true;
    }

    // Makes room for `elements` pointers in one allocation. False when
    // storage cannot be had; the table is then unchanged.
    bool reserve(std::uint32_t elements) {
        std::uint32_t size = 16;
        while (size < elements * 2) size *= 2;
        return size <= mask + 1 || resize(size);
    }

    // Takes the pointer out of slot (a result of find), moving later members
    // of its run back so that no lookup stops short of them.
    void erase(T** slot) {
        std::uint32_t hole = static_cast<std::uint32_t>(slot - slots);
        for (std::uint32_t i = (hole + 1) & mask; slots[i] != nullptr; i = (i + 1) & mask) {
            const std::uint32_t home = Traits::hash(slots[i]) & mask;
            // Moves back only an element whose home is not in (hole, i].
            if (((i - home) & mask) >= ((i - hole) & mask)) {
                slots[hole] = slots[i];
                hole = i;
            }
        }
        slots[hole] = nullptr;
        --count;
    }

    // Frees the slots; the table is empty afterwards.
    void release() {
        allocation::release(slots);
        *this = PointerTable{};
    }

private:
    static void place(T** into, std::uint32_t intoMask, T* element) {
        std::uint32_t i = Traits::hash(element) & intoMask;
        while (into[i] != nullptr) i = (i + 1) & intoMask;
        into[i] = element;
    }

    bool resize(std::uint32_t size) {
        auto** fresh = static_cast<T**>(allocation::allocate(sizeof(T*) * size));
        if (fresh == nullptr) return false;
        std::memset(fresh, 0, sizeof(T*) * size);
        for (std::uint32_t i = 0; slots != nullptr && i <= mask; ++i)
            if (slots[i] != nullptr) place(fresh, size - 1, slots[i]);
        allocation::release(slots);
        slots = fresh;
        mask = size - 1;
        return true;
    }
};

// FNV-1a over the bytes of text up to its NUL, continuing from hash.
inline std::uint32_t hashText(const char* text, std::uint32_t hash = 2166136261u) {
    for (; *text != '\0'; ++text) hash = (hash ^ static_cast<unsigned char>(*text)) * 16777619u;
    return hash;
}

// Spreads the high bits of hash over the low ones that pick a slot.
inline std::uint32_t mixHash(std::uint32_t hash) {
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    return hash ^ (hash >> 13);
}

}  // namespace brenn::matchmaking
