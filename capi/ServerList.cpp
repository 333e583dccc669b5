// ServerList: adopting records, ordering and forgetting them.
#include "capi/ServerList.h"

#include "host/RecordLookup.h"

#include <new>
#include <unordered_set>

namespace brenn::capi {

const char* valueOf(matchmaking::ServerData& record, const char* section, std::int32_t player, const char* key) {
    const matchmaking::ServerDataValue* value = matchmaking::RecordLookup::find(record, section, player, key);
    return value != nullptr ? value->value : nullptr;
}

ServerList::~ServerList() {
    for (vlj_server* server : order_) delete server;
}

vlj_server* ServerList::adopt(matchmaking::ServerData* record, bool* made) noexcept {
    *made = false;
    if (record->hostData != nullptr) return static_cast<vlj_server*>(record->hostData);
    auto* server = new (std::nothrow) vlj_server{record};
    if (server == nullptr) return nullptr;
    try {
        order_.reserve(order_.size() + 1);
        byId_.emplace(record->serverId, server);
    } catch (...) {
        delete server;
        return nullptr;
    }
    order_.push_back(server);  // room was reserved: cannot throw
    record->hostData = server;
    *made = true;
    return server;
}

void ServerList::reorder(const std::vector<matchmaking::ServerData*>& records) {
    std::vector<vlj_server*> order;
    order.reserve(order_.size());
    std::unordered_set<const vlj_server*> placed;
    for (matchmaking::ServerData* record : records) {
        auto* server = static_cast<vlj_server*>(record->hostData);
        if (server != nullptr && placed.insert(server).second) order.push_back(server);
    }
    for (vlj_server* server : order_)
        if (placed.find(server) == placed.end()) order.push_back(server);
    order_.swap(order);
}

void ServerList::clear(matchmaking::JoinMatchmaking& owner) noexcept {
    for (vlj_server* server : order_) delete server;
    order_.clear();
    byId_.clear();
    owner.disposeServerData();
}

void ServerList::remove(vlj_server* server) noexcept {
    for (auto it = order_.begin(); it != order_.end(); ++it) {
        if (*it != server) continue;
        order_.erase(it);
        break;
    }
    byId_.erase(server->record->serverId);
    delete server->record;
    delete server;
}

vlj_server* ServerList::at(std::int32_t index) const {
    if (index < 0 || index >= count()) return nullptr;
    return order_[static_cast<std::size_t>(index)];
}

vlj_server* ServerList::find(std::uint32_t id) const {
    auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

}  // namespace brenn::capi
