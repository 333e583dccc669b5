// The C interface on the simulated LAN: the browser's events by callback
// and by polling, the servers' values, sorting, what clear and updates do to
// the pointers a host holds, and the hosting side.
#include "capi/EventQueue.h"
#include "support/CApiFixture.h"

#include <cstddef>
#include <cstring>
#include <functional>

namespace brenn::testing {
namespace {

using CApi = CApiFixture;

// Events as the callback hears them, with what it could read at the time
// and what a step it tried from inside returned.
struct Heard {
    vlj_browser* browser = nullptr;
    std::vector<vlj_event> events;
    std::vector<std::string> hostnames;  // of each server or gone event's server
    std::vector<int32_t> nestedSteps;
};
void VLJ_CALL hear(const vlj_event* event, void* user) {
    auto* heard = static_cast<Heard*>(user);
    heard->events.push_back(*event);
    if (event->kind == VLJ_EVENT_SERVER || event->kind == VLJ_EVENT_GONE)
        heard->hostnames.push_back(event->server ? vlj_server_value(event->server, "info", "hostname") : "(gone)");
    if (heard->browser != nullptr) heard->nestedSteps.push_back(vlj_browser_step(heard->browser));
}
void VLJ_CALL collectLine(const char* line, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(line); }

TEST_F(CApi, AnUpdateDeliversTheSameEventsToTheCallbackAndTheQueue) {
    for (const bool byCallback : {false, true}) {
        SCOPED_TRACE(byCallback ? "callback" : "queue");
        renewBrowser();
        Heard heard;
        std::vector<std::string> lines;
        addServer("10.0.0.7", {{"gamename", "ridgeline"}, {"hostname", "Alpha"}});
        addServer("10.0.0.8", {{"gamename", "othergame"}, {"hostname", "Other"}});
        ASSERT_EQ(vlj_browser_set_trace_callback(browser(), &collectLine, &lines), VLJ_OK);
        if (byCallback) {
            // The callback also tries a step of its own: refused, as it runs inside one.
            heard.browser = browser();
            ASSERT_EQ(vlj_browser_set_event_callback(browser(), &hear, &heard), VLJ_OK);
        }
        ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_FULL), VLJ_OK);
        EXPECT_EQ(vlj_browser_is_updating(browser()), 1);
        EXPECT_TRUE(heard.events.empty());  // only steps deliver
        drive();
        EXPECT_FALSE(lines.empty());
        if (byCallback) {
            EXPECT_TRUE(events_.empty());  // nothing was queued while the callback was set
            EXPECT_EQ(heard.nestedSteps, (std::vector<int32_t>(3, VLJ_ERR_BUSY)));
            events_ = heard.events;
        }
        EXPECT_EQ(kinds(), (std::vector<int32_t>{14, 1, 11}));
        const vlj_event& server = events_[1];
        EXPECT_EQ(server.is_new, 1);
        EXPECT_EQ(server.progress, 100);  // both queries sent
        EXPECT_EQ(server.server_id, 1u);
        EXPECT_EQ(server.port, 22000);
        EXPECT_STREQ(server.address, "10.0.0.7");
        EXPECT_EQ(server.server, vlj_browser_find_server(browser(), 1));
        if (byCallback) {
            EXPECT_EQ(heard.hostnames, (std::vector<std::string>{"Alpha"}));
        }
        EXPECT_EQ(vlj_browser_update_problem(browser()), VLJ_PROBLEM_NONE);
        EXPECT_EQ(vlj_browser_step(browser()), 0);
    }
}

