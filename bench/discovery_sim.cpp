// brenn_discovery_sim: whole passes of the browser on the simulated LAN,
// clean and impaired (bursty loss, duplication, reordering, independent
// loss), one JSON object per pass on standard output, labelled with the
// mode given ("after" unless --mode says otherwise: scripts/bench.sh runs
// the build of an earlier revision as "before"). scripts/bench_discovery.sh
// turns them into the discovery table. Deterministic: the same seeds give
// the same figures on any machine.
//   brenn_discovery_sim [--servers N] [--passes K] [--mode LABEL]
#include "browser/ServerBrowser.h"
#include "simlan/SimulatedLan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using brenn::platform::SimulatedLan;
using Impairment = SimulatedLan::Impairment;
using Record = std::map<std::string, std::string>;

struct Condition {
    const char* name;
    Impairment impairment;  // both ways
};

std::vector<Condition> conditions() {
    Impairment clean;
    Impairment bursty;  // bursts of about 3 datagrams, some 7 % lost in all
    bursty.burstStart = 0.025;
    bursty.burstEnd = 0.35;
    Impairment duplicated;
    duplicated.duplicate = 0.2;
    Impairment reordered;
    reordered.reorder = 0.2;
    reordered.reorderDelay = 30;
    Impairment lossy;
    lossy.loss = 0.1;
    Impairment all = bursty;
    all.duplicate = 0.1;
    all.reorder = 0.1;
    all.reorderDelay = 30;
    return {{"clean", clean},           {"bursty loss", bursty}, {"duplication 20 %", duplicated},
            {"reordering 20 %", reordered}, {"loss 10 %", lossy},  {"bursts, duplication, reordering", all}};
}

// Server i answers its queries with three numbered datagrams, 1 ms apart.
void addServers(SimulatedLan& lan, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string address = "10.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
        const std::string name = "Server " + std::to_string(i);
        lan.addServer(address, static_cast<std::uint16_t>(22000 + i % 11),
                      [name, queries = 0](SimulatedLan& l, const SimulatedLan::Datagram& request) mutable {
                          const std::string id = "\\queryid\\" + std::to_string(++queries) + ".";
                          const std::string parts[] = {
                              "\\hostname\\" + name + "\\gamename\\ridgeline" + id + "1",
                              "\\numplayers\\2\\player_0\\Ash\\player_1\\Birch" + id + "2",
                              "\\mapname\\cirque\\maxplayers\\16\\final\\" + id + "3"};
                          for (std::uint32_t k = 0; k < 3; ++k) l.reply(request, parts[k], k);
                      });
    }
}

struct Pass {
    std::map<std::string, Record> records;  // reported servers
    std::uint32_t elapsed = 0;
    std::size_t sent = 0;
};

void onEvent(brenn::ServerBrowser*, std::int32_t event, void* instance, void* param1, std::int32_t) {
    if (event != brenn::ServerUpdated) return;
    auto* pass = static_cast<Pass*>(instance);
    auto* server = static_cast<brenn::BrowserServer*>(param1);
    Record record;
    for (const char* key : {"hostname", "gamename", "numplayers", "player_0", "player_1", "mapname", "maxplayers"})
        if (const brenn::KeyValuePair* pair = brenn::server::findPair(server, key)) record[key] = pair->value;
    pass->records[std::string(brenn::server::address(server)) + ":" +
                  std::to_string(brenn::server::queryPort(server))] = record;
}

// One pass on a new LAN: the host steps every 5 ms.
Pass runPass(const Condition& condition, int servers, std::uint32_t seed) {
    SimulatedLan lan;
    lan.setImpairment(SimulatedLan::Direction::ToPlayer, condition.impairment, seed);
    lan.setImpairment(SimulatedLan::Direction::FromPlayer, condition.impairment, seed + 1000);
    addServers(lan, servers);
    Pass pass;
    brenn::ServerBrowser* browser = brenn::browser::create("bench", "bench", "key", 8, onEvent, 1, &pass);
    if (browser == nullptr) std::exit(1);
    const std::uint32_t start = lan.now();
    brenn::browser::lanUpdate(browser, 1, 22000, 22010, 1);
    while (brenn::browser::state(browser) != brenn::Idle && lan.now() - start < 60000) {
        brenn::browser::think(browser);
        lan.advance(5);
    }
    pass.elapsed = lan.now() - start;
    pass.sent = lan.sent().size();
    brenn::browser::destroy(browser);
    return pass;
}

}  // namespace

int main(int argc, char** argv) {
    int servers = 100;
    int passes = 10;
    const char* mode = "after";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--servers") == 0) servers = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--passes") == 0) passes = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--mode") == 0) mode = argv[i + 1];
    }
    const std::vector<Condition> all = conditions();
    const Pass reference = runPass(all.front(), servers, 1);
    for (const Condition& condition : all) {
        {
            for (int p = 0; p < passes; ++p) {
                const Pass pass = runPass(condition, servers, static_cast<std::uint32_t>(17 + 31 * p));
                int identical = 0;
                for (const auto& [endpoint, record] : pass.records) {
                    const auto clean = reference.records.find(endpoint);
                    identical += clean != reference.records.end() && clean->second == record ? 1 : 0;
                }
                std::printf("{\"lan\": \"simulated\", \"condition\": \"%s\", \"mode\": \"%s\", \"pass\": %d, "
                            "\"servers\": %d, \"listed\": %zu, \"identical\": %d, \"pass_ms\": %u, \"sent\": %zu}\n",
                            condition.name, mode, p + 1, servers, pass.records.size(),
                            identical, pass.elapsed, pass.sent);
            }
        }
    }
    return 0;
}
