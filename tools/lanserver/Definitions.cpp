// Reading the simulator's server definitions file.
#include "Definitions.h"

#include "Endpoints.h"
#include "protocol/Wire.h"

#include <cstdlib>
#include <sstream>

namespace lanserver {
namespace {

bool parseCount(const std::string& text, int low, int high, int* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool parseWhere(const std::string& word, SimServer* server) {
    if (word == "*") return true;
    const std::size_t colon = word.rfind(':');
    std::uint32_t address = 0;
    int port = 0;
    if (colon == std::string::npos || !parseAddress(word.substr(0, colon), &address) ||
        !parseCount(word.substr(colon + 1), 1, 65535, &port)) {
        return false;
    }
    server->address = addressText(address);
    server->port = static_cast<std::uint16_t>(port);
    return true;
}

bool parseOption(const std::string& word, SimServer* server) {
    if (word == "answers") server->behaviour = Behaviour::Answers;
    else if (word == "silent") server->behaviour = Behaviour::Silent;
    else if (word == "dead") server->behaviour = Behaviour::Dead;
    else if (word.rfind("split=", 0) == 0) return parseCount(word.substr(6), 1, brenn::wire::MaxReplyParts, &server->split);
    else if (word.rfind("delay=", 0) == 0) return parseCount(word.substr(6), 0, 10000, &server->delayMs);
    else return false;
    return true;
}

bool parseLine(const std::string& line, SimServer* server, std::string* error) {
    const std::size_t pairsAt = line.find('\\');
    if (pairsAt == std::string::npos) {
        *error = "no pairs (\\key\\value...)";
        return false;
    }
    std::istringstream words(line.substr(0, pairsAt));
    std::string word;
    if (!(words >> word) || !parseWhere(word, server)) {
        *error = "expected address:port or '*' first";
        return false;
    }
    while (words >> word) {
        if (!parseOption(word, server)) {
            *error = "unknown option '" + word + "'";
            return false;
        }
    }
    std::string pairs = line.substr(pairsAt);
    while (!pairs.empty() && (pairs.back() == '\r' || pairs.back() == ' ' || pairs.back() == '\t')) {
        pairs.pop_back();
    }
    return parsePairs(pairs, &server->pairs, error);
}

}  // namespace

bool parsePairs(const std::string& text, std::vector<Pair>* pairs, std::string* error) {
    if (text.empty() || text[0] != '\\') {
        *error = "pairs must start with a backslash";
        return false;
    }
    std::vector<std::string> tokens;
    std::size_t start = 1;
    while (start <= text.size()) {
        const std::size_t end = text.find('\\', start);
        tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::vector<Pair> result;
    for (std::size_t i = 0; i < tokens.size(); i += 2) {
        const std::string& key = tokens[i];
        if (key.empty() && i + 1 == tokens.size()) break;  // a trailing backslash
        if (key.empty()) {
            *error = "empty key";
            return false;
        }
        if (key == "final" || key == "queryid") {
            *error = "the key '" + key + "' is added by the simulator";
            return false;
        }
        result.push_back({key, i + 1 < tokens.size() ? tokens[i + 1] : std::string()});
    }
    *pairs = result;
    return true;
}

bool parseDefinitions(std::istream& input, std::vector<SimServer>* servers, std::string* error) {
    std::vector<SimServer> parsed;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        SimServer server;
        std::string why;
        if (!parseLine(line.substr(first), &server, &why)) {
            *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        parsed.push_back(server);
    }
    servers->insert(servers->end(), parsed.begin(), parsed.end());
    return true;
}

}  // namespace lanserver
