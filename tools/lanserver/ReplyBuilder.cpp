// Building the datagrams of a status reply.
#include "ReplyBuilder.h"

namespace lanserver {

std::vector<std::string> buildReply(const std::vector<Pair>& pairs, int parts, int queryNumber) {
    if (parts < 1) parts = 1;
    const std::size_t count = pairs.size();
    // Longest tail a datagram takes: "\final\\queryid\" and "n.k".
    const std::size_t tailRoom = 40;

    std::vector<std::string> bodies;
    for (int part = 0; part < parts; ++part) {
        const std::size_t from = count * static_cast<std::size_t>(part) / static_cast<std::size_t>(parts);
        const std::size_t to = count * static_cast<std::size_t>(part + 1) / static_cast<std::size_t>(parts);
        std::string body;
        for (std::size_t i = from; i < to; ++i) {
            const std::string pair = "\\" + pairs[i].first + "\\" + pairs[i].second;
            if (!body.empty() && body.size() + pair.size() + tailRoom > MaxDatagram) {
                bodies.push_back(body);
                body.clear();
            }
            body += pair;
        }
        bodies.push_back(body);
    }

    std::vector<std::string> datagrams;
    for (std::size_t k = 0; k < bodies.size(); ++k) {
        std::string datagram = bodies[k];
        if (k + 1 == bodies.size()) datagram += "\\final\\";
        datagram += "\\queryid\\" + std::to_string(queryNumber) + "." + std::to_string(k + 1);
        datagrams.push_back(datagram);
    }
    return datagrams;
}

}  // namespace lanserver
