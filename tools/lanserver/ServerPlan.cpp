// The servers of a run and their JSON manifest.
#include "ServerPlan.h"

#include "ContentGenerator.h"
#include "Definitions.h"
#include "Endpoints.h"
#include "TextDecoding.h"

#include <algorithm>
#include <fstream>
#include <numeric>

namespace lanserver {

bool planServers(const Options& options, std::vector<SimServer>* servers, std::string* error) {
    std::vector<SimServer> result;
    if (!options.definitions.empty()) {
        std::ifstream file(options.definitions);
        if (!file) {
            *error = "cannot read " + options.definitions;
            return false;
        }
        if (!parseDefinitions(file, &result, error)) {
            *error = options.definitions + ": " + *error;
            return false;
        }
    }
    const int generated = options.servers >= 0 ? options.servers : (options.definitions.empty() ? 12 : 0);
    if (options.otherGame + options.silent + options.dead > generated) {
        *error = "--other-game, --silent and --dead together exceed the " + std::to_string(generated) +
                 " generated servers";
        return false;
    }

    // A seeded shuffle of the generated servers' numbers picks the special ones.
    std::vector<int> order(static_cast<std::size_t>(generated));
    std::iota(order.begin(), order.end(), 0);
    Random random(options.seed ^ 0x5EEDull);
    for (std::size_t i = order.size(); i > 1; --i) {
        std::swap(order[i - 1], order[random.below(static_cast<std::uint32_t>(i))]);
    }
    std::vector<Behaviour> behaviour(order.size(), Behaviour::Answers);
    std::vector<bool> otherGame(order.size(), false);
    std::size_t k = 0;
    for (int i = 0; i < options.otherGame; ++i) otherGame[static_cast<std::size_t>(order[k++])] = true;
    for (int i = 0; i < options.silent; ++i) behaviour[static_cast<std::size_t>(order[k++])] = Behaviour::Silent;
    for (int i = 0; i < options.dead; ++i) behaviour[static_cast<std::size_t>(order[k++])] = Behaviour::Dead;

    for (int n = 0; n < generated; ++n) {
        SimServer server;
        server.behaviour = behaviour[static_cast<std::size_t>(n)];
        server.pairs = generatePairs(options.seed, n, otherGame[static_cast<std::size_t>(n)] ? OtherGameName : GameName);
        result.push_back(server);
    }

    const int unplaced = static_cast<int>(std::count_if(result.begin(), result.end(),
                                                        [](const SimServer& s) { return s.address.empty(); }));
    std::vector<std::uint32_t> addresses;
    std::vector<std::uint16_t> ports;
    if (!parseAddresses(options.addresses, unplaced, &addresses, error) || !parsePorts(options.ports, &ports, error) ||
        !assignSlots(addresses, ports, &result, error)) {
        return false;
    }
    *servers = result;
    return true;
}

void writeManifest(std::ostream& out, const Options& options, const std::vector<SimServer>& servers) {
    using tooltext::Json;
    using tooltext::jsonText;
    out << "[\n";
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const SimServer& s = servers[i];
        Json pairs = Json::array();
        for (const auto& pair : s.pairs) pairs.push_back(Json::array({jsonText(pair.first), jsonText(pair.second)}));
        const Json server = {{"address", jsonText(s.address)},
                             {"port", s.port},
                             {"behaviour", behaviourName(s.behaviour)},
                             {"split", s.split > 0 ? s.split : options.split},
                             {"delay", s.delayMs >= 0 ? s.delayMs : options.delayMs},
                             {"pairs", std::move(pairs)}};
        out << "  " << tooltext::jsonLine(server) << (i + 1 < servers.size() ? "," : "") << "\n";
    }
    out << "]\n";
}

}  // namespace lanserver
