// The simulator's command line.
#include "Options.h"

#include <getopt.h>

#include <cstdlib>

namespace lanserver {
namespace {

bool number(const char* text, long low, long high, long* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < low || value > high) return false;
    *out = value;
    return true;
}

}  // namespace

const char* usage() {
    return "usage: lanserver [options]\n"
           "Simulates game servers on a LAN: each server answers the broadcast \"\\status\\\"\n"
           "and its own status queries with a key/value reply, from its own address and\n"
           "port. It sends nothing but replies to whoever asked (and, with --announce,\n"
           "announcements to live browsers), and stops by itself.\n"
           "\n"
           "  --servers N         generated servers (default 12; 0 with --definitions)\n"
           "  --addresses LIST    server addresses: A alone (A upward, one per server),\n"
           "                      or a comma list of A, A+N and A-B (default 127.0.0.2)\n"
           "  --ports LIST        ports the servers spread over: P, P-Q or a comma list\n"
           "                      (default 22000-22010)\n"
           "  --seed S            seed of the generated contents (default 1)\n"
           "  --definitions FILE  servers defined in FILE (see below), before the\n"
           "                      generated ones\n"
           "  --other-game K      K generated servers report the game \"ironvale\"\n"
           "  --silent K          K generated servers answer the broadcast, never a query\n"
           "  --dead K            K generated servers answer nothing\n"
           "  --split N           datagrams per reply (default 1; only the last holds\n"
           "                      \"final\")\n"
           "  --delay MS          every reply waits MS milliseconds (default 0)\n"
           "  --spread MS         answers to one broadcast are spread evenly over MS\n"
           "                      milliseconds (default 0: all at once)\n"
           "  --duration S        run for S seconds, 1 to 3600 (default 60)\n"
           "  --ready-file PATH   create PATH once every socket is bound\n"
           "  --manifest PATH     write the servers as JSON to PATH before serving\n"
           "  --announce          every server that is not dead announces itself to live\n"
           "                      browsers on UDP port 22020: hellos after the start (at\n"
           "                      about 0, 1 and 3 s) and a goodbye when it stops (at the\n"
           "                      end of --duration, or on SIGTERM or SIGINT; again\n"
           "                      250 ms later)\n"
           "  --quiet             no summary on standard output\n"
           "  --version           the version, then exit\n"
           "  --help              this text\n"
           "\n"
           "Which generated servers are silent, dead or of the other game follows from\n"
           "the seed; --manifest tells. Definitions file: one server per line,\n"
           "  WHERE [OPTION ...] \\key\\value\\key\\value...\n"
           "WHERE is address:port or * (next free slot); OPTION is answers, silent,\n"
           "dead, split=N or delay=MS; '#' starts a comment line. Example:\n"
           "  127.0.0.2:22000 \\hostname\\Alpha Base\\gamename\\ridgeline\\numplayers\\0\n";
}

bool parseOptions(int argc, char** argv, Options* options, std::string* error) {
    enum { Servers = 1, Addresses, Ports, Seed, Definitions, OtherGame, Silent, Dead, Split, Delay,
           Spread, Duration, ReadyFile, Manifest, Quiet, Help, Version, Announce };
    static const option longOptions[] = {
        {"servers", required_argument, nullptr, Servers},
        {"addresses", required_argument, nullptr, Addresses},
        {"ports", required_argument, nullptr, Ports},
        {"seed", required_argument, nullptr, Seed},
        {"definitions", required_argument, nullptr, Definitions},
        {"other-game", required_argument, nullptr, OtherGame},
        {"silent", required_argument, nullptr, Silent},
        {"dead", required_argument, nullptr, Dead},
        {"split", required_argument, nullptr, Split},
        {"delay", required_argument, nullptr, Delay},
        {"spread", required_argument, nullptr, Spread},
        {"duration", required_argument, nullptr, Duration},
        {"ready-file", required_argument, nullptr, ReadyFile},
        {"manifest", required_argument, nullptr, Manifest},
        {"quiet", no_argument, nullptr, Quiet},
        {"help", no_argument, nullptr, Help},
        {"version", no_argument, nullptr, Version},
        {"announce", no_argument, nullptr, Announce},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    optind = 1;
    int code;
    while ((code = ::getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        long value = 0;
        bool ok = true;
        switch (code) {
        case Servers: ok = number(optarg, 0, 65536, &value); options->servers = static_cast<int>(value); break;
        case Addresses: options->addresses = optarg; break;
        case Ports: options->ports = optarg; break;
        case Seed: ok = number(optarg, 0, 0x7FFFFFFFL, &value); options->seed = static_cast<std::uint64_t>(value); break;
        case Definitions: options->definitions = optarg; break;
        case OtherGame: ok = number(optarg, 0, 65536, &value); options->otherGame = static_cast<int>(value); break;
        case Silent: ok = number(optarg, 0, 65536, &value); options->silent = static_cast<int>(value); break;
        case Dead: ok = number(optarg, 0, 65536, &value); options->dead = static_cast<int>(value); break;
        case Split: ok = number(optarg, 1, brenn::wire::MaxReplyParts, &value); options->split = static_cast<int>(value); break;
        case Delay: ok = number(optarg, 0, 10000, &value); options->delayMs = static_cast<int>(value); break;
        case Spread: ok = number(optarg, 0, 10000, &value); options->spreadMs = static_cast<int>(value); break;
        case Duration: ok = number(optarg, 1, 3600, &value); options->durationS = static_cast<int>(value); break;
        case ReadyFile: options->readyFile = optarg; break;
        case Manifest: options->manifest = optarg; break;
        case Quiet: options->quiet = true; break;
        case Help: options->help = true; break;
        case Version: options->version = true; break;
        case Announce: options->announce = true; break;
        default:
            *error = std::string("unknown option or missing value: ") + argv[optind - 1];
            return false;
        }
        if (!ok) {
            *error = std::string("bad value '") + optarg + "' for --" + longOptions[code - 1].name;
            return false;
        }
    }
    if (optind < argc) {
        *error = std::string("unexpected argument: ") + argv[optind];
        return false;
    }
    return true;
}

}  // namespace lanserver
