// A browser on the simulated LAN, with every event it raises recorded.
#pragma once

#include "browser/ServerBrowser.h"
#include "simlan/SimulatedLan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace brenn::testing {

struct RecordedEvent {
    std::int32_t event;
    std::int32_t state;     // the browser's state when the callback ran
    std::string address;    // ServerUpdated: the server's address text
    std::int32_t progress;  // ServerUpdated: param2
    std::uint32_t tick;     // the simulated LAN's clock when the callback ran
};

class BrowserFixture : public ::testing::Test {
protected:
    void SetUp() override { makeBrowser(4); }
    void TearDown() override { browser::destroy(browser_); }

    void makeBrowser(std::int32_t slots) {
        browser::destroy(browser_);
        browser_ = browser::create("primary", "secondary", "secret", slots, &BrowserFixture::record, 1, this);
        ASSERT_NE(browser_, nullptr);
    }

    std::vector<std::int32_t> stateChanges() const {
        std::vector<std::int32_t> states;
        for (const auto& e : events_)
            if (e.event == StateChanged) states.push_back(e.state);
        return states;
    }

    std::vector<RecordedEvent> eventsOf(std::int32_t kind) const {
        std::vector<RecordedEvent> found;
        for (const auto& e : events_)
            if (e.event == kind) found.push_back(e);
        return found;
    }

    // A server at address:22000 that answers the broadcast with "\final\"
    // and its query with the datagrams of reply, `gap` ms apart (no reply:
    // it never answers a query).
    void addServerAnswering(const std::string& address, std::vector<std::string> reply, std::uint32_t gap = 5) {
        lan_.addServer(address, 22000, [reply, gap](platform::SimulatedLan& lan,
                                                    const platform::SimulatedLan::Datagram& request) {
            if (request.broadcast) return lan.reply(request, "\\final\\");
            for (std::size_t i = 0; i < reply.size(); ++i) lan.reply(request, reply[i], static_cast<std::uint32_t>(i) * gap);
        });
    }

    // Collects the browser's trace lines into *lines.
    void traceInto(std::vector<std::string>* lines) {
        browser::setTrace(browser_, [](const char* line, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(line);
        }, lines);
    }

    // Starts a pass over the usual port range (22000 to 22010).
    std::int32_t startPass() { return browser::lanUpdate(browser_, 1, 22000, 22010, 1); }

    // Runs discovery to its end: the first step more than 3000 ms on.
    void finishDiscovery() {
        lan_.advance(3001);
        browser::think(browser_);
        ASSERT_EQ(browser::state(browser_), Querying);
    }

    // Steps (each `gap` ms apart) until Idle or maxSteps; returns the steps.
    int runToIdle(std::uint32_t gap = 1, int maxSteps = 100000) {
        int steps = 0;
        while (browser::state(browser_) != Idle && steps < maxSteps) {
            browser::think(browser_);
            lan_.advance(gap);
            ++steps;
        }
        return steps;
    }

    // Called inside the callback, after the event was recorded.
    std::function<void(std::int32_t event, BrowserServer* server)> onEvent;

    platform::SimulatedLan lan_;
    ServerBrowser* browser_ = nullptr;
    std::vector<RecordedEvent> events_;

private:
    static void record(ServerBrowser* browser, std::int32_t event, void* instance, void* param1,
                       std::int32_t param2) {
        auto* self = static_cast<BrowserFixture*>(instance);
        auto* server = static_cast<BrowserServer*>(param1);
        self->events_.push_back(
            {event, browser::state(browser), server ? server::address(server) : "", param2, self->lan_.now()});
        if (self->onEvent) self->onEvent(event, server);
    }
};

}  // namespace brenn::testing
