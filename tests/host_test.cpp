// Tests of the host model: ServerData records and the JoinMatchmaking list
// and hooks.
#include "host/JoinMatchmaking.h"
#include "host/ServerData.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using brenn::matchmaking::JoinMatchmaking;
using brenn::matchmaking::ServerData;
using brenn::matchmaking::ServerDataSection;
using brenn::matchmaking::ServerDataValue;

namespace {

brenn::BrowserServer* const someBrowserServer = reinterpret_cast<brenn::BrowserServer*>(0x1000);

ServerData* addServer(JoinMatchmaking& host, const std::string& address, std::uint32_t port,
                      std::uint32_t serverId = 1) {
    ServerData* record = host.createServerData("lan", serverId, address, port, nullptr);
    EXPECT_NE(record, nullptr);
    return record;
}

// The list from head to tail, checking every link on the way.
std::vector<ServerData*> walkList(const JoinMatchmaking& host) {
    std::vector<ServerData*> records;
    ServerData* previous = nullptr;
    for (ServerData* record = host.serverDataHead; record != nullptr; record = record->next) {
        EXPECT_EQ(record->prev, previous);
        EXPECT_EQ(record->owner, &host);
        records.push_back(record);
        previous = record;
    }
    EXPECT_EQ(host.serverDataTail, previous);
    EXPECT_EQ(host.serverDataCount, static_cast<std::int32_t>(records.size()));
    return records;
}

// One value as the tests compare it: index ("" for a plain value), key, value.
struct Value {
    std::string index, key, value;
    bool operator==(const Value& other) const {
        return index == other.index && key == other.key && value == other.value;
    }
};

std::ostream& operator<<(std::ostream& out, const Value& v) {
    return out << "[" << v.index << "|" << v.key << "=" << v.value << "]";
}

// A section from head to tail, checking links, owner pointers and count.
std::vector<Value> walkSection(const ServerDataSection& section) {
    std::vector<Value> values;
    const ServerDataValue* previous = nullptr;
    for (const ServerDataValue* node = section.head; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        EXPECT_EQ(node->section, &section);
        values.push_back({node->index != nullptr ? node->index : "", node->key, node->value});
        previous = node;
    }
    EXPECT_EQ(section.tail, previous);
    EXPECT_EQ(section.count, static_cast<std::int32_t>(values.size()));
    return values;
}

bool allSectionsEmpty(const ServerData& record) {
    for (const ServerDataSection* section :
         {&record.basicSection, &record.infoSection, &record.playersSection,
          &record.teamsSection, &record.rulesSection}) {
        if (section->head != nullptr || section->tail != nullptr || section->count != 0)
            return false;
    }
    return true;
}

}  // namespace

// --- Records in the list ---------------------------------------------------

TEST(ServerDataList, FirstRecordIsBothEndsOfAnEmptyList) {
    JoinMatchmaking host;
    EXPECT_TRUE(host.primaryName.empty());
    EXPECT_GT(host.maxConcurrentQueries, 0);
    EXPECT_EQ(host.newServerDataHook, nullptr);
    EXPECT_EQ(host.stateChangedHook, nullptr);
    EXPECT_EQ(host.hookContext, nullptr);
    EXPECT_TRUE(walkList(host).empty());

    ServerData* record = host.createServerData("svc", 7, "10.0.0.7", 22000, someBrowserServer);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(walkList(host), std::vector<ServerData*>{record});
    EXPECT_EQ(record->next, nullptr);
    EXPECT_EQ(record->serviceId, "svc");
    EXPECT_EQ(record->serverId, 7u);
    EXPECT_EQ(record->address, "10.0.0.7");
    EXPECT_EQ(record->port, 22000u);
    EXPECT_EQ(record->browserServer, someBrowserServer);
    EXPECT_FALSE(record->hostFlag);
    EXPECT_TRUE(allSectionsEmpty(*record));
}

