// brenn_ping_step: what the ping reads when the host steps every 16 ms, with
// the datagrams' arrival times and without them (a platform table that lacks
// receiveTimed, as before), in one run; and how many announcements a hosted
// game sends a minute while nothing changes.
//   brenn_ping_step [--passes N] [--step MS] [--delay US]
// The pings are taken on the loopback of a private network namespace, from
// servers that answer each query DELAY microseconds after it came (a LAN of
// about that round trip); the round trip itself is measured beside the
// browser by a socket of its own. The announcements are counted on the
// simulated LAN over ten minutes. Exit 1 when a target is missed (pings
// with arrival times within 1 ms of the round trip; no announcement while
// nothing changes), 77 when no namespace can be had.
#include "browser/ServerBrowser.h"
#include "simlan/SimulatedLan.h"
#include "service/VelnarLanHost.h"
#include "support/NetworkNamespace.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace brenn;
using Clock = std::chrono::steady_clock;

constexpr int Servers = 8;
constexpr std::uint16_t Port = 22000;

std::string serverAddress(int i) { return "127.0.0." + std::to_string(2 + i); }

int boundSocket(const std::string& address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(Port);
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror(("bind " + address).c_str());
        std::exit(1);
    }
    return fd;
}

// Servers on 127.0.0.2 and up, port 22000, that answer the broadcast and
// their own queries `delay` after each came, for at most two minutes.
class DelayedServers {
public:
    explicit DelayedServers(std::chrono::microseconds delay) : delay_(delay) {
        fds_.push_back(boundSocket("0.0.0.0"));  // hears the broadcast
        for (int i = 0; i < Servers; ++i) fds_.push_back(boundSocket(serverAddress(i)));
        thread_ = std::thread([this] { serve(); });
    }
    ~DelayedServers() {
        stop_ = true;
        thread_.join();
        for (int fd : fds_) ::close(fd);
    }

private:
    struct Due {
        Clock::time_point at;
        int server;
        sockaddr_in to;
    };

    void serve() {
        std::vector<pollfd> polled;
        for (int fd : fds_) polled.push_back({fd, POLLIN, 0});
        std::vector<Due> due;
        const auto end = Clock::now() + std::chrono::minutes(2);
        while (!stop_ && Clock::now() < end) {
            // Spins while a reply is due within 2 ms, else waits in poll.
            const bool soon = !due.empty() && due.front().at - Clock::now() < std::chrono::milliseconds(2);
            ::poll(polled.data(), polled.size(), soon ? 0 : 1);
            for (std::size_t k = 0; k < polled.size(); ++k) {
                char buffer[64];
                sockaddr_in from{};
                socklen_t length = sizeof from;
                while (::recvfrom(fds_[k], buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) >= 8) {
                    const Clock::time_point at = Clock::now() + delay_;
                    for (int i = 0; i < Servers; ++i)
                        if (k == 0 || static_cast<int>(k) == i + 1) due.push_back({at, i, from});
                    length = sizeof from;
                }
            }
            while (!due.empty() && due.front().at <= Clock::now()) {
                const Due& d = due.front();
                const std::string reply = "\\hostname\\Bench " + std::to_string(d.server) +
                                          "\\gamename\\ridgeline\\final\\";
                ::sendto(fds_[d.server + 1], reply.data(), reply.size(), 0,
                         reinterpret_cast<const sockaddr*>(&d.to), sizeof d.to);
                due.erase(due.begin());
            }
        }
    }

