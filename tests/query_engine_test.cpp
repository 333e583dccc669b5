// The query engine, on the simulated LAN: dispatch, replies (hostile ones
// too), pings, time-outs, progress and the end of a pass.
#include "support/BrowserFixture.h"

#include <map>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

std::string serverAddress(int i) { return "10.0.1." + std::to_string(i); }

// Text of exactly `size` bytes: the prefix, then filler, then the suffix.
std::string sized(std::size_t size, const std::string& prefix, const std::string& suffix, char filler = 'v') {
    return prefix + std::string(size - prefix.size() - suffix.size(), filler) + suffix;
}

class QueryEngine : public BrowserFixture {
protected:
    // Discovery over the servers added so far; leaves the browser Querying.
    void discover() {
        ASSERT_EQ(startPass(), NoError);
        finishDiscovery();
        events_.clear();
    }

    void addServers(int count, const std::vector<std::string>& reply = {"\\hostname\\h\\final\\"}) {
        for (int i = 1; i <= count; ++i) lan_.addStatusServer(serverAddress(i), 22000, reply);
    }

    // The queries sent.
    std::vector<SimulatedLan::Datagram> queries() const {
        std::vector<SimulatedLan::Datagram> sent;
        for (const auto& d : lan_.sent())
            if (d.toAddress != platform::BroadcastAddress) sent.push_back(d);
        return sent;
    }

    std::vector<std::int32_t> progressReports() const {
        std::vector<std::int32_t> reports;
        for (const auto& e : eventsOf(ServerUpdated)) reports.push_back(e.progress);
        return reports;
    }

    void step() {
        browser::think(browser_);
        lan_.advance(1);
    }

    BrowserServer* serverAt(const std::string& address, std::uint16_t port) {
        const std::int32_t i = browser::findServer(browser_, SimulatedLan::address(address), port);
        return i == -1 ? nullptr : browser::serverAt(browser_, i);
    }

    std::int32_t busySlots() const {
        std::int32_t busy = 0;
        for (std::int32_t i = 0; i < browser_->slotCount; ++i) busy += browser_->querySlots[i].server != nullptr;
        return busy;
    }
};

// Every free slot gets a query in each step, progress counts the queries
// sent, at most 64 slots are read in a step, and the pass ends in the step
// after the last event.
TEST_F(QueryEngine, SlotsStayFullAndAtMost64AreReadInAStep) {
    struct Case {
        std::int32_t slots;
        int servers;
        std::vector<std::size_t> reported;  // events after each step, from the one that sends the first queries
        std::vector<std::int32_t> progress;
    };
    const Case cases[] = {
        {4, 10, {0, 4, 8, 10}, {40, 40, 40, 40, 80, 80, 80, 80, 100, 100}},
        {70, 70, {0, 64, 70}, std::vector<std::int32_t>(70, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.slots) + " slots");
        makeBrowser(c.slots);
        addServers(c.servers);
        discover();
        lan_.clearSent();
        for (std::size_t k = 0; k < c.reported.size(); ++k) {
            step();
            EXPECT_EQ(eventsOf(ServerUpdated).size(), c.reported[k]) << "step " << k;
            if (k == 0) {
                EXPECT_EQ(busySlots(), c.slots);
                EXPECT_EQ(queries().size(), static_cast<std::size_t>(c.slots));
                for (const auto& q : queries()) EXPECT_EQ(q.payload, "\\status\\");
            }
        }
        EXPECT_EQ(progressReports(), c.progress);
        EXPECT_EQ(browser::state(browser_), Querying);  // not in the step of the last event
        step();
        EXPECT_EQ(browser::state(browser_), Idle);
        EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Idle}));
        EXPECT_EQ(queries().size(), static_cast<std::size_t>(c.servers));
        EXPECT_EQ(lan_.openSockets(), 0);
        for (int i = 1; i <= c.servers; ++i) lan_.removeServer(serverAddress(i), 22000);
    }
}

