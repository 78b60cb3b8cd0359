// The monitor's first instruction, before the run-time's start-up: from here on DLLs that are
// loaded by name are looked for in System32 alone. The program's folder is shared with the
// component's own installation, and a DLL put there must not run in every user's monitor.

#include <windows.h>

extern "C" int WinMainCRTStartup();  // the run-time's start-up, which ends in wWinMain

namespace {

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

void LoadDllsFromSystemFolderOnly() {
    // Windows 8 on, and Windows 7 with update KB2533623, have the call; it is looked up, so that a
    // Windows 7 without it still starts the program, with at least the current folder taken out.
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)()>(found));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace

// Windows calls the entry point with no promise of the stack alignment the compiler assumes.
extern "C" __attribute__((force_align_arg_pointer)) int KeslWebATMMonitorStartup() {
    LoadDllsFromSystemFolderOnly();
    return WinMainCRTStartup();
}
