// The gaps between a live listing's later broadcast rounds.
#include "browser/LiveSchedule.h"

namespace brenn::browser {

std::uint32_t roundGap(std::int32_t number) {
    std::uint32_t gap = FirstRoundGap;
    for (std::int32_t n = 1; n < number && gap < RoundGapCap; ++n) gap *= 2;
    return gap < RoundGapCap ? gap : RoundGapCap;
}

}  // namespace brenn::browser
