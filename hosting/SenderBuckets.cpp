// The per-sender reply limit.
#include "hosting/SenderBuckets.h"

namespace brenn::hosting {

bool SenderBuckets::take(std::uint32_t address, const BucketRate& rate, std::uint32_t now) {
    auto found = buckets_.find(address);
    if (found == buckets_.end()) {
        if (buckets_.size() >= MaxSenders) forgetFull(rate, now);
        if (buckets_.size() >= MaxSenders) return false;
        if (buckets_.empty()) buckets_.reserve(MaxSenders);
        found = buckets_.emplace(address, fullBucket(rate, now)).first;
    }
    return takeToken(&found->second, rate, now);
}

void SenderBuckets::clear() {
    buckets_.clear();
    swept_ = false;
}

void SenderBuckets::forgetFull(const BucketRate& rate, std::uint32_t now) {
    if (swept_ && sweptAt_ == now) return;
    swept_ = true;
    sweptAt_ = now;
    for (auto i = buckets_.begin(); i != buckets_.end();) {
        if (isFullAt(i->second, rate, now))
            i = buckets_.erase(i);
        else
            ++i;
    }
}

}  // namespace brenn::hosting
