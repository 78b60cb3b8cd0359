#include <algorithm>
#include <string>

#include "agent/agent_names.h"
#include "app/about_box.h"
#include "app/main_window.h"
#include "app/reconcile.h"
#include "app/tray_entry.h"
#include "res/resource.h"
#include "tests/fake/fake_world_test.h"

namespace {

constexpr std::uint32_t kTaskbarCreated = 0xC0DE;  // what the fake registers "TaskbarCreated" as

const std::wstring kRunningTip = L"Kesl銀行晶片金融卡安控元件";
const std::wstring kStoppedTip = L"Kesl銀行晶片金融卡安控元件已關閉";

// Starts the program the way wWinMain does, with the agent running or not; the fake's message
// loop returns at once since nothing is queued.
int StartProgram(bool agentRunning) {
    if (agentRunning) AddProcess(9, kAgentImageNameW);
    return RunMainWindow(Reconcile());
}

std::vector<std::uint32_t> VisibleTrayIds() {
    std::vector<std::uint32_t> ids;
    for (const auto& [key, record] : Fake().trayIcons) ids.push_back(record.id);
    return ids;
}

std::size_t JournalIndex(const std::string& line) {
    const auto& journal = Fake().journal;
    return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), line) - journal.begin());
}

class MainWindowTest : public FakeWorldTest {};

TEST_F(MainWindowTest, StartsInThePresentationOfTheStartUpState) {
    struct Case {
        bool agentRunning;
        unsigned classIcon;
        std::wstring title;
        std::uint32_t id;
        std::wstring tip;
    };
    const Case cases[] = {
        {true, IDI_RUNNING, kRunningTip, IDI_RUNNING, kRunningTip},
        {false, IDI_STOPPED, kStoppedTip, IDI_STOPPED, kStoppedTip},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        StartProgram(c.agentRunning);
        const FakeWorld& w = Fake();
        EXPECT_EQ(w.registeredClassName, L"KESLWEBATMMONITOR");
        EXPECT_EQ(w.windowClass.largeIcon, c.classIcon);
        EXPECT_EQ(w.windowClass.smallIcon, static_cast<unsigned>(IDI_SMALL));
        EXPECT_EQ(w.windowClass.menu, static_cast<unsigned>(IDR_MAIN_MENU));
        EXPECT_EQ(w.windowClassName, L"KESLWEBATMMONITOR");
        EXPECT_EQ(w.windowTitle, c.title);
        EXPECT_EQ(w.loopAccelerators, static_cast<unsigned>(IDR_ACCELERATORS));

        ASSERT_EQ(w.trayCalls.size(), 1u);
        const auto& [action, record] = w.trayCalls[0];
        EXPECT_EQ(action, TrayAction::Add);
        EXPECT_EQ(record.window, w.window);
        EXPECT_EQ(record.id, c.id);
        EXPECT_EQ(IconNumber(record.icon), c.id);
        EXPECT_EQ(record.flags, 7u);
        EXPECT_EQ(record.callbackMessage, 1025u);
        EXPECT_EQ(std::wstring(record.tip), c.tip);
    }
}

TEST_F(MainWindowTest, AFailedWindowCreationEndsWithZeroAndNoEntry) {
    Fake().windowCreationFails = true;
    EXPECT_EQ(StartProgram(false), 0);
    EXPECT_TRUE(Fake().trayCalls.empty());
    EXPECT_EQ(JournalIndex("loop"), Fake().journal.size());
}

TEST_F(MainWindowTest, OnlyTheRightButtonPressOpensTheMenu) {
    StartProgram(true);
    const std::uint32_t others[] = {kMsgMouseMove, kMsgLButtonDown, kMsgLButtonUp, kMsgLButtonDblClk,
                                    kMsgRButtonUp, kMsgContextMenu, 0x0400 /* NIN_SELECT */};
    for (std::uint32_t notification : others) {
        const std::size_t journalBefore = Fake().journal.size();
        EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_RUNNING, notification), 0) << notification;
        EXPECT_EQ(Fake().journal.size(), journalBefore) << notification << ": nothing may happen";
    }
    EXPECT_TRUE(Fake().shownMenus.empty());

    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_RUNNING, kMsgRButtonDown), 1);
    ASSERT_EQ(Fake().shownMenus.size(), 1u);
    const std::vector<std::pair<unsigned, std::wstring>> expected = {
        {IDM_ABOUT, L"關於"},
        {IDM_RESTART_AGENT, L"重啟ATM安控元件"},
        {IDM_STOP_AGENT, L"停止ATM安控元件"},
        {IDM_EXIT, L"結束"},
    };
    EXPECT_EQ(Fake().shownMenus[0], expected);
}

