// The simulated LAN: platform operations over in-memory hosts and sockets.
#include "simlan/SimulatedLan.h"

#include "protocol/Wire.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

namespace brenn::platform {

namespace {

constexpr std::uint16_t FirstLocalPort = 50000;

struct Entry {
    SimulatedLan::Datagram datagram;
    bool error = false;
};

struct EngineSocket {
    std::uint16_t port = 0;     // 0 until the first send or a bind gives it one
    std::uint32_t address = 0;  // a bound socket's host; 0 for the player's sockets
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

    double draw() { return std::uniform_real_distribution<double>(0.0, 1.0)(random); }

    // Whether the next datagram is lost: in a burst, or starting one, or
    // lost on its own.
    bool loses() {
        if (inBurst) {
            if (draw() < impairment.burstEnd) inBurst = false;
            return true;
        }
        if (impairment.burstStart > 0.0 && draw() < impairment.burstStart) {
            inBurst = true;
            return true;
        }
        return impairment.loss > 0.0 && draw() < impairment.loss;
    }
};

}  // namespace

struct SimulatedLan::State {
    std::uint32_t playerAddress = 0;
    std::uint64_t clock = 0;  // never wraps; the tick is its low 32 bits
    std::uint64_t slept = 0;
    std::uint64_t sequence = 0;
    Socket nextSocket = 3;
    std::uint16_t nextPort = FirstLocalPort;
    std::map<Socket, EngineSocket> sockets;
    std::map<std::uint16_t, Socket> socketByPort;  // the player's sockets, bound ones included
    std::map<Endpoint, Socket> boundElsewhere;     // bound sockets of other hosts
    std::multimap<Endpoint, Socket> shared;        // shared sockets of every host, the player's too
    std::uint32_t bindAddress = 0;                 // the host of the next bound socket
    std::map<Endpoint, SimulatedLan::Responder> servers;
    std::map<std::uint32_t, std::uint32_t> latency;
    std::map<std::uint32_t, double> loss;
    std::mt19937 random{12345};
    Channel toPlayer;
    Channel fromPlayer;
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

    bool lost(std::uint32_t fromAddress) {
        const auto found = loss.find(fromAddress);
        if (found == loss.end() || found->second <= 0.0) return false;
        return std::uniform_real_distribution<double>(0.0, 1.0)(random) < found->second;
    }

    void queue(Socket socket, Entry entry, std::uint32_t delay) {
        sockets[socket].inbox.emplace(std::make_pair(clock + delay, sequence++), std::move(entry));
    }

    bool isDirectedBroadcast(std::uint32_t address) const {
        for (const InterfaceAddress& i : interfaces)
            if ((i.flags & InterfaceBroadcast) != 0 && i.broadcast == address) return true;
        return false;
    }

    bool isPlayerAddress(std::uint32_t address) const {
        if (address == playerAddress) return true;
        for (const InterfaceAddress& i : interfaces)
            if (i.address == address) return true;
        return false;
    }

    // The player's interface whose subnet holds address, or null.
    const InterfaceAddress* interfaceFor(std::uint32_t address) const {
        for (const InterfaceAddress& i : interfaces)
            if ((i.flags & InterfacePointToPoint) == 0 && ((i.address ^ address) & i.netmask) == 0) return &i;
        return nullptr;
    }

    // The player's address a datagram to address leaves from.
    std::uint32_t sourceFor(std::uint32_t address) const {
        if (interfaces.empty()) return playerAddress;
        if (const InterfaceAddress* i = interfaceFor(address)) return i->address;
        return broadcastRoute != 0 ? broadcastRoute : playerAddress;
    }

    // The servers a broadcast to address reaches, or false when it cannot
    // leave at all (no route for 255.255.255.255).
    bool broadcastReach(std::uint32_t address, std::vector<std::uint32_t>* subnets, std::uint32_t* source) const {
        if (interfaces.empty()) {
            *source = playerAddress;
            return address == BroadcastAddress;
        }
        for (const InterfaceAddress& i : interfaces) {
            const bool limited = address == BroadcastAddress && i.address == broadcastRoute;
            const bool directed = (i.flags & InterfaceBroadcast) != 0 && i.broadcast == address;
            if (!limited && !directed) continue;
            *source = i.address;
            if ((i.flags & InterfacePointToPoint) == 0) subnets->push_back(i.address & i.netmask);
            return true;
        }
        return false;
    }

