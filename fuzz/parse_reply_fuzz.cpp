// Fuzz target: reply parsing and reply marks, then value lookups on the parsed server.
// Each line of the input is one reply datagram of the same server. The
// stored pairs are checked against a plain model of the reply format: keys
// match without regard to ASCII letter case, values read back exactly.
#include "browser/ServerBrowser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace brenn;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// The pairs one datagram holds: the text ends at its first NUL; its first
// character is skipped; each backslash ends one token; an empty key ends the
// reply; a missing value is ""; "final" and "queryid" are not stored.
void model(const std::string& datagram, std::map<std::string, std::string>& pairs) {
    const std::string text(datagram.c_str());
    if (text.empty()) return;
    std::vector<std::string> tokens;
    std::string token;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            tokens.push_back(token);
            token.clear();
        } else {
            token += text[i];
        }
    }
    tokens.push_back(token);
    for (std::size_t i = 0; i < tokens.size() && !tokens[i].empty(); i += 2) {
        const std::string value = i + 1 < tokens.size() ? tokens[i + 1] : "";
        if (tokens[i] == "final" || tokens[i] == "queryid") continue;
        pairs[lower(tokens[i])] = value;
    }
}

// The part number of a numbered datagram: the value of the first key
// "queryid" (before an empty key) reads "N.K", N not empty, K all digits
// and from 1 to 64; else 0.
std::int32_t modelPart(const std::string& datagram) {
    const std::string text(datagram.c_str());
    if (text.empty()) return 0;
    std::vector<std::string> tokens;
    std::size_t start = 1;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\\') {
            tokens.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    for (std::size_t i = 0; i + 1 < tokens.size() && !tokens[i].empty(); i += 2) {
        if (tokens[i] != "queryid") continue;
        const std::string& value = tokens[i + 1];
        const std::size_t dot = value.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == value.size()) return 0;
        long part = 0;
        for (std::size_t k = dot + 1; k < value.size(); ++k) {
            if (value[k] < '0' || value[k] > '9') return 0;
            part = part * 10 + (value[k] - '0');
            if (part > 1000) return 0;
        }
        return part >= 1 && part <= 64 ? static_cast<std::int32_t>(part) : 0;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8 * 1500) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> datagrams;
    for (std::size_t start = 0; start <= input.size() && datagrams.size() < 8;) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        datagrams.push_back(input.substr(start, end - start));
        start = end + 1;
    }

    StringPool* pool = stringpool::create();
    BrowserServer* server = server::create(0x0700000Au, 22000, Status, pool);
    std::map<std::string, std::string> expected;
    for (const std::string& datagram : datagrams) {
        std::vector<char> text(datagram.begin(), datagram.end());
        text.push_back('\0');
        const server::ReplyMarks marks = server::readMarks(text.data());
        check(marks.part == modelPart(datagram), "reply part number");
        check(marks.final == (std::string(datagram.c_str()).find("\\final\\") != std::string::npos), "final");
        server::parseReply(server, text.data());
        model(datagram, expected);
    }

    // Every pair the model expects is there, under any letter case, and
    // there is nothing else.
    std::size_t stored = 0;
    if (server->keys != nullptr)
        for (std::int32_t b = 0; b < server->keys->bucketCount; ++b) stored += dynarray::length(server->keys->buckets[b]);
    check(stored == expected.size(), "stored pair count");
    for (const auto& [key, value] : expected) {
        const KeyValuePair* pair = server::findPair(server, key.c_str());
        check(pair != nullptr, "expected pair found");
        check(pair->value == value, "expected value");
        check(lower(pair->key) == key, "pair key");
        if (key != "hostaddr") check(server::stringValue(server, key.c_str(), "") == value, "stringValue");
        if (key != "ping") {
            const long long wide = std::strtoll(pair->value, nullptr, 10);
            const std::int32_t clamped =
                wide > INT32_MAX ? INT32_MAX : (wide < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(wide));
            check(server::intValue(server, key.c_str(), -1) == clamped, "intValue");
        }
        server::floatValue(server, key.c_str(), 0.0);
        server::playerStringValue(server, static_cast<std::int32_t>(key.size()), key.c_str(), "");
    }
    // Texts that may or may not be keys: the input's lines and pieces of them.
    for (const std::string& datagram : datagrams) {
        const std::string text(datagram.c_str());
        server::stringValue(server, text.c_str(), "");
        server::intValue(server, text.c_str(), 0);
        server::playerStringValue(server, -2147483647 - 1, text.c_str(), "");
        if (text.size() > 1) server::floatValue(server, text.c_str() + 1, 0.0);
    }
    server::freeServer(&server);
    stringpool::destroy(pool);
    return 0;
}
