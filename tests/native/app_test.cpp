// Start-up, the hidden window, the tray entry and its menu, the About box and the two commands.

#include "agent/agent_names.h"
#include "app/about_box.h"
#include "app/main_window.h"
#include "app/reconcile.h"
#include "app/tray_entry.h"
#include "res/resource.h"
#include "tests/fake/fake_platform.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kStateFolder = "C:\\Users\\user\\AppData\\Roaming\\KESL";
const std::string kWrite = "write " + kStateFolder + "\\info.ini [Settings] Service=";
const std::string kProgramFolder = "C:\\Program Files (x86)\\KESL\\WebATM\\";
const std::string kRunningLook = "tray add 107 icon 107 flags 7 callback 1025 tip Kesl銀行晶片金融卡安控元件";
const std::string kStoppedLook = "tray add 129 icon 129 flags 7 callback 1025 tip Kesl銀行晶片金融卡安控元件已關閉";
const Lines kRunningWindow = {"register class KESLWEBATMMONITOR icon 107 small 108 menu 109",
                              "create window KESLWEBATMMONITOR titled Kesl銀行晶片金融卡安控元件", kRunningLook};
const Lines kStoppedWindow = {"register class KESLWEBATMMONITOR icon 129 small 108 menu 109",
                              "create window KESLWEBATMMONITOR titled Kesl銀行晶片金融卡安控元件已關閉", kStoppedLook};
constexpr std::uint32_t kTaskbarCreated = 0xC0DE;  // the fake's number for "TaskbarCreated"

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Starts the program as wWinMain does; the fake's loop delivers what is queued and returns -1
// unless the window was destroyed.
int StartProgram() { return RunMainWindow(Reconcile()); }

class AppTest : public FakeWorldTest {};

TEST_F(AppTest, StartUpShowsWhatTheProcessListSaysAndWritesOnlyWhenTheFileDisagrees) {
    struct Case {
        const char* stored;  // "": no file
        bool agent;
        Lines writes;
    };
    const Case cases[] = {
        {"0aaaaa0aaa", true, {}},
        {"0aaaaa0aaa", false, {kWrite + "06553f1005"}},
        {"0aaaaa1aaa", true, {kWrite + "06553f0005"}},
        {"0aaaaa5aaa", false, {}},
        {"", true, {}},
        {"", false, {"create folder " + kStateFolder, kWrite + "06553f1005"}},
    };
    for (const Case& c : cases) {
        SetUp();
        if (*c.stored != '\0') {
            Fake().folders[kStateFolder] = true;
            Fake().files[kStateFolder + "\\info.ini"] = std::string("[Settings]\r\nService=") + c.stored + "\r\n";
        }
        if (c.agent) AddProcess(9, kAgentImageNameW);
        EXPECT_EQ(StartProgram(), -1);
        const Lines probe = c.agent ? Lines{"pause 1000"} : Lines{};
        EXPECT_EQ(Fake().journal, probe + c.writes + (c.agent ? kRunningWindow : kStoppedWindow) + Lines{"loop 109"})
            << c.stored << " " << c.agent;
    }
    SetUp();
    Fake().windowCreationFails = true;
    EXPECT_EQ(StartProgram(), 0);
    EXPECT_EQ(JournalOf({"tray", "loop"}), Lines{});
}

TEST_F(AppTest, OnlyTheRightButtonPressOpensTheMenuBuiltAnewEachTime) {
    StartProgram();
    Fake().journal.clear();
    for (std::uint32_t notification : {kMsgMouseMove, kMsgLButtonDown, kMsgLButtonUp, kMsgLButtonDblClk,
                                       kMsgRButtonUp, kMsgContextMenu, kMsgUser}) {
        EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, notification), 0) << notification;
    }
    EXPECT_EQ(Fake().journal, Lines{});
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    // Foreground first, so that the menu closes on a click elsewhere; WM_NULL after it.
    const Lines menu = {"foreground", "menu at 640,700: 104 關於 32771 重啟ATM安控元件 32773 停止ATM安控元件 105 結束",
                        "destroy menu", "post 0"};
    EXPECT_EQ(Fake().journal, menu + menu);
}

TEST_F(AppTest, AboutShowsItsBoxAndUnknownCommandsGoToTheDefaultProcedure) {
    StartProgram();
    Fake().journal.clear();
    EXPECT_EQ(SendToMainWindow(kMsgCommand, IDM_ABOUT), 0);
    EXPECT_EQ(SendToMainWindow(kMsgCommand, 0x10000 | 40000), 0);
    EXPECT_EQ(SendToMainWindow(kMsgPaint), 0);
    // The box ends on OK and Enter (IDOK), Escape and its close button (IDCANCEL), nothing else.
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgInitDialog, 0, 0), 1);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, 3, 0), 0);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgClose, 0, 0), 0);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, kIdOk, 0), 1);
    EXPECT_EQ(AboutDialogProc(nullptr, kMsgCommand, 0x10000 | kIdCancel, 0), 1);
    EXPECT_EQ(Fake().journal, (Lines{"dialog 103", "default 273 " + std::to_string(0x10000 | 40000), "paint",
                                     "end dialog 1", "end dialog 2"}));
}

