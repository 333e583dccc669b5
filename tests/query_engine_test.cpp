// The query engine, on the simulated LAN: dispatch, replies, pings,
// time-outs, progress and the end of a pass.
#include "support/BrowserFixture.h"

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

std::string serverAddress(int i) { return "10.0.1." + std::to_string(i); }

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
        for (const auto& e : serverEvents()) reports.push_back(e.progress);
        return reports;
    }

    void step() {
        browser::think(browser_);
        lan_.advance(1);
    }

    std::int32_t busySlots() const {
        std::int32_t busy = 0;
        for (std::int32_t i = 0; i < browser_->slotCount; ++i) busy += browser_->querySlots[i].server != nullptr;
        return busy;
    }
};

TEST_F(QueryEngine, SlotsStayFullAndProgressCountsQueriesSent) {
    addServers(10);
    discover();
    lan_.clearSent();
    step();
    EXPECT_EQ(browser_->nextIndex, 4);
    EXPECT_EQ(queries().size(), 4u);
    for (const auto& q : queries()) EXPECT_EQ(q.payload, "\\status\\");
    step();  // four replies read, four more queries
    step();  // four more, the last two sent
    step();  // the last two replies
    EXPECT_EQ(progressReports(), (std::vector<std::int32_t>{40, 40, 40, 40, 80, 80, 80, 80, 100, 100}));
    EXPECT_EQ(browser::state(browser_), Querying);  // not in the step of the last event
    step();
    EXPECT_EQ(browser::state(browser_), Idle);
    EXPECT_EQ(stateChanges(), (std::vector<std::int32_t>{Idle}));
    EXPECT_EQ(queries().size(), 10u);
    EXPECT_EQ(lan_.openSockets(), 0);
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
        EXPECT_TRUE(serverEvents().empty()) << datagram;
        step();  // one datagram per busy slot and step
    }
    ASSERT_EQ(serverEvents().size(), 1u);
    BrowserServer* s = browser::serverAt(browser_, 0);
    EXPECT_STREQ(server::stringValue(s, "hostname", ""), "Alpha");
    EXPECT_EQ(server::intValue(s, "numplayers", 0), 2);
    EXPECT_STREQ(server::stringValue(s, "mapname", ""), "dust");
    EXPECT_EQ(results, (std::vector<std::int32_t>{Busy, Busy}));
    runToIdle();
    EXPECT_EQ(serverEvents().size(), 1u);
    EXPECT_EQ(browser::serverCount(browser_), 1);
}

TEST_F(QueryEngine, OnlyTheQueriedAddressAndPortMayAnswerOrFail) {
    addServerAnswering("10.0.1.1", {});
    discover();
    step();
    const auto query = queries().back();
    const std::uint32_t player = SimulatedLan::address("10.0.0.1");
    lan_.send(SimulatedLan::address("10.0.1.1"), 22001, player, query.fromPort, "\\spoof\\1\\final\\");
    lan_.send(SimulatedLan::address("10.0.1.2"), 22000, player, query.fromPort, "\\spoof\\2\\final\\");
    lan_.queueReceiveError(query.fromPort);  // a failure that names no sender
    for (int i = 0; i < 3; ++i) step();
    BrowserServer* s = browser::serverAt(browser_, 0);
    EXPECT_EQ(server::findPair(s, "spoof"), nullptr);
    EXPECT_EQ(s->ping, 9999);
    EXPECT_EQ(busySlots(), 1);
    // A failure that names the target frees the slot, without an event.
    lan_.queueReceiveError(query.fromPort, SimulatedLan::address("10.0.1.1"), 22000);
    step();
    EXPECT_EQ(busySlots(), 0);
    step();
    EXPECT_EQ(browser::state(browser_), Idle);
    EXPECT_TRUE(serverEvents().empty());
}

TEST_F(QueryEngine, SilentServersTimeOutAndThePassGoesOn) {
    makeBrowser(1);
    addServerAnswering(serverAddress(1), {});
    lan_.addStatusServer(serverAddress(2), 22000, {"\\hostname\\two\\final\\"});
    discover();
    browser::think(browser_);  // silent server queried at t0
    const std::uint32_t t0 = lan_.now();
    lan_.setPollFails(true);  // a failing poll counts as nothing to read
    lan_.advance(3000);
    browser::think(browser_);
    EXPECT_EQ(busySlots(), 1);
    lan_.setPollFails(false);
    lan_.advance(1);
    browser::think(browser_);  // freed, and the slot goes to the next server
    EXPECT_EQ(lan_.now() - t0, 3001u);
    EXPECT_EQ(browser_->nextIndex, 2);
    runToIdle();
    EXPECT_EQ(progressReports(), (std::vector<std::int32_t>{100}));
    EXPECT_EQ(serverEvents()[0].address, serverAddress(2));
    EXPECT_EQ(browser::serverAt(browser_, 0)->ping, 9999);
}

TEST_F(QueryEngine, PingIsTheFirstDatagramsDelayAndSurvivesLaterPasses) {
    lan_.setLatency("10.0.1.1", 25);
    lan_.addStatusServer("10.0.1.1", 22000, {"\\a\\1", "\\b\\2\\final\\"}, 10);
    discover();
    runToIdle();
    BrowserServer* s = browser::serverAt(browser_, 0);
    EXPECT_EQ(s->ping, 25);
    EXPECT_EQ(server::intValue(s, "ping", 0), 25);
    lan_.setLatency("10.0.1.1", 60);
    discover();
    runToIdle();
    EXPECT_EQ(s, browser::serverAt(browser_, 0));
    EXPECT_EQ(s->ping, 25);
    EXPECT_EQ(serverEvents().size(), 1u);
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
        EXPECT_EQ(serverEvents().size(), 2u) << (fromCallback ? "halt in callback" : "halt before");
        EXPECT_EQ(browser::state(browser_), Idle);
        EXPECT_EQ(queries().size(), queriesBefore);
        EXPECT_EQ(lan_.openSockets(), 0);
        onEvent = nullptr;
    }
}

TEST_F(QueryEngine, AtMost64SlotsAreReadInAStep) {
    makeBrowser(70);
    addServers(70);
    discover();
    step();
    EXPECT_EQ(busySlots(), 70);
    step();
    EXPECT_EQ(serverEvents().size(), 64u);
    step();
    EXPECT_EQ(serverEvents().size(), 70u);
    step();
    EXPECT_EQ(browser::state(browser_), Idle);
}

}  // namespace
}  // namespace brenn::testing
