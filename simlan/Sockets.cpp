// The simulated LAN's socket operations of the platform table: opening,
// binding, sending, receiving, polling and closing the engine's sockets,
// and the interface list and receive buffer requests.
#include "simlan/LanState.h"

#include <cstring>

namespace brenn::platform::simlan {

namespace {

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
    std::uint32_t source = s->address != 0 ? s->address : sourceFor(lan, address);
    if (isDirectedBroadcast(lan, address) && !s->broadcast) return -1;
    if (s->address == 0 && address == BroadcastAddress && !broadcastReach(lan, address, &subnets, &source))
        return -1;
    SimulatedLan::Datagram datagram;
    datagram.fromAddress = source;
    datagram.fromPort = s->port;
    datagram.toAddress = address;
    datagram.toPort = netToHost16(port);
    datagram.payload.assign(static_cast<const char*>(data), static_cast<std::size_t>(length));
    datagram.sentAt = static_cast<std::uint32_t>(lan.clock);
    lan.sent.push_back(datagram);
    deliver(lan, std::move(datagram), 0);
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

// A socket bound on the player's machine is one of the player's sockets (found
// by its port); one bound on another machine is found by address and port. The
// port is taken when a socket or a server already holds it on that machine;
// shared sockets take a port that only shared sockets hold.
Socket bindOn(std::uint16_t port, bool shared, int* failure) {
    auto& lan = lanState();
    *failure = BindFailed;
    if (port == 0) return InvalidSocket;
    const bool onPlayer = isPlayerAddress(lan, lan.bindAddress);
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

}  // namespace

void addSocketOperations(Operations* table) {
    table->startSockets = simStartSockets;
    table->endSockets = simEndSockets;
    table->openUdpSocket = simOpenUdpSocket;
    table->enableBroadcast = simEnableBroadcast;
    table->sendTo = simSendTo;
    table->receiveFrom = simReceiveFrom;
    table->pollReadable = simPollReadable;
    table->closeSocket = simCloseSocket;
    table->bindUdpSocket = simBindUdpSocket;
    table->setReceiveBuffer = simSetReceiveBuffer;
    table->listInterfaces = simListInterfaces;
    table->bindSharedUdpSocket = simBindSharedUdpSocket;
    table->receiveTimed = simReceiveTimed;
}

}  // namespace brenn::platform::simlan
