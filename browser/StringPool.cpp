// StringPool: interned key and value texts of a browser's servers.
#include "browser/StringPool.h"

#include "containers/Allocation.h"

#include <initializer_list>

namespace brenn::stringpool {

namespace {

constexpr std::int32_t PoolBuckets = 500;
constexpr std::int32_t PoolBucketGrowth = 4;

HashTable* createTable(ElementCompare compare) {
    return hashtable::create(sizeof(char*), PoolBuckets, PoolBucketGrowth, elements::hashText, compare,
                             elements::freeText);
}

const char* findIn(const HashTable* table, const char* text) {
    const void* found = hashtable::find(table, &text);
    return found == nullptr ? nullptr : *static_cast<char* const*>(found);
}

const char* internIn(HashTable* table, const char* text) {
    if (text == nullptr) return nullptr;
    if (const char* pooled = findIn(table, text)) return pooled;
    char* copy = allocation::duplicateText(text);
    if (copy == nullptr) return nullptr;
    if (hashtable::enter(table, &copy) != 0) {
        allocation::release(copy);
        return nullptr;
    }
    return copy;
}

}  // namespace

StringPool* create() {
    auto* pool = static_cast<StringPool*>(allocation::allocate(sizeof(StringPool)));
    if (pool == nullptr) return nullptr;
    pool->keys = createTable(elements::compareTextNoCase);
    pool->values = createTable(elements::compareText);
    if (pool->keys == nullptr || pool->values == nullptr) {
        destroy(pool);
        return nullptr;
    }
    return pool;
}

void destroy(StringPool* pool) {
    if (pool == nullptr) return;
    hashtable::destroy(pool->keys);
    hashtable::destroy(pool->values);
    allocation::release(pool);
}

const char* find(const StringPool* pool, const char* text) { return findIn(pool->keys, text); }

const char* intern(StringPool* pool, const char* text) { return internIn(pool->keys, text); }

const char* internValue(StringPool* pool, const char* text) { return internIn(pool->values, text); }

std::int32_t size(const StringPool* pool) {
    std::int32_t texts = 0;
    for (const HashTable* table : {pool->keys, pool->values})
        for (std::int32_t b = 0; b < table->bucketCount; ++b) texts += dynarray::length(table->buckets[b]);
    return texts;
}

}  // namespace brenn::stringpool
