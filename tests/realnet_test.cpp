// A whole pass on real sockets: the POSIX platform inside a private network
// namespace, with real UDP servers on its loopback.
#include "browser/ServerBrowser.h"
#include "support/NetworkNamespace.h"

#include <gtest/gtest.h>

#include <map>

namespace brenn::testing {
namespace {

std::string namespaceProblem;

struct Report {
    std::vector<std::int32_t> states;
    std::map<std::string, std::int32_t> progress;  // "address:port" to its report
};

void record(ServerBrowser* browser, std::int32_t event, void* instance, void* param1, std::int32_t param2) {
    auto* report = static_cast<Report*>(instance);
    if (event == StateChanged) report->states.push_back(browser::state(browser));
    if (event == ServerUpdated) {
        auto* s = static_cast<BrowserServer*>(param1);
        report->progress[std::string(server::address(s)) + ":" + std::to_string(server::queryPort(s))] = param2;
    }
}

TEST(RealSockets, AWholePassFindsAndQueriesLoopbackServers) {
    if (!namespaceProblem.empty()) GTEST_SKIP() << namespaceProblem;
    LoopbackServers servers({
        {"127.0.0.2", 22000, {"\\hostname\\Normal\\numplayers\\2\\final\\\\queryid\\1.1"}},
        {"127.0.0.3", 22004, {"\\hostname\\Split", "\\mapname\\dust", "\\numplayers\\5\\final\\"}},
        {"127.0.0.4", 22010, {}, false},
    });
    Report report;
    ServerBrowser* b = browser::create("p", "s", "secret", 2, record, 1, &report);
    ASSERT_EQ(browser::lanUpdate(b, 1, 22000, 22010, 1), NoError);
    const std::uint32_t start = platform::tickCount();
    while (browser::state(b) != Idle && platform::tickCount() - start < 10000) {
        browser::think(b);
        platform::sleep(1);
    }
    const std::uint32_t elapsed = platform::tickCount() - start;
    EXPECT_EQ(report.states, (std::vector<std::int32_t>{ListingLan, Querying, Idle}));
    EXPECT_GT(elapsed, 6000u);  // discovery, then the silent server's time-out
    ASSERT_EQ(browser::serverCount(b), 3);
    EXPECT_EQ(report.progress.size(), 2u);
    EXPECT_EQ(report.progress.count("127.0.0.4:22010"), 0u);
    for (std::int32_t i = 0; i < 3; ++i) {
        BrowserServer* s = browser::serverAt(b, i);
        const std::string address = server::address(s);
        if (address == "127.0.0.2") {
            EXPECT_STREQ(server::stringValue(s, "hostname", ""), "Normal");
            EXPECT_EQ(server::intValue(s, "numplayers", 0), 2);
            EXPECT_LT(s->ping, 1000);
        } else if (address == "127.0.0.3") {
            EXPECT_EQ(server::queryPort(s), 22004);
            EXPECT_STREQ(server::stringValue(s, "mapname", ""), "dust");
            EXPECT_EQ(server::intValue(s, "numplayers", 0), 5);
        } else {
            EXPECT_EQ(address, "127.0.0.4");
            EXPECT_EQ(s->ping, 9999);
        }
    }
    EXPECT_EQ(servers.queriesReceived(), 3);
    browser::destroy(b);
}

}  // namespace
}  // namespace brenn::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    brenn::testing::enterPrivateNetwork(&brenn::testing::namespaceProblem);
    return RUN_ALL_TESTS();
}
