// The browser's trace lines.
#include "browser/Trace.h"

#include "browser/BrowserCore.h"

#include <cstdarg>
#include <cstdio>

namespace brenn::browser {

void setTrace(ServerBrowser* browser, BrowserTrace trace, void* context) {
    browser->trace = trace;
    browser->traceContext = context;
}

void trace(ServerBrowser* browser, const char* format, ...) {
    if (browser->trace == nullptr) return;
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    browser->trace(line, browser->traceContext);
}

}  // namespace brenn::browser
