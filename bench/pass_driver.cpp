// brenn_pass: a host that runs one whole pass of the join service on real
// sockets with update() in a tight loop, and prints the pass's timings as
// one line of JSON. It uses the plug-in's public interface only, as a game
// would. scripts/bench.sh runs it on a simulated LAN against lanserver.
//   brenn_pass [--queries N] [--ping ADDRESS:PORT] [--pings K] [--warmup W] [--timeout S]
// --ping measures the round trip first: W status queries to that server
// unmeasured (a machine whose cores were idle answers its first datagrams
// late), then K measured, one at a time; the median goes out with the pass.
#include "NumberOption.h"
#include "UdpPing.h"

#include "service/VelnarLanJoin.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int queries = 8;
    std::string pingAddress;
    int pingPort = 0;
    int pings = 20;
    int warmup = 10;
    int timeoutS = 30;
};

// What the hooks saw, with the clock and the process's CPU time at each
// state change.
struct Pass {
    Clock::time_point querying;
    Clock::time_point idle;
    double cpuAtQuerying = 0;  // seconds of user + system time
    double cpuAtIdle = 0;
    bool sawQuerying = false;
    bool finished = false;
    int reports = 0;  // calls of the new-server hook
};

double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void onState(std::uint32_t state, void* context) {
    auto* pass = static_cast<Pass*>(context);
    if (state == brenn::matchmaking::HostStateQuerying) {
        pass->querying = Clock::now();
        pass->cpuAtQuerying = processCpuSeconds();
        pass->sawQuerying = true;
    } else if (state == brenn::matchmaking::HostStateIdle) {
        pass->idle = Clock::now();
        pass->cpuAtIdle = processCpuSeconds();
        pass->finished = true;
    }
}

void onServer(brenn::matchmaking::ServerData*, std::uint32_t, bool, void* context) {
    ++static_cast<Pass*>(context)->reports;
}

bool parseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        bool ok = false;
        if (name == "--queries") {
            ok = brenn::bench::parseNumber(value, 1, 1024, &options->queries);
        } else if (name == "--pings") {
            ok = brenn::bench::parseNumber(value, 1, 1000, &options->pings);
        } else if (name == "--warmup") {
            ok = brenn::bench::parseNumber(value, 0, 1000, &options->warmup);
        } else if (name == "--timeout") {
            ok = brenn::bench::parseNumber(value, 1, 600, &options->timeoutS);
        } else if (name == "--ping") {
            const char* colon = std::strrchr(value, ':');
            ok = colon != nullptr && brenn::bench::parseNumber(colon + 1, 1, 65535, &options->pingPort);
            if (ok) options->pingAddress.assign(value, colon);
        }
        if (!ok) return false;
    }
    return true;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: brenn_pass [--queries N] [--ping ADDRESS:PORT] [--pings K] [--warmup W] [--timeout S]\n");
        return 2;
    }

    // The round trip first, while the servers have nothing else to do.
    std::vector<double> roundTrips;
    if (!options.pingAddress.empty()) {
        const auto port = static_cast<std::uint16_t>(options.pingPort);
        if (options.warmup > 0) brenn::bench::pingStatus(options.pingAddress, port, options.warmup, 1000);
        roundTrips = brenn::bench::pingStatus(options.pingAddress, port, options.pings, 1000);
        if (roundTrips.empty()) {
            std::fprintf(stderr, "brenn_pass: %s:%d did not answer\n", options.pingAddress.c_str(), options.pingPort);
            return 1;
        }
    }

    Pass pass;
    brenn::matchmaking::JoinMatchmaking host;
    host.primaryName = "brenn_pass";
    host.secondaryName = "brenn_pass";
    host.maxConcurrentQueries = options.queries;
    host.hookContext = &pass;
    host.newServerDataHook = &onServer;
    host.stateChangedHook = &onState;
    brenn::matchmaking::velnar::VelnarLanJoin* service = CreateJoinClass("brenn_pass", &host);
    if (service == nullptr) {
        std::fprintf(stderr, "brenn_pass: the join service could not be created\n");
        return 1;
    }

    // The tight loop: update() again as soon as it returns. The steps of the
    // query phase are counted and the longest one kept.
    const Clock::time_point start = Clock::now();
    const double cpuAtStart = processCpuSeconds();
    const Clock::time_point deadline = start + std::chrono::seconds(options.timeoutS);
    long queryUpdates = 0;
    Clock::duration longestQueryUpdate{};
    Clock::time_point now = start;
    service->serverListFullUpdate();
    while (!pass.finished && now < deadline) {
        const Clock::time_point before = now;
        const bool querying = pass.sawQuerying;
        service->update();
        now = Clock::now();
        if (querying) {
            ++queryUpdates;
            longestQueryUpdate = std::max(longestQueryUpdate, now - before);
        }
    }
    const int records = host.serverDataCount;
    delete service;

    if (!pass.finished || !pass.sawQuerying) {
        std::fprintf(stderr, "brenn_pass: the pass did not end within %d s\n", options.timeoutS);
        return 1;
    }
    std::printf(
        "{\"queries\": %d, \"records\": %d, \"reports\": %d, \"discovery_ms\": %.3f, \"query_ms\": %.3f, "
        "\"query_cpu_ms\": %.3f, \"pass_cpu_ms\": %.3f, \"query_updates\": %ld, \"longest_update_ms\": %.3f, "
        "\"rtt_median_us\": %.1f, \"rtt_min_us\": %.1f, \"pings\": %zu}\n",
        options.queries, records, pass.reports, milliseconds(pass.querying - start),
        milliseconds(pass.idle - pass.querying), (pass.cpuAtIdle - pass.cpuAtQuerying) * 1e3,
        (pass.cpuAtIdle - cpuAtStart) * 1e3, queryUpdates, milliseconds(longestQueryUpdate), median(roundTrips),
        roundTrips.empty() ? 0.0 : *std::min_element(roundTrips.begin(), roundTrips.end()), roundTrips.size());
    return 0;
}
