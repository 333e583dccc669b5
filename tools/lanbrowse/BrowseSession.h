// BrowseSession: the example host itself: a JoinMatchmaking with both hooks,
// the join service made by CreateJoinClass, and passes driven by update().
#pragma once

#include "BrowseOptions.h"
#include "ProgressDisplay.h"

#include "service/VelnarLanJoin.h"

#include <atomic>
#include <chrono>
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

// What happens in a live list, as lanbrowse shows it; ms counts from the
// request that opened the list.
class LiveObserver {
public:
    virtual ~LiveObserver() = default;
    // A record reported: new to the list, or changed.
    virtual void serverListed(brenn::matchmaking::ServerData* record, bool isNew, long ms, std::uint32_t progress) = 0;
    // A record about to be deleted: its server left the list.
    virtual void serverGone(brenn::matchmaking::ServerData* record, long ms) = 0;
    virtual void sweepComplete(long ms) = 0;
    virtual void closed(long ms, int servers) = 0;
    // Called between two update() calls, for what is drawn at a pace.
    virtual void idle(long ms) = 0;
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

    // Opens a live list and calls update() every tickMs, telling observer
    // what happens, until durationS seconds have passed (0: no limit) or
    // *stop is set, then closes the list. Records of servers gone are
    // deleted after the observer heard of them. Returns the servers listed
    // when the list closed, or -1 when it could not open its sockets.
    int runLive(LiveObserver* observer, const std::atomic<bool>& stop);

    // The records listed, in the order of the --sort key when one was
    // given, else in the order they were first reported.
    std::vector<brenn::matchmaking::ServerData*> liveRecords();

private:
    static void onNewServerData(brenn::matchmaking::ServerData* record, std::uint32_t progress, bool isNew,
                                void* context);
    static void onStateChanged(std::uint32_t state, void* context);
    static void onTrace(const char* line, void* context);
    static void onServerGone(brenn::matchmaking::ServerData* record, void* context);
    long liveMs() const;

    const BrowseOptions options_;
    ProgressDisplay* display_;
    brenn::matchmaking::JoinMatchmaking host_;  // declared first: outlives the service
    brenn::matchmaking::velnar::VelnarLanJoin* service_ = nullptr;
    PassResult* current_ = nullptr;
    bool sorting_ = false;
    std::vector<brenn::matchmaking::ServerData*> sortedCapture_;
    LiveObserver* live_ = nullptr;
    std::vector<brenn::matchmaking::ServerData*> liveListed_;  // first report order
    std::chrono::steady_clock::time_point liveStart_;
};

// "address:port" of a record.
std::string endpointOf(const brenn::matchmaking::ServerData* record);

}  // namespace lanbrowse
