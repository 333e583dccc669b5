// Test support for real sockets: a private network namespace for the test
// process.
#pragma once

#include <string>

namespace brenn::testing {

// Moves this process into a new network namespace of its own, with the
// loopback up and a route for 255.255.255.255 on it, so that broadcasts
// stay inside. False (and why) where namespaces cannot be made.
bool enterPrivateNetwork(std::string* why);

}  // namespace brenn::testing
