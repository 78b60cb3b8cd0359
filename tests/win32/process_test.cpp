// The real process list: the probe and the terminate stand-in against running agent stand-ins.

#include <gtest/gtest.h>

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "tests/win32/win32_test_support.h"

namespace {

class ProcessesOnWindows : public ::testing::Test {
protected:
    void SetUp() override { EndAllAgents(); }
    void TearDown() override { EndAllAgents(); }
};

TEST_F(ProcessesOnWindows, ProbeFindsTheAgentUnderAnyCaseAndNotOnceItHasEnded) {
    // A copy of the stand-in under a differently-cased image name, in a folder of its own
    // (beside the original it would be the same file).
    const std::wstring folder = BuildFolder() + L"\\cased";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\kESLwebatmAGENT.EXE";
    ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\KeslWebATMAgent.exe").c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);

    {
        ChildProcess agent = StartProgram(copy);
        ASSERT_TRUE(agent.Started());
        EXPECT_TRUE(WaitUntil([] { return IsAgentRunning(kAgentImageNameW) == 1; }));
        TerminateProcess(agent.info.hProcess, 0);
        EXPECT_EQ(agent.WaitForExit(), 0);
    }
    EXPECT_TRUE(WaitUntil([] { return IsAgentRunning(kAgentImageNameW) == 0; }));
    DeleteFileW(copy.c_str());
}

TEST_F(ProcessesOnWindows, ProbeIgnoresNamesThatOnlyBeginWithTheAgentName) {
    const std::wstring copy = BuildFolder() + L"\\KeslWebATMAgent.exe.exe";
    ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\KeslWebATMAgent.exe").c_str(), copy.c_str(), FALSE));
    ChildProcess other = StartProgram(copy);
    ASSERT_TRUE(other.Started());
    ASSERT_TRUE(WaitUntil([] { return CountProcessesNamed(L"KeslWebATMAgent.exe.exe") == 1; }));
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);
    TerminateProcess(other.info.hProcess, 0);
    other.WaitForExit();
    DeleteFileW(copy.c_str());
}

TEST_F(ProcessesOnWindows, TerminateStandInEndsEveryAgent) {
    ChildProcess first = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    ChildProcess second = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    ASSERT_TRUE(WaitUntil([] { return CountProcessesNamed(kAgentImageNameW) == 2; }));

    ChildProcess terminator = StartProgram(BuildFolder() + L"\\KeslTerminateService.exe");
    EXPECT_EQ(terminator.WaitForExit(), 0);
    EXPECT_EQ(first.WaitForExit(), 0);
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_TRUE(WaitUntil([] { return CountProcessesNamed(kAgentImageNameW) == 0; }));
}

}  // namespace
