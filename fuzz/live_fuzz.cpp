// Fuzz target: a live listing on the simulated LAN under arbitrary answers,
// replies and announcements from arbitrary senders, with the clock moved
// far enough for refreshes, given-up episodes and servers gone, the text
// pool renewed and the bounds changed on the way.
//
// The input is a list of records; each starts with an operation byte:
//   0  answer to the broadcast: sender byte, port byte, 2 length bytes, payload
//   1  advance the clock by 16 * (next byte) ms, then think
//   2  reply to a query that was sent: query byte, 2 length bytes, payload
//   3  to the announcement port: sender byte, port byte, kind byte, then a
//      hello or goodbye naming the port (kind 0, 1), another port (2), or
//      2 length bytes and a payload (3)
//   4  think without moving the clock
//   5  a step every 500 ms for (next byte % 40) s
//   6  renew the text pool
//   7  bounds: per address 1 + (byte % 4), in all 1 + (byte % 64)
// Checked after every record: each server is in the list once and found
// where it is; the listed count and the per-address counts agree with the
// list; a reported server is in the list, a gone one is not. At the end
// the list closes with every socket closed.
#include "browser/Announcements.h"
#include "browser/PoolRenewal.h"
#include "browser/ServerBrowser.h"
#include "fuzz/FuzzInput.h"
#include "simlan/SimulatedLan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace brenn;
using platform::SimulatedLan;

using fuzzing::check;
using fuzzing::Reader;

bool inList(const ServerBrowser* b, const BrowserServer* s) {
    const std::int32_t i = browser::findServer(b, s->ip, s->queryPort);
    return i != -1 && browser::serverAt(b, i) == s;
}

void record(ServerBrowser* b, std::int32_t event, void*, void* param1, std::int32_t param2) {
    auto* server = static_cast<BrowserServer*>(param1);
    if (event == ServerUpdated) check(inList(b, server) && server->liveness.listed, "a reported server is listed");
    if (event == ServerGone) {
        check(!inList(b, server), "a gone server is out of the list");
        check(param2 == server->liveness.listed, "gone says whether it was reported");
    }
    if (event == SweepComplete) check(param1 == nullptr && b->live.sweepDone, "one sweep complete");
}

void checkList(const ServerBrowser* b) {
    std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
    std::map<std::uint32_t, std::int32_t> perAddress;
    std::int32_t listed = 0;
    for (std::int32_t i = 0; i < browser::serverCount(b); ++i) {
        const BrowserServer* s = browser::serverAt(b, i);
        check(seen.insert({s->ip, s->queryPort}).second, "one server per sender");
        check(browser::findServer(b, s->ip, s->queryPort) == i, "findServer");
        listed += s->liveness.listed;
        perAddress[s->ip] += 1;
    }
    if (browser::state(b) == Live) check(listed == b->live.listed, "listed count");
    for (const auto& [address, count] : perAddress)
        check(limits::serversOf(&b->limits, address) == count, "servers per address");
    check(b->limits.used == static_cast<std::int32_t>(perAddress.size()), "addresses counted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 32 * 1024) return 0;
    Reader in{data, size};
    SimulatedLan lan;
    const std::uint32_t player = SimulatedLan::address("10.0.0.1");
    lan.addStatusServer("10.0.0.50", 22000, {"\\hostname\\Alpha\\numplayers\\3", "\\mapname\\dust\\final\\"});
    lan.addStatusServer("10.0.0.51", 22001, {"\\hostname\\Beta\\final\\\\queryid\\1.1"});

    ServerBrowser* b = browser::create("fuzz", "fuzz", "secret", 1 + in.byte() % 4, record, 1, nullptr);
    check(browser::liveUpdate(b, 22000, 22003, 1) == NoError, "the list opens");
    const std::uint16_t broadcastPort = lan.sent().front().fromPort;

    while (!in.done()) {
        const int operation = in.byte() % 8;
        const std::uint32_t from = platform::hostToNet32(0x0A000100u + in.byte() % 32);
        const std::uint16_t port = static_cast<std::uint16_t>(22000 + in.byte() % 4);
        switch (operation) {
            case 0: {
                const std::size_t length = (in.byte() | (in.byte() << 8)) % 1601;
                lan.send(from, port, player, broadcastPort, in.bytes(length));
                break;
            }
            case 1:
                lan.advance(16u * in.byte());
                browser::think(b);
                break;
            case 2: {
                std::vector<SimulatedLan::Datagram> queries;
                for (const auto& d : lan.sent())
                    if (d.toAddress != platform::BroadcastAddress) queries.push_back(d);
                const std::uint8_t which = in.byte();
                const std::size_t length = (in.byte() | (in.byte() << 8)) % 1601;
                const std::string payload = in.bytes(length);
                if (queries.empty()) break;
                const auto& q = queries[which % queries.size()];
                lan.send(q.toAddress, q.toPort, player, q.fromPort, payload);
                break;
            }
            case 3: {
                const int kind = in.byte() % 4;
                std::string text = (kind == 1 ? "\\goodbye\\" : "\\announce\\") +
                                   std::to_string(kind == 2 ? port + 1 : port) + "\\gamename\\ridgeline\\final\\";
                if (kind == 3) text = in.bytes((in.byte() | (in.byte() << 8)) % 1601);
                lan.send(from, port, player, browser::AnnouncePort, text);
                browser::think(b);
                break;
            }
            case 5:
                for (std::uint32_t t = 0, seconds = in.byte() % 40u; t < seconds * 1000u; t += 500) {
                    lan.advance(500);
                    browser::think(b);
                }
                break;
            case 6:
                browser::renewPool(b);
                break;
            case 7:
                browser::setLimits(b, 1 + in.byte() % 4, 1 + in.byte() % 64);
                break;
            default:
                browser::think(b);
                break;
        }
        checkList(b);
    }
    check(browser::closeList(b) == NoError && browser::state(b) == Idle, "the list closes");
    check(lan.openSockets() == 0, "sockets closed");
    checkList(b);
    browser::destroy(b);
    check(lan.socketsLayerUsers() == 0, "sockets layer ended");
    return 0;
}
