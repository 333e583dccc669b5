// A test's own UDP socket on Windows Sockets.
#include "support/WinsockPeer.h"

#include <winsock2.h>

#include <cstring>

namespace brenn::testing {

WinsockPeer::WinsockPeer() {
    WSADATA data;
    started_ = ::WSAStartup(0x0101, &data) == 0;
    if (!started_) return;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in at;
    std::memset(&at, 0, sizeof at);
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    int length = sizeof at;
    if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        ::closesocket(s);
        return;
    }
    socket_ = s;
    port_ = ::ntohs(at.sin_port);
}

WinsockPeer::~WinsockPeer() {
    close();
    if (started_) ::WSACleanup();
}

void WinsockPeer::close() {
    if (socket_ != Invalid) ::closesocket(static_cast<SOCKET>(socket_));
    socket_ = Invalid;
}

bool WinsockPeer::receive(std::string& data, std::uint32_t& address, std::uint16_t& port, int waitMs) {
    if (socket_ == Invalid) return false;
    const SOCKET s = static_cast<SOCKET>(socket_);
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(s, &readSet);
    timeval wait = {waitMs / 1000, (waitMs % 1000) * 1000};
    if (::select(0, &readSet, nullptr, nullptr, &wait) != 1) return false;
    char buffer[4096];
    sockaddr_in from;
    int fromLength = sizeof from;
    const int received = ::recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0) return false;
    data.assign(buffer, static_cast<std::size_t>(received));
    address = from.sin_addr.s_addr;
    port = from.sin_port;
    return true;
}

bool WinsockPeer::send(const std::string& data, std::uint32_t address, std::uint16_t port) {
    if (socket_ == Invalid) return false;
    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    return ::sendto(static_cast<SOCKET>(socket_), data.data(), static_cast<int>(data.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<int>(data.size());
}

}  // namespace brenn::testing
