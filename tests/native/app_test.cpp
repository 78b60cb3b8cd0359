// Start-up, the hidden window, the tray entry and its menu, the About box and the ways out.

#include <algorithm>

#include "agent/agent_names.h"
#include "app/about_box.h"
#include "tests/fake/fake_platform.h"

namespace {

// Run elevated, the program hears a restarted shell only through this.
const std::wstring kAllowTaskbarCreated = L"allow " + std::to_wstring(kTaskbarCreated) + L" from lower integrity";
// The class, the title and the tip by the string table's numbers.
const Lines kRunningWindow = {L"register class string 109 icon 107 small 108 menu 109",
                              L"create window string 109 titled string 103", kAllowTaskbarCreated,
                              L"tray add 107 icon 107 flags 7 callback 1025 tip string 104"};
const std::wstring kStoppedAdd = L"tray add 129 icon 129 flags 7 callback 1025 tip string 105";
const Lines kStoppedWindow = {L"register class string 109 icon 129 small 108 menu 109",
                              L"create window string 109 titled string 105", kAllowTaskbarCreated, kStoppedAdd};
const Lines kRetrying = {L"refused", L"timer 1 every 3000"};

void Store(const std::string& content) {
    Fake().folders.insert(kStateFolder);
    Fake().files[kStateFolder + "\\info.ini"] = content;
}

class AppTest : public FakeWorldTest {};

TEST_F(AppTest, StartUpShowsWhatTheProcessListSaysAndRewritesAFileThatDisagrees) {
    enum Agent { kNone, kFound, kRefusesToOpen };
    struct Case {
        const char* name;
        void (*arrange)();
        Agent agent;
        Lines writes;
    };
    const Case cases[] = {
        {"running, absent", [] { Store("Service=0aaaaa0aaa"); }, kNone, {kWrite + L"06553f1005"}},
        {"stopped, found", [] { Store("Service=0aaaaa1aaa"); }, kRefusesToOpen,
         {kWrite + L"06553f0005"}},
        {"any digit but 0 is stopped", [] { Store("Service=0aaaaa5aaa"); }, kNone, {}},
        {"too short for the digit: stopped", [] { Store("Service=012345"); }, kNone, {}},
        {"no key: running", [] { Store("Else=1"); }, kNone, {kWrite + L"06553f1005"}},
        {"empty file: running", [] { Store(""); }, kNone, {kWrite + L"06553f1005"}},
        {"no file, found", [] {}, kFound, {}},
        {"no file, absent", [] {}, kNone, {L"create folder " + kStateFolderW, kWrite + L"06553f1005"}},
        {"a plain file in the folder's place", [] { Fake().files[kStateFolder] = "x"; }, kNone,
         {L"remove " + kStateFolderW, L"create folder " + kStateFolderW, kWrite + L"06553f1005"}},
        {"no folder", [] { Fake().appDataResult = kSFalse; }, kNone, {}},
        {"too long a path, which cut would name another file", [] { Fake().appDataPath.append(1000, 'a'); }, kNone, {}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.arrange();
        Fake().processes.push_back({4, L"KeslWebATMAgent.exe.bak"});
        if (c.agent != kNone) Fake().processes.push_back({9, L"kESLwEBatmAGENT.EXE"});
        if (c.agent == kRefusesToOpen) Fake().processes.back().openOutcome = OpenProcessOutcome::AccessDenied;
        EXPECT_EQ(StartProgram(), -1);
        const Lines probe = c.agent == kFound ? Lines{L"pause 1000"} : Lines{};
        EXPECT_EQ(Fake().journal, probe + c.writes + (c.agent ? kRunningWindow : kStoppedWindow) + Lines{L"loop 109"})
            << c.name;
    }
}

TEST_F(AppTest, OnlyARightButtonPressOpensTheMenuAndEachCommandReachesItsHandler) {
    StartProgram();
    Fake().journal.clear();
    for (std::uint32_t notification : {kMsgLButtonDown, kMsgLButtonDblClk, kMsgRButtonUp, kMsgContextMenu}) {
        EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, notification), 0) << notification;
    }
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    Fake().menuChoice = IDM_STOP_AGENT;
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    EXPECT_EQ(SendToMainWindow(kMsgCommand, IDM_ABOUT), 0);
    EXPECT_EQ(SendToMainWindow(kMsgCommand, 0x10000 | 40000), 0);
    EXPECT_EQ(SendToMainWindow(kMsgPaint), 0);
    // The About box ends on OK and Enter (IDOK), Escape and its close button (IDCANCEL) only.
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, 3, 0), 0);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, kIdOk, 0), 1);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, 0x10000 | kIdCancel, 0), 1);
    // Each menu is made anew; the foreground first, so that it closes on a click elsewhere, and
    // WM_NULL after it; then the command chosen, or, when there was none, the focus given back.
    const Lines menu = {L"foreground", L"menu at 640,700: 104 關於 32771 重啟ATM安控元件 32773 停止ATM安控元件 105 結束",
                        L"destroy menu", L"post 0"};
    EXPECT_EQ(Fake().journal, (menu + Lines{L"tray focus 129"} + menu + Lines{L"post 273 32773", L"dialog 103",
                                                                            L"default 273 105536", L"paint",
                                                                            L"end dialog 1", L"end dialog 2"}));
}

