// The simulated servers' announcements to live browsers.
#include "Announcements.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
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
std::uint32_t directedBroadcast(const ifaddrs* list, std::uint32_t address) {
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (!i->ifa_addr || !i->ifa_netmask || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_BROADCAST) || (i->ifa_flags & (IFF_LOOPBACK | IFF_POINTOPOINT))) continue;
        const std::uint32_t own = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        const std::uint32_t mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
        if ((own & mask) == (address & mask)) return own | ~mask;
    }
    return 0;
}

}  // namespace

Announcements::Announcements(const std::vector<Speaker>& speakers, std::uint64_t seed, std::int64_t now) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) list = nullptr;
    for (std::size_t k = 0; k < speakers.size(); ++k) {
        Entry entry{speakers[k], directedBroadcast(list, speakers[k].address), Announcer{}};
        announceStart(&entry.schedule, tick(now), static_cast<std::uint32_t>(seed * 2654435761u + k + 1));
        entries_.push_back(entry);
    }
    if (list != nullptr) ::freeifaddrs(list);
}

std::int64_t Announcements::step(std::int64_t now) {
    std::int64_t next = -1;
    for (Entry& entry : entries_) {
        Announcement kind;
        while ((kind = nextAnnouncement(&entry.schedule, tick(now))) != NoAnnouncement) send(entry, kind);
        if (!announcementsLeft(entry.schedule)) continue;
        const Announcer& s = entry.schedule;
        const std::uint32_t due = s.goodbyeLeft ? s.goodbyeAt : s.nextHello;
        const std::int64_t wait = static_cast<std::int32_t>(due - tick(now));
        if (next < 0 || wait < next) next = wait < 0 ? 0 : wait;
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
    to.sin_port = htons(AnnouncePort);
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
