// Restart and Stop from the real monitor's tray menu: the agent stand-ins, the message boxes, the
// state file and the tray icon, as a user would see them.

#include "tests/e2e/desktop.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <ctime>

#include "tests/common/stored_value.h"

namespace {

const std::wstring kRestartSucceeded = L"重啟ATM安控元件成功";
const std::wstring kRestartFailed = L"重啟AT安控M元件失敗,請再重新啟動ATM安控元件";
const std::wstring kStopSucceeded = L"停止ATM安控元件成功";
constexpr int kRestartItem = 1;
constexpr int kStopItem = 2;

std::string StoredValue() {
    char value[64] = {};
    GetPrivateProfileStringA("Settings", "Service", "", value, sizeof value, StateFilePathA().c_str());
    return value;
}

// The full path of every running agent process.
std::vector<std::wstring> AgentImagePaths() {
    std::vector<std::wstring> paths;
    DWORD ids[1024] = {};
    DWORD bytes = 0;
    EnumProcesses(ids, sizeof ids, &bytes);
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (process == nullptr) continue;
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, path, &size)) {
            const std::wstring full(path, size);
            if (full.size() >= 19 && _wcsicmp(full.c_str() + full.size() - 19, L"KeslWebATMAgent.exe") == 0) {
                paths.push_back(full);
            }
        }
        CloseHandle(process);
    }
    return paths;
}

class AgentCommands : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllAgents();
        RemoveStateFile();
        ASSERT_TRUE(InstallStandIns());
        ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << "a tray icon is left from before";
    }
    void TearDown() override {
        if (monitor.window != nullptr) {
            PostMessageW(monitor.window, WM_CLOSE, 0, 0);
            EXPECT_EQ(monitor.process.WaitForExit(), 0);
            EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty));
        }
        EndAllAgents();
        RemoveStateFile();
        InstallStandIns();
    }

    // Chooses item from the tray menu and returns the message box that answers it.
    HWND Choose(int item) {
        HWND menu = OpenTrayMenu();
        EXPECT_NE(menu, nullptr);
        if (menu == nullptr) return nullptr;
        ClickMenuItem(menu, item, 4);
        return WaitForMessageBox(monitor.process.info.dwProcessId);
    }

    // Dismisses box and checks that the stored value is one written for stateDigit just now.
    void DismissAndExpectRecorded(HWND box, char stateDigit) {
        const std::int64_t before = std::time(nullptr);
        ASSERT_TRUE(PressOk(box));
        ASSERT_TRUE(MonitorHasSettled(monitor.window));
        const std::string value = StoredValue();
        EXPECT_TRUE(IsStoredValueWrittenBetween(value, stateDigit, before, std::time(nullptr))) << value;
    }

    RunningMonitor monitor;
};

TEST_F(AgentCommands, StopEndsEveryAgentAndRestartLaunchesTheInstalledOne) {
    ChildProcess first = StartAgentStandIn();
    ChildProcess second = StartAgentStandIn();
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Colour));
    const std::string startupFile = ReadWholeFile(StateFilePathA());

    HWND box = Choose(kStopItem);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kStopSucceeded);
    EXPECT_EQ(CountProcessesNamed(L"KeslWebATMAgent.exe"), 0);
    EXPECT_EQ(ReadWholeFile(StateFilePathA()), startupFile) << "nothing is recorded before the box is dismissed";
    DismissAndExpectRecorded(box, '1');
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Grey));

    box = Choose(kRestartItem);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kRestartSucceeded);
    ASSERT_TRUE(WaitUntil([] { return AgentImagePaths().size() == 1; }));
    EXPECT_EQ(AgentImagePaths()[0], InstallFolder() + L"\\KeslWebATMAgent.exe");
    DismissAndExpectRecorded(box, '0');
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Colour));
    EXPECT_EQ(TraySlotLook(1), SlotLook::Empty) << "one entry only";
}

TEST_F(AgentCommands, ARestartThatCannotLaunchTheAgentChangesNothing) {
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
    ASSERT_TRUE(MonitorHasSettled(monitor.window));
    const std::string startupFile = ReadWholeFile(StateFilePathA());
    ASSERT_FALSE(startupFile.empty());
    ASSERT_TRUE(DeleteFileW((InstallFolder() + L"\\KeslWebATMAgent.exe").c_str()));

    HWND box = Choose(kRestartItem);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kRestartFailed);
    ASSERT_TRUE(PressOk(box));
    ASSERT_TRUE(MonitorHasSettled(monitor.window));
    EXPECT_EQ(ReadWholeFile(StateFilePathA()), startupFile);
    EXPECT_EQ(TraySlotLook(0), SlotLook::Grey);
    EXPECT_EQ(CountProcessesNamed(L"KeslWebATMAgent.exe"), 0);
}

TEST_F(AgentCommands, NoMenuOpensWhileACommandsBoxIsOpen) {
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
    HWND box = Choose(kStopItem);
    ASSERT_NE(box, nullptr);

    // Pressed as often as a user would try, each time given the chance to open a menu.
    HWND menu = OpenTrayMenu();
    EXPECT_EQ(menu, nullptr);
    if (menu != nullptr) PressKey(VK_ESCAPE);
    EXPECT_TRUE(IsWindow(box));

    ASSERT_TRUE(PressOk(box));
    menu = OpenTrayMenu();
    EXPECT_NE(menu, nullptr) << "the menu opens again once the command is over";
    if (menu != nullptr) PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([] { return FindOpenMenu() == nullptr; }));
}

}  // namespace
