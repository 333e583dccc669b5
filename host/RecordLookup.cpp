// RecordLookup, the record side: the index from (address, port) to record
// beside a JoinMatchmaking's list, and the walk while it cannot be had.
#include "host/RecordLookup.h"

#include "host/PointerTable.h"

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
};

bool RecordLookup::enter(JoinMatchmaking::RecordIndex& index, ServerData* record) {
    record->age_ = index.made + 1;
    if (!index.records.insert(record)) return false;
    ++index.made;
    return true;
}

JoinMatchmaking::RecordIndex* RecordLookup::indexOf(JoinMatchmaking& host) {
    if (host.recordIndex_ != nullptr) return host.recordIndex_;
    void* storage = allocation::allocate(sizeof(JoinMatchmaking::RecordIndex));
    if (storage == nullptr) return nullptr;
    auto* made = new (storage) JoinMatchmaking::RecordIndex;
    if (!made->records.reserve(static_cast<std::uint32_t>(host.serverDataCount))) {
        allocation::release(storage);
        return nullptr;
    }
    // Tail to head, so that ages follow the order in which records were made.
    for (ServerData* record = host.serverDataTail; record != nullptr; record = record->prev) enter(*made, record);
    return host.recordIndex_ = made;
}

ServerData* RecordLookup::find(JoinMatchmaking& host, const std::string& address, std::uint32_t port) {
    const JoinMatchmaking::RecordIndex* index = indexOf(host);
    if (index == nullptr) return walk(host, address, port);
    ServerData* newest = nullptr;
    index->records.find(recordHash(address, port), [&](ServerData* record) {
        if (record->port == port && record->address == address && (newest == nullptr || record->age_ > newest->age_))
            newest = record;
        return false;
    });
    return newest;
}

ServerData* RecordLookup::walk(const JoinMatchmaking& host, const std::string& address, std::uint32_t port) {
    for (ServerData* record = host.serverDataHead; record != nullptr; record = record->next) {
        if (record->address == address && record->port == port) return record;
    }
    return nullptr;
}

ServerData* RecordLookup::create(JoinMatchmaking& host, const std::string& serviceId, std::uint32_t serverId,
                                 const std::string& address, std::uint32_t port,
                                 brenn::BrowserServer* browserServer) {
    // The constructor links the record only once its texts are copied, so a
    // failure there leaves the list as it was.
    ServerData* record = nullptr;
    try {
        record = new (std::nothrow) ServerData(&host, serviceId, serverId, address, port, browserServer);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (record == nullptr) return nullptr;
    // A record the index cannot take stays listed: lookups walk until the
    // index can be made again.
    if (host.recordIndex_ != nullptr && !enter(*host.recordIndex_, record))
        dropIndex(host);
    else if (host.recordIndex_ == nullptr)
        indexOf(host);
    return record;
}

void RecordLookup::forget(JoinMatchmaking& host, ServerData* record) {
    if (host.recordIndex_ == nullptr) return;
    ServerData** slot = host.recordIndex_->records.find(RecordTraits::hash(record),
                                                        [record](ServerData* held) { return held == record; });
    // Not found under its key: its address or port changed after it was
    // made. The index no longer fits the list, so lookups start again from it.
    if (slot == nullptr)
        dropIndex(host);
    else
        host.recordIndex_->records.erase(slot);
}

void RecordLookup::dropIndex(JoinMatchmaking& host) {
    if (host.recordIndex_ == nullptr) return;
    host.recordIndex_->records.release();
    allocation::release(host.recordIndex_);
    host.recordIndex_ = nullptr;
}

}  // namespace brenn::matchmaking
