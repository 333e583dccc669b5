// Renewing a browser's text pool with only the texts its servers use.
#include "browser/PoolRenewal.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/Trace.h"
#include "containers/Allocation.h"

#include <cstring>

namespace brenn::browser {

namespace {

constexpr std::int32_t GrowthAllowance = 1024;

// Copies the pairs of `from` into `to`, texts interned in to's pool.
// False when storage could not be had.
bool copyPairs(const BrowserServer* from, BrowserServer* to) {
    if (from->keys == nullptr) return true;
    for (std::int32_t b = 0; b < from->keys->bucketCount; ++b) {
        const DynArray* bucket = from->keys->buckets[b];
        for (std::int32_t i = 0; i < dynarray::length(bucket); ++i) {
            const auto* pair = static_cast<const KeyValuePair*>(dynarray::elementAt(bucket, i));
            KeyValuePair copy;
            copy.key = stringpool::intern(to->pool, pair->key);
            copy.value = copy.key == nullptr ? nullptr : stringpool::internValue(to->pool, pair->value);
            HashTable* keys = copy.value == nullptr ? nullptr : server::keyTable(to);
            if (keys == nullptr || hashtable::enter(keys, &copy) != 0) return false;
        }
    }
    return true;
}

}  // namespace

std::int32_t renewPool(ServerBrowser* browser) {
    // The records to renew: the list's servers, then the slots' replies.
    const std::int32_t listed = serverCount(browser);
    std::int32_t count = listed;
    for (std::int32_t i = 0; i < browser->slotCount; ++i) count += browser->querySlots[i].scratch != nullptr;
    auto* records = static_cast<BrowserServer**>(allocation::allocate(sizeof(BrowserServer*) * static_cast<std::size_t>(count + 1)));
    auto* copies = static_cast<BrowserServer**>(allocation::allocate(sizeof(BrowserServer*) * static_cast<std::size_t>(count + 1)));
    StringPool* pool = stringpool::create();
    if (copies != nullptr) std::memset(copies, 0, sizeof(BrowserServer*) * static_cast<std::size_t>(count + 1));
    bool ok = records != nullptr && copies != nullptr && pool != nullptr;
    if (ok) {
        for (std::int32_t i = 0; i < listed; ++i) records[i] = serverAt(browser, i);
        std::int32_t next = listed;
        for (std::int32_t i = 0; i < browser->slotCount; ++i)
            if (browser->querySlots[i].scratch != nullptr) records[next++] = browser->querySlots[i].scratch;
        for (std::int32_t i = 0; ok && i < count; ++i) {
            const BrowserServer* record = records[i];
            copies[i] = server::create(record->ip, record->queryPort, record->queryType, pool);
            ok = copies[i] != nullptr && copyPairs(record, copies[i]);
        }
    }
    if (ok) {
        for (std::int32_t i = 0; i < count; ++i) {
            server::takePairs(records[i], copies[i]);
            records[i]->pool = pool;
        }
        stringpool::destroy(browser->stringPool);
        browser->stringPool = pool;
        pool = nullptr;
    }
    // The copies are empty after a success; after a failure they go with
    // the new pool, and the servers keep what they had.
    for (std::int32_t i = 0; copies != nullptr && i < count; ++i) server::freeServer(&copies[i]);
    stringpool::destroy(pool);
    allocation::release(records);
    allocation::release(copies);
    return ok ? NoError : NoMemory;
}

void renewPoolIfGrown(ServerBrowser* browser) {
    LiveListing& live = browser->live;
    const std::int32_t texts = stringpool::size(browser->stringPool);
    if (texts <= 2 * live.pooledValues + GrowthAllowance) return;
    if (renewPool(browser) != NoError) {
        trace(browser, "text pool of %d texts could not be renewed for want of storage", static_cast<int>(texts));
        return;
    }
    live.pooledValues = stringpool::size(browser->stringPool);
    trace(browser, "text pool renewed: %d texts kept of %d", static_cast<int>(live.pooledValues),
          static_cast<int>(texts));
}

}  // namespace brenn::browser
