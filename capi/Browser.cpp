// The browser's entry points: creation, updates, steps, clearing and sorting,
// and the events its service's hooks produce.
#include "capi/Browser.h"

#include "capi/Boundary.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

using brenn::capi::guarded;
using brenn::matchmaking::CompareMode;
using brenn::matchmaking::ServerData;
using brenn::matchmaking::velnar::VelnarLanJoin;
namespace mm = brenn::matchmaking;

namespace {

constexpr std::int32_t DefaultQueries = 8;
// The size of the first vlj_browser_config, which ended with name.
constexpr std::uint32_t FirstConfigSize = offsetof(vlj_browser_config, name) + sizeof(const char*);
constexpr std::int32_t MostQueries = 1000;

vlj_event emptyEvent(std::int32_t kind) {
    vlj_event event;
    std::memset(&event, 0, sizeof event);
    event.kind = kind;
    return event;
}

void onTrace(const char* line, void* context) {
    auto* browser = static_cast<vlj_browser*>(context);
    if (browser->trace != nullptr) browser->trace(line, browser->traceUser);
}

}  // namespace

vlj_browser::vlj_browser() {
    matchmaking.hookContext = this;
    matchmaking.newServerDataHook = &vlj_browser::onServer;
    matchmaking.stateChangedHook = &vlj_browser::onState;
}

void vlj_browser::hearGone() { service->setServerGoneHook(&vlj_browser::onGone, this); }

vlj_browser::~vlj_browser() {
    service.reset();
    servers.clear(matchmaking);
}

void vlj_browser::gather(const vlj_event& event) noexcept {
    try {
        gathered.push_back(event);
    } catch (...) {
        // Out of memory: the event is lost, the list stays right.
    }
}

void vlj_browser::onServer(ServerData* record, std::uint32_t progress, bool isNew, void* context) {
    auto* self = static_cast<vlj_browser*>(context);
    if (self->sorting) {
        try {
            self->sortOrder.push_back(record);
        } catch (...) {
            self->sortFailed = true;
        }
        return;
    }
    bool made = false;
    vlj_server* server = self->servers.adopt(record, &made);
    if (server == nullptr) return;
    // Gone and back within one step: it stays, listed anew.
    if (server->leaving) {
        server->leaving = false;
        made = true;
    }
    // A refreshed record may hold new values: walks start again.
    server->walkSection = nullptr;
    const char* ping = brenn::capi::valueOf(*record, "info", -1, "ping");
    server->ping = ping != nullptr ? static_cast<std::int32_t>(std::strtol(ping, nullptr, 10)) : 0;

    vlj_event event = emptyEvent(VLJ_EVENT_SERVER);
    event.progress = static_cast<std::int32_t>(progress);
    event.is_new = (isNew || made) ? 1 : 0;
    event.server_id = record->serverId;
    event.port = static_cast<std::int32_t>(record->port);
    std::strncpy(event.address, record->address.c_str(), sizeof event.address - 1);
    self->gather(event);
}

void vlj_browser::onState(std::uint32_t state, void* context) {
    auto* self = static_cast<vlj_browser*>(context);
    if (state == mm::HostStateIdle) self->running = false;
    const bool tells = state == mm::HostStateIdle || state == mm::HostStateLive;
    if (tells && !self->problemReported && self->service != nullptr) {
        const mm::UpdateProblem problem = self->service->getUpdateProblem();
        if (problem != mm::UpdateFine) {
            vlj_event event = emptyEvent(VLJ_EVENT_PROBLEM);
            event.problem = static_cast<std::int32_t>(problem);
            self->gather(event);
            self->problemReported = true;
        }
    }
    vlj_event event = emptyEvent(VLJ_EVENT_STATE);
    event.state = static_cast<std::int32_t>(state);
    self->gather(event);
}

void vlj_browser::onGone(ServerData* record, void* context) {
    auto* self = static_cast<vlj_browser*>(context);
    auto* server = static_cast<vlj_server*>(record->hostData);
    if (server == nullptr) {
        // Never listed here (no storage for it then): nothing to tell.
        delete record;
        return;
    }
    vlj_event event = emptyEvent(VLJ_EVENT_GONE);
    event.server_id = record->serverId;
    event.port = static_cast<std::int32_t>(record->port);
    std::strncpy(event.address, record->address.c_str(), sizeof event.address - 1);
    try {
        self->leaving.push_back(record->serverId);
    } catch (...) {
        // No room to remove it later: it goes now, and unreported.
        self->servers.remove(server);
        return;
    }
    server->leaving = true;
    self->gather(event);
}

