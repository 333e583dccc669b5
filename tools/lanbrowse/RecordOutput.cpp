// The example host's table and JSON output.
#include "RecordOutput.h"

#include "TextDecoding.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace lanbrowse {
namespace {

using brenn::matchmaking::ServerData;
using brenn::matchmaking::ServerDataSection;
using brenn::matchmaking::ServerDataValue;

// The plain value of key in the section, or "".
std::string plainValue(const ServerDataSection& section, const char* key) {
    for (const ServerDataValue* v = section.head; v; v = v->next) {
        if (!v->index && std::string(v->key) == key) return v->value;
    }
    return "";
}

}  // namespace

std::string json(const std::string& bytes) {
    const std::string text = decodeText(bytes);
    std::ostringstream out;
    out << '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') out << '\\' << c;
        else if (u < 0x20) out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << int(u) << std::dec;
        else out << c;
    }
    out << '"';
    return out.str();
}

namespace {

// The section's values in the order they were written (oldest first).
void writeSection(std::ostream& out, const char* name, const ServerDataSection& section) {
    out << json(name) << ":[";
    bool first = true;
    for (const ServerDataValue* v = section.tail; v; v = v->prev) {
        out << (first ? "" : ",") << "{";
        if (v->index) out << "\"index\":" << json(v->index) << ",";
        out << "\"key\":" << json(v->key) << ",\"value\":" << json(v->value) << "}";
        first = false;
    }
    out << "]";
}

const char* modeName(brenn::matchmaking::CompareMode mode) {
    switch (mode) {
    case brenn::matchmaking::CompareInteger: return "int";
    case brenn::matchmaking::CompareFloat: return "float";
    case brenn::matchmaking::CompareCaseInsensitive: return "nocase";
    default: return "text";
    }
}

}  // namespace

std::vector<ServerData*> recordsInOrder(const PassResult& pass) {
    if (!pass.sortedPass) return pass.servers;
    std::vector<ServerData*> records;
    for (ServerData* r : pass.sorted) {
        const bool reported = std::find(pass.servers.begin(), pass.servers.end(), r) != pass.servers.end();
        if (reported && std::find(records.begin(), records.end(), r) == records.end()) records.push_back(r);
    }
    return records;
}

void writeTable(std::ostream& out, const std::vector<ServerData*>& records) {
    const std::vector<std::string> heads = {"ADDRESS:PORT", "PING", "HOSTNAME", "MAP", "TYPE", "PLAYERS"};
    std::vector<std::vector<std::string>> rows;
    for (const ServerData* r : records) {
        rows.push_back({endpointOf(r), plainValue(r->infoSection, "ping"), plainValue(r->infoSection, "hostname"),
                        plainValue(r->infoSection, "mapname"), plainValue(r->infoSection, "gametype"),
                        plainValue(r->infoSection, "numplayers") + "/" + plainValue(r->infoSection, "maxplayers")});
        for (std::string& cell : rows.back()) cell = decodeText(cell);
    }
    std::vector<std::size_t> widths;
    for (const std::string& h : heads) widths.push_back(h.size());
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], characterCount(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            std::string cell = cells[c];
            const bool right = c == 1 || c == 5;  // numbers line up on the right
            const std::string pad(widths[c] - characterCount(cell), ' ');
            text += right ? pad + cell : cell + pad;
            if (c + 1 < cells.size()) text += "  ";
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << "\n";
    };
    line(heads);
    for (const auto& row : rows) line(row);
}

void writeJson(std::ostream& out, int number, bool aux, const BrowseOptions& options, const PassResult& pass) {
    out << "{\"pass\":" << number << ",\"update\":" << json(aux ? "aux" : "full")
        << ",\"elapsed_ms\":" << pass.elapsedMs << ",\"finished\":" << (pass.finished ? "true" : "false");
    out << ",\"states\":[";
    bool first = true;
    for (const HookCall& c : pass.calls) {
        if (!c.isState) continue;
        out << (first ? "" : ",") << c.state;
        first = false;
    }
    out << "],\"hooks\":[";
    first = true;
    for (const HookCall& c : pass.calls) {
        out << (first ? "" : ",");
        if (c.isState) out << "{\"state\":" << c.state << "}";
        else out << "{\"server\":" << json(endpointOf(c.record)) << ",\"progress\":" << c.progress
                 << ",\"new\":" << (c.isNew ? "true" : "false") << "}";
        first = false;
    }
    out << "],\"sort\":";
    if (pass.sortedPass) {
        out << "{\"key\":" << json(options.sortKey) << ",\"ascending\":" << (options.descending ? "false" : "true")
            << ",\"mode\":" << json(modeName(options.mode)) << ",\"announced\":[";
        for (std::size_t i = 0; i < pass.sorted.size(); ++i) {
            out << (i ? "," : "") << json(endpointOf(pass.sorted[i]));
        }
        out << "]}";
    } else {
        out << "null";
    }
    out << ",\"servers\":[";
    first = true;
    for (const ServerData* r : recordsInOrder(pass)) {
        out << (first ? "" : ",");
        writeRecord(out, r);
        first = false;
    }
    out << "]}\n";
}

void writeRecord(std::ostream& out, const ServerData* r) {
    out << "{\"address\":" << json(r->address) << ",\"port\":" << r->port << ",\"server_id\":" << r->serverId
        << ",";
    writeSection(out, "basic", r->basicSection);
    out << ",";
    writeSection(out, "info", r->infoSection);
    out << ",";
    writeSection(out, "players", r->playersSection);
    out << ",";
    writeSection(out, "teams", r->teamsSection);
    out << ",";
    writeSection(out, "rules", r->rulesSection);
    out << "}";
}

std::string tableText(const std::vector<ServerData*>& records) {
    std::ostringstream out;
    writeTable(out, records);
    return out.str();
}

}  // namespace lanbrowse
