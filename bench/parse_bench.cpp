// Reply parsing, value lookups and the string hash.
#include "TypicalReply.h"
#include "browser/ServerBrowser.h"
#include "containers/StringHash.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace brenn::bench {
namespace {

constexpr std::uint32_t ServerAddress = 0x0700000Au;  // 10.0.0.7

// The parser writes into its text, so each run parses a fresh copy; the
// copy of 1.2 KB is part of the measured time (a few tens of ns).
void parseReplyPooled(benchmark::State& state) {
    const std::string reply = typicalReply();
    std::vector<char> text(reply.size() + 1);
    StringPool* pool = stringpool::create();
    BrowserServer* server = server::create(ServerAddress, 22000, Status, pool);
    std::memcpy(text.data(), reply.c_str(), text.size());
    server::parseReply(server, text.data());  // every key and value now pooled
    for (auto _ : state) {
        std::memcpy(text.data(), reply.c_str(), text.size());
        server::parseReply(server, text.data());
        benchmark::DoNotOptimize(server->keys);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
    state.counters["pairs/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * TypicalPairs,
                                                   benchmark::Counter::kIsRate);
    server::freeServer(&server);
    stringpool::destroy(pool);
}
BENCHMARK(parseReplyPooled)->Name("parseReply/pooled");

// The first reply of a browser: every text is new to the pool and copied.
void parseReplyFirst(benchmark::State& state) {
    const std::string reply = typicalReply();
    std::vector<char> text(reply.size() + 1);
    for (auto _ : state) {
        state.PauseTiming();
        StringPool* pool = stringpool::create();
        BrowserServer* server = server::create(ServerAddress, 22000, Status, pool);
        std::memcpy(text.data(), reply.c_str(), text.size());
        state.ResumeTiming();
        server::parseReply(server, text.data());
        state.PauseTiming();
        server::freeServer(&server);
        stringpool::destroy(pool);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
    state.counters["pairs/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * TypicalPairs,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(parseReplyFirst)->Name("parseReply/first");

// A browser-like pool holding the typical reply of one server and the
// "ridgeline" texts, for the lookups.
struct ParsedServer {
    ParsedServer() {
        pool = stringpool::create();
        server = server::create(ServerAddress, 22000, Status, pool);
        std::string reply = typicalReply();
        server::parseReply(server, reply.data());
    }
    ~ParsedServer() {
        server::freeServer(&server);
        stringpool::destroy(pool);
    }
    StringPool* pool;
    BrowserServer* server;
};

void lookupString(benchmark::State& state, const char* key) {
    ParsedServer parsed;
    for (auto _ : state) benchmark::DoNotOptimize(server::stringValue(parsed.server, key, ""));
}
// A key the server sent; a text in the pool that is no key of the server
// (the value "ridgeline"); a text nobody sent.
BENCHMARK_CAPTURE(lookupString, hit, "mapname")->Name("stringValue/hit");
BENCHMARK_CAPTURE(lookupString, pooledMiss, "ridgeline")->Name("stringValue/pooled-miss");
BENCHMARK_CAPTURE(lookupString, unknown, "sv_gravity")->Name("stringValue/unknown");

void lookupInt(benchmark::State& state, const char* key) {
    ParsedServer parsed;
    for (auto _ : state) benchmark::DoNotOptimize(server::intValue(parsed.server, key, -1));
}
BENCHMARK_CAPTURE(lookupInt, hit, "numplayers")->Name("intValue/hit");
BENCHMARK_CAPTURE(lookupInt, ping, "ping")->Name("intValue/ping");

void lookupPlayer(benchmark::State& state) {
    ParsedServer parsed;
    for (auto _ : state) benchmark::DoNotOptimize(server::playerStringValue(parsed.server, 3, "player", ""));
}
BENCHMARK(lookupPlayer)->Name("playerStringValue/hit");

void hashText(benchmark::State& state, const char* text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(stringHash(text, 500));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::strlen(text)));
}
BENCHMARK_CAPTURE(hashText, key, "numplayers")->Name("stringHash/10-bytes");
BENCHMARK_CAPTURE(hashText, value, "Ridgeline LAN evening - dedicated room 0 (all welcome, no cheats)")
    ->Name("stringHash/66-bytes");

}  // namespace
}  // namespace brenn::bench