void vlj_browser::removeLeaving() noexcept {
    for (const std::uint32_t id : leaving) {
        vlj_server* server = servers.find(id);
        if (server != nullptr && server->leaving) servers.remove(server);
    }
    leaving.clear();
}

void vlj_browser::deliver() noexcept {
    if (gathered.empty()) return;
    std::vector<vlj_event> events;
    events.swap(gathered);
    delivering = true;
    for (vlj_event& event : events) {
        if (callback != nullptr) {
            const bool names = event.kind == VLJ_EVENT_SERVER || event.kind == VLJ_EVENT_GONE;
            event.server = names ? servers.find(event.server_id) : nullptr;
            callback(&event, callbackUser);
        } else {
            queue.push(event);
        }
    }
    delivering = false;
    // Reported: the servers that left go now.
    removeLeaving();
}

void vlj_browser_config_init(vlj_browser_config* config) {
    if (config == nullptr) return;
    std::memset(config, 0, sizeof *config);
    config->size = sizeof *config;
}

int32_t vlj_browser_create(const vlj_browser_config* config, vlj_browser** browser) {
    return guarded([&]() -> std::int32_t {
        if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        *browser = nullptr;
        vlj_browser_config settings;
        vlj_browser_config_init(&settings);
        if (config != nullptr) {
            // A caller built before the bounds were added gets their defaults.
            if (config->size < FirstConfigSize) return VLJ_ERR_STRUCT_SIZE;
            std::memcpy(&settings, config, config->size < sizeof settings ? FirstConfigSize : sizeof settings);
            settings.size = sizeof settings;
        }
        if (settings.max_queries < 0 || settings.max_queries > MostQueries) return VLJ_ERR_INVALID_ARGUMENT;
        mm::ServerLimits limits;
        if (settings.servers_per_address != 0) limits.perAddress = settings.servers_per_address;
        if (settings.servers_total != 0) limits.total = settings.servers_total;
        if (limits.perAddress < 1 || limits.perAddress > 65535 || limits.total < 1 || limits.total > 1000000)
            return VLJ_ERR_INVALID_ARGUMENT;
        std::unique_ptr<vlj_browser> made(new (std::nothrow) vlj_browser);
        if (made == nullptr) return VLJ_ERR_NO_MEMORY;
        made->matchmaking.maxConcurrentQueries = settings.max_queries != 0 ? settings.max_queries : DefaultQueries;
        const std::string name = settings.name != nullptr ? settings.name : "lan";
        if (settings.key_map_path != nullptr)
            made->service.reset(new (std::nothrow) VelnarLanJoin(name, &made->matchmaking, settings.key_map_path));
        else
            made->service.reset(new (std::nothrow) VelnarLanJoin(name, &made->matchmaking));
        if (made->service == nullptr || !made->service->browserReady()) return VLJ_ERR_NO_MEMORY;
        made->service->setServerLimits(limits);
        made->hearGone();
        *browser = made.release();
        return VLJ_OK;
    });
}

void vlj_browser_destroy(vlj_browser* browser) { delete browser; }

int32_t vlj_browser_update(vlj_browser* browser, int32_t kind) {
    return guarded([&]() -> std::int32_t {
        if (browser == nullptr || kind < VLJ_UPDATE_FULL || kind > VLJ_UPDATE_LIVE) return VLJ_ERR_INVALID_ARGUMENT;
        VelnarLanJoin& service = *browser->service;
        if (browser->running) return VLJ_ERR_BUSY;
        browser->problemReported = false;
        const bool fresh = kind == VLJ_UPDATE_FULL || kind == VLJ_UPDATE_INFO;
        if (fresh)
            service.serverListFullUpdate();
        else if (kind == VLJ_UPDATE_LIVE)
            service.serverListLiveUpdate();
        else
            service.serverListAuxUpdate("", 0, mm::QueryStatus);
        browser->running = service.isUpdating();
        const mm::UpdateProblem problem = service.getUpdateProblem();
        // An update that could not start keeps the list as it was.
        if (problem == mm::UpdateNoSocket) return VLJ_ERR_NO_SOCKET;
        if (fresh && problem != mm::UpdateKeptServers) browser->servers.clear(browser->matchmaking);
        return VLJ_OK;
    });
}

