// The announcement schedule of a hosted game.
#include "hosting/Announcer.h"

#include "protocol/Wire.h"

namespace brenn::hosting {

namespace {

// True when tick has come at now (ticks wrap at 2^32).
bool reached(std::uint32_t tick, std::uint32_t now) { return now - tick < 0x80000000u; }

// A xorshift generator: enough to spread games apart, and repeatable.
std::uint32_t nextRandom(std::uint32_t* state) {
    std::uint32_t x = *state != 0 ? *state : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

void scheduleHello(Announcer* announcer) {
    const std::uint32_t jitter = nextRandom(&announcer->random) % (HelloJitter + 1);
    announcer->nextHello = announcer->startTick + HelloDelays[HelloCopies - announcer->hellosLeft] + jitter;
}

}  // namespace

void announceStart(Announcer* announcer, std::uint32_t now, std::uint32_t seed) {
    *announcer = Announcer{};
    announcer->random = seed;
    announcer->startTick = now;
    announcer->hellosLeft = HelloCopies;
    scheduleHello(announcer);
}

void announceChange(Announcer* announcer, std::uint32_t) {
    if (announcer->hellosLeft > 0 || !announcer->announced) return;
    announcer->changed = true;
}

void announceStop(Announcer* announcer, std::uint32_t now) {
    *announcer = Announcer{};
    announcer->goodbyeLeft = true;
    announcer->goodbyeAt = now + GoodbyeSpacing;
}

void announceNothing(Announcer* announcer) { *announcer = Announcer{}; }

Announcement nextAnnouncement(Announcer* announcer, std::uint32_t now) {
    if (announcer->goodbyeLeft) {
        if (!reached(announcer->goodbyeAt, now)) return NoAnnouncement;
        announcer->goodbyeLeft = false;
        return GoodbyeAnnouncement;
    }
    if (announcer->hellosLeft > 0) {
        if (!reached(announcer->nextHello, now)) return NoAnnouncement;
        announcer->hellosLeft -= 1;
        if (announcer->hellosLeft > 0) scheduleHello(announcer);
    } else if (!announcer->changed || now - announcer->lastSent < ChangeSpacing) {
        return NoAnnouncement;
    }
    announcer->changed = false;
    announcer->announced = true;
    announcer->lastSent = now;
    return HelloAnnouncement;
}

bool announcementsLeft(const Announcer& announcer) {
    return announcer.goodbyeLeft || announcer.hellosLeft > 0 || announcer.changed;
}

std::int32_t untilNextAnnouncement(const Announcer& announcer, std::uint32_t now) {
    if (!announcementsLeft(announcer)) return -1;
    const std::uint32_t due = announcer.goodbyeLeft    ? announcer.goodbyeAt
                              : announcer.hellosLeft > 0 ? announcer.nextHello
                                                         : announcer.lastSent + ChangeSpacing;
    return reached(due, now) ? 0 : static_cast<std::int32_t>(due - now);
}

std::string announcementText(Announcement kind, std::uint16_t port) {
    const char* key = kind == GoodbyeAnnouncement ? wire::GoodbyeKey : wire::AnnounceKey;
    return std::string("\\") + key + "\\" + std::to_string(port) + "\\gamename\\" + wire::GameName + "\\final\\";
}

}  // namespace brenn::hosting
