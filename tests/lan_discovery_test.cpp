// The browser core and LAN discovery, on the simulated LAN.
#include "containers/AllocationTesting.h"
#include "support/BrowserFixture.h"

#include "containers/Allocation.h"

#include <map>
#include <set>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

const std::string Final = "\\hostname\\x\\final\\";

class Discovery : public BrowserFixture {
protected:
    std::vector<std::uint16_t> broadcastPorts() const {
        std::vector<std::uint16_t> ports;
        for (const auto& d : lan_.sent())
            if (d.toAddress == platform::BroadcastAddress) ports.push_back(d.toPort);
        return ports;
    }
    std::vector<std::pair<std::string, std::uint16_t>> servers() const {
        std::vector<std::pair<std::string, std::uint16_t>> found;
        for (std::int32_t i = 0; i < browser::serverCount(browser_); ++i) {
            BrowserServer* s = browser::serverAt(browser_, i);
            found.emplace_back(server::address(s), server::queryPort(s));
        }
        return found;
    }
};

TEST_F(Discovery, EndsAtTheFirstStepMoreThan3000msAfterTheBroadcast) {
    for (std::uint32_t start : {100000u, 0xFFFFF000u, 0xFFFFFFFFu - 1500u}) {
        lan_.setNow(start);
        events_.clear();
        ASSERT_EQ(startPass(), NoError);
        lan_.advance(3000);
        browser::think(browser_);
        EXPECT_EQ(browser::state(browser_), ListingLan) << "start tick " << start;
        lan_.advance(1);
        browser::think(browser_);
        EXPECT_EQ(browser::state(browser_), Querying) << "start tick " << start;
        browser::think(browser_);  // no servers: the first query step ends the pass
        EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{ListingLan, Querying, Idle}));
        EXPECT_EQ(lan_.openSockets(), 0);
    }
}

TEST_F(Discovery, PortRangesAlwaysEndAndStayInsideTheUdpRange) {
    struct Case {
        std::int32_t first, last, step;
        std::vector<std::uint16_t> ports;  // of one round
    };
    const Case cases[] = {
        {22000, 22003, 1, {22000, 22001, 22002, 22003}},
        {22010, 22000, 1, {}},
        {32766, 32768, 1, {32766, 32767, 32768}},
        {65534, 70000, 1, {65534, 65535}},
        {-2, 1, 1, {0, 1}},
        {5, 7, 0, {5, 6, 7}},
        {5, 7, -3, {5, 6, 7}},
        {10, 40, 15, {10, 25, 40}},
        {65535, 2147483647, 2147483647, {65535}},
    };
    for (const Case& c : cases) {
        lan_.clearSent();
        ASSERT_EQ(browser::lanUpdate(browser_, 1, c.first, c.last, c.step), NoError);
        runToIdle(10);
        // Every round sends every port once.
        std::vector<std::uint16_t> expected;
        for (std::int32_t round = 0; round < browser::MaxRounds; ++round)
            expected.insert(expected.end(), c.ports.begin(), c.ports.end());
        EXPECT_EQ(broadcastPorts(), expected) << c.first << ".." << c.last << " step " << c.step;
        for (const auto& d : lan_.sent()) EXPECT_EQ(d.payload, "\\status\\");
    }
}

