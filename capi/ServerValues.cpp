// The servers' entry points: address, port, ping, id, and the values of
// their records, by key and player or by walking a section.
#include "capi/Boundary.h"
#include "capi/ServerList.h"

#include <cstdlib>
#include <cstring>

using brenn::capi::guarded;
using brenn::capi::guardedOr;
using brenn::matchmaking::ServerData;
using brenn::matchmaking::ServerDataSection;
using brenn::matchmaking::ServerDataValue;

namespace {

// The section of that exact name, or null.
const ServerDataSection* sectionOf(const ServerData& record, const char* name) {
    if (name == nullptr) return nullptr;
    const struct {
        const char* name;
        const ServerDataSection* section;
    } sections[] = {{VLJ_SECTION_BASIC, &record.basicSection}, {VLJ_SECTION_INFO, &record.infoSection},
                    {VLJ_SECTION_PLAYERS, &record.playersSection}, {VLJ_SECTION_TEAMS, &record.teamsSection},
                    {VLJ_SECTION_RULES, &record.rulesSection}};
    for (const auto& entry : sections)
        if (std::strcmp(entry.name, name) == 0) return entry.section;
    return nullptr;
}

// The value at index of section (0 the oldest), moving on from the last one
// walked when it can. index is within the section.
ServerDataValue* walkTo(const vlj_server& server, const ServerDataSection* section, std::int32_t index) {
    ServerDataValue* node = nullptr;
    if (server.walkSection == section && server.walkNode != nullptr && index >= server.walkIndex) {
        node = server.walkNode;
        for (std::int32_t i = server.walkIndex; i < index; ++i) node = node->prev;
    } else if (index < section->count / 2) {
        node = section->tail;
        for (std::int32_t i = 0; i < index; ++i) node = node->prev;
    } else {
        node = section->head;
        for (std::int32_t i = section->count - 1; i > index; --i) node = node->next;
    }
    server.walkSection = section;
    server.walkIndex = index;
    server.walkNode = node;
    return node;
}

}  // namespace

uint32_t vlj_server_id(const vlj_server* server) { return server != nullptr ? server->record->serverId : 0; }

const char* vlj_server_address(const vlj_server* server) {
    return server != nullptr ? server->record->address.c_str() : nullptr;
}

int32_t vlj_server_port(const vlj_server* server) {
    return server != nullptr ? static_cast<std::int32_t>(server->record->port) : VLJ_ERR_INVALID_ARGUMENT;
}

int32_t vlj_server_ping(const vlj_server* server) {
    return server != nullptr ? server->ping : VLJ_ERR_INVALID_ARGUMENT;
}

const char* vlj_server_value(const vlj_server* server, const char* section, const char* key) {
    if (server == nullptr || section == nullptr || key == nullptr) return nullptr;
    return guardedOr<const char*>(nullptr, [&] { return brenn::capi::valueOf(*server->record, section, -1, key); });
}

const char* vlj_server_player_value(const vlj_server* server, const char* section, int32_t player,
                                    const char* key) {
    if (server == nullptr || section == nullptr || key == nullptr || player < 0) return nullptr;
    return guardedOr<const char*>(nullptr,
                                  [&] { return brenn::capi::valueOf(*server->record, section, player, key); });
}

int32_t vlj_server_value_count(const vlj_server* server, const char* section) {
    if (server == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    const ServerDataSection* chosen = sectionOf(*server->record, section);
    return chosen != nullptr ? chosen->count : 0;
}

int32_t vlj_server_value_at(const vlj_server* server, const char* section, int32_t index, const char** key,
                            const char** value, int32_t* player) {
    return guarded([&]() -> std::int32_t {
        if (server == nullptr || section == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        const ServerDataSection* chosen = sectionOf(*server->record, section);
        if (chosen == nullptr || index < 0 || index >= chosen->count) return VLJ_ERR_NOT_FOUND;
        const ServerDataValue* node = walkTo(*server, chosen, index);
        if (key != nullptr) *key = node->key;
        if (value != nullptr) *value = node->value;
        if (player != nullptr)
            *player = node->index != nullptr ? static_cast<std::int32_t>(std::strtol(node->index, nullptr, 10)) : -1;
        return VLJ_OK;
    });
}
