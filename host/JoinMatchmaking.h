// JoinMatchmaking: the host's side of joining a game: its names, its list of
// ServerData records, the number of queries to run at once, and its hooks.
#pragma once

#include "../platform/Export.h"

#include <cstdint>
#include <string>

namespace brenn {
struct BrowserServer;
}

namespace brenn::matchmaking {

class ServerData;

// Called for a record that was created or refreshed (isNew tells which), with
// the update's progress in percent and the object's hookContext.
using NewServerDataHook = void (*)(ServerData* serverData, std::uint32_t progress, bool isNew,
                                   void* context);
// Called with a state code (4: querying began, 1: idle again) and hookContext.
using StateChangedHook = void (*)(std::uint32_t state, void* context);

// The host creates and owns this object and lends it to the join service for
// the service's whole life. The object owns the records of its list: each was
// made by createServerData and is deleted by disposeServerData() or by this
// object's destructor (a host may also delete a single record, which unlinks
// it). Every operation runs on the host's thread; nothing is locked.
//
// Records are found through an index from (address, port) kept beside the
// list, so finding or making one costs the same at any list length. A
// record's address and port are therefore fixed once it is made: the index
// relies on them. The list itself stays the host's to walk, newest first; a
// host that links or unlinks records by hand instead of through these calls
// and delete leaves the index wrong.
class BRENN_EXPORT JoinMatchmaking {
public:
    JoinMatchmaking() = default;
    // Disposes of every record (disposeServerData).
    ~JoinMatchmaking();
    JoinMatchmaking(const JoinMatchmaking&) = delete;
    JoinMatchmaking& operator=(const JoinMatchmaking&) = delete;

    // The first record from the head whose address equals address (exact,
    // case-sensitive text) and whose port equals port; null if none. The
    // newest of two equal records is found. Borrowed: the list owns it.
    // Constant time through the index; walks the list while the index could
    // not be had for want of storage.
    ServerData* findServerData(const std::string& address, std::uint32_t port);

    // A new record with this object as owner and copies of the texts, linked
    // at the head; serverDataCount grows by 1. Null when storage cannot be
    // had, and then the list is unchanged. The list owns the record.
    ServerData* createServerData(const std::string& serviceId, std::uint32_t serverId,
                                 const std::string& address, std::uint32_t port,
                                 brenn::BrowserServer* browserServer);

    // Calls newServerDataHook (record, progress, isNew, hookContext); nothing
    // when the hook is null.
    void notifyNewServerData(ServerData* serverData, std::uint32_t progress, bool isNew);

    // Calls stateChangedHook (state, hookContext); nothing when it is null.
    void notifyStateChanged(std::uint32_t state);

    // Calls newServerDataHook with (record, 0, true, hookContext) for the
    // record findServerData gives; nothing when there is none or the hook is
    // null. Creates and counts nothing.
    void reannounceServer(const std::string& address, std::uint32_t port);

    // Unlinks and deletes every record with its values; the list is empty
    // afterwards. Pointers to the records are no longer valid.
    void disposeServerData();

    std::string primaryName;            // handed to the browser at creation
    std::string secondaryName;          // likewise, in second place
    ServerData* serverDataHead = nullptr;  // newest record; null when empty
    ServerData* serverDataTail = nullptr;  // oldest record; null when empty
    std::int32_t serverDataCount = 0;
    std::int32_t maxConcurrentQueries = 8;  // queries the browser keeps in flight
    void* hookContext = nullptr;            // passed back to both hooks unchanged
    NewServerDataHook newServerDataHook = nullptr;  // may be null
    StateChangedHook stateChangedHook = nullptr;    // may be null

private:
    friend struct RecordLookup;  // finds, indexes and forgets records (host/RecordLookup.h)
    struct RecordIndex;

    // Every record of the list by (address, port); null until first needed
    // and after an allocation failure.
    RecordIndex* recordIndex_ = nullptr;
};

}  // namespace brenn::matchmaking