TEST_F(CApi, AuxUpdatesRefreshServersAndFullUpdatesListThemAfresh) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    EXPECT_EQ(vlj_browser_receive_buffer(browser()), 1 << 20);
    ASSERT_EQ(vlj_browser_set_receive_buffer(browser(), 65536), VLJ_OK);
    pass();
    EXPECT_EQ(lan_.lastReceiveBufferRequest(), 65536);
    ASSERT_EQ(vlj_browser_set_receive_buffer(browser(), -5), VLJ_OK);
    EXPECT_EQ(vlj_browser_receive_buffer(browser()), 0);
    addServer("10.0.0.7", {{"hostname", "Renamed"}});
    addServer("10.0.0.8", {{"hostname", "Beta"}});
    events_.clear();
    pass(VLJ_UPDATE_AUX);
    EXPECT_EQ(lan_.lastReceiveBufferRequest(), 65536);  // 0 asks for nothing: the last request stays
    std::vector<std::pair<uint32_t, int32_t>> idAndNew;
    for (const vlj_event& e : events_)
        if (e.kind == VLJ_EVENT_SERVER) idAndNew.push_back({e.server_id, e.is_new});
    EXPECT_EQ(idAndNew, (std::vector<std::pair<uint32_t, int32_t>>{{1, 0}, {2, 1}}));
    EXPECT_STREQ(vlj_server_value(vlj_browser_find_server(browser(), 1), "info", "hostname"), "Renamed");
    // A full update forgets the list at once; the servers come back new,
    // under ids never used before.
    ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_FULL), VLJ_OK);
    EXPECT_EQ(vlj_browser_server_count(browser()), 0);
    EXPECT_EQ(vlj_browser_find_server(browser(), 1), nullptr);
    EXPECT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_AUX), VLJ_ERR_BUSY);
    EXPECT_EQ(vlj_browser_clear(browser()), VLJ_ERR_BUSY);
    drive();
    EXPECT_EQ(vlj_browser_server_count(browser()), 2);
    EXPECT_EQ(vlj_server_id(vlj_browser_server_at(browser(), 0)), 3u);
    EXPECT_EQ(vlj_browser_server_at(browser(), 2), nullptr);
    EXPECT_EQ(vlj_browser_server_at(browser(), -1), nullptr);
}

TEST_F(CApi, QueuedEventsOfServersClearedSinceCarryNoPointer) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_FULL), VLJ_OK);
    while (vlj_browser_step(browser()) == 1) lan_.advance(1);
    ASSERT_EQ(vlj_browser_clear(browser()), VLJ_OK);
    EXPECT_EQ(vlj_browser_server_count(browser()), 0);
    poll();
    ASSERT_EQ(kinds(), (std::vector<int32_t>{14, 1, 11}));
    EXPECT_EQ(events_[1].server, nullptr);
    EXPECT_EQ(events_[1].server_id, 1u);
    EXPECT_STREQ(events_[1].address, "10.0.0.7");
}

// What stands in the way of an update, as the problem event tells it.
TEST_F(CApi, UpdateProblemsComeBeforeTheIdleState) {
    struct Case {
        const char* name;
        void (*breakLan)(platform::SimulatedLan&);
        int32_t updateResult;
        int32_t problem;
    };
    const Case cases[] = {
        {"no socket", [](platform::SimulatedLan& lan) { lan.setSocketLimit(0); }, VLJ_ERR_NO_SOCKET,
         VLJ_PROBLEM_NO_SOCKET},
        {"no broadcast",
         [](platform::SimulatedLan& lan) {
             lan.addInterface("10.0.9.1", "255.255.255.255", platform::SimulatedLan::PointToPointInterface);
             lan.setBroadcastRoute("");
         },
         VLJ_OK, VLJ_PROBLEM_NO_BROADCAST},
    };
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pass();
        events_.clear();
        c.breakLan(lan_);
        ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_FULL), c.updateResult);
        poll();
        EXPECT_TRUE(events_.empty());  // even an update over at once reports at the next step
        drive();
        EXPECT_EQ(kinds(), c.problem == VLJ_PROBLEM_NO_SOCKET ? (std::vector<int32_t>{20 + c.problem, 11})
                                                                : (std::vector<int32_t>{14, 20 + c.problem, 11}));
        EXPECT_EQ(vlj_browser_update_problem(browser()), c.problem);
        // An update that could not start keeps the list; one that found nothing empties it.
        EXPECT_EQ(vlj_browser_server_count(browser()), c.problem == VLJ_PROBLEM_NO_SOCKET ? 1 : 0);
        lan_.setSocketLimit(-1);
    }
}

