// The simulated LAN's inner state, shared by its source files (not
// installed): engine sockets and their inboxes, servers, the player's
// interfaces, the impairments and the failure switches.
#pragma once

#include "simlan/SimulatedLan.h"

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace brenn::platform {

namespace simlan {

constexpr std::uint16_t FirstLocalPort = 50000;

// A datagram waiting on a socket, or a receive error queued in its place.
struct Entry {
    SimulatedLan::Datagram datagram;
    bool error = false;
};

struct EngineSocket {
    std::uint16_t port = 0;     // 0 until the first send or a bind gives it one
    std::uint32_t address = 0;  // a bound socket's machine; 0 for the player's sockets
    bool bound = false;         // bound to its port by bindUdpSocket or bindSharedUdpSocket
    bool shared = false;        // bound by bindSharedUdpSocket
    bool broadcast = false;
    // Waiting datagrams by (due time, sequence): earliest first.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Entry> inbox;
};

using Endpoint = std::pair<std::uint32_t, std::uint16_t>;

// One direction's impairment with its generator and burst state.
struct Channel {
    SimulatedLan::Impairment impairment;
    std::mt19937 random{1};
    bool inBurst = false;

    // A number in [0, 1) from the channel's generator.
    double draw();
    // Whether the next datagram is lost: in a burst, or starting one, or
    // lost on its own. Moves the generator and the burst state.
    bool loses();
};

}  // namespace simlan

struct SimulatedLan::State {
    std::uint32_t playerAddress = 0;
    std::uint64_t clock = 0;  // never wraps; the tick is its low 32 bits
    std::uint64_t slept = 0;
    std::uint64_t sequence = 0;
    Socket nextSocket = 3;
    std::uint16_t nextPort = simlan::FirstLocalPort;
    std::map<Socket, simlan::EngineSocket> sockets;
    std::map<std::uint16_t, Socket> socketByPort;          // the player's sockets, bound ones included
    std::map<simlan::Endpoint, Socket> boundElsewhere;     // bound sockets of other machines
    std::multimap<simlan::Endpoint, Socket> shared;        // shared sockets of every machine, the player's too
    std::uint32_t bindAddress = 0;                         // the machine of the next bound socket
    std::map<simlan::Endpoint, SimulatedLan::Responder> servers;
    std::map<std::uint32_t, std::uint32_t> latency;
    simlan::Channel toPlayer;
    simlan::Channel fromPlayer;
    std::uint64_t impairedLost = 0;
    std::uint64_t impairedCopies = 0;
    std::vector<InterfaceAddress> interfaces;
    std::uint32_t broadcastRoute = 0;  // address of the route's interface; 0: none
    bool routeChosen = false;          // by setBroadcastRoute
    bool interfaceListFails = false;
    int receiveBufferCap = 4 * 1024 * 1024;
    int lastReceiveBufferRequest = 0;
    std::vector<SimulatedLan::Datagram> sent;
    std::vector<std::string> messages;
    int peakSockets = 0;
    int socketsLayerUsers = 0;
    int socketLimit = -1;
    bool broadcastFails = false;
    bool pollFails = false;
    bool hasDirectory = false;
    std::string directory;
    char addressText[16] = {0};
    SimulatedLan* lan = nullptr;

    std::uint32_t latencyOf(std::uint32_t address) const {
        const auto found = latency.find(address);
        return found == latency.end() ? 0 : found->second;
    }

    // Puts an entry in the socket's inbox, due `delay` ms from now.
    void queue(Socket socket, simlan::Entry entry, std::uint32_t delay) {
        sockets[socket].inbox.emplace(std::make_pair(clock + delay, sequence++), std::move(entry));
    }

    simlan::EngineSocket* find(Socket socket) {
        const auto found = sockets.find(socket);
        return found == sockets.end() ? nullptr : &found->second;
    }

    // Whether the socket's earliest datagram has arrived.
    bool due(const simlan::EngineSocket& socket) const {
        return !socket.inbox.empty() && socket.inbox.begin()->first.first <= clock;
    }
};

namespace simlan {

// The installed LAN's state; throws std::logic_error when none is installed.
SimulatedLan::State& lanState();
// Makes state the installed LAN's (null: none), for the class's
// constructor and destructor.
void setActive(SimulatedLan::State* state);
// The platform operations over the installed LAN.
const Operations& operations();
// Dotted decimal text to an address (network byte order); NoAddress for
// text that is none.
std::uint32_t addressFromText(const char* text);

// Sockets.cpp: fills in the table's socket, interface and buffer operations.
void addSocketOperations(Operations* table);

// Segments.cpp: the player's interfaces and the segments behind them.
bool isPlayerAddress(const SimulatedLan::State& lan, std::uint32_t address);
bool isDirectedBroadcast(const SimulatedLan::State& lan, std::uint32_t address);
// The player's address a datagram to address leaves from.
std::uint32_t sourceFor(const SimulatedLan::State& lan, std::uint32_t address);
// The segments a broadcast from the player to address reaches and the
// address it leaves from; false when it cannot leave at all (no route for
// 255.255.255.255, or not a broadcast address).
bool broadcastReach(const SimulatedLan::State& lan, std::uint32_t address, std::vector<std::uint32_t>* subnets,
                    std::uint32_t* source);
// Whether a datagram from another machine than the player's to address is a
// broadcast, and the segments it reaches.
bool broadcastFrom(const SimulatedLan::State& lan, std::uint32_t from, std::uint32_t address,
                   std::vector<std::uint32_t>* subnets);
// Whether address lies in one of the segments (subnet addresses).
bool inSubnets(const SimulatedLan::State& lan, std::uint32_t address, const std::vector<std::uint32_t>& subnets);

// Delivery.cpp: datagrams on their way, impairments, broadcasts.
// Carries a datagram, after its direction's impairments, to its
// destination: a server's responder, or the inbox of the socket bound at
// the destination port; a broadcast to all it reaches.
void deliver(SimulatedLan::State& lan, SimulatedLan::Datagram datagram, std::uint32_t extraDelay);

}  // namespace simlan

}  // namespace brenn::platform
