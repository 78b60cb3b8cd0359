#pragma once
// What the sweep arranges and reads beyond the shared desktop harness: the state file's bytes,
// dialogs, occupied tray slots, and the monitor run once and closed.

#include <cstdint>
#include <string>

#include "tests/e2e/desktop.h"

// Replaces the state file with bytes, creating its folder. Every call gives the file a
// modification time of its own: the profile reader keeps a file it has read until that changes.
void PutStateFileBytes(const std::string& bytes);

// Whether process shows a message box or any other dialog.
bool ShowsADialog(DWORD processId);
// How many tray slots, counted from the right, show an icon.
int OccupiedTraySlots();

// What a user sees of one run of the monitor: it is started, shows its icon, and is closed
// with WM_CLOSE.
struct MonitorRun {
    bool windowFound = false;
    SlotLook look = SlotLook::Empty;  // the tray slot once the icon has settled
    int occupiedSlots = 0;
    bool dialogShown = false;
    long exitCode = -1;
    bool slotEmptyAfterwards = false;
};
// expected is the look to wait for; the run records what was seen when it came or timed out.
MonitorRun RunMonitorOnce(SlotLook expected);
