// HashTable: a fixed number of DynArray buckets searched with the hash,
// compare and free functions given at creation.
#pragma once

#include "containers/DynArray.h"

#include <cstdint>

namespace brenn {

struct HashTable {
    DynArray** buckets;        // bucketCount arrays
    std::int32_t bucketCount;  // fixed, at least 1
    ElementFree elementFree;   // carried by every bucket, or null
    ElementHash hash;
    ElementCompare compare;
};

namespace hashtable {

// A new table of bucketCount empty buckets, each a DynArray of elementSize
// elements growing by bucketGrowthStep. Null when storage cannot be had or
// bucketCount is below 1. The caller owns it: destroy().
HashTable* create(std::int32_t elementSize, std::int32_t bucketCount, std::int32_t bucketGrowthStep,
                  ElementHash hash, ElementCompare compare, ElementFree elementFree);

// Destroys the buckets in index order (freeing their elements), then the
// table. Null is ignored.
void destroy(HashTable* table);

// Copies the element in, or replaces the element that compares equal (whose
// owned data elementFree releases first). Result 0, or -1 when the bucket
// could not grow; the table is then unchanged.
int enter(HashTable* table, const void* element);

// The stored element equal to the probe (only the members that hash and
// compare read need be set), or null. Valid until that bucket next grows.
void* find(const HashTable* table, const void* probe);

}  // namespace hashtable

}  // namespace brenn
