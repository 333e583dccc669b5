// ServerData: construction into the owner's list, the two setters, disposal.
#include "host/ServerData.h"

#include "host/JoinMatchmaking.h"
#include "host/RecordLookup.h"

#include <cstdlib>
#include <cstring>

namespace brenn::matchmaking {

ServerData::ServerData(JoinMatchmaking* owner, const std::string& serviceId,
                       std::uint32_t serverId, const std::string& address, std::uint32_t port,
                       brenn::BrowserServer* browserServer)
    : owner(owner),
      serviceId(serviceId),
      address(address),
      port(port),
      serverId(serverId),
      browserServer(browserServer) {
    next = owner->serverDataHead;
    if (next != nullptr)
        next->prev = this;
    else
        owner->serverDataTail = this;
    owner->serverDataHead = this;
    ++owner->serverDataCount;
}

ServerData::~ServerData() {
    if (owner != nullptr) {
        RecordLookup::forget(*owner, this);
        if (prev != nullptr)
            prev->next = next;
        else
            owner->serverDataHead = next;
        if (next != nullptr)
            next->prev = prev;
        else
            owner->serverDataTail = prev;
        --owner->serverDataCount;
    }
    freeSection(basicSection);
    freeSection(infoSection);
    freeSection(playersSection);
    freeSection(teamsSection);
    freeSection(rulesSection);
    RecordLookup::release(*this);
}

ServerDataSection* ServerData::sectionNamed(const char* name) {
    if (name == nullptr) return nullptr;
    if (std::strcmp(name, "basic") == 0) return &basicSection;
    if (std::strcmp(name, "info") == 0) return &infoSection;
    if (std::strcmp(name, "players") == 0) return &playersSection;
    if (std::strcmp(name, "teams") == 0) return &teamsSection;
    if (std::strcmp(name, "rules") == 0) return &rulesSection;
    return nullptr;
}

void ServerData::setValue(const char* section, const char* key, const char* value) {
    RecordLookup::setValue(*this, section, key, value);
}

void ServerData::setPlayerValue(const char* section, std::int32_t index, const char* key,
                                const char* value) {
    RecordLookup::setPlayerValue(*this, section, index, key, value);
}

void ServerData::replaceValue(ServerDataValue* node, const char* value) {
    char* copy = strdup(value);
    if (copy == nullptr) return;
    std::free(node->value);
    node->value = copy;
}

void ServerData::addValue(ServerDataSection* section, const char* index, const char* key,
                          const char* value) {
    auto* node = static_cast<ServerDataValue*>(std::calloc(1, sizeof(ServerDataValue)));
    if (node == nullptr) return;
    node->index = index != nullptr ? strdup(index) : nullptr;
    node->key = strdup(key);
    node->value = strdup(value);
    if ((index != nullptr && node->index == nullptr) || node->key == nullptr ||
        node->value == nullptr) {
        std::free(node->index);
        std::free(node->key);
        std::free(node->value);
        std::free(node);
        return;
    }
    node->section = section;
    node->next = section->head;
    if (section->head != nullptr)
        section->head->prev = node;
    else
        section->tail = node;
    section->head = node;
    ++section->count;
    RecordLookup::added(*this, section, node);
}

void ServerData::freeSection(ServerDataSection& section) {
    ServerDataValue* node = section.head;
    while (node != nullptr) {
        ServerDataValue* next = node->next;
        std::free(node->index);
        std::free(node->key);
        std::free(node->value);
        std::free(node);
        node = next;
    }
    section = ServerDataSection{};
}

}  // namespace brenn::matchmaking
