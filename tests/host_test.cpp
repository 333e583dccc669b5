// Tests of the host model: ServerData records and the JoinMatchmaking list
// and hooks.
#include "containers/AllocationTesting.h"
#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

using namespace brenn::matchmaking;

namespace {

// index ("" for a plain value), key, value
using Value = std::tuple<std::string, std::string, std::string>;
using Values = std::vector<Value>;
using Records = std::vector<ServerData*>;

ServerData* addServer(JoinMatchmaking& host, const std::string& address, std::uint32_t port = 1) {
    ServerData* record = host.createServerData("lan", 1, address, port, nullptr);
    EXPECT_NE(record, nullptr);
    return record;
}

// The list from head to tail, checking every link and the count on the way.
Records walkList(const JoinMatchmaking& host) {
    Records records;
    for (ServerData* record = host.serverDataHead; record != nullptr; record = record->next) {
        EXPECT_EQ(record->prev, records.empty() ? nullptr : records.back());
        EXPECT_EQ(record->owner, &host);
        records.push_back(record);
    }
    EXPECT_EQ(host.serverDataTail, records.empty() ? nullptr : records.back());
    EXPECT_EQ(host.serverDataCount, static_cast<std::int32_t>(records.size()));
    return records;
}

// A section from head to tail, checking links, section pointers and count.
Values walkSection(const ServerDataSection& section) {
    Values values;
    const ServerDataValue* previous = nullptr;
    for (const ServerDataValue* node = section.head; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        EXPECT_EQ(node->section, &section);
        values.emplace_back(node->index != nullptr ? node->index : "", node->key, node->value);
        previous = node;
    }
    EXPECT_EQ(section.tail, previous);
    EXPECT_EQ(section.count, static_cast<std::int32_t>(values.size()));
    return values;
}

// The newest record of address and port, by walking host's list from the head.
ServerData* walkFor(const JoinMatchmaking& host, const std::string& address, std::uint32_t port) {
    for (ServerData* record = host.serverDataHead; record != nullptr; record = record->next)
        if (record->address == address && record->port == port) return record;
    return nullptr;
}

// findServerData against the walk of the list, for every (address, port)
// the test may have made and texts next to them (a zero, a blank, a prefix).
void expectFoundAsByWalk(JoinMatchmaking& host, int addresses, int ports) {
    for (int a = 0; a < addresses; ++a) {
        const std::string n = std::to_string(a);
        for (const std::string& address : {"10.0.0." + n, "10.0.0.0" + n, "10.0.0." + n + " ", std::string("10.0.0.")})
            for (std::uint32_t port = 0; port < static_cast<std::uint32_t>(ports); ++port)
                ASSERT_EQ(host.findServerData(address, port), walkFor(host, address, port)) << address << ":" << port;
    }
}

// A section as setValue and setPlayerValue would leave it by walking it:
// the first value of the key (a player's only, for a player's value) gets
// the new value, else a new one goes in at the head.
void storeByWalk(Values& section, const std::string& index, const std::string& key, const std::string& value) {
    for (Value& v : section) {
        if (std::get<1>(v) == key && (index.empty() || std::get<0>(v) == index)) {
            std::get<2>(v) = value;
            return;
        }
    }
    section.insert(section.begin(), Value{index, key, value});
}

// A section as removePlayersFrom leaves it: player values below count stay.
void removeByWalk(Values& section, std::int32_t count) {
    Values kept;
    for (const Value& v : section)
        if (std::get<0>(v).empty() || std::stol(std::get<0>(v)) < count) kept.push_back(v);
    section = kept;
}

// Allocation failures in the indexes stop after the test.
struct Unarmed {
    ~Unarmed() { brenn::allocation::testing::failAfter(-1); }
};

const struct {
    const char* name;
    ServerDataSection ServerData::*section;
} sections[] = {
    {"basic", &ServerData::basicSection},     {"info", &ServerData::infoSection},
    {"players", &ServerData::playersSection}, {"teams", &ServerData::teamsSection},
    {"rules", &ServerData::rulesSection},
};

// What the hooks heard, with the context each call carried.
std::vector<std::string> heard;
std::string with(const void* context) { return " @" + std::to_string(reinterpret_cast<std::uintptr_t>(context)); }
void onServer(ServerData* record, std::uint32_t progress, bool isNew, void* context) {
    heard.push_back(record->address + " " + std::to_string(progress) + (isNew ? " new" : " old") + with(context));
}
void onState(std::uint32_t state, void* context) { heard.push_back("state " + std::to_string(state) + with(context)); }

}  // namespace