TEST_F(QueryEngine, OneEventAfterTheLastDatagramAndRequestsFromItAreRefused) {
    lan_.addStatusServer("10.0.1.1", 22000, {"\\hostname\\Alpha", "\\numplayers\\2", "\\mapname\\dust\\final\\"});
    std::vector<std::int32_t> results;
    onEvent = [&](std::int32_t event, BrowserServer*) {
        if (event == ServerUpdated) results = {startPass(), browser::clear(browser_)};
    };
    discover();
    step();  // query sent
    for (int datagram = 1; datagram <= 3; ++datagram) {
        EXPECT_TRUE(eventsOf(ServerUpdated).empty()) << datagram;
        step();  // one datagram per busy slot and step
    }
    ASSERT_EQ(eventsOf(ServerUpdated).size(), 1u);
    BrowserServer* s = browser::serverAt(browser_, 0);
    EXPECT_STREQ(server::stringValue(s, "hostname", ""), "Alpha");
    EXPECT_EQ(server::intValue(s, "numplayers", 0), 2);
    EXPECT_STREQ(server::stringValue(s, "mapname", ""), "dust");
    EXPECT_EQ(results, (std::vector<std::int32_t>{Busy, Busy}));
    runToIdle();
    EXPECT_EQ(eventsOf(ServerUpdated).size(), 1u);
    EXPECT_EQ(browser::serverCount(browser_), 1);
}

// Only the queried address and port may answer or fail a query. Strangers
// sending to the query's socket (from the target's other port or from other
// machines) or to the broadcast socket of the discovery that is over store
// nothing and add no server; a receive failure frees the slot only when it
// names the target, and then without an event.
TEST_F(QueryEngine, OnlyTheQueriedAddressAndPortMayAnswerOrFail) {
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "the target answers late" : "the target never answers");
        makeBrowser(4);
        lan_.addServer("10.0.1.1", 22000, [answers](SimulatedLan& lan, const SimulatedLan::Datagram& request) {
            if (request.broadcast) return lan.reply(request, "\\final\\");
            if (answers) lan.reply(request, "\\final\\", 400);  // after everything below
        });
        discover();
        step();
        const std::uint16_t broadcastPort = lan_.sent().front().fromPort;
        const auto query = queries().back();
        const std::uint32_t player = SimulatedLan::address("10.0.0.1");
        lan_.send(SimulatedLan::address("10.0.1.1"), 22001, player, query.fromPort, "\\spoof\\1\\final\\");
        for (std::uint32_t n = 0; n < 50; ++n) {
            const std::uint32_t stranger = SimulatedLan::address("10.0.2." + std::to_string(n + 1));
            lan_.send(stranger, 22000, player, broadcastPort, "\\final\\");
            lan_.send(stranger, 22000, player, query.fromPort, "\\spoof\\2\\final\\");
        }
        lan_.queueReceiveError(query.fromPort);  // a failure that names no sender
        for (int i = 0; i < 300; ++i) step();
        EXPECT_EQ(browser::serverCount(browser_), 1);
        BrowserServer* s = browser::serverAt(browser_, 0);
        EXPECT_EQ(s->ping, 9999);
        EXPECT_EQ(busySlots(), 1);
        if (!answers) lan_.queueReceiveError(query.fromPort, SimulatedLan::address("10.0.1.1"), 22000);
        step();
        EXPECT_EQ(busySlots(), answers ? 1 : 0);
        runToIdle();
        EXPECT_EQ(server::findPair(s, "spoof"), nullptr);
        EXPECT_EQ(browser::serverCount(browser_), 1);
        EXPECT_EQ(eventsOf(ServerUpdated).size(), answers ? 1u : 0u);
        EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Idle}));
        EXPECT_EQ(lan_.openSockets(), 0);
        lan_.removeServer("10.0.1.1", 22000);
        browser::clear(browser_);
        lan_.clearSent();
    }
}

