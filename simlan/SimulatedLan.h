// A simulated LAN: in-memory UDP between machines with IPv4 addresses, a manual
// clock, per-machine latency, impairments per direction (loss, bursts,
// duplication, reordering, delay), and failure injection. Installed in place
// of the real platform, it lets tests drive every timing edge of the engine
// with no sockets and no sleeping.
//
// Use:
//     brenn::platform::SimulatedLan lan;          // installs itself
//     lan.addStatusServer("10.0.0.7", 22000, {"\\hostname\\A\\final\\"});
//     ... run the engine, lan.advance(1000) to move the clock ...
//     // the destructor puts the previous platform operations back
//
// The engine's sockets live on the "player" machine (10.0.0.1 unless given).
// A socket gets a local port (from 50000 up) on its first send. A socket
// bound to a port (a hosted game's) belongs to the bind address, the
// player's unless setBindAddress names another machine, so that a browser and
// several hosted games run on one LAN in one process. A datagram sent to
// 255.255.255.255 reaches every server and every bound socket at that
// port, on every machine, unless the player has interfaces (addInterface):
// then the LAN is made of segments, one per interface, and broadcasts reach
// the servers and bound sockets of the segment they are sent to (and the
// player's own bound sockets). Shared sockets (bindSharedUdpSocket) of
// any machine share their port: each hears every broadcast to it, a
// datagram sent to the machine at that port reaches the first bound. A
// broadcast sent from another machine than the player's reaches the bound and
// shared sockets at its port on the machines of its own segment (the player's
// included), never the servers. Servers are responders: functions called
// with each datagram that reaches them, which answer through reply() or
// send(). Datagrams can be lost, duplicated, reordered and delayed per
// direction, by seeded generators, so that runs repeat. A datagram arrives
// when its delays have passed on the clock; receiveTimed reports that tick
// however far the clock moved before the receive.
//
// It is a library of its own, VelnarLanJoinSimLan (CMake target
// VelnarLanJoin::SimLan, pkg-config velnarlanjoin-simlan), for the tests of
// hosts: it installs itself in the plug-in's platform table, so a host's
// test links it beside the plug-in. The plug-in itself carries none of it.
#pragma once

#include "../platform/Platform.h"
#include "Export.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brenn::platform {

class BRENN_SIMLAN_EXPORT SimulatedLan {
public:
    // One datagram as the LAN carried it. Addresses in network byte order,
    // ports in host byte order.
    struct Datagram {
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        std::uint32_t toAddress = 0;
        std::uint16_t toPort = 0;
        std::string payload;
        std::uint32_t sentAt = 0;  // tick at which it was sent
        // Sent to a broadcast address; toAddress then names the server it reached.
        bool broadcast = false;
        // Ms this request spent on its way to the server (delay and
        // reordering toward the servers); its replies leave after it.
        std::uint32_t delay = 0;
    };

    // What happens to datagrams in one direction. Each datagram meets, in
    // turn: loss (independent, or in bursts), duplication, reordering.
    struct Impairment {
        double loss = 0.0;        // share lost, each datagram on its own
        // Bursts (a two-state model): a datagram starts a burst with this
        // chance; in a burst every datagram is lost, and each ends it with
        // burstEnd's chance.
        double burstStart = 0.0;
        double burstEnd = 1.0;
        double duplicate = 0.0;   // share delivered twice (the copy 1 ms later)
        double reorder = 0.0;     // share held back by reorderDelay ms
        std::uint32_t reorderDelay = 0;
        std::uint32_t delay = 0;  // ms added to every datagram
    };
    enum class Direction { ToPlayer, FromPlayer };

    // Flags of addInterface, as listInterfaces reports them.
    static constexpr std::uint32_t BroadcastInterface = InterfaceUp | InterfaceBroadcast;
    static constexpr std::uint32_t PointToPointInterface = InterfaceUp | InterfacePointToPoint;

    // Called with the LAN and each datagram that reaches a server.
    using Responder = std::function<void(SimulatedLan& lan, const Datagram& request)>;

    // Creates the LAN with the clock at startTick and installs it as the
    // current platform (only one LAN may be installed at a time).
    explicit SimulatedLan(const char* playerAddress = "10.0.0.1", std::uint32_t startTick = 100000);
    // Puts back the platform operations that were current at construction.
    ~SimulatedLan();
    SimulatedLan(const SimulatedLan&) = delete;
    SimulatedLan& operator=(const SimulatedLan&) = delete;

