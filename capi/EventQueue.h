// EventQueue: the browser's events waiting for vlj_browser_poll_event, the
// oldest dropped once the queue holds its most.
#pragma once

#include "capi/velnarlanjoin.h"

#include <cstddef>
#include <vector>

namespace brenn::capi {

class EventQueue {
public:
    // The most events held; the oldest goes to make room for a new one.
    static constexpr std::size_t Capacity = 65536;

    // Adds event at the back. Never throws: when the queue is full, or
    // cannot grow for want of memory, the oldest event makes room (and an
    // event with no room at all is dropped). Counts what was dropped.
    void push(const vlj_event& event) noexcept;
    // Takes the oldest event into *event: false when the queue is empty.
    bool pop(vlj_event* event) noexcept;
    std::size_t size() const { return size_; }
    // Events dropped to make room, since creation.
    std::size_t dropped() const { return dropped_; }

private:
    std::vector<vlj_event> ring_;  // its size is the room it has now
    std::size_t first_ = 0;        // the oldest event's slot
    std::size_t size_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace brenn::capi
