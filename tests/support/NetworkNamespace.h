// Test support for real sockets: a private network namespace for the test
// process, and UDP servers on its loopback that answer like game servers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace brenn::testing {

// Moves this process into a new network namespace of its own, with the
// loopback up and a route for 255.255.255.255 on it, so that broadcasts
// stay inside. False (and why) where namespaces cannot be made.
bool enterPrivateNetwork(std::string* why);

// UDP servers on loopback addresses, each answering the broadcast status
// query and its own status queries, served by one thread until destroyed
// or for at most `lifetime`.
class LoopbackServers {
public:
    struct Server {
        std::string address;             // 127.0.0.x
        std::uint16_t port;              // 22000 to 22010
        std::vector<std::string> reply;  // datagrams sent for each query
        bool answersQueries = true;      // false: answers only the broadcast
    };

    explicit LoopbackServers(std::vector<Server> servers, std::chrono::seconds lifetime = std::chrono::seconds(30));
    ~LoopbackServers();
    LoopbackServers(const LoopbackServers&) = delete;
    LoopbackServers& operator=(const LoopbackServers&) = delete;

    // Queries (not broadcasts) that reached the servers so far.
    int queriesReceived() const { return queries_.load(); }

private:
    void serve(std::chrono::seconds lifetime);

    std::vector<Server> servers_;
    std::vector<int> own_;       // one socket per server, bound to its address
    std::vector<int> listeners_; // one wildcard socket per port, for broadcasts
    std::vector<std::uint16_t> listenerPorts_;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

}  // namespace brenn::testing