    // Carries a datagram to its destination: a server's responder, or the
    // inbox of the engine socket bound at the destination port. Datagrams
    // from the player meet the impairment toward the servers, all others
    // the one toward the player.
    void deliver(SimulatedLan::Datagram datagram, std::uint32_t extraDelay) {
        if (lost(datagram.fromAddress)) return;
        const bool fromThePlayer = isPlayerAddress(datagram.fromAddress);
        Channel& channel = fromThePlayer ? fromPlayer : toPlayer;
        int copies = 1;
        if (channel.loses()) {
            ++impairedLost;
            return;
        }
        const SimulatedLan::Impairment& impairment = channel.impairment;
        if (impairment.duplicate > 0.0 && channel.draw() < impairment.duplicate) {
            ++impairedCopies;
            copies = 2;
        }
        std::uint32_t impairedDelay = impairment.delay;
        if (impairment.reorder > 0.0 && channel.draw() < impairment.reorder) impairedDelay += impairment.reorderDelay;
        for (int copy = 0; copy < copies; ++copy)
            carry(datagram, extraDelay + impairedDelay + static_cast<std::uint32_t>(copy), fromThePlayer);
    }

    void carry(SimulatedLan::Datagram datagram, std::uint32_t delay, bool fromThePlayer) {
        const std::uint32_t due = latencyOf(datagram.fromAddress) + delay;
        if (isPlayerAddress(datagram.toAddress)) {
            const auto socket = socketByPort.find(datagram.toPort);
            const auto sharing = shared.find({playerAddress, datagram.toPort});
            if (socket != socketByPort.end())
                queue(socket->second, Entry{std::move(datagram), false}, due);
            else if (sharing != shared.end())
                queue(sharing->second, Entry{std::move(datagram), false}, due);
            return;
        }
        const auto bound = boundElsewhere.find({datagram.toAddress, datagram.toPort});
        if (bound != boundElsewhere.end()) {
            queue(bound->second, Entry{std::move(datagram), false}, due);
            return;
        }
        const auto sharing = shared.find({datagram.toAddress, datagram.toPort});
        if (sharing != shared.end()) {
            queue(sharing->second, Entry{std::move(datagram), false}, due);
            return;
        }
        std::vector<std::uint32_t> segments;
        if (!fromThePlayer && broadcastFrom(datagram.fromAddress, datagram.toAddress, &segments)) {
            queueBroadcast(datagram, due, segments);
            return;
        }
        datagram.delay = delay;
        // Each server sees the datagram arrive at its own address, flagged
        // as a broadcast where it was one.
        std::vector<std::pair<SimulatedLan::Responder, SimulatedLan::Datagram>> reached;
        std::vector<std::uint32_t> subnets;
        std::uint32_t source = 0;
        if (fromThePlayer && broadcastReach(datagram.toAddress, &subnets, &source)) {
            queueBroadcast(datagram, due, subnets);
            for (const auto& server : servers) {
                if (server.first.second != datagram.toPort) continue;
                if (!interfaces.empty() && !inSubnets(server.first.first, subnets)) continue;
                SimulatedLan::Datagram copy = datagram;
                copy.toAddress = server.first.first;
                copy.broadcast = true;
                reached.emplace_back(server.second, std::move(copy));
            }
        } else {
            const auto server = servers.find({datagram.toAddress, datagram.toPort});
            if (server != servers.end()) reached.emplace_back(server->second, datagram);
        }
        for (const auto& [responder, request] : reached) responder(*lan, request);
    }

    // Whether a datagram from another host than the player's to address is
    // a broadcast, and the segments it reaches: 255.255.255.255 reaches the
    // sender's own segment, an interface's broadcast address that segment
    // when the sender is in it. Without interfaces the LAN is one segment
    // and only 255.255.255.255 is a broadcast.
    bool broadcastFrom(std::uint32_t from, std::uint32_t address, std::vector<std::uint32_t>* subnets) const {
        if (interfaces.empty()) return address == BroadcastAddress;
        const InterfaceAddress* segment = interfaceFor(from);
        if (segment == nullptr) return false;
        const bool directed = (segment->flags & InterfaceBroadcast) != 0 && segment->broadcast == address;
        if (address != BroadcastAddress && !directed) return false;
        subnets->push_back(from & segment->netmask);
        return true;
    }

