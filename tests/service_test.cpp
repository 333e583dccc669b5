// The join service end to end through its public interface, on the
// simulated LAN: updates as the host sees them, the records they fill, and
// the order sortServers announces them in.
#include "support/ServiceFixture.h"

namespace brenn::testing {
namespace {

using Service = ServiceFixture;

TEST_F(Service, AFullUpdateAsTheHostSeesIt) {
    // Another spelling of the game name, queried and parsed first, hides no server.
    addServer("10.0.0.6", {{"gamename", "Ridgeline"}, {"hostname", "Capital"}});
    addServer("10.0.0.7", {{"gamename", "ridgeline"}, {"hostname", "Alpha"}});
    addServer("10.0.0.8", {{"hostname", "NoGameName"}});
    addServer("10.0.0.10", {{"gamename", "ridgeline "}, {"hostname", "Blank"}});
    addServer("10.0.0.11", {{"gamename", "othergame"}, {"hostname", "Other"}});
    EXPECT_FALSE(service().isUpdating());
    service().serverListFullUpdate();
    EXPECT_TRUE(service().isUpdating());
    EXPECT_TRUE(calls_.empty());  // the request returns at once, silently
    drive();
    EXPECT_EQ(stateCodes(), (std::vector<std::uint32_t>{4, 1}));
    ASSERT_EQ(serverCalls().size(), 2u);
    EXPECT_TRUE(calls_.front().state);
    EXPECT_FALSE(calls_.back().updatingAtCall);  // cleared before the hook hears 1
    std::vector<std::string> names;
    for (const HookCall& c : serverCalls()) {
        names.push_back(valueOf(c.record->infoSection, "hostname"));
        EXPECT_TRUE(c.isNew);
        EXPECT_EQ(c.progress, 80u);  // four of five queries sent
        EXPECT_EQ(c.record->serviceId, "lan-join");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "NoGameName"}));
    EXPECT_EQ(matchmaking_.serverDataCount, 2);
    EXPECT_EQ(service().getUpdateProblem(), matchmaking::UpdateFine);
    const std::size_t callsAfter = calls_.size();
    const std::size_t sentAfter = lan_.sent().size();
    service().update();
    EXPECT_EQ(calls_.size(), callsAfter);
    EXPECT_EQ(lan_.sent().size(), sentAfter);
}

TEST_F(Service, RecordsAreFilledThroughTheKeyMap) {
    lan_.setLatency("10.0.0.7", 35);
    addServer("10.0.0.7", {{"hostname", "Alpha"}, {"numplayers", "3"}, {"player_0", "Ann"}, {"player_2", "Cy"}});
    addServer("10.0.0.7", {{"hostname", "Second port"}, {"numplayers", "x"}, {"player_0", "Nobody"}}, 22001);
    addServer("10.0.0.8", {{"numplayers", "2000000000"}, {"player_5", "Eve"}, {"mapname", "dust"}});
    lan_.setLatency("10.0.0.8", 50);  // reported last
    fullUpdate();
    ServerData* first = record("10.0.0.7", 22000);
    ServerData* second = record("10.0.0.7", 22001);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(valueOf(first->infoSection, "hostname"), "Alpha");
    EXPECT_STREQ(valueOf(first->infoSection, "mapname"), "(NONE)");
    EXPECT_STREQ(valueOf(first->rulesSection, "fraglimit"), "(NONE)");
    EXPECT_STREQ(valueOf(first->infoSection, "ping"), "35");  // not the mapped hostname
    EXPECT_EQ(first->infoSection.count, 5);                   // and no second ping
    EXPECT_STREQ(valueOf(first->playersSection, "name", "0"), "Ann");
    EXPECT_STREQ(valueOf(first->playersSection, "name", "1"), "(NONE)");
    EXPECT_STREQ(valueOf(first->playersSection, "name", "2"), "Cy");
    EXPECT_EQ(first->playersSection.count, 3);
    EXPECT_EQ(second->playersSection.count, 0);  // "numplayers" not a number: none
    EXPECT_EQ(first->serverId, 1u);
    EXPECT_EQ(second->serverId, 2u);
    EXPECT_EQ(first->address, "10.0.0.7");
    // Huge player counts are bounded.
    const ServerData* third = record("10.0.0.8");
    EXPECT_EQ(third->playersSection.count, +VelnarLanJoin::MaxPlayers);
    EXPECT_STREQ(valueOf(third->playersSection, "name", "5"), "Eve");
    EXPECT_STREQ(valueOf(third->infoSection, "title"), "dust");
    EXPECT_STREQ(valueOf(third->rulesSection, "title"), "dust");
}

