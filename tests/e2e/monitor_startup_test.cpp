// The real monitor's start-up: it follows the process list and records it in the state file.

#include <gtest/gtest.h>

#include "agent/agent_names.h"
#include "tests/e2e/clean_desktop_test.h"

namespace {

class MonitorStartup : public CleanDesktopTest {
protected:
    // Starts the monitor, lets it settle into its message loop, and closes it again.
    static long RunMonitor() {
        RunningMonitor monitor = StartMonitor();
        EXPECT_NE(monitor.window, nullptr);
        PostMessageW(monitor.window, WM_CLOSE, 0, 0);
        return monitor.process.WaitForExit();
    }

    static char StoredDigit() {
        const std::string text = ReadWholeFile(StateFilePathA());
        const auto at = text.find("Service=");
        return at == std::string::npos || text.size() < at + 8 + 7 ? '?' : text[at + 8 + 6];
    }
};

TEST_F(MonitorStartup, WithNoAgentRecordsStopped) {
    EXPECT_EQ(RunMonitor(), 0);
    EXPECT_EQ(StoredDigit(), '1');
}

TEST_F(MonitorStartup, WithTheAgentRunningRecordsRunningOverAStoredStop) {
    CreateDirectoryA(StateFolderPathA().c_str(), nullptr);
    WritePrivateProfileStringA("Settings", "Service", "0aaaaa1aaa", StateFilePathA().c_str());
    ChildProcess agent = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    ASSERT_TRUE(WaitUntil([] { return CountProcessesNamed(kAgentImageNameW) == 1; }));

    EXPECT_EQ(RunMonitor(), 0);
    EXPECT_EQ(StoredDigit(), '0');
    EXPECT_EQ(CountProcessesNamed(kAgentImageNameW), 1) << "start-up must not stop the agent";
}

TEST_F(MonitorStartup, WithTheAgentRunningAndNoFileWritesNothing) {
    ChildProcess agent = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    ASSERT_TRUE(WaitUntil([] { return CountProcessesNamed(kAgentImageNameW) == 1; }));
    EXPECT_EQ(RunMonitor(), 0);
    EXPECT_EQ(GetFileAttributesA(StateFilePathA().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
