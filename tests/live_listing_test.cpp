// Live listing on the simulated LAN: early reports, the first sweep,
// refreshes, servers gone, later broadcasts, closing the list, and hours
// of listing on a lossy LAN in a few seconds.
#include "browser/Announcements.h"
#include "browser/LiveSchedule.h"
#include "browser/PoolRenewal.h"
#include "support/BrowserFixture.h"

#include "containers/AllocationTesting.h"

#include <map>
#include <memory>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

std::string serverAddress(int i) { return "10.0." + std::to_string(1 + i / 200) + "." + std::to_string(10 + i % 200); }

class LiveListingTest : public BrowserFixture {
protected:
    // A server that answers the broadcast and every query with its reply,
    // read from *reply at the time of the query (change it to change the
    // server). Counts the queries it hears.
    std::shared_ptr<std::string> addLiveServer(const std::string& address, std::uint16_t port = 22000,
                                               const std::string& text = "\\hostname\\h\\final\\") {
        auto reply = std::make_shared<std::string>(text);
        lan_.addServer(address, port, [this, reply, address](SimulatedLan& lan, const SimulatedLan::Datagram& request) {
            if (!request.broadcast) ++queriesHeard_[address];
            lan.reply(request, *reply);
        });
        return reply;
    }

    std::int32_t openList() { return browser::liveUpdate(browser_, 22000, 22010, 1); }

    // Steps every `gap` ms for `ms` ms.
    void runFor(std::uint32_t ms, std::uint32_t gap = 5) {
        for (std::uint32_t t = 0; t < ms; t += gap) {
            browser::think(browser_);
            lan_.advance(gap);
        }
    }

    // Ticks at which events of a kind were raised, by server address.
    std::map<std::string, std::vector<std::uint32_t>> timesOf(std::int32_t kind) const {
        std::map<std::string, std::vector<std::uint32_t>> times;
        for (const auto& e : eventsOf(kind)) times[e.address].push_back(e.tick);
        return times;
    }

    std::map<std::string, int> queriesHeard_;
};

TEST_F(LiveListingTest, ServersAreReportedAsTheyAnswerAndTheSweepEndsWithTheWindow) {
    struct Case {
        std::uint32_t step;     // ms between steps
        std::uint32_t latency;  // of every server, on what it sends
    };
    for (const Case& c : {Case{5, 0}, Case{16, 0}, Case{5, 30}}) {
        SCOPED_TRACE("step " + std::to_string(c.step) + ", latency " + std::to_string(c.latency));
        lan_.clearSent();
        events_.clear();
        makeBrowser(8);
        for (int i = 0; i < 10; ++i) {
            addLiveServer(serverAddress(i), static_cast<std::uint16_t>(22000 + i % 11));
            lan_.setLatency(serverAddress(i), c.latency);
        }
        addServerAnswering("10.0.9.9", {});  // answers the broadcast, never its query
        lan_.setLatency("10.0.9.9", c.latency);
        const std::uint32_t open = lan_.now();
        ASSERT_EQ(openList(), NoError);
        EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Live}));
        runFor(3600, c.step);
        // Each reported within a step of its reply: the broadcast answer is
        // read a step after it came, the query goes out in that step, and
        // its reply is read the step after it came.
        const auto reported = timesOf(ServerUpdated);
        ASSERT_EQ(reported.size(), 10u);
        for (const auto& [address, ticks] : reported) {
            ASSERT_EQ(ticks.size(), 1u) << address;
            const std::uint32_t port = (std::stoi(address.substr(address.rfind('.') + 1)) - 10) % 11;
            const std::uint32_t broadcast = (port * browser::PortSpacing + c.step - 1) / c.step * c.step;
            EXPECT_LE(ticks[0] - open, broadcast + 2 * c.latency + 2 * c.step) << address;
        }
        // The silent server holds the sweep until its query is given up, one
        // step past 3000 ms after it.
        const auto sweeps = eventsOf(SweepComplete);
        ASSERT_EQ(sweeps.size(), 1u);
        const std::uint32_t sweptAt = timesOf(SweepComplete)[""][0] - open;
        EXPECT_GT(sweptAt, browser::QueryTimeout + c.latency);
        EXPECT_LE(sweptAt, browser::QueryTimeout + c.latency + 3 * c.step);
        EXPECT_EQ(browser::serverCount(browser_), 10);  // the silent one dropped
        const auto gone = eventsOf(ServerGone);
        ASSERT_EQ(gone.size(), 1u);
        EXPECT_EQ(gone[0].address, "10.0.9.9");
        EXPECT_EQ(gone[0].progress, 0);  // never reported
        browser::closeList(browser_);
        for (int i = 0; i < 10; ++i) lan_.removeServer(serverAddress(i), static_cast<std::uint16_t>(22000 + i % 11));
    }
}

