// Server records: reply parsing, the string pool and value lookups.
#include "containers/AllocationTesting.h"
#include "browser/ReplyParser.h"
#include "containers/Allocation.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace brenn {
namespace {

class ServerRecord : public ::testing::Test {
protected:
    void SetUp() override {
        pool_ = stringpool::create();
        server_ = server::create(platform::hostToNet32(0x0A000007), 22001, Status, pool_);
        ASSERT_NE(server_, nullptr);
    }
    void TearDown() override {
        allocation::testing::failAfter(-1);
        server::freeServer(&server_);
        stringpool::destroy(pool_);
    }

    void parse(const std::string& reply, BrowserServer* target = nullptr) {
        std::string text = reply;
        server::parseReply(target ? target : server_, text.data());
    }

    // Every stored pair, by key text.
    std::map<std::string, std::string> pairs() const {
        std::map<std::string, std::string> all;
        if (server_->keys == nullptr) return all;
        for (std::int32_t b = 0; b < server_->keys->bucketCount; ++b) {
            const DynArray* bucket = server_->keys->buckets[b];
            for (std::int32_t i = 0; i < dynarray::length(bucket); ++i) {
                const auto* pair = static_cast<const KeyValuePair*>(dynarray::elementAt(bucket, i));
                all[pair->key] = pair->value;
            }
        }
        return all;
    }

    const char* value(const char* key) { return server::stringValue(server_, key, nullptr); }

