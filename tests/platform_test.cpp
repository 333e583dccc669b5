// The POSIX platform operations on real sockets, inside a private network
// namespace of the test's own (broadcasts stay on its loopback).
#include "platform/Platform.h"
#include "support/NetworkNamespace.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

namespace brenn::testing {
namespace {

using namespace platform;

std::string namespaceProblem;

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

class RealSockets : public ::testing::Test {
protected:
    void SetUp() override {
        if (!namespaceProblem.empty()) GTEST_SKIP() << namespaceProblem;
        descriptors_ = openDescriptors();
        ASSERT_EQ(native().startSockets(), 0);
    }
    // Closing what the test opened gives back every descriptor the platform
    // took, listing the interfaces included.
    void TearDown() override {
        if (!namespaceProblem.empty()) return;
        InterfaceAddress list[MaxInterfaces];
        EXPECT_GE(native().listInterfaces(list, MaxInterfaces), 1);
        for (Socket s : sockets_) native().closeSocket(s);
        native().endSockets();
        EXPECT_EQ(openDescriptors(), descriptors_);
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
    int descriptors_ = 0;
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

// A datagram read late still tells when it came, on every kind of socket;
// nothing to read tells the time of the call.
TEST_F(RealSockets, ArrivalIsWhenTheDatagramCameNotWhenItWasRead) {
    int failure = 0;
    const Socket sender = keep(native().openUdpSocket());
    ASSERT_NE(sender, InvalidSocket);
    const struct {
        const char* what;
        Socket socket;
        std::uint16_t port;
    } cases[] = {
        {"a game's port", exclusive(22030, &failure), 22030},
        {"a shared port", shared(22031, &failure), 22031},
        {"a query socket", keep(native().openUdpSocket()), 0},
    };
    const std::uint32_t loopback = hostToNet32(0x7F000001u);
    // The kernel turns stamping on a moment after the first socket asks
    // (until then a datagram reads as arriving when it is read).
    native().sleep(50);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.socket, InvalidSocket);
        char buffer[64];
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        std::uint16_t to = hostToNet16(c.port);
        std::uint32_t arrival = 0;
        if (c.port == 0) {  // a query socket hears the one it asked
            ASSERT_EQ(native().sendTo(c.socket, "?", 1, loopback, hostToNet16(22030)), 1);
            ASSERT_EQ(next(cases[0].socket, &address, &to), "?");
        }
        const std::uint32_t before = native().tickCount();
        EXPECT_EQ(native().receiveTimed(c.socket, buffer, sizeof buffer, &address, &port, &arrival), NothingToRead);
        EXPECT_LE(arrival - before, 5u);
        // On loopback the datagram arrives inside sendTo: its time is
        // measured from the tick before the call.
        const std::uint32_t sent = native().tickCount();
        ASSERT_EQ(native().sendTo(sender, "late", 4, loopback, to), 4);
        native().sleep(60);
        ASSERT_EQ(native().receiveTimed(c.socket, buffer, sizeof buffer, &address, &port, &arrival), 4);
        const std::uint32_t read = native().tickCount();
        EXPECT_EQ(address, loopback);
        EXPECT_LE(arrival - sent, 5u) << "sent at " << sent << ", read at " << read;
        EXPECT_GE(read - arrival, 55u);
    }
}

}  // namespace
}  // namespace brenn::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    brenn::testing::enterPrivateNetwork(&brenn::testing::namespaceProblem);
    return RUN_ALL_TESTS();
}
