// The POSIX platform operations on real sockets, inside a private network
// namespace of the test's own (broadcasts stay on its loopback).
#include "platform/Platform.h"
#include "support/NetworkNamespace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brenn::testing {
namespace {

using namespace platform;

std::string namespaceProblem;

class RealSockets : public ::testing::Test {
protected:
    void SetUp() override {
        if (!namespaceProblem.empty()) GTEST_SKIP() << namespaceProblem;
        ASSERT_EQ(native().startSockets(), 0);
    }
    void TearDown() override {
        for (Socket s : sockets_) native().closeSocket(s);
        native().endSockets();
    }

    Socket keep(Socket s) {
        if (s != InvalidSocket) sockets_.push_back(s);
        return s;
    }
    Socket shared(std::uint16_t port, int* failure) { return keep(native().bindSharedUdpSocket(port, failure)); }
    Socket exclusive(std::uint16_t port, int* failure) { return keep(native().bindUdpSocket(port, failure)); }

    // The payload of the next datagram on s, waiting at most a second; its
    // sender in *address and *port. Empty when nothing came.
    std::string next(Socket s, std::uint32_t* address, std::uint16_t* port) {
        char buffer[1500];
        for (int i = 0; i < 100; ++i) {
            const int length = native().receiveFrom(s, buffer, sizeof buffer, address, port);
            if (length >= 0) return std::string(buffer, static_cast<std::size_t>(length));
            native().sleep(10);
        }
        return std::string();
    }

    std::vector<Socket> sockets_;
};

// Every socket sharing a port hears each broadcast to it, whoever sent it
// (one of them included); a port held by one side refuses the other.
TEST_F(RealSockets, SharedSocketsAllHearEveryBroadcastAndExclusivePortsStayExclusive) {
    int failure = 0;
    const Socket first = shared(22020, &failure);
    const Socket second = shared(22020, &failure);
    ASSERT_NE(first, InvalidSocket);
    ASSERT_NE(second, InvalidSocket);
    EXPECT_EQ(exclusive(22020, &failure), InvalidSocket);
    EXPECT_EQ(failure, BindInUse);
    const Socket game = exclusive(22021, &failure);
    ASSERT_NE(game, InvalidSocket);
    EXPECT_EQ(shared(22021, &failure), InvalidSocket);
    EXPECT_EQ(failure, BindInUse);
    EXPECT_EQ(shared(0, &failure), InvalidSocket);
    EXPECT_EQ(failure, BindFailed);

    ASSERT_EQ(native().enableBroadcast(game), 0);
    const std::string hello = "\\announce\\22021\\final\\";
    const std::uint16_t to = hostToNet16(22020);
    ASSERT_EQ(native().sendTo(game, hello.data(), static_cast<int>(hello.size()), BroadcastAddress, to),
              static_cast<int>(hello.size()));
    const std::string bye = "\\goodbye\\";
    ASSERT_EQ(native().sendTo(first, bye.data(), static_cast<int>(bye.size()), BroadcastAddress, to),
              static_cast<int>(bye.size())) << "a shared socket sends broadcasts without asking";
    for (const Socket s : {first, second}) {
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        EXPECT_EQ(next(s, &address, &port), hello);
        EXPECT_EQ(port, hostToNet16(22021));
        EXPECT_EQ(next(s, &address, &port), bye);
        EXPECT_EQ(port, to);
    }
}

}  // namespace
}  // namespace brenn::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    brenn::testing::enterPrivateNetwork(&brenn::testing::namespaceProblem);
    return RUN_ALL_TESTS();
}
