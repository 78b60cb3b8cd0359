#include <algorithm>
#include <optional>
#include <string>

#include "agent/agent_names.h"
#include "app/reconcile.h"
#include "res/resource.h"
#include "tests/fake/fake_world_test.h"

namespace {

class ReconcileTest : public FakeWorldTest {};

TEST_F(ReconcileTest, FollowsTheProcessListAndWritesOnlyWhenTheFileDisagrees) {
    struct Case {
        const char* name;
        std::optional<std::string> stored;  // the value in the file; nullopt: no file at all
        bool agentRunning;
        int title;
        ServiceState startupState;
        std::optional<std::string> storedAfter;
    };
    // At the fake's time 1700000000 the values are 06553f0005 (Running) and 06553f1005 (Stopped).
    const Case cases[] = {
        {"running, agent found", "0aaaaa0aaa", true, IDS_TITLE_RUNNING, kServiceRunning, "0aaaaa0aaa"},
        {"running, agent absent", "0aaaaa0aaa", false, IDS_TIP_STOPPED, kServiceStopped, "06553f1005"},
        {"stopped, agent found", "0aaaaa1aaa", true, IDS_TITLE_RUNNING, kServiceRunning, "06553f0005"},
        {"stopped, agent absent", "0aaaaa1aaa", false, IDS_TIP_STOPPED, kServiceStopped, "0aaaaa1aaa"},
        {"other digit, agent absent", "0aaaaa5aaa", false, IDS_TIP_STOPPED, 5, "0aaaaa5aaa"},
        {"no file, agent absent", std::nullopt, false, IDS_TIP_STOPPED, kServiceStopped, "06553f1005"},
        {"no file, agent found", std::nullopt, true, IDS_TITLE_RUNNING, kServiceRunning, std::nullopt},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        if (c.stored) {
            PutFolder(StateFolderPath());
            PutFile(StateFilePath(), "[Settings]\r\nService=" + *c.stored + "\r\n");
        }
        if (c.agentRunning) AddProcess(77, kAgentImageNameW);

        EXPECT_EQ(Reconcile(), c.title) << c.name;
        EXPECT_EQ(StartupState(), c.startupState) << c.name;
        EXPECT_EQ(StoredServiceValue(), c.storedAfter) << c.name;
        const bool wrote = std::any_of(Fake().journal.begin(), Fake().journal.end(),
                                       [](const std::string& line) { return line.rfind("write ", 0) == 0; });
        EXPECT_EQ(wrote, c.storedAfter != c.stored) << c.name;
    }
}

TEST_F(ReconcileTest, AnEmptyFileCountsAsRunning) {
    PutFolder(StateFolderPath());
    PutFile(StateFilePath(), "");
    EXPECT_EQ(Reconcile(), IDS_TIP_STOPPED);
    EXPECT_EQ(StartupState(), kServiceStopped);
    EXPECT_EQ(StoredServiceValue(), "06553f1005");
}

TEST_F(ReconcileTest, AnUnknownFolderStillFollowsTheProcessList) {
    Fake().appDataResult = kSFalse;
    EXPECT_EQ(Reconcile(), IDS_TIP_STOPPED);
    EXPECT_EQ(StartupState(), kServiceStopped);
    EXPECT_FALSE(HasFile(StateFilePath()));
}

TEST_F(ReconcileTest, NeverStartsOrStopsTheAgent) {
    AddProcess(77, kAgentImageNameW);
    PutFolder(StateFolderPath());
    PutFile(StateFilePath(), "[Settings]\r\nService=0aaaaa1aaa\r\n");
    Reconcile();
    for (const auto& line : Fake().journal) EXPECT_EQ(line.find("terminate"), std::string::npos) << line;
    EXPECT_TRUE(Fake().processes[0].running);
}

}  // namespace
