// A token bucket: a rate with a burst, kept in whole ticks of the platform
// clock and thousandths of a token.
#pragma once

#include <cstdint>

namespace brenn::hosting {

// Tokens per second and the most that can gather (both at least 1).
struct BucketRate {
    std::uint32_t perSecond;
    std::uint32_t burst;
};

struct TokenBucket {
    std::uint64_t milliTokens;  // thousandths of a token, at most burst * 1000
    std::uint32_t tick;         // the tick up to which the bucket was filled
};

// A full bucket at tick now.
TokenBucket fullBucket(const BucketRate& rate, std::uint32_t now);

// Fills the bucket up to tick now (ticks compared as unsigned differences)
// and takes one token if there is one. Result: true when a token was taken;
// false leaves the bucket filled but otherwise as it was.
bool takeToken(TokenBucket* bucket, const BucketRate& rate, std::uint32_t now);

// True when the bucket would be full at tick now, so that forgetting it
// changes nothing.
bool isFullAt(const TokenBucket& bucket, const BucketRate& rate, std::uint32_t now);

}  // namespace brenn::hosting