TEST_F(Service, LaterPassesRefreshRecordsWithoutNewIds) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}, {"numplayers", "3"}, {"player_0", "Ann"}, {"player_1", "Bo"}});
    fullUpdate();
    addServer("10.0.0.7", {{"hostname", "Renamed"}, {"numplayers", "1"}, {"player_0", "Bo"}});
    addServer("10.0.0.8", {{"hostname", "Beta"}});
    calls_.clear();
    fullUpdate();
    ASSERT_EQ(serverCalls().size(), 2u);
    for (const HookCall& c : serverCalls()) EXPECT_EQ(c.isNew, c.record->address == "10.0.0.8");
    EXPECT_STREQ(valueOf(record("10.0.0.7")->infoSection, "hostname"), "Renamed");
    // The players who left are gone from the refreshed record.
    EXPECT_STREQ(valueOf(record("10.0.0.7")->playersSection, "name", "0"), "Bo");
    EXPECT_EQ(record("10.0.0.7")->playersSection.count, 1);
    EXPECT_EQ(record("10.0.0.7")->serverId, 1u);
    EXPECT_EQ(record("10.0.0.8")->serverId, 2u);
    EXPECT_EQ(matchmaking_.serverDataCount, 2);
    EXPECT_EQ(service().getNextServerId(), 3u);
    VelnarLanJoin* other = CreateJoinClass("", &matchmaking_);  // each service counts for itself
    EXPECT_EQ(other->getNextServerId(), 1u);
    delete other;
    EXPECT_EQ(CreateJoinClass("x", nullptr), nullptr);
}

TEST_F(Service, AuxUpdatesKeepServersAndRequestsDuringAPassChangeNothing) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    fullUpdate();
    lan_.removeServer("10.0.0.7", 22000);
    lan_.addSilentServer("10.0.0.7", 22000);
    addServer("10.0.0.8", {{"hostname", "Beta"}});
    service().serverListAuxUpdate("ignored", 7, matchmaking::QueryInfo);
    // A full update, an info update or clearServers while the pass runs:
    // ignored, and the pass goes on with the servers it has.
    service().update();
    service().serverListFullUpdate();
    service().serverListInfoUpdate("x", matchmaking::QueryRules);
    service().clearServers();
    EXPECT_TRUE(service().isUpdating());
    lan_.advance(3001);
    drive();
    // 10.0.0.7 was queried again (four times, as it stayed silent): the
    // list was kept.
    int queriesTo7 = 0;
    for (const auto& d : lan_.sent())
        queriesTo7 += d.toAddress == platform::SimulatedLan::address("10.0.0.7") ? 1 : 0;
    EXPECT_EQ(queriesTo7, 1 + 4);
    EXPECT_EQ(matchmaking_.serverDataCount, 2);
    // An info update starts from an empty list, like a full one.
    lan_.clearSent();
    service().serverListInfoUpdate("x", matchmaking::QueryRules);
    lan_.advance(3001);
    drive();
    EXPECT_EQ(stateCodes().back(), 1u);
}

