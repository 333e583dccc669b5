// BrowseSession: the example host itself: a JoinMatchmaking with both hooks,
// the join service made by CreateJoinClass, and passes driven by update().
#pragma once

#include "BrowseOptions.h"
#include "ProgressDisplay.h"

#include "service/VelnarLanJoin.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lanbrowse {

// One call of a host hook during a pass.
struct HookCall {
    bool isState;                                    // state hook, else new-server hook
    std::uint32_t state;                             // state code (state hook)
    brenn::matchmaking::ServerData* record;          // the record (new-server hook)
    std::uint32_t progress;                          // (new-server hook)
    bool isNew;                                      // (new-server hook)
};

struct PassResult {
    std::vector<HookCall> calls;                          // in the order they came
    std::vector<brenn::matchmaking::ServerData*> servers;  // reported records, first report order
    std::vector<brenn::matchmaking::ServerData*> sorted;   // re-announced by the sort, in order
    bool finished = false;                                // the state hook heard 1
    bool sortedPass = false;                              // a sort was requested
    long elapsedMs = 0;                                   // request to state 1
    brenn::matchmaking::UpdateProblem problem = brenn::matchmaking::UpdateFine;
};

class BrowseSession {
public:
    explicit BrowseSession(const BrowseOptions& options, ProgressDisplay* display);
    ~BrowseSession();
    BrowseSession(const BrowseSession&) = delete;
    BrowseSession& operator=(const BrowseSession&) = delete;

    // False, with a message, when the service could not be created.
    bool ready(std::string* error) const;

    // Requests a full (or aux) update, calls update() every tickMs until the
    // state hook hears 1, timeoutS passes or *stop is set, then sorts when a
    // sort key was given. The records stay owned by the session's
    // JoinMatchmaking and valid until the session ends.
    PassResult runPass(int number, bool aux, const std::atomic<bool>& stop);

private:
    static void onNewServerData(brenn::matchmaking::ServerData* record, std::uint32_t progress, bool isNew,
                                void* context);
    static void onStateChanged(std::uint32_t state, void* context);
    static void onTrace(const char* line, void* context);

    const BrowseOptions options_;
    ProgressDisplay* display_;
    brenn::matchmaking::JoinMatchmaking host_;  // declared first: outlives the service
    brenn::matchmaking::velnar::VelnarLanJoin* service_ = nullptr;
    PassResult* current_ = nullptr;
    bool sorting_ = false;
};

// "address:port" of a record.
std::string endpointOf(const brenn::matchmaking::ServerData* record);

}  // namespace lanbrowse