// Hostile and malformed replies: oversized, unended, NUL-ridden and key-flooding.
TEST_F(QueryEngine, MalformedRepliesStoreWhatTheyHoldAndNothingElse) {
    std::string letters;  // 700 one-letter keys, the letter case varying
    for (int i = 0; i < 700; ++i) {
        const char key = static_cast<char>((i % 2 ? 'A' : 'a') + i % 26);
        letters += std::string("\\") + key + "\\" + std::to_string(i % 10);
    }
    ASSERT_EQ(letters.size(), 2800u);  // longer than a receive: two datagrams
    const std::string longKey(1400, 'k');
    struct Case {
        const char* what;
        std::vector<std::string> reply;
        bool completes;
        std::map<std::string, std::string> values;  // key to value, "" for absent
    };
    const Case cases[] = {
        {"1499 bytes without NUL", {sized(1499, "\\big\\", "\\final\\")}, true,
         {{"big", std::string(1499 - 5 - 7, 'v')}}},
        {"longer than a receive: cut at 1499, its \\final\\ lost",
         {sized(1600, "\\big\\", "\\final\\")}, false, {{"big", std::string(1499 - 5, 'v')}}},
        {"embedded NUL ends the text", {std::string("\\hostname\\A\0\\map\\x\\final\\", 25)}, false,
         {{"hostname", "A"}, {"map", ""}}},
        {"NUL then a later final datagram", {std::string("\\hostname\\A\0\\x\\1", 16), "\\numplayers\\2\\final\\"},
         true, {{"hostname", "A"}, {"x", ""}, {"numplayers", "2"}}},
        {"700 one-letter keys", {letters.substr(0, 1400), letters.substr(1400) + "\\final\\"}, true,
         // the last of the 700 to name a letter wins: key i sends i % 10
         {{"a", "6"}, {"B", "7"}, {"x", "9"}, {"Z", "5"}}},
        {"a key of 1400 characters", {"\\" + longKey + "\\long\\final\\"}, true, {{longKey, "long"}}},
    };
    std::uint32_t host = 10;
    for (const Case& c : cases)
        addServerAnswering("10.0.1." + std::to_string(host++), c.reply);
    ASSERT_EQ(startPass(), NoError);
    finishDiscovery();
    runToIdle(10);
    std::map<std::string, int> updates;
    for (const auto& e : eventsOf(ServerUpdated)) ++updates[e.address];
    host = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string address = "10.0.1." + std::to_string(host++);
        BrowserServer* s = serverAt(address, 22000);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(updates[address], c.completes ? 1 : 0);
        EXPECT_EQ(s->ping, 0);  // the first datagram always came, as it was asked
        for (const auto& [key, value] : c.values)
            EXPECT_EQ(server::stringValue(s, key.c_str(), ""), value) << key.substr(0, 20);
    }
    // 26 letters however many times and in whatever case they were sent.
    BrowserServer* letterServer = serverAt("10.0.1.14", 22000);
    std::int32_t pairs = 0;
    for (std::int32_t b = 0; b < letterServer->keys->bucketCount; ++b)
        pairs += dynarray::length(letterServer->keys->buckets[b]);
    EXPECT_EQ(pairs, 26);
    // A player key composed from the long key still finds nothing, safely.
    EXPECT_STREQ(server::playerStringValue(serverAt("10.0.1.15", 22000), 7, longKey.c_str(), "none"), "none");
    EXPECT_EQ(lan_.openSockets(), 0);
}