TEST_F(CApi, ValuesByKeyByPlayerAndByWalking) {
    lan_.setLatency("10.0.0.7", 12);
    std::vector<std::pair<std::string, std::string>> pairs = {{"hostname", "Alpha"}, {"numplayers", "12"}};
    for (int i = 0; i < 12; ++i) pairs.push_back({"player_" + std::to_string(i), "P" + std::to_string(i)});
    addServer("10.0.0.7", pairs);
    pass();
    const vlj_server* server = vlj_browser_server_at(browser(), 0);
    EXPECT_STREQ(vlj_server_address(server), "10.0.0.7");
    EXPECT_EQ(vlj_server_ping(server), 12);
    EXPECT_STREQ(vlj_server_value(server, "info", "ping"), "12");
    EXPECT_STREQ(vlj_server_value(server, "rules", "fraglimit"), "(NONE)");
    EXPECT_EQ(vlj_server_value(server, "info", "nosuchkey"), nullptr);
    EXPECT_EQ(vlj_server_value(server, "Info", "hostname"), nullptr);
    EXPECT_EQ(vlj_server_value(server, "players", "name"), nullptr);  // player values only
    EXPECT_STREQ(vlj_server_player_value(server, "players", 11, "name"), "P11");
    EXPECT_STREQ(vlj_server_player_value(server, "players", 3, "score"), "(NONE)");
    EXPECT_EQ(vlj_server_player_value(server, "players", 12, "name"), nullptr);
    EXPECT_EQ(vlj_server_player_value(server, "players", -1, "name"), nullptr);

    // A walk gives every value once, oldest first, in any order of indexes.
    ASSERT_EQ(vlj_server_value_count(server, "players"), 24);
    const auto valueAt = [&](int32_t i) {
        const char *key = "", *value = "";
        int32_t player = -2;
        EXPECT_EQ(vlj_server_value_at(server, "players", i, &key, &value, &player), VLJ_OK) << i;
        return std::string(key) + std::to_string(player) + "=" + value;
    };
    std::vector<std::string> upward, scattered(24);
    for (int32_t i = 0; i < 24; ++i) upward.push_back(valueAt(i));
    for (int32_t i : {23, 0, 12, 13, 11, 5, 22, 1, 2, 3, 4, 6, 7, 8, 9, 10, 14, 15, 16, 17, 18, 19, 20, 21})
        scattered[i] = valueAt(i);
    EXPECT_EQ(upward, scattered);
    EXPECT_EQ(upward.front(), "score0=(NONE)");  // the key map's last line, player 0, comes first
    EXPECT_EQ(upward.back(), "name11=P11");
    int32_t player = 7;
    EXPECT_EQ(vlj_server_value_at(server, "info", 0, nullptr, nullptr, &player), VLJ_OK);
    EXPECT_EQ(player, -1);
    EXPECT_EQ(vlj_server_value_at(server, "players", 24, nullptr, nullptr, nullptr), VLJ_ERR_NOT_FOUND);
    EXPECT_EQ(vlj_server_value_at(server, "nosection", 0, nullptr, nullptr, nullptr), VLJ_ERR_NOT_FOUND);
    EXPECT_EQ(vlj_server_value_count(server, "nosection"), 0);
}