TEST_F(Discovery, RoundsRepeatTheBroadcastInsideTheWindowAndAServerIsFoundOnce) {
    std::vector<std::string> lines;
    traceInto(&lines);
    lan_.setReceiveBufferCap(200000);
    for (int i = 0; i < 20; ++i) lan_.addStatusServer("10.0.0." + std::to_string(10 + i), 22000 + i % 11, {Final});
    ASSERT_EQ(startPass(), NoError);
    const std::uint32_t start = lan_.now();
    while (browser::state(browser_) == ListingLan) {
        lan_.advance(5);
        browser::think(browser_);
    }
    EXPECT_EQ(lan_.now() - start, 3005u);
    // Round r begins at 0, 400, 1000, 1800 ms; its ports go 20 ms apart.
    std::map<std::uint16_t, std::vector<std::uint32_t>> sentAt;
    for (const auto& d : lan_.sent()) sentAt[d.toPort].push_back(d.sentAt - start);
    ASSERT_EQ(sentAt.size(), 11u);
    for (const auto& [port, times] : sentAt) {
        ASSERT_EQ(times.size(), 4u) << port;
        const std::uint32_t offset = (port - 22000u) * 20u;
        for (int round = 0; round < 4; ++round) {
            const std::uint32_t due = browser::RoundStart[round] + offset;
            EXPECT_GE(times[round], due) << port << " round " << round;
            EXPECT_LT(times[round], due + 5) << port << " round " << round;
        }
    }
    EXPECT_EQ(browser::serverCount(browser_), 20);
    EXPECT_EQ(browser::broadcastsSent(browser_), 44);
    EXPECT_EQ(lan_.lastReceiveBufferRequest(), browser::DiscoveryReceiveBuffer);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "broadcast round 4 of 4 to 255.255.255.255, ports 22000-22010: 44 sent, 0 refused in all; "
                        "20 servers so far");
    EXPECT_EQ(lines[4], "discovery over: 20 servers; receive buffer 200000 bytes");
}

