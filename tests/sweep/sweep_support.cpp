#include "tests/sweep/sweep_support.h"

#include <cstdio>
#include <ctime>

#include "agent/agent_names.h"

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

std::string ReadStoredValue() {
    char value[64] = {};
    GetPrivateProfileStringA("Settings", "Service", "", value, sizeof value, StateFilePathA().c_str());
    return value;
}

std::int64_t UnixTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool IsFreshValue(const std::string& value, int state, std::int64_t from, std::int64_t to) {
    for (std::int64_t t = from; t <= to; ++t) {
        char digits[16] = {};
        std::snprintf(digits, sizeof digits, "%09x", static_cast<unsigned>(static_cast<std::uint32_t>(t)));
        std::string expected(digits, 9);
        expected[6] = static_cast<char>('0' + state);
        expected += expected[3];
        if (value == expected) return true;
    }
    return false;
}

bool ShowsADialog(DWORD processId) { return FindProcessWindow(processId, L"#32770") != nullptr; }

int OccupiedTraySlots() {
    // The notification area fills from the right with no gaps.
    int slots = 0;
    while (slots < 16 && TraySlotLook(slots) != SlotLook::Empty) ++slots;
    return slots;
}

ChildProcess StartAgentStandIn() {
    ChildProcess agent = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    WaitUntil([] { return CountProcessesNamed(kAgentImageNameW) == 1; });
    return agent;
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
