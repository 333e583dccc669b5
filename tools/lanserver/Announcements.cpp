// The simulated servers' announcements to live browsers.
#include "Announcements.h"

#include "platform/Platform.h"
#include "protocol/Wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

namespace lanserver {
namespace {

using namespace brenn::hosting;

// The schedule counts in wrapping 32-bit ticks of the steady clock.
std::uint32_t tick(std::int64_t ms) { return static_cast<std::uint32_t>(ms); }

// The broadcast address of the interface whose network holds address (both
// network byte order), or 0 when none has one.
std::uint32_t directedBroadcast(const std::vector<brenn::platform::InterfaceAddress>& list, std::uint32_t address) {
    using namespace brenn::platform;
    for (const InterfaceAddress& entry : list) {
        if (!(entry.flags & InterfaceBroadcast) || (entry.flags & (InterfaceLoopback | InterfacePointToPoint))) continue;
        if ((entry.address & entry.netmask) == (address & entry.netmask)) return entry.broadcast;
    }
    return 0;
}

}  // namespace

Announcements::Announcements(const std::vector<Speaker>& speakers, std::uint64_t seed, std::int64_t now) {
    // Room for every address a run puts on its interfaces, as Responder has.
    std::vector<brenn::platform::InterfaceAddress> list(70000);
    const int count = brenn::platform::listInterfaces(list.data(), static_cast<int>(list.size()));
    list.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (std::size_t k = 0; k < speakers.size(); ++k) {
        Entry entry{speakers[k], directedBroadcast(list, speakers[k].address), Announcer{}};
        announceStart(&entry.schedule, tick(now), static_cast<std::uint32_t>(seed * 2654435761u + k + 1));
        entries_.push_back(entry);
    }
}

std::int64_t Announcements::step(std::int64_t now) {
    std::int64_t next = -1;
    for (Entry& entry : entries_) {
        Announcement kind;
        while ((kind = nextAnnouncement(&entry.schedule, tick(now))) != NoAnnouncement) send(entry, kind);
        const std::int32_t wait = untilNextAnnouncement(entry.schedule, tick(now));
        if (wait >= 0 && (next < 0 || wait < next)) next = wait;
    }
    return next;
}

void Announcements::stop(std::int64_t now) {
    for (Entry& entry : entries_) {
        send(entry, GoodbyeAnnouncement);
        announceStop(&entry.schedule, tick(now));
    }
}

void Announcements::send(const Entry& entry, Announcement kind) {
    const std::string text = announcementText(kind, ntohs(entry.speaker.port));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(brenn::wire::AnnouncePort);
    bool sent = false;
    for (const std::uint32_t address : {std::uint32_t{0xFFFFFFFFu}, entry.directed}) {
        if (address == 0) continue;
        to.sin_addr.s_addr = address;
        sent |= ::sendto(entry.speaker.fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to) >= 0;
    }
    if (sent) ++(kind == GoodbyeAnnouncement ? goodbyes_ : hellos_);
}

}  // namespace lanserver
