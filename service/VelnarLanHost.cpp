// VelnarLanHost: the query port, the answers and the factory.
#include "service/VelnarLanHost.h"

#include "hosting/Announcer.h"
#include "hosting/GameValues.h"
#include "hosting/QueryGate.h"
#include "platform/Platform.h"
#include "protocol/Wire.h"

#include <new>

namespace brenn::matchmaking::velnar {

namespace {

// Room for one query and a byte more, so that a longer datagram reads as
// longer than a query (a receive cuts what does not fit).
constexpr int QueryBuffer = hosting::StatusQueryLength + 1;

static_assert(VelnarLanHost::MaxPlayerSlots == hosting::MaxPlayerSlots, "one player slot count");
static_assert(VelnarLanHost::MaxReplyDatagrams == static_cast<std::int32_t>(hosting::MaxReplyDatagrams),
              "one reply limit");

}  // namespace

struct VelnarLanHost::State {
    hosting::GameValues values;
    hosting::QueryGate gate{HostLimits{}, 0};
    HostCounters counters;
    platform::Socket socket = platform::InvalidSocket;
    std::uint16_t port = 0;
    std::uint32_t queryNumber = 0;  // of the last reply sent
    std::string datagram;           // the datagram being sent, kept for its storage
    bool announcing = false;
    hosting::Announcer announcer;
    std::uint64_t announcedRevision = 0;  // of the values, when last looked at
    // The socket of a stopped game, held for the goodbye's second copy.
    platform::Socket leaving = platform::InvalidSocket;
    std::uint16_t leavingPort = 0;

    // Starts the hellos of a game that hosts now.
    void startAnnouncing() {
        const std::uint32_t now = platform::tickCount();
        platform::enableBroadcast(socket);
        hosting::announceStart(&announcer, now, now ^ (port * 2654435761u));
        announcedRevision = values.revision();
    }

    // Sends an announcement from s (bound to port) to 255.255.255.255 and
    // to each interface's broadcast address; a send that fails is skipped.
    void announce(platform::Socket s, std::uint16_t from, hosting::Announcement kind) {
        const std::string text = hosting::announcementText(kind, from);
        const std::uint16_t to = platform::hostToNet16(wire::AnnouncePort);
        platform::InterfaceAddress interfaces[platform::MaxInterfaces];
        const int count = platform::listInterfaces(interfaces, platform::MaxInterfaces);
        std::uint32_t targets[platform::MaxInterfaces + 1] = {platform::BroadcastAddress};
        int targetCount = 1;
        for (int i = 0; i < count; ++i) {
            const platform::InterfaceAddress& entry = interfaces[i];
            const std::uint32_t skip = platform::InterfaceLoopback | platform::InterfacePointToPoint;
            if ((entry.flags & platform::InterfaceBroadcast) == 0 || (entry.flags & skip) != 0) continue;
            bool listed = entry.broadcast == 0;
            for (int k = 0; k < targetCount && !listed; ++k) listed = targets[k] == entry.broadcast;
            if (!listed) targets[targetCount++] = entry.broadcast;
        }
        for (int k = 0; k < targetCount; ++k)
            platform::sendTo(s, text.data(), static_cast<int>(text.size()), targets[k], to);
    }