TEST_F(LiveListingTest, ListedServersAreAskedAgainReportedWhenTheyChangeAndKeptWhenTheListCloses) {
    auto reply = addLiveServer("10.0.1.1");
    addLiveServer("10.0.1.2", 22003);
    ASSERT_EQ(openList(), NoError);
    runFor(60000);
    EXPECT_EQ(eventsOf(ServerUpdated).size(), 2u);
    // Asked again RefreshAfter after it was last answered: about 6 a minute.
    EXPECT_GE(queriesHeard_["10.0.1.1"], 5);
    EXPECT_LE(queriesHeard_["10.0.1.1"], 7);
    *reply = "\\hostname\\renamed\\final\\";
    const std::uint32_t changed = lan_.now();
    runFor(20000);
    const auto reported = timesOf(ServerUpdated)["10.0.1.1"];
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_LE(reported[1] - changed, browser::RefreshAfter + 10);
    EXPECT_STREQ(server::stringValue(browser::serverAt(browser_, 0), "hostname", ""), "renamed");
    // A key the server no longer sends is gone from its values.
    *reply = "\\mapname\\m\\final\\";
    runFor(20000);
    EXPECT_STREQ(server::stringValue(browser::serverAt(browser_, 0), "hostname", "none"), "none");

    EXPECT_EQ(browser::closeList(browser_), NoError);
    EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Live, Idle}));
    EXPECT_EQ(lan_.openSockets(), 0);
    const std::size_t sent = lan_.sent().size();
    runFor(60000, 50);
    EXPECT_EQ(lan_.sent().size(), sent);
    EXPECT_EQ(browser::serverCount(browser_), 2);
    EXPECT_EQ(browser::closeList(browser_), NoError);  // Idle: nothing
    EXPECT_EQ(stateChanges().size(), 2u);
    // Closed from the callback, in the middle of a step.
    onEvent = [this](std::int32_t event, BrowserServer*) {
        if (event == ServerUpdated) browser::closeList(browser_);
    };
    lan_.removeServer("10.0.1.2", 22003);
    ASSERT_EQ(openList(), NoError);
    runFor(100);
    EXPECT_EQ(browser::state(browser_), Idle);
    EXPECT_EQ(lan_.openSockets(), 0);
}

