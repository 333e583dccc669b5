// The texts of the result codes and the library's version.
#include "capi/velnarlanjoin.h"

#include "platform/Version.h"

#include <cstdint>

static_assert(VLJ_VERSION_MAJOR == VELNARLANJOIN_VERSION_MAJOR && VLJ_VERSION_MINOR == VELNARLANJOIN_VERSION_MINOR,
              "the C header's version is the library's");

namespace {

struct ResultText {
    std::int32_t result;
    const char* text;
};

constexpr ResultText Texts[] = {
    {VLJ_OK, "success"},
    {VLJ_ERR_INVALID_ARGUMENT, "invalid argument"},
    {VLJ_ERR_NO_MEMORY, "out of memory"},
    {VLJ_ERR_BUFFER_TOO_SMALL, "buffer too small"},
    {VLJ_ERR_NOT_FOUND, "not found"},
    {VLJ_ERR_BUSY, "an update is running"},
    {VLJ_ERR_NO_SOCKET, "the update could not open its sockets"},
    {VLJ_ERR_STRUCT_SIZE, "structure size too small"},
    {VLJ_ERR_INTERNAL, "internal error"},
    {VLJ_ERR_PORT_IN_USE, "port in use"},
    {VLJ_ERR_SOCKET_FAILED, "no socket could be made or bound"},
    {VLJ_ERR_ALREADY_HOSTING, "already hosting"},
    {VLJ_ERR_BAD_PORT, "port outside 0 to 65535"},
    {VLJ_ERR_BAD_KEY, "key not allowed"},
    {VLJ_ERR_BAD_VALUE, "value not allowed"},
    {VLJ_ERR_BAD_SECTION, "no such section"},
    {VLJ_ERR_BAD_PLAYER, "no such player slot or player"},
    {VLJ_ERR_SERVER_FULL, "player limit reached"},
    {VLJ_ERR_REPLY_TOO_LARGE, "reply too large"},
    {VLJ_ERR_BAD_LIMIT, "limit out of range"},
};

}  // namespace

const char* vlj_result_text(int32_t result) {
    for (const ResultText& entry : Texts)
        if (entry.result == result) return entry.text;
    return "unknown result";
}

uint32_t vlj_version(void) {
    return VLJ_MAKE_VERSION(VELNARLANJOIN_VERSION_MAJOR, VELNARLANJOIN_VERSION_MINOR, VELNARLANJOIN_VERSION_PATCH);
}

const char* vlj_version_text(void) { return VELNARLANJOIN_VERSION; }
