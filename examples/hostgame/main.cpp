// hostgame: a game that announces itself on the LAN and, in the same loop,
// browses the LAN for games (its own included), printing what it finds.
//   hostgame [--seconds S] [--port P] [--name NAME] [--announce]
// Runs until Ctrl-C (or SIGTERM), or for S seconds. With --announce it also
// tells live browsers when it starts, when its values change and, on the
// way out, goodbye. Run it where
// MultiplayerServers/VelnarKeyMap.ini lies (the repository's top folder),
// so that the records it prints are filled.
#include "service/VelnarLanJoin.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace brenn::matchmaking;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

const char* infoValue(const ServerData* record, const char* key) {
    for (const ServerDataValue* v = record->infoSection.head; v != nullptr; v = v->next)
        if (v->index == nullptr && std::strcmp(v->key, key) == 0) return v->value;
    return "?";
}

// The join service hands over each game it found, once per pass.
void onServerFound(ServerData* record, std::uint32_t, bool, void*) {
    std::printf("found %s:%u  %s  %s/%s players  map %s  ping %s\n", record->address.c_str(), record->port,
                infoValue(record, "hostname"), infoValue(record, "numplayers"), infoValue(record, "maxplayers"),
                infoValue(record, "mapname"), infoValue(record, "ping"));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 0;
    unsigned port = 0;  // 0: the first free one of 22000 to 22010
    std::string name = "Example Game";
    bool announce = false;
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--announce") == 0) announce = true;
        else if (valued && std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[++i]);
        else if (valued && std::strcmp(argv[i], "--port") == 0) port = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (valued && std::strcmp(argv[i], "--name") == 0) name = argv[++i];
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    // Hosting: the game's values, then the query port.
    velnar::VelnarLanHost* host = CreateHostClass("hostgame");
    if (host == nullptr) return 1;
    host->setPlayerLimit(8);
    host->setServerValue("info", "mapname", "scree");
    host->setServerValue("info", "gametype", "deathmatch");
    host->setServerValue("rules", "timelimit", "20");
    host->setPlayerValue(0, "player", "Ada");
    host->setPlayerValue(0, "score", "12");
    host->setPlayerValue(1, "player", "Bo");
    host->setPlayerValue(1, "score", "7");
    host->setAnnouncing(announce);  // off until asked: then hellos, changes and a goodbye
    if (host->startHosting(name, port) != HostOk) {
        std::fprintf(stderr, "hostgame: no free query port\n");
        delete host;
        return 1;
    }
    std::printf("hosting \"%s\" on UDP port %u%s\n", name.c_str(), host->getPort(),
                announce ? ", announcing on UDP port 22020" : "");
    std::fflush(stdout);

    // Browsing: a JoinMatchmaking with the hook, and the join service.
    JoinMatchmaking matchmaking;
    matchmaking.newServerDataHook = &onServerFound;
    velnar::VelnarLanJoin* join = CreateJoinClass("hostgame", &matchmaking);
    if (join == nullptr) {
        delete host;
        return 1;
    }

    // The game's loop: about 60 frames a second, a new pass 5 s after the last began.
    const auto start = std::chrono::steady_clock::now();
    auto lastPass = start - std::chrono::seconds(5);
    while (!interrupted) {
        const auto now = std::chrono::steady_clock::now();
        if (seconds > 0 && now - start >= std::chrono::seconds(seconds)) break;
        if (!join->isUpdating() && now - lastPass >= std::chrono::seconds(5)) {
            join->serverListFullUpdate();
            lastPass = now;
        }
        host->update();
        join->update();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }

    delete join;
    // Stopping says goodbye when announcing; a few more steps send its
    // second copy 250 ms later (delete alone sends only the first).
    host->stopHosting();
    for (int frame = 0; announce && frame < 20; ++frame) {
        host->update();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    delete host;
    return 0;
}
