// The simulated LAN's own behaviour where the engine relies on it: shared
// ports and broadcasts between hosts.
#include "simlan/SimulatedLan.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace brenn::testing {
namespace {

using platform::SimulatedLan;
using platform::Socket;

constexpr std::uint16_t SharedPort = 22020;

class SimulatedLanTest : public ::testing::Test {
protected:
    Socket bindOn(const std::string& host, std::uint16_t port, bool shared, int* failure) {
        lan_.setBindAddress(host);
        const Socket s = shared ? platform::bindSharedUdpSocket(port, failure) : platform::bindUdpSocket(port, failure);
        lan_.setBindAddress("10.0.0.1");
        return s;
    }

    // Sends text from s and names the sockets of `listening` that received it.
    std::set<std::string> heardBy(Socket from, std::uint32_t to, const std::map<std::string, Socket>& listening) {
        const std::string text = "\\announce\\";
        EXPECT_EQ(platform::sendTo(from, text.data(), static_cast<int>(text.size()), to,
                                   platform::hostToNet16(SharedPort)),
                  static_cast<int>(text.size()));
        lan_.advance(1);
        std::set<std::string> heard;
        for (const auto& [name, s] : listening) {
            char buffer[64];
            std::uint32_t address = 0;
            std::uint16_t port = 0;
            while (platform::receiveFrom(s, buffer, sizeof buffer, &address, &port) >= 0) heard.insert(name);
        }
        return heard;
    }

    SimulatedLan lan_;
};

// Who hears a broadcast to a shared port: every shared socket of the
// sender's segment, the player's (on both segments) and the sender's own
// included; a directed broadcast of a segment the sender is not on, nobody.
TEST_F(SimulatedLanTest, SharedSocketsHearTheBroadcastsOfTheirSegment) {
    lan_.addInterface("10.0.0.1", "255.255.255.0");
    lan_.addInterface("10.1.0.1", "255.255.255.0");
    int failure = 0;
    const std::map<std::string, Socket> listening = {
        {"player", bindOn("10.0.0.1", SharedPort, true, &failure)},
        {"player2", bindOn("10.0.0.1", SharedPort, true, &failure)},
        {"near", bindOn("10.0.0.20", SharedPort, true, &failure)},
        {"far", bindOn("10.1.0.20", SharedPort, true, &failure)},
    };
    for (const auto& entry : listening) ASSERT_NE(entry.second, platform::InvalidSocket) << entry.first;
    EXPECT_EQ(bindOn("10.0.0.1", SharedPort, false, &failure), platform::InvalidSocket);
    EXPECT_EQ(failure, platform::BindInUse);
    const Socket game = bindOn("10.0.0.30", 22000, false, &failure);
    ASSERT_NE(game, platform::InvalidSocket);
    EXPECT_EQ(bindOn("10.0.0.30", 22000, true, &failure), platform::InvalidSocket);
    EXPECT_EQ(failure, platform::BindInUse);
    ASSERT_EQ(platform::enableBroadcast(game), 0);

    const struct {
        const char* what;
        Socket from;
        const char* to;
        std::set<std::string> heard;
    } cases[] = {
        {"a game's broadcast", game, "255.255.255.255", {"player", "player2", "near"}},
        {"its segment's address", game, "10.0.0.255", {"player", "player2", "near"}},
        {"another segment's address", game, "10.1.0.255", {}},
        {"from the far segment", listening.at("far"), "255.255.255.255", {"player", "player2", "far"}},
        {"from the player", listening.at("player"), "10.1.0.255", {"player", "player2", "far"}},
        {"to the player's address", game, "10.0.0.1", {"player"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(heardBy(c.from, SimulatedLan::address(c.to), listening), c.heard) << c.what;

    for (const auto& entry : listening) platform::closeSocket(entry.second);
    const Socket alone = bindOn("10.0.0.1", SharedPort, false, &failure);
    EXPECT_NE(alone, platform::InvalidSocket) << "the port is free once every sharer closed";
    platform::closeSocket(alone);
    platform::closeSocket(game);
    EXPECT_EQ(lan_.openSockets(), 0);
}

// A datagram arrives when its delays have passed, whenever it is read; a
// host's own table without receiveTimed reads the tick of the receive.
TEST_F(SimulatedLanTest, ArrivalIsTheTickTheDatagramWasDue) {
    int failure = 0;
    const Socket game = bindOn("10.0.0.1", 22000, false, &failure);
    ASSERT_NE(game, platform::InvalidSocket);
    lan_.setLatency("10.0.0.7", 3);
    const platform::Operations simulated = platform::current();
    platform::Operations older = simulated;
    older.receiveTimed = nullptr;
    const struct {
        const char* what;
        std::uint32_t extraDelay;
        std::uint32_t readAfter;
        const platform::Operations* table;
        std::uint32_t arrival;  // after the send
    } cases[] = {
        {"read at once", 0, 3, &simulated, 3},
        {"read a frame later", 2, 16, &simulated, 5},
        {"read long after", 0, 5000, &simulated, 3},
        {"no receiveTimed in the table", 2, 16, &older, 16},
    };
    for (const auto& c : cases) {
        platform::install(*c.table);
        const std::uint32_t sent = lan_.now();
        lan_.send(SimulatedLan::address("10.0.0.7"), 22000, SimulatedLan::address("10.0.0.1"), 22000, "x",
                  c.extraDelay);
        lan_.advance(c.readAfter);
        char buffer[8];
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        std::uint32_t arrival = 0;
        EXPECT_EQ(platform::receiveTimed(game, buffer, sizeof buffer, &address, &port, &arrival), 1) << c.what;
        EXPECT_EQ(arrival - sent, c.arrival) << c.what;
        EXPECT_EQ(platform::receiveTimed(game, buffer, sizeof buffer, &address, &port, &arrival),
                  platform::NothingToRead);
        EXPECT_EQ(arrival, lan_.now()) << c.what;
    }
    platform::install(simulated);
    platform::closeSocket(game);
}

}  // namespace
}  // namespace brenn::testing
