// VelnarLanHost: the LAN hosting service, and the factory that creates it.
// A game that serves includes this header (or VelnarLanJoin.h, which
// includes it) to announce itself to the browsers on its LAN.
#pragma once

#include "../platform/Export.h"
#include "HostingTypes.h"
#include "IHostService.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking::velnar {

// Answers the "\status\" queries of browsers on the LAN, broadcast or sent
// to the game's query port, with the values the host set: hostname,
// gamename "ridgeline", numplayers (counted by the service), maxplayers,
// the host's server values and each player's values as "key_0", "key_1",
// ... A reply is split into datagrams of at most 1400 bytes, numbered
// "\queryid\Q.K", with "\final\" in the last. Only senders on the LAN are
// answered, and no more often than the limits allow (getLimits gives the
// defaults). Everything runs inside the host's calls on one thread; update()
// never waits. Destroy it with delete; that stops hosting.
class BRENN_EXPORT VelnarLanHost final : public IHostService {
public:
    explicit VelnarLanHost(std::string name);
    ~VelnarLanHost();
    VelnarLanHost(const VelnarLanHost&) = delete;
    VelnarLanHost& operator=(const VelnarLanHost&) = delete;

    // While hosting: reads every datagram waiting (at most
    // MaxDatagramsPerStep) and answers the admitted queries. Otherwise
    // nothing.
    void update() override;
    // The name the service was created with.
    std::string getName() override;
    // HostAlreadyHosting, HostBadPort (above 65535), HostBadValue (a name
    // the reply cannot carry), HostPortInUse, HostSocketFailed. The values
    // set before are kept and reported from the start.
    HostResult startHosting(const std::string& name, std::uint32_t port) override;
    void stopHosting() override;
    bool isHosting() override;
    HostResult setServerValue(const std::string& section, const std::string& key, const std::string& value) override;
    HostResult setPlayerValue(std::int32_t index, const std::string& key, const std::string& value) override;
    HostResult removePlayer(std::int32_t index) override;
    // 0 to MaxPlayerSlots and no fewer than the players present; 16 until set.
    HostResult setPlayerLimit(std::int32_t maxPlayers) override;

    // The port queries are answered on; 0 while not hosting.
    std::uint16_t getPort();
    // Players present, as numplayers reports them.
    std::int32_t getPlayerCount();
    HostLimits getLimits();
    // HostBadLimit for a rate or burst outside 1 to 1000000. The buckets
    // start full again.
    HostResult setLimits(const HostLimits& limits);
    // Counted from creation, across starts and stops.
    HostCounters getCounters();

    // Whether the game tells live browsers of itself (off until set; off,
    // the service sends nothing but replies to queries). While on and
    // hosting, it sends from its query port to UDP port 22020 of
    // 255.255.255.255 and of every interface's broadcast address:
    // "\announce\PORT\gamename\ridgeline\final\" (PORT the query port)
    // three times after hosting starts (at about 0, 1 and 3 s, each up to
    // 100 ms later), then once after its values or players change (at most
    // once per 6 s, the changes in between together; nothing while nothing
    // changes); and "\goodbye\PORT\gamename\ridgeline\final\" when
    // hosting stops: at once inside stopHosting or the destructor, before
    // the port closes, and again from the first update() 250 ms later. The
    // port stays held until that second copy, or the next startHosting, or
    // delete. Turned on while hosting, the hellos start at once; turned off,
    // nothing more is sent (no goodbye) and a port held for one is closed.
    void setAnnouncing(bool on);
    bool isAnnouncing();

    // Player slots are 0 to MaxPlayerSlots - 1.
    static constexpr std::int32_t MaxPlayerSlots = 256;
    // A reply takes at most this many datagrams; setters refuse more.
    static constexpr std::int32_t MaxReplyDatagrams = 64;
    // The most datagrams one update() reads.
    static constexpr std::int32_t MaxDatagramsPerStep = 10000;

private:
    struct State;

    void answer(std::uint32_t address, std::uint16_t port);

    std::string name;
    State* state;
};

}  // namespace brenn::matchmaking::velnar

// The plug-in's hosting factory, exported under this plain name: a new
// hosting service that is not hosting yet, or null when storage for it
// cannot be had. The host destroys it with delete.
extern "C" BRENN_EXPORT brenn::matchmaking::velnar::VelnarLanHost* CreateHostClass(std::string name);
