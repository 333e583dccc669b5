// The reply tokenizer: tokens as offsets, the text left as it is.
#include "browser/ReplyTokens.h"

#include <cstring>

namespace brenn::replytokens {

ReplyCursor begin(const char* text) {
    ReplyCursor cursor;
    cursor.text = text;
    cursor.next = text[0] == '\0' ? 0 : 1;
    return cursor;
}

bool next(ReplyCursor* cursor, ReplyToken* token) {
    const char* text = cursor->text;
    std::size_t at = cursor->next;
    if (text[at] == '\0') return false;
    token->start = at;
    while (text[at] != '\\' && text[at] != '\0') ++at;
    token->length = at - token->start;
    cursor->next = text[at] == '\\' ? at + 1 : at;
    return true;
}

bool nextPair(ReplyCursor* cursor, ReplyToken* key, ReplyToken* value) {
    if (!next(cursor, key) || key->length == 0) return false;
    if (!next(cursor, value)) {
        value->start = cursor->next;
        value->length = 0;
    }
    return true;
}

bool tokenIs(const ReplyCursor& cursor, const ReplyToken& token, const char* word) {
    return std::strlen(word) == token.length && std::memcmp(cursor.text + token.start, word, token.length) == 0;
}

bool closedByBackslash(const ReplyCursor& cursor, const ReplyToken& token) {
    return cursor.text[token.start + token.length] == '\\';
}

}  // namespace brenn::replytokens