TEST(ServerDataList, NewRecordsEnterAtTheHead) {
    JoinMatchmaking host;
    ServerData* first = addServer(host, "10.0.0.1", 1);
    ServerData* second = addServer(host, "10.0.0.2", 2);
    EXPECT_EQ(walkList(host), (std::vector<ServerData*>{second, first}));
    ServerData* third = addServer(host, "10.0.0.3", 3);
    EXPECT_EQ(walkList(host), (std::vector<ServerData*>{third, second, first}));
}

TEST(ServerDataList, DeletingARecordUnlinksItWhereverItIs) {
    for (int victim = 0; victim < 3; ++victim) {
        SCOPED_TRACE(victim);
        JoinMatchmaking host;
        addServer(host, "10.0.0.1", 1);
        addServer(host, "10.0.0.2", 2);
        addServer(host, "10.0.0.3", 3);
        std::vector<ServerData*> records = walkList(host);
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
    EXPECT_EQ(walkList(host), std::vector<ServerData*>{again});
    // The destructor disposes of what is left (the leak checker watches).
}

// --- Sections and values -----------------------------------------------------

TEST(ServerDataValues, EachSectionNameSelectsItsOwnSection) {
    const struct {
        const char* name;
        ServerDataSection ServerData::*section;
    } cases[] = {
        {"basic", &ServerData::basicSection},   {"info", &ServerData::infoSection},
        {"players", &ServerData::playersSection}, {"teams", &ServerData::teamsSection},
        {"rules", &ServerData::rulesSection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JoinMatchmaking host;
        ServerData* record = addServer(host, "10.0.0.1", 1);
        record->setValue(c.name, "k", "v");
        record->setPlayerValue(c.name, 2, "k", "w");
        for (const auto& other : cases) {
            std::vector<Value> expected;
            if (other.section == c.section) expected = {{"2", "k", "w"}, {"", "k", "v"}};
            EXPECT_EQ(walkSection(record->*other.section), expected) << other.name;
        }
    }
}

TEST(ServerDataValues, SectionNamesMatchOnlyExactly) {
    const char* const names[] = {"Basic", "INFO", "basic ", " info", "play", "players2",
                                 "", "team", "rule", "ping"};
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    for (const char* name : names) {
        SCOPED_TRACE(name);
        record->setValue(name, "k", "v");
        record->setPlayerValue(name, 0, "k", "v");
        EXPECT_TRUE(allSectionsEmpty(*record));
    }
    record->setValue(nullptr, "k", "v");
    record->setValue("info", nullptr, "v");
    record->setValue("info", "k", nullptr);
    record->setPlayerValue("players", 0, nullptr, "v");
    EXPECT_TRUE(allSectionsEmpty(*record));
}

TEST(ServerDataValues, ReplacingAValueKeepsItsPlaceAndTheCount) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    record->setValue("basic", "a", "1");
    record->setValue("basic", "b", "2");
    record->setValue("basic", "c", "3");
    record->setValue("basic", "b", "two, and longer than before");
    record->setValue("basic", "a", "");
    EXPECT_EQ(walkSection(record->basicSection),
              (std::vector<Value>{{"", "c", "3"}, {"", "b", "two, and longer than before"},
                                  {"", "a", ""}}));
}

TEST(ServerDataValues, KeysCompareCaseSensitively) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    record->setValue("info", "mapname", "dune");
    record->setValue("info", "MapName", "ridge");
    EXPECT_EQ(walkSection(record->infoSection),
              (std::vector<Value>{{"", "MapName", "ridge"}, {"", "mapname", "dune"}}));
}

TEST(ServerDataValues, PlayerValuesAreKeptPerIndexAndKey) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    record->setPlayerValue("players", 0, "score", "5");
    record->setPlayerValue("players", 1, "score", "7");
    record->setPlayerValue("players", 0, "name", "ann");
    record->setPlayerValue("players", 1, "score", "9");
    record->setPlayerValue("players", 10, "score", "1");  // "10" is no "1" or "0"
    EXPECT_EQ(walkSection(record->playersSection),
              (std::vector<Value>{{"10", "score", "1"},
                                  {"0", "name", "ann"},
                                  {"1", "score", "9"},
                                  {"0", "score", "5"}}));
}

