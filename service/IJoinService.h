// IJoinService: the joining side of matchmaking: finding servers to join.
#pragma once

#include "IService.h"
#include "MatchmakingTypes.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking {

// Slots, in order: update, getName, serverListFullUpdate,
// serverListInfoUpdate, serverListAuxUpdate, clearServers, sortServers.
class BRENN_EXPORT IJoinService : public IService {
public:
    IJoinService();
    IJoinService(const IJoinService& other);
    IJoinService& operator=(const IJoinService& other);

    // Starts a fresh server list update (the list is cleared first).
    virtual void serverListFullUpdate() = 0;
    // Starts an update of the information of the servers.
    virtual void serverListInfoUpdate(const std::string& server, QueryType queryType) = 0;
    // Starts an update that keeps the servers already known.
    virtual void serverListAuxUpdate(const std::string& server, std::uint32_t port, QueryType queryType) = 0;
    // Forgets the servers found (not the host's records).
    virtual void clearServers() = 0;
    // Sorts the servers by key and hands them to the host again in order.
    virtual void sortServers(bool ascending, const std::string& key, CompareMode mode) = 0;

protected:
    ~IJoinService() = default;
};

}  // namespace brenn::matchmaking
