// The platform operations on POSIX systems: BSD sockets, poll(), a monotonic
// clock, and standard error in place of a message box.
#include "platform/Platform.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

namespace brenn::platform {

namespace {

// The kernel's receive time of each datagram, as a control message of
// recvmsg: in nanoseconds where the system offers it, else microseconds.
// Both are read on the real-time clock.
#if defined(SO_TIMESTAMPNS)
constexpr int StampOption = SO_TIMESTAMPNS;
constexpr int StampMessage = SCM_TIMESTAMPNS;
using Stamp = timespec;
std::int64_t stampNanoseconds(const Stamp& stamp) {
    return static_cast<std::int64_t>(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
}
#else
constexpr int StampOption = SO_TIMESTAMP;
constexpr int StampMessage = SCM_TIMESTAMP;
using Stamp = timeval;
std::int64_t stampNanoseconds(const Stamp& stamp) {
    return static_cast<std::int64_t>(stamp.tv_sec) * 1000000000 + static_cast<std::int64_t>(stamp.tv_usec) * 1000;
}
#endif

// A receive time further back than this is taken for a step of the real-time
// clock (set by hand or by a time service), not for a datagram that waited.
constexpr std::int64_t LongestWait = std::int64_t{60} * 1000000000;

std::int64_t nanosecondsOn(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The platform's tick at a time of the monotonic clock.
std::uint32_t tickAt(std::int64_t monotonicNanoseconds) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(monotonicNanoseconds) / 1000000u);
}

// Asks the kernel to stamp the socket's datagrams with their receive time.
// A socket that refuses still works: its datagrams arrive at the receive.
void stampArrivals(int fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, StampOption, &on, sizeof on);
}

// The tick at which the datagram of message arrived: its receive time moved
// from the real-time clock to the monotonic one by how long ago it was
// (both clocks read now); the tick now when it carries no usable time.
std::uint32_t arrivalTick(msghdr* message) {
    const std::int64_t real = nanosecondsOn(CLOCK_REALTIME);
    const std::int64_t monotonic = nanosecondsOn(CLOCK_MONOTONIC);
    for (cmsghdr* c = CMSG_FIRSTHDR(message); c != nullptr; c = CMSG_NXTHDR(message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != StampMessage) continue;
        Stamp stamp{};
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        const std::int64_t age = real - stampNanoseconds(stamp);
        if (age >= 0 && age <= LongestWait) return tickAt(monotonic - age);
    }
    return tickAt(monotonic);
}

int posixStartSockets() { return 0; }

void posixEndSockets() {}

Socket posixOpenUdpSocket() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0) return InvalidSocket;
    stampArrivals(fd);
    return static_cast<Socket>(fd);
}

int posixEnableBroadcast(Socket socket) {
    const int on = 1;
    return ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0
               ? 0
               : -1;
}

