// lanbrowse: the example host. Finds the game's servers on the LAN through
// the join service's public interface and prints them.
#include "BrowseOptions.h"
#include "BrowseSession.h"
#include "KeyMapFile.h"
#include "LiveView.h"
#include "ProgressDisplay.h"
#include "RecordOutput.h"
#include "SocketWatch.h"
#include "System.h"

#include <atomic>
#include <iostream>

namespace {

std::atomic<bool> stopRequested{false};

// Says early which key map the records follow, unless it is the usual one
// under the current directory or one the user named.
void reportKeyMap(const std::string& named, const std::string& path, bool found) {
    if (!found) {
        std::cerr << "lanbrowse: no MultiplayerServers/VelnarKeyMap.ini under the current directory"
                     " and no installed one; records will hold the ping only (--keymap names one)\n";
    } else if (named.empty() && !path.empty()) {
        std::cerr << "lanbrowse: no MultiplayerServers/VelnarKeyMap.ini under the current directory;"
                     " using " << path << "\n";
    }
}

// A live list, until Ctrl-C or --duration: 0 when servers were listed as
// it closed, 2 when none were, 1 when it could not open.
int browseLive(const lanbrowse::BrowseOptions& options, lanbrowse::BrowseSession* session,
               const std::atomic<bool>& stop) {
    lanbrowse::LiveJson json(stdout);
    lanbrowse::LiveTable table(session, stdout, lanbrowse::standardOutputIsTerminal());
    lanbrowse::LiveObserver* observer = options.json ? static_cast<lanbrowse::LiveObserver*>(&json) : &table;
    const int servers = session->runLive(observer, stop);
    if (servers < 0) {
        std::cerr << "lanbrowse: the live list could not open its sockets\n";
        return 1;
    }
    if (servers == 0) std::cerr << "lanbrowse: no server listed on the LAN (UDP ports 22000-22010)\n";
    return servers > 0 ? 0 : 2;
}

void pause(int seconds) {
    for (int waited = 0; waited < seconds * 10 && !stopRequested; ++waited) {
        lanbrowse::sleepMilliseconds(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lanbrowse;
    BrowseOptions options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) {
        std::cerr << "lanbrowse: " << error << "\n(--help lists the options)\n";
        return 1;
    }
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    if (options.version) {
        std::cout << "lanbrowse " VELNARLANJOIN_VERSION "\n";
        return 0;
    }
    std::string keyMap;
    bool keyMapFound = false;
    if (!findKeyMap(options.keyMap, &keyMap, &keyMapFound, &error)) {
        std::cerr << "lanbrowse: " << error << "\n";
        return 1;
    }
    reportKeyMap(options.keyMap, keyMap, keyMapFound);
    setFlagOnInterrupt(&stopRequested);

    // A live list draws its own progress.
    ProgressDisplay display(!options.live && standardErrorIsTerminal(), options.trace);
    const KeyMapRedirect redirect(keyMap);  // the service reads its key map when created
    SocketWatch sockets;
    BrowseSession session(options, &display);
    if (!session.ready(&error)) {
        std::cerr << "lanbrowse: " << error << "\n";
        return 1;
    }

    if (options.live) return browseLive(options, &session, stopRequested);

    const int passes = options.watchS > 0 ? options.passes : 1;
    int status = 0;
    for (int number = 1; number <= passes && !stopRequested; ++number) {
        if (number > 1) pause(options.watchS);
        if (stopRequested) break;
        const bool aux = options.aux && number > 1;
        sockets.clear();
        const PassResult pass = session.runPass(number, aux, stopRequested);
        if (stopRequested) break;
        if (options.json) {
            writeJson(std::cout, number, aux, options, pass);
        } else if (!pass.servers.empty()) {
            if (passes > 1) std::cout << "pass " << number << "\n";
            writeTable(std::cout, recordsInOrder(pass));
        }
        std::cout.flush();
        if (!pass.finished) {
            status = 1;
        } else if (pass.problem == brenn::matchmaking::UpdateNoSocket) {
            const std::string why = sockets.failure();
            std::cerr << "lanbrowse: could not open a socket: " << (why.empty() ? "the system gave no reason" : why)
                      << " (no server could be asked)\n";
            status = 3;
        } else if (pass.servers.empty()) {
            if (pass.problem == brenn::matchmaking::UpdateNoBroadcast)
                std::cerr << "lanbrowse: no broadcast could be sent (no network is up, or none has a route for"
                             " broadcasts): no server could answer\n";
            else
                std::cerr << "lanbrowse: no server answered on the LAN (UDP ports 22000-22010)\n";
            status = 2;
        } else {
            status = 0;
        }
    }
    return stopRequested ? 130 : status;
}
