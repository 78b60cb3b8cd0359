#include "bench/programs.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <chrono>

#include "bench/timing.h"
#include "bench/tray_watch.h"
#include "tests/acceptance/desktop.h"

const BenchProgram kMonitor{"monitor", L"KeslWebATMMonitor.exe", L"KESLWEBATMMONITOR", true};
const BenchProgram kFloor{"floor", L"KeslBenchFloorTray.exe", L"KeslBenchFloorTray", true};
const BenchProgram kReferenceBox{"reference", L"KeslBenchReferenceBox.exe", L"KeslBenchReferenceBox", false};

namespace {
constexpr auto kSettleTimeout = std::chrono::seconds(30);
}

std::unique_ptr<Program> Launch(const BenchProgram& program, const std::wstring& arguments) {
    return std::make_unique<Program>(BuildFolder() + L"\\" + program.file, arguments);
}

HWND FindProgramWindow(const RunningProgram& running) {
    return FindWindowOf(running.Id(), running.program->windowClass, nullptr, false);
}

RunningProgram StartAndSettle(const BenchProgram& program, const std::wstring& arguments) {
    RunningProgram running;
    running.program = &program;
    const int iconsBefore = ShownTrayIcons();
    running.process = Launch(program, arguments);
    if (running.process->info.hProcess == nullptr) return running;
    HWND window = nullptr;
    const bool settled = PollUntil(
        [&] {
            if (window == nullptr) window = FindProgramWindow(running);
            return window != nullptr && (!program.showsTrayIcon || ShownTrayIcons() > iconsBefore);
        },
        kSettleTimeout);
    if (settled) running.window = window;
    return running;
}

void Close(RunningProgram& running) {
    if (!running.process || running.process->info.hProcess == nullptr) return;
    const int iconsBefore = ShownTrayIcons();
    if (running.window != nullptr) PostMessageW(running.window, WM_CLOSE, 0, 0);
    if (running.process->WaitForExit(10000) < 0) {
        TerminateProcess(running.process->info.hProcess, 1);
        running.process->WaitForExit(10000);
    }
    // The icon goes with the window; Wine's taskbar drops one left behind once it notices.
    if (running.program->showsTrayIcon) PollUntil([&] { return ShownTrayIcons() < iconsBefore; }, kSettleTimeout);
}

std::unique_ptr<Program> StartInstalledAgent() {
    wchar_t programFiles[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    return std::make_unique<Program>(std::wstring(programFiles) + L"\\KESL\\WebATM\\KeslWebATMAgent.exe");
}

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path).substr(0, std::wstring(path).find_last_of(L"\\/"));
}

namespace {

std::vector<DWORD> Agents() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"KeslWebATMAgent.exe") == 0) ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace

int CountAgents() { return static_cast<int>(Agents().size()); }

void EndAllAgents() {
    for (DWORD id : Agents()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
    WaitUntil([] { return CountAgents() == 0; });
}