TEST(ServerDataValues, NegativeIndexesAreStoredAsSignedText) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    record->setPlayerValue("players", -3, "team", "red");
    record->setPlayerValue("players", INT32_MIN, "team", "blue");
    record->setPlayerValue("players", INT32_MAX, "team", "green");
    record->setPlayerValue("players", -3, "team", "gold");
    EXPECT_EQ(walkSection(record->playersSection),
              (std::vector<Value>{{"2147483647", "team", "green"},
                                  {"-2147483648", "team", "blue"},
                                  {"-3", "team", "gold"}}));
}

TEST(ServerDataValues, PlainValuesAreNeverTakenForPlayerValues) {
    JoinMatchmaking host;
    ServerData* record = addServer(host, "10.0.0.1", 1);
    record->setValue("players", "score", "plain");
    record->setPlayerValue("players", 0, "score", "player");
    record->setPlayerValue("players", 0, "score", "again");
    EXPECT_EQ(walkSection(record->playersSection),
              (std::vector<Value>{{"0", "score", "again"}, {"", "score", "plain"}}));
}

// --- Finding records and calling hooks ----------------------------------------

TEST(JoinMatchmakingFind, MatchesExactAddressTextAndPort) {
    JoinMatchmaking host;
    ServerData* a = addServer(host, "10.0.0.7", 22000);
    ServerData* b = addServer(host, "10.0.0.7", 22001);
    ServerData* c = addServer(host, "10.0.0.70", 22000);
    const struct {
        const char* address;
        std::uint32_t port;
        ServerData* expected;
    } cases[] = {
        {"10.0.0.7", 22000, a},    {"10.0.0.7", 22001, b},    {"10.0.0.70", 22000, c},
        {"10.0.0.07", 22000, nullptr}, {"10.0.0.7 ", 22000, nullptr}, {"10.0.0.", 22000, nullptr},
        {"10.0.0.7", 22002, nullptr},  {"", 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + ":" + std::to_string(c.port));
        EXPECT_EQ(host.findServerData(c.address, c.port), c.expected);
    }
    EXPECT_EQ(walkList(host), (std::vector<ServerData*>{c, b, a}));
}

TEST(JoinMatchmakingFind, NewestOfTwoEqualRecordsIsFound) {
    JoinMatchmaking host;
    addServer(host, "10.0.0.7", 22000, 1);
    ServerData* newer = addServer(host, "10.0.0.7", 22000, 2);
    EXPECT_EQ(host.findServerData("10.0.0.7", 22000), newer);
}

TEST(JoinMatchmakingFind, EmptyListFindsNothing) {
    JoinMatchmaking host;
    EXPECT_EQ(host.findServerData("10.0.0.7", 22000), nullptr);
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

void recordNewServerData(ServerData* record, std::uint32_t progress, bool isNew, void* context) {
    hookCalls.push_back({record, progress, isNew, context});
}

void recordStateChanged(std::uint32_t state, void* context) {
    stateCalls.push_back({state, context});
}

class JoinMatchmakingHooks : public ::testing::Test {
protected:
    void SetUp() override {
        hookCalls.clear();
        stateCalls.clear();
        host.newServerDataHook = recordNewServerData;
        host.stateChangedHook = recordStateChanged;
    }
    JoinMatchmaking host;
};

}  // namespace

TEST_F(JoinMatchmakingHooks, NotificationsPassTheirArgumentsAndTheContext) {
    int marker = 0;
    for (void* context : {static_cast<void*>(&marker), static_cast<void*>(nullptr),
                          reinterpret_cast<void*>(~std::uintptr_t{0})}) {
        hookCalls.clear();
        stateCalls.clear();
        host.hookContext = context;
        ServerData* record = addServer(host, "10.0.0.7", 22000);
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
    EXPECT_EQ(host.serverDataCount, 2);
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
    EXPECT_EQ(walkList(host), std::vector<ServerData*>{record});
}
