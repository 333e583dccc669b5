// Loading a Windows module the way a host game loads the plug-in.
#pragma once

namespace brenn::testing {

// Loads the module (searched for as LoadLibrary does, the program's folder
// first) and unloads it again. True when it loaded, which needs its entry
// point to report success on process attach, and unloaded.
bool loadAndUnloadModule(const char* fileName);

}  // namespace brenn::testing