TEST(ServerDataList, RecordsEnterAtTheHeadAndLeaveFromAnywhere) {
    for (int victim = 0; victim < 3; ++victim) {
        SCOPED_TRACE(victim);
        JoinMatchmaking host;
        EXPECT_TRUE(walkList(host).empty());
        ServerData* first = addServer(host, "10.0.0.1");
        EXPECT_EQ(walkList(host), Records{first});
        for (const auto& s : sections) EXPECT_TRUE(walkSection(first->*s.section).empty());
        ServerData* second = addServer(host, "10.0.0.2");
        Records records{addServer(host, "10.0.0.3"), second, first};
        EXPECT_EQ(walkList(host), records);
        for (ServerData* r : records) r->setPlayerValue("players", 0, "name", "a");
        delete records[victim];
        records.erase(records.begin() + victim);
        EXPECT_EQ(walkList(host), records);
        host.disposeServerData();
        EXPECT_TRUE(walkList(host).empty());
        ServerData* again = addServer(host, "10.0.0.4");
        EXPECT_EQ(walkList(host), Records{again});
        again->setValue("rules", "fraglimit", "20");  // the destructor frees it; the leak checker watches
    }
}

TEST(ServerDataValues, OnlyAnExactSectionNameSelectsASection) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1");
    for (const char* name : {"Basic", "INFO", "basic ", " info", "play", "players2", "", "team"}) {
        record->setValue(name, "k", "v");
        record->setPlayerValue(name, 0, "k", "v");
    }
    record->setValue(nullptr, "k", "v");
    record->setValue("info", nullptr, "v");
    record->setPlayerValue("players", 0, "k", nullptr);
    for (const auto& s : sections) EXPECT_TRUE(walkSection(record->*s.section).empty()) << s.name;
    for (const auto& s : sections) {
        record->setValue(s.name, "k", s.name);
        record->setPlayerValue(s.name, 2, "k", s.name);
    }
    for (const auto& s : sections)
        EXPECT_EQ(walkSection(record->*s.section), (Values{{"2", "k", s.name}, {"", "k", s.name}})) << s.name;
}

TEST(ServerDataValues, ValuesAreReplacedInPlacePlayerValuesByIndexAndKey) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1");
    for (const char* key : {"a", "b", "c", "B"}) record->setValue("basic", key, "1");
    record->setValue("basic", "b", "two, and longer than before");
    record->setValue("basic", "a", "");
    EXPECT_EQ(walkSection(record->basicSection),
              (Values{{"", "B", "1"}, {"", "c", "1"}, {"", "b", "two, and longer than before"}, {"", "a", ""}}));

    record->setValue("players", "score", "plain");  // never taken for a player's
    record->setPlayerValue("players", 0, "score", "5");
    record->setPlayerValue("players", 1, "score", "7");
    record->setPlayerValue("players", 0, "name", "ann");
    record->setPlayerValue("players", 1, "score", "9");
    record->setPlayerValue("players", 10, "score", "1");
    record->setPlayerValue("players", -3, "team", "red");
    record->setPlayerValue("players", INT32_MIN, "team", "blue");
    record->setPlayerValue("players", -3, "team", "gold");
    EXPECT_EQ(walkSection(record->playersSection),
              (Values{{"-2147483648", "team", "blue"},
                      {"-3", "team", "gold"},
                      {"10", "score", "1"},
                      {"0", "name", "ann"},
                      {"1", "score", "9"},
                      {"0", "score", "5"},
                      {"", "score", "plain"}}));
}

TEST(JoinMatchmakingHooks, HooksHearTheirArgumentsAndTheContextUnchanged) {
    JoinMatchmaking host;
    host.newServerDataHook = onServer;
    host.stateChangedHook = onState;
    addServer(host, "10.0.0.8", 22000);
    ServerData* record = addServer(host, "10.0.0.7", 22000);
    int marker = 0;
    for (void* context : {static_cast<void*>(&marker), static_cast<void*>(nullptr)}) {
        heard.clear();
        host.hookContext = context;
        host.notifyNewServerData(record, 42, false);
        host.notifyStateChanged(4);
        // Re-announcing calls the hook for a listed server only, as new with progress 0.
        host.reannounceServer("10.0.0.7", 22001);
        host.reannounceServer("10.0.0.9", 22000);
        host.reannounceServer("10.0.0.7", 22000);
        EXPECT_EQ(heard, (std::vector<std::string>{"10.0.0.7 42 old" + with(context), "state 4" + with(context),
                                                   "10.0.0.7 0 new" + with(context)}));
    }
    heard.clear();
    host.newServerDataHook = nullptr;
    host.stateChangedHook = nullptr;
    host.notifyNewServerData(record, 100, true);
    host.notifyStateChanged(1);
    host.reannounceServer("10.0.0.7", 22000);
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(walkList(host).size(), 2u);
}

