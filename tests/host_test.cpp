// Tests of the host model: ServerData records and the JoinMatchmaking list
// and hooks.
#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

using brenn::matchmaking::JoinMatchmaking;
using brenn::matchmaking::ServerData;
using brenn::matchmaking::ServerDataSection;
using brenn::matchmaking::ServerDataValue;

namespace {

// index ("" for a plain value), key, value
using Value = std::tuple<std::string, std::string, std::string>;
using Values = std::vector<Value>;
using Records = std::vector<ServerData*>;

ServerData* addServer(JoinMatchmaking& host, const std::string& address, std::uint32_t port) {
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

const struct {
    const char* name;
    ServerDataSection ServerData::*section;
} sections[] = {
    {"basic", &ServerData::basicSection},     {"info", &ServerData::infoSection},
    {"players", &ServerData::playersSection}, {"teams", &ServerData::teamsSection},
    {"rules", &ServerData::rulesSection},
};

}  // namespace

// --- Records in the list ----------------------------------------------------

TEST(ServerDataList, RecordsEnterAtTheHeadOfTheList) {
    JoinMatchmaking host;
    EXPECT_TRUE(walkList(host).empty());
    EXPECT_EQ(host.newServerDataHook, nullptr);
    EXPECT_EQ(host.stateChangedHook, nullptr);

    auto* browserServer = reinterpret_cast<brenn::BrowserServer*>(0x1000);
    ServerData* first = host.createServerData("svc", 7, "10.0.0.7", 22000, browserServer);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(walkList(host), Records{first});
    EXPECT_EQ(std::tie(first->serviceId, first->serverId, first->address, first->port),
              std::make_tuple(std::string("svc"), 7u, std::string("10.0.0.7"), 22000u));
    EXPECT_EQ(first->browserServer, browserServer);
    EXPECT_FALSE(first->hostFlag);
    for (const auto& s : sections) EXPECT_TRUE(walkSection(first->*s.section).empty());

    ServerData* second = addServer(host, "10.0.0.2", 2);
    ServerData* third = addServer(host, "10.0.0.3", 3);
    EXPECT_EQ(walkList(host), (Records{third, second, first}));
}

TEST(ServerDataList, DeletingARecordUnlinksItWhereverItIs) {
    for (int victim = 0; victim < 3; ++victim) {
        SCOPED_TRACE(victim);
        JoinMatchmaking host;
        for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"}) addServer(host, address, 1);
        Records records = walkList(host);
        records[victim]->setValue("info", "hostname", "gone");
        delete records[victim];
        records.erase(records.begin() + victim);
        EXPECT_EQ(walkList(host), records);
    }
}

TEST(ServerDataList, DisposeEmptiesTheListAndItCanGrowAgain) {
    JoinMatchmaking host;
    addServer(host, "10.0.0.1", 1)->setPlayerValue("players", 0, "name", "a");
    addServer(host, "10.0.0.2", 2)->setValue("rules", "fraglimit", "20");
    host.disposeServerData();
    EXPECT_TRUE(walkList(host).empty());
    ServerData* again = addServer(host, "10.0.0.3", 3);
    EXPECT_EQ(walkList(host), Records{again});
    // The destructor disposes of the rest; the leak checker watches.
}

// --- Sections and values ------------------------------------------------------

TEST(ServerDataValues, EachSectionNameSelectsItsOwnSection) {
    for (const auto& chosen : sections) {
        SCOPED_TRACE(chosen.name);
        JoinMatchmaking host;
        ServerData* record = addServer(host, "10.0.0.1", 1);
        record->setValue(chosen.name, "k", "v");
        record->setPlayerValue(chosen.name, 2, "k", "w");
        for (const auto& s : sections) {
            const Values expected = s.section == chosen.section
                                        ? Values{{"2", "k", "w"}, {"", "k", "v"}}
                                        : Values{};
            EXPECT_EQ(walkSection(record->*s.section), expected) << s.name;
        }
    }
}

TEST(ServerDataValues, SectionNamesMatchOnlyExactly) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    for (const char* name : {"Basic", "INFO", "basic ", " info", "play", "players2", "", "team"}) {
        record->setValue(name, "k", "v");
        record->setPlayerValue(name, 0, "k", "v");
    }
    record->setValue(nullptr, "k", "v");
    record->setValue("info", nullptr, "v");
    record->setPlayerValue("players", 0, "k", nullptr);
    for (const auto& s : sections) EXPECT_TRUE(walkSection(record->*s.section).empty()) << s.name;
}

TEST(ServerDataValues, ReplacingAValueKeepsItsPlaceAndTheCount) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    for (const char* key : {"a", "b", "c", "B"}) record->setValue("basic", key, "1");
    record->setValue("basic", "b", "two, and longer than before");
    record->setValue("basic", "a", "");
    EXPECT_EQ(walkSection(record->basicSection),
              (Values{{"", "B", "1"},
                      {"", "c", "1"},
                      {"", "b", "two, and longer than before"},
                      {"", "a", ""}}));
}

