// Announcements: reading them, and what a live listing makes of them.
#include "browser/Announcements.h"

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/LiveSchedule.h"
#include "browser/ReplyParser.h"
#include "browser/SenderLimits.h"
#include "browser/Trace.h"

#include <cstring>

namespace brenn::browser {

namespace {

// A hello: a new sender becomes a server to query at once; a listed one is
// asked at once, or HintAge after its last reply when that came later.
void hint(ServerBrowser* browser, std::uint32_t address, std::uint16_t port, std::uint32_t now) {
    const std::int32_t index = findServer(browser, address, port);
    if (index == -1) {
        if (!limits::admit(browser, address, serverCount(browser))) return;
        if (addServer(browser, address, port, Status) == nullptr) limits::release(&browser->limits, address);
        return;
    }
    ServerLiveness& liveness = serverAt(browser, index)->liveness;
    if (!liveness.listed || liveness.slot != 0) return;
    const std::uint32_t earliest = reached(now, liveness.answeredTick + HintAge) ? now : liveness.answeredTick + HintAge;
    if (reached(liveness.dueTick, earliest)) liveness.dueTick = earliest;
}

// "\key\" at the start of text: the length of that much, or 0.
std::size_t startsWithKey(const char* text, const char* key) {
    const std::size_t length = std::strlen(key);
    if (text[0] != '\\' || std::strncmp(text + 1, key, length) != 0 || text[length + 1] != '\\') return 0;
    return length + 2;
}

}  // namespace

AnnouncementKind readAnnouncement(const char* text, std::uint16_t* port) {
    AnnouncementKind kind = NotAnnouncement;
    std::size_t skip = startsWithKey(text, wire::AnnounceKey);
    if (skip != 0) kind = Hello;
    else if ((skip = startsWithKey(text, wire::GoodbyeKey)) != 0) kind = Goodbye;
    else return NotAnnouncement;
    const char* digits = text + skip;
    std::uint32_t value = 0;
    const char* c = digits;
    for (; *c >= '0' && *c <= '9' && c - digits < 5; ++c) value = value * 10 + static_cast<std::uint32_t>(*c - '0');
    if (c == digits || (*c != '\\' && *c != '\0') || value == 0 || value > 65535) return NotAnnouncement;
    *port = static_cast<std::uint16_t>(value);
    return kind;
}

void listenForAnnouncements(ServerBrowser* browser) {
    int failure = 0;
    browser->live.announceSocket = platform::bindSharedUdpSocket(AnnouncePort, &failure);
    if (browser->live.announceSocket == platform::InvalidSocket)
        trace(browser, "announcement port %u %s: servers are found by broadcasts only",
              static_cast<unsigned>(AnnouncePort), failure == platform::BindInUse ? "held by another program" : "not to be had");
}

void collectAnnouncements(ServerBrowser* browser) {
    LiveListing& live = browser->live;
    char buffer[server::MaxDatagram + 1];
    for (std::int32_t read = 0; read < MaxAnnouncementsPerStep && browser->state == Live; ++read) {
        std::uint8_t readable = 0;
        if (platform::pollReadable(&live.announceSocket, 1, &readable) <= 0 || !readable) return;
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        const int length = platform::receiveFrom(live.announceSocket, buffer, server::MaxDatagram, &address, &port);
        if (length < 0) return;
        buffer[length] = '\0';
        const std::uint16_t source = platform::netToHost16(port);
        std::uint16_t named = 0;
        const AnnouncementKind kind = readAnnouncement(buffer, &named);
        // Only the game itself speaks for its port.
        if (kind == NotAnnouncement || named != source) {
            live.ignored += 1;
            continue;
        }
        live.announcements += 1;
        if (kind == Hello) {
            hint(browser, address, source, platform::tickCount());
            continue;
        }
        const std::int32_t index = findServer(browser, address, source);
        if (index == -1) continue;
        BrowserServer* leaving = serverAt(browser, index);
        trace(browser, "%s:%u: said goodbye", server::address(leaving), static_cast<unsigned>(source));
        live::removeServer(browser, leaving);
    }
}

}  // namespace brenn::browser
