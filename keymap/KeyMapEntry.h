// KeyMapEntry: one usable line of the key map file.
#pragma once

#include "../platform/Export.h"

#include <string>
#include <utility>

namespace brenn::matchmaking {

// Which server key fills which key of which ServerData section. Built once
// from its three texts and never changed.
struct BRENN_EXPORT KeyMapEntry {
    KeyMapEntry(std::string section, std::string key, std::string serverKey)
        : section(std::move(section)), key(std::move(key)), serverKey(std::move(serverKey)) {}

    const std::string section;    // "basic", "info", "players", "teams", "rules" or other
    const std::string key;        // the key set in that section
    const std::string serverKey;  // the key under which servers report the value
};

}  // namespace brenn::matchmaking
