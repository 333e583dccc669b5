// RecordLookup: how a JoinMatchmaking finds its records and a ServerData the
// values of its sections, through their indexes or by walking the lists.
// Internal to the plug-in and not exported. The record side lives in
// RecordLookup.cpp, the value side in ValueLookup.cpp.
#pragma once

#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <cstdint>
#include <string>

namespace brenn::matchmaking {

struct RecordLookup {
    // findServerData through host's index, which is made from the list when
    // there is none; walks while storage for it cannot be had.
    static ServerData* find(JoinMatchmaking& host, const std::string& address, std::uint32_t port);

    // createServerData: the record enters host's index (a record the index
    // cannot take is kept and the index dropped).
    static ServerData* create(JoinMatchmaking& host, const std::string& serviceId, std::uint32_t serverId,
                              const std::string& address, std::uint32_t port, brenn::BrowserServer* browserServer);
    // Takes a record that is about to leave host's list out of the index.
    static void forget(JoinMatchmaking& host, ServerData* record);
    // Frees host's index; the next lookup or record made builds it again.
    static void dropIndex(JoinMatchmaking& host);

    // ServerData::setValue, and setPlayerValue for player `index`: the value
    // is found through the section's index when the section is large, else
    // by walking it. A new value enters every index the section has, either
    // way.
    static void setValue(ServerData& record, const char* section, const char* key, const char* value);
    static void setPlayerValue(ServerData& record, const char* section, std::int32_t index, const char* key,
                               const char* value);
    // The newest plain value of key in the named section (player < 0), or
    // the value of that player and key; null when the record holds none or
    // the section name is unknown. Large sections are searched through their
    // index, which is built by the first such lookup.
    static const ServerDataValue* find(ServerData& record, const char* section, std::int32_t player,
                                       const char* key);
    // Keeps record's index of section right for node, just linked at its head.
    static void added(ServerData& record, const ServerDataSection* section, ServerDataValue* node);
    // Frees record's section indexes.
    static void release(ServerData& record);

private:
    // findServerData by walking host's list from the head, while host's
    // index cannot be had.
    static ServerData* walk(const JoinMatchmaking& host, const std::string& address, std::uint32_t port);
    // host's index, made from its list if it has none; null when storage
    // cannot be had.
    static JoinMatchmaking::RecordIndex* indexOf(JoinMatchmaking& host);
    // Enters record as the newest; false (record not held) when the index
    // cannot grow.
    static bool enter(JoinMatchmaking::RecordIndex& index, ServerData* record);
    // The value store replaces: the newest of key whatever its index (index
    // null), or the value of that player index and key; null when none.
    static ServerDataValue* locate(ServerData& record, ServerDataSection* section, const char* index,
                                   const char* key);
    // setValue (index null) or setPlayerValue (index the "%i" text).
    static void store(ServerData& record, const char* section, const char* index, const char* key,
                      const char* value);
};

}  // namespace brenn::matchmaking