    std::chrono::microseconds delay_;
    std::vector<int> fds_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// One pass of the engine stepped every stepMs; the pings it read.
std::vector<int> pass(int stepMs) {
    ServerBrowser* browser = browser::create("bench", "bench", "", Servers, nullptr, 1, nullptr);
    std::vector<int> pings;
    if (browser == nullptr || browser::lanUpdate(browser, 1, Port, Port, 1) != NoError) return pings;
    for (int steps = 0; browser::state(browser) != Idle && steps < 2000; ++steps) {
        browser::think(browser);
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    for (std::int32_t i = 0; i < browser::serverCount(browser); ++i) pings.push_back(browser::serverAt(browser, i)->ping);
    browser::destroy(browser);
    return pings;
}

// The round trip of a status query to server 0, in ms: the median of
// `count`, each awaited in poll (a spinning socket would contend with the
// servers' thread for a core on a busy machine and read it longer).
double roundTrip(int count) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(Port);
    ::inet_pton(AF_INET, serverAddress(0).c_str(), &to.sin_addr);
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        char buffer[256];
        while (::recv(fd, buffer, sizeof buffer, 0) >= 0) {
        }
        const Clock::time_point sent = Clock::now();
        ::sendto(fd, "\\status\\", 8, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        pollfd polled{fd, POLLIN, 0};
        if (::poll(&polled, 1, 200) == 1 && ::recv(fd, buffer, sizeof buffer, 0) > 0)
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fd);
    std::sort(times.begin(), times.end());
    return times.empty() ? -1 : times[times.size() / 2];
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Announcements (each to every broadcast address) per minute of a hosted
// game stepped every 16 ms for ten simulated minutes; `change` says whether
// it sets a new value every second or the same ones every frame.
std::vector<int> announcementsPerMinute(bool change) {
    platform::SimulatedLan lan;
    lan.setBindAddress("10.0.0.20");
    matchmaking::velnar::VelnarLanHost game("bench");
    game.setAnnouncing(true);
    game.startHosting("Bench", 22000);
    std::vector<int> perMinute(10, 0);
    const std::uint32_t start = lan.now();
    for (std::uint32_t t = 0; t < 600000; t += 16, lan.advance(16)) {
        const bool second = t / 1000 != (t + 16) / 1000;
        game.setServerValue("info", "mapname", change && second ? "map" + std::to_string(t / 1000) : "scree");
        game.setPlayerValue(0, "score", "7");
        game.update();
    }
    for (const auto& d : lan.sent())
        if (d.toPort == 22020 && d.toAddress == platform::BroadcastAddress) ++perMinute[(d.sentAt - start) / 60000];
    return perMinute;
}

}  // namespace

int main(int argc, char** argv) {
    int passes = 3, stepMs = 16, delayUs = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--passes") == 0) passes = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--step") == 0) stepMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--delay") == 0) delayUs = std::atoi(argv[i + 1]);
    }
    bool missed = false;
    std::string why;
    if (!testing::enterPrivateNetwork(&why)) {
        std::printf("pings: skipped (%s)\n", why.c_str());
    } else {
        DelayedServers servers{std::chrono::microseconds(delayUs)};
        roundTrip(10);
        const double roundTripMs = roundTrip(50);
        const platform::Operations native = platform::native();
        platform::Operations older = native;
        older.receiveTimed = nullptr;
        std::vector<double> timed, stepped;
        for (int p = 0; p < passes; ++p)
            for (const bool arrival : {true, false}) {
                platform::install(arrival ? native : older);
                for (int ping : pass(stepMs)) (arrival ? timed : stepped).push_back(ping);
            }
        platform::install(native);
        const double withArrival = median(timed), atTheStep = median(stepped);
        std::printf("ping at a %d ms step, %d servers answering after %d us, %d passes each way (median, ms)\n",
                    stepMs, Servers, delayUs, passes);
        std::printf("  round trip (awaited in poll)   %6.2f\n", roundTripMs);
        std::printf("  with arrival times             %6.0f  (%zu pings, %.0f to %.0f)\n", withArrival, timed.size(),
                    timed.empty() ? -1.0 : *std::min_element(timed.begin(), timed.end()),
                    timed.empty() ? -1.0 : *std::max_element(timed.begin(), timed.end()));
        std::printf("  at the step (before)           %6.0f  (%zu pings, %.0f to %.0f)\n", atTheStep, stepped.size(),
                    stepped.empty() ? -1.0 : *std::min_element(stepped.begin(), stepped.end()),
                    stepped.empty() ? -1.0 : *std::max_element(stepped.begin(), stepped.end()));
        if (timed.empty() || withArrival < 0 || withArrival > roundTripMs + 1.0 || withArrival < roundTripMs - 1.0) {
            std::printf("  MISSED: the ping with arrival times is not within 1 ms of the round trip\n");
            missed = true;
        }
    }
    for (const bool change : {false, true}) {
        const std::vector<int> perMinute = announcementsPerMinute(change);
        std::printf("announcements a minute, %s, minutes 1 to 10:", change ? "a value changing every second"
                                                                          : "nothing changing (values set every frame)");
        for (int n : perMinute) std::printf(" %d", n);
        std::printf("\n");
        for (std::size_t m = 1; m < perMinute.size(); ++m)
            if (perMinute[m] > (change ? 10 : 0)) missed = true;
    }
    return missed ? 1 : 0;
}