int posixSendTo(Socket socket, const void* data, int length, std::uint32_t address,
                std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    const ssize_t sent = ::sendto(static_cast<int>(socket), data, static_cast<size_t>(length),
                                  MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

// Nothing waiting is NothingToRead; a failed receive (an ICMP error queued
// on the socket) reports no sender: address and port 0. With arrival, the
// receive time comes with the datagram (stampArrivals).
int receive(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port,
            std::uint32_t* arrival) {
    sockaddr_in from{};
    iovec data{buffer, static_cast<size_t>(capacity)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(Stamp)) + 64];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = arrival != nullptr ? control : nullptr;
    message.msg_controllen = arrival != nullptr ? sizeof control : 0;
    ssize_t received;
    do {
        received = ::recvmsg(static_cast<int>(socket), &message, MSG_DONTWAIT);
    } while (received < 0 && errno == EINTR);
    const int failure = errno;
    if (arrival != nullptr) *arrival = received >= 0 ? arrivalTick(&message) : tickAt(nanosecondsOn(CLOCK_MONOTONIC));
    if (received < 0 || from.sin_family != AF_INET) {
        *address = 0;
        *port = 0;
        if (received >= 0) return static_cast<int>(received);
        return failure == EAGAIN || failure == EWOULDBLOCK ? NothingToRead : -1;
    }
    *address = from.sin_addr.s_addr;
    *port = from.sin_port;
    return static_cast<int>(received);
}

int posixReceiveFrom(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port) {
    return receive(socket, buffer, capacity, address, port, nullptr);
}

int posixReceiveTimed(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port,
                      std::uint32_t* arrival) {
    return receive(socket, buffer, capacity, address, port, arrival);
}

int posixPollReadable(const Socket* sockets, int count, std::uint8_t* readable) {
    if (count < 0 || count > MaxPollSockets) return -1;
    pollfd fds[MaxPollSockets];
    for (int i = 0; i < count; ++i) {
        fds[i].fd = static_cast<int>(sockets[i]);
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
    int ready;
    do {
        ready = ::poll(fds, static_cast<nfds_t>(count), 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return -1;
    ready = 0;
    for (int i = 0; i < count; ++i) {
        // An error condition counts as readable: the receive then reports it.
        const bool isReady = (fds[i].revents & (POLLIN | POLLERR)) != 0;
        readable[i] = isReady ? 1 : 0;
        ready += isReady ? 1 : 0;
    }
    return ready;
}

void posixCloseSocket(Socket socket) {
    if (socket != InvalidSocket) ::close(static_cast<int>(socket));
}

// A socket bound to port on every address, non-blocking. A shared one
// takes SO_REUSEADDR, which lets sockets that all ask for it bind one UDP
// port and gives each of them every broadcast to it, and SO_REUSEPORT where
// the system has it (the BSDs need it for that; on Linux it lets the port be
// shared with programs that set only it). Both are set before bind, as they
// must be; a shared socket can also send broadcasts.
Socket bindSocket(std::uint16_t port, bool shared, int* failure) {
    *failure = BindFailed;
    if (port == 0) return InvalidSocket;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return InvalidSocket;
    stampArrivals(fd);
    const int on = 1;
    bool ready = true;
    if (shared) {
        ready = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
#ifdef SO_REUSEPORT
        ready = ready && ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) == 0;
#endif
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!ready || ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        if (ready && errno == EADDRINUSE) *failure = BindInUse;
        ::close(fd);
        return InvalidSocket;
    }
    return static_cast<Socket>(fd);
}

// No SO_REUSEADDR: a port that another socket holds is refused, so that two
// games never share one query port.
Socket posixBindUdpSocket(std::uint16_t port, int* failure) { return bindSocket(port, false, failure); }

Socket posixBindSharedUdpSocket(std::uint16_t port, int* failure) { return bindSocket(port, true, failure); }

int posixSetReceiveBuffer(Socket socket, int bytes) {
    const int fd = static_cast<int>(socket);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) return -1;
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) return -1;
    return granted;
}

std::uint32_t addressOf(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return 0;
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr;
}

int posixListInterfaces(InterfaceAddress* out, int capacity) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return -1;
    int count = 0;
    for (const ifaddrs* i = list; i != nullptr && count < capacity; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_UP) == 0)
            continue;
        InterfaceAddress& entry = out[count++];
        entry.address = addressOf(i->ifa_addr);
        entry.netmask = addressOf(i->ifa_netmask);
        entry.flags = InterfaceUp;
        if (i->ifa_flags & IFF_LOOPBACK) entry.flags |= InterfaceLoopback;
        if (i->ifa_flags & IFF_POINTOPOINT) entry.flags |= InterfacePointToPoint;
        entry.broadcast = 0;
        if ((i->ifa_flags & IFF_BROADCAST) && !(i->ifa_flags & IFF_POINTOPOINT)) {
            entry.flags |= InterfaceBroadcast;
            // An address set without a broadcast address (ip addr add without
            // brd) is reported by getifaddrs with the address itself in that
            // place: on a subnet with room for one (a /30 or wider) its
            // all-ones address stands for it then, or the machine's own
            // address would be taken for a broadcast one.
            entry.broadcast = addressOf(i->ifa_broadaddr);
            const bool none = entry.broadcast == entry.address && ntohl(~entry.netmask) >= 3u;
            if (entry.broadcast == 0 || none) entry.broadcast = entry.address | ~entry.netmask;
        }
    }
    ::freeifaddrs(list);
    return count;
}

std::uint32_t posixAddressFromText(const char* text) {
    in_addr address{};
    if (text == nullptr || ::inet_aton(text, &address) == 0) return NoAddress;
    return address.s_addr;
}

const char* posixAddressToText(std::uint32_t address) {
    in_addr in{};
    in.s_addr = address;
    return ::inet_ntoa(in);
}

std::uint32_t posixTickCount() { return tickAt(nanosecondsOn(CLOCK_MONOTONIC)); }

void posixSleep(std::uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000u),
                  static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

std::uint32_t posixCurrentDirectory(std::uint32_t size, char* buffer) {
    if (buffer == nullptr || size == 0) return 0;
    if (::getcwd(buffer, size) == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::uint32_t>(std::strlen(buffer));
}

// No message box on a terminal: one line on standard error.
void posixShowMessage(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

// Paths built the Windows way ("dir\sub\file") open with '/' separators.
std::FILE* posixOpenTextFile(const char* path) {
    if (path == nullptr) return nullptr;
    std::string local(path);
    for (char& c : local)
        if (c == '\\') c = '/';
    return std::fopen(local.c_str(), "r");
}

}  // namespace

const Operations& native() {
    static const Operations operations = {
        posixStartSockets,   posixEndSockets,    posixOpenUdpSocket,     posixEnableBroadcast,
        posixSendTo,         posixReceiveFrom,   posixPollReadable,      posixCloseSocket,
        posixBindUdpSocket,  posixSetReceiveBuffer, posixListInterfaces,
        posixAddressFromText, posixAddressToText, posixTickCount,        posixSleep,
        posixCurrentDirectory, posixShowMessage,  posixOpenTextFile,
        posixBindSharedUdpSocket, posixReceiveTimed,
    };
    return operations;
}

}  // namespace brenn::platform
