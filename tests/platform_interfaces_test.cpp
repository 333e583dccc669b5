// The platform layer of the machine itself (POSIX or Win32), apart from the
// simulated LAN: what it reports of the machine's own interfaces.
#include "platform/Platform.h"

#include <gtest/gtest.h>

namespace brenn::testing {
namespace {

// The machine's own interfaces, through the real platform (only read:
// nothing is sent).
TEST(NativeInterfaces, AreListedUpWithTheirBroadcastAddressAndABufferIsGranted) {
    const platform::Operations& os = platform::native();
    ASSERT_EQ(os.startSockets(), 0);
    platform::InterfaceAddress list[platform::MaxInterfaces];
    const int count = os.listInterfaces(list, platform::MaxInterfaces);
    ASSERT_GE(count, 1);
    for (int i = 0; i < count; ++i) {
        EXPECT_NE(list[i].flags & platform::InterfaceUp, 0u);
        // A broadcast address lies in the interface's own subnet.
        const platform::InterfaceAddress& entry = list[i];
        if (entry.flags & platform::InterfaceBroadcast)
            EXPECT_EQ(entry.broadcast & entry.netmask, entry.address & entry.netmask);
        else
            EXPECT_EQ(entry.broadcast, 0u);
    }
    EXPECT_EQ(os.listInterfaces(list, 0), 0);
    const platform::Socket s = os.openUdpSocket();
    ASSERT_NE(s, platform::InvalidSocket);
    EXPECT_GT(os.setReceiveBuffer(s, 1 << 20), 0);
    os.closeSocket(s);
    os.endSockets();
}

}  // namespace
}  // namespace brenn::testing
