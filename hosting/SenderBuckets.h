// One token bucket per sender address, in a table of bounded size.
#pragma once

#include "hosting/TokenBucket.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace brenn::hosting {

class SenderBuckets {
public:
    // The most senders tracked at once; a sender that is not tracked has a
    // full bucket.
    static constexpr std::size_t MaxSenders = 4096;

    // Takes a token from the bucket of address at tick now (see takeToken).
    // When the table is full, the buckets that have filled up again are
    // forgotten first (at most once per tick, so a flood of new senders
    // costs no sweep per datagram); a new sender that still finds no room
    // is refused, so a flood of invented senders cannot grow the table.
    bool take(std::uint32_t address, const BucketRate& rate, std::uint32_t now);

    // Forgets every sender (their buckets are full again).
    void clear();

    std::size_t size() const { return buckets_.size(); }

private:
    void forgetFull(const BucketRate& rate, std::uint32_t now);

    std::unordered_map<std::uint32_t, TokenBucket> buckets_;
    std::uint32_t sweptAt_ = 0;
    bool swept_ = false;
};

}  // namespace brenn::hosting
