// Responder: the sockets of the simulated servers and the loop that answers
// broadcasts and queries, with delayed replies kept in a timer queue.
#pragma once

#include "Announcements.h"
#include "Options.h"
#include "SimServer.h"
#include "platform/Platform.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <queue>
#include <set>
#include <string>
#include <vector>

namespace lanserver {

class Responder {
public:
    Responder(const Options& options, std::vector<SimServer> servers);
    ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // Binds one socket per server to its address:port, and one wildcard
    // socket per port for broadcasts (all with SO_REUSEADDR). Broadcasts are
    // answered only when they arrive on an interface whose network holds a
    // server address (the loopback for 127.0.0.x), never from another
    // network the machine is on. False, with a message, when a socket cannot
    // be made or bound; sockets made so far are closed by the destructor.
    bool bind(std::string* error);

    // Answers until durationS seconds have passed or *stop becomes true.
    // With --announce, every server that is not dead also sends its hellos
    // meanwhile and its goodbye at the end (the second copy 250 ms later,
    // answering nothing in between).
    void run(int durationS, const std::atomic<bool>* stop);

    std::uint64_t broadcastsAnswered() const { return broadcasts_; }
    std::uint64_t queriesAnswered() const { return queries_; }
    std::uint64_t datagramsSent() const { return sent_; }
    // Status queries that reached silent or dead servers and got no answer.
    std::uint64_t queriesUnanswered() const { return unanswered_; }
    // Announcements sent (each to every broadcast address), with --announce.
    std::uint64_t hellosSent() const { return announcements_ ? announcements_->hellosSent() : 0; }
    std::uint64_t goodbyesSent() const { return announcements_ ? announcements_->goodbyesSent() : 0; }

private:
    struct Server {
        SimServer setup;
        int fd = -1;
        int split = 1;
        int delayMs = 0;
        std::uint32_t replies = 0;  // replies built so far, numbers the queryid
    };
    struct Port {
        int fd = -1;                 // wildcard socket
        std::vector<std::size_t> servers;
    };
    struct Pending {
        std::int64_t due;            // steady clock, milliseconds
        std::uint64_t order;         // keeps equal due times in order
        std::size_t server;
        sockaddr_in to;
        bool operator>(const Pending& other) const {
            return due != other.due ? due > other.due : order > other.order;
        }
    };

    void readWildcard(Port& port, std::int64_t now);
    void readServer(std::size_t index, std::int64_t now);
    void schedule(std::size_t server, const sockaddr_in& to, std::int64_t due);
    void sendDue(std::int64_t now);
    void sayGoodbye();

    const Options options_;
    std::vector<Server> servers_;
    std::map<std::uint16_t, Port> ports_;
    // Interface addresses whose broadcasts are answered.
    std::vector<brenn::platform::InterfaceAddress> lanInterfaces_;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending_;
    std::uint64_t order_ = 0;
    std::uint64_t broadcasts_ = 0;
    std::uint64_t queries_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t unanswered_ = 0;
    std::unique_ptr<Announcements> announcements_;
};

}  // namespace lanserver
