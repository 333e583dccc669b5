// Address and port lists of a run, and slot assignment for its servers.
#include "Endpoints.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace lanserver {
namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ',')) parts.push_back(part);
    return parts;
}

// A whole decimal number from low to high.
bool parseNumber(const std::string& text, long low, long high, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < low || value > high) return false;
    *out = value;
    return true;
}

}  // namespace

std::string addressText(std::uint32_t address) {
    in_addr a{};
    a.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool parseAddress(const std::string& text, std::uint32_t* address) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

bool parseAddresses(const std::string& text, int defaultCount, std::vector<std::uint32_t>* out,
                    std::string* error) {
    std::vector<std::uint32_t> result;
    const std::vector<std::string> parts = splitList(text);
    for (const std::string& part : parts) {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        // A lone bare address stands for as many as needed; in a list, for itself.
        long count = parts.size() > 1 || defaultCount < 1 ? 1 : defaultCount;
        const std::size_t plus = part.find('+');
        const std::size_t dash = part.find('-');
        bool ok = false;
        if (plus != std::string::npos) {
            ok = parseAddress(part.substr(0, plus), &first) &&
                 parseNumber(part.substr(plus + 1), 1, 65536, &count);
            last = first + static_cast<std::uint32_t>(count - 1);
        } else if (dash != std::string::npos) {
            ok = parseAddress(part.substr(0, dash), &first) && parseAddress(part.substr(dash + 1), &last) &&
                 last >= first && last - first < 65536;
        } else {
            ok = parseAddress(part, &first);
            last = first + static_cast<std::uint32_t>(count - 1);
        }
        if (!ok || last < first) {
            *error = "bad address list element '" + part + "' (use A, A+N, A-B, separated by commas)";
            return false;
        }
        for (std::uint32_t a = first;; ++a) {
            result.push_back(a);
            if (a == last) break;
        }
    }
    if (result.empty()) {
        *error = "the address list is empty";
        return false;
    }
    *out = result;
    return true;
}

bool parsePorts(const std::string& text, std::vector<std::uint16_t>* out, std::string* error) {
    std::vector<std::uint16_t> result;
    for (const std::string& part : splitList(text)) {
        const std::size_t dash = part.find('-');
        long first = 0;
        long last = 0;
        bool ok;
        if (dash == std::string::npos) {
            ok = parseNumber(part, 1, 65535, &first);
            last = first;
        } else {
            ok = parseNumber(part.substr(0, dash), 1, 65535, &first) &&
                 parseNumber(part.substr(dash + 1), 1, 65535, &last) && last >= first;
        }
        if (!ok) {
            *error = "bad port list element '" + part + "' (use P or P-Q, separated by commas)";
            return false;
        }
        for (long p = first; p <= last; ++p) result.push_back(static_cast<std::uint16_t>(p));
    }
    if (result.empty()) {
        *error = "the port list is empty";
        return false;
    }
    *out = result;
    return true;
}

bool assignSlots(const std::vector<std::uint32_t>& addresses, const std::vector<std::uint16_t>& ports,
                 std::vector<SimServer>* servers, std::string* error) {
    std::set<std::string> taken;
    for (const SimServer& s : *servers) {
        if (s.address.empty()) continue;
        const std::string slot = s.address + ":" + std::to_string(s.port);
        if (!taken.insert(slot).second) {
            *error = "two servers share " + slot;
            return false;
        }
    }
    const std::size_t a = addresses.size();
    const std::size_t p = ports.size();
    std::size_t next = 0;
    for (SimServer& s : *servers) {
        if (!s.address.empty()) continue;
        for (;; ++next) {
            if (next >= a * p) {
                *error = "not enough address:port slots for " + std::to_string(servers->size()) +
                         " servers (" + std::to_string(a) + " addresses, " + std::to_string(p) + " ports)";
                return false;
            }
            const std::string address = addressText(addresses[next % a]);
            const std::uint16_t port = ports[(next % a + next / a) % p];
            if (taken.insert(address + ":" + std::to_string(port)).second) {
                s.address = address;
                s.port = port;
                ++next;
                break;
            }
        }
    }
    return true;
}

}  // namespace lanserver
