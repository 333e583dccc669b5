// Announcements: the datagrams hosted games send to live browsers on a
// port of their own when they start, change or stop. A live listing
// listens on that port (shared, so that every browser and game on one
// machine hears them); an announcement is only a hint to query its
// sender, and a goodbye counts only from the server's own address and port.
#pragma once

#include "protocol/Wire.h"

#include <cstdint>

namespace brenn {

struct ServerBrowser;

namespace browser {

// The port announcements are sent to.
constexpr std::uint16_t AnnouncePort = wire::AnnouncePort;
// The most datagrams read from the announcement port in one step.
constexpr std::int32_t MaxAnnouncementsPerStep = 1000;

enum AnnouncementKind : std::int32_t {
    NotAnnouncement = 0,
    Hello = 1,    // "\announce\PORT\...": the game started or changed
    Goodbye = 2,  // "\goodbye\PORT\...": the game stops
};

// Reads a datagram's text (up to its first NUL): Hello or Goodbye when its
// first key is "announce" or "goodbye" and that key's value is a port
// (decimal, 1 to 65535, written to *port); NotAnnouncement otherwise.
AnnouncementKind readAnnouncement(const char* text, std::uint16_t* port);

// Opens the live listing's announcement socket; when the port cannot be
// had the listing goes on without it (traced), finding servers by its
// broadcasts alone.
void listenForAnnouncements(ServerBrowser* browser);

// Reads what waits on the announcement socket (at most
// MaxAnnouncementsPerStep): a hello whose port is its sender's asks that
// server at once (a new one within the bounds of SenderLimits; a listed one
// at once, or HintAge after its last reply); a goodbye from a listed server's own
// address and port takes it out of the list (ServerGone) at once; anything
// else is counted in live.ignored.
void collectAnnouncements(ServerBrowser* browser);

}  // namespace browser

}  // namespace brenn
