// The engine side of hosting: reply splitting, the sender filter, token
// buckets, the bounded table of senders and the announcement schedule.
#include "hosting/Announcer.h"
#include "hosting/GameValues.h"
#include "hosting/ReplyBuilder.h"
#include "hosting/SenderBuckets.h"
#include "hosting/SenderFilter.h"
#include "hosting/TokenBucket.h"
#include "simlan/SimulatedLan.h"

#include <gtest/gtest.h>

namespace brenn::hosting {
namespace {

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::uint32_t address(const char* text) { return platform::SimulatedLan::address(text); }

TEST(HostingReply, SplitRepliesKeepEveryPairOnceAndOnlyTheLastIsFinal) {
    std::vector<Pair> pairs;
    for (int i = 0; i < 400; ++i) pairs.push_back({"player_" + std::to_string(i), std::string(20, 'x')});
    pairs.push_back({"long", std::string(MaxPairLength - 6, 'y')});  // the longest pair that fits
    for (const int parts : {1, 3, 7}) {
        const std::vector<std::string> datagrams = buildReply(pairs, parts, 4000000000u);
        ASSERT_GE(datagrams.size(), static_cast<std::size_t>(parts));
        std::string all;
        for (std::size_t k = 0; k < datagrams.size(); ++k) {
            const std::string& d = datagrams[k];
            EXPECT_LE(d.size(), MaxDatagram);
            EXPECT_EQ(d[0], '\\');
            EXPECT_EQ(count(d, "\\final\\"), k + 1 == datagrams.size() ? 1 : 0);
            const std::string id = "\\queryid\\4000000000." + std::to_string(k + 1);
            ASSERT_EQ(d.substr(d.size() - id.size()), id);
            all += d.substr(0, d.size() - id.size());
        }
        EXPECT_EQ(count(all, "\\player_"), 400) << parts << " parts";
        EXPECT_EQ(count(all, "\\long\\"), 1);
    }
    // More parts than pairs: the empty parts still carry their queryid.
    EXPECT_EQ(buildReply({{"a", "1"}}, 3, 1),
              (std::vector<std::string>{"\\queryid\\1.1", "\\queryid\\1.2", "\\a\\1\\final\\\\queryid\\1.3"}));
}

TEST(HostingReply, FixedKeysFirstThenSectionsThenPlayersNumberedFromZero) {
    GameValues values;
    values.setServerValue("rules", "fraglimit", "50");
    values.setServerValue("info", "mapname", "scree");
    values.setServerValue("basic", "version", "1.2");
    values.setServerValue("info", "HostName", "Alpha");
    values.setPlayerValue(9, "player", "Late");
    values.setPlayerValue(2, "player", "Early");
    values.setPlayerValue(2, "score", "3");
    values.setServerValue("teams", "MAPNAME", "cirque");  // one key, whatever its case; now a team value
    EXPECT_EQ(values.pairs(),
              (std::vector<Pair>{{"HostName", "Alpha"}, {"gamename", "ridgeline"}, {"numplayers", "2"},
                                 {"maxplayers", "16"}, {"version", "1.2"}, {"fraglimit", "50"},
                                 {"MAPNAME", "cirque"}, {"player_0", "Early"}, {"score_0", "3"},
                                 {"player_1", "Late"}}));
}

TEST(HostingSenders, OnlyHostsOnTheLanAreLocal) {
    auto interface = [](const char* address, const char* mask, std::uint32_t flags) {
        const std::uint32_t a = platform::SimulatedLan::address(address), m = platform::SimulatedLan::address(mask);
        return platform::InterfaceAddress{a, m, (flags & platform::InterfaceBroadcast) ? (a | ~m) : 0, flags};
    };
    const std::uint32_t up = platform::InterfaceUp;
    const platform::InterfaceAddress interfaces[] = {
        interface("198.51.100.7", "255.255.255.0", up | platform::InterfaceBroadcast),
        interface("10.8.0.1", "255.255.255.0", up | platform::InterfacePointToPoint),
        interface("127.0.0.1", "255.0.0.0", up | platform::InterfaceLoopback),
        interface("203.0.113.4", "255.255.255.254", up),
        interface("100.64.0.1", "128.0.0.0", up | platform::InterfaceBroadcast),
    };
    struct Case {
        const char* address;
        std::uint16_t port;
        bool reachable, local;
        bool attached = false, subnetEnd = false;  // on the interfaces above
    };
    const Case cases[] = {
        {"10.0.0.1", 1, true, true},          {"10.255.255.254", 9, true, true},
        {"127.0.0.1", 9, true, true},         {"169.254.7.7", 9, true, true},
        {"172.16.0.1", 9, true, true},        {"172.31.255.1", 9, true, true},
        {"172.15.255.1", 9, true, false},     {"172.32.0.1", 9, true, false},
        {"192.168.1.1", 9, true, true},       {"192.169.0.1", 9, true, false},
        {"8.8.4.4", 9, true, false},          {"223.255.255.255", 9, true, false},
        {"10.0.0.1", 0, false, true},         {"0.1.2.3", 9, false, false},
        {"0.0.0.0", 9, true, true},
        {"224.0.0.251", 9, false, false},     {"255.255.255.255", 9, false, false},
        {"198.51.100.20", 9, true, false, true, false},  // an attached subnet of public addresses
        {"198.51.100.255", 9, true, false, false, true}, // its broadcast
        {"198.51.100.0", 9, true, false, false, true},   // its network
        {"198.51.101.20", 9, true, false, false, false},
        {"10.8.0.2", 9, true, true, false, false},       // beyond a point-to-point link
        {"127.0.0.255", 9, true, true, false, false},    // no loopback subnet counts
        {"203.0.113.5", 9, true, false, false, false},   // a /31 has no broadcast
        {"100.100.0.1", 9, true, false, false, false},   // a /1 is no LAN
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isReachableSender(address(c.address), platform::hostToNet16(c.port)), c.reachable) << c.address;
        EXPECT_EQ(isLocalAddress(address(c.address)), c.local) << c.address;
        EXPECT_EQ(onAttachedSubnet(address(c.address), interfaces, 5), c.attached) << c.address;
        EXPECT_EQ(isSubnetBroadcast(address(c.address), interfaces, 5), c.subnetEnd) << c.address;
    }
}

TEST(HostingLimits, BucketsRefillWithTimeAcrossTheTickWrap) {
    const BucketRate rate{10, 3};
    for (const std::uint32_t start : {1000u, 0xFFFFFF00u}) {
        TokenBucket bucket = fullBucket(rate, start);
        int taken = 0;
        while (takeToken(&bucket, rate, start)) ++taken;
        EXPECT_EQ(taken, 3) << start;
        EXPECT_FALSE(takeToken(&bucket, rate, start + 99));  // a token every 100 ms
        EXPECT_TRUE(takeToken(&bucket, rate, start + 100));
        EXPECT_FALSE(isFullAt(bucket, rate, start + 399));
        EXPECT_TRUE(isFullAt(bucket, rate, start + 400));
        taken = 0;
        while (takeToken(&bucket, rate, start + 100000)) ++taken;
        EXPECT_EQ(taken, 3) << "a long quiet spell still gives only the burst";
    }
}

TEST(HostingLimits, TheSenderTableStaysBoundedAndForgetsQuietSenders) {
    SenderBuckets senders;
    const BucketRate rate{10, 1};
    const std::uint32_t base = platform::netToHost32(address("10.1.0.0"));
    auto sender = [&](std::uint32_t i) { return platform::hostToNet32(base + i); };
    for (std::uint32_t i = 0; i < SenderBuckets::MaxSenders; ++i) ASSERT_TRUE(senders.take(sender(i), rate, 500));
    EXPECT_FALSE(senders.take(sender(SenderBuckets::MaxSenders), rate, 500));  // no room, none refilled
    EXPECT_FALSE(senders.take(sender(0), rate, 500));                          // still limited
    EXPECT_EQ(senders.size(), SenderBuckets::MaxSenders);
    // 100 ms on, every bucket is full again: the table makes room.
    EXPECT_TRUE(senders.take(sender(SenderBuckets::MaxSenders), rate, 600));
    EXPECT_EQ(senders.size(), 1u);
    EXPECT_TRUE(senders.take(sender(0), rate, 600));
}

// The schedule across the tick's wrap, stepped a millisecond at a time:
// each announcement comes once, when due, and the wait the schedule tells
// a sleeping caller is 0 exactly when one is due.
TEST(HostingAnnouncer, TheScheduleHoldsAcrossTheTickWrap) {
    for (const std::uint32_t start : {1000u, 0xFFFFF000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(start);
        Announcer announcer;
        EXPECT_EQ(untilNextAnnouncement(announcer, start), -1);
        announceStart(&announcer, start, 7);
        std::vector<std::pair<Announcement, std::uint32_t>> sent;  // kind, ms after start
        for (std::uint32_t t = 0; t <= 40000; ++t) {
            const std::uint32_t now = start + t;
            if (t == 5000 || t == 5001 || t == 20000) announceChange(&announcer, now);
            if (t == 30000) announceStop(&announcer, now);
            const std::int32_t wait = untilNextAnnouncement(announcer, now);
            const std::size_t before = sent.size();
            for (Announcement kind; (kind = nextAnnouncement(&announcer, now)) != NoAnnouncement;)
                sent.emplace_back(kind, t);
            EXPECT_EQ(sent.size() > before, wait == 0) << t;
        }
        ASSERT_EQ(sent.size(), 6u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(sent[i].first, HelloAnnouncement);
            EXPECT_GE(sent[i].second, HelloDelays[i]);
            EXPECT_LE(sent[i].second, HelloDelays[i] + HelloJitter);
        }
        EXPECT_EQ(sent[3], std::make_pair(HelloAnnouncement, std::max(5000u, sent[2].second + ChangeSpacing)));
        EXPECT_EQ(sent[4], std::make_pair(HelloAnnouncement, 20000u));
        EXPECT_EQ(sent[5], std::make_pair(GoodbyeAnnouncement, 30000u + GoodbyeSpacing));
        EXPECT_EQ(untilNextAnnouncement(announcer, start + 40000), -1);
    }
}

}  // namespace
}  // namespace brenn::hosting
