// ReplyTokens: the one tokenizer of reply texts. A reply is tokens separated
// by backslashes ("\key\value\key\value..."), read as keys and values from
// its second character on; the text ends at its first NUL. Inline: it runs
// for every token of every datagram.
#pragma once

#include <cstddef>
#include <cstring>

namespace brenn {

// One token: the characters between a backslash and the next backslash (or
// the text's NUL), as offsets into the text, which is not changed.
struct ReplyToken {
    std::size_t start;   // offset of its first character
    std::size_t length;  // characters before the backslash or NUL that ends it
};

// Where a walk over a reply text stands. It lives on its reader's stack, so
// that any number of texts can be read at once.
struct ReplyCursor {
    const char* text;
    std::size_t next;  // offset of the next token
};

namespace replytokens {

// A cursor at the first token of text: its first character is skipped
// unread (replies begin with a backslash). An empty text has no tokens.
inline ReplyCursor begin(const char* text) { return ReplyCursor{text, text[0] == '\0' ? 0u : 1u}; }

// Reads the token at the cursor into *token and moves past it and the
// backslash that ends it. Each backslash ends one token, so two in a row
// give an empty token. False, with nothing changed, when the cursor stands
// on the text's NUL.
inline bool next(ReplyCursor* cursor, ReplyToken* token) {
    const char* start = cursor->text + cursor->next;
    if (*start == '\0') return false;
    const char* end = start;
    while (*end != '\\' && *end != '\0') ++end;
    token->start = cursor->next;
    token->length = static_cast<std::size_t>(end - start);
    cursor->next = static_cast<std::size_t>(end - cursor->text) + (*end == '\\' ? 1 : 0);
    return true;
}

// Reads the next key and its value. False when the pairs are over: at the
// text's end, or at an empty key (nothing after it is a pair). A key that
// ends the text gets an empty value, at the text's end.
inline bool nextPair(ReplyCursor* cursor, ReplyToken* key, ReplyToken* value) {
    if (!next(cursor, key) || key->length == 0) return false;
    if (!next(cursor, value)) *value = ReplyToken{cursor->next, 0};
    return true;
}

// True when the token is exactly word (compared with letter case).
inline bool tokenIs(const ReplyCursor& cursor, const ReplyToken& token, const char* word) {
    return std::strlen(word) == token.length && std::memcmp(cursor.text + token.start, word, token.length) == 0;
}

// True when a backslash follows the token (it does not end the text).
inline bool closedByBackslash(const ReplyCursor& cursor, const ReplyToken& token) {
    return cursor.text[token.start + token.length] == '\\';
}

}  // namespace replytokens

}  // namespace brenn
