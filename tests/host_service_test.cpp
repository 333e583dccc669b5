// The hosting service through the plug-in's public interface, on the
// simulated LAN: hosted games as the join service finds them, and the query
// port's defences as a sender on the LAN or beyond it sees them.
#include "support/ServiceFixture.h"

namespace brenn::testing {
namespace {

using matchmaking::HostCounters;
using matchmaking::HostLimits;
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
        {"to a broadcast", "255.255.255.255", 40000, status, &HostCounters::notLocal},
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

}  // namespace
}  // namespace brenn::testing
