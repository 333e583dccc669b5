// ServerList: the servers a C browser lists, each a vlj_server around one of
// its JoinMatchmaking's records, in list order and by id.
#pragma once

#include "capi/velnarlanjoin.h"
#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

// A listed server: the record it reads, its ping as a number, and the last
// value walked, so that walking a section from index 0 upward costs constant
// time a step. The record's hostData points back at it.
struct vlj_server {
    brenn::matchmaking::ServerData* record;
    std::int32_t ping = 0;
    mutable const brenn::matchmaking::ServerDataSection* walkSection = nullptr;
    mutable std::int32_t walkIndex = -1;
    mutable brenn::matchmaking::ServerDataValue* walkNode = nullptr;
    // Its live list reported it gone: removed once the step's events are
    // delivered, unless it came back before that.
    bool leaving = false;
};

namespace brenn::capi {

// The text of key in the named section of record: its newest plain value
// (player < 0) or that player's value; null when the record holds none.
const char* valueOf(matchmaking::ServerData& record, const char* section, std::int32_t player, const char* key);

class ServerList {
public:
    ServerList() = default;
    ~ServerList();
    ServerList(const ServerList&) = delete;
    ServerList& operator=(const ServerList&) = delete;

    // The server of record, listed at the end when it is not yet; *made
    // tells which. Null (nothing listed) when storage cannot be had. Never
    // throws.
    vlj_server* adopt(matchmaking::ServerData* record, bool* made) noexcept;
    // Puts the servers of records first, in that order, and the others after
    // them in their order. Throws std::bad_alloc and then changes nothing.
    void reorder(const std::vector<matchmaking::ServerData*>& records);
    // Forgets every server and disposes of owner's records.
    void clear(matchmaking::JoinMatchmaking& owner) noexcept;
    // Forgets the server and deletes its record (which leaves its owner's
    // list). Never throws.
    void remove(vlj_server* server) noexcept;

    std::int32_t count() const { return static_cast<std::int32_t>(order_.size()); }
    // Null when index is out of range / no server has that id.
    vlj_server* at(std::int32_t index) const;
    vlj_server* find(std::uint32_t id) const;

private:
    std::vector<vlj_server*> order_;
    std::unordered_map<std::uint32_t, vlj_server*> byId_;
};

}  // namespace brenn::capi
