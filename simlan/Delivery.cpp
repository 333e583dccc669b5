// The simulated LAN's delivery: the impairments of each direction (loss,
// bursts, duplication, reordering, delay), then the datagram's way to a
// server's responder or to the inboxes of the sockets it reaches.
#include "simlan/LanState.h"

namespace brenn::platform::simlan {

double Channel::draw() { return std::uniform_real_distribution<double>(0.0, 1.0)(random); }

bool Channel::loses() {
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

namespace {

// A broadcast reaches the bound and shared sockets at its port: the
// player's own (the player is on every segment; a machine hears its own
// broadcast) and those of the machines in the segments it reached.
void queueBroadcast(SimulatedLan::State& lan, const SimulatedLan::Datagram& datagram, std::uint32_t due,
                    const std::vector<std::uint32_t>& subnets) {
    const auto own = lan.socketByPort.find(datagram.toPort);
    std::vector<std::pair<Socket, std::uint32_t>> reached;
    if (own != lan.socketByPort.end() && lan.sockets[own->second].bound)
        reached.emplace_back(own->second, lan.playerAddress);
    for (const auto& [endpoint, socket] : lan.boundElsewhere) {
        if (endpoint.second != datagram.toPort) continue;
        if (!lan.interfaces.empty() && !inSubnets(lan, endpoint.first, subnets)) continue;
        reached.emplace_back(socket, endpoint.first);
    }
    for (const auto& [endpoint, socket] : lan.shared) {
        if (endpoint.second != datagram.toPort) continue;
        const bool player = endpoint.first == lan.playerAddress;
        if (!player && !lan.interfaces.empty() && !inSubnets(lan, endpoint.first, subnets)) continue;
        reached.emplace_back(socket, endpoint.first);
    }
    for (const auto& [socket, address] : reached) {
        SimulatedLan::Datagram copy = datagram;
        copy.toAddress = address;
        copy.broadcast = true;
        lan.queue(socket, Entry{std::move(copy), false}, due);
    }
}

// Queues the datagram on the socket at its destination, if one is bound
// there; true when one was.
bool queueOnSocket(SimulatedLan::State& lan, SimulatedLan::Datagram& datagram, std::uint32_t due) {
    if (isPlayerAddress(lan, datagram.toAddress)) {
        const auto socket = lan.socketByPort.find(datagram.toPort);
        const auto sharing = lan.shared.find({lan.playerAddress, datagram.toPort});
        if (socket != lan.socketByPort.end())
            lan.queue(socket->second, Entry{std::move(datagram), false}, due);
        else if (sharing != lan.shared.end())
            lan.queue(sharing->second, Entry{std::move(datagram), false}, due);
        return true;
    }
    const auto bound = lan.boundElsewhere.find({datagram.toAddress, datagram.toPort});
    if (bound != lan.boundElsewhere.end()) {
        lan.queue(bound->second, Entry{std::move(datagram), false}, due);
        return true;
    }
    const auto sharing = lan.shared.find({datagram.toAddress, datagram.toPort});
    if (sharing != lan.shared.end()) {
        lan.queue(sharing->second, Entry{std::move(datagram), false}, due);
        return true;
    }
    return false;
}

void carry(SimulatedLan::State& lan, SimulatedLan::Datagram datagram, std::uint32_t delay, bool fromThePlayer) {
    const std::uint32_t due = lan.latencyOf(datagram.fromAddress) + delay;
    if (queueOnSocket(lan, datagram, due)) return;
    std::vector<std::uint32_t> segments;
    if (!fromThePlayer && broadcastFrom(lan, datagram.fromAddress, datagram.toAddress, &segments)) {
        queueBroadcast(lan, datagram, due, segments);
        return;
    }
    datagram.delay = delay;
    // Each server sees the datagram arrive at its own address, flagged
    // as a broadcast where it was one.
    std::vector<std::pair<SimulatedLan::Responder, SimulatedLan::Datagram>> reached;
    std::vector<std::uint32_t> subnets;
    std::uint32_t source = 0;
    if (fromThePlayer && broadcastReach(lan, datagram.toAddress, &subnets, &source)) {
        queueBroadcast(lan, datagram, due, subnets);
        for (const auto& server : lan.servers) {
            if (server.first.second != datagram.toPort) continue;
            if (!lan.interfaces.empty() && !inSubnets(lan, server.first.first, subnets)) continue;
            SimulatedLan::Datagram copy = datagram;
            copy.toAddress = server.first.first;
            copy.broadcast = true;
            reached.emplace_back(server.second, std::move(copy));
        }
    } else {
        const auto server = lan.servers.find({datagram.toAddress, datagram.toPort});
        if (server != lan.servers.end()) reached.emplace_back(server->second, datagram);
    }
    for (const auto& [responder, request] : reached) responder(*lan.lan, request);
}

}  // namespace

// Datagrams from the player meet the impairment toward the servers, all
// others the one toward the player.
void deliver(SimulatedLan::State& lan, SimulatedLan::Datagram datagram, std::uint32_t extraDelay) {
    const bool fromThePlayer = isPlayerAddress(lan, datagram.fromAddress);
    Channel& channel = fromThePlayer ? lan.fromPlayer : lan.toPlayer;
    int copies = 1;
    if (channel.loses()) {
        ++lan.impairedLost;
        return;
    }
    const SimulatedLan::Impairment& impairment = channel.impairment;
    if (impairment.duplicate > 0.0 && channel.draw() < impairment.duplicate) {
        ++lan.impairedCopies;
        copies = 2;
    }
    std::uint32_t impairedDelay = impairment.delay;
    if (impairment.reorder > 0.0 && channel.draw() < impairment.reorder) impairedDelay += impairment.reorderDelay;
    for (int copy = 0; copy < copies; ++copy)
        carry(lan, datagram, extraDelay + impairedDelay + static_cast<std::uint32_t>(copy), fromThePlayer);
}

}  // namespace brenn::platform::simlan
