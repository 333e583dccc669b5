// The simulated LAN's class: the clock, servers, interfaces, impairments,
// failure switches and observations that tests set and read.
#include "simlan/SimulatedLan.h"

#include "protocol/Wire.h"
#include "simlan/LanState.h"

namespace brenn::platform {

using simlan::Entry;

SimulatedLan::SimulatedLan(const char* playerAddress, std::uint32_t startTick)
    : state_(std::make_unique<State>()), previous_(current()) {
    state_->playerAddress = address(playerAddress);
    state_->bindAddress = state_->playerAddress;
    state_->clock = startTick;
    state_->lan = this;
    simlan::setActive(state_.get());
    platform::install(simlan::operations());
}

SimulatedLan::~SimulatedLan() {
    platform::install(previous_);
    simlan::setActive(nullptr);
}

std::uint32_t SimulatedLan::now() const { return static_cast<std::uint32_t>(state_->clock); }

void SimulatedLan::setNow(std::uint32_t tick) { state_->clock += static_cast<std::uint32_t>(tick - now()); }

void SimulatedLan::advance(std::uint32_t milliseconds) { state_->clock += milliseconds; }

std::uint64_t SimulatedLan::sleptMilliseconds() const { return state_->slept; }

void SimulatedLan::setLatency(const std::string& host, std::uint32_t milliseconds) {
    state_->latency[address(host)] = milliseconds;
}

void SimulatedLan::setImpairment(Direction direction, const Impairment& impairment, std::uint32_t seed) {
    simlan::Channel& channel = direction == Direction::ToPlayer ? state_->toPlayer : state_->fromPlayer;
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
    simlan::deliver(*state_, std::move(datagram), extraDelay);
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

std::uint32_t SimulatedLan::address(const std::string& text) { return simlan::addressFromText(text.c_str()); }

}  // namespace brenn::platform
