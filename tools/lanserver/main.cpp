// lanserver: simulated game servers on a LAN, for trying and testing hosts.
#include "Options.h"
#include "Responder.h"
#include "ServerPlan.h"

#include "platform/Version.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

void installSignalHandlers() {
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: poll returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lanserver;
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) {
        std::cerr << "lanserver: " << error << "\n(--help lists the options)\n";
        return 2;
    }
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    if (options.version) {
        std::cout << "lanserver " VELNARLANJOIN_VERSION "\n";
        return 0;
    }
    std::vector<SimServer> servers;
    if (!planServers(options, &servers, &error)) {
        std::cerr << "lanserver: " << error << "\n";
        return 2;
    }
    if (!options.manifest.empty()) {
        std::ofstream manifest(options.manifest);
        writeManifest(manifest, options, servers);
        if (!manifest) {
            std::cerr << "lanserver: cannot write " << options.manifest << "\n";
            return 2;
        }
    }

    int answering = 0, silent = 0, dead = 0;
    for (const SimServer& s : servers) {
        if (s.behaviour == Behaviour::Answers) ++answering;
        else if (s.behaviour == Behaviour::Silent) ++silent;
        else ++dead;
    }
    Responder responder(options, servers);
    if (!responder.bind(&error)) {
        std::cerr << "lanserver: " << error << "\n";
        return 1;
    }
    installSignalHandlers();
    if (!options.readyFile.empty()) std::ofstream(options.readyFile) << "ready\n";
    if (!options.quiet) {
        std::cout << "lanserver: " << servers.size() << " servers (" << answering << " answering, " << silent
                  << " silent, " << dead << " dead) on ports " << options.ports << ", for at most "
                  << options.durationS << " s" << (options.announce ? ", announcing" : "") << std::endl;
    }
    responder.run(options.durationS, &stopRequested);
    if (!options.readyFile.empty()) std::remove(options.readyFile.c_str());
    if (!options.quiet) {
        std::cout << "lanserver: answered " << responder.broadcastsAnswered() << " broadcasts and "
                  << responder.queriesAnswered() << " queries (" << responder.datagramsSent()
                  << " datagrams); left " << responder.queriesUnanswered() << " queries unanswered";
        if (options.announce)
            std::cout << "; sent " << responder.hellosSent() << " hellos and " << responder.goodbyesSent()
                      << " goodbyes";
        std::cout << std::endl;
    }
    return 0;
}
