// ProgressDisplay: what the person at the terminal sees while a pass runs.
#pragma once

#include <cstdint>
#include <string>

namespace lanbrowse {

// On a terminal, a progress bar of the query phase with the count of servers
// found, redrawn in place on standard error; elsewhere, one plain line per
// phase. With trace, every hook call is also written as a line.
class ProgressDisplay {
public:
    ProgressDisplay(bool terminal, bool trace) : terminal_(terminal), trace_(trace) {}

    void passStarted(int pass, bool aux);
    void stateChanged(std::uint32_t code);
    void serverReported(const std::string& endpoint, std::uint32_t progress, bool isNew, int found);
    void sortAnnounced(const std::string& endpoint);
    // A trace line of the service (broadcast rounds, servers asked again).
    void serviceTrace(const char* line);
    // Ends the bar's line; nothing when no bar is shown.
    void passEnded(int found, long elapsedMs, bool finished, bool interrupted);

private:
    void drawBar();
    void endBarLine();

    bool terminal_;
    bool trace_;
    bool barShown_ = false;
    std::uint32_t progress_ = 0;
    int found_ = 0;
};

}  // namespace lanbrowse
