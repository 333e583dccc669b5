// One step with nothing to do and one with 64 queries in flight, through the
// C++ service and through the C interface, both in the plug-in on its
// simulated LAN: what the C layer adds to a host's step.
#include "capi/velnarlanjoin.h"
#include "simlan/SimulatedLan.h"
#include "service/VelnarLanJoin.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace brenn::bench {
namespace {

using matchmaking::JoinMatchmaking;
using matchmaking::velnar::VelnarLanJoin;
using platform::SimulatedLan;

constexpr int Servers = 64;

// 64 servers that answer the broadcast but never their query, so that once
// the clock has passed discovery every query stays in flight while the
// clock stands still.
void addMuteServers(SimulatedLan& lan) {
    for (int i = 0; i < Servers; ++i) {
        lan.addServer("10.0.1." + std::to_string(i + 2), 22000, [](SimulatedLan& l, const SimulatedLan::Datagram& d) {
            if (d.broadcast) l.reply(d, "\\gamename\\ridgeline\\final\\");
        });
    }
}

// Steps until the 64 queries are out: 3 s of discovery, then a few steps.
template <typename Step>
void reachQuerying(SimulatedLan& lan, Step step) {
    for (int i = 0; i < 3100; ++i) {
        step();
        lan.advance(1);
    }
    for (int i = 0; i < 10; ++i) step();
}

void serviceStep(benchmark::State& state, bool querying) {
    SimulatedLan lan;
    JoinMatchmaking matchmaking;
    matchmaking.maxConcurrentQueries = Servers;
    std::unique_ptr<VelnarLanJoin> service(CreateJoinClass("bench", &matchmaking));
    if (querying) {
        addMuteServers(lan);
        service->serverListFullUpdate();
        reachQuerying(lan, [&] { service->update(); });
    }
    for (auto _ : state) service->update();
    if (service->isUpdating() != querying) state.SkipWithError("the update changed state while measured");
}

void capiStep(benchmark::State& state, bool querying) {
    SimulatedLan lan;
    vlj_browser_config config;
    vlj_browser_config_init(&config);
    config.max_queries = Servers;
    vlj_browser* browser = nullptr;
    vlj_browser_create(&config, &browser);
    if (querying) {
        addMuteServers(lan);
        vlj_browser_update(browser, VLJ_UPDATE_FULL);
        reachQuerying(lan, [&] { vlj_browser_step(browser); });
    }
    for (auto _ : state) vlj_browser_step(browser);
    if (vlj_browser_is_updating(browser) != (querying ? 1 : 0))
        state.SkipWithError("the update changed state while measured");
    vlj_browser_destroy(browser);
}

BENCHMARK_CAPTURE(serviceStep, idle, false)->Name("step/Idle/cxx");
BENCHMARK_CAPTURE(capiStep, idle, false)->Name("step/Idle/c");
BENCHMARK_CAPTURE(serviceStep, querying, true)->Name("step/Querying-64/cxx");
BENCHMARK_CAPTURE(capiStep, querying, true)->Name("step/Querying-64/c");

}  // namespace
}  // namespace brenn::bench

BENCHMARK_MAIN();
