// Restart and Stop from the real monitor's tray menu: the agent stand-ins, the message boxes, the
// state file and the tray icon, as a user would see them.

#include "tests/e2e/agent_command_test.h"

namespace {

TEST_F(AgentCommandTest, StopEndsEveryAgentAndRestartLaunchesTheInstalledOne) {
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
    ASSERT_TRUE(WaitUntil([] { return ProcessImagePaths(L"KeslWebATMAgent.exe").size() == 1; }));
    EXPECT_EQ(ProcessImagePaths(L"KeslWebATMAgent.exe")[0], InstallFolder() + L"\\KeslWebATMAgent.exe");
    DismissAndExpectRecorded(box, '0');
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Colour));
    EXPECT_EQ(TraySlotLook(1), SlotLook::Empty) << "one entry only";
}

TEST_F(AgentCommandTest, ARestartThatCannotLaunchTheAgentChangesNothing) {
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
    ASSERT_TRUE(MonitorHasSettled(monitor.window));
    const std::string startupFile = ReadWholeFile(StateFilePathA());
    ASSERT_FALSE(startupFile.empty());

    // The agent program missing, replaced by an empty file, or by a folder.
    const std::wstring agentProgram = InstallFolder() + L"\\KeslWebATMAgent.exe";
    const std::function<bool()> breakages[] = {
        [&] { return DeleteFileW(agentProgram.c_str()) != 0; },
        [&] {
            HANDLE file = CreateFileW(agentProgram.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            return file != INVALID_HANDLE_VALUE && CloseHandle(file);
        },
        [&] { return DeleteFileW(agentProgram.c_str()) && CreateDirectoryW(agentProgram.c_str(), nullptr); },
    };
    for (const auto& breakAgent : breakages) {
        ASSERT_TRUE(breakAgent());
        HWND box = Choose(kRestartItem);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), kRestartFailed);
        ASSERT_TRUE(PressOk(box));
        ASSERT_TRUE(MonitorHasSettled(monitor.window));
        EXPECT_EQ(ReadWholeFile(StateFilePathA()), startupFile);
        EXPECT_EQ(TraySlotLook(0), SlotLook::Grey);
        EXPECT_EQ(CountProcessesNamed(L"KeslWebATMAgent.exe"), 0);
    }
    RemoveDirectoryW(agentProgram.c_str());
}

TEST_F(AgentCommandTest, NoMenuOpensWhileACommandsBoxIsOpen) {
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