// A server that holds the only slot, silent or sending datagrams without
// end, is given up without an event at the first step more than 3000 ms
// after its query, and the slot goes to the next server in that step.
TEST_F(QueryEngine, AServerThatNeverFinishesIsGivenUpAtTheTimeLimit) {
    std::vector<std::string> ticks;  // one datagram every 100 ms for 6 s, never "\final\"
    for (int i = 0; i < 60; ++i) ticks.push_back("\\tick\\" + std::to_string(i));
    struct Case {
        const char* what;
        std::vector<std::string> reply;
        bool pollFails;        // until the time limit: a failing poll counts as nothing to read
        std::int16_t ping;
        const char* lastTick;  // one datagram read per step, up to 3000 ms
    };
    const Case cases[] = {{"silent, its poll failing", {}, true, 9999, ""}, {"endless", ticks, false, 0, "30"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        makeBrowser(1);
        addServerAnswering(serverAddress(1), c.reply, 100);
        lan_.addStatusServer(serverAddress(2), 22000, {"\\hostname\\two\\final\\"});
        discover();
        browser::think(browser_);  // the first server is queried
        const std::uint32_t queried = lan_.now();
        lan_.setPollFails(c.pollFails);
        while (lan_.now() - queried < 3000) {
            lan_.advance(1);
            browser::think(browser_);
        }
        lan_.setPollFails(false);
        EXPECT_EQ(busySlots(), 1);
        runToIdle();
        const auto reported = eventsOf(ServerUpdated);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0].address, serverAddress(2));
        EXPECT_EQ(reported[0].progress, 100);
        EXPECT_EQ(reported[0].tick - queried, 3002u);  // the next server's reply is read a step after its query
        BrowserServer* first = browser::serverAt(browser_, 0);
        EXPECT_EQ(first->ping, c.ping);
        EXPECT_STREQ(server::stringValue(first, "tick", ""), c.lastTick);
        EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Idle}));
        EXPECT_EQ(lan_.openSockets(), 0);
        EXPECT_EQ(lan_.pending(), 0u);  // the rest went with the closed socket
        lan_.removeServer(serverAddress(1), 22000);
        lan_.removeServer(serverAddress(2), 22000);
    }
}

// The ping is the network's delay of the first datagram, read at whatever
// step the host takes; a later pass keeps it.
TEST_F(QueryEngine, PingIsTheFirstDatagramsRoundTripAndSurvivesLaterPasses) {
    const struct {
        std::uint32_t step;
        std::uint32_t latency;
    } cases[] = {{1, 1}, {16, 1}, {16, 5}, {50, 40}, {5, 33}, {1, 25}};
    for (const auto& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step) + ", latency " + std::to_string(c.latency));
        makeBrowser(1);
        lan_.setLatency("10.0.1.1", c.latency);
        lan_.addStatusServer("10.0.1.1", 22000, {"\\a\\1", "\\b\\2\\final\\"}, 10);
        discover();
        runToIdle(c.step);
        BrowserServer* s = browser::serverAt(browser_, 0);
        EXPECT_EQ(s->ping, static_cast<std::int16_t>(c.latency));
        EXPECT_EQ(server::intValue(s, "ping", 0), static_cast<std::int32_t>(c.latency));
        lan_.setLatency("10.0.1.1", c.latency + 35);
        discover();
        runToIdle(c.step);
        EXPECT_EQ(s, browser::serverAt(browser_, 0));
        EXPECT_EQ(s->ping, static_cast<std::int16_t>(c.latency));
        EXPECT_EQ(eventsOf(ServerUpdated).size(), 1u);
    }
}

TEST_F(QueryEngine, HaltEndsThePassAfterHandlingWhatWasRead) {
    for (bool fromCallback : {false, true}) {
        makeBrowser(2);
        events_.clear();
        lan_.clearSent();
        addServers(6);
        if (fromCallback) onEvent = [this](std::int32_t event, BrowserServer*) {
            if (event == ServerUpdated) browser::halt(browser_);
        };
        discover();
        step();  // two queries out; their replies wait
        if (!fromCallback) browser::halt(browser_);
        const std::size_t queriesBefore = queries().size();
        browser::think(browser_);
        EXPECT_EQ(eventsOf(ServerUpdated).size(), 2u) << (fromCallback ? "halt in callback" : "halt before");
        EXPECT_EQ(browser::state(browser_), Idle);
        EXPECT_EQ(queries().size(), queriesBefore);
        EXPECT_EQ(lan_.openSockets(), 0);
        onEvent = nullptr;
    }
}