TEST_F(CApi, SortOrdersTheListAndDeliversNoEvent) {
    addServer("10.0.0.7", {{"hostname", "bravo"}, {"numplayers", "2"}});
    addServer("10.0.0.8", {{"hostname", "Alpha"}, {"numplayers", "10"}});
    addServer("10.0.0.9", {{"hostname", "charlie"}, {"numplayers", "7"}});
    pass();
    events_.clear();
    struct Case {
        const char* key;
        int32_t ascending, mode;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {"numplayers", 0, VLJ_COMPARE_INTEGER, {"Alpha", "charlie", "bravo"}},
        {"numplayers", 1, VLJ_COMPARE_TEXT, {"Alpha", "bravo", "charlie"}},
        {"hostname", 1, VLJ_COMPARE_TEXT_NOCASE, {"Alpha", "bravo", "charlie"}},
        {"hostname", 0, VLJ_COMPARE_TEXT, {"charlie", "bravo", "Alpha"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_EQ(vlj_browser_sort(browser(), c.key, c.ascending, c.mode), VLJ_OK);
        EXPECT_EQ(hostnames(), c.order);
    }
    EXPECT_EQ(vlj_browser_sort(browser(), "hostname", 1, 4), VLJ_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(hostnames(), cases[3].order);  // a refused sort changes nothing
    poll();
    EXPECT_TRUE(events_.empty());
}

// The key map through the C interface: read quietly, whichever file it is.
// A path given must be readable; a missing default leaves the ping alone.
TEST_F(CApi, KeyMapsAreReadWithoutAMessageAndAPathGivenMustBeReadable) {
    writeKeyMap("info.title=hostname;\n", "other.ini");
    struct Case {
        const char* name;
        const char* path;  // under the test's folder; NULL: the default
        bool removeDefault;
        int32_t result, loaded;
        std::vector<std::string> info;  // the keys of "info", in the order written
    };
    const Case cases[] = {
        {"default", nullptr, false, VLJ_OK, 1, {"numplayers", "hostname", "ping"}},
        {"given", "other.ini", false, VLJ_OK, 1, {"title", "ping"}},
        {"given, '\\' separated", "MultiplayerServers\\VelnarKeyMap.ini", false, VLJ_OK, 1,
         {"numplayers", "hostname", "ping"}},
        {"given, missing", "missing.ini", false, VLJ_ERR_NOT_FOUND, 0, {}},
        {"given, a folder", "MultiplayerServers", false, VLJ_ERR_NOT_FOUND, 0, {}},
        {"default, missing", nullptr, true, VLJ_OK, 0, {"ping"}},
    };
    addServer("10.0.0.7", {{"hostname", "Alpha"}, {"numplayers", "0"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.removeDefault) std::filesystem::remove(directory_ / "MultiplayerServers" / "VelnarKeyMap.ini");
        const std::string path = c.path != nullptr ? directory_.string() + "/" + c.path : "";
        vlj_browser_config config;
        vlj_browser_config_init(&config);
        config.key_map_path = c.path != nullptr ? path.c_str() : nullptr;
        vlj_browser* made = reinterpret_cast<vlj_browser*>(&config);
        ASSERT_EQ(vlj_browser_create(&config, &made), c.result);
        if (c.result != VLJ_OK) {
            EXPECT_EQ(made, nullptr);
            continue;
        }
        vlj_browser_destroy(browser_);
        browser_ = made;
        EXPECT_EQ(vlj_browser_key_map_loaded(browser()), c.loaded);
        pass();
        std::vector<std::string> info;
        const vlj_server* server = vlj_browser_server_at(browser(), 0);
        for (int32_t i = 0; i < vlj_server_value_count(server, "info"); ++i) {
            const char* key = nullptr;
            vlj_server_value_at(server, "info", i, &key, nullptr, nullptr);
            info.push_back(key);
        }
        EXPECT_EQ(info, c.info);
    }
    EXPECT_TRUE(lan_.messages().empty());
    EXPECT_EQ(vlj_browser_key_map_loaded(nullptr), VLJ_ERR_INVALID_ARGUMENT);
}

// A live list by queue and by callback: servers as they answer, the end of the sweep, a gone server, the close.
TEST_F(CApi, ALiveListThroughTheCInterface) {
    for (const bool byCallback : {false, true}) {
        SCOPED_TRACE(byCallback ? "callback" : "queue");
        renewBrowser();
        Heard heard;
        addServer("10.0.0.7", {{"gamename", "ridgeline"}, {"hostname", "Alpha"}});
        addServer("10.0.0.8", {{"hostname", "Beta"}}, 22003);
        if (byCallback) {
            ASSERT_EQ(vlj_browser_set_event_callback(browser(), &hear, &heard), VLJ_OK);
        }
        ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_LIVE), VLJ_OK);
        EXPECT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_AUX), VLJ_ERR_BUSY);
        const auto run = [&](int ms) {
            for (int i = 0; i < ms; ++i) {
                ASSERT_EQ(vlj_browser_step(browser()), 1);
                poll();
                lan_.advance(1);
            }
        };
        run(100);
        EXPECT_EQ(vlj_browser_server_count(browser()), 2);  // long before the sweep is over
        run(3000);
        lan_.removeServer("10.0.0.8", 22003);  // stops answering: gone 16 s after its last answer
        run(20000);
        EXPECT_EQ(vlj_browser_server_count(browser()), 1);
        EXPECT_EQ(vlj_browser_find_server(browser(), 2), nullptr);
        EXPECT_EQ(vlj_browser_close(browser()), VLJ_OK);
        EXPECT_EQ(vlj_browser_step(browser()), 0);
        poll();
        if (byCallback) events_ = heard.events;
        EXPECT_EQ(kinds(), (std::vector<int32_t>{1, 1, 15, 4, 11}));
        EXPECT_EQ(events_[3].kind, VLJ_EVENT_GONE);
        EXPECT_EQ(events_[3].server_id, 2u);
        EXPECT_EQ(events_[3].port, 22003);
        EXPECT_STREQ(events_[3].address, "10.0.0.8");
        // The callback could read it; the queue's event names it only.
        EXPECT_EQ(events_[3].server != nullptr, byCallback);
        if (byCallback) {
            EXPECT_EQ(heard.hostnames, (std::vector<std::string>{"Alpha", "Beta", "Beta"}));
        }
        EXPECT_EQ(vlj_browser_close(browser()), VLJ_OK);  // none open: nothing
    }
}

