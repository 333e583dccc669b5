// BrowserServer: the engine's record of one server found on the LAN, with
// the table of keys and values its replies carried, and the value lookups.
#pragma once

#include "browser/BrowserTypes.h"
#include "browser/StringPool.h"

#include <cstdint>

namespace brenn {

// One key and its value, both pooled texts owned by the StringPool.
struct KeyValuePair {
    const char* key;
    const char* value;
};

// What a live listing knows of a server besides its values (zero outside
// live listing, apart from listed).
struct ServerLiveness {
    std::int32_t listed;          // 1 once a complete reply of it was reported
    std::int32_t slot;            // 1 + index of the query slot asking it; 0 when none is
    std::uint32_t dueTick;        // when its next query episode may begin
    std::uint32_t heardTick;      // when it last answered (a query or a broadcast)
    std::uint32_t answeredTick;   // when its last complete reply came
    std::int32_t failedEpisodes;  // episodes in a row given up without a complete reply
    std::uint32_t fingerprint;    // of the pairs last reported; 0: report the next reply
};

struct BrowserServer {
    std::uint32_t ip;         // IPv4 address, network byte order
    std::uint16_t queryPort;  // host byte order
    std::int16_t ping;        // ms from query to first reply; 9999 until measured
    std::int32_t queryType;   // BrowserQueryType
    HashTable* keys;          // KeyValuePair table, owned; null until a pair is stored
    StringPool* pool;         // the browser's pool, borrowed
    ServerLiveness liveness;
};

namespace server {

constexpr std::int16_t UnmeasuredPing = 9999;

// A new server with ping 9999, no pairs and zero liveness, or null when storage cannot be
// had. Freed by freeServer. Its key table, sized by queryType, is made when
// the first pair is stored (keyTable): a sender that never answers a query
// costs one small record, which keeps a flood of bogus answers cheap.
BrowserServer* create(std::uint32_t ip, std::uint16_t queryPort, std::int32_t queryType,
                      StringPool* pool);

// The server's key table, made on first use; null when storage cannot be
// had (the server is then unchanged).
HashTable* keyTable(BrowserServer* server);

// Gives server the pairs of `from` (both of the same pool) and frees the
// ones it held; `from` is left without pairs.
void takePairs(BrowserServer* server, BrowserServer* from);

// A hash of the server's pairs, the same whatever their order; never 0, so
// that 0 can mean "none taken yet".
std::uint32_t fingerprint(const BrowserServer* server);

// Element free function of the browser's server list: element is the
// address of a BrowserServer address. Frees the key table and the record;
// pooled texts stay in the pool.
void freeServer(void* element);

// Dotted decimal text of ip, in the platform's conversion buffer, which the
// next conversion overwrites.
const char* address(const BrowserServer* server);
std::uint16_t queryPort(const BrowserServer* server);
std::int32_t ping(const BrowserServer* server);

// Value of key (any letter case), as the server sent it, or fallback when the server has none.
// The key "hostaddr" (exact case) gives address(server). Pooled results
// stay valid until the browser is cleared or destroyed.
const char* stringValue(const BrowserServer* server, const char* key, const char* fallback);
// atoi of the value, or fallback when missing. "ping" (exact case) gives
// ping(server).
std::int32_t intValue(const BrowserServer* server, const char* key, std::int32_t fallback);
// atof of the value, or fallback when missing. No key is special.
double floatValue(const BrowserServer* server, const char* key, double fallback);
// stringValue of the key "<key>_<index>" (player_3), composed whatever the
// key's length.
const char* playerStringValue(const BrowserServer* server, std::int32_t index, const char* key,
                              const char* fallback);

// The stored pair for key (any letter case), or null. A key text that no
// server sent is answered from the pool alone.
const KeyValuePair* findPair(const BrowserServer* server, const char* key);

}  // namespace server

}  // namespace brenn
