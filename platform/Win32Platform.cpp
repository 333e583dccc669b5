// The platform operations on Windows: Windows Sockets 1.1, the kernel's tick
// clock and current directory, and a message box.
#include "platform/Platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

namespace brenn::platform {

namespace {

// The numbers of the sockets layer, spelt out: IPv4, datagram, UDP, and the
// socket-level broadcast option.
constexpr WORD SocketsVersion = 0x0101;
constexpr int FamilyIPv4 = 2;
constexpr int TypeDatagram = 2;
constexpr int ProtocolUdp = 17;
constexpr int LevelSocket = 0xFFFF;
constexpr int OptionBroadcast = 0x20;
// Lets sockets that all ask for it bind one port (SO_REUSEADDR).
constexpr int OptionReuseAddress = 4;
// Keeps other sockets from binding the port too, even with SO_REUSEADDR.
constexpr int OptionExclusiveAddressUse = ~OptionReuseAddress;
// Turns off the receive failure that an ICMP port unreachable leaves on a
// UDP socket (IOC_IN | IOC_VENDOR | 12).
constexpr DWORD ControlUdpConnectionReset = 0x9800000C;
constexpr int OptionReceiveBuffer = 0x1002;

static_assert(FD_SETSIZE >= MaxPollSockets, "one read set must hold a whole poll");
static_assert(static_cast<Socket>(INVALID_SOCKET) == InvalidSocket, "one value for no socket");

SOCKET handle(Socket socket) { return static_cast<SOCKET>(socket); }

int win32StartSockets() {
    WSADATA data;
    return ::WSAStartup(SocketsVersion, &data) == 0 ? 0 : -1;
}

void win32EndSockets() { ::WSACleanup(); }

Socket win32OpenUdpSocket() {
    const SOCKET s = ::socket(FamilyIPv4, TypeDatagram, ProtocolUdp);
    return s == INVALID_SOCKET ? InvalidSocket : static_cast<Socket>(s);
}

int win32EnableBroadcast(Socket socket) {
    const int on = 1;
    return ::setsockopt(handle(socket), LevelSocket, OptionBroadcast, reinterpret_cast<const char*>(&on),
                        sizeof on) == 0
               ? 0
               : -1;
}

int win32SendTo(Socket socket, const void* data, int length, std::uint32_t address, std::uint16_t port) {
    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = FamilyIPv4;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    const int sent = ::sendto(handle(socket), static_cast<const char*>(data), length, 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == SOCKET_ERROR ? -1 : sent;
}

// Windows differs from POSIX in two ways here, both settled at this boundary:
// - A datagram longer than the buffer fails with WSAEMSGSIZE after filling
//   the buffer and the sender; it is reported as a datagram of capacity
//   bytes, the first part of what came, as POSIX reports it.
// - An ICMP port unreachable caused by an earlier send makes the next
//   receive fail with WSAECONNRESET. When the layer names the peer that
//   refused, that peer is reported as the sender of the failure, so the
//   query to it ends at once; when it names nobody, the sender is 0/0.
// The sockets are blocking: the engine receives only from a socket that a
// poll has just found readable.
int win32ReceiveFrom(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port) {
    sockaddr_in from;
    std::memset(&from, 0, sizeof from);
    int fromLength = sizeof from;
    int received = ::recvfrom(handle(socket), static_cast<char*>(buffer), capacity, 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
    const int error = received == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    if (error == WSAEMSGSIZE) received = capacity;
    if (error == WSAEWOULDBLOCK) {
        *address = 0;
        *port = 0;
        return NothingToRead;
    }
    const bool named = fromLength >= static_cast<int>(sizeof from) && from.sin_family == FamilyIPv4;
    *address = named ? from.sin_addr.s_addr : 0;
    *port = named ? from.sin_port : 0;
    return received == SOCKET_ERROR ? -1 : received;
}

// Windows Sockets 1.1 tells nothing of when a datagram came: it is taken to
// have arrived at the receive.
int win32ReceiveTimed(Socket socket, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port,
                      std::uint32_t* arrival) {
    const int received = win32ReceiveFrom(socket, buffer, capacity, address, port);
    *arrival = ::GetTickCount();
    return received;
}

int win32PollReadable(const Socket* sockets, int count, std::uint8_t* readable) {
    if (count < 0 || count > MaxPollSockets) return -1;
    // select refuses a call with no socket at all; nothing is readable then.
    if (count == 0) return 0;
    fd_set readSet;
    FD_ZERO(&readSet);
    for (int i = 0; i < count; ++i) FD_SET(handle(sockets[i]), &readSet);
    timeval noWait = {0, 0};
    if (::select(0, &readSet, nullptr, nullptr, &noWait) == SOCKET_ERROR) return -1;
    int ready = 0;
    for (int i = 0; i < count; ++i) {
        readable[i] = FD_ISSET(handle(sockets[i]), &readSet) ? 1 : 0;
        ready += readable[i];
    }
    return ready;
}

void win32CloseSocket(Socket socket) {
    if (socket != InvalidSocket) ::closesocket(handle(socket));
}

// A socket bound to port on every address, non-blocking. It answers many
// peers, some of which will have gone: a reply to one of them must not make
// the next receive fail, so the connection reset report is turned off
// (where the layer cannot, the caller's receive failures are bounded
// anyway). A game's own port is held exclusively; a shared one takes
// SO_REUSEADDR before bind, which every socket sharing the port must set
// (the first one too), and may send broadcasts.
Socket bindSocket(std::uint16_t port, bool shared, int* failure) {
    *failure = BindFailed;
    if (port == 0) return InvalidSocket;
    const SOCKET s = ::socket(FamilyIPv4, TypeDatagram, ProtocolUdp);
    if (s == INVALID_SOCKET) return InvalidSocket;
    const int on = 1;
    const char* value = reinterpret_cast<const char*>(&on);
    bool ready = true;
    if (shared)
        ready = ::setsockopt(s, LevelSocket, OptionReuseAddress, value, sizeof on) == 0 &&
                ::setsockopt(s, LevelSocket, OptionBroadcast, value, sizeof on) == 0;
    else
        ::setsockopt(s, LevelSocket, OptionExclusiveAddressUse, value, sizeof on);
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    local.sin_family = FamilyIPv4;
    local.sin_port = hostToNet16(port);
    local.sin_addr.s_addr = INADDR_ANY;
    if (!ready || ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        const int error = ready ? ::WSAGetLastError() : 0;
        if (error == WSAEADDRINUSE || error == WSAEACCES) *failure = BindInUse;
        ::closesocket(s);
        return InvalidSocket;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        ::closesocket(s);
        return InvalidSocket;
    }
    BOOL reportReset = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, ControlUdpConnectionReset, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
               nullptr);
    return static_cast<Socket>(s);
}

Socket win32BindUdpSocket(std::uint16_t port, int* failure) { return bindSocket(port, false, failure); }

Socket win32BindSharedUdpSocket(std::uint16_t port, int* failure) { return bindSocket(port, true, failure); }

int win32SetReceiveBuffer(Socket socket, int bytes) {
    if (::setsockopt(handle(socket), LevelSocket, OptionReceiveBuffer, reinterpret_cast<const char*>(&bytes),
                     sizeof bytes) != 0)
        return -1;
    int granted = 0;
    int length = sizeof granted;
    if (::getsockopt(handle(socket), LevelSocket, OptionReceiveBuffer, reinterpret_cast<char*>(&granted),
                     &length) != 0)
        return -1;
    return granted;
}

// The interface list of the sockets layer (SIO_GET_INTERFACE_LIST), asked
// on a socket of its own. Windows reports 255.255.255.255 as every
// interface's broadcast address, so the directed broadcast is computed from
// the address and the mask.
int win32ListInterfaces(InterfaceAddress* out, int capacity) {
    const SOCKET s = ::socket(FamilyIPv4, TypeDatagram, ProtocolUdp);
    if (s == INVALID_SOCKET) return -1;
    INTERFACE_INFO list[MaxInterfaces];
    DWORD bytes = 0;
    const int result = ::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr);
    ::closesocket(s);
    if (result == SOCKET_ERROR) return -1;
    const int listed = static_cast<int>(bytes / sizeof(INTERFACE_INFO));
    int count = 0;
    for (int i = 0; i < listed && count < capacity; ++i) {
        const INTERFACE_INFO& info = list[i];
        if (info.iiAddress.Address.sa_family != FamilyIPv4 || (info.iiFlags & IFF_UP) == 0) continue;
        InterfaceAddress& entry = out[count++];
        entry.address = info.iiAddress.AddressIn.sin_addr.s_addr;
        entry.netmask = info.iiNetmask.AddressIn.sin_addr.s_addr;
        entry.flags = InterfaceUp;
        if (info.iiFlags & IFF_LOOPBACK) entry.flags |= InterfaceLoopback;
        if (info.iiFlags & IFF_POINTTOPOINT) entry.flags |= InterfacePointToPoint;
        entry.broadcast = 0;
        if ((info.iiFlags & IFF_BROADCAST) && !(info.iiFlags & IFF_POINTTOPOINT)) {
            entry.flags |= InterfaceBroadcast;
            entry.broadcast = entry.address | ~entry.netmask;
        }
    }
    return count;
}

std::uint32_t win32AddressFromText(const char* text) {
    return text == nullptr ? NoAddress : static_cast<std::uint32_t>(::inet_addr(text));
}

const char* win32AddressToText(std::uint32_t address) {
    in_addr in;
    in.s_addr = address;
    const char* text = ::inet_ntoa(in);
    return text != nullptr ? text : "0.0.0.0";
}

std::uint32_t win32TickCount() { return ::GetTickCount(); }

void win32Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

// GetCurrentDirectoryA gives the length without the NUL, or the size it
// would need when the buffer is too small; the latter is a failure here.
std::uint32_t win32CurrentDirectory(std::uint32_t size, char* buffer) {
    if (buffer == nullptr || size == 0) return 0;
    const DWORD length = ::GetCurrentDirectoryA(size, buffer);
    if (length == 0 || length >= size) {
        buffer[0] = '\0';
        return 0;
    }
    return length;
}

void win32ShowMessage(const char* text, const char* caption) { ::MessageBoxA(nullptr, text, caption, MB_OK); }

std::FILE* win32OpenTextFile(const char* path) { return path == nullptr ? nullptr : std::fopen(path, "r"); }

}  // namespace

const Operations& native() {
    static const Operations operations = {
        win32StartSockets,     win32EndSockets,    win32OpenUdpSocket,   win32EnableBroadcast,
        win32SendTo,           win32ReceiveFrom,   win32PollReadable,    win32CloseSocket,
        win32BindUdpSocket,    win32SetReceiveBuffer, win32ListInterfaces,
        win32AddressFromText,  win32AddressToText, win32TickCount,       win32Sleep,
        win32CurrentDirectory, win32ShowMessage,   win32OpenTextFile,
        win32BindSharedUdpSocket, win32ReceiveTimed,
    };
    return operations;
}

}  // namespace brenn::platform
