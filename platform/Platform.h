// The platform seam: every operating-system service the library uses, as one
// table of functions that the real platforms and the simulated LAN fill in.
#pragma once

#include "Export.h"

#include <cstdint>
#include <cstdio>

namespace brenn::platform {

// A socket handle. The POSIX layer stores a descriptor, the Win32 layer a
// SOCKET; both fit. InvalidSocket is the value of "no socket".
using Socket = std::intptr_t;
constexpr Socket InvalidSocket = -1;

// The largest number of sockets one readability poll watches.
constexpr int MaxPollSockets = 64;

// The IPv4 limited-broadcast address, network byte order.
constexpr std::uint32_t BroadcastAddress = 0xFFFFFFFFu;

// What inet_addr gives for text that is not a dotted address.
constexpr std::uint32_t NoAddress = 0xFFFFFFFFu;

// receiveFrom's result when no datagram is waiting: not a failure.
constexpr int NothingToRead = -2;

// Size of the current-directory buffer the service reads into.
constexpr std::uint32_t MaxPathLength = 260;

// Why bindUdpSocket failed.
enum BindFailure : int {
    BindInUse = 1,   // another socket holds the port
    BindFailed = 2,  // anything else: no socket, a port that cannot be bound
};

// One IPv4 interface of this machine, as listInterfaces reports it.
// Addresses in network byte order.
struct InterfaceAddress {
    std::uint32_t address;    // the interface's own address
    std::uint32_t netmask;
    std::uint32_t broadcast;  // directed broadcast address; 0 where flags lack InterfaceBroadcast
    std::uint32_t flags;      // InterfaceFlag bits
};

enum InterfaceFlag : std::uint32_t {
    InterfaceUp = 1,
    InterfaceLoopback = 2,
    InterfacePointToPoint = 4,
    InterfaceBroadcast = 8,
};

// The most interfaces one listInterfaces call reports.
constexpr int MaxInterfaces = 32;

// The operations, one function pointer each. Addresses are IPv4 addresses in
// network byte order; ports are in network byte order wherever they travel
// with an address (as in a socket address), so the engine can compare them
// as they came. Every operation is called from one thread.
struct Operations {
    // Starts the sockets layer (version 1.1). Result 0 on success.
    int (*startSockets)();
    // Ends the sockets layer; one call for every startSockets.
    void (*endSockets)();

    // Creates an unbound IPv4 UDP socket; InvalidSocket on failure.
    Socket (*openUdpSocket)();
    // Allows sending to the broadcast address. Result 0 on success.
    int (*enableBroadcast)(Socket socket);
    // Sends one datagram. Result: bytes sent, or -1 on failure.
    int (*sendTo)(Socket socket, const void* data, int length,
                  std::uint32_t address, std::uint16_t port);
    // Receives one datagram of at most capacity bytes, without waiting.
    // Result: its length (0 for an empty datagram); NothingToRead when no
    // datagram is waiting (no failure: *address and *port are 0); or -1 on
    // failure. On success *address and *port hold the sender; on failure
    // they hold what the layer reports for the failed call, 0 and 0 where
    // it reports no sender.
    int (*receiveFrom)(Socket socket, void* buffer, int capacity,
                       std::uint32_t* address, std::uint16_t* port);
    // Polls count sockets (at most MaxPollSockets) for readability without
    // waiting. readable[i] is set to 1 or 0 for sockets[i]. Result: the
    // number of readable sockets, or -1 when the poll failed.
    int (*pollReadable)(const Socket* sockets, int count, std::uint8_t* readable);
    // Closes a socket; InvalidSocket is ignored.
    void (*closeSocket)(Socket socket);
    // Opens an IPv4 UDP socket bound to port (host byte order, not 0) on
    // every address of the machine. It receives what is sent to that port,
    // broadcasts included, and neither its sends nor its receives wait.
    // Result: the socket, or InvalidSocket with *failure set to BindInUse
    // when another socket holds the port, BindFailed otherwise.
    Socket (*bindUdpSocket)(std::uint16_t port, int* failure);
    // Asks for a receive buffer of bytes on the socket. Result: the size
    // the system then reports (smaller where it caps the request, larger
    // where it counts its own overhead), or -1 when it took no request.
    int (*setReceiveBuffer)(Socket socket, int bytes);
    // Fills out with at most capacity of this machine's IPv4 interfaces
    // that are up. Result: how many were written, or -1 when the list could
    // not be had (out is then untouched).
    int (*listInterfaces)(InterfaceAddress* out, int capacity);

    // Dotted decimal text to an address; NoAddress for text that is none.
    std::uint32_t (*addressFromText)(const char* text);
    // Address to dotted decimal text, in one buffer that the next call
    // overwrites (as inet_ntoa does). Never null.
    const char* (*addressToText)(std::uint32_t address);