// Servers a pass listed are asked at once when a list opens, and one that
// no longer answers is gone within its episodes. A server that stops
// answering later is gone after a dozen unanswered queries, and is found
// again by a later round when it comes back.
TEST_F(LiveListingTest, ServersThatStopAnsweringAreReportedGoneAfterTwelveQueries) {
    addLiveServer("10.0.1.1");
    addLiveServer("10.0.1.2");
    addLiveServer("10.0.1.3");
    ASSERT_EQ(startPass(), NoError);
    runToIdle(5);
    ASSERT_EQ(eventsOf(ServerUpdated).size(), 3u);
    lan_.removeServer("10.0.1.3", 22000);
    events_.clear();
    const std::uint32_t open = lan_.now();
    ASSERT_EQ(openList(), NoError);
    runFor(20000);
    const auto reported = timesOf(ServerUpdated);
    ASSERT_EQ(reported.size(), 2u);
    for (const auto& [address, ticks] : reported) EXPECT_LE(ticks[0] - open, 10u) << address;
    ASSERT_EQ(timesOf(ServerGone).size(), 1u);
    EXPECT_LE(timesOf(ServerGone).at("10.0.1.3")[0] - open, browser::GoneAfterEpisodes * browser::RefreshTimeout + 20);

    lan_.removeServer("10.0.1.2", 22000);
    lan_.addSilentServer("10.0.1.2", 22000);
    lan_.clearSent();
    events_.clear();
    const std::uint32_t stopped = lan_.now();
    runFor(30000);
    const auto gone = timesOf(ServerGone);
    ASSERT_EQ(gone.size(), 1u);
    ASSERT_EQ(gone.at("10.0.1.2").size(), 1u);
    EXPECT_EQ(eventsOf(ServerGone)[0].progress, 1);  // it had been reported
    // Its last answer came at most RefreshAfter before it stopped; it is
    // gone GoneAfterEpisodes episodes after the refresh came due.
    const std::uint32_t lifetime = browser::RefreshAfter + browser::GoneAfterEpisodes * browser::RefreshTimeout;
    EXPECT_LE(gone.at("10.0.1.2")[0] - stopped, lifetime + 20);
    int unanswered = 0;
    for (const auto& d : lan_.sent())
        if (d.toAddress == SimulatedLan::address("10.0.1.2") && d.sentAt < gone.at("10.0.1.2")[0]) ++unanswered;
    EXPECT_EQ(unanswered, browser::GoneAfterEpisodes * browser::MaxQueries);
    EXPECT_EQ(browser::serverCount(browser_), 1);
    EXPECT_EQ(browser::findServer(browser_, SimulatedLan::address("10.0.1.2"), 22000), -1);
    // Back again: found by a later round and reported anew.
    lan_.removeServer("10.0.1.2", 22000);
    addLiveServer("10.0.1.2");
    runFor(browser::RoundGapCap + 100);
    EXPECT_EQ(timesOf(ServerUpdated)["10.0.1.2"].size(), 1u);
}

TEST_F(LiveListingTest, LaterBroadcastsComeAtGrowingGapsUpToTheCap) {
    ASSERT_EQ(openList(), NoError);
    const std::uint32_t open = lan_.now();
    runFor(200000, 10);
    std::vector<std::uint32_t> rounds;  // when port 22000 was asked
    for (const auto& d : lan_.sent())
        if (d.toAddress == platform::BroadcastAddress && d.toPort == 22000) rounds.push_back(d.sentAt - open);
    const std::vector<std::uint32_t> expected = {0, 400, 1000, 1800, 5800, 13800, 29800, 59800, 89800, 119800,
                                                 149800, 179800};
    ASSERT_EQ(rounds.size(), expected.size());
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        EXPECT_GE(rounds[i], expected[i]) << i;
        EXPECT_LE(rounds[i], expected[i] + 10) << i;
    }
}

TEST(Announcement, IsReadFromItsFirstKeyAndPort) {
    struct Case {
        const char* text;
        browser::AnnouncementKind kind;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"\\announce\\22003\\gamename\\ridgeline\\final\\", browser::Hello, 22003},
        {"\\goodbye\\22010\\gamename\\ridgeline\\final\\", browser::Goodbye, 22010},
        {"\\announce\\65535", browser::Hello, 65535},
        {"\\announce\\65536\\", browser::NotAnnouncement, 0},
        {"\\announce\\0\\", browser::NotAnnouncement, 0},
        {"\\announce\\\\", browser::NotAnnouncement, 0},
        {"\\announce\\22x\\", browser::NotAnnouncement, 0},
        {"\\announce\\220000\\", browser::NotAnnouncement, 0},
        {"\\Announce\\22000\\", browser::NotAnnouncement, 0},
        {"\\gamename\\ridgeline\\announce\\22000\\", browser::NotAnnouncement, 0},
        {"\\status\\", browser::NotAnnouncement, 0},
        {"", browser::NotAnnouncement, 0},
    };
    for (const Case& c : cases) {
        std::uint16_t port = 0;
        EXPECT_EQ(browser::readAnnouncement(c.text, &port), c.kind) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
}