// Nowhere to send at all is the service's test (AnUpdateThatCouldSendNoBroadcast...).
TEST(DiscoveryInterfaces, EveryInterfaceWithABroadcastAddressIsAsked) {
    struct Case {
        const char* route;  // the interface 255.255.255.255 leaves by
        bool listFails;
        std::vector<std::string> targets;  // broadcast addresses sent to
        int found;                         // of 3 + 3
    };
    const Case cases[] = {
        {"10.1.0.1", false, {"255.255.255.255", "10.1.255.255", "10.2.255.255"}, 6},
        {"10.2.0.1", false, {"255.255.255.255", "10.1.255.255", "10.2.255.255"}, 6},
        {"10.9.0.2", false, {"255.255.255.255", "10.1.255.255", "10.2.255.255"}, 6},  // a VPN's
        {"", false, {"10.1.255.255", "10.2.255.255"}, 6},
        {"10.1.0.1", true, {"255.255.255.255"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.route);
        SimulatedLan lan("10.1.0.1");
        lan.addInterface("127.0.0.1", "255.0.0.0", platform::InterfaceUp | platform::InterfaceLoopback);
        lan.addInterface("10.1.0.1", "255.255.0.0");
        lan.addInterface("10.2.0.1", "255.255.0.0");
        lan.addInterface("10.9.0.2", "255.255.255.255", SimulatedLan::PointToPointInterface);
        lan.setBroadcastRoute(c.route);
        lan.setInterfaceListFails(c.listFails);
        for (int i = 0; i < 3; ++i) {
            lan.addStatusServer("10.1.0." + std::to_string(10 + i), 22000 + i, {Final});
            lan.addStatusServer("10.2.0." + std::to_string(10 + i), 22000 + i, {Final});
        }
        ServerBrowser* b = browser::create("p", "s", "k", 4, nullptr, 1, nullptr);
        ASSERT_EQ(browser::lanUpdate(b, 1, 22000, 22010, 1), NoError);
        lan.advance(3001);
        browser::think(b);
        std::set<std::string> targets;
        for (const auto& d : lan.sent()) targets.insert(platform::addressToText(d.toAddress));
        EXPECT_EQ(targets, std::set<std::string>(c.targets.begin(), c.targets.end()));
        EXPECT_EQ(browser::serverCount(b), c.found);
        browser::destroy(b);
    }
}

TEST_F(Discovery, OneServerPerSenderAddressAndPort) {
    lan_.addStatusServer("10.0.0.7", 22000, {Final, Final});
    lan_.addStatusServer("10.0.0.7", 22003, {Final});
    lan_.addStatusServer("10.0.0.8", 22000, {"\\hostname\\nofinal\\"});  // no "\final\": ignored
    lan_.addStatusServer("10.0.0.9", 22000, {std::string("\\a\0\\final\\", 11)});  // text ends at NUL
    lan_.addStatusServer("10.0.0.10", 22010, {"junk\\final\\junk"});
    // Answers are read up to 1499 bytes: a "\final\" past the cut is lost.
    lan_.addStatusServer("10.0.0.12", 22000, {std::string(1492, 'x') + "\\final\\"});
    lan_.addStatusServer("10.0.0.13", 22000, {std::string(1495, 'x') + "\\final\\" + std::string(98, 'x')});
    ASSERT_EQ(startPass(), NoError);
    lan_.send(SimulatedLan::address("10.0.0.11"), 22005, SimulatedLan::address("10.0.0.1"),
              lan_.sent().front().fromPort, Final, 3000);  // waiting at the last step: taken
    browser::think(browser_);
    lan_.advance(3001);
    browser::think(browser_);
    using Found = std::vector<std::pair<std::string, std::uint16_t>>;
    // In order of arrival: port 22000 is asked at once, the others in the
    // step 3001 ms on, behind the answer that was waiting since 3000.
    EXPECT_EQ(servers(), (Found{{"10.0.0.7", 22000}, {"10.0.0.12", 22000}, {"10.0.0.11", 22005},
                                {"10.0.0.7", 22003}, {"10.0.0.10", 22010}}));
    EXPECT_EQ(browser::serverAt(browser_, -1), nullptr);
    EXPECT_EQ(browser::serverAt(browser_, 5), nullptr);
}

// One machine answering the broadcast from thousands of its own ports, and
// never a query: it gets perAddress servers (while the total leaves room),
// a real server is listed, and the pass (or the first sweep of a live
// listing) ends seconds after a clean one.
TEST_F(Discovery, AMachineAnsweringFromThousandsOfPortsCostsABoundedShare) {
    struct Case {
        int ports;
        bool live;
        std::int32_t perAddress, total;
    };
    const Case cases[] = {{1000, false, 16, 4096}, {10000, false, 16, 4096}, {10000, true, 16, 4096},
                          {1000, true, 4, 4096}, {1000, false, 100, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ports) + (c.live ? " ports, live" : " ports, pass") + ", bounds " +
                     std::to_string(c.perAddress) + " and " + std::to_string(c.total));
        makeBrowser(8);
        events_.clear();
        std::vector<std::string> lines;
        traceInto(&lines);
        EXPECT_EQ(browser::setLimits(browser_, 0, 5), OutOfRange);
        EXPECT_EQ(browser::setLimits(browser_, 5, 0), OutOfRange);
        ASSERT_EQ(browser::setLimits(browser_, c.perAddress, c.total), NoError);
        lan_.addStatusServer("10.0.0.20", 22005, {Final});
        const std::uint32_t start = lan_.now();
        ASSERT_EQ(c.live ? browser::liveUpdate(browser_, 22000, 22010, 1) : startPass(), NoError);
        const std::uint16_t player = lan_.sent().back().fromPort;
        for (int p = 0; p < c.ports; ++p)
            lan_.send(SimulatedLan::address("10.0.0.66"), static_cast<std::uint16_t>(30000 + p),
                      SimulatedLan::address("10.0.0.1"), player, Final);
        std::int32_t most = 0;
        const auto over = [&] {
            if (!c.live) return browser::state(browser_) == Idle;
            for (const auto& e : events_)
                if (e.event == SweepComplete) return true;
            return false;
        };
        while (!over() && lan_.now() - start < 30000) {
            browser::think(browser_);
            lan_.advance(5);
            most = std::max(most, browser::serverCount(browser_));
        }
        const std::int32_t fakes = std::min(c.perAddress, c.total);
        const std::int32_t real = fakes < c.total ? 1 : 0;
        EXPECT_EQ(most, fakes + real);
        // Each fake holds a slot for QueryTimeout, eight at a time; a pass
        // first waits out its discovery.
        const std::uint32_t waves = static_cast<std::uint32_t>((fakes + real + 7) / 8);
        EXPECT_LE(lan_.now() - start, (c.live ? 0 : browser::ListingTimeout) + waves * browser::QueryTimeout + 100);
        ASSERT_EQ(eventsOf(ServerUpdated).size(), static_cast<std::size_t>(real));
        if (real) {
            EXPECT_EQ(eventsOf(ServerUpdated)[0].address, "10.0.0.20");
        }
        // The real server's answer to every round is refused with the total reached.
        EXPECT_EQ(browser_->limits.refused, c.ports - fakes + (real ? 0 : browser::MaxRounds));
        int traced = 0;
        for (const std::string& line : lines) traced += line.find("ignored") != std::string::npos;
        EXPECT_EQ(traced, 2);  // once when a bound is reached, once at the end
        browser::closeList(browser_);
        lan_.removeServer("10.0.0.20", 22005);
    }
}

