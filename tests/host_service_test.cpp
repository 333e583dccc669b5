// The hosting service through the plug-in's public interface, on the
// simulated LAN: hosted games as the join service finds them, the query
// port's defences as a sender on the LAN or beyond it sees them, and the
// game's announcements to live browsers.
#include "support/ServiceFixture.h"

#include <memory>

namespace brenn::testing {
namespace {

using matchmaking::HostCounters;
using matchmaking::HostLimits;
using matchmaking::HostOk;
using matchmaking::IHostService;
using matchmaking::velnar::VelnarLanHost;
using platform::SimulatedLan;

class Hosting : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        writeKeyMap(
            "info.hostname=hostname;\n"
            "info.mapname=mapname;\n"
            "info.numplayers=numplayers;\n"
            "info.maxplayers=maxplayers;\n"
            "rules.timelimit=timelimit;\n"
            "players.name=player;\n"
            "players.score=score;\n");
        // Where direct queries come from; what reaches it is kept.
        lan_.addServer("10.0.0.50", 40000, [this](SimulatedLan&, const SimulatedLan::Datagram& d) {
            replies_.push_back(d.payload);
        });
    }

    // Sends each payload to the game from `from` and steps it once; the
    // replies it sent back to 10.0.0.50:40000 are in replies_.
    void query(VelnarLanHost& game, const std::vector<std::string>& payloads,
               const std::string& from = "10.0.0.50", std::uint16_t fromPort = 40000) {
        for (const std::string& p : payloads)
            lan_.send(SimulatedLan::address(from), fromPort, SimulatedLan::address("10.0.0.20"), game.getPort(), p);
        game.update();
    }

    std::vector<std::string> replies_;
};

std::string player(ServerData* record, const char* key, int index) {
    const char* v = valueOf(record->playersSection, key, std::to_string(index).c_str());
    return v ? v : "(missing)";
}

TEST_F(Hosting, TheBrowserFindsHostedGamesWithEveryValueAsSetAndAsChanged) {
    VelnarLanHost& small = host("10.0.0.20", "Small Game");
    ASSERT_EQ(small.setServerValue("info", "mapname", "scree"), matchmaking::HostOk);
    ASSERT_EQ(small.setServerValue("rules", "timelimit", "20"), matchmaking::HostOk);
    for (int slot : {1, 3, 5})
        ASSERT_EQ(small.setPlayerValue(slot, "player", "P" + std::to_string(slot)), matchmaking::HostOk);
    ASSERT_EQ(small.setPlayerValue(3, "score", "7"), matchmaking::HostOk);
    VelnarLanHost& big = host("10.0.0.21", "Big Game");
    ASSERT_EQ(big.setPlayerLimit(64), matchmaking::HostOk);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(big.setPlayerValue(i, "player", "player name " + std::to_string(i)), matchmaking::HostOk);
        ASSERT_EQ(big.setPlayerValue(i, "score", std::to_string(i * 3)), matchmaking::HostOk);
    }
    VelnarLanHost& local = host("10.0.0.1", "On This Machine");  // the browsing host itself
    EXPECT_EQ(small.getPort(), 22000);
    EXPECT_EQ(local.getPort(), 22000);
    fullUpdate();

    ASSERT_EQ(matchmaking_.serverDataCount, 3);
    ServerData* s = record("10.0.0.20");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(valueOf(s->infoSection, "hostname"), "Small Game");
    EXPECT_STREQ(valueOf(s->infoSection, "mapname"), "scree");
    EXPECT_STREQ(valueOf(s->infoSection, "numplayers"), "3");
    EXPECT_STREQ(valueOf(s->infoSection, "maxplayers"), "16");
    EXPECT_STREQ(valueOf(s->rulesSection, "timelimit"), "20");
    EXPECT_EQ(player(s, "name", 1) + "/" + player(s, "score", 1), "P3/7");  // slot 3 is the second player
    ServerData* b = record("10.0.0.21");
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(valueOf(b->infoSection, "numplayers"), "64");
    EXPECT_STREQ(valueOf(b->infoSection, "maxplayers"), "64");
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(player(b, "name", i), "player name " + std::to_string(i));
        EXPECT_EQ(player(b, "score", i), std::to_string(i * 3));
    }
    ASSERT_NE(record("10.0.0.1"), nullptr);
    EXPECT_STREQ(valueOf(record("10.0.0.1")->infoSection, "hostname"), "On This Machine");

    // The big reply came split, every datagram within 1400 bytes (how it is
    // split and numbered: hosting_test).
    int leading = 0;  // parts before the last, which alone carries "\final\"
    for (const auto& d : lan_.sent()) {
        if (d.fromAddress != SimulatedLan::address("10.0.0.21")) continue;
        EXPECT_LE(d.payload.size(), 1400u);
        leading += d.payload.find("\\final\\") == std::string::npos ? 1 : 0;
    }
    EXPECT_GT(leading, 0);

    // Players joining and leaving show in the next pass, in the same record.
    EXPECT_EQ(small.removePlayer(3), matchmaking::HostOk);
    EXPECT_EQ(small.removePlayer(3), matchmaking::HostBadPlayer);
    EXPECT_EQ(small.setPlayerValue(7, "player", "Late"), matchmaking::HostOk);
    EXPECT_EQ(small.setPlayerValue(1, "PLAYER", "P1 renamed"), matchmaking::HostOk);  // keys ignore case
    fullUpdate();
    EXPECT_EQ(record("10.0.0.20"), s);
    EXPECT_STREQ(valueOf(s->infoSection, "numplayers"), "3");
    EXPECT_EQ(player(s, "name", 0) + "," + player(s, "name", 1) + "," + player(s, "name", 2), "P1 renamed,P5,Late");
    EXPECT_EQ(small.getPlayerCount(), 3);
}

