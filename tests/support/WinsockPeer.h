// A UDP socket of the test's own on real Windows sockets: the other end of a
// conversation with the platform layer or the engine.
#pragma once

#include <cstdint>
#include <string>

namespace brenn::testing {

class WinsockPeer {
public:
    // Binds to 127.0.0.1 at a port the system picks. ok() tells whether it
    // worked.
    WinsockPeer();
    ~WinsockPeer();
    WinsockPeer(const WinsockPeer&) = delete;
    WinsockPeer& operator=(const WinsockPeer&) = delete;

    bool ok() const { return socket_ != Invalid; }
    // The bound port, host byte order.
    std::uint16_t port() const { return port_; }

    // Waits at most waitMs for one datagram. True with its bytes and its
    // sender (address and port in network byte order) when one came.
    bool receive(std::string& data, std::uint32_t& address, std::uint16_t& port, int waitMs);
    // Sends data to address and port (network byte order). True when sent.
    bool send(const std::string& data, std::uint32_t address, std::uint16_t port);
    // Closes the socket now; the port then refuses datagrams.
    void close();

private:
    static constexpr std::uintptr_t Invalid = ~std::uintptr_t{0};
    std::uintptr_t socket_ = Invalid;
    std::uint16_t port_ = 0;
    bool started_ = false;
};

}  // namespace brenn::testing