// A hosted game that announces itself is listed at once and leaves with
// its goodbye; the bounds come with the configuration, whose first version
// (without them) is still taken.
TEST_F(CApi, AnnouncedGamesAndTheBoundsOfTheConfiguration) {
    vlj_browser_config config;
    vlj_browser_config_init(&config);
    config.servers_per_address = -1;
    EXPECT_EQ(vlj_browser_create(&config, &browser_), VLJ_ERR_INVALID_ARGUMENT);
    config.servers_per_address = 0;
    config.servers_total = 1000001;
    EXPECT_EQ(vlj_browser_create(&config, &browser_), VLJ_ERR_INVALID_ARGUMENT);
    config.size = offsetof(vlj_browser_config, servers_per_address) - 1;
    EXPECT_EQ(vlj_browser_create(&config, &browser_), VLJ_ERR_STRUCT_SIZE);
    config.size = offsetof(vlj_browser_config, servers_per_address);  // built before the bounds
    ASSERT_EQ(vlj_browser_create(&config, &browser_), VLJ_OK);
    ASSERT_EQ(vlj_browser_update(browser(), VLJ_UPDATE_LIVE), VLJ_OK);
    for (int i = 0; i < 5000; ++i) {
        for (vlj_host* h : hosts_) vlj_host_step(h);
        vlj_browser_step(browser());
        poll();
        lan_.advance(1);
        if (i == 4000) {
            vlj_host* game = host("10.0.0.30", "Announced");
            ASSERT_EQ(vlj_host_set_announcing(game, 1), VLJ_OK);
        }
    }
    ASSERT_EQ(kinds(), (std::vector<int32_t>{15, 1}));  // the game appeared after the sweep
    events_.clear();
    ASSERT_EQ(vlj_host_stop(hosts_[0]), VLJ_OK);  // its goodbye
    vlj_browser_step(browser());
    poll();
    EXPECT_EQ(kinds(), (std::vector<int32_t>{4}));
    EXPECT_EQ(vlj_browser_server_count(browser()), 0);
}

// The hosting side, and what every entry point does with arguments a host
// got wrong: NULL objects, NULL texts, structures of an older, smaller size.
using CApiHosting = CApiFixture;

