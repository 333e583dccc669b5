// RecordLookup, the value side: the indexes of a record's large sections,
// built when a lookup first meets a section large, and the walk of small ones.
#include "host/RecordLookup.h"

#include "host/PointerTable.h"

#include <cstdio>
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

void RecordLookup::setValue(ServerData& record, const char* section, const char* key, const char* value) {
    store(record, section, nullptr, key, value);
}

void RecordLookup::setPlayerValue(ServerData& record, const char* section, std::int32_t index, const char* key,
                                  const char* value) {
    char indexText[12];
    std::snprintf(indexText, sizeof indexText, "%i", static_cast<int>(index));
    store(record, section, indexText, key, value);
}

ServerDataValue* RecordLookup::locate(ServerData& record, ServerDataSection* chosen, const char* index,
                                      const char* key) {
    if (chosen->count > SmallSection) {
        if (record.valueLookup_ == nullptr) {
            void* storage = allocation::allocate(sizeof(ServerData::ValueLookup));
            if (storage != nullptr) record.valueLookup_ = new (storage) ServerData::ValueLookup;
        }
        bool answered = false;  // by the index, when it could be had
        ServerDataValue* node = nullptr;
        if (record.valueLookup_ != nullptr)
            node = record.valueLookup_->of(record, chosen).find(*chosen, index, key, &answered);
        if (answered) return node;
    }
    for (ServerDataValue* walked = chosen->head; walked != nullptr; walked = walked->next) {
        // setValue takes any value of the key; setPlayerValue a player's only.
        if (std::strcmp(walked->key, key) == 0 &&
            (index == nullptr || (walked->index != nullptr && std::strcmp(walked->index, index) == 0)))
            return walked;
    }
    return nullptr;
}

void RecordLookup::store(ServerData& record, const char* section, const char* index, const char* key,
                         const char* value) {
    ServerDataSection* chosen = record.sectionNamed(section);
    if (chosen == nullptr || key == nullptr || value == nullptr) return;
    ServerDataValue* node = locate(record, chosen, index, key);
    if (node != nullptr)
        ServerData::replaceValue(node, value);
    else
        record.addValue(chosen, index, key, value);
}

const ServerDataValue* RecordLookup::find(ServerData& record, const char* section, std::int32_t player,
                                          const char* key) {
    ServerDataSection* chosen = record.sectionNamed(section);
    if (chosen == nullptr || key == nullptr) return nullptr;
    char indexText[12];
    const char* index = nullptr;
    if (player >= 0) {
        std::snprintf(indexText, sizeof indexText, "%i", static_cast<int>(player));
        index = indexText;
    }
    const ServerDataValue* node = locate(record, chosen, index, key);
    if (node == nullptr || index != nullptr || node->index == nullptr) return node;
    // The newest value of the key is a player's: an older plain one may be there.
    for (const ServerDataValue* walked = node->next; walked != nullptr; walked = walked->next)
        if (walked->index == nullptr && std::strcmp(walked->key, key) == 0) return walked;
    return nullptr;
}

void RecordLookup::added(ServerData& record, const ServerDataSection* section, ServerDataValue* node) {
    if (record.valueLookup_ != nullptr) record.valueLookup_->of(record, section).add(node);
}

void RecordLookup::release(ServerData& record) {
    if (record.valueLookup_ == nullptr) return;
    for (SectionIndex& section : record.valueLookup_->sections) section.release();
    allocation::release(record.valueLookup_);
    record.valueLookup_ = nullptr;
}

}  // namespace brenn::matchmaking
