// Folders, file status and private-profile files.

#include <windows.h>
#include <shlobj.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/platform.h"

HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]) {
    const int csidl = folder == SpecialFolder::RoamingAppData ? CSIDL_APPDATA : CSIDL_PROGRAM_FILES;
    static_assert(kPathBufferSize >= MAX_PATH, "SHGetFolderPathA writes up to MAX_PATH characters");
    return SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
}

bool ReadFileStatus(const char* path, FileStatus& status) {
    struct _stat64i32 info;
    if (_stat64i32(path, &info) != 0) return false;
    status.isDirectory = (info.st_mode & _S_IFDIR) != 0;
    status.size = info.st_size;
    return true;
}

void ReadProfileValue(const char* path, const char* section, const char* key, const char* defaultValue,
                       char* value, std::size_t valueSize) {
    GetPrivateProfileStringA(section, key, defaultValue, value, static_cast<DWORD>(valueSize), path);
}

bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

bool CreateFolder(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool RemoveFile(const char* path) { return std::remove(path) == 0; }