TEST_F(CApiHosting, AGameHostedThroughTheCInterfaceIsListedWithItsValues) {
    vlj_host* game = host("10.0.0.5", "C Game");
    EXPECT_EQ(vlj_host_is_hosting(game), 1);
    EXPECT_EQ(vlj_host_port(game), 22000);
    ASSERT_EQ(vlj_host_set_server_value(game, "rules", "fraglimit", "30"), VLJ_OK);
    ASSERT_EQ(vlj_host_set_player_value(game, 0, "player", "Ada"), VLJ_OK);
    ASSERT_EQ(vlj_host_set_player_value(game, 4, "player", "Bo"), VLJ_OK);
    ASSERT_EQ(vlj_host_remove_player(game, 0), VLJ_OK);
    EXPECT_EQ(vlj_host_player_count(game), 1);
    pass();
    ASSERT_EQ(vlj_browser_server_count(browser()), 1);
    const vlj_server* server = vlj_browser_server_at(browser(), 0);
    EXPECT_STREQ(vlj_server_address(server), "10.0.0.5");
    EXPECT_STREQ(vlj_server_value(server, "info", "hostname"), "C Game");
    EXPECT_STREQ(vlj_server_value(server, "info", "numplayers"), "1");
    EXPECT_STREQ(vlj_server_value(server, "rules", "fraglimit"), "30");
    EXPECT_STREQ(vlj_server_player_value(server, "players", 0, "name"), "Bo");
    vlj_host_counters counters{sizeof counters, 7, 0, 0, 0, 0};
    ASSERT_EQ(vlj_host_get_counters(game, &counters), VLJ_OK);
    EXPECT_GE(counters.answered, 1u);
    EXPECT_EQ(counters.reserved, 0u);
    EXPECT_EQ(counters.not_local + counters.rate_limited, 0u);
    ASSERT_EQ(vlj_host_stop(game), VLJ_OK);
    EXPECT_EQ(vlj_host_port(game), 0);
}

TEST_F(CApiHosting, EveryRefusalHasItsOwnCodeAndChangesNothing) {
    vlj_host* game = host("10.0.0.5", "Game");
    vlj_host* other = nullptr;
    ASSERT_EQ(vlj_host_create(nullptr, &other), VLJ_OK);
    hosts_.push_back(other);
    ASSERT_EQ(vlj_host_set_player_limit(game, 1), VLJ_OK);
    ASSERT_EQ(vlj_host_set_player_value(game, 0, "player", "Ada"), VLJ_OK);
    const std::string huge(1500, 'x');
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t result;
    } cases[] = {
        {"start twice", [&] { return vlj_host_start(game, "Again", 0); }, VLJ_ERR_ALREADY_HOSTING},
        {"port taken", [&] { lan_.setBindAddress("10.0.0.5"); return vlj_host_start(other, "B", 22000); },
         VLJ_ERR_PORT_IN_USE},
        {"port too high", [&] { return vlj_host_start(other, "B", 65536); }, VLJ_ERR_BAD_PORT},
        {"port negative", [&] { return vlj_host_start(other, "B", -1); }, VLJ_ERR_BAD_PORT},
        {"name with backslash", [&] { return vlj_host_start(other, "a\\b", 0); }, VLJ_ERR_BAD_VALUE},
        {"kept key", [&] { return vlj_host_set_server_value(game, "info", "gamename", "x"); }, VLJ_ERR_BAD_KEY},
        {"value too long", [&] { return vlj_host_set_server_value(game, "info", "motd", huge.c_str()); },
         VLJ_ERR_BAD_VALUE},
        {"players section", [&] { return vlj_host_set_server_value(game, "players", "a", "x"); },
         VLJ_ERR_BAD_SECTION},
        {"slot 256", [&] { return vlj_host_set_player_value(game, 256, "player", "x"); }, VLJ_ERR_BAD_PLAYER},
        {"full", [&] { return vlj_host_set_player_value(game, 1, "player", "Bo"); }, VLJ_ERR_SERVER_FULL},
        {"limit below players", [&] { return vlj_host_set_player_limit(game, 0); }, VLJ_ERR_BAD_LIMIT},
    };
    for (const auto& c : cases) EXPECT_EQ(c.call(), c.result) << c.name;
    lan_.setBindAddress("10.0.0.1");
    EXPECT_EQ(vlj_host_is_hosting(other), 0);
    EXPECT_EQ(vlj_host_player_count(game), 1);

    vlj_host_limits limits{sizeof limits, 0, 0, 0, 0, 0};
    ASSERT_EQ(vlj_host_get_limits(game, &limits), VLJ_OK);
    EXPECT_EQ(limits.lan_only, 1);
    EXPECT_EQ(limits.sender_rate, 10u);
    EXPECT_EQ(limits.total_burst, 100u);
    limits.sender_rate = 0;
    EXPECT_EQ(vlj_host_set_limits(game, &limits), VLJ_ERR_BAD_LIMIT);
    limits.sender_rate = 20;
    limits.lan_only = 0;
    ASSERT_EQ(vlj_host_set_limits(game, &limits), VLJ_OK);
    vlj_host_limits read{sizeof read, 1, 0, 0, 0, 0};
    ASSERT_EQ(vlj_host_get_limits(game, &read), VLJ_OK);
    EXPECT_EQ(read.sender_rate, 20u);
    EXPECT_EQ(read.lan_only, 0);
}

