// The values of a hosted game and the bodies of its reply.
#include "hosting/GameValues.h"

#include <cstring>

namespace brenn::hosting {

namespace {

using matchmaking::HostResult;

constexpr const char* Sections[] = {"basic", "info", "rules", "teams"};
// Keys the service writes itself, or that end or number a reply.
constexpr const char* ReservedKeys[] = {"gamename", "numplayers", "maxplayers", "final", "queryid"};
// A reply of at most this many bytes of pairs fits MaxReplyDatagrams
// datagrams however its pairs fall: each two datagrams in a row hold more
// than one datagram's room (else the second's first pair had joined the
// first), so n datagrams hold more than (n / 2) * MaxPairLength.
// "_N" for the highest player number.
constexpr std::size_t PlayerSuffixLength = 4;
constexpr std::size_t SurelyFits = (MaxReplyDatagrams / 2 - 1) * MaxPairLength;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool carriable(const std::string& text) { return text.find('\\') == std::string::npos && text.find('\0') == std::string::npos; }

bool validSection(const std::string& section) {
    for (const char* s : Sections)
        if (section == s) return true;
    return false;
}

bool reserved(const std::string& key) {
    for (const char* r : ReservedKeys)
        if (sameKey(key, r)) return true;
    return false;
}

// The key and value checks shared by server and player values; suffix is
// the room the key takes beyond its own text in the reply.
HostResult checkPair(const std::string& key, const std::string& value, std::size_t keyRoom, std::size_t suffix) {
    if (key.empty() || !carriable(key) || key.size() > keyRoom) return matchmaking::HostBadKey;
    if (!carriable(value) || key.size() + suffix + value.size() + 2 > MaxPairLength) return matchmaking::HostBadValue;
    return matchmaking::HostOk;
}

std::size_t digits(std::size_t n) {
    std::size_t count = 1;
    while (n >= 10) {
        n /= 10;
        ++count;
    }
    return count;
}

template <typename Entries>
typename Entries::iterator findKey(Entries& entries, const std::string& key) {
    for (auto i = entries.begin(); i != entries.end(); ++i)
        if (sameKey(i->first, key)) return i;
    return entries.end();
}

}  // namespace

HostResult GameValues::setServerValue(const std::string& section, const std::string& key, const std::string& value) {
    if (!validSection(section)) return matchmaking::HostBadSection;
    if (reserved(key)) return matchmaking::HostBadKey;
    const HostResult checked = checkPair(key, value, MaxPairLength, 0);
    if (checked != matchmaking::HostOk) return checked;
    std::size_t at = 0;
    while (at < server_.size() && !sameKey(server_[at].key, key)) ++at;
    const bool added = at == server_.size();
    if (!added && server_[at].section == section && server_[at].key == key && server_[at].value == value)
        return matchmaking::HostOk;
    Value previous;
    if (added)
        server_.push_back(Value{section, key, value});
    else {
        previous = server_[at];
        server_[at] = Value{section, key, value};
    }
    changed();
    if (replyFits()) return revised();
    if (added)
        server_.pop_back();
    else
        server_[at] = std::move(previous);
    changed();  // the bodies were built for the value refused
    return matchmaking::HostReplyTooLarge;
}

HostResult GameValues::setPlayerValue(std::int32_t index, const std::string& key, const std::string& value) {
    if (index < 0 || index >= MaxPlayerSlots) return matchmaking::HostBadPlayer;
    const HostResult checked = checkPair(key, value, MaxPlayerKeyLength, PlayerSuffixLength);
    if (checked != matchmaking::HostOk) return checked;
    auto player = players_.find(index);
    const bool newPlayer = player == players_.end();
    if (!newPlayer) {
        const auto same = findKey(player->second, key);
        if (same != player->second.end() && same->first == key && same->second == value) return matchmaking::HostOk;
    }
    if (newPlayer && playerCount() >= playerLimit_) return matchmaking::HostServerFull;
    if (newPlayer) player = players_.emplace(index, PlayerValues{}).first;
    PlayerValues& values = player->second;
    const auto found = findKey(values, key);
    const bool added = found == values.end();
    const std::size_t at = static_cast<std::size_t>(found - values.begin());
    Pair previous;
    if (added)
        values.emplace_back(key, value);
    else {
        previous = values[at];
        values[at] = Pair{key, value};
    }
    changed();
    if (replyFits()) return revised();
    if (newPlayer)
        players_.erase(player);
    else if (added)
        values.pop_back();
    else
        values[at] = std::move(previous);
    changed();
    return matchmaking::HostReplyTooLarge;
}

HostResult GameValues::removePlayer(std::int32_t index) {
    if (players_.erase(index) == 0) return matchmaking::HostBadPlayer;
    changed();
    return revised();
}

HostResult GameValues::setPlayerLimit(std::int32_t limit) {
    if (limit < 0 || limit > MaxPlayerSlots || limit < playerCount()) return matchmaking::HostBadLimit;
    if (limit == playerLimit_) return matchmaking::HostOk;
    playerLimit_ = limit;
    changed();
    return revised();
}

std::vector<Pair> GameValues::pairs() const {
    std::vector<Pair> result;
    for (const Value& v : server_)
        if (sameKey(v.key, "hostname")) result.emplace_back(v.key, v.value);
    result.emplace_back("gamename", GameName);
    result.emplace_back("numplayers", std::to_string(playerCount()));
    result.emplace_back("maxplayers", std::to_string(playerLimit_));
    for (const char* section : Sections)
        for (const Value& v : server_)
            if (v.section == section && !sameKey(v.key, "hostname")) result.emplace_back(v.key, v.value);
    std::int32_t number = 0;
    for (const auto& player : players_) {
        const std::string suffix = "_" + std::to_string(number++);
        for (const Pair& p : player.second) result.emplace_back(p.first + suffix, p.second);
    }
    return result;
}

const std::vector<std::string>& GameValues::bodies() {
    if (dirty_) {
        bodies_ = splitReply(pairs(), 1);
        dirty_ = false;
    }
    return bodies_;
}

bool GameValues::replyFits() {
    // The length of every pair, counted without building the reply; the
    // fixed pairs take at most 64 bytes.
    std::size_t total = 64;
    for (const Value& v : server_) total += v.key.size() + v.value.size() + 2;
    std::size_t number = 0;
    for (const auto& player : players_) {
        const std::size_t suffix = 1 + digits(number++);
        for (const Pair& p : player.second) total += pairLength(p) + suffix;
    }
    if (total <= SurelyFits) return true;
    return bodies().size() <= MaxReplyDatagrams;
}

}  // namespace brenn::hosting
