// The socket operations of the join service, watched for failures.
#include "SocketWatch.h"

#include "System.h"

namespace lanbrowse {
namespace {

using brenn::platform::Socket;

// The watch in place: the operations it wraps, and the first failure seen.
brenn::platform::Operations wrapped{};
std::string firstFailure;

void note(const std::string& what) {
    if (firstFailure.empty()) firstFailure = what;
}

// The reason is read at once, before any other call can replace it.
Socket watchedOpen() {
    const Socket socket = wrapped.openUdpSocket();
    if (socket == brenn::platform::InvalidSocket) note(lastSystemError());
    return socket;
}

int watchedEnableBroadcast(Socket socket) {
    const int result = wrapped.enableBroadcast(socket);
    if (result != 0) note("broadcasts refused: " + lastSystemError());
    return result;
}

}  // namespace

SocketWatch::SocketWatch() {
    previous_ = brenn::platform::current();
    wrapped = previous_;
    brenn::platform::Operations operations = previous_;
    operations.openUdpSocket = watchedOpen;
    operations.enableBroadcast = watchedEnableBroadcast;
    brenn::platform::install(operations);
}

SocketWatch::~SocketWatch() { brenn::platform::install(previous_); }

std::string SocketWatch::failure() const { return firstFailure; }

void SocketWatch::clear() { firstFailure.clear(); }

}  // namespace lanbrowse