TEST_F(Service, AnUpdateThatCouldSendNoBroadcastSaysSo) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    // A point-to-point link and no route for 255.255.255.255: nothing can
    // be sent, and the update ends once every round was tried.
    lan_.addInterface("10.0.9.1", "255.255.255.255", platform::SimulatedLan::PointToPointInterface);
    lan_.setBroadcastRoute("");
    const std::uint32_t start = lan_.now();
    fullUpdate();
    EXPECT_LT(lan_.now() - start, 2100u);
    EXPECT_EQ(stateCodes(), (std::vector<std::uint32_t>{4, 1}));
    EXPECT_EQ(service().getUpdateProblem(), matchmaking::UpdateNoBroadcast);
    EXPECT_EQ(matchmaking_.serverDataCount, 0);
    // A network with a broadcast address comes up: the next update asks it.
    lan_.addInterface("10.0.0.2", "255.255.255.0");
    fullUpdate();
    EXPECT_EQ(service().getUpdateProblem(), matchmaking::UpdateFine);
    EXPECT_EQ(matchmaking_.serverDataCount, 1);
}

TEST_F(Service, AnUpdateThatCannotStartEndsAtOnceForTheHost) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    lan_.setSocketLimit(0);
    for (bool aux : {false, true}) {
        calls_.clear();
        if (aux) service().serverListAuxUpdate("", 0, matchmaking::QueryStatus);
        else service().serverListFullUpdate();
        // The host's own loop ends at once.
        int steps = 0;
        while (service().isUpdating() && steps < 10) {
            service().update();
            ++steps;
        }
        EXPECT_EQ(steps, 0);
        EXPECT_EQ(stateCodes(), (std::vector<std::uint32_t>{1}));
        EXPECT_FALSE(calls_.back().updatingAtCall);
        EXPECT_EQ(service().getUpdateProblem(), matchmaking::UpdateNoSocket);
    }
    lan_.setSocketLimit(-1);
    fullUpdate();
    EXPECT_EQ(service().getUpdateProblem(), matchmaking::UpdateFine);
    EXPECT_EQ(matchmaking_.serverDataCount, 1);
}

TEST_F(Service, DestroyingTheServiceDuringAPassCallsNoHook) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    fullUpdate();
    service().serverListFullUpdate();
    lan_.advance(3001);
    service().update();  // querying
    calls_.clear();
    delete service_;
    service_ = nullptr;
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(matchmaking_.serverDataCount, 1);
    EXPECT_EQ(lan_.openSockets(), 0);
}

TEST_F(Service, ALiveListAsTheHostSeesIt) {
    std::vector<ServerData*> gone;
    service().setServerGoneHook([](ServerData* record, void* context) {
        static_cast<std::vector<ServerData*>*>(context)->push_back(record);
    }, &gone);
    addServer("10.0.0.7", {{"gamename", "ridgeline"}, {"hostname", "Alpha"}});
    addServer("10.0.0.8", {{"hostname", "Beta"}}, 22004);
    addServer("10.0.0.9", {{"gamename", "othergame"}});
    EXPECT_FALSE(service().setServerLimits({0, 10}));  // the bounds: refused below 1
    EXPECT_TRUE(service().setServerLimits({11, 100}));
    service().serverListLiveUpdate();
    EXPECT_TRUE(service().isUpdating());
    EXPECT_TRUE(service().isLive());
    service().serverListFullUpdate();  // ignored while the list is open
    service().clearServers();
    stepFor(200);
    // Both reported long before the sweep is over.
    ASSERT_EQ(serverCalls().size(), 2u);
    for (const HookCall& c : serverCalls()) EXPECT_TRUE(c.isNew && c.updatingAtCall);
    EXPECT_TRUE(stateCodes().empty());
    stepFor(3000);
    EXPECT_EQ(stateCodes(), (std::vector<std::uint32_t>{matchmaking::HostStateLive}));
    // A change is reported; a server that stops answering goes, its record
    // staying the host's.
    addServer("10.0.0.7", {{"gamename", "ridgeline"}, {"hostname", "Renamed"}});
    lan_.removeServer("10.0.0.8", 22004);
    ServerData* beta = record("10.0.0.8", 22004);
    stepFor(30000);
    ASSERT_EQ(serverCalls().size(), 3u);
    EXPECT_FALSE(serverCalls()[2].isNew);
    EXPECT_STREQ(valueOf(record("10.0.0.7")->infoSection, "hostname"), "Renamed");
    ASSERT_EQ(gone, (std::vector<ServerData*>{beta}));
    EXPECT_EQ(beta->browserServer, nullptr);
    EXPECT_EQ(matchmaking_.serverDataCount, 2);
    service().closeList();
    EXPECT_FALSE(service().isUpdating());
    EXPECT_FALSE(service().isLive());
    EXPECT_EQ(stateCodes().back(), matchmaking::HostStateIdle);
    // The host deleted the gone record: the server back is new to it.
    delete beta;
    addServer("10.0.0.8", {{"hostname", "Beta"}}, 22004);
    calls_.clear();
    service().serverListLiveUpdate();
    stepFor(150);
    ASSERT_EQ(serverCalls().size(), 2u);
    for (const HookCall& c : serverCalls()) EXPECT_EQ(c.isNew, c.record->address == "10.0.0.8");
    delete service_;  // while the list is open: no hook, nothing left open
    service_ = nullptr;
    EXPECT_EQ(lan_.openSockets(), 0);
}

