// Finding, stopping and starting the agent.

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "agent/process_match.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string kFolder = "C:\\Program Files (x86)\\KESL\\WebATM\\";
const std::string kPrompt = "launch runas " + kFolder + "KeslTerminateService.exe over the desktop";

TEST(MatchImageName, FoldsOnlyTheLettersAToZAndComparesWholeNames) {
    const std::wstring long256(256, L'a');
    const std::pair<std::wstring, std::wstring> matching[] = {
        {L"kESLwEBatmAGENT.EXE", kAgentImageNameW}, {L"\u00e9.EXE", L"\u00e9.exe"}, {long256, long256 + L"bcd"}};
    const std::pair<std::wstring, std::wstring> other[] = {
        {L"KeslWebATMAgent.ex", kAgentImageNameW}, {L"KeslWebATMAgent.exe2", kAgentImageNameW},
        {L"", kAgentImageNameW}, {L"\u00c9.exe", L"\u00e9.exe"}, {L"[", L"{"}, {L"@", L"`"},
        {long256 + L"b", long256 + L"bcd"}};
    for (const auto& [image, wanted] : matching) {
        const WantedImageName w = PrepareWantedName(wanted.c_str());
        EXPECT_TRUE(MatchImageName(image.c_str(), w.characters, w.length)) << image.size();
    }
    for (const auto& [image, wanted] : other) {
        const WantedImageName w = PrepareWantedName(wanted.c_str());
        EXPECT_FALSE(MatchImageName(image.c_str(), w.characters, w.length)) << image.size();
    }
}

class AgentTest : public FakeWorldTest {};

TEST_F(AgentTest, TheProbeFindsTheFirstAgentAndPausesOnlyWhenItCouldOpenIt) {
    struct Case {
        const char* name;
        std::vector<OpenProcessOutcome> agents;  // after an unrelated process
        int result;
        std::vector<std::string> pauses;
    };
    const auto opened = OpenProcessOutcome::Opened;
    const auto denied = OpenProcessOutcome::AccessDenied;
    const Case cases[] = {
        {"none", {}, 0, {}},
        {"opened", {opened, opened}, 1, {"pause 1000"}},
        {"refused", {denied, opened}, 1, {}},
        {"gone", {OpenProcessOutcome::Gone}, 1, {}},
    };
    for (const Case& c : cases) {
        SetUp();
        AddProcess(4, L"KeslWebATMAgent.exe.bak");
        for (OpenProcessOutcome outcome : c.agents) {
            AddProcess(static_cast<std::uint32_t>(10 + Fake().processes.size()), L"KESLWEBATMAGENT.EXE");
            Fake().processes.back().openOutcome = outcome;
        }
        EXPECT_EQ(IsAgentRunning(kAgentImageNameW), c.result) << c.name;
        EXPECT_EQ(Fake().journal, c.pauses) << c.name;
    }
    Fake().firstProcessFails = true;
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);
    Fake().snapshotFails = true;
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);
}

TEST_F(AgentTest, StopEndsEveryAgentOrHandsItToTheTerminateProgram) {
    struct Agent {
        std::uint32_t id;
        OpenProcessOutcome open = OpenProcessOutcome::Opened;
        bool refuses = false;
    };
    const auto denied = OpenProcessOutcome::AccessDenied;
    struct Case {
        const char* name;
        std::vector<Agent> agents;
        bool terminateProgram;
        std::intptr_t shellResult;
        int result;
        std::vector<std::string> journal;
    };
    const Case cases[] = {
        {"two ended", {{11}, {12}}, true, 42, 1,
         {"terminate 11 exit 0", "pause 1500", "terminate 12 exit 0", "pause 1500"}},
        {"refused, prompt accepted", {{11, {}, true}, {12, denied}}, true, 33, 1,
         {"terminate 11 exit 0", kPrompt, "pause 1500", kPrompt, "pause 1500"}},
        {"refused, prompt declined", {{11, {}, true}, {12}}, true, 32, 0, {"terminate 11 exit 0", kPrompt}},
        {"refused, no terminate program", {{11, denied}, {12}}, false, 42, 0, {}},
        {"gone before the open", {{11, OpenProcessOutcome::Gone}, {12}}, false, 42, 1,
         {"terminate 12 exit 0", "pause 1500"}},
    };
    for (const Case& c : cases) {
        SetUp();
        AddProcess(3, L"explorer.exe");
        for (const Agent& agent : c.agents) {
            AddProcess(agent.id, kAgentImageNameW);
            Fake().processes.back().openOutcome = agent.open;
            Fake().processes.back().terminationRefused = agent.refuses;
        }
        if (c.terminateProgram) Fake().files[kFolder + "KeslTerminateService.exe"] = "MZ";
        Fake().shellResult = c.shellResult;
        EXPECT_EQ(StopAgent(kAgentImageNameW), c.result) << c.name;
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
    }
    Fake().firstProcessFails = true;  // an unreadable list proves no stop
    EXPECT_EQ(StopAgent(kAgentImageNameW), 0);
    Fake().snapshotFails = true;
    EXPECT_EQ(StopAgent(kAgentImageNameW), 0);
}

TEST_F(AgentTest, StartLaunchesTheInstalledAgentOrSaysWhyNot) {
    struct Case {
        const char* name;
        void (*arrange)();
        int result;
    };
    const std::vector<std::string> kLaunch = {"launch open " + kFolder + "KeslWebATMAgent.exe"};
    const Case cases[] = {
        {"accepted", [] { Fake().shellResult = 33; }, RESULT_OK},
        {"refused by the shell", [] { Fake().shellResult = 32; }, RESULT_LAUNCH_REFUSED},
        {"no folder", [] { Fake().programFilesResult = kSFalse; }, RESULT_FOLDER_LOOKUP_FAILED},
        {"too long a path", [] { Fake().programFilesPath = "C:\\" + std::string(1000, 'p'); },
         RESULT_FOLDER_LOOKUP_FAILED},
        {"missing", [] { Fake().files.clear(); }, RESULT_NO_FILE_STATUS},
        {"empty", [] { Fake().files[kFolder + "KeslWebATMAgent.exe"] = ""; }, RESULT_FILE_EMPTY},
        {"a folder",
         [] {
             Fake().files.clear();
             Fake().folders[kFolder + "KeslWebATMAgent.exe"] = true;
         },
         RESULT_FILE_EMPTY},
    };
    for (const Case& c : cases) {
        SetUp();
        Fake().files[kFolder + "KeslWebATMAgent.exe"] = "MZ";
        c.arrange();
        EXPECT_EQ(StartAgent(kAgentImageNameA), c.result) << c.name;
        const bool launched = c.result == RESULT_OK || c.result == RESULT_LAUNCH_REFUSED;
        EXPECT_EQ(Fake().journal, launched ? kLaunch : std::vector<std::string>{}) << c.name;
    }
}

}  // namespace
