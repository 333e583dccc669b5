// A private network namespace for real-socket tests.
#include "support/NetworkNamespace.h"

#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace brenn::testing {

bool enterPrivateNetwork(std::string* why) {
    if (::unshare(CLONE_NEWNET) != 0) {
        *why = std::string("cannot make a private network namespace (") + std::strerror(errno) +
               "); real-socket tests need root or user namespaces";
        return false;
    }
    if (std::system("ip link set lo up && ip route add broadcast 255.255.255.255 dev lo table local") != 0) {
        *why = "cannot set up the loopback in the private namespace (is iproute2 installed?)";
        return false;
    }
    return true;
}

}  // namespace brenn::testing
