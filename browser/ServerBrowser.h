// The engine's chief header, for callers outside it (the service, tests,
// benchmarks, fuzzers): the ServerBrowser and every engine operation. Files
// of the engine include the headers they use instead.
#pragma once

#include "browser/BrowserCore.h"
#include "browser/BrowserServer.h"
#include "browser/BrowserTypes.h"
#include "browser/LanDiscovery.h"
#include "browser/QueryEngine.h"
#include "browser/ReplyParser.h"
#include "browser/ServerSort.h"
#include "browser/StringPool.h"
#include "browser/Trace.h"
