// A DLL that the monitor must never load from its own folder, planted there under the name of one
// it loads after start. Loaded, it leaves an event named KeslPlantedDllLoaded for the monitor's
// lifetime, which the acceptance program looks for.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) CreateEventW(nullptr, TRUE, FALSE, L"KeslPlantedDllLoaded");
    return TRUE;
}