    // --- Clock ---------------------------------------------------------
    std::uint32_t now() const;
    void setNow(std::uint32_t tick);  // also moves backwards, for wraparound
    void advance(std::uint32_t milliseconds);
    // Milliseconds that sleep() was asked for, in all.
    std::uint64_t sleptMilliseconds() const;

    // --- Hosts and servers -----------------------------------------------
    // Delay (ms) of every datagram the machine at that address sends.
    void setLatency(const std::string& address, std::uint32_t milliseconds);
    // Loss, bursts, duplication, reordering and delay of every datagram in
    // one direction (to the player's sockets, or from them to the
    // servers), drawn from a generator seeded with seed.
    void setImpairment(Direction direction, const Impairment& impairment, std::uint32_t seed = 1);
    // Datagrams the impairments dropped, and the copies they added.
    std::uint64_t impairedLost() const;
    std::uint64_t impairedCopies() const;

    // --- The player's interfaces and the segments behind them -------------
    // Gives the player an interface (listInterfaces reports it). Once the
    // player has one, each server belongs to the segment of the interface
    // whose subnet holds its address; a datagram to an interface's
    // broadcast address reaches the servers of its segment, and
    // 255.255.255.255 leaves by the broadcast route only. The first
    // broadcast interface added holds the route until setBroadcastRoute.
    void addInterface(const std::string& address, const std::string& netmask,
                      std::uint32_t flags = BroadcastInterface);
    // The interface 255.255.255.255 leaves by (as a default route or a VPN
    // takes it); "" for no route: sending to it then fails.
    void setBroadcastRoute(const std::string& interfaceAddress);
    // listInterfaces fails (returns -1) while set.
    void setInterfaceListFails(bool fails);
    // Receive buffer granted to setReceiveBuffer requests: the request
    // itself up to this cap (default 4 MiB).
    void setReceiveBufferCap(int bytes);
    // What the last setReceiveBuffer request on any socket asked for.
    int lastReceiveBufferRequest() const;

    // The machine that sockets bound from now on belong to (the player's
    // address until this is called).
    void setBindAddress(const std::string& address);
    // Binds a responder to address:port (host byte order). Replaces one
    // already bound there.
    void addServer(const std::string& address, std::uint16_t port, Responder responder);
    // A server that answers every datagram beginning with "\status\" with
    // the given datagrams, each `gap` ms after the one before.
    void addStatusServer(const std::string& address, std::uint16_t port,
                         std::vector<std::string> reply, std::uint32_t gap = 0);
    // A server that receives but never answers.
    void addSilentServer(const std::string& address, std::uint16_t port);
    void removeServer(const std::string& address, std::uint16_t port);

    // Sends a datagram from a server's address:port to the sender of
    // `request`, after the server machine's latency plus extraDelay.
    void reply(const Datagram& request, std::string payload, std::uint32_t extraDelay = 0);
    // Sends a datagram from any address and port to any address and port
    // (a hostile sender, a late reply). Delivered after the sending machine's
    // latency plus extraDelay; broadcasts are not routed from here.
    void send(std::uint32_t fromAddress, std::uint16_t fromPort, std::uint32_t toAddress,
              std::uint16_t toPort, std::string payload, std::uint32_t extraDelay = 0);
    // Makes the next receive on the engine socket bound at port (host order)
    // fail, reporting the given sender (0, 0: no sender, as POSIX does).
    void queueReceiveError(std::uint16_t playerPort, std::uint32_t fromAddress = 0,
                           std::uint16_t fromPort = 0);

    // --- Observation ----------------------------------------------------
    // Every datagram the engine's sockets sent (bound ones included), in order.
    const std::vector<Datagram>& sent() const;
    void clearSent();
    // Engine sockets open now, and the most ever open at once.
    int openSockets() const;
    int peakOpenSockets() const;
    // startSockets calls minus endSockets calls.
    int socketsLayerUsers() const;
    // Messages shown, as "caption: text".
    const std::vector<std::string>& messages() const;
    // Datagrams waiting (due or not) on all engine sockets.
    std::size_t pending() const;

    // --- Failure injection ----------------------------------------------
    // At most this many engine sockets open at once; -1 for no limit.
    void setSocketLimit(int limit);
    void setBroadcastFails(bool fails);
    void setPollFails(bool fails);
    // The current directory reported to the engine.
    void setCurrentDirectory(std::string directory);

    // Address text to network byte order, for tests ("10.0.0.7").
    static std::uint32_t address(const std::string& text);

    // The LAN's inner state, for the platform operations in its file.
    struct State;

private:
    std::unique_ptr<State> state_;
    Operations previous_;
};

}  // namespace brenn::platform
