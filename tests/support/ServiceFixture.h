// The join service on the simulated LAN, as a host sees it: a key map in a
// directory of the test's own, a JoinMatchmaking whose hooks record every
// call, hosted games, and helpers that run whole updates.
#pragma once

#include "simlan/SimulatedLan.h"
#include "service/VelnarLanJoin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brenn::testing {

using matchmaking::JoinMatchmaking;
using matchmaking::ServerData;
using matchmaking::velnar::VelnarLanHost;
using matchmaking::velnar::VelnarLanJoin;

// One call of a host hook.
struct HookCall {
    bool state;               // the state hook, else the new-server hook
    std::uint32_t code;       // state hook: the state code
    ServerData* record;       // new-server hook: the record
    std::uint32_t progress;
    bool isNew;
    bool updatingAtCall;      // the service's isUpdating() during the call
};

// The value of key in the record's section (player values by index), or
// null when the section holds none.
inline const char* valueOf(const matchmaking::ServerDataSection& section, const std::string& key,
                           const char* index = nullptr) {
    for (auto* v = section.head; v != nullptr; v = v->next) {
        const bool indexMatches = index == nullptr ? v->index == nullptr
                                                   : (v->index != nullptr && std::string(v->index) == index);
        if (indexMatches && key == v->key) return v->value;
    }
    return nullptr;
}

class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("velnar-service-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                      std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(directory_ / "MultiplayerServers");
        lan_.setCurrentDirectory(directory_.string());
        writeKeyMap(
            "info.hostname=hostname;\n"
            "info.mapname=mapname;\n"
            "info.numplayers=numplayers;\n"
            "rules.fraglimit=fraglimit;\n"
            "players.name=player;\n"
            // A mapped info.ping yields to the measured ping; a key on two
            // lines takes the later line's server key in both sections.
            "info.ping=hostname;\n"
            "info.title=hostname;\n"
            "rules.title=mapname;\n");
        matchmaking_.maxConcurrentQueries = 4;
        matchmaking_.hookContext = this;
        matchmaking_.newServerDataHook = &ServiceFixture::onServer;
        matchmaking_.stateChangedHook = &ServiceFixture::onState;
    }

    void TearDown() override {
        for (VelnarLanHost* h : hosts_) delete h;
        delete service_;
        std::filesystem::remove_all(directory_);
    }

    void writeKeyMap(const std::string& text) {
        std::ofstream(directory_ / "MultiplayerServers" / "VelnarKeyMap.ini") << text;
    }

    VelnarLanJoin& service() {
        if (service_ == nullptr) service_ = CreateJoinClass("lan-join", &matchmaking_);
        return *service_;
    }

    // A server at address:port answering with these pairs, "\final\" and a query id.
    void addServer(const std::string& address, std::vector<std::pair<std::string, std::string>> pairs,
                   std::uint16_t port = 22000) {
        std::string text;
        for (const auto& [key, value] : pairs) text += "\\" + key + "\\" + value;
        lan_.addStatusServer(address, port, {text + "\\final\\\\queryid\\1.1"});
    }

    // A game hosted on the host at address (on the first free port unless
    // one is given), stepped with the service.
    VelnarLanHost& host(const std::string& address, const std::string& name, std::uint32_t port = 0) {
        hosts_.push_back(CreateHostClass("game-" + name));
        lan_.setBindAddress(address);
        EXPECT_EQ(hosts_.back()->startHosting(name, port), matchmaking::HostOk);
        lan_.setBindAddress("10.0.0.1");
        return *hosts_.back();
    }

    // Steps the hosted games and the service every `gap` ms for `ms` ms or
    // until `until` holds; returns the ms that passed.
    std::uint32_t stepFor(std::uint32_t ms, std::uint32_t gap = 1, const std::function<bool()>& until = nullptr) {
        const std::uint32_t start = lan_.now();
        while (lan_.now() - start < ms && !(until && until())) {
            for (VelnarLanHost* h : hosts_) h->update();
            service().update();
            lan_.advance(gap);
        }
        return lan_.now() - start;
    }

    // Steps every ms until the update is over (or 20 s have passed).
    void drive() { stepFor(20000, 1, [this] { return !service().isUpdating(); }); }

    void fullUpdate() {
        service().serverListFullUpdate();
        drive();
    }

    std::vector<HookCall> serverCalls() const {
        std::vector<HookCall> calls;
        for (const auto& c : calls_)
            if (!c.state) calls.push_back(c);
        return calls;
    }
    std::vector<std::uint32_t> stateCodes() const {
        std::vector<std::uint32_t> codes;
        for (const auto& c : calls_)
            if (c.state) codes.push_back(c.code);
        return codes;
    }

    ServerData* record(const std::string& address, std::uint32_t port = 22000) {
        return matchmaking_.findServerData(address, port);
    }

    // Called at the end of each hook call.
    std::function<void(const HookCall&)> onHook;

    platform::SimulatedLan lan_{"10.0.0.1"};
    std::filesystem::path directory_;
    JoinMatchmaking matchmaking_;
    VelnarLanJoin* service_ = nullptr;
    std::vector<VelnarLanHost*> hosts_;
    std::vector<HookCall> calls_;

private:
    static void onServer(ServerData* record, std::uint32_t progress, bool isNew, void* context) {
        auto* self = static_cast<ServiceFixture*>(context);
        self->calls_.push_back({false, 0, record, progress, isNew, self->service_->isUpdating()});
        if (self->onHook) self->onHook(self->calls_.back());
    }
    static void onState(std::uint32_t code, void* context) {
        auto* self = static_cast<ServiceFixture*>(context);
        self->calls_.push_back({true, code, nullptr, 0, false, self->service_->isUpdating()});
        if (self->onHook) self->onHook(self->calls_.back());
    }
};

}  // namespace brenn::testing
