// How the host's enumerations map to the engine's: internal to the plug-in
// (not installed). VelnarLanJoin's private getVelnarQueryType and
// getVelnarCompareMode answer through these.
#pragma once

#include "browser/BrowserTypes.h"
#include "service/MatchmakingTypes.h"

#include <cstdint>

namespace brenn::matchmaking::velnar {

// 0 to 5 as they are, 6 to 7, anything else to Status.
inline std::int32_t engineQueryType(QueryType queryType) {
    if (queryType >= 0 && queryType <= 5) return static_cast<std::int32_t>(queryType);
    return queryType == 6 ? 7 : static_cast<std::int32_t>(brenn::Status);
}

// 0 to 3 as they are, anything else to CaseSensitive.
inline std::int32_t engineCompareMode(CompareMode mode) {
    if (mode >= 0 && mode <= 3) return static_cast<std::int32_t>(mode);
    return static_cast<std::int32_t>(brenn::CaseSensitive);
}

}  // namespace brenn::matchmaking::velnar
