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
