#include "desktop/processes.h"

#include <tlhelp32.h>

#include "desktop/desktop.h"

namespace {

constexpr long kInstallAlreadyRunning = 1618;

// Windows Installer holds its _MSIExecute mutex while an install runs its execution sequence.
bool InstallerFree() {
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute"));
    const DWORD state = mutex ? WaitForSingleObject(mutex.get(), 0) : WAIT_FAILED;
    if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) ReleaseMutex(mutex.get());
    return state != WAIT_TIMEOUT;
}

}  // namespace

void Started::Close() {
    if (info.hProcess == nullptr) return;
    if (endWhenDone && Running()) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
    }
    CloseHandle(info.hProcess);
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    info = {};
}

bool Started::Running() const { return info.hProcess != nullptr && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }

long Started::WaitForExit(DWORD milliseconds) {
    DWORD code = 0;
    if (info.hProcess == nullptr || WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    return GetExitCodeProcess(info.hProcess, &code) ? static_cast<long>(code) : -1;
}

bool StartProgram(const std::wstring& commandLine, Started& started) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{sizeof startup};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started.info)) return true;
    started.info = {};
    return false;
}

bool StartMsiexec(const std::wstring& arguments, Started& msiexec) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return StartProgram(L"\"" + std::wstring(system) + L"\\msiexec.exe\" " + arguments, msiexec);
}

long RunMsiexec(const std::wstring& arguments, const std::function<void(HANDLE)>& meanwhile) {
    long code = kInstallAlreadyRunning;
    for (int run = 0; run < 5 && code == kInstallAlreadyRunning; ++run) {
        if (run > 0) WaitUntil(InstallerFree, std::chrono::minutes(1));
        Started msiexec;
        if (!StartMsiexec(arguments, msiexec)) return -1;
        if (meanwhile) meanwhile(msiexec.info.hProcess);
        code = msiexec.WaitForExit(10 * 60 * 1000);
    }
    return code;
}

std::vector<DWORD> ProcessesNamed(const wchar_t* imageName) {
    std::vector<DWORD> ids;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) == 0) ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

std::wstring ImagePathOf(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &length)) return L"";
    return path;
}

void EndProcessesNamed(const wchar_t* imageName) {
    for (DWORD id : ProcessesNamed(imageName)) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
    }
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

std::wstring ThisProgramsFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return FolderOf(self);
}
