// The C interface on the simulated LAN, as a C host uses it: a browser made
// with a key map of the test's own, the events it delivers, and helpers that
// run whole updates with hosted games stepped in the same loop.
#pragma once

#include "capi/velnarlanjoin.h"
#include "simlan/SimulatedLan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace brenn::testing {

class CApiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("velnar-capi-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(directory_ / "MultiplayerServers");
        lan_.setCurrentDirectory(directory_.string());
        writeKeyMap("info.hostname=hostname;\ninfo.numplayers=numplayers;\nrules.fraglimit=fraglimit;\n"
                    "players.name=player;\nplayers.score=score;\n");
    }
    void TearDown() override {
        vlj_browser_destroy(browser_);
        for (vlj_host* host : hosts_) vlj_host_destroy(host);
        std::filesystem::remove_all(directory_);
    }

    void writeKeyMap(const std::string& text, const std::string& name = "MultiplayerServers/VelnarKeyMap.ini") {
        std::ofstream(directory_ / name) << text;
    }

    // The browser, made on first use with the default key map.
    vlj_browser* browser() {
        if (browser_ == nullptr) {
            vlj_browser_config config;
            vlj_browser_config_init(&config);
            config.max_queries = 4;
            EXPECT_EQ(vlj_browser_create(&config, &browser_), VLJ_OK);
        }
        return browser_;
    }

    // Forgets the browser and its events: the next browser() is a new one.
    void renewBrowser() {
        vlj_browser_destroy(browser_);
        browser_ = nullptr;
        events_.clear();
    }

    // A server at address:port answering with these pairs and "\final\".
    void addServer(const std::string& address, std::vector<std::pair<std::string, std::string>> pairs,
                   std::uint16_t port = 22000) {
        std::string text;
        for (const auto& [key, value] : pairs) text += "\\" + key + "\\" + value;
        lan_.addStatusServer(address, port, {text + "\\final\\\\queryid\\1.1"});
    }

    // A game hosted through the C interface on the host at address.
    vlj_host* host(const std::string& address, const char* name) {
        vlj_host* made = nullptr;
        EXPECT_EQ(vlj_host_create("test-host", &made), VLJ_OK);
        hosts_.push_back(made);
        lan_.setBindAddress(address);
        EXPECT_EQ(vlj_host_start(made, name, 0), VLJ_OK);
        lan_.setBindAddress("10.0.0.1");
        return made;
    }

    // Steps every ms until the update is over, the hosted games too; the
    // queued events go to events_.
    void drive() {
        for (int i = 0; i < 20000; ++i) {
            for (vlj_host* h : hosts_) vlj_host_step(h);
            const int32_t running = vlj_browser_step(browser());
            ASSERT_GE(running, 0);
            poll();
            if (running == 0) return;
            lan_.advance(1);
        }
    }
    void pass(int32_t kind = VLJ_UPDATE_FULL) {
        ASSERT_EQ(vlj_browser_update(browser(), kind), VLJ_OK);
        drive();
    }
    void poll() {
        vlj_event event;
        while (vlj_browser_poll_event(browser(), &event) == 1) events_.push_back(event);
    }
    // The kinds of events_: a server 1, gone 4, a state 10 + state, a problem 20 + problem.
    std::vector<int32_t> kinds() const {
        std::vector<int32_t> out;
        for (const vlj_event& e : events_)
            out.push_back(e.kind == VLJ_EVENT_STATE     ? 10 + e.state
                          : e.kind == VLJ_EVENT_PROBLEM ? 20 + e.problem
                          : e.kind == VLJ_EVENT_GONE    ? 4
                                                        : 1);
        return out;
    }
    std::vector<std::string> hostnames() {
        std::vector<std::string> out;
        for (int32_t i = 0; i < vlj_browser_server_count(browser()); ++i)
            out.push_back(vlj_server_value(vlj_browser_server_at(browser(), i), "info", "hostname"));
        return out;
    }

    platform::SimulatedLan lan_{"10.0.0.1"};
    std::filesystem::path directory_;
    vlj_browser* browser_ = nullptr;
    std::vector<vlj_host*> hosts_;
    std::vector<vlj_event> events_;
};

}  // namespace brenn::testing
