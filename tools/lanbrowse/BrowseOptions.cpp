// The example host's command line.
#include "BrowseOptions.h"

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

bool parseOptions(int argc, char** argv, BrowseOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        bool ok = true;
        bool takesValue = true;
        if (name == "--sort") {
            options->sortKey = value;
            ok = !value.empty();
        }
        else if (name == "--mode") ok = compareMode(value, &options->mode);
        else if (name == "--queries") ok = number(value, 1, 64, &options->queries);
        else if (name == "--watch") ok = number(value, 1, 3600, &options->watchS);
        else if (name == "--passes") ok = number(value, 1, 1000, &options->passes);
        else if (name == "--tick") ok = number(value, 0, 100, &options->tickMs);
        else if (name == "--timeout") ok = number(value, 1, 600, &options->timeoutS);
        else if (name == "--duration") ok = number(value, 1, 86400, &options->durationS);
        else if (name == "--receive-buffer") ok = number(value, 0, 64 << 20, &options->receiveBuffer);
        else if (name == "--keymap") {
            options->keyMap = value;
            ok = !value.empty();
        }
        else {
            takesValue = false;
            if (name == "--descending") options->descending = true;
            else if (name == "--json") options->json = true;
            else if (name == "--aux") options->aux = true;
            else if (name == "--trace") options->trace = true;
            else if (name == "--live") options->live = true;
            else if (name == "--help") options->help = true;
            else if (name == "--version") options->version = true;
            else {
                *error = "unknown option: " + name;
                return false;
            }
        }
        if (takesValue) {
            if (!hasValue || !ok) {
                *error = hasValue ? "bad value '" + value + "' for " + name : name + " needs a value";
                return false;
            }
            ++i;
        }
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