// A host that never opens a live list gets the pass it always got; one
// that opened and closed one gets the same pass afterwards: the same
// datagrams at the same times, the same sockets, states and reports.
TEST_F(Service, APassIsTheSameWithOrWithoutALiveListBefore) {
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    addServer("10.0.0.8", {{"hostname", "Beta"}}, 22003);
    lan_.addSilentServer("10.0.0.9", 22005);
    struct Pass {
        std::vector<std::string> sent;  // ms after the request, destination, text
        std::vector<std::uint32_t> states;
        std::vector<std::string> reports;
        int sockets = 0;                // open while the pass runs
    };
    const auto pass = [&] {
        Pass p;
        calls_.clear();
        lan_.clearSent();
        const std::uint32_t start = lan_.now();
        service().serverListFullUpdate();
        p.sockets = lan_.openSockets();
        drive();
        for (const auto& d : lan_.sent())
            p.sent.push_back(std::to_string(d.sentAt - start) + " " + platform::addressToText(d.toAddress) + ":" +
                             std::to_string(d.toPort) + " " + d.payload);
        p.states = stateCodes();
        for (const HookCall& c : serverCalls())
            p.reports.push_back(c.record->address + (c.isNew ? " new " : " known ") + std::to_string(c.progress));
        matchmaking_.disposeServerData();
        return p;
    };
    const Pass first = pass();
    EXPECT_EQ(first.sockets, 5);  // four query slots and the broadcast socket
    EXPECT_EQ(first.reports.size(), 2u);
    service().serverListLiveUpdate();
    stepFor(40000, 5);
    service().closeList();
    matchmaking_.disposeServerData();  // what the live list reported
    const Pass second = pass();
    EXPECT_EQ(second.sent, first.sent);
    EXPECT_EQ(second.states, first.states);
    EXPECT_EQ(second.reports, first.reports);
    EXPECT_EQ(second.sockets, first.sockets);
}

TEST_F(Service, AMissingKeyMapIsShownOnceAndOnlyThePingIsWritten) {
    std::filesystem::remove(directory_ / "MultiplayerServers" / "VelnarKeyMap.ini");
    addServer("10.0.0.7", {{"hostname", "Alpha"}});
    fullUpdate();
    ASSERT_EQ(lan_.messages().size(), 1u);
    EXPECT_EQ(lan_.messages()[0], "Error locating file: Error: Couldn't find Key Map file: " + directory_.string() +
                                      "\\MultiplayerServers\\VelnarKeyMap.ini");
    EXPECT_EQ(record("10.0.0.7")->infoSection.count, 1);
    EXPECT_NE(valueOf(record("10.0.0.7")->infoSection, "ping"), nullptr);
}

// sortServers as the host sees it: the order of the re-announcements.
class ServiceSort : public ServiceFixture {
protected:
    // Three servers with the values 30, 5 and 12 under "fraglimit", plus one
    // of another game (in the browser, without a record). The game key
    // "frags" translates to "fraglimit"; other keys stand for themselves.
    void SetUp() override {
        ServiceFixture::SetUp();
        writeKeyMap("rules.frags=fraglimit;\n");
        addServer("10.0.0.7", {{"hostname", "A"}, {"fraglimit", "30"}, {"ratio", "1.5"}});
        addServer("10.0.0.8", {{"hostname", "b"}, {"fraglimit", "5"}, {"ratio", "-0.5"}});
        addServer("10.0.0.9", {{"hostname", "C"}, {"fraglimit", "12"}});
        addServer("10.0.0.10", {{"gamename", "other"}, {"fraglimit", "1"}});
        fullUpdate();
        calls_.clear();
    }

