// Fuzz target: loading a key map file. The input is the file's content,
// served from memory through the platform layer; the entries are checked
// against a plain model of the file format.
#include "keymap/KeyMap.h"
#include "platform/Platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>

namespace {

using brenn::matchmaking::KeyMap;
using brenn::matchmaking::KeyMapEntry;

const std::uint8_t* content = nullptr;
std::size_t contentSize = 0;

std::FILE* openContent(const char*) {
    // fmemopen refuses a buffer of size 0 on some C libraries.
    if (contentSize == 0) return std::fopen("/dev/null", "r");
    return fmemopen(const_cast<std::uint8_t*>(content), contentSize, "r");
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// strtok: skip delimiters, take up to the next one, move past it.
bool token(const std::string& text, std::size_t& pos, const char* delimiters, std::string& out) {
    const std::size_t start = text.find_first_not_of(delimiters, pos);
    if (start == std::string::npos) return false;
    std::size_t end = text.find_first_of(delimiters, start);
    if (end == std::string::npos) end = text.size();
    out = text.substr(start, end - start);
    pos = end == text.size() ? end : end + 1;
    return true;
}

// Lines end at "\n" (one "\r" before it, or at the end of the file, is
// dropped); a line's text ends at its first NUL.
std::list<KeyMapEntry> model(const std::string& file) {
    std::list<KeyMapEntry> entries;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find('\n', start);
        const std::size_t next = end == std::string::npos ? file.size() : end + 1;
        if (end == std::string::npos) end = file.size();
        std::string line = file.substr(start, end - start);
        start = next;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = std::string(line.c_str());
        std::size_t pos = 0;
        std::string section, key, serverKey;
        if (!token(line, pos, ".", section) || !token(line, pos, "=", key) || !token(line, pos, "#;", serverKey))
            continue;
        if (section.size() > KeyMap::MaxPartLength || key.size() > KeyMap::MaxPartLength ||
            serverKey.size() > KeyMap::MaxPartLength)
            continue;
        entries.emplace_front(section, key, serverKey);
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    content = data;
    contentSize = size;
    const brenn::platform::Operations previous = brenn::platform::current();
    brenn::platform::Operations memory = previous;
    memory.openTextFile = openContent;
    brenn::platform::install(memory);
    {
        const KeyMap map("\\MultiplayerServers\\VelnarKeyMap.ini");
        const std::string file(reinterpret_cast<const char*>(data), size);
        const std::list<KeyMapEntry> expected = model(file);
        check(map.entries().size() == expected.size(), "entry count");
        auto e = expected.begin();
        for (const KeyMapEntry& entry : map.entries()) {
            check(entry.section == e->section && entry.key == e->key && entry.serverKey == e->serverKey,
                  "entry");
            ++e;
        }
        // Every key of the file, and one that is likely in none: the newest
        // entry with the key gives its server key, no entry gives the key.
        std::list<std::string> probes = {"no such key \x01"};
        for (const KeyMapEntry& entry : map.entries()) probes.push_back(entry.key);
        for (const std::string& probe : probes) {
            const std::string* expectedKey = &probe;
            for (const KeyMapEntry& e : expected)
                if (e.key == probe) {
                    expectedKey = &e.serverKey;
                    break;
                }
            check(map.lookup(probe) == *expectedKey, "lookup gives the newest entry with the key");
        }
    }
    brenn::platform::install(previous);
    return 0;
}
