// HashTable: a fixed number of DynArray buckets.
#include "containers/HashTable.h"

#include "containers/Allocation.h"

namespace brenn::hashtable {

namespace {

DynArray* bucketFor(const HashTable* table, const void* element) {
    return table->buckets[table->hash(element, static_cast<std::uint32_t>(table->bucketCount))];
}

}  // namespace

HashTable* create(std::int32_t elementSize, std::int32_t bucketCount, std::int32_t bucketGrowthStep,
                  ElementHash hash, ElementCompare compare, ElementFree elementFree) {
    if (bucketCount < 1) return nullptr;
    auto* table = static_cast<HashTable*>(allocation::allocate(sizeof(HashTable)));
    if (table == nullptr) return nullptr;
    table->buckets = static_cast<DynArray**>(
        allocation::allocate(static_cast<std::size_t>(bucketCount) * sizeof(DynArray*)));
    if (table->buckets == nullptr) {
        allocation::release(table);
        return nullptr;
    }
    table->bucketCount = bucketCount;
    table->elementFree = elementFree;
    table->hash = hash;
    table->compare = compare;
    for (std::int32_t i = 0; i < bucketCount; ++i) {
        table->buckets[i] = dynarray::create(elementSize, bucketGrowthStep, elementFree);
        if (table->buckets[i] == nullptr) {
            table->bucketCount = i;
            destroy(table);
            return nullptr;
        }
    }
    return table;
}

void destroy(HashTable* table) {
    if (table == nullptr) return;
    for (std::int32_t i = 0; i < table->bucketCount; ++i) dynarray::destroy(table->buckets[i]);
    allocation::release(table->buckets);
    allocation::release(table);
}

int enter(HashTable* table, const void* element) {
    DynArray* bucket = bucketFor(table, element);
    const std::int32_t i = dynarray::search(bucket, element, table->compare, 0, 0);
    if (i == -1) return dynarray::append(bucket, element);
    dynarray::replaceAt(bucket, element, i);
    return 0;
}

void* find(const HashTable* table, const void* probe) {
    DynArray* bucket = bucketFor(table, probe);
    const std::int32_t i = dynarray::search(bucket, probe, table->compare, 0, 0);
    return i == -1 ? nullptr : dynarray::elementAt(bucket, i);
}

}  // namespace brenn::hashtable
