// StringPool: the per-browser table in which every key and value text of
// every server is stored once, compared without regard to ASCII letter case.
#pragma once

#include "containers/HashTable.h"

namespace brenn {

// A HashTable of text addresses: 500 buckets growing by 4, hashed with
// stringHash, compared case-insensitively, texts freed with the table.
using StringPool = HashTable;

namespace stringpool {

// A new empty pool, or null when storage cannot be had.
StringPool* create();
// Frees the pool and every text in it. Null is ignored.
void destroy(StringPool* pool);
// The pooled text equal to text (ignoring ASCII case), or null.
const char* find(const StringPool* pool, const char* text);
// The pooled text equal to text, adding a copy when there is none. A text,
// once pooled, keeps its address and spelling. Null when a copy was needed
// and storage could not be had; the pool is then unchanged.
const char* intern(StringPool* pool, const char* text);

}  // namespace stringpool

}  // namespace brenn