// The datagrams of a numbered reply of three parts to query number q.
std::vector<std::string> numberedReply(int q) {
    const std::string id = "\\queryid\\" + std::to_string(q) + ".";
    return {"\\hostname\\Alpha" + id + "1", "\\numplayers\\2" + id + "2", "\\mapname\\dust\\final\\" + id + "3"};
}

class QueryRetries : public QueryEngine {
protected:
    // A server at 10.0.1.1:22000 that answers its query number q (from 1)
    // with the parts script[q-1] of numberedReply(q), in the given order,
    // 2 ms apart (0 stands for an unnumbered datagram: the reply's text
    // without its queryid). Queries past the script go unanswered.
    void addScriptedServer(std::vector<std::vector<int>> script) {
        lan_.addServer("10.0.1.1", 22000, [this, script](SimulatedLan& lan, const SimulatedLan::Datagram& request) {
            if (request.broadcast) return lan.reply(request, "\\final\\");
            const int q = ++queriesSeen_;
            if (q > static_cast<int>(script.size())) return;
            std::uint32_t delay = 0;
            for (int part : script[q - 1]) {
                std::string datagram = part == 0 ? "\\hostname\\Alpha\\final\\" : numberedReply(q)[part - 1];
                lan.reply(request, datagram, delay);
                delay += 2;
            }
        });
    }
    int queriesSeen_ = 0;
};