    std::vector<std::string> announced() {
        std::vector<std::string> addresses;
        for (const HookCall& c : serverCalls()) {
            EXPECT_EQ(c.progress, 0u);
            EXPECT_TRUE(c.isNew);
            addresses.push_back(c.record->address);
        }
        calls_.clear();
        return addresses;
    }
};

TEST_F(ServiceSort, AnnouncesRecordsInSortedOrder) {
    using V = std::vector<std::string>;
    struct Case {
        bool ascending;
        const char* key;
        std::int32_t mode;
        V expected;
    };
    const Case cases[] = {
        {true, "fraglimit", matchmaking::CompareInteger, {"10.0.0.8", "10.0.0.9", "10.0.0.7"}},
        {false, "fraglimit", matchmaking::CompareInteger, {"10.0.0.7", "10.0.0.9", "10.0.0.8"}},
        {true, "frags", matchmaking::CompareInteger, {"10.0.0.8", "10.0.0.9", "10.0.0.7"}},
        // A missing value counts as 0.0, between -0.5 and 1.5.
        {true, "ratio", matchmaking::CompareFloat, {"10.0.0.8", "10.0.0.9", "10.0.0.7"}},
        {true, "hostname", matchmaking::CompareCaseInsensitive, {"10.0.0.7", "10.0.0.8", "10.0.0.9"}},
        // Modes outside 0 to 3 compare as case-sensitive text.
        {true, "hostname", 9, {"10.0.0.7", "10.0.0.9", "10.0.0.8"}},
    };
    for (const Case& c : cases) {
        service().sortServers(c.ascending, c.key, static_cast<matchmaking::CompareMode>(c.mode));
        EXPECT_EQ(announced(), c.expected) << c.key << " mode " << c.mode << (c.ascending ? " up" : " down");
    }
}

TEST_F(ServiceSort, HooksThatClearOrSortAgainDoNotDisturbTheWalk) {
    int nested = 0;
    onHook = [&](const HookCall& c) {
        if (c.state || nested++ > 0) return;
        service().sortServers(false, "fraglimit", matchmaking::CompareInteger);
        service().clearServers();
    };
    service().sortServers(true, "fraglimit", matchmaking::CompareInteger);
    onHook = nullptr;
    // The nested sort announced three; the outer walk still announced its
    // three, in its own order, although the browser is empty by now.
    const std::vector<std::string> all = announced();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 4),
              (std::vector<std::string>{"10.0.0.8", "10.0.0.7", "10.0.0.9", "10.0.0.8"}));
    EXPECT_EQ(all[4], "10.0.0.9");
    EXPECT_EQ(all[5], "10.0.0.7");
    // The records outlive the cleared browser, but only listed servers are announced.
    service().sortServers(true, "fraglimit", matchmaking::CompareInteger);
    EXPECT_TRUE(calls_.empty());
}

TEST_F(ServiceSort, SortingDuringAnUpdateStillQueriesEveryServerOnce) {
    for (int i = 11; i <= 14; ++i) addServer("10.0.0." + std::to_string(i), {{"hostname", "late"}});
    bool sorted = false;
    onHook = [&](const HookCall& c) {
        if (c.state || c.progress == 0 || sorted) return;
        sorted = true;  // after the first report, while the rest wait
        service().sortServers(true, "fraglimit", matchmaking::CompareInteger);
    };
    fullUpdate();
    std::map<std::string, int> reports;
    for (const HookCall& c : serverCalls())
        if (c.progress > 0) ++reports[c.record->address];
    EXPECT_EQ(reports.size(), 7u);
    for (const auto& [address, count] : reports) EXPECT_EQ(count, 1) << address;
}

}  // namespace
}  // namespace brenn::testing
