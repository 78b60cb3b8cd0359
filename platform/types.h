#pragma once
// The project's own names for what the subsystems exchange with the operating system.
// Nothing here depends on <windows.h>, so the subsystems build natively against a fake.

#include <cstddef>
#include <cstdint>

// Result of the file and launch operations; callers of the state-file operations ignore it.
enum ResultCode : int {
    RESULT_OK = 0,
    RESULT_FOLDER_LOOKUP_FAILED = 100,  // the special-folder lookup returned anything but S_OK
    RESULT_NO_FILE_STATUS = 105,        // the file's status could not be read (as a rule: it is missing)
    RESULT_FILE_EMPTY = 106,            // the file's size is 0 or less
    RESULT_LAUNCH_REFUSED = 107,        // the shell's result was 32 or less
};

// HRESULT values as the folder lookup reports them.
using HResult = std::int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;

// Narrow paths in the ANSI code page are assembled in buffers of this size.
inline constexpr std::size_t kPathBufferSize = 1024;

enum class SpecialFolder {
    RoamingAppData,  // CSIDL_APPDATA
    ProgramFiles,    // CSIDL_PROGRAM_FILES, as a 32-bit program sees it
};

struct FileStatus {
    bool isDirectory = false;
    std::int64_t size = 0;
};

// One row of the process list: the image name is a file name without a folder.
inline constexpr std::size_t kImageNameCapacity = 260;
struct ProcessEntry {
    std::uint32_t processId = 0;
    wchar_t imageName[kImageNameCapacity] = {};
};

enum class OpenProcessOutcome {
    Opened,
    AccessDenied,  // the process exists but refuses terminate access
    Gone,          // no such process any more (it ended between the snapshot and the open)
};

// Opaque handle to a process or a process snapshot; null means none.
using OsHandle = void*;
