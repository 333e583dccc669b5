// The simulated servers' sockets and their poll loop.
#include "Responder.h"

#include "hosting/ReplyBuilder.h"
#include "platform/Platform.h"
#include "protocol/Wire.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>

namespace lanserver {
namespace {

// Replies waiting at once beyond this are dropped, so a flood of requests
// cannot grow the queue without bound.
constexpr std::size_t MaxPending = 200000;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isStatusQuery(const char* data, ssize_t length) {
    const auto size = static_cast<ssize_t>(brenn::wire::StatusQueryLength);
    return length >= size && std::memcmp(data, brenn::wire::StatusQuery, static_cast<std::size_t>(size)) == 0;
}

int openBound(std::uint32_t addressNetworkOrder, std::uint16_t port, bool wantDestination,
              std::string* error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (wantDestination) ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = addressNetworkOrder;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        *error = std::string("bind ") + text + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The machine's interface addresses (the platform's list, every address
// of every interface that is up) whose IPv4 networks hold at least one of
// the addresses: loopback for 127.0.0.x, the veth for addresses put on it.
std::vector<brenn::platform::InterfaceAddress> interfacesFor(const std::vector<std::uint32_t>& addressesNetworkOrder) {
    // Room for every address a run puts on its interfaces (up to 65536 servers).
    std::vector<brenn::platform::InterfaceAddress> all(70000);
    const int count = brenn::platform::listInterfaces(all.data(), static_cast<int>(all.size()));
    std::vector<brenn::platform::InterfaceAddress> result;
    for (int i = 0; i < count; ++i) {
        const brenn::platform::InterfaceAddress& entry = all[static_cast<std::size_t>(i)];
        for (const std::uint32_t a : addressesNetworkOrder) {
            if ((a & entry.netmask) == (entry.address & entry.netmask)) {
                result.push_back(entry);
                break;
            }
        }
    }
    return result;
}

// A status query that reached a LAN interface as a broadcast: sent to the
// directed broadcast address of one of them, or to 255.255.255.255 and
// received by one of them (its local address in their networks, or none on
// a loopback LAN).
bool isLanBroadcast(const in_pktinfo& info, const std::vector<brenn::platform::InterfaceAddress>& lan) {
    const std::uint32_t destination = info.ipi_addr.s_addr;
    const std::uint32_t local = info.ipi_spec_dst.s_addr;
    for (const brenn::platform::InterfaceAddress& entry : lan) {
        // The network's directed broadcast, also where the interface's
        // broadcast address was left unset.
        if (destination == entry.broadcast || destination == (entry.address | ~entry.netmask)) return true;
        // Linux gives a broadcast looped back on lo no local address.
        const bool onLoopback = local == 0 && (entry.flags & brenn::platform::InterfaceLoopback) != 0;
        if (destination == brenn::platform::BroadcastAddress &&
            (onLoopback || (local & entry.netmask) == (entry.address & entry.netmask)))
            return true;
    }
    return false;
}

// Lets one process hold a socket per server: raise the soft descriptor limit.
void raiseDescriptorLimit(std::size_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, static_cast<rlim_t>(wanted));
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

Responder::Responder(const Options& options, std::vector<SimServer> servers) : options_(options) {
    for (SimServer& setup : servers) {
        Server server;
        server.split = setup.split > 0 ? setup.split : options.split;
        server.delayMs = setup.delayMs >= 0 ? setup.delayMs : options.delayMs;
        server.setup = std::move(setup);
        servers_.push_back(std::move(server));
    }
}

Responder::~Responder() {
    for (Server& s : servers_) {
        if (s.fd >= 0) ::close(s.fd);
    }
    for (auto& entry : ports_) {
        if (entry.second.fd >= 0) ::close(entry.second.fd);
    }
}

bool Responder::bind(std::string* error) {
    raiseDescriptorLimit(servers_.size() + 64 + 16);
    std::vector<std::uint32_t> addresses;
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        Server& s = servers_[i];
        Port& port = ports_[s.setup.port];
        if (port.fd < 0) {
            port.fd = openBound(htonl(INADDR_ANY), s.setup.port, true, error);
            if (port.fd < 0) return false;
        }
        port.servers.push_back(i);
        in_addr address{};
        ::inet_pton(AF_INET, s.setup.address.c_str(), &address);
        s.fd = openBound(address.s_addr, s.setup.port, false, error);
        if (s.fd < 0) return false;
        const int on = 1;
        if (options_.announce && ::setsockopt(s.fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            *error = std::string("broadcast on ") + s.setup.address + ": " + std::strerror(errno);
            return false;
        }
        addresses.push_back(address.s_addr);
    }
    lanInterfaces_ = interfacesFor(addresses);
    return true;
}

void Responder::schedule(std::size_t server, const sockaddr_in& to, std::int64_t due) {
    if (pending_.size() >= MaxPending) return;
    pending_.push(Pending{due, order_++, server, to});
}

void Responder::readWildcard(Port& port, std::int64_t now) {
    for (;;) {
        char data[1500];
        char control[CMSG_SPACE(sizeof(in_pktinfo))];
        sockaddr_in from{};
        iovec io{data, sizeof data};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = ::recvmsg(port.fd, &message, 0);
        if (length < 0) return;  // drained (or failed: nothing more to do now)
        bool broadcast = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                broadcast = isLanBroadcast(info, lanInterfaces_);
            }
        }
        if (!broadcast || !isStatusQuery(data, length)) continue;
        ++broadcasts_;
        // Every server of the port answers, from its own socket; with a
        // spread, server k of n answers k * spread / n ms later than the first.
        const std::size_t n = port.servers.size();
        for (std::size_t k = 0; k < n; ++k) {
            const Server& s = servers_[port.servers[k]];
            if (s.setup.behaviour == Behaviour::Dead) continue;
            const std::int64_t offset = static_cast<std::int64_t>(k) * options_.spreadMs / static_cast<std::int64_t>(n);
            schedule(port.servers[k], from, now + s.delayMs + offset);
        }
    }
}

void Responder::readServer(std::size_t index, std::int64_t now) {
    Server& s = servers_[index];
    for (;;) {
        char data[1500];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t length =
            ::recvfrom(s.fd, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length < 0) return;
        if (!isStatusQuery(data, length)) continue;
        if (s.setup.behaviour != Behaviour::Answers) {
            ++unanswered_;
            continue;
        }
        ++queries_;
        schedule(index, from, now + s.delayMs);
    }
}

void Responder::sendDue(std::int64_t now) {
    while (!pending_.empty() && pending_.top().due <= now) {
        const Pending p = pending_.top();
        pending_.pop();
        Server& s = servers_[p.server];
        for (const std::string& datagram : brenn::hosting::buildReply(s.setup.pairs, s.split, ++s.replies)) {
            const ssize_t sent = ::sendto(s.fd, datagram.data(), datagram.size(), 0,
                                          reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
            if (sent >= 0) ++sent_;
        }
    }
}

void Responder::run(int durationS, const std::atomic<bool>* stop) {
    std::vector<pollfd> fds;
    std::vector<Port*> portOf;  // per entry of fds: its port, or null for a server socket
    for (auto& entry : ports_) {
        fds.push_back({entry.second.fd, POLLIN, 0});
        portOf.push_back(&entry.second);
    }
    for (const Server& s : servers_) {
        fds.push_back({s.fd, POLLIN, 0});
        portOf.push_back(nullptr);
    }
    const std::size_t firstServer = ports_.size();
    const std::int64_t end = nowMs() + static_cast<std::int64_t>(durationS) * 1000;
    if (options_.announce) {
        std::vector<Announcements::Speaker> speakers;
        for (const Server& s : servers_) {
            if (s.setup.behaviour == Behaviour::Dead) continue;
            in_addr address{};
            ::inet_pton(AF_INET, s.setup.address.c_str(), &address);
            speakers.push_back({s.fd, address.s_addr, htons(s.setup.port)});
        }
        announcements_ = std::make_unique<Announcements>(speakers, options_.seed, nowMs());
    }

    while (!stop->load()) {
        std::int64_t now = nowMs();
        if (now >= end) break;
        std::int64_t wait = std::min<std::int64_t>(end - now, 1000);
        if (!pending_.empty()) wait = std::max<std::int64_t>(0, std::min(wait, pending_.top().due - now));
        const std::int64_t announceIn = announcements_ ? announcements_->step(now) : -1;
        if (announceIn >= 0) wait = std::min(wait, announceIn);
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait));
        now = nowMs();
        if (ready > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                if (portOf[i]) readWildcard(*portOf[i], now);
                else readServer(i - firstServer, now);
            }
        }
        sendDue(now);
    }
    sayGoodbye();
}

// The goodbyes, at once and 250 ms on; nothing is read in between, and a
// second signal does not cut the wait short by more than one sleep.
void Responder::sayGoodbye() {
    if (!announcements_) return;
    const std::int64_t start = nowMs();
    announcements_->stop(start);
    for (std::int64_t wait; (wait = announcements_->step(nowMs())) >= 0 && nowMs() - start < 1000;)
        ::poll(nullptr, 0, static_cast<int>(wait));
}

}  // namespace lanserver
