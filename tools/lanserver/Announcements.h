// Announcements: the hellos and goodbyes the simulated servers send to live
// browsers with --announce, on the library's own schedule (hosting/Announcer).
#pragma once

#include "hosting/Announcer.h"

#include <cstdint>
#include <vector>

namespace lanserver {

class Announcements {
public:
    // One announcing server: its socket, bound to address:port (network
    // byte order), allowed to broadcast.
    struct Speaker {
        int fd;
        std::uint32_t address;
        std::uint16_t port;
    };

    // Starts every speaker's hellos at now (steady ms), each jittered from
    // the seed and its place in the list. Each announcement goes to
    // 255.255.255.255 and to the broadcast address of the interface that
    // holds the speaker's address, if it has one.
    Announcements(const std::vector<Speaker>& speakers, std::uint64_t seed, std::int64_t now);

    // Sends what is due at now. Result: ms until the next announcement is
    // due, or -1 when none is left.
    std::int64_t step(std::int64_t now);
    // Sends every speaker's goodbye now; the second copies are due 250 ms on.
    void stop(std::int64_t now);

    std::uint64_t hellosSent() const { return hellos_; }
    std::uint64_t goodbyesSent() const { return goodbyes_; }

private:
    struct Entry {
        Speaker speaker;
        std::uint32_t directed;  // the interface's broadcast address; 0 for none
        brenn::hosting::Announcer schedule;
    };

    void send(const Entry& entry, brenn::hosting::Announcement kind);

    std::vector<Entry> entries_;
    std::uint64_t hellos_ = 0;
    std::uint64_t goodbyes_ = 0;
};

}  // namespace lanserver
