// The values a hosted game reports, and the bodies of its status reply.
#pragma once

#include "hosting/ReplyBuilder.h"
#include "protocol/Wire.h"
#include "service/HostingTypes.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace brenn::hosting {

// The game name every reply carries under "gamename".
constexpr const char* GameName = wire::GameName;
// Player slots: indexes 0 to MaxPlayerSlots - 1, as many as a browser reads.
constexpr std::int32_t MaxPlayerSlots = 256;
// The player limit until the host sets one.
constexpr std::int32_t DefaultPlayerLimit = 16;
// The most datagrams one reply may take.
constexpr std::size_t MaxReplyDatagrams = wire::MaxReplyParts;

// The reply holds hostname, gamename, numplayers and maxplayers first, then
// the server values by section (basic, info, rules, teams) in the order
// their keys were first set, then each player's values under "key_N", with
// N counting the players present from 0 in slot order, so that numplayers
// players always read as players 0 to numplayers - 1 however slots were
// filled and emptied. Keys are matched ignoring the case of ASCII letters,
// as browsers match them. Every setter either succeeds or changes nothing;
// one that sets what is there already succeeds without a change.
class GameValues {
public:
    // Sets key to value in section. HostBadSection, HostBadKey (empty, '\'
    // or NUL, or gamename, numplayers, maxplayers, final, queryid, which the
    // service keeps itself), HostBadValue ('\' or NUL, or "\key\value"
    // longer than MaxPairLength), HostReplyTooLarge.
    matchmaking::HostResult setServerValue(const std::string& section, const std::string& key,
                                           const std::string& value);
    // Sets a value of the player in slot index, adding the player. Player
    // keys are at most MaxPlayerKeyLength long, so that "key_N" stays within
    // what browsers look up. HostBadPlayer, HostBadKey, HostBadValue,
    // HostServerFull, HostReplyTooLarge.
    matchmaking::HostResult setPlayerValue(std::int32_t index, const std::string& key, const std::string& value);
    // Removes the player in slot index with its values. HostBadPlayer when
    // there is none.
    matchmaking::HostResult removePlayer(std::int32_t index);
    // 0 to MaxPlayerSlots, and no fewer than the players present; else
    // HostBadLimit.
    matchmaking::HostResult setPlayerLimit(std::int32_t limit);

    std::int32_t playerCount() const { return static_cast<std::int32_t>(players_.size()); }
    std::int32_t playerLimit() const { return playerLimit_; }
    // Counts the changes to what the reply says: a caller that kept the
    // count knows whether anything changed since.
    std::uint64_t revision() const { return revision_; }

    // Every pair of the reply, in order.
    std::vector<Pair> pairs() const;
    // The reply's bodies (splitReply of pairs()), rebuilt only after a change.
    const std::vector<std::string>& bodies();

    static constexpr std::size_t MaxPlayerKeyLength = 27;

private:
    struct Value {
        std::string section;
        std::string key;
        std::string value;
    };
    using PlayerValues = std::vector<Pair>;

    // True when the reply, as the values are now, takes at most
    // MaxReplyDatagrams datagrams.
    bool replyFits();
    void changed() { dirty_ = true; }
    matchmaking::HostResult revised() {
        ++revision_;
        return matchmaking::HostOk;
    }

    std::vector<Value> server_;
    std::map<std::int32_t, PlayerValues> players_;
    std::int32_t playerLimit_ = DefaultPlayerLimit;
    std::vector<std::string> bodies_;
    bool dirty_ = true;
    std::uint64_t revision_ = 0;
};

}  // namespace brenn::hosting
