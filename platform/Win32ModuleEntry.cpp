// The entry point of the plug-in module on Windows.
#include <windows.h>

// Turns off the thread attach and detach notifications when a process
// attaches the module, since nothing here keeps per-thread state. Reports
// success for every reason and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(module);
    return TRUE;
}
