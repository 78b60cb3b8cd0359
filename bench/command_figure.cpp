// The command path: Stop posted to the hidden window until the message box reporting it shows.

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "desktop/desktop.h"
#include "bench/programs.h"
#include "bench/samples.h"
#include "bench/timing.h"

namespace {

constexpr WPARAM kStopCommand = 32773;
constexpr wchar_t kBoxCaption[] = L"Kesl銀行";
// Well beyond the three seconds that two agents take by design; a box that has not shown by
// then is not coming.
constexpr auto kBoxTimeout = std::chrono::seconds(10);

// One run; false when no box came (the rest of the runs would not see one either).
bool MeasureOnce(const char* figure, const BenchProgram& program, const std::wstring& arguments, int agentCount) {
    EndAllAgents();
    std::vector<std::unique_ptr<Started>> agents;
    for (int i = 0; i < agentCount; ++i) agents.push_back(StartInstalledAgent());
    if (!WaitUntil([&] { return CountAgents() == agentCount; })) {
        Missing(figure, program.name, "agents-did-not-start");
        return false;
    }
    RunningProgram running = StartAndSettle(program, arguments);
    if (running.window == nullptr) {
        Missing(figure, program.name, "did-not-start");
        Close(running);
        return false;
    }

    const Stopwatch sincePost;
    PostMessageW(running.window, WM_COMMAND, kStopCommand, 0);
    HWND box = nullptr;
    const bool shown = PollUntil([&] { return (box = FindWindowOf(running.Id(), L"#32770", kBoxCaption)) != nullptr; },
                                 kBoxTimeout);
    const double elapsed = sincePost.Milliseconds();
    if (shown) {
        Sample(figure, program.name, elapsed);
        if (!ClickButton(box, OnlyButton(box))) Missing(figure, program.name, "box-did-not-close");
    } else {
        Missing(figure, program.name, "no-message-box");
    }
    Close(running);
    EndAllAgents();
    return shown;
}

}  // namespace

void MeasureStopCommand(const char* figure, int agentCount, int runs) {
    for (int run = 0; run < runs; ++run) {
        if (!MeasureOnce(figure, kMonitor, L"", agentCount)) return;
    }
}

void MeasureReferenceBox(const char* figure, unsigned pauseMilliseconds, int runs) {
    for (int run = 0; run < runs; ++run) {
        if (!MeasureOnce(figure, kReferenceBox, std::to_wstring(pauseMilliseconds), 0)) return;
    }
}
