// One think step with nothing to do, on the simulated LAN and on real
// sockets (POSIX, loopback of a private network namespace).
#include "BenchSupport.h"
#include "browser/ServerBrowser.h"
#include "simlan/SimulatedLan.h"

#include <benchmark/benchmark.h>

namespace brenn::bench {
namespace {

constexpr std::int32_t Slots = 64;

ServerBrowser* newBrowser(std::int32_t slots) {
    return browser::create("bench", "bench", "secret", slots, nullptr, 1, nullptr);
}

std::int32_t busySlots(const ServerBrowser* b) {
    std::int32_t busy = 0;
    for (std::int32_t i = 0; i < b->slotCount; ++i) busy += b->querySlots[i].server != nullptr;
    return busy;
}

void runThink(benchmark::State& state, ServerBrowser* b, std::int32_t expectedState) {
    for (auto _ : state) browser::think(b);
    if (browser::state(b) != expectedState) state.SkipWithError("the browser left its state while measured");
}

void thinkIdle(benchmark::State& state) {
    platform::SimulatedLan lan;
    ServerBrowser* b = newBrowser(Slots);
    runThink(state, b, Idle);
    browser::destroy(b);
}
BENCHMARK(thinkIdle)->Name("think/Idle/sim");

// Discovery has started and nothing answers; the clock stands still.
void thinkListingSim(benchmark::State& state) {
    platform::SimulatedLan lan;
    ServerBrowser* b = newBrowser(Slots);
    browser::lanUpdate(b, 1, 22000, 22010, 1);
    runThink(state, b, ListingLan);
    browser::destroy(b);
}
BENCHMARK(thinkListingSim)->Name("think/ListingLan/sim");

// 64 queries in flight to silent servers; the clock stands still, so none
// times out.
void thinkQueryingSim(benchmark::State& state) {
    platform::SimulatedLan lan;
    ServerBrowser* b = newBrowser(Slots);
    for (std::uint32_t i = 0; i < Slots; ++i) {
        const std::string address = "10.0.1." + std::to_string(i + 2);
        lan.addSilentServer(address, 22000);
        browser::addServer(b, platform::SimulatedLan::address(address), 22000, Status);
    }
    browser::lanUpdate(b, 1, 22000, 22010, 1);
    lan.advance(3001);
    browser::think(b);  // to Querying
    browser::think(b);  // dispatches the 64 queries
    if (busySlots(b) != Slots) state.SkipWithError("the slots did not fill");
    runThink(state, b, Querying);
    if (busySlots(b) != Slots) state.SkipWithError("a slot ended while measured");
    browser::destroy(b);
}
BENCHMARK(thinkQueryingSim)->Name("think/Querying-64/sim");

// Real sockets: the broadcast goes to the loopback of the benchmark's own
// network namespace, where nothing listens. Discovery lasts 3 s of real
// time, far longer than a measurement.
void thinkListingReal(benchmark::State& state) {
    if (!inPrivateNetwork(state)) return;
    ServerBrowser* b = newBrowser(Slots);
    browser::lanUpdate(b, 1, 22000, 22010, 1);
    runThink(state, b, ListingLan);
    browser::destroy(b);
}
BENCHMARK(thinkListingReal)->Name("think/ListingLan/real");

// 64 queries in flight to loopback ports where nothing answers. The pass is
// put into Querying directly (the steps of lanUpdate without the 3 s of
// discovery); the queries time out after 3 s, longer than a measurement.
void thinkQueryingReal(benchmark::State& state) {
    if (!inPrivateNetwork(state)) return;
    ServerBrowser* b = newBrowser(Slots);
    for (std::uint32_t i = 0; i < Slots; ++i)
        browser::addServer(b, platform::addressFromText("127.0.0.2"), static_cast<std::uint16_t>(30000 + i), Status);
    browser::openQuerySockets(b);
    b->nextIndex = 0;
    b->abortRequested = 0;
    browser::setState(b, Querying);
    browser::think(b);  // dispatches the 64 queries
    if (busySlots(b) != Slots) state.SkipWithError("the slots did not fill");
    runThink(state, b, Querying);
    if (busySlots(b) != Slots) state.SkipWithError("a slot ended while measured");
    browser::destroy(b);
}
BENCHMARK(thinkQueryingReal)->Name("think/Querying-64/real");

}  // namespace
}  // namespace brenn::bench