    // A broadcast reaches the bound and shared sockets at its port: the
    // player's own (the player is on every segment; a host hears its own
    // broadcast) and those of the hosts in the segments it reached.
    void queueBroadcast(const SimulatedLan::Datagram& datagram, std::uint32_t due,
                        const std::vector<std::uint32_t>& subnets) {
        const auto own = socketByPort.find(datagram.toPort);
        std::vector<std::pair<Socket, std::uint32_t>> reached;
        if (own != socketByPort.end() && sockets[own->second].bound) reached.emplace_back(own->second, playerAddress);
        for (const auto& [endpoint, socket] : boundElsewhere) {
            if (endpoint.second != datagram.toPort) continue;
            if (!interfaces.empty() && !inSubnets(endpoint.first, subnets)) continue;
            reached.emplace_back(socket, endpoint.first);
        }
        for (const auto& [endpoint, socket] : shared) {
            if (endpoint.second != datagram.toPort) continue;
            const bool player = endpoint.first == playerAddress;
            if (!player && !interfaces.empty() && !inSubnets(endpoint.first, subnets)) continue;
            reached.emplace_back(socket, endpoint.first);
        }
        for (const auto& [socket, address] : reached) {
            SimulatedLan::Datagram copy = datagram;
            copy.toAddress = address;
            copy.broadcast = true;
            queue(socket, Entry{std::move(copy), false}, due);
        }
    }

    bool inSubnets(std::uint32_t address, const std::vector<std::uint32_t>& subnets) const {
        const InterfaceAddress* i = interfaceFor(address);
        if (i == nullptr) return false;
        for (std::uint32_t subnet : subnets)
            if ((address & i->netmask) == subnet) return true;
        return false;
    }

    EngineSocket* find(Socket socket) {
        const auto found = sockets.find(socket);
        return found == sockets.end() ? nullptr : &found->second;
    }

