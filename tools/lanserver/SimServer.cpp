// Names of the behaviours and pair lookup of a simulated server.
#include "SimServer.h"

namespace lanserver {

const char* behaviourName(Behaviour behaviour) {
    switch (behaviour) {
    case Behaviour::Answers: return "answers";
    case Behaviour::Silent: return "silent";
    case Behaviour::Dead: return "dead";
    }
    return "answers";
}

const std::string* findValue(const SimServer& server, const std::string& key) {
    for (const Pair& pair : server.pairs) {
        if (pair.first == key) return &pair.second;
    }
    return nullptr;
}

}  // namespace lanserver
