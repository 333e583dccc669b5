// Sorting a browser's servers by one key of their replies.
#pragma once

#include <cstdint>

namespace brenn {

struct BrowserServer;
struct ServerBrowser;

namespace browser {

// Orders the browser's servers by the value of key: mode Integer (intValue,
// missing 0), Float (floatValue, missing 0.0), CaseSensitive (bytes),
// anything else case-insensitive (stringValue, missing ""). ascending
// non-zero puts the smallest first. The browser keeps the key's address in
// sortKey (not a copy). Equal values keep no set order. Not re-entrant: the
// comparators find the browser through one module-wide reference.
void sort(ServerBrowser* browser, std::int32_t ascending, const char* key, std::int32_t mode);

// Writes the browser's servers into out (room for serverCount pointers) in
// the order sort would give them, leaving the list itself as it is: a pass
// that is running walks the list by position, so it must not be reordered
// under it. Returns the number written. Updates sortKey and sortAscending as
// sort does.
std::int32_t sortedCopy(ServerBrowser* browser, std::int32_t ascending, const char* key, std::int32_t mode,
                        BrowserServer** out);

// The comparators, on addresses of two elements of the server list.
int compareByInt(const void* a, const void* b);
int compareByFloat(const void* a, const void* b);
int compareByText(const void* a, const void* b);
int compareByTextNoCase(const void* a, const void* b);

}  // namespace browser

}  // namespace brenn
