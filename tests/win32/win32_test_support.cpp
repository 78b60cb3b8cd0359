#include "tests/win32/win32_test_support.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

ChildProcess::~ChildProcess() {
    if (info.hProcess != nullptr) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hProcess);
    }
    if (info.hThread != nullptr) CloseHandle(info.hThread);
}

long ChildProcess::WaitForExit(DWORD timeoutMilliseconds) {
    if (WaitForSingleObject(info.hProcess, timeoutMilliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return static_cast<long>(code);
}

ChildProcess StartProgram(const std::wstring& path, const std::wstring& arguments) {
    ChildProcess child;
    std::wstring commandLine = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &child.info)) {
        child.info = {};
    }
    return child;
}

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::string StateFolderPathA() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\KESL";
}

std::wstring InstallFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\KESL\\WebATM";
}

bool InstallStandIns() {
    const std::wstring folder = InstallFolder();
    CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    bool copied = true;
    for (const wchar_t* name : {L"\\KeslWebATMAgent.exe", L"\\KeslTerminateService.exe"}) {
        RemoveDirectoryW((folder + name).c_str());  // left by a test that put a folder there
        copied = CopyFileW((BuildFolder() + name).c_str(), (folder + name).c_str(), FALSE) && copied;
    }
    return copied;
}

std::string StateFilePathA() { return StateFolderPathA() + "\\info.ini"; }

void RemoveStateFile() {
    DeleteFileA(StateFilePathA().c_str());
    DWORD attributes = GetFileAttributesA(StateFolderPathA().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(StateFolderPathA().c_str());
    }
}

std::string ReadStoredValue() {
    char value[64] = {};
    GetPrivateProfileStringA("Settings", "Service", "", value, sizeof value, StateFilePathA().c_str());
    return value;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

namespace {

std::vector<DWORD> ProcessesNamed(const wchar_t* imageName) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) == 0) ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace

int CountProcessesNamed(const wchar_t* imageName) { return static_cast<int>(ProcessesNamed(imageName).size()); }

std::vector<std::wstring> ProcessImagePaths(const wchar_t* imageName) {
    std::vector<std::wstring> paths;
    for (DWORD id : ProcessesNamed(imageName)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (process == nullptr) continue;
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, path, &size)) paths.emplace_back(path, size);
        CloseHandle(process);
    }
    return paths;
}

void EndAllAgents() {
    for (DWORD id : ProcessesNamed(L"KeslWebATMAgent.exe")) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == nullptr) continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
    WaitUntil([] { return CountProcessesNamed(L"KeslWebATMAgent.exe") == 0; });
}
