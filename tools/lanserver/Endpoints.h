// Endpoints: the address and port lists of a run, and the assignment of an
// address:port slot to every server that has none.
#pragma once

#include "SimServer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lanserver {

// Parses an address list into host-order IPv4 addresses. Forms, combinable
// with commas: "A" (alone: A and the addresses after it, defaultCount in
// all; in a list: A itself), "A+N" (N addresses from A), "A-B" (A to B,
// both included). False, with a
// message in *error, on anything else or an empty list.
bool parseAddresses(const std::string& text, int defaultCount, std::vector<std::uint32_t>* out,
                    std::string* error);

// Parses a port list: "P", "P-Q" and commas, ports 1 to 65535. False, with a
// message in *error, on anything else.
bool parsePorts(const std::string& text, std::vector<std::uint16_t>* out, std::string* error);

// Dotted text of a host-order address, and back (false when not an address).
std::string addressText(std::uint32_t address);
bool parseAddress(const std::string& text, std::uint32_t* address);

// Gives every server without an address its slot, in order. Slot i is
// address addresses[i % A] with port ports[(i % A + i / A) % P] (A and P the
// list sizes), so servers spread over the ports and no pair repeats; slots
// already taken by servers with an address of their own are skipped. False,
// with a message, when the slots run out or two servers share a slot.
bool assignSlots(const std::vector<std::uint32_t>& addresses, const std::vector<std::uint16_t>& ports,
                 std::vector<SimServer>* servers, std::string* error);

}  // namespace lanserver
