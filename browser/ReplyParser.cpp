// Reply parsing and reply marks, on the reply tokenizer.
#include "browser/ReplyParser.h"

#include "browser/ReplyTokens.h"

#include <cstring>

namespace brenn::server {

namespace {

// K of a value "N.K": N not empty, K all digits from 1 to MaxReplyParts;
// else 0.
std::int32_t partNumber(const char* value, std::size_t length) {
    const char* dot = static_cast<const char*>(std::memchr(value, '.', length));
    if (dot == nullptr || dot == value) return 0;
    std::int32_t part = 0;
    for (const char* c = dot + 1; c < value + length; ++c) {
        if (*c < '0' || *c > '9' || part > MaxReplyParts) return 0;
        part = part * 10 + (*c - '0');
    }
    return part >= 1 && part <= MaxReplyParts ? part : 0;
}

}  // namespace

bool isStoredKey(const char* key) {
    return std::strcmp(key, "queryid") != 0 && std::strcmp(key, "final") != 0;
}

ReplyMarks readMarks(const char* text) {
    ReplyMarks marks{false, 0};
    if (text == nullptr) return marks;
    ReplyCursor cursor = replytokens::begin(text);
    ReplyToken token;
    // Every token but the first follows a backslash; the first follows the
    // text's first character.
    bool afterBackslash = text[0] == '\\';
    bool inPairs = true;   // no empty key yet
    bool isKey = true;
    bool partRead = false;
    bool queryIdValue = false;
    while (replytokens::next(&cursor, &token)) {
        if (afterBackslash && replytokens::closedByBackslash(cursor, token) &&
            replytokens::tokenIs(cursor, token, "final"))
            marks.final = true;
        afterBackslash = true;
        if (!inPairs || partRead) {
            if (marks.final) break;
            continue;
        }
        if (isKey) {
            inPairs = token.length != 0;
            queryIdValue = replytokens::tokenIs(cursor, token, "queryid");
        } else if (queryIdValue) {
            marks.part = partNumber(text + token.start, token.length);
            partRead = true;
        }
        isKey = !isKey;
    }
    return marks;
}

void parseReply(BrowserServer* server, char* text) {
    if (text == nullptr) return;
    ReplyCursor cursor = replytokens::begin(text);
    ReplyToken key;
    ReplyToken value;
    while (replytokens::nextPair(&cursor, &key, &value)) {
        // The backslashes after the key and the value become their NULs.
        text[key.start + key.length] = '\0';
        text[value.start + value.length] = '\0';
        if (!isStoredKey(text + key.start)) continue;
        KeyValuePair pair;
        pair.key = stringpool::intern(server->pool, text + key.start);
        pair.value = pair.key == nullptr ? nullptr : stringpool::internValue(server->pool, text + value.start);
        HashTable* keys = pair.value == nullptr ? nullptr : keyTable(server);
        if (keys != nullptr) hashtable::enter(keys, &pair);
    }
}

}  // namespace brenn::server