    bool due(const EngineSocket& socket) const {
        return !socket.inbox.empty() && socket.inbox.begin()->first.first <= clock;
    }
};

namespace {

SimulatedLan::State* active = nullptr;

SimulatedLan::State& lanState() {
    if (active == nullptr) throw std::logic_error("no simulated LAN is installed");
    return *active;
}

int simStartSockets() {
    ++lanState().socketsLayerUsers;
    return 0;
}

void simEndSockets() { --lanState().socketsLayerUsers; }

Socket simOpenUdpSocket() {
    auto& lan = lanState();
    const int open = static_cast<int>(lan.sockets.size());
    if (lan.socketLimit >= 0 && open >= lan.socketLimit) return InvalidSocket;
    const Socket socket = lan.nextSocket++;
    lan.sockets[socket] = EngineSocket{};
    if (open + 1 > lan.peakSockets) lan.peakSockets = open + 1;
    return socket;
}

int simEnableBroadcast(Socket socket) {
    auto& lan = lanState();
    EngineSocket* s = lan.find(socket);
    if (s == nullptr || lan.broadcastFails) return -1;
    s->broadcast = true;
    return 0;
}

int simSendTo(Socket socket, const void* data, int length, std::uint32_t address,
              std::uint16_t port) {
    auto& lan = lanState();
    EngineSocket* s = lan.find(socket);
    if (s == nullptr || length < 0) return -1;
    if (address == BroadcastAddress && !s->broadcast) return -1;
    if (s->port == 0) {
        while (lan.socketByPort.count(lan.nextPort) != 0) ++lan.nextPort;
        s->port = lan.nextPort++;
        lan.socketByPort[s->port] = socket;
    }
    std::vector<std::uint32_t> subnets;
    std::uint32_t source = s->address != 0 ? s->address : lan.sourceFor(address);
    if (lan.isDirectedBroadcast(address) && !s->broadcast) return -1;
    if (s->address == 0 && address == BroadcastAddress && !lan.broadcastReach(address, &subnets, &source))
        return -1;
    SimulatedLan::Datagram datagram;
    datagram.fromAddress = source;
    datagram.fromPort = s->port;
    datagram.toAddress = address;
    datagram.toPort = netToHost16(port);
    datagram.payload.assign(static_cast<const char*>(data), static_cast<std::size_t>(length));
    datagram.sentAt = static_cast<std::uint32_t>(lan.clock);
    lan.sent.push_back(datagram);
    lan.deliver(std::move(datagram), 0);
    return length;
}

// A datagram arrives when it is due: the clock may have moved past that
// before the receive, as a host's step comes after the network's delivery.
int simReceiveTimed(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port,
                    std::uint32_t* arrival) {
    auto& lan = lanState();
    *address = 0;
    *port = 0;
    *arrival = static_cast<std::uint32_t>(lan.clock);
    EngineSocket* s = lan.find(socket);
    if (s == nullptr) return -1;
    if (!lan.due(*s)) return NothingToRead;
    const auto first = s->inbox.begin();
    const Entry entry = std::move(first->second);
    if (!entry.error) *arrival = static_cast<std::uint32_t>(first->first.first);
    s->inbox.erase(first);
    *address = entry.datagram.fromAddress;
    *port = hostToNet16(entry.datagram.fromPort);
    if (entry.error) return -1;
    // A datagram longer than the buffer is cut, as a UDP receive cuts it.
    const int length = static_cast<int>(entry.datagram.payload.size());
    const int copied = length < capacity ? length : capacity;
    if (copied > 0) std::memcpy(buffer, entry.datagram.payload.data(), static_cast<std::size_t>(copied));
    return copied;
}

int simReceiveFrom(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port) {
    std::uint32_t arrival = 0;
    return simReceiveTimed(socket, buffer, capacity, address, port, &arrival);
}

int simPollReadable(const Socket* sockets, int count, std::uint8_t* readable) {
    auto& lan = lanState();
    if (lan.pollFails || count < 0 || count > MaxPollSockets) return -1;
    int ready = 0;
    for (int i = 0; i < count; ++i) {
        const EngineSocket* s = lan.find(sockets[i]);
        if (s == nullptr) return -1;
        readable[i] = lan.due(*s) ? 1 : 0;
        ready += readable[i];
    }
    return ready;
}

void simCloseSocket(Socket socket) {
    auto& lan = lanState();
    const auto found = lan.sockets.find(socket);
    if (found == lan.sockets.end()) return;
    if (found->second.shared) {
        for (auto i = lan.shared.begin(); i != lan.shared.end(); ++i)
            if (i->second == socket) {
                lan.shared.erase(i);
                break;
            }
    } else if (found->second.address != 0)
        lan.boundElsewhere.erase({found->second.address, found->second.port});
    else if (found->second.port != 0)
        lan.socketByPort.erase(found->second.port);
    lan.sockets.erase(found);
}

// A socket bound on the player's host is one of the player's sockets (found
// by its port); one bound on another host is found by address and port. The
// port is taken when a socket or a server already holds it on that host;
// shared sockets take a port that only shared sockets hold.
Socket bindOn(std::uint16_t port, bool shared, int* failure) {
    auto& lan = lanState();
    *failure = BindFailed;
    if (port == 0) return InvalidSocket;
    const bool onPlayer = lan.isPlayerAddress(lan.bindAddress);
    const Endpoint endpoint{onPlayer ? lan.playerAddress : lan.bindAddress, port};
    const bool held = onPlayer ? lan.socketByPort.count(port) != 0 : lan.boundElsewhere.count(endpoint) != 0;
    const bool sharedHere = lan.shared.count(endpoint) != 0;
    if (held || lan.servers.count(endpoint) != 0 || (sharedHere && !shared)) {
        *failure = BindInUse;
        return InvalidSocket;
    }
    const Socket socket = simOpenUdpSocket();
    if (socket == InvalidSocket) return InvalidSocket;
    EngineSocket& s = lan.sockets[socket];
    s.port = port;
    s.bound = true;
    s.shared = shared;
    s.broadcast = shared;
    if (!onPlayer) s.address = endpoint.first;
    if (shared)
        lan.shared.emplace(endpoint, socket);
    else if (onPlayer)
        lan.socketByPort[port] = socket;
    else
        lan.boundElsewhere[endpoint] = socket;
    return socket;
}

Socket simBindUdpSocket(std::uint16_t port, int* failure) { return bindOn(port, false, failure); }

Socket simBindSharedUdpSocket(std::uint16_t port, int* failure) { return bindOn(port, true, failure); }

int simSetReceiveBuffer(Socket socket, int bytes) {
    auto& lan = lanState();
    if (lan.find(socket) == nullptr || bytes < 0) return -1;
    lan.lastReceiveBufferRequest = bytes;
    return bytes < lan.receiveBufferCap ? bytes : lan.receiveBufferCap;
}

int simListInterfaces(InterfaceAddress* out, int capacity) {
    auto& lan = lanState();
    if (lan.interfaceListFails) return -1;
    int count = 0;
    for (const InterfaceAddress& i : lan.interfaces) {
        if (count >= capacity) break;
        out[count++] = i;
    }
    return count;
}

std::uint32_t simAddressFromText(const char* text) {
    unsigned parts[4];
    char tail;
    if (text == nullptr ||
        std::sscanf(text, "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return NoAddress;
    std::uint32_t host = 0;
    for (unsigned part : parts) {
        if (part > 255) return NoAddress;
        host = (host << 8) | part;
    }
    return hostToNet32(host);
}

const char* simAddressToText(std::uint32_t address) {
    auto& lan = lanState();
    const std::uint32_t host = netToHost32(address);
    std::snprintf(lan.addressText, sizeof lan.addressText, "%u.%u.%u.%u", (host >> 24) & 0xFFu,
                  (host >> 16) & 0xFFu, (host >> 8) & 0xFFu, host & 0xFFu);
    return lan.addressText;
}

std::uint32_t simTickCount() { return static_cast<std::uint32_t>(lanState().clock); }

// Sleeping on the simulated LAN moves its clock.
void simSleep(std::uint32_t milliseconds) {
    auto& lan = lanState();
    lan.clock += milliseconds;
    lan.slept += milliseconds;
}

std::uint32_t simCurrentDirectory(std::uint32_t size, char* buffer) {
    auto& lan = lanState();
    if (!lan.hasDirectory) return native().currentDirectory(size, buffer);
    if (buffer == nullptr || size == 0) return 0;
    if (lan.directory.size() + 1 > size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, lan.directory.c_str(), lan.directory.size() + 1);
    return static_cast<std::uint32_t>(lan.directory.size());
}

void simShowMessage(const char* text, const char* caption) {
    lanState().messages.push_back(std::string(caption) + ": " + text);
}

std::FILE* simOpenTextFile(const char* path) { return native().openTextFile(path); }

const Operations simulatedOperations = {
    simStartSockets,     simEndSockets,      simOpenUdpSocket, simEnableBroadcast,
    simSendTo,           simReceiveFrom,     simPollReadable,  simCloseSocket,
    simBindUdpSocket,    simSetReceiveBuffer, simListInterfaces,
    simAddressFromText,  simAddressToText,   simTickCount,     simSleep,
    simCurrentDirectory, simShowMessage,     simOpenTextFile,
    simBindSharedUdpSocket, simReceiveTimed,
};

}  // namespace

SimulatedLan::SimulatedLan(const char* playerAddress, std::uint32_t startTick)
    : state_(std::make_unique<State>()), previous_(current()) {
    if (active != nullptr) throw std::logic_error("a simulated LAN is installed already");
    state_->playerAddress = address(playerAddress);
    state_->bindAddress = state_->playerAddress;
    state_->clock = startTick;
    state_->lan = this;
    active = state_.get();
    platform::install(simulatedOperations);
}

SimulatedLan::~SimulatedLan() {
    platform::install(previous_);
    active = nullptr;
}

std::uint32_t SimulatedLan::now() const { return static_cast<std::uint32_t>(state_->clock); }

void SimulatedLan::setNow(std::uint32_t tick) { state_->clock += static_cast<std::uint32_t>(tick - now()); }

void SimulatedLan::advance(std::uint32_t milliseconds) { state_->clock += milliseconds; }

std::uint64_t SimulatedLan::sleptMilliseconds() const { return state_->slept; }

void SimulatedLan::setLatency(const std::string& host, std::uint32_t milliseconds) {
    state_->latency[address(host)] = milliseconds;
}

void SimulatedLan::setLoss(const std::string& host, double share) { state_->loss[address(host)] = share; }

void SimulatedLan::setImpairment(Direction direction, const Impairment& impairment, std::uint32_t seed) {
    Channel& channel = direction == Direction::ToPlayer ? state_->toPlayer : state_->fromPlayer;
    channel.impairment = impairment;
    channel.random.seed(seed);
    channel.inBurst = false;
}

std::uint64_t SimulatedLan::impairedLost() const { return state_->impairedLost; }

std::uint64_t SimulatedLan::impairedCopies() const { return state_->impairedCopies; }

void SimulatedLan::addInterface(const std::string& host, const std::string& netmask, std::uint32_t flags) {
    InterfaceAddress entry;
    entry.address = address(host);
    entry.netmask = address(netmask);
    entry.flags = flags | InterfaceUp;
    entry.broadcast = (flags & InterfaceBroadcast) ? (entry.address | ~entry.netmask) : 0;
    if (!state_->routeChosen && state_->broadcastRoute == 0 && (flags & InterfaceBroadcast))
        state_->broadcastRoute = entry.address;
    state_->interfaces.push_back(entry);
}

void SimulatedLan::setBroadcastRoute(const std::string& interfaceAddress) {
    state_->broadcastRoute = interfaceAddress.empty() ? 0 : address(interfaceAddress);
    state_->routeChosen = true;
}

void SimulatedLan::setInterfaceListFails(bool fails) { state_->interfaceListFails = fails; }

void SimulatedLan::setReceiveBufferCap(int bytes) { state_->receiveBufferCap = bytes; }

int SimulatedLan::lastReceiveBufferRequest() const { return state_->lastReceiveBufferRequest; }

void SimulatedLan::addServer(const std::string& host, std::uint16_t port, Responder responder) {
    state_->servers[{address(host), port}] = std::move(responder);
}

void SimulatedLan::addStatusServer(const std::string& host, std::uint16_t port,
                                   std::vector<std::string> reply, std::uint32_t gap) {
    addServer(host, port, [reply = std::move(reply), gap](SimulatedLan& lan, const Datagram& request) {
        if (request.payload.compare(0, wire::StatusQueryLength, wire::StatusQuery) != 0) return;
        std::uint32_t delay = 0;
        for (const std::string& datagram : reply) {
            lan.reply(request, datagram, delay);
            delay += gap;
        }
    });
}

void SimulatedLan::addSilentServer(const std::string& host, std::uint16_t port) {
    addServer(host, port, [](SimulatedLan&, const Datagram&) {});
}

void SimulatedLan::removeServer(const std::string& host, std::uint16_t port) {
    state_->servers.erase({address(host), port});
}

void SimulatedLan::reply(const Datagram& request, std::string payload, std::uint32_t extraDelay) {
    send(request.toAddress, request.toPort, request.fromAddress, request.fromPort, std::move(payload),
         request.delay + extraDelay);
}

void SimulatedLan::send(std::uint32_t fromAddress, std::uint16_t fromPort, std::uint32_t toAddress,
                        std::uint16_t toPort, std::string payload, std::uint32_t extraDelay) {
    Datagram datagram;
    datagram.fromAddress = fromAddress;
    datagram.fromPort = fromPort;
    datagram.toAddress = toAddress;
    datagram.toPort = toPort;
    datagram.payload = std::move(payload);
    datagram.sentAt = now();
    if (toAddress == BroadcastAddress) return;
    state_->deliver(std::move(datagram), extraDelay);
}

void SimulatedLan::queueReceiveError(std::uint16_t playerPort, std::uint32_t fromAddress,
                                     std::uint16_t fromPort) {
    const auto socket = state_->socketByPort.find(playerPort);
    if (socket == state_->socketByPort.end()) return;
    Entry entry;
    entry.datagram.fromAddress = fromAddress;
    entry.datagram.fromPort = fromPort;
    entry.error = true;
    state_->queue(socket->second, std::move(entry), 0);
}

const std::vector<SimulatedLan::Datagram>& SimulatedLan::sent() const { return state_->sent; }

void SimulatedLan::clearSent() { state_->sent.clear(); }

int SimulatedLan::openSockets() const { return static_cast<int>(state_->sockets.size()); }

int SimulatedLan::peakOpenSockets() const { return state_->peakSockets; }

int SimulatedLan::socketsLayerUsers() const { return state_->socketsLayerUsers; }

const std::vector<std::string>& SimulatedLan::messages() const { return state_->messages; }

std::size_t SimulatedLan::pending() const {
    std::size_t count = 0;
    for (const auto& socket : state_->sockets) count += socket.second.inbox.size();
    return count;
}

void SimulatedLan::setBindAddress(const std::string& host) { state_->bindAddress = address(host); }

void SimulatedLan::setSocketLimit(int limit) { state_->socketLimit = limit; }

void SimulatedLan::setBroadcastFails(bool fails) { state_->broadcastFails = fails; }

void SimulatedLan::setPollFails(bool fails) { state_->pollFails = fails; }

void SimulatedLan::setCurrentDirectory(std::string directory) {
    state_->hasDirectory = true;
    state_->directory = std::move(directory);
}

std::uint32_t SimulatedLan::address(const std::string& text) { return simAddressFromText(text.c_str()); }

}  // namespace brenn::platform
