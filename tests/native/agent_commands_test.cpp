#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "agent/agent_names.h"
#include "app/agent_commands.h"
#include "app/main_window.h"
#include "app/reconcile.h"
#include "app/tray_entry.h"
#include "res/resource.h"
#include "tests/common/stored_value.h"
#include "tests/fake/fake_world_test.h"

namespace {

const std::wstring kRestartSucceeded = L"重啟ATM安控元件成功";
const std::wstring kRestartFailed = L"重啟AT安控M元件失敗,請再重新啟動ATM安控元件";
const std::wstring kStopSucceeded = L"停止ATM安控元件成功";
const std::wstring kStopFailed = L"停止ATM安控元件失敗,請再重新停止ATM安控元件";
const std::string kInstallFolder = "C:\\Program Files (x86)\\KESL\\WebATM\\";

std::size_t JournalIndex(const std::string& prefix) {
    const auto& journal = Fake().journal;
    return static_cast<std::size_t>(
        std::find_if(journal.begin(), journal.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }) -
        journal.begin());
}

std::vector<std::uint32_t> VisibleTrayIds() {
    std::vector<std::uint32_t> ids;
    for (const auto& [key, record] : Fake().trayIcons) ids.push_back(record.id);
    return ids;
}

class AgentCommandTest : public FakeWorldTest {
protected:
    // The installed programs, an agent running, and the monitor started in the running look.
    void SetUp() override {
        FakeWorldTest::SetUp();
        PutFile(kInstallFolder + "KeslWebATMAgent.exe", "MZ");
        PutFile(kInstallFolder + "KeslTerminateService.exe", "MZ");
        AddProcess(4, L"System");
        AddProcess(9, kAgentImageNameW);
        RunMainWindow(Reconcile());
        startupValue = StoredServiceValue();
        Fake().journal.clear();
        Fake().now += 100;
    }
    std::optional<std::string> startupValue;
};

TEST_F(AgentCommandTest, TellsTheOutcomeAndOnSuccessRecordsItAfterTheBox) {
    struct Case {
        const char* name;
        unsigned command;
        std::function<void()> arrange;
        std::wstring text;
        bool succeeds;
        std::uint32_t shownId;  // the entry's identifier afterwards
    };
    const Case cases[] = {
        {"stop", IDM_STOP_AGENT, [] {}, kStopSucceeded, true, IDI_STOPPED},
        {"stop with no agent", IDM_STOP_AGENT, [] { Fake().processes.pop_back(); }, kStopSucceeded, true, IDI_STOPPED},
        {"stop refused and no terminate program", IDM_STOP_AGENT,
         [] {
             Fake().processes[1].terminationRefused = true;
             Fake().files.erase("c:\\program files (x86)\\kesl\\webatm\\keslterminateservice.exe");
         },
         kStopFailed, false, IDI_RUNNING},
        {"stop with an unreadable process list", IDM_STOP_AGENT, [] { Fake().snapshotFails = true; }, kStopFailed,
         false, IDI_RUNNING},
        {"restart", IDM_RESTART_AGENT, [] {}, kRestartSucceeded, true, IDI_RUNNING},
        {"restart after a failed stop", IDM_RESTART_AGENT, [] { Fake().snapshotFails = true; }, kRestartSucceeded,
         true, IDI_RUNNING},
        {"restart with the agent missing", IDM_RESTART_AGENT,
         [] { Fake().files.erase("c:\\program files (x86)\\kesl\\webatm\\keslwebatmagent.exe"); }, kRestartFailed,
         false, IDI_RUNNING},
        {"restart refused by the shell", IDM_RESTART_AGENT, [] { Fake().shellResult = 2; }, kRestartFailed, false,
         IDI_RUNNING},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        c.arrange();
        EXPECT_EQ(SendToMainWindow(kMsgCommand, c.command, 0), 0) << c.name;

        ASSERT_EQ(Fake().messageBoxes.size(), 1u) << c.name;
        EXPECT_EQ(Fake().messageBoxes[0].first, c.text) << c.name;
        EXPECT_EQ(Fake().messageBoxes[0].second, L"Kesl銀行") << c.name;
        EXPECT_EQ(VisibleTrayIds(), std::vector<std::uint32_t>{c.shownId}) << c.name;
        const bool running = c.command == IDM_RESTART_AGENT;
        if (!c.succeeds) {
            EXPECT_EQ(StoredServiceValue(), startupValue) << c.name;
            EXPECT_EQ(JournalIndex("write"), Fake().journal.size()) << c.name << ": nothing is written";
            EXPECT_EQ(JournalIndex("tray"), Fake().journal.size()) << c.name << ": the entry is left alone";
            continue;
        }
        EXPECT_EQ(StoredServiceValue(), ExpectedStoredValue(running ? '0' : '1', Fake().now)) << c.name;
        // The choice is recorded only once the user has dismissed the box; then the entry changes.
        EXPECT_LT(JournalIndex("message box dismissed"), JournalIndex("write")) << c.name;
        EXPECT_LT(JournalIndex("write"), JournalIndex("tray delete 107")) << c.name;
        EXPECT_LT(JournalIndex("tray delete 107"), JournalIndex("tray add")) << c.name;
        // Only Restart pauses 20 ms, between the write and the new look.
        const std::size_t pause = JournalIndex("pause 20");
        if (running) {
            EXPECT_LT(JournalIndex("write"), pause) << c.name;
            EXPECT_LT(pause, JournalIndex("tray delete")) << c.name;
        } else {
            EXPECT_EQ(pause, Fake().journal.size()) << c.name;
        }
    }
}

