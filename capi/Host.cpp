// The hosting entry points: a VelnarLanHost behind a C handle, its results
// as VLJ_ERR_* codes, its limits and counters in size-first structures.
#include "capi/Boundary.h"
#include "service/VelnarLanHost.h"

#include <cstring>
#include <new>

using brenn::capi::guarded;
using brenn::matchmaking::HostCounters;
using brenn::matchmaking::HostLimits;
using brenn::matchmaking::HostResult;
using brenn::matchmaking::velnar::VelnarLanHost;
namespace mm = brenn::matchmaking;

struct vlj_host {
    explicit vlj_host(const char* name) : service(name) {}
    VelnarLanHost service;
};

namespace {

constexpr std::int32_t HighestPort = 65535;

std::int32_t resultOf(HostResult result) {
    switch (result) {
        case mm::HostOk: return VLJ_OK;
        case mm::HostPortInUse: return VLJ_ERR_PORT_IN_USE;
        case mm::HostSocketFailed: return VLJ_ERR_SOCKET_FAILED;
        case mm::HostAlreadyHosting: return VLJ_ERR_ALREADY_HOSTING;
        case mm::HostBadPort: return VLJ_ERR_BAD_PORT;
        case mm::HostBadKey: return VLJ_ERR_BAD_KEY;
        case mm::HostBadValue: return VLJ_ERR_BAD_VALUE;
        case mm::HostBadSection: return VLJ_ERR_BAD_SECTION;
        case mm::HostBadPlayer: return VLJ_ERR_BAD_PLAYER;
        case mm::HostServerFull: return VLJ_ERR_SERVER_FULL;
        case mm::HostReplyTooLarge: return VLJ_ERR_REPLY_TOO_LARGE;
        case mm::HostBadLimit: return VLJ_ERR_BAD_LIMIT;
    }
    return VLJ_ERR_INTERNAL;
}

}  // namespace

int32_t vlj_host_create(const char* name, vlj_host** host) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        *host = new (std::nothrow) vlj_host(name != nullptr ? name : "lan-host");
        return *host != nullptr ? VLJ_OK : VLJ_ERR_NO_MEMORY;
    });
}

void vlj_host_destroy(vlj_host* host) { delete host; }

int32_t vlj_host_start(vlj_host* host, const char* hostname, int32_t port) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || hostname == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        if (port < 0 || port > HighestPort) return VLJ_ERR_BAD_PORT;
        return resultOf(host->service.startHosting(hostname, static_cast<std::uint32_t>(port)));
    });
}

int32_t vlj_host_stop(vlj_host* host) {
    if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    host->service.stopHosting();
    return VLJ_OK;
}

int32_t vlj_host_is_hosting(const vlj_host* host) {
    if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return const_cast<vlj_host*>(host)->service.isHosting() ? 1 : 0;
}

int32_t vlj_host_port(const vlj_host* host) {
    if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return const_cast<vlj_host*>(host)->service.getPort();
}

int32_t vlj_host_step(vlj_host* host) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        host->service.update();
        return VLJ_OK;
    });
}

int32_t vlj_host_set_server_value(vlj_host* host, const char* section, const char* key, const char* value) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || section == nullptr || key == nullptr || value == nullptr)
            return VLJ_ERR_INVALID_ARGUMENT;
        return resultOf(host->service.setServerValue(section, key, value));
    });
}

int32_t vlj_host_set_player_value(vlj_host* host, int32_t player, const char* key, const char* value) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || key == nullptr || value == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        return resultOf(host->service.setPlayerValue(player, key, value));
    });
}

int32_t vlj_host_remove_player(vlj_host* host, int32_t player) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        return resultOf(host->service.removePlayer(player));
    });
}

int32_t vlj_host_set_player_limit(vlj_host* host, int32_t limit) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        return resultOf(host->service.setPlayerLimit(limit));
    });
}

int32_t vlj_host_player_count(const vlj_host* host) {
    if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return const_cast<vlj_host*>(host)->service.getPlayerCount();
}

int32_t vlj_host_set_announcing(vlj_host* host, int32_t on) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        host->service.setAnnouncing(on != 0);
        return VLJ_OK;
    });
}

int32_t vlj_host_is_announcing(const vlj_host* host) {
    if (host == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return const_cast<vlj_host*>(host)->service.isAnnouncing() ? 1 : 0;
}

int32_t vlj_host_get_limits(const vlj_host* host, vlj_host_limits* limits) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || limits == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        if (limits->size < sizeof(vlj_host_limits)) return VLJ_ERR_STRUCT_SIZE;
        const HostLimits held = const_cast<vlj_host*>(host)->service.getLimits();
        limits->lan_only = held.lanOnly ? 1 : 0;
        limits->sender_rate = held.senderRate;
        limits->sender_burst = held.senderBurst;
        limits->total_rate = held.totalRate;
        limits->total_burst = held.totalBurst;
        return VLJ_OK;
    });
}

int32_t vlj_host_set_limits(vlj_host* host, const vlj_host_limits* limits) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || limits == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        if (limits->size < sizeof(vlj_host_limits)) return VLJ_ERR_STRUCT_SIZE;
        HostLimits wanted;
        wanted.lanOnly = limits->lan_only != 0;
        wanted.senderRate = limits->sender_rate;
        wanted.senderBurst = limits->sender_burst;
        wanted.totalRate = limits->total_rate;
        wanted.totalBurst = limits->total_burst;
        return resultOf(host->service.setLimits(wanted));
    });
}

int32_t vlj_host_get_counters(const vlj_host* host, vlj_host_counters* counters) {
    return guarded([&]() -> std::int32_t {
        if (host == nullptr || counters == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        if (counters->size < sizeof(vlj_host_counters)) return VLJ_ERR_STRUCT_SIZE;
        const HostCounters held = const_cast<vlj_host*>(host)->service.getCounters();
        counters->reserved = 0;
        counters->answered = held.answered;
        counters->not_queries = held.notQueries;
        counters->not_local = held.notLocal;
        counters->rate_limited = held.rateLimited;
        return VLJ_OK;
    });
}