TEST_F(Discovery, SocketsBoundOnOtherHostsHearTheBroadcastAndAnswerFromTheirPort) {
    int failure = 0;
    lan_.addSilentServer("10.0.0.20", 22001);
    lan_.setBindAddress("10.0.0.20");
    const platform::Socket game = platform::bindUdpSocket(22000, &failure);
    ASSERT_NE(game, platform::InvalidSocket);
    EXPECT_EQ(platform::bindUdpSocket(22000, &failure), platform::InvalidSocket);
    EXPECT_EQ(failure, platform::BindInUse);
    EXPECT_EQ(platform::bindUdpSocket(22001, &failure), platform::InvalidSocket);  // the server's
    EXPECT_EQ(failure, platform::BindInUse);
    EXPECT_EQ(platform::bindUdpSocket(0, &failure), platform::InvalidSocket);
    EXPECT_EQ(failure, platform::BindFailed);
    lan_.setBindAddress("10.0.0.1");
    const platform::Socket local = platform::bindUdpSocket(22000, &failure);  // another host: free
    ASSERT_NE(local, platform::InvalidSocket);

    ASSERT_EQ(startPass(), NoError);
    for (const platform::Socket s : {game, local}) {
        char query[16];
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        ASSERT_EQ(platform::receiveFrom(s, query, sizeof query, &address, &port), 8);
        EXPECT_EQ(address, SimulatedLan::address("10.0.0.1"));
        EXPECT_EQ(platform::sendTo(s, Final.data(), static_cast<int>(Final.size()), address, port), 18);
    }
    finishDiscovery();
    using Found = std::vector<std::pair<std::string, std::uint16_t>>;
    EXPECT_EQ(servers(), (Found{{"10.0.0.20", 22000}, {"10.0.0.1", 22000}}));
    platform::closeSocket(game);
    platform::closeSocket(local);
    runToIdle();
    EXPECT_EQ(lan_.openSockets(), 0);
}

TEST_F(Discovery, AFailedReceiveEndsTheDrainForOneStepOnly) {
    ASSERT_EQ(startPass(), NoError);
    const std::uint16_t port = lan_.sent().front().fromPort;
    const std::uint32_t player = SimulatedLan::address("10.0.0.1");
    lan_.send(SimulatedLan::address("10.0.0.7"), 22000, player, port, Final);
    lan_.queueReceiveError(port);
    lan_.send(SimulatedLan::address("10.0.0.8"), 22000, player, port, Final);
    browser::think(browser_);
    EXPECT_EQ(browser::serverCount(browser_), 1);
    browser::think(browser_);
    EXPECT_EQ(browser::serverCount(browser_), 2);
}

// A pass refuses a new pass and clear until it is Idle. Halt during
// discovery ends the pass before any query and has no effect on the next
// pass, here a synchronous one, which returns after its Idle event.
TEST_F(Discovery, APassRefusesRequestsUntilIdleAndHaltEndsItBeforeAnyQuery) {
    lan_.addStatusServer("10.0.0.7", 22000, {Final});
    ASSERT_EQ(startPass(), NoError);
    browser::think(browser_);
    for (std::int32_t expectedState : {ListingLan, Querying}) {
        ASSERT_EQ(browser::state(browser_), expectedState);
        const std::size_t sent = lan_.sent().size();
        EXPECT_EQ(startPass(), Busy);
        EXPECT_EQ(browser::clear(browser_), Busy);
        EXPECT_EQ(lan_.sent().size(), sent);
        EXPECT_EQ(browser::serverCount(browser_), 1);
        if (expectedState == ListingLan) finishDiscovery();
    }
    runToIdle();
    // Without storage for the new lists, clear says so and keeps the servers.
    allocation::testing::failAfter(0);
    EXPECT_EQ(browser::clear(browser_), NoMemory);
    allocation::testing::failAfter(-1);
    EXPECT_EQ(browser::serverCount(browser_), 1);
    EXPECT_EQ(browser::clear(browser_), NoError);
    EXPECT_EQ(browser::serverCount(browser_), 0);

    startPass();
    EXPECT_EQ(browser::halt(browser_), 0);
    lan_.advance(2999);
    browser::think(browser_);
    EXPECT_EQ(browser::state(browser_), ListingLan);
    lan_.clearSent();
    finishDiscovery();
    browser::think(browser_);
    EXPECT_EQ(browser::state(browser_), Idle);
    EXPECT_TRUE(lan_.sent().empty());
    EXPECT_EQ(browser::halt(browser_), 0);  // Idle: no effect on the next pass
    events_.clear();
    ASSERT_EQ(browser::lanUpdate(browser_, 0, 22000, 22010, 1), NoError);
    EXPECT_EQ(browser::state(browser_), Idle);
    EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{ListingLan, Querying, Idle}));
    EXPECT_EQ(eventsOf(ServerUpdated).size(), 1u);
    EXPECT_GT(lan_.sleptMilliseconds(), 3000u);
}

