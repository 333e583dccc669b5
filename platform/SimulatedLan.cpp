// The simulated LAN: platform operations over in-memory hosts and sockets.
#include "platform/SimulatedLan.h"

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
    std::uint32_t address = 0;  // the player's, or the bind address of a bound socket
    std::uint16_t port = 0;     // 0 until the first send or a bind gives it one
    bool bound = false;         // bound to a port by bindUdpSocket
    bool broadcast = false;
    // Waiting datagrams by (due time, sequence): earliest first.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Entry> inbox;
};

using Endpoint = std::pair<std::uint32_t, std::uint16_t>;

}  // namespace

struct SimulatedLan::State {
    std::uint32_t playerAddress = 0;
    std::uint32_t bindAddress = 0;
    std::uint64_t clock = 0;  // never wraps; the tick is its low 32 bits
    std::uint64_t slept = 0;
    std::uint64_t sequence = 0;
    Socket nextSocket = 3;
    std::uint16_t nextPort = FirstLocalPort;
    std::map<Socket, EngineSocket> sockets;
    std::map<Endpoint, Socket> socketByEndpoint;
    std::map<Endpoint, SimulatedLan::Responder> servers;
    std::map<std::uint32_t, std::uint32_t> latency;
    std::map<std::uint32_t, double> loss;
    std::mt19937 random{12345};
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

    // Carries a datagram to its destination: the inbox of the engine socket
    // at the destination address and port, or a server's responder. A
    // broadcast reaches every server and every bound socket at its port.
    void deliver(SimulatedLan::Datagram datagram, std::uint32_t extraDelay) {
        if (lost(datagram.fromAddress)) return;
        const std::uint32_t delay = latencyOf(datagram.fromAddress) + extraDelay;
        const auto socket = socketByEndpoint.find({datagram.toAddress, datagram.toPort});
        if (socket != socketByEndpoint.end()) {
            queue(socket->second, Entry{std::move(datagram), false}, delay);
            return;
        }
        if (datagram.toAddress == playerAddress) return;
        // Each server sees the datagram arrive at its own address, flagged
        // as a broadcast where it was one.
        std::vector<std::pair<SimulatedLan::Responder, SimulatedLan::Datagram>> reached;
        if (datagram.toAddress == BroadcastAddress) {
            for (const auto& [endpoint, s] : socketByEndpoint) {
                if (endpoint.second != datagram.toPort || !sockets[s].bound) continue;
                SimulatedLan::Datagram copy = datagram;
                copy.toAddress = endpoint.first;
                copy.broadcast = true;
                queue(s, Entry{std::move(copy), false}, delay);
            }
            for (const auto& server : servers) {
                if (server.first.second != datagram.toPort) continue;
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
        while (lan.socketByEndpoint.count({lan.playerAddress, lan.nextPort}) != 0) ++lan.nextPort;
        s->address = lan.playerAddress;
        s->port = lan.nextPort++;
        lan.socketByEndpoint[{s->address, s->port}] = socket;
    }
    SimulatedLan::Datagram datagram;
    datagram.fromAddress = s->address;
    datagram.fromPort = s->port;
    datagram.toAddress = address;
    datagram.toPort = netToHost16(port);
    datagram.payload.assign(static_cast<const char*>(data), static_cast<std::size_t>(length));
    datagram.sentAt = static_cast<std::uint32_t>(lan.clock);
    lan.sent.push_back(datagram);
    lan.deliver(std::move(datagram), 0);
    return length;
}

int simReceiveFrom(Socket socket, void* buffer, int capacity, std::uint32_t* address,
                   std::uint16_t* port) {
    auto& lan = lanState();
    *address = 0;
    *port = 0;
    EngineSocket* s = lan.find(socket);
    if (s == nullptr || !lan.due(*s)) return -1;
    const auto first = s->inbox.begin();
    const Entry entry = std::move(first->second);
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
    if (found->second.port != 0) lan.socketByEndpoint.erase({found->second.address, found->second.port});
    lan.sockets.erase(found);
}

// A bound socket belongs to the bind address; its port is taken when an
// engine socket or a server already holds that address and port.
Socket simBindUdpSocket(std::uint16_t port, int* failure) {
    auto& lan = lanState();
    *failure = BindFailed;
    if (port == 0) return InvalidSocket;
    const Endpoint endpoint{lan.bindAddress, port};
    if (lan.socketByEndpoint.count(endpoint) != 0 || lan.servers.count(endpoint) != 0) {
        *failure = BindInUse;
        return InvalidSocket;
    }
    const Socket socket = simOpenUdpSocket();
    if (socket == InvalidSocket) return InvalidSocket;
    EngineSocket& s = lan.sockets[socket];
    s.address = endpoint.first;
    s.port = port;
    s.bound = true;
    lan.socketByEndpoint[endpoint] = socket;
    return socket;
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
    simBindUdpSocket,
    simAddressFromText,  simAddressToText,   simTickCount,     simSleep,
    simCurrentDirectory, simShowMessage,     simOpenTextFile,
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

void SimulatedLan::addServer(const std::string& host, std::uint16_t port, Responder responder) {
    state_->servers[{address(host), port}] = std::move(responder);
}

void SimulatedLan::addStatusServer(const std::string& host, std::uint16_t port,
                                   std::vector<std::string> reply, std::uint32_t gap) {
    addServer(host, port, [reply = std::move(reply), gap](SimulatedLan& lan, const Datagram& request) {
        if (request.payload.compare(0, 8, "\\status\\") != 0) return;
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
    send(request.toAddress, request.toPort, request.fromAddress, request.fromPort, std::move(payload), extraDelay);
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
    const auto socket = state_->socketByEndpoint.find({state_->playerAddress, playerPort});
    if (socket == state_->socketByEndpoint.end()) return;
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