TEST_F(MainWindowTest, EachMenuIsBuiltAnewAtTheCursorAndReleasedAfterwards) {
    StartProgram(true);
    for (int press = 0; press < 3; ++press) {
        Fake().cursor = {100 + press, 700};
        SendToMainWindow(kTrayCallback, IDI_RUNNING, kMsgRButtonDown);
    }
    EXPECT_EQ(Fake().menusCreated, 3);
    EXPECT_EQ(Fake().menusDestroyed, 3);
    ASSERT_EQ(Fake().menuPositions.size(), 3u);
    EXPECT_EQ(Fake().menuPositions[2].x, 102);
    EXPECT_EQ(Fake().menuPositions[2].y, 700);

    // Foreground first, so that the menu closes on a click elsewhere; WM_NULL after it.
    EXPECT_LT(JournalIndex("foreground"), JournalIndex("track menu"));
    EXPECT_LT(JournalIndex("track menu"), JournalIndex("destroy menu"));
    EXPECT_LT(JournalIndex("destroy menu"), JournalIndex("post 0"));
    EXPECT_EQ(std::count(Fake().posted.begin(), Fake().posted.end(), std::make_pair(kMsgNull, std::uintptr_t{0})),
              3);
}

TEST_F(MainWindowTest, CommandsAreDispatchedAndUnknownOnesReachTheDefaultProcedure) {
    StartProgram(true);
    EXPECT_EQ(SendToMainWindow(kMsgCommand, 0x00010000u | 40000u, 0), 0);
    EXPECT_EQ(Fake().journal.back(), "default 273 " + std::to_string(0x00010000u | 40000u));

    Fake().dialogCommands = {kIdOk};
    EXPECT_EQ(SendToMainWindow(kMsgCommand, IDM_ABOUT, 0), 0);
    EXPECT_EQ(Fake().dialogsShown, std::vector<unsigned>{IDD_ABOUTBOX});

    EXPECT_EQ(SendToMainWindow(kMsgPaint), 0);
    EXPECT_EQ(Fake().journal.back(), "paint");
    EXPECT_FALSE(Fake().windowDestroyed);
}

TEST_F(MainWindowTest, AboutBoxEndsOnOkOrCancelOnly) {
    struct Case {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t result;
        bool ends;
    };
    const Case cases[] = {
        {kMsgInitDialog, 0, 1, false},
        {kMsgCommand, kIdOk, 1, true},                     // OK button or Enter
        {kMsgCommand, kIdCancel, 1, true},                 // Escape or the close button
        {kMsgCommand, 0x00010000u | kIdOk, 1, true},       // only the low word counts
        {kMsgCommand, 3, 0, false},
        {kMsgPaint, 0, 0, false},
        {kMsgClose, 0, 0, false},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        EXPECT_EQ(AboutDialogProc(nullptr, c.message, c.wParam, 0), c.result) << c.message << " " << c.wParam;
        const bool ended = !Fake().journal.empty() && Fake().journal.back().rfind("end dialog", 0) == 0;
        EXPECT_EQ(ended, c.ends) << c.message << " " << c.wParam;
        if (c.ends) {
            EXPECT_EQ(Fake().journal.back(), "end dialog " + std::to_string(LowWord(c.wParam)));
        }
    }
}

TEST_F(MainWindowTest, ExitRemovesTheEntryBeforeTheWindowGoesAndOnlyOnce) {
    StartProgram(false);
    SendToMainWindow(kMsgCommand, IDM_EXIT, 0);
    EXPECT_LT(JournalIndex("tray delete 129"), JournalIndex("destroy window"));
    EXPECT_TRUE(Fake().windowDestroyed);
    EXPECT_EQ(Fake().quitCode, 0);
    EXPECT_TRUE(Fake().trayIcons.empty());
    EXPECT_EQ(std::count(Fake().journal.begin(), Fake().journal.end(), "tray delete 129"), 1);
}

