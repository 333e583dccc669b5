// SocketWatch: why the join service could not open its sockets. The service
// says that an update could not (UpdateNoSocket); the system's reason is
// read where it arises, by wrapping the platform table's socket operations,
// as KeyMapRedirect wraps the opening of files.
#pragma once

#include "platform/Platform.h"

#include <string>

namespace lanbrowse {

// While it lives, a socket that cannot be opened (or set to broadcast)
// leaves the system's reason here. One at a time; the previous platform
// operations come back at destruction.
class SocketWatch {
public:
    SocketWatch();
    ~SocketWatch();
    SocketWatch(const SocketWatch&) = delete;
    SocketWatch& operator=(const SocketWatch&) = delete;

    // The system's reason for the first failure since the last clear(),
    // e.g. "Too many open files"; "" when nothing failed.
    std::string failure() const;
    void clear();

private:
    brenn::platform::Operations previous_{};
};

}  // namespace lanbrowse