    StringPool* pool_ = nullptr;
    BrowserServer* server_ = nullptr;
};

using Pairs = std::map<std::string, std::string>;

// The pairs a reply stores, and its marks: "\final\" anywhere, the part
// number only from the first "queryid" among the pairs.
TEST_F(ServerRecord, RepliesBecomePairsAndMarks) {
    struct Case {
        const char* reply;
        Pairs expected;
        bool final;
        std::int32_t part;
    };
    const Case cases[] = {
        {"\\hostname\\Alpha\\numplayers\\3\\final\\\\queryid\\12.1", {{"hostname", "Alpha"}, {"numplayers", "3"}}, true, 1},
        {"\\a\\\\b\\2", {{"a", ""}, {"b", "2"}}, false, 0},
        {"\\a\\1\\b", {{"a", "1"}, {"b", ""}}, false, 0},
        {"\\\\a\\1", {}, false, 0},                       // an empty first key: nothing
        {"\\a\\1\\\\b\\2", {{"a", "1"}}, false, 0},       // an empty key ends the parse
        {"", {}, false, 0},
        {"\\", {}, false, 0},
        {"Xk\\v", {{"k", "v"}}, false, 0},                // the first character is not looked at
        {"\\final\\\\queryid\\1\\Final\\x", {{"Final", "x"}}, true, 0},  // only exact "final" is dropped
        {"\\k\\v\\k\\w", {{"k", "w"}}, false, 0},         // a repeated key keeps the later value
        // "\final\" counts past an empty key and in a value's place; a
        // part number counts only among the pairs, and only the first.
        {"\\a\\1\\\\final\\", {{"a", "1"}}, true, 0},
        {"\\name\\final\\", {{"name", "final"}}, true, 0},
        {"\\final", {}, false, 0},                     // no backslash after it
        {"\\a\\\\\\queryid\\1.2", {{"a", ""}}, false, 0},
        {"\\queryid\\1.x\\queryid\\1.2", {}, false, 0},
        {"\\x\\queryid\\queryid\\4.2", {{"x", "queryid"}}, false, 2},
        {"\\queryid\\.2\\final\\", {}, true, 0},
        {"\\queryid\\7.64", {}, false, 64},
        {"\\queryid\\7.65", {}, false, 0},
        {"\\queryid\\7.0", {}, false, 0},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        const server::ReplyMarks marks = server::readMarks(c.reply);
        EXPECT_EQ(marks.final, c.final) << "reply " << c.reply;
        EXPECT_EQ(marks.part, c.part) << "reply " << c.reply;
        parse(c.reply);
        EXPECT_EQ(pairs(), c.expected) << "reply " << c.reply;
    }
}

// Keys are found whatever their case; a pooled text that is only a value
// elsewhere is no key of this server.
TEST_F(ServerRecord, LaterDatagramsAddAndOverwriteKeysOfAnyCase) {
    BrowserServer* other = server::create(1, 2, Status, pool_);
    parse("\\hostname\\ridgeline\\mapname\\dust", other);
    parse("\\HOSTNAME\\Ridgeline\\NumPlayers\\1\\MapName\\dust");
    parse("\\numplayers\\2\\gametype\\ctf");
    // Another server's spelling never changes this server's value.
    EXPECT_STREQ(value("hostname"), "Ridgeline");
    EXPECT_STREQ(server::stringValue(other, "HostName", nullptr), "ridgeline");
    EXPECT_EQ(value("mapname"), server::stringValue(other, "mapname", nullptr));  // one pooled text
    EXPECT_STREQ(value("numplayers"), "2");
    EXPECT_EQ(pairs(),
              (Pairs{{"hostname", "Ridgeline"}, {"NumPlayers", "2"}, {"mapname", "dust"}, {"gametype", "ctf"}}));
    EXPECT_NE(server::findPair(server_, "GameType"), nullptr);
    EXPECT_EQ(server::findPair(server_, "ridgeline"), nullptr);
    EXPECT_EQ(server::findPair(server_, "maxplayers"), nullptr);
    server::freeServer(&other);
}

TEST_F(ServerRecord, SpecialKeysConversionsAndPlayerKeys) {
    const std::string longKey(300, 'k');
    parse("\\hostaddr\\1.2.3.4\\ping\\77\\n\\12abc\\neg\\ -5\\f\\2.5x\\word\\abc\\big\\99999999999"
          "\\player_0\\Ann\\player_-1\\Neg\\" + longKey + "_12\\Long");
    EXPECT_STREQ(value("hostaddr"), "10.0.0.7");  // the server's address, not its claim
    EXPECT_STREQ(value("HostAddr"), "1.2.3.4");
    EXPECT_EQ(server::intValue(server_, "ping", -1), 9999);  // measured, not reported
    EXPECT_EQ(server::intValue(server_, "PING", -1), 77);
    EXPECT_DOUBLE_EQ(server::floatValue(server_, "ping", -1.0), 77.0);
    EXPECT_EQ(server::intValue(server_, "n", -1), 12);
    EXPECT_EQ(server::intValue(server_, "neg", -1), -5);
    EXPECT_EQ(server::intValue(server_, "word", -1), 0);  // not a number: 0, not the default
    EXPECT_EQ(server::intValue(server_, "big", -1), INT32_MAX);
    EXPECT_EQ(server::intValue(server_, "missing", -1), -1);
    EXPECT_DOUBLE_EQ(server::floatValue(server_, "f", -1.0), 2.5);
    EXPECT_DOUBLE_EQ(server::floatValue(server_, "word", -1.0), 0.0);
    EXPECT_DOUBLE_EQ(server::floatValue(server_, "missing", -1.5), -1.5);
    EXPECT_STREQ(server::stringValue(server_, "missing", "(NONE)"), "(NONE)");
    // Player keys are composed whatever their length.
    EXPECT_STREQ(server::playerStringValue(server_, 0, "player", "(NONE)"), "Ann");
    EXPECT_STREQ(server::playerStringValue(server_, 1, "player", "(NONE)"), "(NONE)");
    EXPECT_STREQ(server::playerStringValue(server_, -1, "player", "(NONE)"), "Neg");
    EXPECT_STREQ(server::playerStringValue(server_, 12, longKey.c_str(), "(NONE)"), "Long");
    EXPECT_STREQ(server::playerStringValue(server_, 2147483647, longKey.c_str(), "(NONE)"), "(NONE)");
}

TEST_F(ServerRecord, WithoutStorageAPairIsSkippedAndNothingStoredIsLost) {
    // A record that never answered holds no table and answers defaults.
    parse("\\final\\\\queryid\\7.1");
    EXPECT_EQ(server_->keys, nullptr);
    EXPECT_STREQ(server::stringValue(server_, "final", "d"), "d");
    EXPECT_EQ(server::intValue(server_, "queryid", -3), -3);
    // Without storage for the table the pair is skipped; the next reply makes it.
    for (long successes = 0; successes < 20 && server_->keys == nullptr; ++successes) {
        allocation::testing::failAfter(successes);
        parse("\\hostname\\Alpha");
        allocation::testing::failAfter(-1);
        EXPECT_TRUE(server_->keys == nullptr || pairs() == (Pairs{{"hostname", "Alpha"}}));
    }
    ASSERT_NE(server_->keys, nullptr);
    for (long successes = 0; successes < 6; ++successes) {
        allocation::testing::failAfter(successes);
        parse("\\mapname\\dust\\hostname\\Beta\\gametype\\ctf");
        allocation::testing::failAfter(-1);
        // What was stored before is never lost; a pair is whole or absent.
        Pairs stored = pairs();
        ASSERT_EQ(stored.count("hostname"), 1u);
        EXPECT_TRUE(stored["hostname"] == "Alpha" || stored["hostname"] == "Beta");
        EXPECT_TRUE(stored.count("mapname") == 0 || stored["mapname"] == "dust");
        EXPECT_TRUE(stored.count("gametype") == 0 || stored["gametype"] == "ctf");
    }
    parse("\\mapname\\dust\\gametype\\ctf");
    EXPECT_EQ(pairs().size(), 3u);
}

}  // namespace
}  // namespace brenn