TEST_F(MainWindowTest, ACloseRequestLeavesNoIconBehind) {
    Fake().queued = {{kMsgClose, 0}};
    EXPECT_EQ(StartProgram(true), 0);
    EXPECT_TRUE(Fake().windowDestroyed);
    EXPECT_TRUE(Fake().trayIcons.empty());
    EXPECT_LT(JournalIndex("destroy window"), JournalIndex("tray delete 107"));
}

TEST_F(MainWindowTest, TheEndOfTheSessionEndsTheProgramAsExitDoesUnlessItIsCalledOff) {
    constexpr std::intptr_t kCloseApp = 0x1;  // ENDSESSION_CLOSEAPP: the restart manager closes it
    StartProgram(true);
    const std::size_t journalBefore = Fake().journal.size();
    EXPECT_EQ(SendToMainWindow(kMsgEndSession, 0, kCloseApp), 0);  // called off
    EXPECT_EQ(Fake().journal.size(), journalBefore);
    EXPECT_EQ(VisibleTrayIds(), std::vector<std::uint32_t>{IDI_RUNNING});
    EXPECT_EQ(SendToMainWindow(kMsgEndSession, 1, kCloseApp), 0);
    EXPECT_TRUE(Fake().trayIcons.empty());
    EXPECT_LT(JournalIndex("tray delete 107"), JournalIndex("destroy window"));
    EXPECT_TRUE(Fake().windowDestroyed);
    EXPECT_EQ(Fake().quitCode, 0);
    EXPECT_EQ(std::count(Fake().journal.begin(), Fake().journal.end(), "tray delete 107"), 1);
}

TEST_F(MainWindowTest, ExitFromTheMessageLoopEndsTheProgramWithZero) {
    Fake().queued = {{kTrayCallback, kMsgRButtonDown}, {kMsgCommand, IDM_EXIT}, {kMsgCommand, IDM_ABOUT}};
    EXPECT_EQ(StartProgram(true), 0);
    EXPECT_TRUE(Fake().dialogsShown.empty()) << "nothing runs after the quit message";
    EXPECT_TRUE(Fake().trayIcons.empty());
}

TEST_F(MainWindowTest, TaskbarCreatedAddsTheEntryAgainAsLastShown) {
    StartProgram(true);
    // An elevated program hears it only when the window lets it through from the shell's level.
    const std::pair<WindowHandle, std::uint32_t> allowed{Fake().window, kTaskbarCreated};
    EXPECT_EQ(Fake().messagesAllowedFromBelow, std::vector{allowed});
    ReplaceTrayEntry(Presentation::Stopped);
    Fake().trayIcons.clear();  // the shell re-created the taskbar and lost the entry

    EXPECT_EQ(SendToMainWindow(kTaskbarCreated), 0);
    EXPECT_EQ(VisibleTrayIds(), std::vector<std::uint32_t>{IDI_STOPPED});
    const TrayRecord& record = Fake().trayIcons.begin()->second;
    EXPECT_EQ(IconNumber(record.icon), static_cast<unsigned>(IDI_STOPPED));
    EXPECT_EQ(std::wstring(record.tip), kStoppedTip);

    // A shell that did not lose it keeps one entry, not two.
    SendToMainWindow(kTaskbarCreated);
    EXPECT_EQ(VisibleTrayIds().size(), 1u);
}

TEST_F(MainWindowTest, ReplaceDeletesUnderTheIdentifierShownThenAdds) {
    StartProgram(true);
    Fake().trayCalls.clear();
    ReplaceTrayEntry(Presentation::Stopped);
    ReplaceTrayEntry(Presentation::Stopped);
    ReplaceTrayEntry(Presentation::Running);

    const std::pair<TrayAction, std::uint32_t> expected[] = {
        {TrayAction::Delete, IDI_RUNNING}, {TrayAction::Add, IDI_STOPPED},
        {TrayAction::Delete, IDI_STOPPED}, {TrayAction::Add, IDI_STOPPED},
        {TrayAction::Delete, IDI_STOPPED}, {TrayAction::Add, IDI_RUNNING},
    };
    ASSERT_EQ(Fake().trayCalls.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(Fake().trayCalls[i].first, expected[i].first) << i;
        EXPECT_EQ(Fake().trayCalls[i].second.id, expected[i].second) << i;
    }
    EXPECT_EQ(VisibleTrayIds(), std::vector<std::uint32_t>{IDI_RUNNING});
    EXPECT_EQ(std::wstring(Fake().trayIcons.begin()->second.tip), kRunningTip);
}

}  // namespace
