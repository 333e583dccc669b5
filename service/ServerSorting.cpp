// sortServers: the browser's list sorted by one key, and the host's records
// handed to its new-server hook again in that order.
#include "service/VelnarLanJoin.h"

#include "browser/ServerBrowser.h"

#include <list>
#include <vector>

namespace brenn::matchmaking::velnar {

namespace {

struct ServerEndpoint {
    std::string address;
    std::uint32_t port;
};

}  // namespace

void VelnarLanJoin::sortServers(bool ascending, const std::string& key, CompareMode mode) {
    // The browser keeps the key's address while it sorts: it must outlive
    // the sort, so it is this call's own copy.
    const std::string serverKey = keyMap != nullptr ? keyMap->lookup(key) : key;
    const std::int32_t ascendingFlag = ascending ? 1 : 0;
    const std::int32_t compareMode = getVelnarCompareMode(mode);

    // A running update queries the list by position: reordering it then
    // would query some servers twice and others never, so it sorts a copy.
    std::vector<brenn::BrowserServer*> sorted(static_cast<std::size_t>(browser::serverCount(browser)));
    if (browser::state(browser) == brenn::Idle) {
        browser::sort(browser, ascendingFlag, serverKey.c_str(), compareMode);
        for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = browser::serverAt(browser, static_cast<std::int32_t>(i));
    } else {
        browser::sortedCopy(browser, ascendingFlag, serverKey.c_str(), compareMode, sorted.data());
    }
    // The browser must not keep the address of the copy that goes with this
    // call, even when a copy below runs out of memory.
    browser->sortKey = "";

    // Every endpoint is copied before the first hook call, so a hook that
    // clears or sorts the browser again cannot disturb the walk.
    std::list<ServerEndpoint> endpoints;
    for (const brenn::BrowserServer* server : sorted)
        endpoints.push_back({server::address(server), server::queryPort(server)});
    for (const ServerEndpoint& endpoint : endpoints) joinMatchmaking->reannounceServer(endpoint.address, endpoint.port);
}

}  // namespace brenn::matchmaking::velnar
