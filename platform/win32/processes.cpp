// The process list, and opening and terminating processes.

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

#include "platform/platform.h"

// The record's size is fixed by the layout the snapshot functions expect: 556 bytes in the 32-bit
// program that ships, 568 in its 64-bit twin.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 4 ? 556 : 568), "PROCESSENTRY32W must have its layout");
static_assert(sizeof(wchar_t) == sizeof(WCHAR), "image names are UTF-16");

namespace {

bool CopyEntry(BOOL fetched, const PROCESSENTRY32W& raw, ProcessEntry& entry) {
    if (!fetched) return false;
    entry.processId = raw.th32ProcessID;
    std::wmemcpy(entry.imageName, raw.szExeFile, kImageNameCapacity);
    entry.imageName[kImageNameCapacity - 1] = L'\0';
    return true;
}

PROCESSENTRY32W NewRawEntry() {
    PROCESSENTRY32W raw{};
    raw.dwSize = sizeof raw;
    return raw;
}

}  // namespace

void CloseOsHandle(OsHandle handle) {
    if (handle != nullptr) CloseHandle(handle);
}

UniqueOsHandle OpenProcessSnapshot() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    return UniqueOsHandle(snapshot == INVALID_HANDLE_VALUE ? nullptr : snapshot);
}

bool FirstProcess(OsHandle snapshot, ProcessEntry& entry) {
    PROCESSENTRY32W raw = NewRawEntry();
    return CopyEntry(Process32FirstW(snapshot, &raw), raw, entry);
}

bool NextProcess(OsHandle snapshot, ProcessEntry& entry) {
    PROCESSENTRY32W raw = NewRawEntry();
    return CopyEntry(Process32NextW(snapshot, &raw), raw, entry);
}

OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process) {
    // The limited query right is granted wherever terminate is; SYNCHRONIZE lets a wait tell an
    // ended process from a running one.
    HANDLE handle = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (handle == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED ? OpenProcessOutcome::AccessDenied : OpenProcessOutcome::Gone;
    }
    process.reset(handle);
    return OpenProcessOutcome::Opened;
}

bool ReadProcessImageName(OsHandle process, wchar_t (&imageName)[kImageNameCapacity]) {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = MAX_PATH * 4;
    if (!QueryFullProcessImageNameW(process, 0, path, &length)) return false;
    const wchar_t* separator = std::wcsrchr(path, L'\\');
    const wchar_t* name = separator == nullptr ? path : separator + 1;
    if (std::wcslen(name) >= kImageNameCapacity) return false;
    std::wcscpy(imageName, name);
    return true;
}

bool ProcessHasEnded(OsHandle process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode) {
    return TerminateProcess(process, exitCode) != FALSE;
}