TEST_F(AppTest, EveryWayOutTakesTheIconAwayOnce) {
    struct Case {
        const char* name;
        FakeMessage message;
        Lines journal;
    };
    const Case cases[] = {
        {"exit", {kMsgCommand, IDM_EXIT}, {"tray delete 129", "destroy window", "quit 0"}},
        {"close request", {kMsgClose}, {"default 16 0", "destroy window", "tray delete 129", "quit 0"}},
        {"end of the session", {kMsgEndSession, 1}, {"tray delete 129", "dialog 103"}},
        {"end of the session called off", {kMsgEndSession, 0}, {"dialog 103"}},
    };
    for (const Case& c : cases) {
        SetUp();
        Fake().queued = {c.message, {kMsgCommand, IDM_ABOUT}};  // nothing runs once the window is gone
        StartProgram();
        EXPECT_EQ(JournalOf({"tray delete", "destroy", "quit", "default", "dialog"}), c.journal) << c.name;
    }
}

class CommandTest : public AppTest {
protected:
    // The installed programs, the state folder, an agent running, and the monitor started in the running look.
    void SetUp() override {
        AppTest::SetUp();
        Fake().files[kProgramFolder + "KeslWebATMAgent.exe"] = "MZ";
        Fake().files[kProgramFolder + "KeslTerminateService.exe"] = "MZ";
        Fake().folders[kStateFolder] = true;
        AddProcess(4, L"System");
        AddProcess(9, kAgentImageNameW);
        StartProgram();
        Fake().journal.clear();
        Fake().now = 0x6553F445;
    }
};

const std::string kDismissed = "message box dismissed";
const std::string kStopped = "message box 停止ATM安控元件成功 | Kesl銀行";
const std::string kNotStopped = "message box 停止ATM安控元件失敗,請再重新停止ATM安控元件 | Kesl銀行";
const std::string kRestarted = "message box 重啟ATM安控元件成功 | Kesl銀行";
const std::string kNotRestarted = "message box 重啟AT安控M元件失敗,請再重新啟動ATM安控元件 | Kesl銀行";
const Lines kAgentEnded = {"terminate 9 exit 0", "pause 1500"};
const Lines kStoppedRecorded = {kWrite + "06553f1455", "tray delete 107", kStoppedLook};
const Lines kRunningRecorded = {kWrite + "06553f0455", "pause 20", "tray delete 107", kRunningLook};

TEST_F(CommandTest, TellTheOutcomeAndRecordASuccessOnceTheBoxIsDismissed) {
    const std::string launch = "launch open " + kProgramFolder + "KeslWebATMAgent.exe";
    struct Case {
        const char* name;
        unsigned command;
        void (*arrange)();
        Lines journal;
    };
    const Case cases[] = {
        {"stop", IDM_STOP_AGENT, [] {}, kAgentEnded + Lines{kStopped, kDismissed} + kStoppedRecorded},
        {"stop, no agent", IDM_STOP_AGENT, [] { Fake().processes.pop_back(); },
         Lines{kStopped, kDismissed} + kStoppedRecorded},
        {"stop refused, no terminate program", IDM_STOP_AGENT,
         [] {
             Fake().processes.back().terminationRefused = true;
             Fake().files.erase(kProgramFolder + "KeslTerminateService.exe");
         },
         {"terminate 9 exit 0", kNotStopped, kDismissed}},
        {"stop, no process list", IDM_STOP_AGENT, [] { Fake().snapshotFails = true; }, {kNotStopped, kDismissed}},
        {"restart", IDM_RESTART_AGENT, [] {}, kAgentEnded + Lines{launch, kRestarted, kDismissed} + kRunningRecorded},
        {"restart after a failed stop", IDM_RESTART_AGENT, [] { Fake().snapshotFails = true; },
         Lines{launch, kRestarted, kDismissed} + kRunningRecorded},
        {"restart, agent missing", IDM_RESTART_AGENT,
         [] { Fake().files.erase(kProgramFolder + "KeslWebATMAgent.exe"); },
         kAgentEnded + Lines{kNotRestarted, kDismissed}},
        {"restart refused by the shell", IDM_RESTART_AGENT, [] { Fake().shellResult = 32; },
         kAgentEnded + Lines{launch, kNotRestarted, kDismissed}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.arrange();
        EXPECT_EQ(SendToMainWindow(kMsgCommand, c.command), 0) << c.name;
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
    }
}

TEST_F(CommandTest, NothingElseStartsWhileACommandsBoxIsOpen) {
    Fake().whileMessageBoxOpen = {
        {kTrayCallback, IDI_RUNNING, kMsgRButtonDown}, {kMsgCommand, IDM_RESTART_AGENT}, {kMsgCommand, IDM_STOP_AGENT}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT);
    EXPECT_EQ(Fake().journal, (kAgentEnded + Lines{kStopped, kDismissed} + kStoppedRecorded));

    // Once it is over, and after a failed one too, the menu opens again; a re-created taskbar gets
    // the entry back as last shown.
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    Fake().snapshotFails = true;
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT);
    EXPECT_EQ(SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown), 1);
    SendToMainWindow(kTaskbarCreated);
    EXPECT_EQ(Fake().journal.back(), kStoppedLook);
}

TEST_F(CommandTest, AWindowClosedWhileTheBoxIsOpenGetsNoIconBack) {
    Fake().whileMessageBoxOpen = {{kMsgClose}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT);
    SendToMainWindow(kTaskbarCreated);
    EXPECT_EQ(JournalOf({"tray"}), Lines{"tray delete 107"});
}

}  // namespace
