// Runs the monitor and the floor tray program side by side on the Wine desktop and prints what
// each costs, one observation a line; tools/bench/bench.sh runs it and tools/bench/report.py sums up.

#include <windows.h>

#include <chrono>
#include <cstdio>

#include "bench/figures.h"
#include "bench/samples.h"
#include "bench/tray_watch.h"
#include "desktop/tray_icon.h"
#include "bench/programs.h"
#include "desktop/desktop.h"

namespace {

constexpr int kStartupRuns = 21;
constexpr int kRuns = 5;
constexpr unsigned kIdleMilliseconds = 10000;
constexpr unsigned kTwoAgentPauseMilliseconds = 2 * 1500;
constexpr unsigned kAnchorIconId = 1;

}  // namespace

// Arguments: the package and the upgrade-check package, as Windows paths.
int wmain(int count, wchar_t** arguments) {
    OwnTrayIcon anchor(kAnchorIconId);
    anchor.Add();
    if (!WaitUntil([] { return ShownTrayIcons() == 1; }, std::chrono::seconds(60))) {
        std::fprintf(stderr, "bench: the taskbar did not show the driver's icon alone\n");
        return 1;
    }
    // Start-up is measured with no agent: the monitor's probe then finds nothing to pause for.
    EndAllAgents();

    Progress("watching the tray: the driver's own icon");
    MeasureTrayObservation(kStartupRuns);
    Progress("start-up");
    MeasureStartup(kStartupRuns);
    Progress("idle, 10 s a run");
    MeasureIdle(kRuns, kIdleMilliseconds);
    Progress("watching for message boxes: a reference program");
    MeasureReferenceBox("reference_box_0_ms", 0, kRuns);
    MeasureReferenceBox("reference_box_3000_ms", kTwoAgentPauseMilliseconds, kRuns);
    Progress("the Stop command");
    MeasureStopCommand("stop_no_agent_ms", 0, kRuns);
    MeasureStopCommand("stop_two_agents_ms", 2, kRuns);
    if (count == 3) {
        Progress("a silent upgrade over the running monitor");
        MeasureUpgrade(arguments[1], arguments[2], kRuns);
    }
    return 0;
}
