// A deployment's silent upgrade over a running monitor: how long the user is left without the
// monitor's icon, from the old monitor's icon going to the new one's showing, and how long the
// whole upgrade takes. The package closes the monitor, asks first and waits at most 5 s, so a gap
// near 5 s would say the monitor did not close when asked.

#include <windows.h>

#include <chrono>
#include <string>

#include "bench/figures.h"
#include "bench/samples.h"
#include "bench/timing.h"
#include "bench/tray_watch.h"
#include "desktop/desktop.h"
#include "desktop/places.h"
#include "desktop/processes.h"

namespace {

constexpr auto kInstallTimeout = std::chrono::seconds(120);

// One run from a fresh install; the reason it could not be measured, or null.
const char* MeasureOnce(const std::wstring& package, const std::wstring& upgrade) {
    const int iconsBefore = ShownTrayIcons();
    if (RunMsiexec(L"/i \"" + package + L"\" /qn") != 0) return "install-failed";
    Started monitor;
    if (!StartProgram(L"\"" + InstalledMonitor() + L"\"", monitor) ||
        !WaitUntil([&] { return ShownTrayIcons() > iconsBefore; }, kInstallTimeout)) {
        return "no-icon";
    }
    Started msiexec;
    const Stopwatch sinceStart;
    if (!StartMsiexec(L"/i \"" + upgrade + L"\" /qn", msiexec)) return "upgrade-failed";
    const bool iconGone = PollUntil([&] { return ShownTrayIcons() == iconsBefore; }, kInstallTimeout);
    const double gone = sinceStart.Milliseconds();
    const bool iconBack = iconGone && PollUntil([&] { return ShownTrayIcons() > iconsBefore; }, kInstallTimeout);
    const double back = sinceStart.Milliseconds();
    if (msiexec.WaitForExit(120000) != 0) return "upgrade-failed";
    if (!iconBack) return "no-icon";
    Sample("upgrade_gap_ms", "monitor", back - gone);
    Sample("upgrade_ms", "monitor", sinceStart.Milliseconds());
    return nullptr;
}

}  // namespace

void MeasureUpgrade(const std::wstring& package, const std::wstring& upgrade, int runs) {
    for (int run = 0; run < runs; ++run) {
        const char* missing = MeasureOnce(package, upgrade);
        // Whichever of the two is installed goes, with the monitor it started.
        RunMsiexec(L"/x \"" + upgrade + L"\" /qn");
        RunMsiexec(L"/x \"" + package + L"\" /qn");
        EndProcessesNamed(L"KeslWebATMMonitor.exe");
        if (missing != nullptr) return Missing("upgrade_gap_ms", "monitor", missing);
    }
}
