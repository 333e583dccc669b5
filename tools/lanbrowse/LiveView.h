// What a live list looks like: a table redrawn in place on a terminal (a
// progress line above it until the first sweep is complete), a line per
// event elsewhere, or one JSON object per event.
#pragma once

#include "BrowseSession.h"
#include "TextDecoding.h"

#include <cstdio>
#include <string>

namespace lanbrowse {

// The table of the records listed. On a terminal it is redrawn in place,
// at most every RedrawMs, under a status line; elsewhere each event is a
// line ("+", "~" or "-", the server, its hostname) and the table is written
// once, when the list closes.
class LiveTable final : public LiveObserver {
public:
    static constexpr long RedrawMs = 100;

    LiveTable(BrowseSession* session, std::FILE* out, bool terminal) : session_(session), out_(out), terminal_(terminal) {}

    void serverListed(brenn::matchmaking::ServerData* record, bool isNew, long ms, std::uint32_t progress) override;
    void serverGone(brenn::matchmaking::ServerData* record, long ms) override;
    void sweepComplete(long ms) override;
    void closed(long ms, int servers) override;
    void idle(long ms) override;

private:
    void redraw(long ms);
    void line(const char* mark, const brenn::matchmaking::ServerData* record, long ms);

    BrowseSession* session_;
    std::FILE* out_;
    bool terminal_;
    bool dirty_ = true;
    long drawnAt_ = -RedrawMs;
    int linesDrawn_ = 0;
    std::uint32_t progress_ = 0;
    long sweptMs_ = -1;  // when the first sweep completed; -1 before
};

// One JSON object per line and event: {"kind": "new" | "change" | "gone",
// "server": "address:port", "ms": since the list was opened, "record": the
// record (new and change)}, {"kind": "sweep", "ms", "servers"} once the
// first sweep is complete and {"kind": "closed", "ms", "servers"} last.
class LiveJson final : public LiveObserver {
public:
    explicit LiveJson(std::FILE* out) : out_(out) {}

    void serverListed(brenn::matchmaking::ServerData* record, bool isNew, long ms, std::uint32_t progress) override;
    void serverGone(brenn::matchmaking::ServerData* record, long ms) override;
    void sweepComplete(long ms) override;
    void closed(long ms, int servers) override;
    void idle(long) override {}

private:
    void write(const tooltext::Json& object);

    std::FILE* out_;
    int servers_ = 0;
};

}  // namespace lanbrowse
