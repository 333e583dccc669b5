// ServerData: the host's record of one game server, with its five sections
// of key/value texts, linked into the list of a JoinMatchmaking.
#pragma once

#include "../platform/Export.h"

#include <cstdint>
#include <string>

namespace brenn {
struct BrowserServer;
}

namespace brenn::matchmaking {

class JoinMatchmaking;
struct ServerDataSection;

// One value of a section. The node and its three texts are taken with the C
// allocator (texts with strdup) and given back with free by the record's
// destructor.
struct ServerDataValue {
    ServerDataSection* section;  // the section that holds it
    char* index;                 // player index as "%i" text; null for a plain value
    char* key;                   // never null
    char* value;                 // never null
    ServerDataValue* next;       // toward the tail (older); null at the tail
    ServerDataValue* prev;       // toward the head (newer); null at the head
};

// A list of values, newest at the head. Head and tail are null exactly when
// count is 0.
struct ServerDataSection {
    ServerDataValue* head = nullptr;
    ServerDataValue* tail = nullptr;
    std::int32_t count = 0;
};

// A record's address and port are fixed once it is made: the owner finds it
// by them. The values of a section larger than a few are found through an
// index kept beside the section's list, which stays the host's to walk.
class BRENN_EXPORT ServerData {
public:
    // Unlinks the record from its owner's list (fixing the neighbours' links,
    // the owner's ends and count) and frees every value node with its texts.
    // Records are made by JoinMatchmaking::createServerData with new, so a
    // host that wants to drop one record deletes it; the owner's
    // disposeServerData() drops them all.
    ~ServerData();
    ServerData(const ServerData&) = delete;
    ServerData& operator=(const ServerData&) = delete;

    // Sets key to value in the named section ("basic", "info", "players",
    // "teams" or "rules", exact and case-sensitive). The first value of the
    // section with that key, whatever its index, gets a copy of the new text
    // and keeps its place; otherwise a new plain value enters at the head.
    // An unknown section name or a null argument changes nothing; so does a
    // failed allocation (the old text then stays).
    void setValue(const char* section, const char* key, const char* value);

    // As setValue, for the value of player `index` under key: the first value
    // whose index text ("%i" of index) and key both match is updated, else a
    // new player value enters at the head. Plain values (null index) never
    // match.
    void setPlayerValue(const char* section, std::int32_t index, const char* key,
                        const char* value);

    // Removes from the named section every player value whose index is
    // count or more (a refreshed server that lost players lists no one who
    // left); plain values and lower indexes stay, in their order. An unknown
    // section name changes nothing. Nothing is allocated, so nothing fails.
    void removePlayersFrom(const char* section, std::int32_t count);

    ServerData* next = nullptr;                // toward the owner's tail
    ServerData* prev = nullptr;                // toward the owner's head
    JoinMatchmaking* owner = nullptr;          // the list holding this record; not owned
    std::string serviceId;                     // name of the service that made it
    std::string address;                       // dotted decimal address text
    std::uint32_t port = 0;                    // query port
    std::uint32_t serverId = 0;                // running number given by the service
    // The browser's record it was made from: kept for hosts (which may look
    // at it until the next update clears the browser), not owned, never read
    // here.
    brenn::BrowserServer* browserServer = nullptr;
    bool hostFlag = false;                     // the host's; false after construction
    void* hostData = nullptr;                  // the host's; never touched here
    ServerDataSection basicSection;
    ServerDataSection infoSection;
    ServerDataSection playersSection;
    ServerDataSection teamsSection;
    ServerDataSection rulesSection;

private:
    friend struct RecordLookup;  // makes records, finds and indexes values (host/RecordLookup.h)
    struct ValueLookup;

    // Copies the texts, stores the rest and links the record at the head of
    // owner's list, adding 1 to its count. Only createServerData makes records.
    ServerData(JoinMatchmaking* owner, const std::string& serviceId, std::uint32_t serverId,
               const std::string& address, std::uint32_t port,
               brenn::BrowserServer* browserServer);

    // The section of that exact name, or null.
    ServerDataSection* sectionNamed(const char* name);
    // Replaces node's value text with a copy of value; unchanged on failure.
    static void replaceValue(ServerDataValue* node, const char* value);
    // Links a new node (copies of index, key, value; index may be null) at the
    // head of section and indexes it. Adds nothing when storage cannot be had.
    void addValue(ServerDataSection* section, const char* index, const char* key, const char* value);
    static void freeSection(ServerDataSection& section);

    // Indexes of the sections too large to walk; null until one is needed
    // and when storage could not be had.
    ValueLookup* valueLookup_ = nullptr;
    // Order of making among the owner's records: the newest of equal records
    // is found by it.
    std::uint64_t age_ = 0;
};

}  // namespace brenn::matchmaking
