// JoinMatchmaking: finding and creating records, calling the host's hooks.
#include "host/JoinMatchmaking.h"

#include "host/PointerTable.h"
#include "host/ServerData.h"

#include <new>

namespace brenn::matchmaking {

namespace {

std::uint32_t recordHash(const std::string& address, std::uint32_t port) {
    return mixHash(hashText(address.c_str()) ^ port);
}

struct RecordTraits {
    static std::uint32_t hash(const ServerData* record) { return recordHash(record->address, record->port); }
};

}  // namespace

// Every record of the list, each with its age: the newest of equal records
// is the one made last.
struct JoinMatchmaking::RecordIndex {
    PointerTable<ServerData, RecordTraits> records;
    std::uint64_t made = 0;  // age given to the last record indexed

    // False when the table cannot grow; the record is then not held.
    bool add(ServerData* record) {
        record->age_ = made + 1;
        if (!records.insert(record)) return false;
        ++made;
        return true;
    }
};

JoinMatchmaking::~JoinMatchmaking() { disposeServerData(); }

ServerData* JoinMatchmaking::findServerData(const std::string& address, std::uint32_t port) {
    const RecordIndex* byAddress = index();
    if (byAddress == nullptr) return walk(address, port);
    ServerData* newest = nullptr;
    byAddress->records.find(recordHash(address, port), [&](ServerData* record) {
        if (record->port == port && record->address == address && (newest == nullptr || record->age_ > newest->age_))
            newest = record;
        return false;
    });
    return newest;
}

ServerData* JoinMatchmaking::walk(const std::string& address, std::uint32_t port) const {
    for (ServerData* record = serverDataHead; record != nullptr; record = record->next) {
        if (record->address == address && record->port == port) return record;
    }
    return nullptr;
}

ServerData* JoinMatchmaking::createServerData(const std::string& serviceId,
                                              std::uint32_t serverId,
                                              const std::string& address, std::uint32_t port,
                                              brenn::BrowserServer* browserServer) {
    return create(serviceId, serverId, address, port, browserServer, true);
}

ServerData* JoinMatchmaking::create(const std::string& serviceId, std::uint32_t serverId,
                                    const std::string& address, std::uint32_t port,
                                    brenn::BrowserServer* browserServer, bool indexed) {
    // The constructor links the record only once its texts are copied, so a
    // failure there leaves the list as it was.
    ServerData* record = nullptr;
    try {
        record = new (std::nothrow) ServerData(this, serviceId, serverId, address, port, browserServer);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (record == nullptr) return nullptr;
    // A record the index cannot take stays listed: lookups walk until the
    // index can be made again.
    if (!indexed || (recordIndex_ != nullptr && !recordIndex_->add(record)))
        dropIndex();
    else if (recordIndex_ == nullptr)
        index();
    return record;
}

JoinMatchmaking::RecordIndex* JoinMatchmaking::index() {
    if (recordIndex_ != nullptr) return recordIndex_;
    void* storage = allocation::allocate(sizeof(RecordIndex));
    if (storage == nullptr) return nullptr;
    auto* made = new (storage) RecordIndex;
    if (!made->records.reserve(static_cast<std::uint32_t>(serverDataCount))) {
        allocation::release(storage);
        return nullptr;
    }
    // Tail to head, so that ages follow the order in which records were made.
    for (ServerData* record = serverDataTail; record != nullptr; record = record->prev) made->add(record);
    return recordIndex_ = made;
}

void JoinMatchmaking::dropIndex() {
    if (recordIndex_ == nullptr) return;
    recordIndex_->records.release();
    allocation::release(recordIndex_);
    recordIndex_ = nullptr;
}

void JoinMatchmaking::forget(ServerData* record) {
    if (recordIndex_ == nullptr) return;
    ServerData** slot = recordIndex_->records.find(RecordTraits::hash(record),
                                                   [record](ServerData* held) { return held == record; });
    // Not found under its key: its address or port changed after it was
    // made. The index no longer fits the list, so lookups start again from it.
    if (slot == nullptr)
        dropIndex();
    else
        recordIndex_->records.erase(slot);
}

void JoinMatchmaking::notifyNewServerData(ServerData* serverData, std::uint32_t progress,
                                          bool isNew) {
    if (newServerDataHook != nullptr) newServerDataHook(serverData, progress, isNew, hookContext);
}

void JoinMatchmaking::notifyStateChanged(std::uint32_t state) {
    if (stateChangedHook != nullptr) stateChangedHook(state, hookContext);
}

void JoinMatchmaking::reannounceServer(const std::string& address, std::uint32_t port) {
    ServerData* record = findServerData(address, port);
    if (record != nullptr && newServerDataHook != nullptr)
        newServerDataHook(record, 0, true, hookContext);
}

void JoinMatchmaking::disposeServerData() {
    // Without the index each record's unlinking costs the same, and the
    // table is given back with the records.
    dropIndex();
    while (serverDataHead != nullptr) delete serverDataHead;
}

}  // namespace brenn::matchmaking
