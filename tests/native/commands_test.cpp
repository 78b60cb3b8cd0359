// Restart and Stop: the agent stopped and started, the box, and a success recorded after it.

#include "agent/agent_names.h"
#include "app/agent_commands.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string kProgramFolder = "C:\\Program Files (x86)\\KESL\\WebATM\\";
const std::wstring kProgramFolderW = L"C:\\Program Files (x86)\\KESL\\WebATM\\";
const std::wstring kLaunch = L"launch open " + kProgramFolderW + L"KeslWebATMAgent.exe";
const std::wstring kPrompt = L"launch runas " + kProgramFolderW + L"KeslTerminateService.exe over the desktop";
const std::wstring kDismissed = L"message box dismissed";
const std::wstring kStopped = L"message box 停止ATM安控元件成功 | Kesl銀行";
const std::wstring kNotStopped = L"message box 停止ATM安控元件失敗,請再重新停止ATM安控元件 | Kesl銀行";
const std::wstring kRestarted = L"message box 重啟ATM安控元件成功 | Kesl銀行";
const std::wstring kNotRestarted = L"message box 重啟AT安控M元件失敗,請再重新啟動ATM安控元件 | Kesl銀行";
const std::wstring kRunningLook = L"tray add 107 icon 107 flags 7 callback 1025 tip Kesl銀行晶片金融卡安控元件";
const std::wstring kStoppedLook = L"tray add 129 icon 129 flags 7 callback 1025 tip Kesl銀行晶片金融卡安控元件已關閉";
const Lines kAgentEnded = {L"terminate 9 exit 0", L"pause 1500"};
const Lines kStoppedRecorded = {kWrite + L"06553f1455", L"tray delete 107", kStoppedLook};
const Lines kRunningRecorded = {kWrite + L"06553f0455", L"pause 20", L"tray delete 107", kRunningLook};

FakeProcess& Agent() { return Fake().processes.back(); }

class CommandTest : public FakeWorldTest {
protected:
    // The installed programs, the state folder, an agent running, and the program started in the
    // running look; later the time is one whose low 32 bits are 0x6553F445.
    void SetUp() override {
        FakeWorldTest::SetUp();
        Fake().files[kProgramFolder + "KeslWebATMAgent.exe"] = "MZ";
        Fake().files[kProgramFolder + "KeslTerminateService.exe"] = "MZ";
        Fake().folders.insert(kStateFolder);
        Fake().processes.push_back({4, L"System"});
        Fake().processes.push_back({9, kAgentImageNameW});
        StartProgram();
        Fake().journal.clear();
        Fake().now = 0x76553F445;
    }
};

TEST_F(CommandTest, TellTheOutcomeAndRecordASuccessOnceTheBoxIsDismissed) {
    struct Case {
        const char* name;
        unsigned command;
        void (*arrange)();
        Lines journal;
    };
    const Case cases[] = {
        {"stop", IDM_STOP_AGENT, [] {}, kAgentEnded + Lines{kStopped, kDismissed} + kStoppedRecorded},
        {"stop, one gone before it is opened, one more ended", IDM_STOP_AGENT,
         [] {
             Fake().processes.push_back({10, kAgentImageNameW});
             Agent().openOutcome = OpenProcessOutcome::Gone;
             Fake().processes.push_back({11, kAgentImageNameW});
         },
         kAgentEnded + Lines{L"terminate 11 exit 0", L"pause 1500", kStopped, kDismissed} + kStoppedRecorded},
        {"stop, the number of one gone since reused by another program: left running", IDM_STOP_AGENT,
         [] {
             Fake().processes.push_back({10, kAgentImageNameW});
             Agent().imageNow = L"notes.exe";
         },
         kAgentEnded + Lines{kStopped, kDismissed} + kStoppedRecorded},
        {"stop, one that ends as it is being ended: no prompt", IDM_STOP_AGENT,
         [] { Agent().endsBeforeTerminate = true; },
         Lines{L"terminate 9 exit 0", kStopped, kDismissed} + kStoppedRecorded},
        {"stop, one whose program cannot be named: to the terminate program, not ended blind", IDM_STOP_AGENT,
         [] { Agent().imageUnreadable = true; }, Lines{kPrompt, L"pause 1500", kStopped, kDismissed} + kStoppedRecorded},
        {"stop refused, handed to the terminate program", IDM_STOP_AGENT, [] { Agent().terminationRefused = true; },
         Lines{L"terminate 9 exit 0", kPrompt, L"pause 1500", kStopped, kDismissed} + kStoppedRecorded},
        {"stop refused, the prompt declined", IDM_STOP_AGENT,
         [] {
             Agent().openOutcome = OpenProcessOutcome::AccessDenied;
             Fake().shellResult = 32;
         },
         {kPrompt, kNotStopped, kDismissed}},
        {"stop, no process list", IDM_STOP_AGENT, [] { Fake().firstProcessFails = true; }, {kNotStopped, kDismissed}},
        {"restart", IDM_RESTART_AGENT, [] {}, kAgentEnded + Lines{kLaunch, kRestarted, kDismissed} + kRunningRecorded},
        {"restart, the agent ending on its own as it is ended: no prompt", IDM_RESTART_AGENT,
         [] { Agent().endsBeforeTerminate = true; },
         Lines{L"terminate 9 exit 0", kLaunch, kRestarted, kDismissed} + kRunningRecorded},
        {"restart after a failed stop", IDM_RESTART_AGENT, [] { Fake().firstProcessFails = true; },
         Lines{kLaunch, kRestarted, kDismissed} + kRunningRecorded},
        {"restart, empty agent", IDM_RESTART_AGENT, [] { Fake().files[kProgramFolder + kAgentImageNameA].clear(); },
         kAgentEnded + Lines{kNotRestarted, kDismissed}},
        {"restart refused by the shell", IDM_RESTART_AGENT, [] { Fake().shellResult = 32; },
         kAgentEnded + Lines{kLaunch, kNotRestarted, kDismissed}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.arrange();
        EXPECT_EQ(SendToMainWindow(kMsgCommand, c.command), 0) << c.name;
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
    }
}

TEST_F(CommandTest, NothingElseStartsWhileACommandsBoxIsOpen) {
    // A press on the icon, either button, brings the box to the front instead.
    Fake().queued = {{kTrayCallback, IDI_RUNNING, kMsgRButtonDown}, {kTrayCallback, IDI_RUNNING, kMsgLButtonDown},
                     {kMsgCommand, IDM_RESTART_AGENT}, {kMsgCommand, IDM_STOP_AGENT}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT);
    const std::wstring toFront = L"to the front Kesl銀行";
    EXPECT_EQ(Fake().journal, (kAgentEnded + Lines{kStopped, toFront, toFront, kDismissed} + kStoppedRecorded));

    // A re-created taskbar gets the entry back as last shown.
    SendToMainWindow(kTaskbarCreated);
    EXPECT_EQ(Fake().journal.back(), kStoppedLook);
}

TEST_F(CommandTest, AWindowClosedWhileTheBoxIsOpenGetsNoIconBack) {
    Fake().queued = {{kMsgClose}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT);
    SendToMainWindow(kTaskbarCreated);
    EXPECT_EQ(Fake().journal, (kAgentEnded + Lines{kStopped, L"default 16 0", L"destroy window", L"tray delete 107",
                                                   L"quit 0", kDismissed, kWrite + L"06553f1455"}));
}

}  // namespace
