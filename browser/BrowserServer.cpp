// BrowserServer: creation, release and value lookups.
#include "browser/BrowserServer.h"

#include "containers/Allocation.h"
#include "platform/Platform.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace brenn::server {

namespace {

struct TableShape {
    std::int32_t buckets;
    std::int32_t growthStep;
};

TableShape shapeFor(std::int32_t queryType) {
    switch (queryType) {
        case Basic: return {4, 2};
        case Info: return {6, 2};
        case Rules: return {8, 2};
        case Players: return {8, 2};
        default: return {8, 4};
    }
}

// FNV-1a over the bytes: texts that differ in any byte, letter case
// included, hash apart.
std::uint32_t exactHash(const char* text) {
    std::uint32_t hash = 2166136261u;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c)
        hash = (hash ^ *c) * 16777619u;
    return hash;
}

}  // namespace

BrowserServer* create(std::uint32_t ip, std::uint16_t queryPort, std::int32_t queryType,
                      StringPool* pool) {
    auto* server = static_cast<BrowserServer*>(allocation::allocate(sizeof(BrowserServer)));
    if (server == nullptr) return nullptr;
    server->keys = nullptr;
    server->ip = ip;
    server->queryPort = queryPort;
    server->ping = UnmeasuredPing;
    server->queryType = queryType;
    server->pool = pool;
    std::memset(&server->liveness, 0, sizeof server->liveness);
    return server;
}

HashTable* keyTable(BrowserServer* server) {
    if (server->keys == nullptr) {
        const TableShape shape = shapeFor(server->queryType);
        server->keys = hashtable::create(sizeof(KeyValuePair), shape.buckets, shape.growthStep,
                                         elements::hashText, elements::compareFirstAddress, nullptr);
    }
    return server->keys;
}

void takePairs(BrowserServer* server, BrowserServer* from) {
    hashtable::destroy(server->keys);
    server->keys = from->keys;
    from->keys = nullptr;
}

std::uint32_t fingerprint(const BrowserServer* server) {
    std::uint32_t sum = 0;
    if (server->keys != nullptr) {
        for (std::int32_t b = 0; b < server->keys->bucketCount; ++b) {
            const DynArray* bucket = server->keys->buckets[b];
            for (std::int32_t i = 0; i < dynarray::length(bucket); ++i) {
                const auto* pair = static_cast<const KeyValuePair*>(dynarray::elementAt(bucket, i));
                const std::uint32_t key = exactHash(pair->key);
                sum += (key * 0x9E3779B1u) ^ (exactHash(pair->value) + 0x7F4A7C15u + (key << 6) + (key >> 2));
            }
        }
    }
    return sum == 0 ? 1 : sum;
}

void freeServer(void* element) {
    BrowserServer* server;
    std::memcpy(&server, element, sizeof server);
    if (server == nullptr) return;
    hashtable::destroy(server->keys);
    allocation::release(server);
}

const char* address(const BrowserServer* server) { return platform::addressToText(server->ip); }

std::uint16_t queryPort(const BrowserServer* server) { return server->queryPort; }

std::int32_t ping(const BrowserServer* server) { return server->ping; }

const KeyValuePair* findPair(const BrowserServer* server, const char* key) {
    if (server->keys == nullptr) return nullptr;
    const char* pooled = stringpool::find(server->pool, key);
    if (pooled == nullptr) return nullptr;
    return static_cast<const KeyValuePair*>(hashtable::find(server->keys, &pooled));
}

const char* stringValue(const BrowserServer* server, const char* key, const char* fallback) {
    if (std::strcmp(key, "hostaddr") == 0) return address(server);
    const KeyValuePair* pair = findPair(server, key);
    return pair == nullptr ? fallback : pair->value;
}

std::int32_t intValue(const BrowserServer* server, const char* key, std::int32_t fallback) {
    if (std::strcmp(key, "ping") == 0) return ping(server);
    const KeyValuePair* pair = findPair(server, key);
    if (pair == nullptr) return fallback;
    // atoi's reading, held to the 32-bit range instead of overflowing.
    const long long value = std::strtoll(pair->value, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

double floatValue(const BrowserServer* server, const char* key, double fallback) {
    const KeyValuePair* pair = findPair(server, key);
    return pair == nullptr ? fallback : std::strtod(pair->value, nullptr);
}

const char* playerStringValue(const BrowserServer* server, std::int32_t index, const char* key,
                              const char* fallback) {
    char local[32];
    const int length = std::snprintf(local, sizeof local, "%s_%d", key, static_cast<int>(index));
    if (length < 0) return fallback;
    if (static_cast<std::size_t>(length) < sizeof local) return stringValue(server, local, fallback);
    // A long key: compose it on the heap instead of cutting it.
    auto* composed = static_cast<char*>(allocation::allocate(static_cast<std::size_t>(length) + 1));
    if (composed == nullptr) return fallback;
    std::snprintf(composed, static_cast<std::size_t>(length) + 1, "%s_%d", key, static_cast<int>(index));
    const char* value = stringValue(server, composed, fallback);
    allocation::release(composed);
    return value;
}

}  // namespace brenn::server