TEST_F(AppTest, EveryWayOutTakesTheIconAwayOnceAndTriesToAddItNoMore) {
    struct Case {
        const char* name;
        FakeMessage message;
        Lines journal;
    };
    const Lines removed = {L"timer 1 stopped", L"tray delete 129"};
    const Lines ended = removed + Lines{L"destroy window", L"quit 0"};
    const Case cases[] = {
        {"exit", {kMsgCommand, IDM_EXIT}, ended},
        {"close request", {kMsgClose}, Lines{L"default 16 0", L"destroy window"} + removed + Lines{L"quit 0"}},
        {"end of the session", {kMsgEndSession, 1}, ended},
        {"the restart manager's close (ENDSESSION_CLOSEAPP)", {kMsgEndSession, 1, 0x1}, ended},
        {"end of the session called off", {kMsgEndSession, 0}, {L"dialog 103"}},
    };
    for (const Case& c : cases) {
        SetUp();
        Store("Service=0aaaaa1aaa");
        Fake().refusedTrayAdds = 1;  // the shell not ready: the adds are being tried again
        Fake().queued = {c.message, {kMsgCommand, IDM_ABOUT}};  // nothing runs once the window is gone
        StartProgram();
        EXPECT_EQ(Fake().journal, kStoppedWindow + kRetrying + Lines{L"loop 109"} + c.journal) << c.name;
    }
}

TEST_F(AppTest, AnAddTheShellRefusesIsTriedAgainEvery3sFor5MinutesAtMost) {
    // Refused twice at log-on, then shown; the third timer message, a stray one, does nothing.
    Store("Service=0aaaaa1aaa");
    Fake().refusedTrayAdds = 2;
    Fake().queued.assign(3, {kMsgTimer, 1});
    StartProgram();
    const Lines retry = {L"tray delete 129", kStoppedAdd};
    EXPECT_EQ(Fake().journal, kStoppedWindow + kRetrying + Lines{L"loop 109"} + retry + Lines{L"refused"} + retry +
                                  Lines{L"timer 1 stopped"});

    // Never taken: the first add and 100 tries more, and the timer stopped after the last.
    SetUp();
    Fake().refusedTrayAdds = 1000;
    Fake().queued.assign(200, {kMsgTimer, 1});
    StartProgram();
    EXPECT_EQ(std::count(Fake().journal.begin(), Fake().journal.end(), L"refused"), 101);
    EXPECT_EQ(Fake().journal.back(), L"timer 1 stopped");
}

}  // namespace
