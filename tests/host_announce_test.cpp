// A hosted game's announcements to live browsers, through the plug-in's
// public interface on the simulated LAN: what is sent, when, to where, and
// nothing at all unless the host asks.
#include "simlan/SimulatedLan.h"
#include "service/VelnarLanJoin.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brenn::testing {
namespace {

using matchmaking::HostOk;
using matchmaking::velnar::VelnarLanHost;
using platform::SimulatedLan;

constexpr std::uint16_t AnnouncePort = 22020;
const std::string Hello = "\\announce\\22000\\gamename\\ridgeline\\final\\";
const std::string Goodbye = "\\goodbye\\22000\\gamename\\ridgeline\\final\\";

// One announcement as it left: its text and ms after the game started.
struct Sent {
    std::string text;
    std::uint32_t at;
    bool operator==(const Sent& other) const { return text == other.text && at == other.at; }
};

class Announcing : public ::testing::Test {
protected:
    void SetUp() override {
        lan_.addInterface("10.0.0.1", "255.255.255.0");
        lan_.addInterface("10.1.0.1", "255.255.0.0");
        lan_.addInterface("10.2.0.1", "255.255.255.255", SimulatedLan::PointToPointInterface);
    }

    // A game on 10.0.0.20, hosting on 22000 from tick start_ on.
    std::unique_ptr<VelnarLanHost> startGame(bool announcing = true) {
        std::unique_ptr<VelnarLanHost> game(CreateHostClass("game"));
        game->setAnnouncing(announcing);
        lan_.setBindAddress("10.0.0.20");
        start_ = lan_.now();
        EXPECT_EQ(game->startHosting("Alpha", 22000), HostOk);
        lan_.setBindAddress("10.0.0.1");
        return game;
    }

    // Steps the game every `step` ms for `ms` ms, calling act at each step
    // with the ms since the start.
    void run(VelnarLanHost& game, std::uint32_t ms, std::uint32_t step,
             const std::function<void(std::uint32_t)>& act = nullptr) {
        for (std::uint32_t end = lan_.now() + ms; lan_.now() - end >= 0x80000000u; lan_.advance(step)) {
            if (act) act(lan_.now() - start_);
            game.update();
        }
    }

    // The announcements sent, one entry per announcement: every one goes to
    // 255.255.255.255 and to each broadcast address (the point-to-point
    // link has none), from the game's query port, in that order.
    std::vector<Sent> announcements() {
        std::vector<Sent> found;
        const auto& sent = lan_.sent();
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (sent[i].toPort != AnnouncePort) continue;
            EXPECT_EQ(sent[i].fromAddress, SimulatedLan::address("10.0.0.20"));
            EXPECT_EQ(sent[i].fromPort, 22000);
            EXPECT_EQ(sent[i].toAddress, SimulatedLan::address("255.255.255.255"));
            EXPECT_LE(i + 2, sent.size() - 1);
            if (i + 2 >= sent.size()) break;
            EXPECT_EQ(sent[i + 1].toAddress, SimulatedLan::address("10.0.0.255"));
            EXPECT_EQ(sent[i + 2].toAddress, SimulatedLan::address("10.1.255.255"));
            for (std::size_t k = i; k <= i + 2; ++k) EXPECT_EQ(sent[k].payload, sent[i].payload);
            found.push_back(Sent{sent[i].payload, sent[i].sentAt - start_});
            i += 2;
        }
        return found;
    }

    SimulatedLan lan_;
    std::uint32_t start_ = 0;
};

