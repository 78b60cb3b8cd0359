#include "tests/sweep/sweep_support.h"

void PutStateFileBytes(const std::string& bytes) {
    // Times counted up from 2001, well before any time the program itself writes.
    static ULONGLONG nextTime = 126227808000000000ull;
    nextTime += 10'000'000;

    CreateDirectoryA(StateFolderPathA().c_str(), nullptr);
    HANDLE file = CreateFileA(StateFilePathA().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const FILETIME time{static_cast<DWORD>(nextTime), static_cast<DWORD>(nextTime >> 32)};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

bool ShowsADialog(DWORD processId) { return FindProcessWindow(processId, L"#32770") != nullptr; }

int OccupiedTraySlots() {
    // The notification area fills from the right with no gaps.
    int slots = 0;
    while (slots < 16 && TraySlotLook(slots) != SlotLook::Empty) ++slots;
    return slots;
}

MonitorRun RunMonitorOnce(SlotLook expected) {
    MonitorRun run;
    RunningMonitor monitor = StartMonitor();
    run.windowFound = monitor.window != nullptr;
    if (!run.windowFound) return run;
    WaitForTraySlot(0, expected);
    run.look = TraySlotLook(0);
    run.occupiedSlots = OccupiedTraySlots();
    run.dialogShown = ShowsADialog(monitor.process.info.dwProcessId);
    PostMessageW(monitor.window, WM_CLOSE, 0, 0);
    run.exitCode = monitor.process.WaitForExit();
    run.slotEmptyAfterwards = WaitForTraySlot(0, SlotLook::Empty);
    return run;
}
