// IHostService: the hosting side of matchmaking: announcing a game this
// process serves. No service of this module implements it.
#pragma once

#include "../platform/Export.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking {

class BRENN_EXPORT IHostService {
public:
    IHostService();
    IHostService(const IHostService& other);
    IHostService& operator=(const IHostService& other);

    // Starts announcing a game under the given name on the given port.
    virtual bool startHosting(const std::string& name, std::uint32_t port) = 0;
    // Stops announcing it.
    virtual void stopHosting() = 0;
    virtual bool isHosting() = 0;
    // Answers pending queries of joining players; returns at once.
    virtual void update() = 0;
    // Sets a value that queries report, in a section such as "info".
    virtual void setServerValue(const std::string& section, const std::string& key,
                                const std::string& value) = 0;
    // Sets a value of player `index`.
    virtual void setPlayerValue(std::int32_t index, const std::string& key, const std::string& value) = 0;
    // Removes every value of player `index` (the player left).
    virtual void removePlayer(std::int32_t index) = 0;
    virtual void setPlayerLimit(std::int32_t maxPlayers) = 0;
    // The name the service was created with.
    virtual std::string getName() = 0;

protected:
    ~IHostService() = default;
};

}  // namespace brenn::matchmaking
