// The simulator's parsing and planning where the end-to-end runs cannot
// reach: odd and bad definition lines, address forms, slot exhaustion and
// the seeded plan.
#include "Definitions.h"
#include "Endpoints.h"
#include "ServerPlan.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace lanserver {
namespace {

TEST(LanServerDefinitions, ReadsOddLinesAsWrittenAndNamesABadOne) {
    std::istringstream file("# comment\n\n"
                            "10.0.0.5:22004 \\hostname\\Alpha Base\\mapname\\\\numplayers\\2\r\n"
                            "  * silent split=3 delay=40 \\hostname\\Q\\\n"
                            "* dead \\k\n");
    std::vector<SimServer> servers;
    std::string error;
    ASSERT_TRUE(parseDefinitions(file, &servers, &error)) << error;
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[0].address + ":" + std::to_string(servers[0].port), "10.0.0.5:22004");
    EXPECT_EQ(servers[0].pairs, (std::vector<Pair>{{"hostname", "Alpha Base"}, {"mapname", ""}, {"numplayers", "2"}}));
    EXPECT_EQ(servers[1].address, "");
    EXPECT_EQ(std::make_tuple(servers[1].behaviour, servers[1].split, servers[1].delayMs),
              std::make_tuple(Behaviour::Silent, 3, 40));
    EXPECT_EQ(servers[1].pairs, (std::vector<Pair>{{"hostname", "Q"}}));
    EXPECT_EQ(servers[2].behaviour, Behaviour::Dead);
    EXPECT_EQ(servers[2].pairs, (std::vector<Pair>{{"k", ""}}));

    const struct {
        const char* line;
        const char* why;
    } bad[] = {
        {"* hostname Alpha", "no pairs"},
        {"10.0.0.300:22000 \\a\\1", "address:port"},
        {"10.0.0.1 \\a\\1", "address:port"},
        {"* loud \\a\\1", "unknown option 'loud'"},
        {"* split=0 \\a\\1", "unknown option 'split=0'"},
        {"* \\a\\1\\final\\", "added by the simulator"},
        {"* \\a\\1\\\\2", "empty key"},
    };
    for (const auto& c : bad) {
        std::istringstream file(std::string("* \\ok\\1\n") + c.line + "\n");
        servers.clear();
        EXPECT_FALSE(parseDefinitions(file, &servers, &error)) << c.line;
        EXPECT_NE(error.find(std::string("line 2: ")), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.line << ": " << error;
        EXPECT_TRUE(servers.empty());
    }
}

TEST(LanServerEndpoints, AddressListsAndSlots) {
    const struct {
        const char* text;
        std::vector<std::string> addresses;  // empty: refused
    } cases[] = {
        {"10.0.0.254+3", {"10.0.0.254", "10.0.0.255", "10.0.1.0"}},
        {"10.0.0.1-10.0.0.2,10.0.5.5", {"10.0.0.1", "10.0.0.2", "10.0.5.5"}},
        {"", {}}, {"10.0.0.2-10.0.0.1", {}}, {"10.0.0.1+0", {}}, {"host", {}}, {"255.255.255.255+2", {}},
    };
    std::vector<std::uint32_t> addresses;
    std::string error;
    for (const auto& c : cases) {
        addresses.clear();
        EXPECT_EQ(parseAddresses(c.text, 3, &addresses, &error), !c.addresses.empty()) << c.text;
        if (c.addresses.empty()) continue;
        std::vector<std::string> texts;
        for (std::uint32_t a : addresses) texts.push_back(addressText(a));
        EXPECT_EQ(texts, c.addresses) << c.text;
    }

    // 100 addresses and 11 ports give 1100 slots, a defined server holding one.
    std::vector<std::uint16_t> ports;
    ASSERT_TRUE(parseAddresses("10.77.0.10+100", 0, &addresses, &error));
    ASSERT_TRUE(parsePorts("22000-22010", &ports, &error));
    std::vector<SimServer> servers(1100);
    servers[5].address = "10.77.0.10";
    servers[5].port = 22000;
    ASSERT_TRUE(assignSlots(addresses, ports, &servers, &error)) << error;
    std::set<std::string> slots;
    std::set<std::uint16_t> used;
    for (const SimServer& s : servers) {
        slots.insert(s.address + ":" + std::to_string(s.port));
        used.insert(s.port);
    }
    EXPECT_EQ(slots.size(), 1100u);
    EXPECT_EQ(used.size(), 11u);

    std::vector<SimServer> tooMany(1101);
    EXPECT_FALSE(assignSlots(addresses, ports, &tooMany, &error));
    std::vector<SimServer> twins(2);
    twins[0].address = twins[1].address = "10.77.0.10";
    twins[0].port = twins[1].port = 22000;
    EXPECT_FALSE(assignSlots(addresses, ports, &twins, &error));
}

TEST(LanServerPlan, TheSeedDecidesContentsAndWhichServersAreSpecial) {
    Options options;
    options.servers = 40;
    options.silent = 3;
    options.otherGame = 2;
    options.dead = 1;
    std::vector<SimServer> first, again, other;
    std::string error;
    ASSERT_TRUE(planServers(options, &first, &error)) << error;
    ASSERT_TRUE(planServers(options, &again, &error));
    options.seed = 2;
    ASSERT_TRUE(planServers(options, &other, &error));
    int silent = 0, dead = 0, otherGame = 0;
    std::set<std::string> hostnames;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].pairs, again[i].pairs);
        silent += first[i].behaviour == Behaviour::Silent;
        dead += first[i].behaviour == Behaviour::Dead;
        otherGame += *findValue(first[i], "gamename") != "ridgeline";
        hostnames.insert(*findValue(first[i], "hostname"));
        const int players = std::stoi(*findValue(first[i], "numplayers"));
        EXPECT_TRUE(players == 0 || findValue(first[i], "team_" + std::to_string(players - 1)) != nullptr);
        EXPECT_EQ(findValue(first[i], "player_" + std::to_string(players)), nullptr);
    }
    EXPECT_EQ(std::make_tuple(silent, dead, otherGame, hostnames.size()), std::make_tuple(3, 1, 2, std::size_t{40}));
    EXPECT_NE(first[0].pairs, other[0].pairs);

    options.silent = 40;
    EXPECT_FALSE(planServers(options, &first, &error));
}

}  // namespace
}  // namespace lanserver
