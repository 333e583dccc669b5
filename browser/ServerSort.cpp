// Sorting the server list: the comparators and the browser's sort.
#include "browser/ServerSort.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace brenn::browser {

namespace {

// The browser being sorted, for the comparators.
const ServerBrowser* sortingBrowser = nullptr;

const BrowserServer* serverOf(const void* element) {
    const BrowserServer* server;
    std::memcpy(&server, element, sizeof server);
    return server;
}

int directed(int result) { return sortingBrowser->sortAscending ? result : -result; }

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

int compareByInt(const void* a, const void* b) {
    const std::int32_t x = server::intValue(serverOf(a), sortingBrowser->sortKey, 0);
    const std::int32_t y = server::intValue(serverOf(b), sortingBrowser->sortKey, 0);
    return directed((x > y) - (x < y));
}

int compareByFloat(const void* a, const void* b) {
    const double x = server::floatValue(serverOf(a), sortingBrowser->sortKey, 0.0);
    const double y = server::floatValue(serverOf(b), sortingBrowser->sortKey, 0.0);
    const double d = sortingBrowser->sortAscending ? x - y : y - x;
    return d > 0 ? 1 : (d < 0 ? -1 : 0);
}

namespace {

// Compares the two servers' texts for the sort key. The first text is
// copied when it is an address: address texts share the platform's one
// conversion buffer, which reading the second would overwrite.
int compareTexts(const void* a, const void* b, int (*compare)(const char*, const char*)) {
    const char* x = server::stringValue(serverOf(a), sortingBrowser->sortKey, "");
    char copy[32];
    if (std::strcmp(sortingBrowser->sortKey, "hostaddr") == 0) {
        std::snprintf(copy, sizeof copy, "%s", x);
        x = copy;
    }
    const char* y = server::stringValue(serverOf(b), sortingBrowser->sortKey, "");
    return directed(sign(compare(x, y)));
}

}  // namespace

int compareByText(const void* a, const void* b) { return compareTexts(a, b, std::strcmp); }

int compareByTextNoCase(const void* a, const void* b) { return compareTexts(a, b, compareNoCase); }

namespace {

// Picks the comparator and points the comparators at the browser and key.
ElementCompare prepare(ServerBrowser* browser, std::int32_t ascending, const char* key, std::int32_t mode) {
    ElementCompare compare;
    switch (mode) {
        case Integer: compare = compareByInt; break;
        case Float: compare = compareByFloat; break;
        case CaseSensitive: compare = compareByText; break;
        default: compare = compareByTextNoCase; break;
    }
    browser->sortKey = key;
    browser->sortAscending = ascending;
    sortingBrowser = browser;
    return compare;
}

}  // namespace

void sort(ServerBrowser* browser, std::int32_t ascending, const char* key, std::int32_t mode) {
    dynarray::sort(browser->servers, prepare(browser, ascending, key, mode));
    // Positions moved: index them anew (a failure leaves the list walk).
    serverindex::rebuild(&browser->serverIndex, browser->servers);
}

std::int32_t sortedCopy(ServerBrowser* browser, std::int32_t ascending, const char* key, std::int32_t mode,
                        BrowserServer** out) {
    const ElementCompare compare = prepare(browser, ascending, key, mode);
    const std::int32_t count = serverCount(browser);
    for (std::int32_t i = 0; i < count; ++i) out[i] = serverAt(browser, i);
    if (count > 1) std::qsort(out, static_cast<std::size_t>(count), sizeof *out, compare);
    return count;
}

}  // namespace brenn::browser

