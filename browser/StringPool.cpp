// StringPool: interned key and value texts of a browser's servers.
#include "browser/StringPool.h"

#include "containers/Allocation.h"

namespace brenn::stringpool {

namespace {

constexpr std::int32_t PoolBuckets = 500;
constexpr std::int32_t PoolBucketGrowth = 4;

}  // namespace

StringPool* create() {
    return hashtable::create(sizeof(char*), PoolBuckets, PoolBucketGrowth, elements::hashText,
                             elements::compareTextNoCase, elements::freeText);
}

void destroy(StringPool* pool) { hashtable::destroy(pool); }

const char* find(const StringPool* pool, const char* text) {
    const void* found = hashtable::find(pool, &text);
    return found == nullptr ? nullptr : *static_cast<char* const*>(found);
}

const char* intern(StringPool* pool, const char* text) {
    if (text == nullptr) return nullptr;
    if (const char* pooled = find(pool, text)) return pooled;
    char* copy = allocation::duplicateText(text);
    if (copy == nullptr) return nullptr;
    if (hashtable::enter(pool, &copy) != 0) {
        allocation::release(copy);
        return nullptr;
    }
    return copy;
}

}  // namespace brenn::stringpool
