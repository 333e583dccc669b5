// The index from (address, port) to list position behind findServer.
#include "containers/AllocationTesting.h"
#include "containers/Allocation.h"
#include "support/BrowserFixture.h"

#include <iterator>
#include <map>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

class ServerIndexTest : public BrowserFixture {
protected:
    void TearDown() override {
        allocation::testing::failAfter(-1);
        BrowserFixture::TearDown();
    }

    // Index of the first server with this address and port, by walking
    // the list: what findServer answers, the slow way.
    std::int32_t walk(std::uint32_t address, std::uint16_t port) const {
        for (std::int32_t i = 0; i < browser::serverCount(browser_); ++i) {
            const BrowserServer* s = browser::serverAt(browser_, i);
            if (s->ip == address && s->queryPort == port) return i;
        }
        return -1;
    }

    // findServer agrees with the list walk for every server and for
    // (address, port) pairs next to them that are not servers.
    void expectIndexAgreesWithWalk() {
        const std::int32_t count = browser::serverCount(browser_);
        for (std::int32_t i = 0; i < count; ++i) {
            const BrowserServer* s = browser::serverAt(browser_, i);
            const std::int32_t walked = walk(s->ip, s->queryPort);
            ASSERT_LE(walked, i);
            ASSERT_EQ(browser::findServer(browser_, s->ip, s->queryPort), walked) << "server " << i;
            ASSERT_EQ(browser::findServer(browser_, s->ip, static_cast<std::uint16_t>(s->queryPort + 1)),
                      walk(s->ip, static_cast<std::uint16_t>(s->queryPort + 1)));
        }
    }

    static std::uint32_t host(std::uint32_t n) { return platform::hostToNet32(0x0A000000u + n); }
};

TEST_F(ServerIndexTest, AFloodOfDistinctSendersIsDrainedInOneStepWithoutDuplicates) {
    ASSERT_EQ(browser::setLimits(browser_, 2, 10000), NoError);
    ASSERT_EQ(startPass(), NoError);
    const std::uint16_t broadcastPort = lan_.sent().front().fromPort;
    constexpr std::uint32_t Senders = 10000;
    // Every sender answers twice, and each address answers from two ports.
    for (int round = 0; round < 2; ++round)
        for (std::uint32_t n = 0; n < Senders; ++n)
            lan_.send(host(2 + n / 2), static_cast<std::uint16_t>(22000 + n % 2), SimulatedLan::address("10.0.0.1"),
                      broadcastPort, "\\final\\");
    browser::think(browser_);
    EXPECT_EQ(lan_.pending(), 0u);
    ASSERT_EQ(browser::serverCount(browser_), static_cast<std::int32_t>(Senders));
    for (std::uint32_t n = 0; n < Senders; ++n) {
        const BrowserServer* s = browser::serverAt(browser_, static_cast<std::int32_t>(n));
        ASSERT_EQ(s->ip, host(2 + n / 2));
        ASSERT_EQ(s->queryPort, 22000 + n % 2);
        ASSERT_EQ(browser::findServer(browser_, s->ip, s->queryPort), static_cast<std::int32_t>(n));
    }
    EXPECT_EQ(browser::findServer(browser_, host(2 + Senders), 22000), -1);
}

TEST_F(ServerIndexTest, TheFirstOfEqualServersIsFoundAlsoAfterSortAndClear) {
    // addServer does not refuse a known sender; the first one in list order counts.
    for (std::uint32_t n = 0; n < 100; ++n) browser::addServer(browser_, host(n % 40), 22000, Status);
    expectIndexAgreesWithWalk();
    EXPECT_EQ(browser::findServer(browser_, host(7), 22000), 7);
    for (std::int32_t i = 0; i < 100; ++i) {
        char reply[32];
        std::snprintf(reply, sizeof reply, "\\rank\\%d", (i * 37) % 100);
        server::parseReply(browser::serverAt(browser_, i), reply);
    }
    browser::sort(browser_, 1, "rank", Integer);
    expectIndexAgreesWithWalk();
    browser::sort(browser_, 0, "hostaddr", CaseSensitive);
    expectIndexAgreesWithWalk();
    ASSERT_EQ(browser::clear(browser_), NoError);
    EXPECT_EQ(browser::findServer(browser_, host(7), 22000), -1);
    browser::addServer(browser_, host(7), 22000, Status);
    EXPECT_EQ(browser::findServer(browser_, host(7), 22000), 0);
}

TEST_F(ServerIndexTest, AllocationFailuresNeverLoseAServerOrAnswerWrongly) {
    // Adding the 33rd server grows the index; every allocation of that call
    // fails in turn. Either the call fails and changes nothing, or the server
    // is in the list and findable, through the index or the list walk.
    for (long successes = 0; successes < 40; ++successes) {
        ASSERT_EQ(browser::clear(browser_), NoError);
        for (std::uint32_t n = 0; n < 32; ++n) ASSERT_NE(browser::addServer(browser_, host(n), 22000, Status), nullptr);
        allocation::testing::failAfter(successes);
        BrowserServer* added = browser::addServer(browser_, host(32), 22000, Status);
        allocation::testing::failAfter(-1);
        ASSERT_EQ(browser::serverCount(browser_), added == nullptr ? 32 : 33) << successes;
        EXPECT_EQ(browser::findServer(browser_, host(32), 22000), added == nullptr ? -1 : 32) << successes;
        expectIndexAgreesWithWalk();
        // The next addition with storage to spare brings the index back.
        ASSERT_NE(browser::addServer(browser_, host(33), 22000, Status), nullptr);
        EXPECT_EQ(browser_->serverIndex.stale, 0);
        expectIndexAgreesWithWalk();
    }
    // A sort that cannot rebuild the index leaves the list walk.
    allocation::testing::failAfter(0);
    browser::sort(browser_, 0, "hostaddr", CaseSensitive);
    allocation::testing::failAfter(-1);
    EXPECT_EQ(browser_->serverIndex.stale, 1);
    expectIndexAgreesWithWalk();
}

// The counts behind the per-address bound, in their own small table:
// addresses whose slots collide, taken back in a scrambled order, each
// count right after every step, and none above the bound.
TEST_F(ServerIndexTest, ServersPerAddressAreCountedThroughAnyOrderOfRemovals) {
    ASSERT_EQ(browser::setLimits(browser_, 3, 100000), NoError);
    constexpr std::uint32_t Addresses = 600;
    std::map<std::uint32_t, std::int32_t> expected;
    for (std::uint32_t n = 0; n < Addresses; ++n)
        for (int k = 0; k < 4; ++k) {
            const bool admitted = limits::admit(browser_, host(n * 4096), 0);
            EXPECT_EQ(admitted, k < 3);
            expected[host(n * 4096)] += admitted;
        }
    EXPECT_EQ(browser_->limits.refused, static_cast<std::int32_t>(Addresses));
    std::uint32_t state = 1;
    for (int removal = 0; removal < 3 * static_cast<int>(Addresses); ++removal) {
        state = state * 1103515245u + 12345u;
        auto it = expected.begin();
        std::advance(it, static_cast<long>((state >> 8) % expected.size()));
        limits::release(&browser_->limits, it->first);
        if (--it->second == 0) expected.erase(it);
        if (removal % 97 != 0) continue;
        for (const auto& [address, count] : expected)
            ASSERT_EQ(limits::serversOf(&browser_->limits, address), count) << removal;
    }
    EXPECT_EQ(browser_->limits.used, 0);
    EXPECT_EQ(limits::serversOf(&browser_->limits, host(0)), 0);
}

}  // namespace
}  // namespace brenn::testing
