#include "tests/sweep/unwritable_places.h"

#include <windows.h>

#include <sstream>

#include "tests/win32/win32_test_support.h"

namespace {

// The Linux path behind a Windows one, from Wine's own export.
std::string UnixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const FARPROC exported = GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(exported));
    if (toUnix == nullptr) return {};
    const std::wstring wide(path.begin(), path.end());
    char* unix = toUnix(wide.c_str());
    if (unix == nullptr) return {};
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CanWrite(const std::string& path) {
    if (IsFolder(path)) {
        const std::string probe = path + "\\~write-probe";
        if (!CreateDirectoryA(probe.c_str(), nullptr)) return false;
        RemoveDirectoryA(probe.c_str());
        return true;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool SetUnwritable(const std::string& path, bool unwritable) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string done = std::string(temp) + "unwritable-done";
    DeleteFileA(done.c_str());
    const std::string unix = UnixPath(path);
    const std::string doneUnix = UnixPath(done);
    if (unix.empty() || doneUnix.empty()) return false;

    // Wine starts Linux programs too, without a handle to wait on: the shell leaves a file
    // when it is done. One shell keeps the steps in order (the immutable attribute also
    // forbids changing the permissions).
    const std::string quoted = "'" + unix + "'";
    const std::string steps = unwritable ? "chmod a-w " + quoted + "; chattr +i " + quoted
                                         : "chattr -i " + quoted + "; chmod u+w " + quoted;
    const std::string script = steps + "; touch '" + doneUnix + "'";
    StartProgram(L"Z:\\bin\\sh", L"-c \"" + std::wstring(script.begin(), script.end()) + L"\"");
    const bool finished = WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                    std::chrono::seconds(10));
    DeleteFileA(done.c_str());
    return finished && CanWrite(path) != unwritable;
}

std::string FolderTreeListing(const std::string& root) {
    std::ostringstream listing;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        listing << root << '\\' << name << ' ' << found.dwFileAttributes << ' ' << found.nFileSizeLow << ' '
                << found.ftLastWriteTime.dwHighDateTime << ':' << found.ftLastWriteTime.dwLowDateTime << '\n';
        // Wine links some profile folders to the Linux home folder: those are not walked.
        const bool walk = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (walk) listing << FolderTreeListing(root + '\\' + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return listing.str();
}
