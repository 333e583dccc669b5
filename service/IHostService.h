// IHostService: the hosting side of matchmaking: announcing a game this
// process serves, so that browsers on the LAN find it.
#pragma once

#include "HostingTypes.h"
#include "IService.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking {

// Slots, in order: update, getName, startHosting, stopHosting, isHosting,
// setServerValue, setPlayerValue, removePlayer, setPlayerLimit. Every
// operation that can fail says how in its HostResult and then changes
// nothing.
class BRENN_EXPORT IHostService : public IService {
public:
    IHostService();
    IHostService(const IHostService& other);
    IHostService& operator=(const IHostService& other);

    // Starts answering status queries on port, or on the first free port of
    // 22000 to 22010 when port is 0, reporting name as the "hostname".
    virtual HostResult startHosting(const std::string& name, std::uint32_t port) = 0;
    // Stops answering and gives the port back; the values stay.
    virtual void stopHosting() = 0;
    virtual bool isHosting() = 0;
    // Sets a value that queries report, in section "basic", "info", "rules"
    // or "teams".
    virtual HostResult setServerValue(const std::string& section, const std::string& key,
                                      const std::string& value) = 0;
    // Sets a value of the player in slot `index` (adding the player).
    virtual HostResult setPlayerValue(std::int32_t index, const std::string& key, const std::string& value) = 0;
    // Removes every value of the player in slot `index` (the player left).
    virtual HostResult removePlayer(std::int32_t index) = 0;
    // The "maxplayers" reported, and the most players the service takes.
    virtual HostResult setPlayerLimit(std::int32_t maxPlayers) = 0;

protected:
    ~IHostService() = default;
};

}  // namespace brenn::matchmaking
