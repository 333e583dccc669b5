// Sorting 1000 servers by one key in each compare mode.
#include "browser/ServerBrowser.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

namespace brenn::bench {
namespace {

constexpr std::int32_t Servers = 1000;

void sortServers(benchmark::State& state, std::int32_t mode, const char* key) {
    ServerBrowser* b = browser::create("bench", "bench", "secret", 4, nullptr, 1, nullptr);
    std::mt19937 random(7);
    for (std::int32_t i = 0; i < Servers; ++i) {
        BrowserServer* s = browser::addServer(b, 0x0A000000u + static_cast<std::uint32_t>(i), 22000, Status);
        std::string reply = "\\hostname\\Room " + std::to_string(random() % 5000) + "\\numplayers\\" +
                            std::to_string(random() % 64) + "\\ratio\\" + std::to_string((random() % 10000) / 100.0) +
                            "\\gamename\\ridgeline\\mapname\\map" + std::to_string(random() % 40);
        server::parseReply(s, reply.data());
    }
    auto** first = static_cast<BrowserServer**>(dynarray::elementAt(b->servers, 0));
    for (auto _ : state) {
        state.PauseTiming();
        std::shuffle(first, first + Servers, random);
        state.ResumeTiming();
        browser::sort(b, 1, key, mode);
    }
    state.counters["servers/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Servers, benchmark::Counter::kIsRate);
    browser::destroy(b);
}
BENCHMARK_CAPTURE(sortServers, integer, Integer, "numplayers")->Name("sort-1000/Integer")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(sortServers, real, Float, "ratio")->Name("sort-1000/Float")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(sortServers, text, CaseSensitive, "hostname")
    ->Name("sort-1000/CaseSensitive")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(sortServers, textNoCase, CaseInsensitive, "hostname")
    ->Name("sort-1000/CaseInsensitive")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brenn::bench
