// StringPool: the per-browser tables in which every key and value text of
// every server is stored once, so that servers share their texts and key
// tables can compare keys by address.
#pragma once

#include "containers/HashTable.h"

namespace brenn {

// Two tables of text addresses (500 buckets growing by 4, hashed with
// stringHash, texts freed with the pool): keys, compared without regard to
// ASCII letter case, so that a key asked for in any case finds the pair;
// and values, compared exactly, so that every server's values read back as
// that server sent them.
struct StringPool {
    HashTable* keys;
    HashTable* values;
};

namespace stringpool {

// A new empty pool, or null when storage cannot be had.
StringPool* create();
// Frees the pool and every text in it. Null is ignored.
void destroy(StringPool* pool);
// The pooled key equal to text (ignoring ASCII case), or null.
const char* find(const StringPool* pool, const char* text);
// The pooled key equal to text (ignoring ASCII case), adding a copy when
// there is none. A key, once pooled, keeps its address and spelling. Null
// when a copy was needed and storage could not be had; the pool is then
// unchanged.
const char* intern(StringPool* pool, const char* text);
// The pooled value equal to text (exactly), adding a copy when there is
// none. Null when storage could not be had; the pool is then unchanged.
const char* internValue(StringPool* pool, const char* text);

// Texts held, keys and values together.
std::int32_t size(const StringPool* pool);

}  // namespace stringpool

}  // namespace brenn
