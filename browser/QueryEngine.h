// The query engine: the Querying state, which sends every found server its
// query, a bounded number at a time, and reports each complete reply.
#pragma once

#include <cstdint>

namespace brenn {

struct BrowserServer;
struct QuerySlot;
struct ServerBrowser;

namespace browser {

// A query ends without a reply when more than this many ms have passed
// since its first query was sent.
constexpr std::uint32_t QueryTimeout = 3000;
// A busy slot that has heard nothing new for more than this many ms since
// its latest query (or the last part of its reply) sends the query again...
constexpr std::uint32_t RetryInterval = 500;
// ...up to this many queries per server and pass.
constexpr std::int32_t MaxQueries = 4;

// One step of Querying: receive (one datagram per readable busy slot, at
// most 64 slots polled), time out slots whose first query is more than
// QueryTimeout old, ask quiet servers again, end the pass when asked to or
// when every server was sent its query and no slot was busy at the start
// of the step, else dispatch queries to the idle slots. Raises
// ServerUpdated for every complete reply: one whose datagrams are numbered
// ("\queryid\N.K") once its final part and every part before it came;
// one that numbers nothing with its datagram that holds "\final\".
// Always NoError.
std::int32_t queryStep(ServerBrowser* browser);

// Closes the socket of every slot, busy or not. Returns 0.
std::int32_t closeQuerySockets(ServerBrowser* browser);

// The phases of a step, shared by a pass and a live listing.
// Receive: one datagram per readable busy slot (at most 64 slots polled).
// Returns how many slots were busy at its start.
std::int32_t receivePhase(ServerBrowser* browser);
// Time: a slot whose first query is more than its timeout old gives its
// server up; one that has heard nothing new for more than RetryInterval
// since its latest query or part asks again, up to MaxQueries queries.
void timePhase(ServerBrowser* browser);
// Puts server on the idle slot and sends its first query now; the query is
// given up timeout ms after it.
void startQuery(QuerySlot& slot, BrowserServer* server, std::uint32_t timeout);

// The query text of a BrowserQueryType and its length (sent without NUL);
// null and 0 for a type with no query.
const char* queryText(std::int32_t queryType, std::int32_t* length);

}  // namespace browser

}  // namespace brenn