TEST(ServerDataValues, PlayerValuesAreKeptPerIndexAndKey) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
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

// --- Finding records and calling hooks ---------------------------------------

TEST(JoinMatchmakingFind, MatchesExactAddressTextAndPortNewestFirst) {
    JoinMatchmaking host;
    EXPECT_EQ(host.findServerData("10.0.0.7", 22000), nullptr);
    ServerData* older = addServer(host, "10.0.0.7", 22000);
    ServerData* b = addServer(host, "10.0.0.7", 22001);
    ServerData* c = addServer(host, "10.0.0.70", 22000);
    ServerData* a = addServer(host, "10.0.0.7", 22000);
    const struct {
        const char* address;
        std::uint32_t port;
        ServerData* expected;
    } cases[] = {
        {"10.0.0.7", 22000, a},          {"10.0.0.7", 22001, b},
        {"10.0.0.70", 22000, c},         {"10.0.0.07", 22000, nullptr},
        {"10.0.0.7 ", 22000, nullptr},   {"10.0.0.", 22000, nullptr},
        {"10.0.0.7", 22002, nullptr},    {"", 0, nullptr},
    };
    for (const auto& k : cases)
        EXPECT_EQ(host.findServerData(k.address, k.port), k.expected) << k.address << ":" << k.port;
    EXPECT_EQ(walkList(host), (Records{a, c, b, older}));
}

namespace {

struct HookCall {
    ServerData* record;
    std::uint32_t progress;
    bool isNew;
    void* context;
};
struct StateCall {
    std::uint32_t state;
    void* context;
};
std::vector<HookCall> hookCalls;
std::vector<StateCall> stateCalls;

class JoinMatchmakingHooks : public ::testing::Test {
protected:
    void SetUp() override {
        hookCalls.clear();
        stateCalls.clear();
        host.newServerDataHook = [](ServerData* record, std::uint32_t progress, bool isNew,
                                    void* context) {
            hookCalls.push_back({record, progress, isNew, context});
        };
        host.stateChangedHook = [](std::uint32_t state, void* context) {
            stateCalls.push_back({state, context});
        };
    }
    JoinMatchmaking host;
};

}  // namespace

TEST_F(JoinMatchmakingHooks, NotificationsPassTheirArgumentsAndTheContext) {
    int marker = 0;
    ServerData* record = addServer(host, "10.0.0.7", 22000);
    for (void* context : {static_cast<void*>(&marker), static_cast<void*>(nullptr)}) {
        hookCalls.clear();
        stateCalls.clear();
        host.hookContext = context;
        host.notifyNewServerData(record, 42, false);
        host.notifyStateChanged(4);
        ASSERT_EQ(hookCalls.size(), 1u);
        EXPECT_EQ(hookCalls[0].record, record);
        EXPECT_EQ(hookCalls[0].progress, 42u);
        EXPECT_FALSE(hookCalls[0].isNew);
        EXPECT_EQ(hookCalls[0].context, context);
        ASSERT_EQ(stateCalls.size(), 1u);
        EXPECT_EQ(stateCalls[0].state, 4u);
        EXPECT_EQ(stateCalls[0].context, context);
    }
}

TEST_F(JoinMatchmakingHooks, ReannounceCallsTheHookOnlyForAListedServer) {
    int marker = 0;
    host.hookContext = &marker;
    addServer(host, "10.0.0.8", 22000);
    ServerData* listed = addServer(host, "10.0.0.7", 22000);

    host.reannounceServer("10.0.0.7", 22001);
    host.reannounceServer("10.0.0.9", 22000);
    EXPECT_TRUE(hookCalls.empty());

    host.reannounceServer("10.0.0.7", 22000);
    ASSERT_EQ(hookCalls.size(), 1u);
    EXPECT_EQ(hookCalls[0].record, listed);
    EXPECT_EQ(hookCalls[0].progress, 0u);
    EXPECT_TRUE(hookCalls[0].isNew);
    EXPECT_EQ(hookCalls[0].context, &marker);
    EXPECT_TRUE(stateCalls.empty());
    EXPECT_EQ(walkList(host).size(), 2u);
}

TEST_F(JoinMatchmakingHooks, NullHooksMakeNotificationsDoNothing) {
    ServerData* record = addServer(host, "10.0.0.7", 22000);
    host.newServerDataHook = nullptr;
    host.stateChangedHook = nullptr;
    host.notifyNewServerData(record, 100, true);
    host.notifyStateChanged(1);
    host.reannounceServer("10.0.0.7", 22000);
    EXPECT_TRUE(hookCalls.empty());
    EXPECT_TRUE(stateCalls.empty());
}