int32_t vlj_browser_step(vlj_browser* browser) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    // Nothing to do and nothing to deliver: the step a game makes most.
    if (!browser->running && browser->gathered.empty() && !browser->delivering) return 0;
    return guarded([&]() -> std::int32_t {
        if (browser->delivering) return VLJ_ERR_BUSY;
        if (browser->running) browser->service->update();
        if (!browser->gathered.empty()) browser->deliver();
        return browser->running ? 1 : 0;
    });
}

int32_t vlj_browser_close(vlj_browser* browser) {
    return guarded([&]() -> std::int32_t {
        if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        browser->service->closeList();
        return VLJ_OK;
    });
}

int32_t vlj_browser_is_updating(const vlj_browser* browser) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return browser->running ? 1 : 0;
}

int32_t vlj_browser_clear(vlj_browser* browser) {
    return guarded([&]() -> std::int32_t {
        if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
        if (browser->running) return VLJ_ERR_BUSY;
        browser->service->clearServers();
        browser->servers.clear(browser->matchmaking);
        return VLJ_OK;
    });
}

int32_t vlj_browser_sort(vlj_browser* browser, const char* key, int32_t ascending, int32_t mode) {
    return guarded([&]() -> std::int32_t {
        if (browser == nullptr || key == nullptr || mode < VLJ_COMPARE_INTEGER || mode > VLJ_COMPARE_TEXT_NOCASE)
            return VLJ_ERR_INVALID_ARGUMENT;
        browser->sortOrder.clear();
        browser->sortFailed = false;
        browser->sorting = true;
        struct EndSorting {
            vlj_browser* browser;
            ~EndSorting() { browser->sorting = false; }
        } endSorting{browser};
        browser->service->sortServers(ascending != 0, key, static_cast<CompareMode>(mode));
        browser->sorting = false;
        if (browser->sortFailed) return VLJ_ERR_NO_MEMORY;
        browser->servers.reorder(browser->sortOrder);
        return VLJ_OK;
    });
}

int32_t vlj_browser_update_problem(const vlj_browser* browser) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return static_cast<std::int32_t>(browser->service->getUpdateProblem());
}

int32_t vlj_browser_set_event_callback(vlj_browser* browser, vlj_event_callback callback, void* user) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    browser->callback = callback;
    browser->callbackUser = user;
    return VLJ_OK;
}

int32_t vlj_browser_poll_event(vlj_browser* browser, vlj_event* event) {
    if (browser == nullptr || event == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    if (!browser->queue.pop(event)) return 0;
    event->server = event->kind == VLJ_EVENT_SERVER ? browser->servers.find(event->server_id) : nullptr;
    return 1;
}

int32_t vlj_browser_set_trace_callback(vlj_browser* browser, vlj_trace_callback callback, void* user) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    browser->trace = callback;
    browser->traceUser = user;
    browser->service->setTraceHook(callback != nullptr ? &onTrace : nullptr, browser);
    return VLJ_OK;
}

int32_t vlj_browser_set_receive_buffer(vlj_browser* browser, int32_t bytes) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    browser->service->setReceiveBufferRequest(bytes > 0 ? bytes : 0);
    return VLJ_OK;
}

int32_t vlj_browser_receive_buffer(const vlj_browser* browser) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return browser->service->getReceiveBufferRequest();
}

int32_t vlj_browser_server_count(const vlj_browser* browser) {
    if (browser == nullptr) return VLJ_ERR_INVALID_ARGUMENT;
    return browser->servers.count();
}

const vlj_server* vlj_browser_server_at(const vlj_browser* browser, int32_t index) {
    return browser != nullptr ? browser->servers.at(index) : nullptr;
}

const vlj_server* vlj_browser_find_server(const vlj_browser* browser, uint32_t server_id) {
    return browser != nullptr ? browser->servers.find(server_id) : nullptr;
}