TEST_F(Hosting, SettersRefuseWhatTheReplyCannotCarryAndChangeNothing) {
    VelnarLanHost& game = host("10.0.0.20", "Strict");
    ASSERT_EQ(game.setPlayerLimit(2), matchmaking::HostOk);
    game.setServerValue("info", "mapname", "scree");
    game.setPlayerValue(0, "player", "Ada");
    const std::string nul("a\0b", 3);
    struct Case {
        const char* what;
        matchmaking::HostResult result;
        std::function<matchmaking::HostResult()> call;
    };
    const Case cases[] = {
        {"backslash in a value", matchmaking::HostBadValue, [&] { return game.setServerValue("info", "mapname", "a\\b"); }},
        {"NUL in a value", matchmaking::HostBadValue, [&] { return game.setServerValue("info", "mapname", nul); }},
        {"backslash in a key", matchmaking::HostBadKey, [&] { return game.setServerValue("info", "map\\name", "x"); }},
        {"empty key", matchmaking::HostBadKey, [&] { return game.setServerValue("info", "", "x"); }},
        {"NUL in a key", matchmaking::HostBadKey, [&] { return game.setPlayerValue(0, nul, "x"); }},
        {"key the service keeps", matchmaking::HostBadKey, [&] { return game.setServerValue("info", "NumPlayers", "9"); }},
        {"reply's own key", matchmaking::HostBadKey, [&] { return game.setServerValue("rules", "final", "x"); }},
        {"game name", matchmaking::HostBadKey, [&] { return game.setServerValue("basic", "gamename", "other"); }},
        {"unknown section", matchmaking::HostBadSection, [&] { return game.setServerValue("players", "x", "1"); }},
        {"value longer than a datagram", matchmaking::HostBadValue,
         [&] { return game.setServerValue("info", "mapname", std::string(1400, 'm')); }},
        {"player key too long to look up", matchmaking::HostBadKey,
         [&] { return game.setPlayerValue(0, std::string(28, 'k'), "x"); }},
        {"player slot below 0", matchmaking::HostBadPlayer, [&] { return game.setPlayerValue(-1, "player", "x"); }},
        {"player slot past the last", matchmaking::HostBadPlayer, [&] { return game.setPlayerValue(256, "player", "x"); }},
        {"no such player", matchmaking::HostBadPlayer, [&] { return game.removePlayer(5); }},
        {"limit below the players", matchmaking::HostBadLimit, [&] { return game.setPlayerLimit(0); }},
        {"limit past the slots", matchmaking::HostBadLimit, [&] { return game.setPlayerLimit(257); }},
        {"server full", matchmaking::HostServerFull,
         [&] { return game.setPlayerValue(1, "player", "Bo") == matchmaking::HostOk ? game.setPlayerValue(2, "player", "Cy")
                                                                                    : matchmaking::HostOk; }},
    };
    for (const Case& c : cases) EXPECT_EQ(c.call(), c.result) << c.what;
    game.removePlayer(1);  // added by the "server full" case

    // 64 datagrams at most: values that would make the reply longer are refused.
    int set = 0;
    matchmaking::HostResult last = matchmaking::HostOk;
    while (last == matchmaking::HostOk && set < 200)
        last = game.setServerValue("rules", "r" + std::to_string(set++), std::string(1300, 'v'));
    EXPECT_EQ(last, matchmaking::HostReplyTooLarge);
    replies_.clear();
    lan_.advance(1000);
    query(game, {"\\status\\"});
    EXPECT_EQ(replies_.size(), 64u);
    for (int i = 0; i < set - 1; ++i) game.setServerValue("rules", "r" + std::to_string(i), "");
    replies_.clear();
    lan_.advance(1000);
    query(game, {"\\status\\"});
    ASSERT_EQ(replies_.size(), 1u);
    for (const char* part : {"\\hostname\\Strict\\gamename\\ridgeline\\numplayers\\1\\maxplayers\\2\\",
                             "\\mapname\\scree\\", "\\r0\\\\r1\\", "\\player_0\\Ada\\final\\"})
        EXPECT_NE(replies_[0].find(part), std::string::npos) << part;
    EXPECT_EQ(replies_[0].find("player_1"), std::string::npos);
}

