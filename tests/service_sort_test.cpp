// sortServers as the host sees it: the order of the re-announcements.
#include "support/ServiceFixture.h"

namespace brenn::testing {
namespace {

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
