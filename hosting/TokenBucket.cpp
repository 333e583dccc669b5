// Token buckets for the reply limits.
#include "hosting/TokenBucket.h"

namespace brenn::hosting {

namespace {

constexpr std::uint64_t MilliTokens = 1000;

std::uint64_t capacity(const BucketRate& rate) { return static_cast<std::uint64_t>(rate.burst) * MilliTokens; }

// The bucket's level at tick now: one thousandth per ms for each token of
// the rate per second.
std::uint64_t levelAt(const TokenBucket& bucket, const BucketRate& rate, std::uint32_t now) {
    const std::uint64_t elapsed = static_cast<std::uint32_t>(now - bucket.tick);
    const std::uint64_t level = bucket.milliTokens + elapsed * rate.perSecond;
    return level < capacity(rate) ? level : capacity(rate);
}

}  // namespace

TokenBucket fullBucket(const BucketRate& rate, std::uint32_t now) { return TokenBucket{capacity(rate), now}; }

bool takeToken(TokenBucket* bucket, const BucketRate& rate, std::uint32_t now) {
    bucket->milliTokens = levelAt(*bucket, rate, now);
    bucket->tick = now;
    if (bucket->milliTokens < MilliTokens) return false;
    bucket->milliTokens -= MilliTokens;
    return true;
}

bool isFullAt(const TokenBucket& bucket, const BucketRate& rate, std::uint32_t now) {
    return levelAt(bucket, rate, now) >= capacity(rate);
}

}  // namespace brenn::hosting
