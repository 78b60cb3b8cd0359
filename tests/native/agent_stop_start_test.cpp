#include <string>
#include <vector>

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "tests/fake/fake_world_test.h"

namespace {

const std::string kInstallFolder = "C:\\Program Files (x86)\\KESL\\WebATM\\";
const std::string kTerminateProgram = kInstallFolder + "KeslTerminateService.exe";
const std::string kAgentProgram = kInstallFolder + "KeslWebATMAgent.exe";

enum class Installed { Program, Missing, Empty, Folder };

void Install(const std::string& path, Installed installed) {
    if (installed == Installed::Program) PutFile(path, "MZ");
    if (installed == Installed::Empty) PutFile(path, "");
    if (installed == Installed::Folder) PutFolder(path);
}

// What StopAgent and StartAgent did to the world, one line per terminate, launch and pause.
std::string Actions() {
    std::string actions;
    for (const std::string& line : Fake().journal) {
        if (line.rfind("terminate", 0) == 0 || line.rfind("launch", 0) == 0 || line.rfind("pause", 0) == 0) {
            actions += line + "; ";
        }
    }
    return actions;
}

std::vector<std::uint32_t> StillRunning() {
    std::vector<std::uint32_t> ids;
    for (const FakeProcess& process : Fake().processes) {
        if (process.running) ids.push_back(process.id);
    }
    return ids;
}

class StopAgentTest : public FakeWorldTest {};

TEST_F(StopAgentTest, EndsEveryAgentOrHandsItToTheTerminateProgram) {
    struct Agent {
        std::uint32_t id;
        OpenProcessOutcome open = OpenProcessOutcome::Opened;
        bool refusesTermination = false;
    };
    const std::string launch = "launch runas " + kTerminateProgram + "; ";
    struct Case {
        const char* name;
        std::vector<Agent> agents;
        Installed terminateProgram;
        std::intptr_t shellResult;
        int result;
        std::string actions;
        std::vector<std::uint32_t> stillRunning;
    };
    const Case cases[] = {
        {"no agent", {}, Installed::Program, 42, 1, "", {}},
        {"two agents ended", {{11}, {12}}, Installed::Program, 42, 1,
         "terminate 11 exit 0; pause 1500; terminate 12 exit 0; pause 1500; ", {}},
        {"refused, terminate program accepted by the prompt", {{11, OpenProcessOutcome::Opened, true}, {12}},
         Installed::Program, 33, 1, "terminate 11 exit 0; " + launch + "pause 1500; terminate 12 exit 0; pause 1500; ",
         {11}},
        {"refused, terminate program missing", {{11, OpenProcessOutcome::Opened, true}, {12}}, Installed::Missing, 42,
         0, "terminate 11 exit 0; ", {11, 12}},
        {"refused, terminate program empty", {{11, OpenProcessOutcome::Opened, true}, {12}}, Installed::Empty, 42, 0,
         "terminate 11 exit 0; ", {11, 12}},
        {"refused, terminate program a folder", {{11, OpenProcessOutcome::Opened, true}}, Installed::Folder, 42, 0,
         "terminate 11 exit 0; ", {11}},
        {"refused, shell refuses the launch", {{11, OpenProcessOutcome::Opened, true}, {12}}, Installed::Program, 32,
         0, "terminate 11 exit 0; " + launch, {11, 12}},
        {"several refused, one prompt each",
         {{11, OpenProcessOutcome::Opened, true}, {12, OpenProcessOutcome::Opened, true}}, Installed::Program, 42, 1,
         "terminate 11 exit 0; " + launch + "pause 1500; terminate 12 exit 0; " + launch + "pause 1500; ", {11, 12}},
        {"access denied on open is a refusal", {{11, OpenProcessOutcome::AccessDenied}, {12}}, Installed::Program, 42,
         1, launch + "pause 1500; terminate 12 exit 0; pause 1500; ", {11}},
        {"access denied and no terminate program", {{11, OpenProcessOutcome::AccessDenied}, {12}},
         Installed::Missing, 42, 0, "", {11, 12}},
        {"gone before the open is passed over", {{11, OpenProcessOutcome::Gone}, {12}}, Installed::Missing, 42, 1,
         "terminate 12 exit 0; pause 1500; ", {11}},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        AddProcess(3, L"explorer.exe");
        for (const Agent& agent : c.agents) {
            AddProcess(agent.id, agent.id % 2 ? kAgentImageNameW : L"KESLWEBATMAGENT.EXE", agent.open);
            Fake().processes.back().terminationRefused = agent.refusesTermination;
        }
        Install(kTerminateProgram, c.terminateProgram);
        Fake().shellResult = c.shellResult;

        EXPECT_EQ(StopAgent(kAgentImageNameW), c.result) << c.name;
        EXPECT_EQ(Actions(), c.actions) << c.name;
        std::vector<std::uint32_t> expectedRunning = {3};
        expectedRunning.insert(expectedRunning.end(), c.stillRunning.begin(), c.stillRunning.end());
        EXPECT_EQ(StillRunning(), expectedRunning) << c.name;
        for (const auto& launched : Fake().launches) EXPECT_EQ(launched.owner, DesktopWindow()) << c.name;
        EXPECT_EQ(Fake().openHandles, 0) << c.name;
    }
}

TEST_F(StopAgentTest, AnUnreadableProcessListIsAFailure) {
    AddProcess(11, kAgentImageNameW);
    Fake().snapshotFails = true;
    EXPECT_EQ(StopAgent(kAgentImageNameW), 0);
    Fake().snapshotFails = false;
    Fake().firstProcessFails = true;
    EXPECT_EQ(StopAgent(kAgentImageNameW), 0);
    EXPECT_EQ(Actions(), "");
    EXPECT_EQ(StillRunning(), std::vector<std::uint32_t>{11});
}

TEST_F(StopAgentTest, ATerminateProgramPathTooLongIsRefusedNotCut) {
    Fake().programFilesPath = "C:\\" + std::string(1000, 'p');
    AddProcess(11, kAgentImageNameW);
    Fake().processes.back().terminationRefused = true;
    EXPECT_EQ(StopAgent(kAgentImageNameW), 0);
    EXPECT_TRUE(Fake().launches.empty());
}

class StartAgentTest : public FakeWorldTest {};

TEST_F(StartAgentTest, LaunchesTheInstalledAgentOrSaysWhyNot) {
    struct Case {
        const char* name;
        HResult folderResult;
        Installed agent;
        std::intptr_t shellResult;
        int result;
    };
    const Case cases[] = {
        {"accepted", kSOk, Installed::Program, 33, RESULT_OK},
        {"folder lookup S_FALSE", kSFalse, Installed::Program, 42, RESULT_FOLDER_LOOKUP_FAILED},
        {"folder lookup failed", -2147467259, Installed::Program, 42, RESULT_FOLDER_LOOKUP_FAILED},
        {"agent missing", kSOk, Installed::Missing, 42, RESULT_NO_FILE_STATUS},
        {"agent empty", kSOk, Installed::Empty, 42, RESULT_FILE_EMPTY},
        {"agent a folder", kSOk, Installed::Folder, 42, RESULT_FILE_EMPTY},
        {"shell refused", kSOk, Installed::Program, 32, RESULT_LAUNCH_REFUSED},
        {"shell refused with 0", kSOk, Installed::Program, 0, RESULT_LAUNCH_REFUSED},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        Fake().programFilesResult = c.folderResult;
        Install(kAgentProgram, c.agent);
        Fake().shellResult = c.shellResult;

        EXPECT_EQ(StartAgent(kAgentImageNameA), c.result) << c.name;
        const bool launched = c.result == RESULT_OK || c.result == RESULT_LAUNCH_REFUSED;
        EXPECT_EQ(Actions(), launched ? "launch open " + kAgentProgram + "; " : "") << c.name;
        for (const auto& launch : Fake().launches) EXPECT_EQ(launch.owner, nullptr) << c.name;
    }
}

}  // namespace
