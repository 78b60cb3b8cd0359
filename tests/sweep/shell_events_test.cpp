// What the shell and the session do to a running monitor: the taskbar re-created again and
// again, a close request from another program, the end of the session. The user must never see
// a dead icon or two icons of one copy.

#include "tests/e2e/clean_desktop_test.h"
#include "tests/sweep/sweep_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include "res/resource.h"

namespace {

struct Look {
    bool agentRunning;
    SlotLook slot;
    UINT trayId;
};
const Look kLooks[] = {{true, SlotLook::Colour, IDI_RUNNING}, {false, SlotLook::Grey, IDI_STOPPED}};

const char* Name(const Look& look) { return look.agentRunning ? "agent running" : "no agent"; }

// The shell tells every top-level window that it has made its taskbar anew. Sent, not posted,
// so that the monitor has answered when this returns.
void BroadcastTaskbarCreated() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 10000,
                        &result);
}

// The shell drops the entry, as a taskbar that is made anew starts out empty.
bool DeleteEntryFromOutside(HWND window, UINT id) {
    NOTIFYICONDATAW entry{};
    entry.cbSize = sizeof entry;
    entry.hWnd = window;
    entry.uID = id;
    return Shell_NotifyIconW(NIM_DELETE, &entry) != FALSE;
}

bool SendsWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, result) != 0;
}

class ShellEvents : public CleanDesktopTest {};

TEST_F(ShellEvents, ARecreatedTaskbarAlwaysShowsExactlyOneIconAndACloseRequestTakesItAway) {
    for (const Look& look : kLooks) {
        ChildProcess agent;
        if (look.agentRunning) agent = StartAgentStandIn();
        RunningMonitor monitor = StartMonitor();
        ASSERT_NE(monitor.window, nullptr) << Name(look);
        ASSERT_TRUE(WaitForTraySlot(0, look.slot)) << Name(look);

        // The taskbar made anew while the entry is still there: adding it again must not double it.
        for (int i = 0; i < 3; ++i) BroadcastTaskbarCreated();
        // A second icon would be drawn at once; give it that chance before counting.
        EXPECT_FALSE(WaitUntil([] { return OccupiedTraySlots() > 1; }, std::chrono::seconds(1))) << Name(look);
        EXPECT_EQ(TraySlotLook(0), look.slot) << Name(look);

        // The taskbar made anew without the entry: it comes back, in the same look, each time.
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(DeleteEntryFromOutside(monitor.window, look.trayId)) << Name(look) << " #" << i;
            ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << Name(look) << " #" << i;
            BroadcastTaskbarCreated();
            EXPECT_TRUE(WaitForTraySlot(0, look.slot)) << Name(look) << " #" << i;
            EXPECT_EQ(OccupiedTraySlots(), 1) << Name(look) << " #" << i;
        }
        EXPECT_FALSE(ShowsADialog(monitor.process.info.dwProcessId)) << Name(look);

        // A close request from another program ends it and takes the restored icon away. (Wine's
        // shell also drops the entries of a destroyed window, so this shows what the user sees;
        // that the program removes its own entry is shown against the fake platform.)
        PostMessageW(monitor.window, WM_CLOSE, 0, 0);
        EXPECT_EQ(monitor.process.WaitForExit(), 0) << Name(look);
        EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << Name(look) << ": a dead icon is left";
    }
}

TEST_F(ShellEvents, TheEndOfTheSessionLeavesNoDeadIcon) {
    // The system asks every window, then tells it the outcome. When the session ends (logging
    // off, or the restart manager closing this one program), the program ends by itself, as Exit
    // ends it; when the end is called off, it runs on.
    enum class Then { EndsByItself, RunsOn };
    struct Case {
        const char* name;
        UINT reason;  // ENDSESSION_*, passed as lParam
        bool ending;
        Then then;
    };
    const Case cases[] = {
        {"log-off", ENDSESSION_LOGOFF, true, Then::EndsByItself},
        {"restart manager", ENDSESSION_CLOSEAPP, true, Then::EndsByItself},
        {"log-off called off", ENDSESSION_LOGOFF, false, Then::RunsOn},
    };
    for (const Case& c : cases) {
        RunningMonitor monitor = StartMonitor();
        ASSERT_NE(monitor.window, nullptr) << c.name;
        ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey)) << c.name;

        DWORD_PTR mayEnd = 0;
        const LPARAM reason = static_cast<LPARAM>(c.reason);
        ASSERT_TRUE(SendsWithin(monitor.window, WM_QUERYENDSESSION, 0, reason, &mayEnd)) << c.name;
        EXPECT_NE(mayEnd, 0u) << c.name << ": the program held up the end of the session";
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendsWithin(monitor.window, WM_ENDSESSION, c.ending, reason, &ignored)) << c.name;

        switch (c.then) {
            case Then::EndsByItself:
                EXPECT_EQ(monitor.process.WaitForExit(), 0) << c.name << ": the program lives on";
                break;
            case Then::RunsOn:
                // An icon taken away would be gone at once; give it that chance before looking.
                EXPECT_FALSE(WaitUntil([] { return TraySlotLook(0) != SlotLook::Grey; }, std::chrono::seconds(1)))
                    << c.name << ": the icon went although the session goes on";
                EXPECT_EQ(OccupiedTraySlots(), 1) << c.name;
                PostMessageW(monitor.window, WM_CLOSE, 0, 0);
                EXPECT_EQ(monitor.process.WaitForExit(), 0) << c.name;
                break;
        }
        EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << c.name << ": a dead icon is left";
        // Whatever is left must not spoil the next case.
        if (TraySlotLook(0) != SlotLook::Empty) {
            DeleteEntryFromOutside(monitor.window, IDI_STOPPED);
        }
    }
}

}  // namespace
