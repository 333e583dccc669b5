// UdpPing: status queries to one server on a socket of its own.
#include "UdpPing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace brenn::bench {

std::vector<double> pingStatus(const std::string& address, std::uint16_t port, int count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> result;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return result;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return result;
    static const char query[] = "\\status\\";
    char buffer[1500];
    for (int i = 0; i < count; ++i) {
        // Left over from a query that timed out: not this one's answer.
        while (::recv(fd, buffer, sizeof buffer, 0) >= 0) {
        }
        const Clock::time_point sent = Clock::now();
        if (::sendto(fd, query, sizeof query - 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) continue;
        const Clock::time_point deadline = sent + std::chrono::milliseconds(timeoutMs);
        // Spins on the socket, as the host of the pass does in its tight
        // loop; a process that sleeps in poll meets other wake-up costs.
        while (Clock::now() < deadline) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            if (::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength) < 0) continue;
            if (from.sin_addr.s_addr != to.sin_addr.s_addr || from.sin_port != to.sin_port) continue;
            result.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            break;
        }
    }
    ::close(fd);
    return result;
}

}  // namespace brenn::bench
