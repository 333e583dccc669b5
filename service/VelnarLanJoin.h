// VelnarLanJoin: the LAN join service, and the factory that creates it. This
// is the plug-in's chief header: a host includes it and nothing else.
#pragma once

#include "../host/JoinMatchmaking.h"
#include "../host/ServerData.h"
#include "../keymap/KeyMap.h"
#include "../platform/Export.h"
#include "IHostService.h"
#include "IJoinService.h"
#include "VelnarLanHost.h"
#include "MatchmakingTypes.h"

#include <cstdint>
#include <string>

namespace brenn {
struct ServerBrowser;
}

namespace brenn::matchmaking::velnar {

// Finds the game's servers on the local network. The host creates it with
// CreateJoinClass, lends it a JoinMatchmaking for its whole life, requests
// an update and then calls update() from its loop until the state hook hears
// 1. Everything runs inside the host's calls, on the host's one thread; the
// service has no thread or timer. Destroy it with delete (from the thread
// that uses it); a running update is dropped without a hook call, and the
// host's records stay.
class BRENN_EXPORT VelnarLanJoin final : public IJoinService {
public:
    // Creates the browser (queries in flight: joinMatchmaking's
    // maxConcurrentQueries) and loads the key map from the current directory
    // + "\MultiplayerServers\VelnarKeyMap.ini". A missing key map is shown
    // to the user once and leaves the map empty. Check browserReady() (or use
    // CreateJoinClass, which does) before use.
    VelnarLanJoin(std::string name, JoinMatchmaking* joinMatchmaking);
    // As above, with the key map read from keyMapFile (opened through the
    // platform layer, so '\' separators work everywhere) instead of the
    // current directory's. A missing file is shown the same way.
    VelnarLanJoin(std::string name, JoinMatchmaking* joinMatchmaking, const std::string& keyMapFile);
    ~VelnarLanJoin();
    VelnarLanJoin(const VelnarLanJoin&) = delete;
    VelnarLanJoin& operator=(const VelnarLanJoin&) = delete;

    // While an update runs: one step of it (never blocks). Otherwise nothing.
    void update() override;
    std::string getName() override;
    // Clears the server list and starts an update (ignored while one runs).
    void serverListFullUpdate() override;
    // As serverListFullUpdate; both arguments are ignored.
    void serverListInfoUpdate(const std::string& server, QueryType queryType) override;
    // Starts an update that keeps the servers found before (ignored while one
    // runs); all three arguments are ignored.
    void serverListAuxUpdate(const std::string& server, std::uint32_t port, QueryType queryType) override;
    // Forgets the servers found; ignored while an update runs.
    void clearServers() override;
    // Sorts the servers by the value of key (a key map key, translated to
    // its server key, or a server key) and hands the host's record of each
    // to the new-server hook again, in order, with progress 0 and isNew true.
    // The browser's own list takes the new order only when no update runs,
    // so that a running update still queries every server once.
    void sortServers(bool ascending, const std::string& key, CompareMode mode) override;
    // Pass the values to the host's new-server hook and state hook.
    virtual void newServerData(ServerData* serverData, std::uint32_t progress, bool isNew);
    virtual void serverStateChanged(std::uint32_t state);

