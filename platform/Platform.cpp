// The table of platform operations in use, and byte order helpers.
#include "platform/Platform.h"

namespace brenn::platform {

namespace {

Operations& table() {
    static Operations operations = native();
    return operations;
}

bool littleEndian() {
    const std::uint16_t probe = 1;
    return *reinterpret_cast<const std::uint8_t*>(&probe) == 1;
}

}  // namespace

const Operations& current() { return table(); }

void install(const Operations& operations) { table() = operations; }

std::uint16_t hostToNet16(std::uint16_t value) {
    return littleEndian() ? static_cast<std::uint16_t>((value >> 8) | (value << 8)) : value;
}

std::uint16_t netToHost16(std::uint16_t value) { return hostToNet16(value); }

std::uint32_t hostToNet32(std::uint32_t value) {
    if (!littleEndian()) return value;
    return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

std::uint32_t netToHost32(std::uint32_t value) { return hostToNet32(value); }

}  // namespace brenn::platform
