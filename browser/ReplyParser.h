// Reply parsing: a server's backslash-separated keys and values into its
// key table, and what a reply datagram says about itself, both read with
// the tokenizer of browser/ReplyTokens.h.
#pragma once

#include "browser/BrowserServer.h"
#include "protocol/Wire.h"

namespace brenn::server {

// The most bytes of one datagram that are read (protocol/Wire.h); the
// receive buffer holds one more for the NUL that makes the datagram a text.
constexpr int MaxDatagram = wire::ReadDatagram;

// Enters the pairs of a reply ("\key\value\key\value...") into the server's
// key table, texts interned in its pool (keys without regard to letter case,
// values exactly). The first character is skipped
// unread; an empty key ends the parse; a key without a value gets "";
// "final" and "queryid" are never stored; a key already present gets the
// new value. text is modified in place. A pair for which storage cannot be
// had is skipped.
void parseReply(BrowserServer* server, char* text);

// False for exactly "queryid" and "final", true for every other key.
bool isStoredKey(const char* key);

// The most datagrams of one numbered reply that are put back together.
constexpr std::int32_t MaxReplyParts = wire::MaxReplyParts;

// What one reply datagram says about itself.
struct ReplyMarks {
    // The text holds "\final\" anywhere (even past an empty key): the server
    // has sent the last datagram of its answer.
    bool final;
    // The part number K of a datagram numbered "\queryid\N.K" (the first
    // key "queryid" among the pairs, read as parseReply reads keys), or 0
    // when it carries no such number or K is outside 1..MaxReplyParts.
    std::int32_t part;
};

// The marks of a reply text, read up to its first NUL in one walk, without
// changing it. A null text has none.
ReplyMarks readMarks(const char* text);

}  // namespace brenn::server
