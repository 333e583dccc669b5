// Renewing a browser's text pool: the pool keeps every text it was ever
// given, so a list that stays open while servers' values change (scores,
// player names) would grow without end. Renewal moves the texts in use
// into a new pool and frees the old one.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

namespace browser {

// Gives every server of the list, and every reply being put together in
// a slot, its pairs anew from a fresh pool holding only the texts they
// use, then frees the old pool. Pooled texts handed out before are invalid
// afterwards. NoMemory (and nothing changed) when storage cannot be had;
// else NoError.
std::int32_t renewPool(ServerBrowser* browser);

// Renews the pool when it holds more than twice the texts it held after
// its last renewal (and over a thousand more); records the size then.
void renewPoolIfGrown(ServerBrowser* browser);

}  // namespace browser

}  // namespace brenn
