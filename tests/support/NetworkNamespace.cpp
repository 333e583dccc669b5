// A private network namespace and loopback game servers for real-socket tests.
#include "support/NetworkNamespace.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace brenn::testing {

bool enterPrivateNetwork(std::string* why) {
    if (::unshare(CLONE_NEWNET) != 0) {
        *why = std::string("cannot make a private network namespace (") + std::strerror(errno) +
               "); real-socket tests need root or user namespaces";
        return false;
    }
    if (std::system("ip link set lo up && ip route add broadcast 255.255.255.255 dev lo table local") != 0) {
        *why = "cannot set up the loopback in the private namespace (is iproute2 installed?)";
        return false;
    }
    return true;
}

namespace {

int boundSocket(const std::string& address, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port));
    }
    return fd;
}

}  // namespace

LoopbackServers::LoopbackServers(std::vector<Server> servers, std::chrono::seconds lifetime)
    : servers_(std::move(servers)) {
    for (const Server& s : servers_) {
        if (std::find(listenerPorts_.begin(), listenerPorts_.end(), s.port) == listenerPorts_.end()) {
            listenerPorts_.push_back(s.port);
            listeners_.push_back(boundSocket("0.0.0.0", s.port));
        }
        own_.push_back(boundSocket(s.address, s.port));
    }
    thread_ = std::thread([this, lifetime] { serve(lifetime); });
}

LoopbackServers::~LoopbackServers() {
    stop_ = true;
    thread_.join();
    for (int fd : own_) ::close(fd);
    for (int fd : listeners_) ::close(fd);
}

void LoopbackServers::serve(std::chrono::seconds lifetime) {
    const auto deadline = std::chrono::steady_clock::now() + lifetime;
    std::vector<pollfd> fds;
    for (int fd : listeners_) fds.push_back({fd, POLLIN, 0});
    for (int fd : own_) fds.push_back({fd, POLLIN, 0});
    char buffer[1500];
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(fds[i].fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                                         &fromLength);
            if (n < 8 || std::memcmp(buffer, "\\status\\", 8) != 0) continue;
            const auto send = [&](int fd, const std::string& payload) {
                ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
            };
            if (i < listeners_.size()) {
                // A broadcast: every server on that port answers from its own address.
                for (std::size_t s = 0; s < servers_.size(); ++s)
                    if (servers_[s].port == listenerPorts_[i]) send(own_[s], "\\final\\");
                continue;
            }
            const std::size_t s = i - listeners_.size();
            ++queries_;
            if (!servers_[s].answersQueries) continue;
            for (const std::string& datagram : servers_[s].reply) send(own_[s], datagram);
        }
    }
}

}  // namespace brenn::testing
