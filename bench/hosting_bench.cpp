// A hosted game on the simulated LAN: update() with nothing waiting, one
// reply of a typical server built and sent, and floods of status queries
// drained by one step, with the limits checked after each.
#include "BenchSupport.h"
#include "simlan/SimulatedLan.h"
#include "service/VelnarLanHost.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace brenn::bench {
namespace {

using matchmaking::velnar::VelnarLanHost;

constexpr std::uint16_t QueryPort = 22000;
const std::string StatusQuery = "\\status\\";

// A game with the values of a typical LAN server: settings, eight players
// with score and ping, two teams; about 1.2 KB of reply in one datagram.
std::unique_ptr<VelnarLanHost> typicalGame() {
    std::unique_ptr<VelnarLanHost> game(CreateHostClass("bench"));
    game->startHosting("Ridgeline LAN evening - dedicated room 0 (all welcome, no cheats)", QueryPort);
    const char* settings[][3] = {
        {"basic", "gamever", "1.04.2212 build 5590 release"}, {"info", "location", "0"},
        {"info", "mapname", "Harbor Approach at dusk, extended"},
        {"info", "gametype", "capture the flag with reinforcements"}, {"info", "gamemode", "openplaying"},
        {"rules", "password", "0"},  {"rules", "timelimit", "30"},      {"info", "hostport", "22000"},
        {"teams", "team_t0", "Harbor Guard, blue side"}, {"teams", "team_t1", "Ridge Runners, red side"},
        {"teams", "score_t0", "14"}, {"teams", "score_t1", "11"},
    };
    for (const auto& s : settings) game->setServerValue(s[0], s[1], s[2]);
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        game->setPlayerValue(i, "player", "Player number " + n + " of room 0 tag[LAN] plays medic, sniper and engineer");
        game->setPlayerValue(i, "score", std::to_string(1200 - 37 * i));
        game->setPlayerValue(i, "ping", std::to_string(12 + i * 3));
    }
    return game;
}

std::uint32_t sender(std::int64_t n) { return platform::hostToNet32(0x0A010000u + static_cast<std::uint32_t>(n)); }

void idleUpdate(benchmark::State& state) {
    platform::SimulatedLan lan;
    auto game = typicalGame();
    for (auto _ : state) game->update();
}
BENCHMARK(idleUpdate)->Name("host/update/idle/sim");

// A player's score changes, then a query comes: the reply is built again
// and sent.
void typicalReply(benchmark::State& state) {
    platform::SimulatedLan lan;
    auto game = typicalGame();
    const std::uint32_t to = platform::SimulatedLan::address("10.0.0.1");
    std::int64_t score = 0;
    for (auto _ : state) {
        game->setPlayerValue(0, "score", std::to_string(++score));
        lan.send(sender(1), 40000, to, QueryPort, StatusQuery);
        game->update();
        lan.advance(100);  // within the sender's rate
    }
    if (game->getCounters().answered != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a query went unanswered");
    state.counters["replies/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(typicalReply)->Name("host/reply/typical/sim");

// The same on real sockets, in the benchmark's own network namespace: one
// receive that finds nothing; and a query from a socket of the loopback
// answered and the reply received.
void idleUpdatePosix(benchmark::State& state) {
    if (!inPrivateNetwork(state)) return;
    auto game = typicalGame();
    if (!game->isHosting()) return state.SkipWithError("the query port could not be bound");
    for (auto _ : state) game->update();
}
BENCHMARK(idleUpdatePosix)->Name("host/update/idle/posix");

void typicalReplyPosix(benchmark::State& state) {
    if (!inPrivateNetwork(state)) return;
    auto game = typicalGame();
    if (!game->isHosting()) return state.SkipWithError("the query port could not be bound");
    game->setLimits({true, 1000000, 1000000, 1000000, 1000000});
    const platform::Socket client = platform::openUdpSocket();
    const std::uint32_t loopback = platform::addressFromText("127.0.0.1");
    char reply[1500];
    for (auto _ : state) {
        platform::sendTo(client, StatusQuery.data(), 8, loopback, platform::hostToNet16(QueryPort));
        game->update();
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        std::uint8_t readable = 0;
        for (int spins = 0; spins < 1000000 && platform::pollReadable(&client, 1, &readable) < 1; ++spins) {
        }
        if (!readable || platform::receiveFrom(client, reply, sizeof reply, &address, &port) < 1000) {
            state.SkipWithError("no whole reply");
            break;
        }
    }
    platform::closeSocket(client);
}
BENCHMARK(typicalReplyPosix)->Name("host/reply/typical/posix");

// 10,000 queries waiting, from one sender or from as many senders, drained
// by one update(); the replies sent must be exactly the burst allowed.
void flood(benchmark::State& state, bool oneSender) {
    const std::int64_t queries = state.range(0);
    platform::SimulatedLan lan;
    auto game = typicalGame();
    const std::uint32_t to = platform::SimulatedLan::address("10.0.0.1");
    const std::uint64_t burst = oneSender ? game->getLimits().senderBurst : game->getLimits().totalBurst;
    for (auto _ : state) {
        state.PauseTiming();
        lan.advance(60000);  // every bucket full again
        for (std::int64_t n = 0; n < queries; ++n) lan.send(sender(oneSender ? 1 : n), 40000, to, QueryPort, StatusQuery);
        const std::uint64_t answered = game->getCounters().answered;
        state.ResumeTiming();
        game->update();
        state.PauseTiming();
        if (game->getCounters().answered - answered != burst) state.SkipWithError("the limits did not hold");
        if (lan.pending() != 0) state.SkipWithError("queries were left waiting");
        state.ResumeTiming();
    }
    state.counters["queries/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * queries), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(flood, one, true)->Name("host/flood/one-sender")->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(flood, many, false)->Name("host/flood/many-senders")->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brenn::bench
