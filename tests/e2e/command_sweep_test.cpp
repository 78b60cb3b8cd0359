// Commands under strain: many agents, agents that end by themselves, and a long run of commands
// given as fast as the message boxes allow. Afterwards the agent processes, the state file and the
// tray icon must agree.

#include "tests/e2e/agent_command_test.h"

namespace {

TEST_F(AgentCommandTest, StopEndsADozenAgentsAndOnesThatEndedByThemselvesDoNotMatter) {
    std::vector<ChildProcess> agents;
    for (int i = 0; i < 12; ++i) {
        agents.push_back(StartAgentStandIn());
        ASSERT_TRUE(agents.back().Started()) << "agent " << i;
    }
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Colour));
    // A few end on their own after start-up found them.
    for (int i = 0; i < 3; ++i) TerminateProcess(agents[i].info.hProcess, 0);
    ASSERT_TRUE(WaitUntil([] { return CountProcessesNamed(L"KeslWebATMAgent.exe") == 9; }));

    HWND box = Choose(kStopItem);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kStopSucceeded);
    EXPECT_EQ(CountProcessesNamed(L"KeslWebATMAgent.exe"), 0);
    DismissAndExpectRecorded(box, '1');
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
}

TEST_F(AgentCommandTest, FiftyAlternatingCommandsLeaveAgentFileAndIconAgreeing) {
    ChildProcess agent = StartAgentStandIn();
    monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Colour));

    constexpr int kCommands = 50;
    for (int i = 0; i < kCommands; ++i) {
        const bool stop = i % 2 == 0;
        HWND box = Choose(stop ? kStopItem : kRestartItem);
        ASSERT_NE(box, nullptr) << "command " << i;
        ASSERT_EQ(MessageBoxText(box), stop ? kStopSucceeded : kRestartSucceeded) << "command " << i;
        ASSERT_TRUE(PressOk(box)) << "command " << i;
        ASSERT_TRUE(WaitForTraySlot(0, stop ? SlotLook::Grey : SlotLook::Colour)) << "command " << i;
    }
    // The last command was a Restart.
    ASSERT_TRUE(MonitorHasSettled(monitor.window));
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Colour));
    EXPECT_EQ(TraySlotLook(1), SlotLook::Empty) << "one entry only";
    EXPECT_EQ(ReadStoredValue()[6], '0');
    EXPECT_TRUE(WaitUntil([] { return CountProcessesNamed(L"KeslWebATMAgent.exe") == 1; }))
        << "one agent, launched by the last Restart";
}

}  // namespace
