// Progress bar and plain progress lines of the example host.
#include "ProgressDisplay.h"

#include <cstdio>

namespace lanbrowse {
namespace {

constexpr int BarWidth = 30;

}  // namespace

void ProgressDisplay::passStarted(int pass, bool aux) {
    progress_ = 0;
    found_ = 0;
    barShown_ = false;
    std::fprintf(stderr, "lanbrowse: pass %d: %s update, broadcasting on UDP ports 22000-22010\n", pass,
                 aux ? "aux" : "full");
}

void ProgressDisplay::stateChanged(std::uint32_t code) {
    if (trace_) {
        endBarLine();
        std::fprintf(stderr, "trace: state %u\n", code);
    }
    if (code == 4) {
        if (terminal_) drawBar();
        else std::fprintf(stderr, "lanbrowse: discovery over, querying the servers that answered\n");
    }
}

void ProgressDisplay::serverReported(const std::string& endpoint, std::uint32_t progress, bool isNew, int found) {
    progress_ = progress;
    found_ = found;
    if (trace_) {
        endBarLine();
        std::fprintf(stderr, "trace: server %s progress %u %s\n", endpoint.c_str(), progress,
                     isNew ? "new" : "known");
    }
    if (terminal_) drawBar();
}

void ProgressDisplay::serviceTrace(const char* line) {
    if (!trace_) return;
    endBarLine();
    std::fprintf(stderr, "trace: %s\n", line);
}

void ProgressDisplay::sortAnnounced(const std::string& endpoint) {
    if (trace_) std::fprintf(stderr, "trace: sorted %s\n", endpoint.c_str());
}

void ProgressDisplay::passEnded(int found, long elapsedMs, bool finished, bool interrupted) {
    endBarLine();
    if (interrupted) {
        std::fprintf(stderr, "lanbrowse: interrupted (%d servers so far)\n", found);
    } else if (finished) {
        std::fprintf(stderr, "lanbrowse: %d server%s in %.1f s\n", found, found == 1 ? "" : "s",
                     static_cast<double>(elapsedMs) / 1000.0);
    } else {
        std::fprintf(stderr, "lanbrowse: the pass did not end in time (%d servers so far)\n", found);
    }
}

void ProgressDisplay::endBarLine() {
    if (barShown_) std::fputc('\n', stderr);
    barShown_ = false;
}

void ProgressDisplay::drawBar() {
    const int filled = static_cast<int>(progress_ > 100 ? 100 : progress_) * BarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(BarWidth - filled), '-');
    std::fprintf(stderr, "\r  querying [%s] %3u%%  %d server%s found", bar.c_str(), progress_, found_,
                 found_ == 1 ? "" : "s");
    std::fflush(stderr);
    barShown_ = true;
}

}  // namespace lanbrowse