TEST_F(AgentCommandTest, RestartStopsTheAgentBeforeLaunchingItAgain) {
    SendToMainWindow(kMsgCommand, IDM_RESTART_AGENT, 0);
    EXPECT_LT(JournalIndex("terminate 9 exit 0"), JournalIndex("pause 1500"));
    EXPECT_LT(JournalIndex("pause 1500"), JournalIndex("launch open " + kInstallFolder + "KeslWebATMAgent.exe"));
    EXPECT_LT(JournalIndex("launch open"), JournalIndex("message box"));
}

TEST_F(AgentCommandTest, NoMenuOrSecondCommandWhileTheBoxIsOpen) {
    // While the stop's box is open the user presses on the icon and the shell delivers commands.
    Fake().whileMessageBoxOpen = {{kTrayCallback, kMsgRButtonDown},
                                  {kMsgCommand, IDM_RESTART_AGENT},
                                  {kMsgCommand, IDM_STOP_AGENT}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT, 0);
    EXPECT_TRUE(Fake().shownMenus.empty());
    EXPECT_EQ(Fake().messageBoxes.size(), 1u);
    EXPECT_TRUE(Fake().launches.empty());
    EXPECT_EQ(StoredServiceValue(), ExpectedStoredValue('1', Fake().now));
    EXPECT_EQ(VisibleTrayIds(), std::vector<std::uint32_t>{IDI_STOPPED});
    EXPECT_FALSE(AgentCommandInProgress());

    // Afterwards, and after a failed command too, the menu opens again.
    SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown);
    Fake().snapshotFails = true;
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT, 0);
    SendToMainWindow(kTrayCallback, IDI_STOPPED, kMsgRButtonDown);
    EXPECT_EQ(Fake().shownMenus.size(), 2u);
}

TEST_F(AgentCommandTest, AWindowClosedWhileTheBoxIsOpenGetsNoIconBack) {
    Fake().whileMessageBoxOpen = {{kMsgClose, 0}};
    SendToMainWindow(kMsgCommand, IDM_STOP_AGENT, 0);
    EXPECT_TRUE(Fake().windowDestroyed);
    EXPECT_TRUE(Fake().trayIcons.empty());
    SendToMainWindow(0xC0DE);  // a re-created taskbar does not bring it back either
    EXPECT_TRUE(Fake().trayIcons.empty());
}

}  // namespace