// What a live list makes of the datagrams on the announcement port, each
// sent five seconds after the list opened. Without the port (another
// program holds it) the list goes on by broadcasts.
TEST_F(LiveListingTest, AnnouncementsAreHintsAndAGoodbyeCountsOnlyFromTheServerItself) {
    struct Case {
        const char* what;
        std::string from;       // address:port of the sender
        std::string text;
        bool listedBefore;      // the server at 10.0.1.1:22000 answered the broadcasts
        const char* afterwards; // "reported", "changed", "gone", "nothing"
        bool portHeld = false;  // by another program, which does not share it
    };
    const std::string hello = "\\announce\\22000\\gamename\\ridgeline\\final\\";
    const std::string goodbye = "\\goodbye\\22000\\gamename\\ridgeline\\final\\";
    const Case cases[] = {
        {"a hello of a new server", "10.0.1.1:22000", hello, false, "reported"},
        {"a hello of a listed server that changed", "10.0.1.1:22000", hello, true, "changed"},
        {"a hello naming another port", "10.0.1.1:22001", hello, false, "nothing"},
        {"a goodbye of a listed server", "10.0.1.1:22000", goodbye, true, "gone"},
        {"a goodbye from another port of its machine", "10.0.1.1:22001", "\\goodbye\\22001\\", true, "nothing"},
        {"a goodbye from another machine", "10.0.1.2:22000", goodbye, true, "nothing"},
        {"not an announcement", "10.0.1.1:22000", "\\hostname\\x\\final\\", false, "nothing"},
        {"a hello with the port held elsewhere", "10.0.1.1:22000", hello, false, "nothing", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        makeBrowser(4);
        events_.clear();
        std::vector<std::string> lines;
        traceInto(&lines);
        int failure = 0;
        const platform::Socket other =
            c.portHeld ? platform::bindUdpSocket(browser::AnnouncePort, &failure) : platform::InvalidSocket;
        auto reply = c.listedBefore ? addLiveServer("10.0.1.1") : nullptr;
        ASSERT_EQ(openList(), NoError);
        if (c.portHeld) {
            EXPECT_EQ(lines.at(0),
                      "announcement port 22020 held by another program: servers are found by broadcasts only");
        }
        runFor(5000);  // between two broadcast rounds, no refresh due
        if (!c.listedBefore) reply = addLiveServer("10.0.1.1");  // started after the broadcasts
        *reply = "\\hostname\\changed\\final\\";
        const std::size_t before = events_.size();
        const std::string address = c.from.substr(0, c.from.find(':'));
        const auto port = static_cast<std::uint16_t>(std::stoi(c.from.substr(c.from.find(':') + 1)));
        const std::uint32_t sent = lan_.now();
        lan_.send(SimulatedLan::address(address), port, SimulatedLan::address("10.0.0.1"), browser::AnnouncePort, c.text);
        runFor(20);
        std::vector<std::pair<std::int32_t, std::uint32_t>> after;
        for (std::size_t i = before; i < events_.size(); ++i)
            after.emplace_back(events_[i].event, events_[i].tick - sent);
        const std::string expected = c.afterwards;
        if (expected == "nothing") {
            EXPECT_TRUE(after.empty());
            EXPECT_EQ(browser_->live.ignored + browser_->live.announcements, c.portHeld ? 0 : 1);
        } else {
            ASSERT_EQ(after.size(), 1u);
            EXPECT_EQ(after[0].first, expected == "gone" ? ServerGone : ServerUpdated);
            EXPECT_LE(after[0].second, expected == "gone" ? 5u : 10u);  // within a step, or two with the query
        }
        if (c.portHeld) {
            runFor(browser::RoundGapCap);  // found by the next round instead
            EXPECT_EQ(eventsOf(ServerUpdated).size(), 1u);
            platform::closeSocket(other);
        }
        browser::closeList(browser_);
        lan_.removeServer("10.0.1.1", 22000);
        browser::clear(browser_);
    }
}

// Servers whose values change at every reply, for hours: the pool of texts
// is renewed and holds what the servers send now, not all they ever sent.
TEST_F(LiveListingTest, ThePoolOfTextsStaysBoundedWhileValuesChange) {
    for (int i = 0; i < 20; ++i) {
        lan_.addServer(serverAddress(i), 22000, [n = 0](SimulatedLan& lan, const SimulatedLan::Datagram& request) mutable {
            const std::string score = std::to_string(++n);
            lan.reply(request, "\\score\\" + score + "\\player_0\\p" + score + "\\final\\");
        });
    }
    ASSERT_EQ(openList(), NoError);
    std::int32_t most = 0;
    for (int minute = 0; minute < 180; ++minute) {
        runFor(60000, 20);
        most = std::max(most, stringpool::size(browser_->stringPool));
    }
    EXPECT_EQ(eventsOf(ServerGone).size(), 0u);
    EXPECT_LT(most, 3000);  // 20 servers changing ~8 times a minute would have left ~60,000
    for (int i = 0; i < 20; ++i) {
        const BrowserServer* s = browser::serverAt(browser_, i);
        EXPECT_EQ(std::string("p") + server::stringValue(s, "score", ""), server::stringValue(s, "player_0", ""));
    }
    // Renewal without storage changes nothing.
    const std::string before = server::stringValue(browser::serverAt(browser_, 0), "score", "");
    for (long successes = 0; successes < 60; ++successes) {
        allocation::testing::failAfter(successes);
        const std::int32_t result = browser::renewPool(browser_);
        allocation::testing::failAfter(-1);
        EXPECT_TRUE(result == NoError || result == NoMemory);
        EXPECT_EQ(server::stringValue(browser::serverAt(browser_, 0), "score", ""), before) << successes;
    }
}

// The lossy LAN: a false "gone" would need a dozen queries in a row or
// their answers lost.
TEST(LiveListingLoss, NoServerIsFalselyReportedGone) {
    struct Case {
        const char* name;
        double loss;  // each way
        int servers;
        std::uint32_t minutes;
    };
    for (const Case& c : {Case{"10 % loss both ways, 10 minutes", 0.10, 100, 10},
                          Case{"1 % loss both ways, an hour", 0.01, 100, 60}}) {
        SCOPED_TRACE(c.name);
        SimulatedLan lan;
        SimulatedLan::Impairment impairment;
        impairment.loss = c.loss;
        lan.setImpairment(SimulatedLan::Direction::ToPlayer, impairment, 11);
        lan.setImpairment(SimulatedLan::Direction::FromPlayer, impairment, 12);
        for (int i = 0; i < c.servers; ++i)
            lan.addStatusServer(serverAddress(i), static_cast<std::uint16_t>(22000 + i % 11),
                                {"\\hostname\\s" + std::to_string(i) + "\\final\\"});
        struct Counts {
            int reported = 0, gone = 0;
        } counts;
        ServerBrowser* browser = browser::create("p", "s", "k", 8,
            [](ServerBrowser*, std::int32_t event, void* instance, void*, std::int32_t) {
                auto* n = static_cast<Counts*>(instance);
                n->reported += event == ServerUpdated;
                n->gone += event == ServerGone;
            }, 1, &counts);
        ASSERT_EQ(browser::liveUpdate(browser, 22000, 22010, 1), NoError);
        for (std::uint32_t t = 0; t < c.minutes * 60000; t += 10) {
            browser::think(browser);
            lan.advance(10);
        }
        EXPECT_EQ(counts.gone, 0);
        EXPECT_EQ(counts.reported, c.servers);
        EXPECT_EQ(browser::serverCount(browser), c.servers);
        // The cost of staying live, per server and minute: queries out
        // (broadcasts apart), and what the servers sent back.
        std::size_t queries = 0;
        for (const auto& d : lan.sent()) queries += d.toAddress != platform::BroadcastAddress;
        const double perMinute = static_cast<double>(queries) / c.servers / c.minutes;
        EXPECT_LE(perMinute, 12.0);
        std::printf("%s: %.2f queries per server and minute, %llu lost\n", c.name, perMinute, (unsigned long long)lan.impairedLost());
        browser::destroy(browser);
    }
}

}  // namespace
}  // namespace brenn::testing
