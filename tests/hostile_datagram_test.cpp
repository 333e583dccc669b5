// Hostile and malformed datagrams on the simulated LAN: oversized, unended,
// NUL-ridden and key-flooding replies. Strangers answering a query or a
// discovery that is over, and a server that never finishes, are the query
// engine's tests.
#include "support/BrowserFixture.h"

#include <map>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;

const std::string Final = "\\final\\";

// Text of exactly `size` bytes: the prefix, then filler, then the suffix.
std::string sized(std::size_t size, const std::string& prefix, const std::string& suffix, char filler = 'v') {
    return prefix + std::string(size - prefix.size() - suffix.size(), filler) + suffix;
}

class HostileDatagrams : public BrowserFixture {
protected:
    BrowserServer* serverAt(const std::string& address, std::uint16_t port) {
        const std::int32_t i = browser::findServer(browser_, SimulatedLan::address(address), port);
        return i == -1 ? nullptr : browser::serverAt(browser_, i);
    }
};

TEST_F(HostileDatagrams, MalformedRepliesStoreWhatTheyHoldAndNothingElse) {
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
        {"1499 bytes without NUL", {sized(1499, "\\big\\", Final)}, true,
         {{"big", std::string(1499 - 5 - 7, 'v')}}},
        {"longer than a receive: cut at 1499, its \\final\\ lost",
         {sized(1600, "\\big\\", Final)}, false, {{"big", std::string(1499 - 5, 'v')}}},
        {"embedded NUL ends the text", {std::string("\\hostname\\A\0\\map\\x\\final\\", 25)}, false,
         {{"hostname", "A"}, {"map", ""}}},
        {"NUL then a later final datagram", {std::string("\\hostname\\A\0\\x\\1", 16), "\\numplayers\\2" + Final},
         true, {{"hostname", "A"}, {"x", ""}, {"numplayers", "2"}}},
        {"700 one-letter keys", {letters.substr(0, 1400), letters.substr(1400) + Final}, true,
         // the last of the 700 to name a letter wins: key i sends i % 10
         {{"a", "6"}, {"B", "7"}, {"x", "9"}, {"Z", "5"}}},
        {"a key of 1400 characters", {"\\" + longKey + "\\long" + Final}, true, {{longKey, "long"}}},
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

}  // namespace
}  // namespace brenn::testing