// Hellos after the start, each jittered; one announcement per change after
// them, at most one per 6 s, none for a change the hellos carry or for a
// value set as it was; goodbyes at the stop and 250 ms on.
TEST_F(Announcing, DatagramsAndTheirTimes) {
    using Script = std::function<void(VelnarLanHost&, std::uint32_t)>;
    struct Expected {
        std::string text;
        std::uint32_t from, to;  // ms after the start
    };
    const auto changeAt = [](std::vector<std::uint32_t> times) -> Script {
        return [times](VelnarLanHost& game, std::uint32_t t) {
            for (std::uint32_t at : times)
                if (t == at) game.setServerValue("info", "mapname", "map" + std::to_string(t));
        };
    };
    // Hellos come up to 100 ms late (the jitter), and so does a change
    // announcement that waits 6 s from the last hello; others at the step.
    const Expected hellos[] = {{Hello, 0, 100}, {Hello, 1000, 1100}, {Hello, 3000, 3100}};
    const auto with = [&](std::vector<Expected> more) {
        std::vector<Expected> all(std::begin(hellos), std::end(hellos));
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const struct Case {
        const char* what;
        Script script;
        std::vector<Expected> expected;
    } cases[] = {
        {"start alone", nullptr, with({})},
        {"a change during the hellos", changeAt({500, 2000}), with({})},
        {"a change long after", changeAt({12000}), with({{Hello, 12000, 12000}})},
        {"a change soon after the hellos", changeAt({3500}), with({{Hello, 9000, 9100}})},
        {"a burst of changes", changeAt({10000, 10500, 12000, 15000, 30000}),
         with({{Hello, 10000, 10000}, {Hello, 16000, 16000}, {Hello, 30000, 30000}})},
        // Set at every step as they were (the first score is carried by the hellos).
        {"the same values again",
         [](VelnarLanHost& game, std::uint32_t) {
             game.setServerValue("info", "hostname", "Alpha");
             game.setPlayerLimit(16);
             game.setPlayerValue(0, "score", "7");
         },
         with({})},
        {"players come and go",
         [](VelnarLanHost& game, std::uint32_t t) {
             if (t == 20000) game.setPlayerValue(3, "player", "Ada");
             if (t == 20100) game.setPlayerValue(3, "score", "1");
             if (t == 30000) game.removePlayer(3);
         },
         with({{Hello, 20000, 20000}, {Hello, 26000, 26000}, {Hello, 32000, 32000}})},
        {"stopped", [](VelnarLanHost& game, std::uint32_t t) { if (t == 5000) game.stopHosting(); },
         with({{Goodbye, 5000, 5000}, {Goodbye, 5250, 5250}})},
        {"stopped before the last hello",
         [](VelnarLanHost& game, std::uint32_t t) { if (t == 2000) game.stopHosting(); },
         {{Hello, 0, 100}, {Hello, 1000, 1100}, {Goodbye, 2000, 2000}, {Goodbye, 2250, 2250}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lan_.clearSent();
        std::unique_ptr<VelnarLanHost> game = startGame();
        run(*game, 40000, 5, [&](std::uint32_t t) { if (c.script) c.script(*game, t); });
        const std::vector<Sent> sent = announcements();
        ASSERT_EQ(sent.size(), c.expected.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i].text, c.expected[i].text) << i;
            EXPECT_GE(sent[i].at, c.expected[i].from) << i;
            EXPECT_LE(sent[i].at, c.expected[i].to + 4) << i;  // the next 5 ms step
        }
    }
}

// The goodbye leaves before the port closes, inside stopHosting and delete,
// from the game's own port, and a live browser's shared socket hears it
// (by 255.255.255.255 and its segment's address); the port is held for the
// second copy only while the host steps on.
TEST_F(Announcing, GoodbyeLeavesBeforeThePortCloses) {
    int failure = 0;
    const platform::Socket browser = platform::bindSharedUdpSocket(AnnouncePort, &failure);
    ASSERT_NE(browser, platform::InvalidSocket);
    const auto heard = [&] {
        std::vector<std::string> texts;
        char buffer[128];
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        lan_.advance(1);
        for (int length; (length = platform::receiveFrom(browser, buffer, sizeof buffer, &address, &port)) >= 0;) {
            EXPECT_EQ(address, SimulatedLan::address("10.0.0.20"));
            EXPECT_EQ(port, platform::hostToNet16(22000));
            texts.emplace_back(buffer, static_cast<std::size_t>(length));
        }
        return texts;
    };
    const std::vector<std::string> hello(2, Hello), goodbye(2, Goodbye);

    std::unique_ptr<VelnarLanHost> game = startGame();
    run(*game, 200, 5);
    EXPECT_EQ(heard(), hello);
    game->stopHosting();
    EXPECT_EQ(heard(), goodbye);
    EXPECT_FALSE(game->isHosting());
    EXPECT_EQ(game->getPort(), 0);
    EXPECT_EQ(lan_.openSockets(), 2) << "held for the second copy";
    run(*game, 300, 5);
    EXPECT_EQ(heard(), goodbye);
    EXPECT_EQ(lan_.openSockets(), 1);

    // Restarted within the 250 ms: the second copy is dropped, the port
    // taken again, the hellos start over.
    lan_.setBindAddress("10.0.0.20");
    ASSERT_EQ(game->startHosting("Alpha", 22000), HostOk);
    game->stopHosting();
    EXPECT_EQ(heard(), goodbye);
    ASSERT_EQ(game->startHosting("Alpha", 22000), HostOk);
    lan_.setBindAddress("10.0.0.1");
    run(*game, 1000, 5);
    EXPECT_EQ(heard(), hello);
    game.reset();
    EXPECT_EQ(heard(), goodbye);
    EXPECT_EQ(lan_.openSockets(), 1);
    platform::closeSocket(browser);
}

// Unless the host asks, the same datagrams as a host that never heard of
// announcements: replies only, and the port given back at once. Turned
// off while hosting, the game falls silent without a goodbye.
TEST_F(Announcing, OffByDefaultSendsExactlyTheReplies) {
    const auto session = [&](const std::function<void(VelnarLanHost&)>& setup) {
        lan_.clearSent();
        lan_.setNow(700000);
        std::unique_ptr<VelnarLanHost> game = startGame(false);
        setup(*game);
        run(*game, 8000, 5, [&](std::uint32_t t) {
            if (t % 1000 == 0)
                lan_.send(SimulatedLan::address("10.0.0.50"), 40000, SimulatedLan::address("10.0.0.20"), 22000,
                          "\\status\\");
            if (t == 4000) game->setServerValue("info", "mapname", "cirque");
        });
        game->stopHosting();
        EXPECT_EQ(lan_.openSockets(), 0);
        std::vector<std::string> sent;
        for (const auto& d : lan_.sent())
            sent.push_back(std::to_string(d.sentAt) + " " + std::to_string(d.toPort) + " " + d.payload);
        return sent;
    };
    const std::vector<std::string> plain = session([](VelnarLanHost&) {});
    ASSERT_EQ(plain.size(), 8u);
    for (const std::string& d : plain) EXPECT_NE(d.find(" 40000 \\hostname\\Alpha"), std::string::npos) << d;
    EXPECT_EQ(session([](VelnarLanHost& game) {
                  game.setAnnouncing(true);
                  game.setAnnouncing(false);
              }),
              plain);
    lan_.clearSent();
    std::unique_ptr<VelnarLanHost> game = startGame();
    run(*game, 1500, 5);
    game->setAnnouncing(false);
    run(*game, 20000, 5, [&](std::uint32_t t) { if (t == 5000) game->setServerValue("info", "mapname", "x"); });
    game->stopHosting();
    EXPECT_EQ(announcements().size(), 2u);
    EXPECT_EQ(lan_.openSockets(), 0);
}

}  // namespace
}  // namespace brenn::testing
