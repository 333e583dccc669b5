// Discovery under a flood: thousands of distinct senders answering at once,
// drained in one ListingLan step; and the simulated LAN's own share of that
// step. (The list walk that the server index replaced is measured by
// building an earlier revision beside this one: scripts/bench.sh --before.)
#include "browser/ServerBrowser.h"
#include "simlan/SimulatedLan.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace brenn::bench {
namespace {

std::uint32_t sender(std::int64_t n) { return platform::hostToNet32(0x0A010000u + static_cast<std::uint32_t>(n)); }

// Queues one answer from each of `senders` distinct hosts on the port the
// broadcast went out from.
void queueAnswers(platform::SimulatedLan& lan, std::int64_t senders) {
    const std::uint16_t port = lan.sent().front().fromPort;
    const std::uint32_t player = platform::SimulatedLan::address("10.0.0.1");
    for (std::int64_t n = 0; n < senders; ++n) lan.send(sender(n), 22000, player, port, "\\final\\");
}

void flood(benchmark::State& state) {
    const std::int64_t senders = state.range(0);
    platform::SimulatedLan lan;
    for (auto _ : state) {
        state.PauseTiming();
        ServerBrowser* b = browser::create("bench", "bench", "secret", 4, nullptr, 1, nullptr);
        browser::setLimits(b, 16, static_cast<std::int32_t>(senders));  // the index is measured, not the bound
        lan.clearSent();
        browser::lanUpdate(b, 1, 22000, 22010, 1);
        queueAnswers(lan, senders);
        // The previous round's frees are merged now, not inside the step.
        malloc_trim(0);
        state.ResumeTiming();
        browser::think(b);
        state.PauseTiming();
        if (browser::serverCount(b) != senders) state.SkipWithError("servers were lost");
        browser::destroy(b);
        state.ResumeTiming();
    }
    state.counters["answers/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * senders), benchmark::Counter::kIsRate);
}
BENCHMARK(flood)->Name("flood/indexed")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same answers received straight from the simulated LAN with no
// browser: what the LAN itself costs inside the flood step.
void floodLanOnly(benchmark::State& state) {
    const std::int64_t senders = state.range(0);
    platform::SimulatedLan lan;
    char buffer[1500];
    for (auto _ : state) {
        state.PauseTiming();
        ServerBrowser* b = browser::create("bench", "bench", "secret", 4, nullptr, 1, nullptr);
        lan.clearSent();
        browser::lanUpdate(b, 1, 22000, 22010, 1);
        queueAnswers(lan, senders);
        malloc_trim(0);
        state.ResumeTiming();
        std::int64_t received = 0;
        for (;;) {
            std::uint8_t readable = 0;
            if (platform::pollReadable(&b->broadcastSocket, 1, &readable) <= 0 || !readable) break;
            std::uint32_t address;
            std::uint16_t port;
            received += platform::receiveFrom(b->broadcastSocket, buffer, 1499, &address, &port) >= 0;
        }
        state.PauseTiming();
        if (received != senders) state.SkipWithError("answers were lost");
        browser::destroy(b);
        state.ResumeTiming();
    }
}
BENCHMARK(floodLanOnly)->Name("flood/lan-only")->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brenn::bench
