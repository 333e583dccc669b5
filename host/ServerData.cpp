// ServerData: construction into the owner's list, the two setters, disposal.
#include "host/ServerData.h"

#include "host/JoinMatchmaking.h"
#include "host/PointerTable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace brenn::matchmaking {

namespace {

// Sections of up to this many values are walked: an index would cost more
// than it saves.
constexpr std::int32_t SmallSection = 8;

struct KeyTraits {
    static std::uint32_t hash(const ServerDataValue* node) { return mixHash(hashText(node->key)); }
};
struct PlayerTraits {
    static std::uint32_t hash(const ServerDataValue* node) { return mixHash(hashText(node->key, hashText(node->index))); }
};
using KeyTable = PointerTable<ServerDataValue, KeyTraits>;
using PlayerTable = PointerTable<ServerDataValue, PlayerTraits>;

// Enters a node just linked at the head of its section (the newest of its
// key). False when the table cannot grow.
bool enter(KeyTable& table, ServerDataValue* node) {
    ServerDataValue** slot = table.find(KeyTraits::hash(node), [node](const ServerDataValue* held) {
        return std::strcmp(held->key, node->key) == 0;
    });
    if (slot == nullptr) return table.insert(node);
    *slot = node;
    return true;
}
bool enter(PlayerTable& table, ServerDataValue* node) { return node->index == nullptr || table.insert(node); }

// Fills an unbuilt table from the section, oldest value first. False (and
// the table unbuilt) when storage cannot be had.
template <typename Table>
bool build(Table& table, const ServerDataSection& section) {
    if (!table.reserve(1)) return false;
    for (ServerDataValue* node = section.tail; node != nullptr; node = node->prev) {
        if (!enter(table, node)) {
            table.release();
            return false;
        }
    }
    return true;
}

// The two indexes of one section, each built when a lookup of its kind
// first meets the section large; a table is built exactly when it has slots.
struct SectionIndex {
    KeyTable newestByKey;  // the newest value of each key, for setValue
    PlayerTable players;   // every player value, for setPlayerValue

    // The newest value with key, or the player value of index and key
    // (index not null); null when there is none. False in *built when the
    // table this lookup needs cannot be built: the caller then walks.
    ServerDataValue* find(const ServerDataSection& section, const char* index, const char* key, bool* built) {
        ServerDataValue** slot = nullptr;
        if (index == nullptr) {
            *built = newestByKey.slots != nullptr || build(newestByKey, section);
            if (*built)
                slot = newestByKey.find(mixHash(hashText(key)),
                                        [key](const ServerDataValue* held) { return std::strcmp(held->key, key) == 0; });
        } else {
            *built = players.slots != nullptr || build(players, section);
            if (*built)
                slot = players.find(mixHash(hashText(key, hashText(index))), [index, key](const ServerDataValue* held) {
                    return std::strcmp(held->index, index) == 0 && std::strcmp(held->key, key) == 0;
                });
        }
        return slot != nullptr ? *slot : nullptr;
    }

    // Keeps the built tables right for a node just linked; a table that
    // cannot grow is dropped and built again when next needed.
    void add(ServerDataValue* node) {
        if (newestByKey.slots != nullptr && !enter(newestByKey, node)) newestByKey.release();
        if (players.slots != nullptr && !enter(players, node)) players.release();
    }

    void release() {
        newestByKey.release();
        players.release();
    }
};

}  // namespace

struct ServerData::ValueLookup {
    SectionIndex sections[5];  // basic, info, players, teams, rules

    SectionIndex& of(ServerData& record, const ServerDataSection* section) {
        const ServerDataSection* const order[] = {&record.basicSection, &record.infoSection, &record.playersSection,
                                                  &record.teamsSection, &record.rulesSection};
        std::size_t i = 0;
        while (order[i] != section) ++i;
        return sections[i];
    }
};

ServerData::ServerData(JoinMatchmaking* owner, const std::string& serviceId,
                       std::uint32_t serverId, const std::string& address, std::uint32_t port,
                       brenn::BrowserServer* browserServer)
    : owner(owner),
      serviceId(serviceId),
      address(address),
      port(port),
      serverId(serverId),
      browserServer(browserServer) {
    next = owner->serverDataHead;
    if (next != nullptr)
        next->prev = this;
    else
        owner->serverDataTail = this;
    owner->serverDataHead = this;
    ++owner->serverDataCount;
}

