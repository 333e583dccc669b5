// Soak: hundreds of full updates of the service on the simulated LAN.
// Memory in use and open sockets must come back to where they were, and no
// host record may be lost or made twice. (Passes on real sockets are the
// end-to-end runs' and the platform suite's.)
#include "simlan/SimulatedLan.h"
#include "service/VelnarLanJoin.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <set>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRENN_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BRENN_ASAN 1
#endif
#if defined(BRENN_ASAN)
// From the AddressSanitizer runtime (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace brenn::testing {
namespace {

using matchmaking::JoinMatchmaking;
using matchmaking::ServerData;
using matchmaking::velnar::VelnarLanJoin;

std::size_t memoryInUse() {
#if defined(BRENN_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::string statusReply(int i, int datagram, int datagrams) {
    std::string text;
    if (datagram == 0)
        text = "\\hostname\\Server " + std::to_string(i) + "\\gamename\\" + (i % 20 == 0 ? "other" : "ridgeline") +
               "\\numplayers\\2\\player_0\\a" + std::to_string(i);
    else
        text = "\\mapname\\map" + std::to_string(i % 7) + "\\player_1\\b\\part\\" + std::to_string(datagram);
    return datagram + 1 == datagrams ? text + "\\final\\\\queryid\\" + std::to_string(i) + ".1" : text;
}

// Every record once, by address and port.
void expectRecordsOnce(const JoinMatchmaking& matchmaking, int expected) {
    std::set<std::pair<std::string, std::uint32_t>> seen;
    int count = 0;
    for (const ServerData* r = matchmaking.serverDataHead; r != nullptr; r = r->next, ++count)
        EXPECT_TRUE(seen.insert({r->address, r->port}).second) << r->address << ":" << r->port;
    EXPECT_EQ(count, expected);
    EXPECT_EQ(matchmaking.serverDataCount, expected);
}

TEST(Soak, FiveHundredUpdatesOnTheSimulatedLan) {
    platform::SimulatedLan lan;
    lan.setCurrentDirectory(BRENN_SOURCE_DIR);
    int expected = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string address = "10.0." + std::to_string(1 + i / 100) + "." + std::to_string(1 + i % 100);
        if (i % 25 == 3) {  // answers discovery, never its query
            lan.addServer(address, 22000, [](platform::SimulatedLan& l, const platform::SimulatedLan::Datagram& r) {
                if (r.broadcast) l.reply(r, "\\final\\");
            });
            continue;
        }
        const int datagrams = 1 + i % 3;
        std::vector<std::string> reply;
        for (int d = 0; d < datagrams; ++d) reply.push_back(statusReply(i, d, datagrams));
        lan.addStatusServer(address, static_cast<std::uint16_t>(22000 + i % 11), reply, 2);
        lan.setLatency(address, static_cast<std::uint32_t>(i % 40));
        expected += i % 20 == 0 ? 0 : 1;
    }

    JoinMatchmaking matchmaking;
    matchmaking.maxConcurrentQueries = 16;
    VelnarLanJoin* service = CreateJoinClass("soak", &matchmaking);
    ASSERT_NE(service, nullptr);
    std::size_t baseline = 0;
    for (int pass = 0; pass < 500; ++pass) {
        if (pass % 2 == 0)
            service->serverListFullUpdate();
        else
            service->serverListAuxUpdate("", 0, matchmaking::QueryStatus);
        for (int step = 0; step < 100000 && service->isUpdating(); ++step) {
            service->update();
            lan.advance(5);
        }
        ASSERT_FALSE(service->isUpdating()) << "pass " << pass;
        // Every server that answers is asked once a pass; each of the 8
        // silent ones four times, 500 ms apart.
        int queries = 0;
        for (const auto& d : lan.sent()) queries += d.broadcast || d.toAddress == platform::BroadcastAddress ? 0 : 1;
        ASSERT_EQ(queries, 192 + 8 * 4) << "pass " << pass;
        lan.clearSent();
        if (pass == 49) baseline = memoryInUse();
    }
    // The ping at any step is the query engine's test (PingIsTheFirstDatagramsRoundTrip...).
    expectRecordsOnce(matchmaking, expected);
    // The allocator's own bookkeeping settles within the first passes; what
    // is left must not grow with the passes (4 KiB over 450 passes).
    EXPECT_LE(memoryInUse(), baseline + 4096);
    std::printf("memory in use after pass 50: %zu bytes, after pass 500: %zu bytes\n", baseline, memoryInUse());
    EXPECT_EQ(lan.openSockets(), 0);
    EXPECT_LE(lan.peakOpenSockets(), 17);
    delete service;
}

}  // namespace
}  // namespace brenn::testing