    // Milliseconds on a clock that only moves forward and wraps at 2^32.
    std::uint32_t (*tickCount)();
    // Sleeps for the given milliseconds.
    void (*sleep)(std::uint32_t milliseconds);
    // Copies the current directory into buffer (size bytes, NUL included).
    // Result: its length, or 0 on failure (buffer then holds "").
    std::uint32_t (*currentDirectory)(std::uint32_t size, char* buffer);
    // Shows a message to the person at the machine and returns once it has
    // been seen (a modal box where there is one).
    void (*showMessage)(const char* text, const char* caption);
    // Opens a text file for reading. The path may use '\' as separator.
    // Result: an open file that the caller closes with fclose, or null.
    std::FILE* (*openTextFile)(const char* path);

    // The operations below came later. A host's own table may leave them
    // null; the shorthands at the end of this file then fall back as they
    // say, so a table filled in for the operations above keeps working.

    // Opens an IPv4 UDP socket bound to port (host byte order, not 0) on
    // every address of the machine, sharing the port with every other socket
    // opened this way, in this process or another: each of them receives
    // every broadcast sent to the port. Which of them receives a datagram
    // sent to one of the machine's own addresses is the system's choice.
    // Broadcasts may be sent from it, and neither its sends nor its receives
    // wait. Result: the socket, or InvalidSocket with *failure set to
    // BindInUse when a socket that does not share holds the port, BindFailed
    // otherwise.
    Socket (*bindSharedUdpSocket)(std::uint16_t port, int* failure);
    // Receives as receiveFrom does, and tells when the datagram arrived: on
    // success *arrival is the tick (tickCount's clock) at which the system
    // took it in, as near as the platform can tell and never later than
    // the call; otherwise (NothingToRead, -1) the tick of the call.
    int (*receiveTimed)(Socket socket, void* buffer, int capacity, std::uint32_t* address,
                        std::uint16_t* port, std::uint32_t* arrival);
};

// The operations of the operating system this library was built for.
BRENN_EXPORT const Operations& native();

// The operations in use. Until install() is called these are native().
BRENN_EXPORT const Operations& current();

// Puts other operations in place (a simulated LAN, a test double). The table
// is copied. Callers restore the previous table when they are done. The
// plug-in exports these three, so a host may wrap an operation as well
// (lanbrowse opens another key map file this way).
BRENN_EXPORT void install(const Operations& operations);

// Byte order of 16- and 32-bit numbers, independent of the OS headers.
BRENN_EXPORT std::uint16_t hostToNet16(std::uint16_t value);
BRENN_EXPORT std::uint16_t netToHost16(std::uint16_t value);
BRENN_EXPORT std::uint32_t hostToNet32(std::uint32_t value);
BRENN_EXPORT std::uint32_t netToHost32(std::uint32_t value);

// Shorthands for the engine: each calls the operation of current().
inline int startSockets() { return current().startSockets(); }
inline void endSockets() { current().endSockets(); }
inline Socket openUdpSocket() { return current().openUdpSocket(); }
inline int enableBroadcast(Socket s) { return current().enableBroadcast(s); }
inline int sendTo(Socket s, const void* data, int length, std::uint32_t address,
                  std::uint16_t port) {
    return current().sendTo(s, data, length, address, port);
}
inline int receiveFrom(Socket s, void* buffer, int capacity, std::uint32_t* address,
                       std::uint16_t* port) {
    return current().receiveFrom(s, buffer, capacity, address, port);
}
// Without the operation in the table: receiveFrom, and the tick after it.
inline int receiveTimed(Socket s, void* buffer, int capacity, std::uint32_t* address, std::uint16_t* port,
                        std::uint32_t* arrival) {
    const Operations& operations = current();
    if (operations.receiveTimed != nullptr)
        return operations.receiveTimed(s, buffer, capacity, address, port, arrival);
    const int length = operations.receiveFrom(s, buffer, capacity, address, port);
    *arrival = operations.tickCount();
    return length;
}
inline int pollReadable(const Socket* sockets, int count, std::uint8_t* readable) {
    return current().pollReadable(sockets, count, readable);
}
inline void closeSocket(Socket s) { current().closeSocket(s); }
inline Socket bindUdpSocket(std::uint16_t port, int* failure) {
    return current().bindUdpSocket(port, failure);
}
// Without the operation in the table: InvalidSocket, *failure BindFailed.
inline Socket bindSharedUdpSocket(std::uint16_t port, int* failure) {
    if (current().bindSharedUdpSocket == nullptr) {
        *failure = BindFailed;
        return InvalidSocket;
    }
    return current().bindSharedUdpSocket(port, failure);
}
inline int setReceiveBuffer(Socket s, int bytes) { return current().setReceiveBuffer(s, bytes); }
inline int listInterfaces(InterfaceAddress* out, int capacity) {
    return current().listInterfaces(out, capacity);
}
inline std::uint32_t addressFromText(const char* text) {
    return current().addressFromText(text);
}
inline const char* addressToText(std::uint32_t address) {
    return current().addressToText(address);
}
inline std::uint32_t tickCount() { return current().tickCount(); }
inline void sleep(std::uint32_t milliseconds) { current().sleep(milliseconds); }
inline std::uint32_t currentDirectory(std::uint32_t size, char* buffer) {
    return current().currentDirectory(size, buffer);
}
inline void showMessage(const char* text, const char* caption) {
    current().showMessage(text, caption);
}
inline std::FILE* openTextFile(const char* path) { return current().openTextFile(path); }

}  // namespace brenn::platform