TEST_F(QueryRetries, QuietServersAreAskedAgainAndTheReplyIsHeldUntilEveryPartCame) {
    struct Case {
        const char* name;
        std::vector<std::vector<int>> script;  // parts sent for each query
        bool reported;
        int queries;
    };
    const Case cases[] = {
        {"in order", {{1, 2, 3}}, true, 1},
        {"final part first", {{3, 1, 2}}, true, 1},
        {"every part twice", {{1, 1, 3, 2, 3, 2}}, true, 1},
        {"first query lost", {{}, {1, 2, 3}}, true, 2},
        {"three queries lost", {{}, {}, {}, {2, 3, 1}}, true, 4},
        {"four queries lost", {{}, {}, {}, {}}, false, 4},
        {"a part lost, asked again", {{1, 3}, {2}}, true, 2},
        {"a part never comes", {{1, 3}, {1, 3}, {3}, {1}}, false, 4},
        {"numbering nothing", {{0}}, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeBrowser(1);
        queriesSeen_ = 0;
        events_.clear();
        lan_.setLatency("10.0.1.1", 7);
        addScriptedServer(c.script);
        discover();
        const std::uint32_t start = lan_.now();
        runToIdle();
        EXPECT_EQ(eventsOf(ServerUpdated).size(), c.reported ? 1u : 0u);
        EXPECT_EQ(queriesSeen_, c.queries);
        // Asked again only after more than RetryInterval without news, and
        // never after the first query's 3 s.
        const auto sent = queries();
        for (std::size_t k = 1; k < sent.size(); ++k) EXPECT_GT(sent[k].sentAt - sent[k - 1].sentAt, browser::RetryInterval);
        for (const auto& q : sent) EXPECT_LE(q.sentAt - start, 3000u);
        BrowserServer* s = browser::serverAt(browser_, 0);
        if (c.reported) {
            EXPECT_EQ(s->ping, 7);  // from the query that was answered
            EXPECT_STREQ(server::stringValue(s, "hostname", ""), "Alpha");
            if (c.script[0] != std::vector<int>{0}) {
                EXPECT_EQ(server::intValue(s, "numplayers", 0), 2);
                EXPECT_STREQ(server::stringValue(s, "mapname", ""), "dust");
            }
        }
        lan_.clearSent();
        browser::clear(browser_);
    }
}

// A LAN of servers whose replies come in three numbered parts, browsed
// once clean and once impaired: every server listed on the impaired LAN
// holds exactly the pairs it holds on the clean one.
using Record = std::map<std::string, std::string>;

// Browses servers 1 to `servers` of this LAN in one pass and counts those
// reported into *reported.
std::map<std::string, Record> browse(SimulatedLan& lan, int servers, int* reported) {
    for (int i = 1; i <= servers; ++i) {
        const std::string name = "server" + std::to_string(i);
        lan.addServer(serverAddress(i), static_cast<std::uint16_t>(22000 + i % 11),
                      [name, q = 0](SimulatedLan& l, const SimulatedLan::Datagram& request) mutable {
                          const std::string id = "\\queryid\\" + std::to_string(++q) + ".";
                          std::vector<std::string> parts = {"\\hostname\\" + name + id + "1",
                                                            "\\numplayers\\3\\player_0\\a\\player_1\\b" + id + "2",
                                                            "\\player_2\\c\\mapname\\" + name + "\\final\\" + id + "3"};
                          for (std::size_t k = 0; k < parts.size(); ++k)
                              l.reply(request, parts[k], static_cast<std::uint32_t>(k));
                      });
    }
    ServerBrowser* browser = browser::create("p", "s", "k", 8,
        [](ServerBrowser*, std::int32_t event, void* instance, void*, std::int32_t) {
            if (event == ServerUpdated) ++*static_cast<int*>(instance);
        }, 1, reported);
    browser::lanUpdate(browser, 1, 22000, 22010, 1);
    for (int steps = 0; browser::state(browser) != Idle && steps < 2000; ++steps) {
        browser::think(browser);
        lan.advance(5);
    }
    std::map<std::string, Record> found;
    for (std::int32_t i = 0; i < browser::serverCount(browser); ++i) {
        BrowserServer* s = browser::serverAt(browser, i);
        Record record;
        for (const char* key : {"hostname", "numplayers", "player_0", "player_1", "player_2", "mapname"})
            if (const KeyValuePair* pair = server::findPair(s, key)) record[key] = pair->value;
        found[std::string(server::address(s)) + ":" + std::to_string(server::queryPort(s))] = record;
    }
    browser::destroy(browser);
    return found;
}

TEST(ImpairedLan, ListedRecordsAreTheCleanLansValueByValue) {
    using Impairment = SimulatedLan::Impairment;
    struct Case {
        const char* name;
        Impairment impairment;  // both ways
        int atLeast;            // of 60 servers
    };
    Impairment bursty;
    bursty.burstStart = 0.03;
    bursty.burstEnd = 0.4;
    Impairment duplicated;
    duplicated.duplicate = 0.3;
    Impairment reordered;
    reordered.reorder = 0.3;
    reordered.reorderDelay = 40;
    Impairment lossy;
    lossy.loss = 0.2;
    Impairment everything = bursty;
    everything.duplicate = 0.2;
    everything.reorder = 0.2;
    everything.reorderDelay = 25;
    const Case cases[] = {
        {"clean: the records the others are compared with", Impairment{}, 60},
        {"bursty loss", bursty, 60},
        {"duplication", duplicated, 60},
        {"reordering", reordered, 60},
        {"20 % loss", lossy, 56},
        {"all at once", everything, 58},
    };
    std::map<std::string, Record> clean;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedLan lan;
        lan.setImpairment(SimulatedLan::Direction::ToPlayer, c.impairment, 7);
        lan.setImpairment(SimulatedLan::Direction::FromPlayer, c.impairment, 8);
        int reported = 0;
        const std::map<std::string, Record> found = browse(lan, 60, &reported);
        if (clean.empty()) clean = found;
        // Every server reported is complete and exactly as on the clean LAN.
        int complete = 0;
        for (const auto& [endpoint, record] : found) {
            if (record.size() != 6) continue;
            ++complete;
            EXPECT_EQ(record, clean.at(endpoint)) << endpoint;
        }
        EXPECT_EQ(reported, complete);
        EXPECT_GE(complete, c.atLeast);
    }
}

}  // namespace
}  // namespace brenn::testing
