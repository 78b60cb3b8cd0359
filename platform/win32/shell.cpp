// Launching programs through the shell.

#include <windows.h>
#include <shellapi.h>

#include "platform/platform.h"

WindowHandle DesktopWindow() { return GetDesktopWindow(); }

std::intptr_t LaunchThroughShell(WindowHandle owner, const char* verb, const char* path) {
    HINSTANCE result = ShellExecuteA(static_cast<HWND>(owner), verb, path, nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}
