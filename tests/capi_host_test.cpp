// The C interface's hosting side on the simulated LAN, and what every entry
// point does with arguments a host got wrong: NULL objects, NULL texts,
// structures of an older, smaller size.
#include "capi/EventQueue.h"
#include "support/CApiFixture.h"

#include <cstddef>
#include <functional>

namespace brenn::testing {
namespace {

using CApiHosting = CApiFixture;

TEST_F(CApiHosting, AGameHostedThroughTheCInterfaceIsListedWithItsValues) {
    vlj_host* game = host("10.0.0.5", "C Game");
    EXPECT_EQ(vlj_host_is_hosting(game), 1);
    EXPECT_EQ(vlj_host_port(game), 22000);
    ASSERT_EQ(vlj_host_set_announcing(game, 1), VLJ_OK);
    EXPECT_EQ(vlj_host_is_announcing(game), 1);
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
    pass();
    EXPECT_EQ(vlj_browser_server_count(browser()), 0);
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
