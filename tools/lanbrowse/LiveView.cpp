// The live list's table and its JSON events.
#include "LiveView.h"

#include "RecordOutput.h"
#include "TextDecoding.h"

#include <sstream>

namespace lanbrowse {

namespace {

using brenn::matchmaking::ServerData;

std::string hostnameOf(const ServerData* record) {
    for (const auto* v = record->infoSection.head; v != nullptr; v = v->next)
        if (v->index == nullptr && std::string(v->key) == "hostname") return tooltext::decodeText(v->value);
    return "";
}

}  // namespace

void LiveTable::serverListed(ServerData* record, bool isNew, long ms, std::uint32_t progress) {
    progress_ = progress;
    dirty_ = true;
    if (!terminal_) line(isNew ? "+" : "~", record, ms);
}

void LiveTable::serverGone(ServerData* record, long ms) {
    dirty_ = true;
    if (!terminal_) line("-", record, ms);
}

void LiveTable::sweepComplete(long ms) {
    sweptMs_ = ms;
    dirty_ = true;
    if (!terminal_) {
        std::fprintf(out_, "first sweep complete in %.1f s\n", static_cast<double>(ms) / 1000.0);
        std::fflush(out_);
    }
}

void LiveTable::closed(long ms, int servers) {
    if (terminal_) {
        redraw(ms);
    } else if (servers > 0) {
        std::fputs(tableText(session_->liveRecords()).c_str(), out_);
    }
    std::fprintf(out_, "list closed after %.1f s: %d server%s listed\n", static_cast<double>(ms) / 1000.0, servers,
                 servers == 1 ? "" : "s");
    std::fflush(out_);
}

void LiveTable::idle(long ms) {
    if (terminal_ && dirty_ && ms - drawnAt_ >= RedrawMs) redraw(ms);
}

void LiveTable::line(const char* mark, const ServerData* record, long ms) {
    std::fprintf(out_, "%6.1f s %s %s %s\n", static_cast<double>(ms) / 1000.0, mark, endpointOf(record).c_str(),
                 hostnameOf(record).c_str());
    std::fflush(out_);
}

void LiveTable::redraw(long ms) {
    const auto records = session_->liveRecords();
    std::ostringstream text;
    if (sweptMs_ < 0) {
        text << "finding servers: " << records.size() << " listed, first sweep " << progress_ << " % ("
             << ms / 1000 << " s)\n";
    } else {
        text << records.size() << " server" << (records.size() == 1 ? "" : "s")
             << " listed; kept up to date (Ctrl-C closes the list)\n";
    }
    if (!records.empty()) text << tableText(records);
    const std::string drawn = text.str();
    // Back to where the last drawing began, and clear what it left.
    if (linesDrawn_ > 0) std::fprintf(out_, "\x1b[%dA\r\x1b[J", linesDrawn_);
    std::fputs(drawn.c_str(), out_);
    std::fflush(out_);
    linesDrawn_ = 0;
    for (const char c : drawn) linesDrawn_ += c == '\n';
    drawnAt_ = ms;
    dirty_ = false;
}

void LiveJson::serverListed(ServerData* record, bool isNew, long ms, std::uint32_t) {
    servers_ += isNew ? 1 : 0;
    write(tooltext::Json{{"kind", isNew ? "new" : "change"},
                         {"server", tooltext::jsonText(endpointOf(record))},
                         {"ms", ms},
                         {"record", recordJson(record)}});
}

void LiveJson::serverGone(ServerData* record, long ms) {
    servers_ -= 1;
    write(tooltext::Json{{"kind", "gone"}, {"server", tooltext::jsonText(endpointOf(record))}, {"ms", ms}});
}

void LiveJson::sweepComplete(long ms) { write(tooltext::Json{{"kind", "sweep"}, {"ms", ms}, {"servers", servers_}}); }

void LiveJson::closed(long ms, int servers) {
    write(tooltext::Json{{"kind", "closed"}, {"ms", ms}, {"servers", servers}});
}

void LiveJson::write(const tooltext::Json& object) {
    std::fputs(tooltext::jsonLine(object).c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

}  // namespace lanbrowse
