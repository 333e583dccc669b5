// Loading and unloading a Windows module.
#include "support/ModuleLoader.h"

#include <windows.h>

namespace brenn::testing {

bool loadAndUnloadModule(const char* fileName) {
    // No "cannot load" dialog on failure; the result says it.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryA(fileName);
    ::SetErrorMode(previous);
    return module != nullptr && ::FreeLibrary(module) != 0;
}

}  // namespace brenn::testing
