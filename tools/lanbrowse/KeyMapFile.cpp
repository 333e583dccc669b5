// Finding lanbrowse's key map, and handing it to the join service.
#include "KeyMapFile.h"

#include "System.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace lanbrowse {
namespace {

constexpr char ServiceKeyMap[] = "MultiplayerServers/VelnarKeyMap.ini";

// The redirect in place: the file to open, and the operations it wraps.
std::string redirectedPath;
std::FILE* (*previousOpen)(const char*) = nullptr;

bool readable(const std::string& path) { return static_cast<bool>(std::ifstream(path)); }

// True for the path the service builds: <directory>\MultiplayerServers\VelnarKeyMap.ini.
bool isServiceKeyMap(const char* path) {
    const std::size_t length = std::strlen(path);
    const std::size_t tail = sizeof ServiceKeyMap - 1;
    if (length <= tail) return false;
    const char* end = path + length - tail;
    if (end[-1] != '\\' && end[-1] != '/') return false;
    for (std::size_t i = 0; i < tail; ++i) {
        const bool separator = ServiceKeyMap[i] == '/';
        if (separator ? end[i] != '/' && end[i] != '\\' : end[i] != ServiceKeyMap[i]) return false;
    }
    return true;
}

std::FILE* openRedirected(const char* path) {
    return previousOpen(isServiceKeyMap(path) ? redirectedPath.c_str() : path);
}

}  // namespace

bool findKeyMap(const std::string& named, std::string* path, bool* found, std::string* error) {
    path->clear();
    *found = true;
    if (!named.empty()) {
        if (!readable(named)) {
            *error = "cannot read the key map " + named;
            return false;
        }
        *path = named;
        return true;
    }
    if (readable(ServiceKeyMap)) return true;
    const std::string folder = executableDirectory();
    if (!folder.empty()) {
        const std::string installed = folder + "/" LANBROWSE_INSTALLED_KEY_MAP;
        if (readable(installed)) {
            *path = installed;
            return true;
        }
    }
    *found = false;
    return true;
}

KeyMapRedirect::KeyMapRedirect(const std::string& path) {
    if (path.empty()) return;
    previous_ = brenn::platform::current();
    redirectedPath = path;
    previousOpen = previous_.openTextFile;
    brenn::platform::Operations operations = previous_;
    operations.openTextFile = openRedirected;
    brenn::platform::install(operations);
    active_ = true;
}

KeyMapRedirect::~KeyMapRedirect() {
    if (active_) brenn::platform::install(previous_);
}

}  // namespace lanbrowse
