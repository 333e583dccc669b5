// brenn_live: a host that opens a live list (or runs one pass) through the
// plug-in's public interface, calling update() every --tick ms as a game's
// frame would, and prints one line of JSON per event with the ms since the
// request: {"kind": "new" | "change" | "gone" | "sweep" | "idle", "server",
// "ping", "ms"}, then {"kind": "end", "ms", "listed", "max_rss_kb"}. After
// --seconds it closes the list and keeps stepping --after ms more (nothing
// may be sent then). scripts/bench_live.sh runs it on the namespaced LAN.
//   brenn_live [--pass] [--tick MS] [--seconds S] [--after MS] [--queries N]
#include "NumberOption.h"
#include "service/VelnarLanJoin.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using brenn::matchmaking::ServerData;

struct Options {
    bool pass = false;
    int tickMs = 5;
    int seconds = 10;
    int afterMs = 0;
    int queries = 8;
};

Clock::time_point opened;
bool over = false;

long sinceOpened() {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - opened).count());
}

std::string valueOf(const brenn::matchmaking::ServerDataSection& section, const char* key) {
    for (const auto* v = section.head; v != nullptr; v = v->next)
        if (v->index == nullptr && std::string(v->key) == key) return v->value;
    return "";
}

void event(const char* kind, const ServerData* record) {
    if (record == nullptr) {
        std::printf("{\"kind\":\"%s\",\"ms\":%ld}\n", kind, sinceOpened());
        return;
    }
    const std::string ping = valueOf(record->infoSection, "ping");
    std::printf("{\"kind\":\"%s\",\"server\":\"%s:%u\",\"ping\":%s,\"ms\":%ld}\n", kind, record->address.c_str(),
                static_cast<unsigned>(record->port), ping.empty() ? "null" : ping.c_str(), sinceOpened());
}

void onServer(ServerData* record, std::uint32_t, bool isNew, void*) { event(isNew ? "new" : "change", record); }

void onGone(ServerData* record, void*) {
    event("gone", record);
    delete record;
}

void onState(std::uint32_t state, void*) {
    if (state == brenn::matchmaking::HostStateLive) event("sweep", nullptr);
    if (state == brenn::matchmaking::HostStateIdle) {
        event("idle", nullptr);
        over = true;
    }
}

bool parseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--pass") {
            options->pass = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        bool ok = false;
        if (name == "--tick") ok = brenn::bench::parseNumber(value, 0, 100, &options->tickMs);
        else if (name == "--seconds") ok = brenn::bench::parseNumber(value, 1, 7200, &options->seconds);
        else if (name == "--after") ok = brenn::bench::parseNumber(value, 0, 60000, &options->afterMs);
        else if (name == "--queries") ok = brenn::bench::parseNumber(value, 1, 1024, &options->queries);
        if (!ok) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: brenn_live [--pass] [--tick MS] [--seconds S] [--after MS] [--queries N]\n");
        return 2;
    }
    brenn::matchmaking::JoinMatchmaking host;
    host.maxConcurrentQueries = options.queries;
    host.newServerDataHook = &onServer;
    host.stateChangedHook = &onState;
    brenn::matchmaking::velnar::VelnarLanJoin* service = CreateJoinClass("brenn_live", &host);
    if (service == nullptr) return 1;
    service->setServerGoneHook(&onGone, nullptr);
    opened = Clock::now();
    const Clock::time_point close = opened + std::chrono::seconds(options.seconds);
    if (options.pass) service->serverListFullUpdate();
    else service->serverListLiveUpdate();
    bool closed = false;
    Clock::time_point end = close + std::chrono::milliseconds(options.afterMs);
    for (Clock::time_point now = Clock::now(); now < end && !(options.pass && over); now = Clock::now()) {
        if (!closed && now >= close) {
            service->closeList();
            closed = true;
        }
        service->update();
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(options.tickMs));
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("{\"kind\":\"end\",\"ms\":%ld,\"listed\":%d,\"max_rss_kb\":%ld}\n", sinceOpened(),
                static_cast<int>(host.serverDataCount), static_cast<long>(usage.ru_maxrss));
    delete service;
    return 0;
}
