#pragma once
// Where the package and the component put their programs on a Windows desktop, for the acceptance
// program and the benchmark alike.

#include <windows.h>
#include <shlobj.h>

#include <string>

inline std::wstring FolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// The package installs the monitor under the 32-bit Program Files, whatever the program asking.
inline std::wstring InstalledMonitor() {
    return FolderPath(CSIDL_PROGRAM_FILESX86) + L"\\KESL\\WebATM\\KeslWebATMMonitor.exe";
}

// The monitor looks for the agent under Program Files as a program of its kind sees it, as the
// program asking does: the shipped 32-bit one with the 32-bit build, the twin with the twin's.
inline std::wstring ComponentFolder() { return FolderPath(CSIDL_PROGRAM_FILES) + L"\\KESL\\WebATM"; }
