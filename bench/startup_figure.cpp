// Start-up: from process creation until the tray entry is on screen.

#include <chrono>
#include <optional>

#include "bench/figures.h"
#include "bench/programs.h"
#include "bench/samples.h"
#include "bench/timing.h"
#include "bench/tray_watch.h"
#include "desktop/tray_icon.h"

namespace {

constexpr auto kIconTimeout = std::chrono::seconds(30);
constexpr unsigned kObservedIconId = 2;  // the driver's anchor icon is 1

std::optional<double> StartupMilliseconds(const BenchProgram& program) {
    RunningProgram running;
    running.program = &program;
    const int iconsBefore = ShownTrayIcons();
    const Stopwatch sinceCreation;
    running.process = Launch(program);
    const bool shown = running.process->info.hProcess != nullptr &&
                       PollUntil([&] { return ShownTrayIcons() > iconsBefore; }, kIconTimeout);
    const double elapsed = sinceCreation.Milliseconds();
    running.window = FindProgramWindow(running);
    Close(running);
    if (!shown) return std::nullopt;
    return elapsed;
}

}  // namespace

void MeasureTrayObservation(int runs) {
    OwnTrayIcon icon(kObservedIconId);
    for (int run = 0; run < runs; ++run) {
        const int iconsBefore = ShownTrayIcons();
        const Stopwatch sinceAdd;
        icon.Add();
        const bool shown = PollUntil([&] { return ShownTrayIcons() > iconsBefore; }, kIconTimeout);
        const double elapsed = sinceAdd.Milliseconds();
        icon.Remove();
        PollUntil([&] { return ShownTrayIcons() == iconsBefore; }, kIconTimeout);
        if (!shown) {
            Missing("tray_observation_ms", "driver", "no-icon");
            return;
        }
        Sample("tray_observation_ms", "driver", elapsed);
    }
}

void MeasureStartup(int runs) {
    const BenchProgram* programs[] = {&kMonitor, &kFloor};
    // The first start of each loads what later starts find cached; the user's machine has
    // started both before, too.
    for (const BenchProgram* program : programs) StartupMilliseconds(*program);
    bool missing[] = {false, false};
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < 2; ++i) {
            // Alternating which goes first spreads any drift of the machine over both.
            const int which = (run % 2 == 0) ? i : 1 - i;
            if (missing[which]) continue;
            const std::optional<double> elapsed = StartupMilliseconds(*programs[which]);
            if (elapsed) {
                Sample("startup_ms", programs[which]->name, *elapsed);
            } else {
                Missing("startup_ms", programs[which]->name, "no-tray-icon");
                missing[which] = true;
            }
        }
    }
}