    // Closes the socket held for a goodbye, without its second copy.
    void closeLeaving() {
        if (leaving == platform::InvalidSocket) return;
        platform::closeSocket(leaving);
        platform::endSockets();
        leaving = platform::InvalidSocket;
        leavingPort = 0;
        hosting::announceNothing(&announcer);
    }
};

VelnarLanHost::VelnarLanHost(std::string name) : name(std::move(name)), state(new State) {}

VelnarLanHost::~VelnarLanHost() {
    stopHosting();
    state->closeLeaving();
    delete state;
}

void VelnarLanHost::update() {
    const std::uint32_t now = platform::tickCount();
    if (state->leaving != platform::InvalidSocket) {
        if (hosting::nextAnnouncement(&state->announcer, now) == hosting::GoodbyeAnnouncement) {
            state->announce(state->leaving, state->leavingPort, hosting::GoodbyeAnnouncement);
            state->closeLeaving();
        }
    }
    if (state->socket == platform::InvalidSocket) return;
    char buffer[QueryBuffer];
    // The socket never waits: a failed receive is the end of what is there
    // (or a failure that the next step tries past).
    for (std::int32_t read = 0; read < MaxDatagramsPerStep; ++read) {
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        const int length = platform::receiveFrom(state->socket, buffer, QueryBuffer, &address, &port);
        if (length < 0) break;
        switch (state->gate.admit(buffer, length, address, port, now)) {
            case hosting::Answer:
                answer(address, port);
                break;
            case hosting::NotAQuery:
                ++state->counters.notQueries;
                break;
            case hosting::NotLocal:
                ++state->counters.notLocal;
                break;
            default:
                ++state->counters.rateLimited;
                break;
        }
    }
    if (!state->announcing) return;
    if (state->values.revision() != state->announcedRevision) {
        state->announcedRevision = state->values.revision();
        hosting::announceChange(&state->announcer, now);
    }
    hosting::Announcement kind;
    while ((kind = hosting::nextAnnouncement(&state->announcer, now)) != hosting::NoAnnouncement)
        state->announce(state->socket, state->port, kind);
}

// Sends the reply, one datagram after the other; a send that fails ends it
// (the browser then waits in vain and gives up, as for a lost datagram).
void VelnarLanHost::answer(std::uint32_t address, std::uint16_t port) {
    ++state->counters.answered;
    const std::uint32_t query = ++state->queryNumber;
    const std::vector<std::string>& bodies = state->values.bodies();
    for (std::size_t k = 0; k < bodies.size(); ++k) {
        state->datagram = bodies[k];
        hosting::appendTail(&state->datagram, query, k + 1, bodies.size());
        const int length = static_cast<int>(state->datagram.size());
        if (platform::sendTo(state->socket, state->datagram.data(), length, address, port) != length) return;
    }
}

std::string VelnarLanHost::getName() { return name; }

HostResult VelnarLanHost::startHosting(const std::string& hostName, std::uint32_t port) {
    if (state->socket != platform::InvalidSocket) return HostAlreadyHosting;
    if (port > 65535) return HostBadPort;
    state->closeLeaving();
    if (platform::startSockets() != 0) return HostSocketFailed;
    const std::uint16_t first = port == 0 ? wire::FirstPort : static_cast<std::uint16_t>(port);
    const std::uint16_t last = port == 0 ? wire::LastPort : first;
    int failure = platform::BindFailed;
    platform::Socket socket = platform::InvalidSocket;
    std::uint16_t bound = first;
    for (; bound <= last && bound >= first; ++bound) {
        socket = platform::bindUdpSocket(bound, &failure);
        if (socket != platform::InvalidSocket || failure != platform::BindInUse) break;
    }
    HostResult result = socket == platform::InvalidSocket
                            ? (failure == platform::BindInUse ? HostPortInUse : HostSocketFailed)
                            : state->values.setServerValue("info", "hostname", hostName);
    if (result != HostOk) {
        platform::closeSocket(socket);
        platform::endSockets();
        return result;
    }
    state->socket = socket;
    state->port = bound;
    state->gate.setLimits(state->gate.limits(), platform::tickCount());
    if (state->announcing) state->startAnnouncing();
    return HostOk;
}

void VelnarLanHost::stopHosting() {
    if (state->socket == platform::InvalidSocket) return;
    if (state->announcing) {
        state->announce(state->socket, state->port, hosting::GoodbyeAnnouncement);
        hosting::announceStop(&state->announcer, platform::tickCount());
        state->leaving = state->socket;
        state->leavingPort = state->port;
    } else {
        platform::closeSocket(state->socket);
        platform::endSockets();
    }
    state->socket = platform::InvalidSocket;
    state->port = 0;
}

bool VelnarLanHost::isHosting() { return state->socket != platform::InvalidSocket; }

HostResult VelnarLanHost::setServerValue(const std::string& section, const std::string& key,
                                         const std::string& value) {
    return state->values.setServerValue(section, key, value);
}

HostResult VelnarLanHost::setPlayerValue(std::int32_t index, const std::string& key, const std::string& value) {
    return state->values.setPlayerValue(index, key, value);
}

HostResult VelnarLanHost::removePlayer(std::int32_t index) { return state->values.removePlayer(index); }

HostResult VelnarLanHost::setPlayerLimit(std::int32_t maxPlayers) { return state->values.setPlayerLimit(maxPlayers); }

std::uint16_t VelnarLanHost::getPort() { return state->port; }

std::int32_t VelnarLanHost::getPlayerCount() { return state->values.playerCount(); }

HostLimits VelnarLanHost::getLimits() { return state->gate.limits(); }

HostResult VelnarLanHost::setLimits(const HostLimits& limits) {
    if (!hosting::validLimits(limits)) return HostBadLimit;
    state->gate.setLimits(limits, platform::tickCount());
    return HostOk;
}

HostCounters VelnarLanHost::getCounters() { return state->counters; }

void VelnarLanHost::setAnnouncing(bool on) {
    if (on == state->announcing) return;
    state->announcing = on;
    if (!on) {
        state->closeLeaving();
        hosting::announceNothing(&state->announcer);
    } else if (state->socket != platform::InvalidSocket) {
        state->startAnnouncing();
    }
}

bool VelnarLanHost::isAnnouncing() { return state->announcing; }

}  // namespace brenn::matchmaking::velnar

extern "C" brenn::matchmaking::velnar::VelnarLanHost* CreateHostClass(std::string name) {
    try {
        return new brenn::matchmaking::velnar::VelnarLanHost(std::move(name));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
