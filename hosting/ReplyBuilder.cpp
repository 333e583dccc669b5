// Building the datagrams of a status reply.
#include "hosting/ReplyBuilder.h"

namespace brenn::hosting {

std::size_t pairLength(const Pair& pair) { return pair.first.size() + pair.second.size() + 2; }

std::vector<std::string> splitReply(const std::vector<Pair>& pairs, int parts) {
    if (parts < 1) parts = 1;
    const std::size_t count = pairs.size();
    std::vector<std::string> bodies;
    for (int part = 0; part < parts; ++part) {
        const std::size_t from = count * static_cast<std::size_t>(part) / static_cast<std::size_t>(parts);
        const std::size_t to = count * static_cast<std::size_t>(part + 1) / static_cast<std::size_t>(parts);
        std::string body;
        for (std::size_t i = from; i < to; ++i) {
            const std::size_t length = pairLength(pairs[i]);
            if (!body.empty() && body.size() + length + TailRoom > MaxDatagram) {
                bodies.push_back(std::move(body));
                body.clear();
            }
            body.reserve(body.size() + length);
            body += '\\';
            body += pairs[i].first;
            body += '\\';
            body += pairs[i].second;
        }
        bodies.push_back(std::move(body));
    }
    return bodies;
}

void appendTail(std::string* datagram, std::uint32_t query, std::size_t part, std::size_t count) {
    if (part == count) *datagram += "\\final\\";
    *datagram += "\\queryid\\";
    *datagram += std::to_string(query);
    *datagram += '.';
    *datagram += std::to_string(part);
}

std::vector<std::string> buildReply(const std::vector<Pair>& pairs, int parts, std::uint32_t query) {
    std::vector<std::string> datagrams = splitReply(pairs, parts);
    for (std::size_t k = 0; k < datagrams.size(); ++k) appendTail(&datagrams[k], query, k + 1, datagrams.size());
    return datagrams;
}

}  // namespace brenn::hosting
