// Fuzz target: arbitrary datagrams from arbitrary senders reaching a browser
// on the simulated LAN through a whole pass, then a sort and a second pass.
//
// The input is a list of records; each starts with an operation byte:
//   0  answer to the broadcast: sender byte, port byte, 2 length bytes, payload
//   1  advance the clock by 16 * (next byte) ms, then think
//   2  reply to a query that was sent: query byte, 2 length bytes, payload
//   3  the same from the queried address but another port
//   4  think without moving the clock
// Lengths run to 1600 (longer than a receive takes); a short input ends a
// record early. The first byte picks the number of query slots (1 to 4).
// Checked: the servers are exactly the senders whose answer text held
// "\final\" during discovery, each once; findServer agrees with the list
// walk; events come in order; the pass ends with every socket closed.
#include "browser/ServerBrowser.h"
#include "fuzz/FuzzInput.h"
#include "simlan/SimulatedLan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace brenn;
using platform::SimulatedLan;

using fuzzing::check;
using fuzzing::Reader;

struct Observed {
    std::vector<std::int32_t> states;
    std::set<const BrowserServer*> updated;
    std::int32_t lastProgress = 0;
};

void record(ServerBrowser* b, std::int32_t event, void* instance, void* param1, std::int32_t param2) {
    auto* seen = static_cast<Observed*>(instance);
    if (event == StateChanged) {
        check(param1 == nullptr && param2 == 0, "state change parameters");
        seen->states.push_back(browser::state(b));
        return;
    }
    check(event == ServerUpdated, "event code");
    check(browser::state(b) == Querying, "updates only while querying");
    auto* server = static_cast<BrowserServer*>(param1);
    check(seen->updated.insert(server).second, "one update per server and pass");
    check(param2 >= seen->lastProgress && param2 <= 100, "progress");
    seen->lastProgress = param2;
}

// Discovery keeps the text up to the first NUL of the first 1499 bytes.
bool answerCounts(const std::string& payload) {
    const std::string text(payload.substr(0, 1499).c_str());
    return text.find("\\final\\") != std::string::npos;
}

// The first server with this address and port, by walking the list.
std::int32_t walk(const ServerBrowser* b, std::uint32_t address, std::uint16_t port) {
    for (std::int32_t i = 0; i < browser::serverCount(b); ++i) {
        const BrowserServer* s = browser::serverAt(b, i);
        if (s->ip == address && s->queryPort == port) return i;
    }
    return -1;
}

void checkIndex(const ServerBrowser* b) {
    std::set<std::pair<std::uint32_t, std::uint16_t>> seen;
    for (std::int32_t i = 0; i < browser::serverCount(b); ++i) {
        const BrowserServer* s = browser::serverAt(b, i);
        check(seen.insert({s->ip, s->queryPort}).second, "one server per sender");
        check(browser::findServer(b, s->ip, s->queryPort) == i, "findServer");
        check(browser::findServer(b, s->ip, static_cast<std::uint16_t>(s->queryPort ^ 0x8000)) ==
                  walk(b, s->ip, static_cast<std::uint16_t>(s->queryPort ^ 0x8000)),
              "findServer of a stranger");
    }
}

void runToIdle(SimulatedLan& lan, ServerBrowser* b) {
    for (int steps = 0; browser::state(b) != Idle; ++steps) {
        check(steps < 10000, "the pass ends");
        lan.advance(3001);
        browser::think(b);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 32 * 1024) return 0;
    Reader in{data, size};
    SimulatedLan lan;
    const std::uint32_t player = SimulatedLan::address("10.0.0.1");
    // Two ordinary servers among the hostile senders.
    lan.addStatusServer("10.0.0.50", 22000, {"\\hostname\\Alpha\\numplayers\\3", "\\mapname\\dust\\final\\"});
    lan.addStatusServer("10.0.0.51", 22004, {"\\hostname\\Beta\\final\\\\queryid\\1.1"});
    std::set<std::pair<std::uint32_t, std::uint16_t>> expected = {
        {SimulatedLan::address("10.0.0.50"), 22000}, {SimulatedLan::address("10.0.0.51"), 22004}};

    Observed seen;
    ServerBrowser* b = browser::create("fuzz", "fuzz", "secret", 1 + in.byte() % 4, record, 1, &seen);
    check(browser::lanUpdate(b, 1, 22000, 22010, 1) == NoError, "pass starts");
    const std::uint16_t broadcastPort = lan.sent().front().fromPort;

    while (!in.done() && browser::state(b) != Idle) {
        const int operation = in.byte() % 5;
        switch (operation) {
            case 0: {
                const std::uint32_t from = platform::hostToNet32(0x0A000100u + in.byte() % 32);
                const std::uint16_t port = static_cast<std::uint16_t>(22000 + in.byte() % 4);
                const std::size_t length = (in.byte() | (in.byte() << 8)) % 1601;
                const std::string payload = in.bytes(length);
                if (browser::state(b) == ListingLan && answerCounts(payload)) expected.insert({from, port});
                lan.send(from, port, player, broadcastPort, payload);
                break;
            }
            case 1:
                lan.advance(16u * in.byte());
                browser::think(b);
                break;
            case 2:
            case 3: {
                const bool wrongPort = operation == 3;
                std::vector<SimulatedLan::Datagram> queries;
                for (const auto& d : lan.sent())
                    if (d.toAddress != platform::BroadcastAddress) queries.push_back(d);
                const std::uint8_t which = in.byte();
                const std::size_t length = (in.byte() | (in.byte() << 8)) % 1601;
                const std::string payload = in.bytes(length);
                if (queries.empty()) break;
                const auto& q = queries[which % queries.size()];
                lan.send(q.toAddress, static_cast<std::uint16_t>(q.toPort + (wrongPort ? 1 : 0)), player, q.fromPort,
                         payload);
                break;
            }
            default:
                browser::think(b);
                break;
        }
    }
    // Answers still waiting are taken by the step that ends discovery.
    runToIdle(lan, b);

    check(seen.states == std::vector<std::int32_t>({ListingLan, Querying, Idle}), "state changes");
    check(lan.openSockets() == 0, "sockets closed");
    check(browser::serverCount(b) == static_cast<std::int32_t>(expected.size()), "server count");
    for (const auto& sender : expected) check(browser::findServer(b, sender.first, sender.second) != -1, "sender kept");
    checkIndex(b);

    // Sort by a key the input may have sent, then run a second pass in which
    // every known server answers again: nothing is added twice.
    const std::int32_t mode = in.byte() % 5;
    browser::sort(b, 1, "numplayers", mode);
    if (mode == Integer)
        for (std::int32_t i = 1; i < browser::serverCount(b); ++i)
            check(server::intValue(browser::serverAt(b, i - 1), "numplayers", 0) <=
                      server::intValue(browser::serverAt(b, i), "numplayers", 0),
                  "sorted");
    checkIndex(b);
    seen = Observed{};
    lan.clearSent();
    check(browser::lanUpdate(b, 1, 22000, 22010, 1) == NoError, "second pass starts");
    const std::uint16_t secondPort = lan.sent().front().fromPort;
    for (const auto& sender : expected) lan.send(sender.first, sender.second, player, secondPort, "\\final\\");
    runToIdle(lan, b);
    check(browser::serverCount(b) == static_cast<std::int32_t>(expected.size()), "no server added twice");
    checkIndex(b);
    check(lan.openSockets() == 0, "sockets closed after the second pass");

    browser::destroy(b);
    check(lan.socketsLayerUsers() == 0, "sockets layer ended");
    return 0;
}
