// The simulated LAN's installation and the rest of its platform table: the
// clock and sleep, address text, the current directory, messages and files.
#include "simlan/LanState.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace brenn::platform::simlan {

namespace {

SimulatedLan::State* active = nullptr;

std::uint32_t simAddressFromText(const char* text) {
    unsigned parts[4];
    char tail;
    if (text == nullptr ||
        std::sscanf(text, "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return NoAddress;
    std::uint32_t host = 0;
    for (unsigned part : parts) {
        if (part > 255) return NoAddress;
        host = (host << 8) | part;
    }
    return hostToNet32(host);
}

const char* simAddressToText(std::uint32_t address) {
    auto& lan = lanState();
    const std::uint32_t host = netToHost32(address);
    std::snprintf(lan.addressText, sizeof lan.addressText, "%u.%u.%u.%u", (host >> 24) & 0xFFu,
                  (host >> 16) & 0xFFu, (host >> 8) & 0xFFu, host & 0xFFu);
    return lan.addressText;
}

std::uint32_t simTickCount() { return static_cast<std::uint32_t>(lanState().clock); }

// Sleeping on the simulated LAN moves its clock.
void simSleep(std::uint32_t milliseconds) {
    auto& lan = lanState();
    lan.clock += milliseconds;
    lan.slept += milliseconds;
}

std::uint32_t simCurrentDirectory(std::uint32_t size, char* buffer) {
    auto& lan = lanState();
    if (!lan.hasDirectory) return native().currentDirectory(size, buffer);
    if (buffer == nullptr || size == 0) return 0;
    if (lan.directory.size() + 1 > size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, lan.directory.c_str(), lan.directory.size() + 1);
    return static_cast<std::uint32_t>(lan.directory.size());
}

void simShowMessage(const char* text, const char* caption) {
    lanState().messages.push_back(std::string(caption) + ": " + text);
}

std::FILE* simOpenTextFile(const char* path) { return native().openTextFile(path); }

Operations makeOperations() {
    Operations table{};
    addSocketOperations(&table);
    table.addressFromText = simAddressFromText;
    table.addressToText = simAddressToText;
    table.tickCount = simTickCount;
    table.sleep = simSleep;
    table.currentDirectory = simCurrentDirectory;
    table.showMessage = simShowMessage;
    table.openTextFile = simOpenTextFile;
    return table;
}

}  // namespace

SimulatedLan::State& lanState() {
    if (active == nullptr) throw std::logic_error("no simulated LAN is installed");
    return *active;
}

void setActive(SimulatedLan::State* state) {
    if (state != nullptr && active != nullptr) throw std::logic_error("a simulated LAN is installed already");
    active = state;
}

const Operations& operations() {
    static const Operations table = makeOperations();
    return table;
}

std::uint32_t addressFromText(const char* text) { return simAddressFromText(text); }

}  // namespace brenn::platform::simlan
