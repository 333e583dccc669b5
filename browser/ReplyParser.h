// Reply parsing: a server's backslash-separated keys and values into its
// key table.
#pragma once

#include "browser/BrowserServer.h"
#include "protocol/Wire.h"

namespace brenn::server {

// The most bytes of one datagram that are read (protocol/Wire.h); the
// receive buffer holds one more for the NUL that makes the datagram a text.
constexpr int MaxDatagram = wire::ReadDatagram;

// True when a reply text (up to its first NUL) holds "\final\": the server
// has sent the last datagram of its answer.
bool holdsFinal(const char* text);

// Enters the pairs of a reply ("\key\value\key\value...") into the server's
// key table, texts interned in its pool (keys without regard to letter case,
// values exactly). The first character is skipped
// unread; an empty key ends the parse; a key without a value gets "";
// "final" and "queryid" are never stored; a key already present gets the
// new value. text is modified in place. A pair for which storage cannot be
// had is skipped. Not re-entrant: the tokenizer keeps one cursor.
void parseReply(BrowserServer* server, char* text);

// False for exactly "queryid" and "final", true for every other key.
bool isStoredKey(const char* key);

// The most datagrams of one numbered reply that are put back together.
constexpr std::int32_t MaxReplyParts = wire::MaxReplyParts;

// The part number K of a datagram numbered "\queryid\N.K" (the key
// "queryid" in a key position, read as parseReply reads keys), or 0 when
// it carries no such number or K is outside 1..MaxReplyParts. The text is
// read up to its first NUL and not changed.
std::int32_t replyPart(const char* text);

}  // namespace brenn::server
