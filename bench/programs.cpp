#include "bench/programs.h"

#include <chrono>

#include "bench/timing.h"
#include "bench/tray_watch.h"
#include "tests/e2e/desktop.h"

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