TEST_F(Hosting, OnlyLanSendersWithinTheLimitsAreAnswered) {
    VelnarLanHost& game = host("10.0.0.20", "Guarded");
    const HostLimits defaults = game.getLimits();
    struct Case {
        const char* what;
        std::string from;
        std::uint16_t port;
        std::string payload;
        std::uint64_t HostCounters::*counter;
    };
    const std::string status = "\\status\\";
    // Which addresses are local is the sender filter's own test (hosting_test).
    const Case cases[] = {
        {"LAN sender", "10.0.0.50", 40000, status, &HostCounters::answered},
        {"beyond the LAN", "203.0.113.5", 40000, status, &HostCounters::notLocal},
        {"from port 0", "10.0.0.50", 0, status, &HostCounters::notLocal},
        {"truncated", "10.0.0.50", 40000, "\\status", &HostCounters::notQueries},
        {"oversize", "10.0.0.50", 40000, status + "x", &HostCounters::notQueries},
        {"much longer", "10.0.0.50", 40000, std::string(3000, '\\'), &HostCounters::notQueries},
        {"another query", "10.0.0.50", 40000, "\\basic\\", &HostCounters::notQueries},
        {"letter case", "10.0.0.50", 40000, "\\STATUS\\", &HostCounters::notQueries},
        {"empty", "10.0.0.50", 40000, "", &HostCounters::notQueries},
        {"NUL inside", "10.0.0.50", 40000, std::string("\\stat\0s\\", 8), &HostCounters::notQueries},
    };
    for (const Case& c : cases) {
        const HostCounters before = game.getCounters();
        lan_.advance(1000);  // every bucket full again
        query(game, {c.payload}, c.from, c.port);
        const HostCounters after = game.getCounters();
        EXPECT_EQ(after.*c.counter, before.*c.counter + 1) << c.what;
        EXPECT_EQ(after.answered + after.refused(), before.answered + before.refused() + 1) << c.what;
    }

    // Floods: one sender gets its burst; many senders together the total burst.
    replies_.clear();
    lan_.advance(1000);
    HostCounters before = game.getCounters();
    query(game, std::vector<std::string>(1000, status));
    EXPECT_EQ(game.getCounters().answered - before.answered, 5u);
    EXPECT_EQ(game.getCounters().rateLimited - before.rateLimited, 995u);
    EXPECT_EQ(replies_.size(), 5u);
    lan_.advance(1000);
    before = game.getCounters();
    for (int i = 0; i < 3000; ++i)
        lan_.send(SimulatedLan::address("10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)), 40000,
                  SimulatedLan::address("10.0.0.20"), game.getPort(), status);
    game.update();
    EXPECT_EQ(game.getCounters().answered - before.answered, 100u);
    EXPECT_EQ(game.getCounters().rateLimited - before.rateLimited, 2900u);

    // A reply the system would not send is not counted as answered.
    const platform::Operations simulated = platform::current();
    platform::Operations failing = simulated;
    failing.sendTo = [](platform::Socket, const void*, int, std::uint32_t, std::uint16_t) { return -1; };
    lan_.advance(1000);
    before = game.getCounters();
    platform::install(failing);
    query(game, {status});
    platform::install(simulated);
    EXPECT_EQ(game.getCounters().answered, before.answered);
    EXPECT_EQ(game.getCounters().refused(), before.refused());

    // Limits the host changed; limits out of range are refused.
    HostLimits open = defaults;
    open.lanOnly = false;
    open.senderBurst = 1;
    EXPECT_EQ(game.setLimits(open), matchmaking::HostOk);
    before = game.getCounters();
    query(game, {status, status}, "203.0.113.5");
    EXPECT_EQ(game.getCounters().answered - before.answered, 1u);
    for (std::uint32_t HostLimits::*field :
         {&HostLimits::senderRate, &HostLimits::senderBurst, &HostLimits::totalRate, &HostLimits::totalBurst}) {
        for (std::uint32_t bad : {0u, 1000001u}) {
            HostLimits limits = defaults;
            limits.*field = bad;
            EXPECT_EQ(game.setLimits(limits), matchmaking::HostBadLimit);
        }
    }
    EXPECT_FALSE(game.getLimits().lanOnly);
}

TEST_F(Hosting, StartingTwiceStoppingAndTakenPorts) {
    IHostService* first = &host("10.0.0.20", "First");
    EXPECT_TRUE(first->isHosting());
    EXPECT_EQ(first->startHosting("Again", 0), matchmaking::HostAlreadyHosting);
    EXPECT_EQ(hosts_[0]->getPort(), 22000);

    lan_.setBindAddress("10.0.0.20");
    VelnarLanHost* second = CreateHostClass("second");
    hosts_.push_back(second);
    EXPECT_EQ(second->startHosting("Second", 22000), matchmaking::HostPortInUse);
    EXPECT_EQ(second->startHosting("Second", 70000), matchmaking::HostBadPort);
    EXPECT_FALSE(second->isHosting());
    EXPECT_EQ(second->startHosting("Second", 0), matchmaking::HostOk);  // the next free port
    EXPECT_EQ(second->getPort(), 22001);
    second->stopHosting();
    for (std::uint16_t port = 22001; port <= 22010; ++port) lan_.addSilentServer("10.0.0.20", port);
    EXPECT_EQ(second->startHosting("Second", 0), matchmaking::HostPortInUse);
    lan_.setSocketLimit(lan_.openSockets());
    EXPECT_EQ(second->startHosting("Second", 23000), matchmaking::HostSocketFailed);
    lan_.setSocketLimit(-1);
    EXPECT_EQ(second->startHosting("a\\b", 23000), matchmaking::HostBadValue);
    EXPECT_FALSE(second->isHosting());
    EXPECT_EQ(second->startHosting("Second", 23000), matchmaking::HostOk);
    lan_.setBindAddress("10.0.0.1");
    for (std::uint16_t port = 22001; port <= 22010; ++port) lan_.removeServer("10.0.0.20", port);

    // A stopped game answers nothing and gives its port back.
    first->stopHosting();
    first->stopHosting();
    EXPECT_FALSE(first->isHosting());
    EXPECT_EQ(hosts_[0]->getPort(), 0);
    first->update();
    fullUpdate();
    EXPECT_EQ(matchmaking_.serverDataCount, 0);  // 23000 is outside the browsed range
    EXPECT_EQ(lan_.openSockets(), 1);
    lan_.setBindAddress("10.0.0.20");
    EXPECT_EQ(first->startHosting("First again", 22000), matchmaking::HostOk);
    fullUpdate();
    ASSERT_NE(record("10.0.0.20"), nullptr);
    EXPECT_STREQ(valueOf(record("10.0.0.20")->infoSection, "hostname"), "First again");
    for (VelnarLanHost* h : hosts_) delete h;
    hosts_.clear();
    EXPECT_EQ(lan_.openSockets(), 0);
    delete service_;
    service_ = nullptr;
    EXPECT_EQ(lan_.socketsLayerUsers(), 0);
}

// A hosted game's announcements to live browsers: what is sent, when, to
// where, and nothing at all unless the host asks.
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
    // Hellos come up to 100 ms late (the jitter), others at the step. How
    // changes soon after a hello are spaced is the announcer's own test.
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
