// The browser's trace: one line of text per thing worth a network
// engineer's eye (broadcast rounds, servers asked again, parts ignored),
// handed to the owner's trace function when it set one.
#pragma once

namespace brenn {

struct ServerBrowser;

// The owner's trace function: a line (no newline) and the context it gave.
using BrowserTrace = void (*)(const char* line, void* context);

namespace browser {

// Sets (or, with null, removes) the trace function.
void setTrace(ServerBrowser* browser, BrowserTrace trace, void* context);

// Formats a line as printf does (cut at 255 characters) and hands it to
// the trace function; nothing when none is set.
void trace(ServerBrowser* browser, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

}  // namespace browser

}  // namespace brenn
