// The engine on real Windows sockets: broadcast discovery and queries inside
// a private network namespace that holds only loopback.
#include "browser/ServerBrowser.h"
#include "support/WinsockPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace brenn {
namespace {

using testing::WinsockPeer;

// Broadcasts go only where nothing but loopback exists. scripts/test-windows.sh
// sets BRENN_PRIVATE_NETWORK inside the namespace it makes; anywhere else the
// tests are skipped. The route is checked on a socket of the sockets layer
// itself, as the engine's would be: under Wine the Wine server makes the
// sockets, and it could live outside the namespace the program runs in.
class Win32RealNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("BRENN_PRIVATE_NETWORK") == nullptr) GTEST_SKIP() << "needs scripts/test-windows.sh";
        ASSERT_TRUE(testing::broadcastStaysOnLoopback()) << "a broadcast would leave this machine: none sent";
        browser_ = browser::create("primary", "secondary", "secret", 4, &Win32RealNetwork::record, 1, this);
        ASSERT_NE(browser_, nullptr);
    }
    void TearDown() override { browser::destroy(browser_); }

    static void record(ServerBrowser* b, std::int32_t event, void* instance, void* param1, std::int32_t param2) {
        auto* self = static_cast<Win32RealNetwork*>(instance);
        if (event == StateChanged) {
            self->states_.push_back(browser::state(b));
            return;
        }
        auto* server = static_cast<BrowserServer*>(param1);
        self->updated_.push_back(std::string(server::address(server)) + ":" +
                                 std::to_string(server::queryPort(server)) + " " +
                                 server::stringValue(server, "hostname", "?") + " " + std::to_string(param2));
    }

    // Runs one pass, each server answering every "\status\" it is sent with
    // its reply, for at most ten seconds.
    void runPass(const std::vector<WinsockPeer*>& servers, const std::vector<std::string>& replies) {
        ASSERT_EQ(browser::lanUpdate(browser_, 1, 22000, 22010, 1), NoError);
        const std::uint32_t start = platform::tickCount();
        while (browser::state(browser_) != Idle && platform::tickCount() - start < 10000) {
            browser::think(browser_);
            for (std::size_t i = 0; i < servers.size(); ++i) {
                std::string data;
                std::uint32_t address = 0;
                std::uint16_t port = 0;
                while (servers[i]->receive(data, address, port, 0))
                    if (data == "\\status\\") servers[i]->send(replies[i], address, port);
            }
            platform::sleep(10);
        }
        EXPECT_EQ(browser::state(browser_), Idle);
    }

    ServerBrowser* browser_ = nullptr;
    std::vector<std::int32_t> states_;
    std::vector<std::string> updated_;
};

TEST_F(Win32RealNetwork, BroadcastFindsServersAndTheirRepliesComplete) {
    WinsockPeer first(22000, true);
    WinsockPeer last(22010, true);
    ASSERT_TRUE(first.ok() && last.ok());
    runPass({&first, &last}, {"\\hostname\\First\\final\\\\queryid\\1.1", "\\hostname\\Last\\final\\"});

    EXPECT_EQ(states_, (std::vector<std::int32_t>{ListingLan, Querying, Idle}));
    ASSERT_EQ(updated_.size(), 2u);
    std::sort(updated_.begin(), updated_.end());
    EXPECT_EQ(updated_[0], "127.0.0.1:22000 First 100");
    EXPECT_EQ(updated_[1], "127.0.0.1:22010 Last 100");
    for (std::int32_t i = 0; i < browser::serverCount(browser_); ++i)
        EXPECT_LT(server::ping(browser::serverAt(browser_, i)), 1000);
}

}  // namespace
}  // namespace brenn