// No socket outlives a start that failed (no socket, too few, no broadcast)
// nor a browser destroyed in the middle of a pass.
TEST_F(Discovery, NoSocketOutlivesAFailedStartOrADestroyedBrowser) {
    struct Case {
        int socketLimit;
        bool broadcastFails;
    };
    for (const Case& c : {Case{0, false}, Case{4, false}, Case{3, false}, Case{-1, true}}) {
        lan_.setSocketLimit(c.socketLimit);
        lan_.setBroadcastFails(c.broadcastFails);
        events_.clear();
        EXPECT_EQ(startPass(), SocketFailed);
        EXPECT_EQ(lan_.openSockets(), 0) << "limit " << c.socketLimit;
        EXPECT_EQ(browser::state(browser_), Idle);
        EXPECT_TRUE(events_.empty());
    }
    // The limit of 3 lowered the slots to 3 for good.
    EXPECT_EQ(browser_->slotCount, 3);
    lan_.setSocketLimit(-1);
    lan_.setBroadcastFails(false);
    EXPECT_EQ(startPass(), NoError);
    EXPECT_EQ(lan_.openSockets(), 4);

    lan_.addSilentServer("10.0.0.7", 22000);
    lan_.addStatusServer("10.0.0.8", 22000, {Final});
    for (std::int32_t stopIn : {ListingLan, Querying}) {
        makeBrowser(4);
        startPass();
        browser::think(browser_);
        if (stopIn == Querying) {
            finishDiscovery();
            browser::think(browser_);
        }
        EXPECT_EQ(lan_.openSockets(), stopIn == ListingLan ? 5 : 4);
        events_.clear();
        browser::destroy(browser_);
        browser_ = nullptr;
        EXPECT_TRUE(events_.empty());
        EXPECT_EQ(lan_.openSockets(), 0);
        EXPECT_EQ(lan_.socketsLayerUsers(), 0);
    }
}

TEST_F(Discovery, CreateNeedsAtLeastOneSlotAndCutsLongNames) {
    const std::string longName(40, 'n');
    browser::destroy(browser_);
    browser_ = browser::create(longName.c_str(), longName.c_str(), longName.c_str(), 0, nullptr, 1, nullptr);
    ASSERT_NE(browser_, nullptr);
    EXPECT_EQ(browser_->slotCount, 1);
    for (const char* name : {browser_->primaryName, browser_->secondaryName, browser_->secretKey})
        EXPECT_EQ(std::string(name), longName.substr(0, 31));
    lan_.addStatusServer("10.0.0.7", 22000, {Final});
    lan_.addStatusServer("10.0.0.8", 22000, {Final});
    startPass();  // without a callback: nothing to report to, the pass still runs
    finishDiscovery();
    runToIdle();
    EXPECT_EQ(browser::state(browser_), Idle);
    // One slot: one after the other, each reply arriving as it was asked.
    EXPECT_EQ(browser::serverAt(browser_, 0)->ping, 0);
    EXPECT_EQ(browser::serverAt(browser_, 1)->ping, 0);
    EXPECT_EQ(browser::think(nullptr), NoBrowser);
}

}  // namespace
}  // namespace brenn::testing
