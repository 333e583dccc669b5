// Sorting the server list by one key, in every compare mode and direction.
#include "support/BrowserFixture.h"

namespace brenn::testing {
namespace {

class ServerSort : public BrowserFixture {
protected:
    // One server per reply, at 10.0.0.<n>, each reply "\key\value" or none.
    void addServers(const std::vector<std::pair<std::string, std::string>>& servers) {
        for (const auto& [address, reply] : servers) {
            BrowserServer* s = browser::addServer(browser_, platform::addressFromText(address.c_str()), 22000, Status);
            std::string text = reply;
            server::parseReply(s, text.data());
        }
    }
    std::vector<std::string> order() const {
        std::vector<std::string> addresses;
        for (std::int32_t i = 0; i < browser::serverCount(browser_); ++i)
            addresses.push_back(server::address(browser::serverAt(browser_, i)));
        return addresses;
    }
};

TEST_F(ServerSort, OrdersByModeAndDirection) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> servers;
        const char* key;
        std::int32_t mode;
        std::int32_t ascending;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"integers", {{"10.0.0.1", "\\n\\10"}, {"10.0.0.2", "\\n\\2"}, {"10.0.0.3", "\\n\\33"}}, "n", Integer, 0,
         {"10.0.0.3", "10.0.0.1", "10.0.0.2"}},
        {"far apart", {{"10.0.0.1", "\\n\\2000000000"}, {"10.0.0.2", "\\n\\-2000000000"}}, "n", Integer, 1,
         {"10.0.0.2", "10.0.0.1"}},
        {"missing is 0", {{"10.0.0.1", "\\n\\5"}, {"10.0.0.2", ""}, {"10.0.0.3", "\\n\\-1"}}, "n",
         Integer, 1, {"10.0.0.3", "10.0.0.2", "10.0.0.1"}},
        {"floats", {{"10.0.0.1", "\\f\\1.5"}, {"10.0.0.2", "\\f\\1.25"}, {"10.0.0.3", "\\f\\-0.5"}, {"10.0.0.4", ""}},
         "f", Float, 1, {"10.0.0.3", "10.0.0.4", "10.0.0.2", "10.0.0.1"}},
        // Values are pooled ignoring case, so the cases use texts that differ
        // in more than case.
        {"bytes", {{"10.0.0.1", "\\t\\bz"}, {"10.0.0.2", "\\t\\By"}, {"10.0.0.3", "\\t\\ax"}, {"10.0.0.4", ""}},
         "t", CaseSensitive, 1, {"10.0.0.4", "10.0.0.2", "10.0.0.3", "10.0.0.1"}},
        {"bytes down", {{"10.0.0.1", "\\t\\bz"}, {"10.0.0.2", "\\t\\By"}, {"10.0.0.3", "\\t\\ax"}}, "t",
         CaseSensitive, 0, {"10.0.0.1", "10.0.0.3", "10.0.0.2"}},
        {"no case", {{"10.0.0.1", "\\t\\bz"}, {"10.0.0.2", "\\t\\By"}, {"10.0.0.3", "\\t\\_x"}}, "t",
         CaseInsensitive, 1, {"10.0.0.3", "10.0.0.2", "10.0.0.1"}},
        {"mode 7 is no case", {{"10.0.0.1", "\\t\\b"}, {"10.0.0.2", "\\t\\_x"}, {"10.0.0.3", "\\t\\A"}}, "t", 7, 1,
         {"10.0.0.2", "10.0.0.3", "10.0.0.1"}},
        {"addresses as text", {{"10.0.0.9", ""}, {"10.0.0.10", ""}, {"9.0.0.1", ""}}, "hostaddr", CaseSensitive, 1,
         {"10.0.0.10", "10.0.0.9", "9.0.0.1"}},
        {"no servers", {}, "n", Integer, 1, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(browser::clear(browser_), NoError);
        addServers(c.servers);
        browser::sort(browser_, c.ascending, c.key, c.mode);
        EXPECT_EQ(order(), c.expected) << c.name;
    }
}

TEST_F(ServerSort, PingSortsByTheMeasuredPingOnlyInIntegerMode) {
    addServers({{"10.0.0.1", "\\ping\\5"}, {"10.0.0.2", "\\ping\\50"}, {"10.0.0.3", "\\ping\\1"}});
    browser::serverAt(browser_, 0)->ping = 40;
    browser::serverAt(browser_, 1)->ping = 30;  // the third keeps 9999
    browser::sort(browser_, 1, "ping", Integer);
    EXPECT_EQ(order(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1", "10.0.0.3"}));
    browser::sort(browser_, 1, "ping", Float);  // the reported values
    EXPECT_EQ(order(), (std::vector<std::string>{"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
}

}  // namespace
}  // namespace brenn::testing
