#include <string>

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "agent/process_match.h"
#include "tests/fake/fake_world_test.h"

namespace {

bool Matches(const std::wstring& imageName, const std::wstring& wanted) {
    const WantedImageName prepared = PrepareWantedName(wanted.c_str());
    return MatchImageName(imageName.c_str(), prepared.characters, prepared.length);
}

TEST(MatchImageName, FoldsOnlyTheLettersAToZ) {
    struct Case {
        const wchar_t* imageName;
        bool matches;
    };
    const Case cases[] = {
        {L"KeslWebATMAgent.exe", true},
        {L"keslwebatmagent.exe", true},
        {L"KESLWEBATMAGENT.EXE", true},
        {L"kEsLwEbAtMaGeNt.ExE", true},
        {L"KeslWebATMAgent.ex", false},       // shorter
        {L"KeslWebATMAgent.exe2", false},     // begins with the name
        {L"xKeslWebATMAgent.exe", false},     // contains the name
        {L"KeslWebATMAgent_exe", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(Matches(c.imageName, kAgentImageNameW), c.matches) << c.imageName;

    // Letters beyond ASCII and the characters next to A-Z do not fold.
    EXPECT_FALSE(Matches(L"\u00c9.exe", L"\u00e9.exe"));
    EXPECT_FALSE(Matches(L"[", L"{"));
    EXPECT_FALSE(Matches(L"@", L"`"));
    EXPECT_TRUE(Matches(L"\u00e9.EXE", L"\u00e9.exe"));
}

TEST(MatchImageName, ComparesAtMostTheFirst256CharactersOfTheWantedName) {
    const std::wstring name255(255, L'a');
    const std::wstring name256(256, L'a');
    const std::wstring name259(259, L'a');
    const std::wstring wanted300 = name256 + std::wstring(44, L'b');

    EXPECT_TRUE(Matches(name255, name255));
    EXPECT_FALSE(Matches(name256, name255));
    EXPECT_TRUE(Matches(name256, name256));
    EXPECT_FALSE(Matches(name255, name256));
    // A wanted name over 256 characters is cut to its first 256.
    EXPECT_TRUE(Matches(name256, wanted300));
    EXPECT_FALSE(Matches(name259, wanted300));
    const WantedImageName prepared = PrepareWantedName(wanted300.c_str());
    EXPECT_EQ(prepared.length, 256u);
}

class IsAgentRunningTest : public FakeWorldTest {};

TEST_F(IsAgentRunningTest, FindsTheAgentWhateverItsCaseAndPausesOnlyWhenItCouldBeOpened) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, OpenProcessOutcome>> processes;
        int expected;
        std::vector<std::uint32_t> pauses;
    };
    const auto opened = OpenProcessOutcome::Opened;
    const auto denied = OpenProcessOutcome::AccessDenied;
    const auto gone = OpenProcessOutcome::Gone;
    const Case cases[] = {
        {"empty list", {}, 0, {}},
        {"others only", {{L"explorer.exe", opened}, {L"KeslWebATMAgent.exe.bak", opened}}, 0, {}},
        {"found", {{L"explorer.exe", opened}, {L"KESLWEBATMAGENT.EXE", opened}}, 1, {1000}},
        {"found, access denied", {{L"keslwebatmagent.exe", denied}}, 1, {}},
        {"found, gone before the open", {{L"KeslWebATMAgent.exe", gone}}, 1, {}},
        {"stops at the first", {{L"KeslWebATMAgent.exe", opened}, {L"KeslWebATMAgent.exe", opened}}, 1, {1000}},
        {"first denied, second not visited",
         {{L"KeslWebATMAgent.exe", denied}, {L"KeslWebATMAgent.exe", opened}}, 1, {}},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        std::uint32_t id = 100;
        for (const auto& [name, outcome] : c.processes) AddProcess(id++, name, outcome);
        EXPECT_EQ(IsAgentRunning(kAgentImageNameW), c.expected) << c.name;
        EXPECT_EQ(Fake().pauses, c.pauses) << c.name;
        EXPECT_EQ(Fake().openHandles, 0) << c.name;
    }
}

TEST_F(IsAgentRunningTest, AnUnreadableProcessListMeansNoAgent) {
    AddProcess(4, L"KeslWebATMAgent.exe");
    Fake().snapshotFails = true;
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);
    EXPECT_EQ(Fake().handlesOpened, 0);

    ResetFakeWorld();
    AddProcess(4, L"KeslWebATMAgent.exe");
    Fake().firstProcessFails = true;
    EXPECT_EQ(IsAgentRunning(kAgentImageNameW), 0);
    EXPECT_EQ(Fake().handlesOpened, 1);  // the snapshot, closed again (checked on tear-down)
    EXPECT_TRUE(Fake().pauses.empty());
}

}  // namespace
