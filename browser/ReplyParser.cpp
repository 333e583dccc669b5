// Reply parsing with a tokenizer whose cursor is private to this file.
#include "browser/ReplyParser.h"

#include <cstring>

namespace brenn::server {

namespace {

char* cursor = nullptr;

// Like strtok, but each delimiter ends one token and an empty token comes
// back as null (after its delimiter was consumed). A given text restarts
// the cursor; null goes on from where the previous call stopped.
char* nextToken(char* text, char delimiter) {
    if (text != nullptr) cursor = text;
    if (cursor == nullptr || *cursor == '\0') return nullptr;
    char* start = cursor;
    while (*cursor != delimiter && *cursor != '\0') ++cursor;
    if (*cursor == delimiter) *cursor++ = '\0';
    return *start == '\0' ? nullptr : start;
}

}  // namespace

bool holdsFinal(const char* text) { return std::strstr(text, "\\final\\") != nullptr; }

bool isStoredKey(const char* key) {
    return std::strcmp(key, "queryid") != 0 && std::strcmp(key, "final") != 0;
}

std::int32_t replyPart(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0;
    // Walks the tokens as parseReply does: key, value, key, value...,
    // stopping at an empty key.
    const char* token = text + 1;
    bool isKey = true;
    bool valueOfQueryId = false;
    while (*token != '\0') {
        const char* end = std::strchr(token, '\\');
        const std::size_t length = end == nullptr ? std::strlen(token) : static_cast<std::size_t>(end - token);
        if (isKey) {
            if (length == 0) return 0;
            valueOfQueryId = length == 7 && std::strncmp(token, "queryid", 7) == 0;
        } else if (valueOfQueryId) {
            // "N.K": digits, a dot, then the part number.
            const char* dot = static_cast<const char*>(std::memchr(token, '.', length));
            if (dot == nullptr || dot == token) return 0;
            std::int32_t part = 0;
            for (const char* c = dot + 1; c < token + length; ++c) {
                if (*c < '0' || *c > '9' || part > MaxReplyParts) return 0;
                part = part * 10 + (*c - '0');
            }
            return part >= 1 && part <= MaxReplyParts ? part : 0;
        }
        isKey = !isKey;
        if (end == nullptr) break;
        token = end + 1;
    }
    return 0;
}

void parseReply(BrowserServer* server, char* text) {
    if (text == nullptr || text[0] == '\0') return;
    char* key = nextToken(text + 1, '\\');
    while (key != nullptr) {
        const char* value = nextToken(nullptr, '\\');
        if (value == nullptr) value = "";
        if (isStoredKey(key)) {
            KeyValuePair pair;
            pair.key = stringpool::intern(server->pool, key);
            pair.value = pair.key == nullptr ? nullptr : stringpool::internValue(server->pool, value);
            HashTable* keys = pair.value == nullptr ? nullptr : keyTable(server);
            if (keys != nullptr) hashtable::enter(keys, &pair);
        }
        key = nextToken(nullptr, '\\');
    }
    cursor = nullptr;
}

}  // namespace brenn::server
