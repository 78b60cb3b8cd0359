#include "bench/programs.h"

#include <chrono>

#include "bench/timing.h"
#include "bench/tray_watch.h"
#include "desktop/places.h"

const BenchProgram kMonitor{"monitor", L"KeslWebATMMonitor.exe", L"KESLWEBATMMONITOR", true};
const BenchProgram kFloor{"floor", L"KeslBenchFloorTray.exe", L"KeslBenchFloorTray", true};
const BenchProgram kReferenceBox{"reference", L"KeslBenchReferenceBox.exe", L"KeslBenchReferenceBox", false};

namespace {
constexpr auto kSettleTimeout = std::chrono::seconds(30);
}

namespace {

// Started from its path, and ended when no longer wanted.
std::unique_ptr<Started> StartOwned(const std::wstring& path, const std::wstring& arguments = L"") {
    auto started = std::make_unique<Started>();
    started->endWhenDone = true;
    StartProgram(L"\"" + path + L"\" " + arguments, *started);
    return started;
}

}  // namespace

std::unique_ptr<Started> Launch(const BenchProgram& program, const std::wstring& arguments) {
    return StartOwned(ThisProgramsFolder() + L"\\" + program.file, arguments);
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

std::unique_ptr<Started> StartInstalledAgent() { return StartOwned(ComponentFolder() + L"\\KeslWebATMAgent.exe"); }

int CountAgents() { return static_cast<int>(ProcessesNamed(L"KeslWebATMAgent.exe").size()); }

void EndAllAgents() {
    EndProcessesNamed(L"KeslWebATMAgent.exe");
    WaitUntil([] { return CountAgents() == 0; });
}
