#pragma once
// The programs the benchmark runs: started from the build folder, found by their hidden window's
// class, and closed as the session would close them.

#include <windows.h>

#include <memory>
#include <string>

#include "tests/acceptance/desktop.h"

// A started program; ended and closed when it goes out of scope.
struct Program {
    PROCESS_INFORMATION info{};
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"") {
        std::wstring line = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup{sizeof startup};
        if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, 0, 0, nullptr, nullptr, &startup, &info))
            info = {};
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (info.hProcess == nullptr) return;
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    long WaitForExit(DWORD milliseconds = 60000) {  // the exit code, or -1 when it did not end in time
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        return GetExitCodeProcess(info.hProcess, &code) ? static_cast<long>(code) : -1;
    }
};

std::wstring BuildFolder();  // the benchmark's own, where the programs it runs are
int CountAgents();
void EndAllAgents();

struct BenchProgram {
    const char* name;          // as the report shows it
    const wchar_t* file;       // in the build folder
    const wchar_t* windowClass;
    bool showsTrayIcon;
};

extern const BenchProgram kMonitor;
extern const BenchProgram kFloor;
extern const BenchProgram kReferenceBox;

struct RunningProgram {
    const BenchProgram* program = nullptr;
    std::unique_ptr<Program> process;
    HWND window = nullptr;
    DWORD Id() const { return process->info.dwProcessId; }
};

std::unique_ptr<Program> Launch(const BenchProgram& program, const std::wstring& arguments = L"");

// Starts the program and waits until its window exists and, for a tray program, until the
// notification area shows one icon more than before. window stays null when that did not happen.
RunningProgram StartAndSettle(const BenchProgram& program, const std::wstring& arguments = L"");

// The program's hidden window, once its start-up has created it.
HWND FindProgramWindow(const RunningProgram& running);

// Sends WM_CLOSE to its window, waits for the process to end and for its tray icon to go
// (terminating it if it does not end).
void Close(RunningProgram& running);

// The stand-in agent, started from where the monitor looks for the agent.
std::unique_ptr<Program> StartInstalledAgent();
