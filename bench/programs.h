#pragma once
// The programs the benchmark runs: started from the build folder, found by their hidden window's
// class, and closed as the session would close them.

#include <windows.h>

#include <memory>
#include <string>

#include "desktop/desktop.h"
#include "desktop/processes.h"

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
    std::unique_ptr<Started> process;
    HWND window = nullptr;
    DWORD Id() const { return process->info.dwProcessId; }
};

std::unique_ptr<Started> Launch(const BenchProgram& program, const std::wstring& arguments = L"");

// Starts the program and waits until its window exists and, for a tray program, until the
// notification area shows one icon more than before. window stays null when that did not happen.
RunningProgram StartAndSettle(const BenchProgram& program, const std::wstring& arguments = L"");

// The program's hidden window, once its start-up has created it.
HWND FindProgramWindow(const RunningProgram& running);

// Sends WM_CLOSE to its window, waits for the process to end and for its tray icon to go
// (terminating it if it does not end).
void Close(RunningProgram& running);

// The stand-in agent, started from where the monitor looks for the agent.
std::unique_ptr<Started> StartInstalledAgent();
