// The example host: its hooks and the loop that drives the join service.
#include "BrowseSession.h"

#include "System.h"

#include <algorithm>
#include <chrono>

namespace lanbrowse {

using brenn::matchmaking::ServerData;

std::string endpointOf(const ServerData* record) {
    return record->address + ":" + std::to_string(record->port);
}

BrowseSession::BrowseSession(const BrowseOptions& options, ProgressDisplay* display)
    : options_(options), display_(display) {
    host_.primaryName = "lanbrowse";
    host_.secondaryName = "lanbrowse";
    host_.maxConcurrentQueries = options.queries;
    host_.hookContext = this;
    host_.newServerDataHook = &BrowseSession::onNewServerData;
    host_.stateChangedHook = &BrowseSession::onStateChanged;
    service_ = CreateJoinClass("lanbrowse", &host_);
    if (service_ && options.trace) service_->setTraceHook(&BrowseSession::onTrace, display_);
    if (service_ && options.receiveBuffer >= 0) service_->setReceiveBufferRequest(options.receiveBuffer);
}

void BrowseSession::onTrace(const char* line, void* context) { static_cast<ProgressDisplay*>(context)->serviceTrace(line); }

BrowseSession::~BrowseSession() { delete service_; }

bool BrowseSession::ready(std::string* error) const {
    if (service_) return true;
    *error = "the join service could not be created";
    return false;
}

void BrowseSession::onNewServerData(ServerData* record, std::uint32_t progress, bool isNew, void* context) {
    auto* self = static_cast<BrowseSession*>(context);
    if (self->live_ != nullptr && record != nullptr) {
        if (self->sorting_) {
            self->sortedCapture_.push_back(record);
            return;
        }
        auto& listed = self->liveListed_;
        if (std::find(listed.begin(), listed.end(), record) == listed.end()) listed.push_back(record);
        self->display_->serverReported(endpointOf(record), progress, isNew, static_cast<int>(listed.size()));
        self->live_->serverListed(record, isNew, self->liveMs(), progress);
        return;
    }
    PassResult* pass = self->current_;
    if (!pass || !record) return;
    if (self->sorting_) {
        pass->sorted.push_back(record);
        self->display_->sortAnnounced(endpointOf(record));
        return;
    }
    pass->calls.push_back({false, 0, record, progress, isNew});
    if (std::find(pass->servers.begin(), pass->servers.end(), record) == pass->servers.end()) {
        pass->servers.push_back(record);
    }
    self->display_->serverReported(endpointOf(record), progress, isNew, static_cast<int>(pass->servers.size()));
}

void BrowseSession::onStateChanged(std::uint32_t state, void* context) {
    auto* self = static_cast<BrowseSession*>(context);
    if (self->live_ != nullptr) {
        self->display_->stateChanged(state);
        if (state == brenn::matchmaking::HostStateLive) self->live_->sweepComplete(self->liveMs());
        return;
    }
    PassResult* pass = self->current_;
    if (!pass) return;
    pass->calls.push_back({true, state, nullptr, 0, false});
    if (state == brenn::matchmaking::HostStateIdle) pass->finished = true;
    self->display_->stateChanged(state);
}

PassResult BrowseSession::runPass(int number, bool aux, const std::atomic<bool>& stop) {
    using Clock = std::chrono::steady_clock;
    PassResult result;
    current_ = &result;
    display_->passStarted(number, aux);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(options_.timeoutS);
    if (aux) service_->serverListAuxUpdate("", 0, brenn::matchmaking::QueryStatus);
    else service_->serverListFullUpdate();
    while (!result.finished && !stop.load() && Clock::now() < deadline) {
        service_->update();
        if (!result.finished && options_.tickMs > 0) {
            sleepMilliseconds(options_.tickMs);
        }
    }
    result.elapsedMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    result.problem = service_->getUpdateProblem();
    display_->passEnded(static_cast<int>(result.servers.size()), result.elapsedMs, result.finished, stop.load());
    if (result.finished && !options_.sortKey.empty()) {
        result.sortedPass = true;
        sorting_ = true;
        service_->sortServers(!options_.descending, options_.sortKey, options_.mode);
        sorting_ = false;
    }
    current_ = nullptr;
    return result;
}

void BrowseSession::onServerGone(ServerData* record, void* context) {
    auto* self = static_cast<BrowseSession*>(context);
    if (self->live_ == nullptr) return;
    auto& listed = self->liveListed_;
    listed.erase(std::remove(listed.begin(), listed.end(), record), listed.end());
    self->live_->serverGone(record, self->liveMs());
    // The record is ours: a server that comes back is new again.
    delete record;
}

long BrowseSession::liveMs() const {
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - liveStart_).count());
}

std::vector<ServerData*> BrowseSession::liveRecords() {
    if (options_.sortKey.empty()) return liveListed_;
    sortedCapture_.clear();
    sorting_ = true;
    service_->sortServers(!options_.descending, options_.sortKey, options_.mode);
    sorting_ = false;
    std::vector<ServerData*> ordered;
    for (ServerData* record : sortedCapture_)
        if (std::find(liveListed_.begin(), liveListed_.end(), record) != liveListed_.end()) ordered.push_back(record);
    return ordered;
}

int BrowseSession::runLive(LiveObserver* observer, const std::atomic<bool>& stop) {
    using Clock = std::chrono::steady_clock;
    live_ = observer;
    liveListed_.clear();
    service_->setServerGoneHook(&BrowseSession::onServerGone, this);
    liveStart_ = Clock::now();
    const Clock::time_point deadline = liveStart_ + std::chrono::seconds(options_.durationS);
    service_->serverListLiveUpdate();
    if (!service_->isLive()) {
        live_ = nullptr;
        return -1;
    }
    while (!stop.load() && (options_.durationS == 0 || Clock::now() < deadline)) {
        service_->update();
        observer->idle(liveMs());
        if (options_.tickMs > 0) sleepMilliseconds(options_.tickMs);
    }
    service_->closeList();
    const int servers = static_cast<int>(liveListed_.size());
    observer->closed(liveMs(), servers);
    live_ = nullptr;
    return servers;
}

}  // namespace lanbrowse
