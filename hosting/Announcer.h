// When a hosted game announces itself to live browsers: hellos after it
// starts, one announcement per change at most every ChangeSpacing ms, and
// goodbyes when it stops. The schedule only; the hosting service sends.
#pragma once

#include <cstdint>
#include <string>

namespace brenn::hosting {

// Hello copies after a start, at these ms from it, each later by up to
// HelloJitter ms, so that games started together do not send at once.
constexpr std::uint32_t HelloDelays[] = {0, 1000, 3000};
constexpr std::int32_t HelloCopies = 3;
constexpr std::uint32_t HelloJitter = 100;
// A change is announced no sooner than this many ms after the announcement
// before it (ten a minute at most); changes in between make one.
constexpr std::uint32_t ChangeSpacing = 6000;
// The goodbye's second copy follows the first by this many ms.
constexpr std::uint32_t GoodbyeSpacing = 250;

// What to send: a hello (also the text of a change) or a goodbye.
enum Announcement : std::int32_t {
    NoAnnouncement = 0,
    HelloAnnouncement = 1,
    GoodbyeAnnouncement = 2,
};

// The schedule of one hosted game. Zeroed (Announcer{}) it is idle: it
// announces nothing until announceStart.
struct Announcer {
    std::uint32_t random = 0;     // the jitter generator's state
    std::int32_t hellosLeft = 0;  // hello copies still to send
    std::uint32_t startTick = 0;  // of the hello schedule
    std::uint32_t nextHello = 0;  // tick of the next hello copy
    bool changed = false;         // a change waits for its announcement
    bool announced = false;       // lastSent holds a hello or change sent
    std::uint32_t lastSent = 0;
    bool goodbyeLeft = false;     // the goodbye's second copy waits
    std::uint32_t goodbyeAt = 0;
};

// Starts the hello schedule at tick now: copies at HelloDelays from now,
// each jittered from a generator seeded with seed (the same seed, the same
// ticks). Forgets a change or goodbye that was waiting.
void announceStart(Announcer* announcer, std::uint32_t now, std::uint32_t seed);

// The game's values changed at tick now. A hello copy still to come carries
// the change; otherwise one announcement goes as soon as ChangeSpacing ms
// have passed since the last one. Nothing while the schedule is idle or
// saying goodbye.
void announceChange(Announcer* announcer, std::uint32_t now);

// The game stops at tick now: the caller sends the goodbye's first copy
// itself, at once; the second is due GoodbyeSpacing ms later. No hello or
// change goes after this.
void announceStop(Announcer* announcer, std::uint32_t now);

// Ends the schedule at once, the goodbye's second copy included.
void announceNothing(Announcer* announcer);

// What is due at tick now, at most one announcement per call, taken off
// the schedule: call again until NoAnnouncement. Ticks compare as they wrap.
Announcement nextAnnouncement(Announcer* announcer, std::uint32_t now);

// True while a hello, change or goodbye copy is still to come.
bool announcementsLeft(const Announcer& announcer);

// Ms from tick now until the next announcement is due (0: due now), or -1
// when none is left; for a caller that sleeps between announcements.
std::int32_t untilNextAnnouncement(const Announcer& announcer, std::uint32_t now);

// The datagram of an announcement from a game on port (host byte order),
// as protocol/Wire.h gives it: "announce" for a hello or change, "goodbye"
// for a goodbye.
std::string announcementText(Announcement kind, std::uint16_t port);

}  // namespace brenn::hosting
