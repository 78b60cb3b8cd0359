#pragma once
// The operating-system services that the subsystems use. The Win32 build implements them in
// platform/win32/; the native tests link an in-memory fake in their place.

#include <memory>

#include "platform/types.h"

// Folders and files
HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]);
bool ReadFileStatus(const char* path, FileStatus& status);
// Copies the value of key in section into value (at most valueSize - 1 characters and a
// terminator), or defaultValue when the file holds no such key.
void ReadProfileValue(const char* path, const char* section, const char* key, const char* defaultValue,
                       char* value, std::size_t valueSize);
bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value);
bool CreateFolder(const char* path);
bool RemoveFile(const char* path);

// Processes
void CloseOsHandle(OsHandle handle);

struct OsHandleCloser {
    void operator()(OsHandle handle) const { CloseOsHandle(handle); }
};
using UniqueOsHandle = std::unique_ptr<void, OsHandleCloser>;

UniqueOsHandle OpenProcessSnapshot();  // empty when no snapshot could be taken
bool FirstProcess(OsHandle snapshot, ProcessEntry& entry);
bool NextProcess(OsHandle snapshot, ProcessEntry& entry);
OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process);
bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode);

// Time
void PauseMilliseconds(std::uint32_t milliseconds);
std::int64_t CurrentTime();  // seconds since 1970-01-01 UTC
