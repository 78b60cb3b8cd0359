#pragma once
// Helpers for the tests that run the real platform layer and programs under Wine.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A started child process; terminated and closed when it goes out of scope.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept : info(other.info) { other.info = {}; }
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        std::swap(info, other.info);
        return *this;
    }
    ~ChildProcess();
    bool Started() const { return info.hProcess != nullptr; }
    // Waits for the process to end; returns its exit code, or -1 when it did not end in time.
    long WaitForExit(DWORD timeoutMilliseconds = 60000);
};

ChildProcess StartProgram(const std::wstring& path, const std::wstring& arguments = L"");

// The folder of this test program, where the build puts the monitor and the stand-ins.
std::wstring BuildFolder();
std::string StateFilePathA();  // %APPDATA%\KESL\info.ini
std::string StateFolderPathA();
void RemoveStateFile();
// Where the monitor launches the agent and the terminate program from.
std::wstring InstallFolder();  // C:\Program Files (x86)\KESL\WebATM
// Copies the stand-ins from the build folder into the install folder.
bool InstallStandIns();
std::string ReadWholeFile(const std::string& path);  // empty when missing
// The Service value the profile reader now finds in the state file; "" when there is none.
std::string ReadStoredValue();

// Polls condition until it holds or timeout passes; a bounded wait, not a fixed sleep.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Ends every agent stand-in that a test left running, and waits until none is listed.
void EndAllAgents();
int CountProcessesNamed(const wchar_t* imageName);  // case-insensitive
std::vector<std::wstring> ProcessImagePaths(const wchar_t* imageName);  // full paths, where readable
