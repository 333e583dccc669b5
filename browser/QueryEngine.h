// The query engine: the Querying state, which sends every found server its
// query, a bounded number at a time, and reports each complete reply.
#pragma once

#include <cstdint>

namespace brenn {

struct ServerBrowser;

namespace browser {

// One step of Querying: receive (one datagram per readable busy slot, at
// most 64 slots polled), time out slots silent for more than 3000 ms, end
// the pass when asked to or when every server was sent its query and no
// slot was busy at the start of the step, else dispatch queries to the
// idle slots. Raises ServerUpdated for every reply that holds "\final\".
// Always NoError.
std::int32_t queryStep(ServerBrowser* browser);

// Closes the socket of every slot, busy or not. Returns 0.
std::int32_t closeQuerySockets(ServerBrowser* browser);

// The query text of a BrowserQueryType and its length (sent without NUL);
// null and 0 for a type with no query.
const char* queryText(std::int32_t queryType, std::int32_t* length);

}  // namespace browser

}  // namespace brenn
