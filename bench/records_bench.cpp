// Filling host records as the service does when servers report: find the
// record by address and port, make it if new, then set the sample key map's
// values of a typical server and its ping, at two list lengths. (The walks
// that the indexes replaced are measured by building an earlier revision
// beside this one: scripts/bench.sh --before.)
#include "TypicalReply.h"

#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"
#include "keymap/KeyMap.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace brenn::bench {
namespace {

using matchmaking::JoinMatchmaking;
using matchmaking::ServerData;

// One setValue (player < 0) or setPlayerValue call.
struct Fill {
    std::string section;
    std::int32_t player;
    std::string key;
    std::string value;
};

// The calls that fill the record of typicalReply(variant), in the service's
// order: the key map's entries (players once per player), then the ping.
std::vector<Fill> fillsFor(const matchmaking::KeyMap& keyMap, int variant) {
    std::map<std::string, std::string> pairs;
    const std::string reply = typicalReply(variant);
    for (std::size_t at = 1; at < reply.size();) {
        const std::size_t keyEnd = reply.find('\\', at);
        const std::size_t valueEnd = std::min(reply.find('\\', keyEnd + 1), reply.size());
        pairs[reply.substr(at, keyEnd - at)] = reply.substr(keyEnd + 1, valueEnd - keyEnd - 1);
        at = valueEnd + 1;
    }
    auto value = [&pairs](const std::string& key) { return pairs.count(key) ? pairs[key] : "(NONE)"; };
    std::vector<Fill> fills;
    const int players = std::stoi(pairs["numplayers"]);
    for (const matchmaking::KeyMapEntry& entry : keyMap.entries()) {
        const std::string serverKey = keyMap.lookup(entry.key);
        if (entry.section != "players") {
            fills.push_back({entry.section, -1, entry.key, value(serverKey)});
            continue;
        }
        for (int i = 0; i < players; ++i)
            fills.push_back({entry.section, i, entry.key, value(serverKey + "_" + std::to_string(i))});
    }
    fills.push_back({"info", -1, "ping", std::to_string(12 + variant % 40)});
    return fills;
}

// Fills one record per address as the service does when each reports once.
void fill(JoinMatchmaking& host, const std::vector<std::string>& addresses, const std::vector<std::vector<Fill>>& servers) {
    for (std::size_t n = 0; n < addresses.size(); ++n) {
        const std::string& address = addresses[n];
        ServerData* record = host.findServerData(address, 22000);
        if (record == nullptr) record = host.createServerData("lan", static_cast<std::uint32_t>(n + 1), address, 22000, nullptr);
        for (const Fill& f : servers[n % servers.size()]) {
            if (f.player < 0)
                record->setValue(f.section.c_str(), f.key.c_str(), f.value.c_str());
            else
                record->setPlayerValue(f.section.c_str(), f.player, f.key.c_str(), f.value.c_str());
        }
    }
}

void fillRecords(benchmark::State& state) {
    const std::int64_t records = state.range(0);
    const matchmaking::KeyMap keyMap(BRENN_SAMPLE_KEY_MAP);
    std::vector<std::vector<Fill>> servers;
    for (int variant = 0; variant < 16; ++variant) servers.push_back(fillsFor(keyMap, variant));
    std::vector<std::string> addresses;
    for (std::int64_t n = 0; n < records; ++n)
        addresses.push_back("10.1." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1));

    double bytesPerRecord = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every round fills a fresh heap: the round before gave its memory
        // back, so no round inherits a heap of scattered free blocks whose
        // shape would depend on the list length.
        malloc_trim(0);
        JoinMatchmaking host;
        const std::size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        fill(host, addresses, servers);
        state.PauseTiming();
        bytesPerRecord = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(records);
        if (host.serverDataCount != records) state.SkipWithError("records were lost");
        host.disposeServerData();
        state.ResumeTiming();
    }
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * records), benchmark::Counter::kIsRate);
    state.counters["bytes/record"] = bytesPerRecord;
}
BENCHMARK(fillRecords)->Name("records/indexed")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brenn::bench
