// The example host's command line.
#include "BrowseOptions.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>

namespace lanbrowse {
namespace {

bool number(const std::string& text, long low, long high, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool compareMode(const std::string& text, brenn::matchmaking::CompareMode* mode) {
    using namespace brenn::matchmaking;
    if (text == "int") *mode = CompareInteger;
    else if (text == "float") *mode = CompareFloat;
    else if (text == "text") *mode = CompareCaseSensitive;
    else if (text == "nocase") *mode = CompareCaseInsensitive;
    else return false;
    return true;
}

}  // namespace

const char* usage() {
    return "usage: lanbrowse [options]\n"
           "Finds the game's servers on the local network with the LAN join service and\n"
           "prints them as a table. The key map is the one --keymap names, else\n"
           "MultiplayerServers/VelnarKeyMap.ini under the current directory, else the\n"
           "sample installed with lanbrowse.\n"
           "\n"
           "Exit status: 0 servers answered (with --live: servers were listed as the\n"
           "list closed); 1 an error (an option, the key map, the service, a pass beyond\n"
           "--timeout); 2 no server answered; 3 no socket could be opened (see ulimit\n"
           "-n); 130 interrupted (but for --live, where Ctrl-C closes the list).\n"
           "\n"
           "A value follows its option as the next argument or after '='; an option\n"
           "may be shortened to any start that names it alone.\n"
           "\n"
           "  --sort KEY        sort by KEY (a key map key such as numplayers, or a key\n"
           "                    the servers send)\n"
           "  --descending      largest first (default: smallest first)\n"
           "  --mode MODE       how values compare: int, float, text (case-sensitive,\n"
           "                    the default) or nocase\n"
           "  --json            one JSON object per pass instead of the table: hook\n"
           "                    calls, state codes and every record with its five sections;\n"
           "                    with --live, one JSON object per event instead\n"
           "  --queries N       queries in flight at once, 1 to 64 (default 8)\n"
           "  --watch S         browse again every S seconds (full updates)\n"
           "  --aux             with --watch: aux updates, keeping the servers found\n"
           "  --passes N        passes in watch mode, 1 to 1000 (default 10)\n"
           "  --trace           every hook call, and the service's trace (broadcast\n"
           "                    rounds, servers asked again), as lines on standard error\n"
           "  --tick MS         pause between two update calls, 0 to 100 (default 5)\n"
           "  --timeout S       give a pass up after S seconds (default 30)\n"
           "  --receive-buffer BYTES\n"
           "                    receive buffer asked for on the discovery socket, 0 to\n"
           "                    67108864; 0 keeps the system's default (default 1048576)\n"
           "  --keymap PATH     read the key map from PATH\n"
           "  --live            keep the list open: servers are shown as they answer,\n"
           "                    change and go (a table redrawn in place on a terminal,\n"
           "                    else a line per event) until Ctrl-C or --duration\n"
           "  --duration S      with --live: close the list after S seconds\n"
           "  --version         the version, then exit\n"
           "  --help            this text\n";
}

// Read by getopt_long, as lanserver's: "--name value" or "--name=value", and
// any unambiguous start of a name.
bool parseOptions(int argc, char** argv, BrowseOptions* options, std::string* error) {
    enum { Sort = 1, Descending, Mode, Json, Queries, Watch, Aux, Passes, Trace, Tick, Timeout, ReceiveBuffer,
           KeyMap, Live, Duration, Version, Help };
    static const option longOptions[] = {
        {"sort", required_argument, nullptr, Sort},
        {"descending", no_argument, nullptr, Descending},
        {"mode", required_argument, nullptr, Mode},
        {"json", no_argument, nullptr, Json},
        {"queries", required_argument, nullptr, Queries},
        {"watch", required_argument, nullptr, Watch},
        {"aux", no_argument, nullptr, Aux},
        {"passes", required_argument, nullptr, Passes},
        {"trace", no_argument, nullptr, Trace},
        {"tick", required_argument, nullptr, Tick},
        {"timeout", required_argument, nullptr, Timeout},
        {"receive-buffer", required_argument, nullptr, ReceiveBuffer},
        {"keymap", required_argument, nullptr, KeyMap},
        {"live", no_argument, nullptr, Live},
        {"duration", required_argument, nullptr, Duration},
        {"version", no_argument, nullptr, Version},
        {"help", no_argument, nullptr, Help},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;  // the messages are ours
    optind = 1;
    int code;
    while ((code = ::getopt_long(argc, argv, ":", longOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        bool ok = true;
        switch (code) {
        case Sort: options->sortKey = value; ok = !value.empty(); break;
        case Descending: options->descending = true; break;
        case Mode: ok = compareMode(value, &options->mode); break;
        case Json: options->json = true; break;
        case Queries: ok = number(value, 1, 64, &options->queries); break;
        case Watch: ok = number(value, 1, 3600, &options->watchS); break;
        case Aux: options->aux = true; break;
        case Passes: ok = number(value, 1, 1000, &options->passes); break;
        case Trace: options->trace = true; break;
        case Tick: ok = number(value, 0, 100, &options->tickMs); break;
        case Timeout: ok = number(value, 1, 600, &options->timeoutS); break;
        case ReceiveBuffer: ok = number(value, 0, 64 << 20, &options->receiveBuffer); break;
        case KeyMap: options->keyMap = value; ok = !value.empty(); break;
        case Live: options->live = true; break;
        case Duration: ok = number(value, 1, 86400, &options->durationS); break;
        case Version: options->version = true; break;
        case Help: options->help = true; break;
        case ':': *error = std::string(argv[optind - 1]) + " needs a value"; return false;
        default: *error = std::string("unknown option: ") + argv[optind - 1]; return false;
        }
        if (!ok) {
            *error = "bad value '" + value + "' for --" + longOptions[code - 1].name;
            return false;
        }
    }
    if (optind < argc) {
        *error = std::string("unexpected argument: ") + argv[optind];
        return false;
    }
    if (options->aux && options->watchS == 0) {
        *error = "--aux goes with --watch";
        return false;
    }
    if (options->live && options->watchS > 0) {
        *error = "--live keeps one list open: it does not go with --watch";
        return false;
    }
    if (options->durationS > 0 && !options->live) {
        *error = "--duration goes with --live";
        return false;
    }
    return true;
}

}  // namespace lanbrowse