TEST(CApiArguments, NullObjectsTextsAndSmallStructuresAreRefused) {
    platform::SimulatedLan lan;
    vlj_browser* browser = nullptr;
    vlj_host* host = nullptr;
    ASSERT_EQ(vlj_browser_create(nullptr, &browser), VLJ_OK);
    ASSERT_EQ(vlj_host_create(nullptr, &host), VLJ_OK);
    vlj_event event;
    vlj_browser_config small;
    vlj_browser_config_init(&small);
    small.size = offsetof(vlj_browser_config, name) + sizeof small.name - 1;  // below the first version
    vlj_browser_config tooMany;
    vlj_browser_config_init(&tooMany);
    tooMany.max_queries = 1001;
    vlj_host_limits limits{sizeof limits - 4, 1, 1, 1, 1, 1};
    vlj_host_counters counters{sizeof counters - 8, 0, 0, 0, 0, 0};
    vlj_browser* untouched = browser;
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t result;
    } cases[] = {
        {"create into NULL", [&] { return vlj_browser_create(nullptr, nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"config too small", [&] { return vlj_browser_create(&small, &untouched); }, VLJ_ERR_STRUCT_SIZE},
        {"queries over 1000", [&] { return vlj_browser_create(&tooMany, &untouched); }, VLJ_ERR_INVALID_ARGUMENT},
        {"update", [] { return vlj_browser_update(nullptr, VLJ_UPDATE_FULL); }, VLJ_ERR_INVALID_ARGUMENT},
        {"update kind", [&] { return vlj_browser_update(browser, 4); }, VLJ_ERR_INVALID_ARGUMENT},
        {"close", [] { return vlj_browser_close(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"step", [] { return vlj_browser_step(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"is updating", [] { return vlj_browser_is_updating(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"clear", [] { return vlj_browser_clear(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"sort", [] { return vlj_browser_sort(nullptr, "k", 1, 0); }, VLJ_ERR_INVALID_ARGUMENT},
        {"sort key", [&] { return vlj_browser_sort(browser, nullptr, 1, 0); }, VLJ_ERR_INVALID_ARGUMENT},
        {"problem", [] { return vlj_browser_update_problem(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"callback", [] { return vlj_browser_set_event_callback(nullptr, nullptr, nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"trace", [] { return vlj_browser_set_trace_callback(nullptr, nullptr, nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"poll", [&] { return vlj_browser_poll_event(nullptr, &event); }, VLJ_ERR_INVALID_ARGUMENT},
        {"poll into NULL", [&] { return vlj_browser_poll_event(browser, nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"count", [] { return vlj_browser_server_count(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"port", [] { return vlj_server_port(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"ping", [] { return vlj_server_ping(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"value count", [] { return vlj_server_value_count(nullptr, "info"); }, VLJ_ERR_INVALID_ARGUMENT},
        {"value at", [] { return vlj_server_value_at(nullptr, "info", 0, nullptr, nullptr, nullptr); },
         VLJ_ERR_INVALID_ARGUMENT},
        {"host into NULL", [] { return vlj_host_create("x", nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"start", [] { return vlj_host_start(nullptr, "x", 0); }, VLJ_ERR_INVALID_ARGUMENT},
        {"start no name", [&] { return vlj_host_start(host, nullptr, 0); }, VLJ_ERR_INVALID_ARGUMENT},
        {"stop", [] { return vlj_host_stop(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"hosting", [] { return vlj_host_is_hosting(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"host port", [] { return vlj_host_port(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"host step", [] { return vlj_host_step(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"announce", [] { return vlj_host_set_announcing(nullptr, 1); }, VLJ_ERR_INVALID_ARGUMENT},
        {"announcing", [] { return vlj_host_is_announcing(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"receive buffer", [] { return vlj_browser_set_receive_buffer(nullptr, 1); }, VLJ_ERR_INVALID_ARGUMENT},
        {"receive buffer read", [] { return vlj_browser_receive_buffer(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"server value", [&] { return vlj_host_set_server_value(host, "info", "k", nullptr); },
         VLJ_ERR_INVALID_ARGUMENT},
        {"player value", [&] { return vlj_host_set_player_value(host, 0, nullptr, "v"); }, VLJ_ERR_INVALID_ARGUMENT},
        {"remove", [] { return vlj_host_remove_player(nullptr, 0); }, VLJ_ERR_INVALID_ARGUMENT},
        {"player limit", [] { return vlj_host_set_player_limit(nullptr, 8); }, VLJ_ERR_INVALID_ARGUMENT},
        {"players", [] { return vlj_host_player_count(nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"limits", [&] { return vlj_host_get_limits(host, nullptr); }, VLJ_ERR_INVALID_ARGUMENT},
        {"limits too small", [&] { return vlj_host_get_limits(host, &limits); }, VLJ_ERR_STRUCT_SIZE},
        {"set limits too small", [&] { return vlj_host_set_limits(host, &limits); }, VLJ_ERR_STRUCT_SIZE},
        {"counters too small", [&] { return vlj_host_get_counters(host, &counters); }, VLJ_ERR_STRUCT_SIZE},
    };
    for (const auto& c : cases) EXPECT_EQ(c.call(), c.result) << c.name;
    EXPECT_EQ(untouched, nullptr);  // left NULL on failure
    EXPECT_EQ(vlj_browser_server_at(nullptr, 0), nullptr);
    EXPECT_EQ(vlj_browser_find_server(nullptr, 1), nullptr);
    EXPECT_EQ(vlj_server_id(nullptr), 0u);
    EXPECT_EQ(vlj_server_address(nullptr), nullptr);
    EXPECT_EQ(vlj_server_value(nullptr, "info", "hostname"), nullptr);
    EXPECT_EQ(vlj_server_player_value(nullptr, "players", 0, "name"), nullptr);
    EXPECT_EQ(limits.sender_rate, 1u);  // a refused read writes nothing
    EXPECT_STREQ(vlj_result_text(VLJ_ERR_PORT_IN_USE), "port in use");
    EXPECT_STREQ(vlj_result_text(12345), "unknown result");
    EXPECT_EQ(vlj_version() >> 16, static_cast<uint32_t>(VLJ_VERSION_MAJOR));
    vlj_browser_config_init(nullptr);
    vlj_browser_destroy(nullptr);
    vlj_host_destroy(nullptr);
    vlj_browser_destroy(browser);
    vlj_host_destroy(host);
}

TEST(CApiEventQueue, KeepsTheLatestEventsWhenNeverPolled) {
    capi::EventQueue queue;
    const std::size_t extra = 10;
    for (std::size_t i = 0; i < capi::EventQueue::Capacity + extra; ++i) {
        vlj_event event{};
        event.server_id = static_cast<uint32_t>(i);
        queue.push(event);
    }
    EXPECT_EQ(queue.size(), capi::EventQueue::Capacity);
    EXPECT_EQ(queue.dropped(), extra);
    vlj_event event{};
    ASSERT_TRUE(queue.pop(&event));
    EXPECT_EQ(event.server_id, extra);
    while (queue.pop(&event)) {
    }
    EXPECT_EQ(event.server_id, capi::EventQueue::Capacity + extra - 1);
}

}  // namespace
}  // namespace brenn::testing
