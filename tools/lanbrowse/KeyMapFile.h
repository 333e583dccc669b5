// KeyMapFile: which key map lanbrowse gives the join service. The service
// reads MultiplayerServers/VelnarKeyMap.ini under the current directory; any
// other file is handed to it through the platform table.
#pragma once

#include "platform/Platform.h"

#include <string>

namespace lanbrowse {

// The key map to use, in this order: `named` (--keymap) when not empty; the
// one under the current directory; the sample installed with lanbrowse
// (found from the program's own folder). *path is empty when the service is
// to read the one under the current directory itself, and also when there is
// none at all (*found then false). False, with a message in *error, when
// `named` cannot be read.
bool findKeyMap(const std::string& named, std::string* path, bool* found, std::string* error);

// While it lives, the service's request for its key map file opens `path`
// instead; other files open as before. An empty path changes nothing. One at
// a time; the previous platform operations come back at destruction.
class KeyMapRedirect {
public:
    explicit KeyMapRedirect(const std::string& path);
    ~KeyMapRedirect();
    KeyMapRedirect(const KeyMapRedirect&) = delete;
    KeyMapRedirect& operator=(const KeyMapRedirect&) = delete;

private:
    bool active_ = false;
    brenn::platform::Operations previous_{};
};

}  // namespace lanbrowse