TEST(JoinMatchmakingFind, FindsTheNewestOfEqualRecordsAsRecordsComeAndGo) {
    // Index allocations fail after that many succeed (-1: never): the list
    // keeps every record and lookups walk instead.
    for (long failAfter : {-1L, 0L, 1L, 2L, 5L}) {
        SCOPED_TRACE(failAfter);
        Unarmed unarmed;
        JoinMatchmaking host;
        brenn::allocation::testing::failAfter(failAfter);
        Records alive;
        // 600 records over 37 addresses and 3 ports: most have equal twins.
        for (int n = 0; n < 600; ++n) {
            alive.push_back(addServer(host, "10.0.0." + std::to_string(n % 37), static_cast<std::uint32_t>(n % 3)));
            if (n % 4 == 3) {  // the host deletes one record: newest, oldest or between
                const std::size_t victim = (n * 7) % alive.size();
                delete alive[victim];
                alive.erase(alive.begin() + static_cast<std::ptrdiff_t>(victim));
            }
            if (n % 50 == 0) expectFoundAsByWalk(host, 38, 4);
        }
        brenn::allocation::testing::failAfter(-1);
        EXPECT_EQ(walkList(host).size(), alive.size());
        expectFoundAsByWalk(host, 38, 4);
        // A record renamed by the host and then deleted leaves nothing behind
        // that a lookup could return.
        ServerData* renamed = host.serverDataHead;
        renamed->address = "10.0.0.99";
        delete renamed;
        expectFoundAsByWalk(host, 38, 4);
        host.disposeServerData();
        EXPECT_TRUE(walkList(host).empty());
        expectFoundAsByWalk(host, 38, 4);
        ServerData* again = addServer(host, "10.0.0.1", 1);
        EXPECT_EQ(host.findServerData("10.0.0.1", 1), again);
    }
}

TEST(ServerDataValues, LargeSectionsUpdateAndLoseTheValuesTheWalkWould) {
    const char* const keys[] = {"name", "score", "ping", "team"};
    for (long failAfter : {-1L, 0L, 1L, 2L, 3L, 7L}) {
        SCOPED_TRACE(failAfter);
        Unarmed unarmed;
        JoinMatchmaking host;
        ServerData* indexed = addServer(host, "10.0.0.1");
        Values players, info;  // the walk's result
        brenn::allocation::testing::failAfter(failAfter);
        for (int n = 0; n < 300; ++n) {
            const std::string value = std::to_string(n);
            const char* key = keys[n % 4];
            const std::int32_t player = (n * 7) % 19 - 3;
            if (n % 6 == 5) {  // the first value of the key, whatever its player
                indexed->setValue("players", key, value.c_str());
                storeByWalk(players, "", key, value);
            } else {
                indexed->setPlayerValue("players", player, key, value.c_str());
                storeByWalk(players, std::to_string(player), key, value);
            }
            const std::string infoKey = "k" + std::to_string(n % 23);  // plain values, new and again
            indexed->setValue("info", infoKey.c_str(), value.c_str());
            storeByWalk(info, "", infoKey, value);
            if (n % 10 == 0) {  // a plain value among the players' never taken for a player's
                indexed->setValue("players", ("p" + value).c_str(), value.c_str());
                storeByWalk(players, "", "p" + value, value);
            }
            if (n % 40 == 39) {  // players leave; later values of theirs come back at the head
                const std::int32_t count = 12 - n / 40;
                indexed->removePlayersFrom("players", count);
                removeByWalk(players, count);
                indexed->removePlayersFrom("info", -100);  // plain values: all stay
            }
        }
        brenn::allocation::testing::failAfter(-1);
        for (const auto& s : sections) {
            const Values expected = s.section == &ServerData::playersSection ? players
                                    : s.section == &ServerData::infoSection  ? info
                                                                             : Values{};
            EXPECT_EQ(walkSection(indexed->*s.section), expected) << s.name;
        }
        // Fewer than the 19 players of 4 keys and 30 plain values before any left.
        EXPECT_EQ(walkSection(indexed->playersSection).size(), 73u);
    }
}
