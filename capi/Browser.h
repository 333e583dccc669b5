// vlj_browser: the C interface's browser, a join service with a
// JoinMatchmaking of its own, the servers it lists and its events.
#pragma once

#include "capi/EventQueue.h"
#include "capi/ServerList.h"
#include "capi/velnarlanjoin.h"
#include "service/VelnarLanJoin.h"

#include <memory>
#include <vector>

struct vlj_browser {
    // Hooks the matchmaking up to this browser; the service is made by
    // vlj_browser_create.
    vlj_browser();
    ~vlj_browser();

    // Hands the servers a live list reports gone to this browser.
    void hearGone();

    // Delivers the events gathered since the last delivery, in order: to
    // the callback when one is set (with the server looked up by id), else
    // into the queue. Never throws.
    void deliver() noexcept;

    brenn::matchmaking::JoinMatchmaking matchmaking;
    brenn::capi::ServerList servers;
    std::unique_ptr<brenn::matchmaking::velnar::VelnarLanJoin> service;  // gone before the records
    brenn::capi::EventQueue queue;

    vlj_event_callback callback = nullptr;
    void* callbackUser = nullptr;
    vlj_trace_callback trace = nullptr;
    void* traceUser = nullptr;

    // Events heard from the service, not delivered yet.
    std::vector<vlj_event> gathered;
    // The service's isUpdating(), kept here so that a step with nothing to
    // do costs no call into the service: set when an update starts, cleared
    // when the service reports the idle state.
    bool running = false;
    // True while deliver() runs: a step from a callback is refused.
    bool delivering = false;
    // Ids of the servers a live list reported gone in this step: removed
    // once its events are delivered.
    std::vector<std::uint32_t> leaving;
    // A problem event was delivered for the update running (in a live
    // list, before its live state): none again before the idle state.
    bool problemReported = false;
    // While sortServers runs, the records it hands out are its order.
    bool sorting = false;
    bool sortFailed = false;
    std::vector<brenn::matchmaking::ServerData*> sortOrder;

private:
    static void onServer(brenn::matchmaking::ServerData* record, std::uint32_t progress, bool isNew,
                         void* context);
    static void onState(std::uint32_t state, void* context);
    static void onGone(brenn::matchmaking::ServerData* record, void* context);
    // Removes the servers still leaving after a delivery.
    void removeLeaving() noexcept;
    // Adds to gathered; an event that finds no room is dropped.
    void gather(const vlj_event& event) noexcept;
};
