// The example host's table and JSON output.
#include "RecordOutput.h"

#include "TextDecoding.h"

#include <algorithm>
#include <sstream>

namespace lanbrowse {

using tooltext::Json;
using tooltext::jsonLine;
using tooltext::jsonText;

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

namespace {

// The section's values in the order they were written (oldest first).
Json sectionJson(const ServerDataSection& section) {
    Json values = Json::array();
    for (const ServerDataValue* v = section.tail; v; v = v->prev) {
        Json value = Json::object();
        if (v->index) value["index"] = jsonText(v->index);
        value["key"] = jsonText(v->key);
        value["value"] = jsonText(v->value);
        values.push_back(std::move(value));
    }
    return values;
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
        for (std::string& cell : rows.back()) cell = tooltext::decodeText(cell);
    }
    std::vector<std::size_t> widths;
    for (const std::string& h : heads) widths.push_back(h.size());
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], tooltext::characterCount(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            std::string cell = cells[c];
            const bool right = c == 1 || c == 5;  // numbers line up on the right
            const std::string pad(widths[c] - tooltext::characterCount(cell), ' ');
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
    Json object = Json::object();
    object["pass"] = number;
    object["update"] = aux ? "aux" : "full";
    object["elapsed_ms"] = pass.elapsedMs;
    object["finished"] = pass.finished;
    Json states = Json::array();
    Json hooks = Json::array();
    for (const HookCall& c : pass.calls) {
        if (c.isState) {
            states.push_back(c.state);
            hooks.push_back(Json{{"state", c.state}});
        } else {
            hooks.push_back(Json{{"server", jsonText(endpointOf(c.record))}, {"progress", c.progress}, {"new", c.isNew}});
        }
    }
    object["states"] = std::move(states);
    object["hooks"] = std::move(hooks);
    object["sort"] = nullptr;
    if (pass.sortedPass) {
        Json announced = Json::array();
        for (const ServerData* r : pass.sorted) announced.push_back(jsonText(endpointOf(r)));
        object["sort"] = Json{{"key", jsonText(options.sortKey)},
                              {"ascending", !options.descending},
                              {"mode", modeName(options.mode)},
                              {"announced", std::move(announced)}};
    }
    Json servers = Json::array();
    for (const ServerData* r : recordsInOrder(pass)) servers.push_back(recordJson(r));
    object["servers"] = std::move(servers);
    out << jsonLine(object) << "\n";
}

Json recordJson(const ServerData* r) {
    Json record = Json::object();
    record["address"] = jsonText(r->address);
    record["port"] = r->port;
    record["server_id"] = r->serverId;
    record["basic"] = sectionJson(r->basicSection);
    record["info"] = sectionJson(r->infoSection);
    record["players"] = sectionJson(r->playersSection);
    record["teams"] = sectionJson(r->teamsSection);
    record["rules"] = sectionJson(r->rulesSection);
    return record;
}

std::string tableText(const std::vector<ServerData*>& records) {
    std::ostringstream out;
    writeTable(out, records);
    return out.str();
}

}  // namespace lanbrowse
