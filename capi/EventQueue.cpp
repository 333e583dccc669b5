// EventQueue: a ring that doubles up to its capacity.
#include "capi/EventQueue.h"

#include <algorithm>

namespace brenn::capi {

void EventQueue::push(const vlj_event& event) noexcept {
    if (size_ == ring_.size() && ring_.size() < Capacity) {
        try {
            std::vector<vlj_event> larger(std::min(Capacity, std::max<std::size_t>(64, ring_.size() * 2)));
            for (std::size_t i = 0; i < size_; ++i) larger[i] = ring_[(first_ + i) % ring_.size()];
            ring_.swap(larger);
            first_ = 0;
        } catch (...) {
            // Kept as it was: the oldest event makes room below.
        }
    }
    if (ring_.empty()) {
        ++dropped_;
        return;
    }
    if (size_ == ring_.size()) {
        first_ = (first_ + 1) % ring_.size();
        --size_;
        ++dropped_;
    }
    ring_[(first_ + size_) % ring_.size()] = event;
    ++size_;
}

bool EventQueue::pop(vlj_event* event) noexcept {
    if (size_ == 0) return false;
    *event = ring_[first_];
    first_ = (first_ + 1) % ring_.size();
    --size_;
    return true;
}

}  // namespace brenn::capi