ServerData::~ServerData() {
    if (owner != nullptr) {
        owner->forget(this);
        if (prev != nullptr)
            prev->next = next;
        else
            owner->serverDataHead = next;
        if (next != nullptr)
            next->prev = prev;
        else
            owner->serverDataTail = prev;
        --owner->serverDataCount;
    }
    freeSection(basicSection);
    freeSection(infoSection);
    freeSection(playersSection);
    freeSection(teamsSection);
    freeSection(rulesSection);
    if (valueLookup_ != nullptr) {
        for (SectionIndex& section : valueLookup_->sections) section.release();
        allocation::release(valueLookup_);
    }
}

ServerDataSection* ServerData::sectionNamed(const char* name) {
    if (name == nullptr) return nullptr;
    if (std::strcmp(name, "basic") == 0) return &basicSection;
    if (std::strcmp(name, "info") == 0) return &infoSection;
    if (std::strcmp(name, "players") == 0) return &playersSection;
    if (std::strcmp(name, "teams") == 0) return &teamsSection;
    if (std::strcmp(name, "rules") == 0) return &rulesSection;
    return nullptr;
}

void ServerData::setValue(const char* section, const char* key, const char* value) {
    set(section, nullptr, key, value, true);
}

void ServerData::setPlayerValue(const char* section, std::int32_t index, const char* key,
                                const char* value) {
    char indexText[12];
    std::snprintf(indexText, sizeof indexText, "%i", static_cast<int>(index));
    set(section, indexText, key, value, true);
}

void ServerData::set(const char* section, const char* index, const char* key, const char* value, bool indexed) {
    ServerDataSection* chosen = sectionNamed(section);
    if (chosen == nullptr || key == nullptr || value == nullptr) return;
    ServerDataValue* node = find(chosen, index, key, indexed);
    if (node != nullptr)
        replaceValue(node, value);
    else
        addValue(chosen, index, key, value);
}

ServerDataValue* ServerData::find(ServerDataSection* section, const char* index, const char* key, bool indexed) {
    if (indexed && section->count > SmallSection) {
        if (valueLookup_ == nullptr) {
            void* storage = allocation::allocate(sizeof(ValueLookup));
            if (storage != nullptr) valueLookup_ = new (storage) ValueLookup;
        }
        if (valueLookup_ != nullptr) {
            bool built = false;
            ServerDataValue* node = valueLookup_->of(*this, section).find(*section, index, key, &built);
            if (built) return node;
        }
    }
    for (ServerDataValue* node = section->head; node != nullptr; node = node->next) {
        if (index == nullptr ? std::strcmp(node->key, key) == 0
                             : node->index != nullptr && std::strcmp(node->index, index) == 0 &&
                                   std::strcmp(node->key, key) == 0)
            return node;
    }
    return nullptr;
}

void ServerData::replaceValue(ServerDataValue* node, const char* value) {
    char* copy = strdup(value);
    if (copy == nullptr) return;
    std::free(node->value);
    node->value = copy;
}

void ServerData::addValue(ServerDataSection* section, const char* index, const char* key,
                          const char* value) {
    auto* node = static_cast<ServerDataValue*>(std::calloc(1, sizeof(ServerDataValue)));
    if (node == nullptr) return;
    node->index = index != nullptr ? strdup(index) : nullptr;
    node->key = strdup(key);
    node->value = strdup(value);
    if ((index != nullptr && node->index == nullptr) || node->key == nullptr ||
        node->value == nullptr) {
        std::free(node->index);
        std::free(node->key);
        std::free(node->value);
        std::free(node);
        return;
    }
    node->section = section;
    node->next = section->head;
    if (section->head != nullptr)
        section->head->prev = node;
    else
        section->tail = node;
    section->head = node;
    ++section->count;
    if (valueLookup_ != nullptr) valueLookup_->of(*this, section).add(node);
}

void ServerData::freeSection(ServerDataSection& section) {
    ServerDataValue* node = section.head;
    while (node != nullptr) {
        ServerDataValue* next = node->next;
        std::free(node->index);
        std::free(node->key);
        std::free(node->value);
        std::free(node);
        node = next;
    }
    section = ServerDataSection{};
}

}  // namespace brenn::matchmaking