    JoinMatchmaking* getJoinMatchmaking();
    // The key map; null only when no storage for it was to be had.
    KeyMap* getKeyMap();
    // Sets the updating flag as it stands, nothing more: update() steps the
    // browser only while it is set. Hosts call it (to stop stepping, or to
    // step again); keep it a plain setter.
    void setUpdating(bool updating);
    // True from an update request until the update is over.
    bool isUpdating();
    // Moves the server id counter on by one and returns the new value: 1
    // for the first call. The service calls it once per record it creates,
    // and hosts call it too, to number records of their own from the same
    // counter: a call always uses an id up, so keep it a counter, not a
    // getter.
    std::uint32_t getNextServerId();
    // The service's name as text, owned by the service.
    const char* getServiceId();
    // False when the browser could not be created for want of storage.
    bool browserReady() const;
    // What went wrong with the last update, once the state hook heard 1:
    // UpdateFine; UpdateNoSocket when it could not open its sockets (it
    // then ended at once: isUpdating() false, the state hook heard 1 before
    // the request returned); UpdateNoBroadcast when not one broadcast could
    // be sent (no network is up, no route), so no server could answer;
    // UpdateKeptServers when a full or info update could not clear the list
    // for want of memory and so kept the servers found before.
    UpdateProblem getUpdateProblem() const;
    // Hands every trace line of the updates to hook (null: none), with
    // context: each broadcast round, each server asked again and why, parts
    // of a reply that came twice, replies given up, the receive buffer the
    // system granted. Costs nothing while unset.
    void setTraceHook(TraceHook hook, void* context);
    // The receive buffer, in bytes, that an update asks the system for on
    // its discovery socket, so that servers answering the broadcast all at
    // once are not dropped by a full buffer: DefaultReceiveBuffer (1 MiB)
    // unless set. 0 (or less) asks for nothing and keeps the system's
    // default. The system may grant less (Linux caps it at
    // net.core.rmem_max; the trace tells the grant). Takes effect at the
    // next update request; a running update keeps its socket.
    void setReceiveBufferRequest(std::int32_t bytes);
    std::int32_t getReceiveBufferRequest() const;

    // Opens a live list (ignored while an update or a live list runs): the
    // servers listed before are kept and asked at once; every server is
    // queried as soon as it answers the broadcast and reaches the new-server
    // hook as soon as its reply is complete (isNew true when the host holds
    // no record of it), again (isNew false) whenever its values change, and
    // the gone hook when it stops answering (16 s after it was last heard)
    // or says goodbye. The state hook hears HostStateLive once the first
    // sweep is complete, and HostStateIdle when the list is closed. Call
    // update() from the loop while isUpdating() is true, as for a pass. A
    // list that cannot open its sockets ends at once as a pass does
    // (UpdateNoSocket).
    void serverListLiveUpdate();
    // Ends the live list, or the update that runs, at once: nothing is sent
    // afterwards, the servers and records stay, isUpdating() turns false and
    // the state hook hears HostStateIdle. Nothing when none runs. A hook may
    // call it.
    void closeList();
    // True while a live list is open.
    bool isLive() const;
    // Hands every server that leaves a live list to hook (null: none), with
    // context. The record is the host's: the service clears its
    // browserServer and never frees it.
    void setServerGoneHook(ServerGoneHook hook, void* context);
    // The bounds on the servers taken per address and in all (both at least
    // 1; false, and nothing changed, otherwise). They hold from the next
    // answer on; servers listed already stay.
    bool setServerLimits(const ServerLimits& limits);
    ServerLimits getServerLimits() const;

    // The most player values written per key map entry and server, whatever
    // "numplayers" a server claims.
    static constexpr std::int32_t MaxPlayers = 256;
    // The receive buffer asked for unless setReceiveBufferRequest says otherwise.
    static constexpr std::int32_t DefaultReceiveBuffer = 1 << 20;

private:
    std::int32_t getVelnarQueryType(QueryType queryType);
    std::int32_t getVelnarCompareMode(CompareMode mode);
    // The browser's event callback: instance is the service.
    static void onBrowserEvent(brenn::ServerBrowser* browser, std::int32_t event, void* instance,
                               void* param1, std::int32_t param2);
    void onServerUpdated(void* browserServer, std::uint32_t progress);
    void onServerGone(void* browserServer, bool listed);
    // Starts an update, from an empty list when fresh.
    void startUpdate(bool fresh);

    char* serviceId;
    JoinMatchmaking* joinMatchmaking;
    KeyMap* keyMap;
    bool updating;
    std::uint32_t nextServerId;
    brenn::ServerBrowser* browser;
    UpdateProblem updateProblem;
    ServerGoneHook goneHook;
    void* goneContext;

    friend class VelnarLanJoinProbe;  // lets tests reach the private mappings
};

}  // namespace brenn::matchmaking::velnar

// The plug-in's factory, exported under this plain name: a new service for
// the host's JoinMatchmaking, or null when storage for it cannot be had.
// The host destroys it with delete.
extern "C" BRENN_EXPORT brenn::matchmaking::velnar::VelnarLanJoin* CreateJoinClass(
    std::string name, brenn::matchmaking::JoinMatchmaking* joinMatchmaking);
