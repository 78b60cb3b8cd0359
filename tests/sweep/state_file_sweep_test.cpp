// Start-up over a few hundred generated state files: each is read as the profile rules say, and
// the file is rewritten only when it disagrees with the process list.

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>

#include "agent/agent_names.h"
#include "app/reconcile.h"
#include "res/resource.h"
#include "tests/common/stored_value.h"
#include "tests/sweep/generated_state_files.h"
#include "tests/e2e/clean_desktop_test.h"
#include "tests/sweep/sweep_support.h"

namespace {

constexpr ServiceState kUntouched = 42;  // a value no read produces

class StateFileSweep : public CleanDesktopTest {
protected:
    // What the file must hold after start-up, given what it held before and the process list.
    static void ExpectRewrittenOnlyOnDisagreement(const GeneratedStateFile& file, bool agentRunning,
                                                  std::int64_t from, std::int64_t to, const std::string& label) {
        const bool storedRunning = file.stored != StoredState::Stopped;
        const std::string after = ReadWholeFile(StateFilePathA());
        if (storedRunning == agentRunning) {
            EXPECT_TRUE(after == file.bytes) << label << ": rewritten although it agreed";
        } else {
            const std::string value = ReadStoredValue();
            EXPECT_TRUE(IsStoredValueWrittenBetween(value, agentRunning ? '0' : '1', from, to))
                << label << ": holds \"" << value << "\"";
        }
    }
};

std::string Label(const GeneratedStateFile& file, std::size_t index, const char* world = "") {
    std::ostringstream label;
    label << '#' << index << ' ' << file.name << " (" << ToString(file.stored) << ')' << world;
    return label.str();
}

TEST_F(StateFileSweep, StartUpReadsEveryContentAndRewritesOnlyOnDisagreement) {
    // The program's own read and reconciliation over the real profile functions, in this
    // process; no agent runs, so the probe answers at once.
    ASSERT_EQ(CountProcessesNamed(kAgentImageNameW), 0);
    const std::vector<GeneratedStateFile> files = GenerateStateFiles();
    ASSERT_GE(files.size(), 250u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const GeneratedStateFile& file = files[i];
        const std::string label = Label(file, i);
        PutStateFileBytes(file.bytes);

        ServiceState state = kUntouched;
        const ResultCode read = ReadServiceState(&state);
        if (file.stored == StoredState::Empty) {
            EXPECT_EQ(read, RESULT_FILE_EMPTY) << label;
            EXPECT_EQ(state, kUntouched) << label;
        } else {
            EXPECT_EQ(read, RESULT_OK) << label;
            EXPECT_EQ(state == kServiceRunning, file.stored == StoredState::Running) << label << ": read " << state;
        }

        const std::int64_t from = std::time(nullptr);
        EXPECT_EQ(Reconcile(), IDS_TIP_STOPPED) << label;
        const std::int64_t to = std::time(nullptr);
        EXPECT_NE(StartupState(), kServiceRunning) << label;
        ExpectRewrittenOnlyOnDisagreement(file, false, from, to, label);
    }
}

TEST_F(StateFileSweep, TheMonitorStartsOverASampleOfThemWithAndWithoutTheAgent) {
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << "a tray icon is left from before";
    const std::vector<GeneratedStateFile> files = GenerateStateFiles();
    // Every sixth content, and every one of a megabyte or more, with no agent; every
    // twenty-fourth other one with the agent running (each probe that finds it pauses a second).
    auto sampled = [&](std::size_t i, bool agentRunning) {
        if (agentRunning) return i % 24 == 3;
        return i % 6 == 0 || files[i].bytes.size() >= 1'000'000;
    };
    int runs = 0;
    for (bool agentRunning : {false, true}) {
        ChildProcess agent;
        if (agentRunning) agent = StartAgentStandIn();
        const SlotLook look = agentRunning ? SlotLook::Colour : SlotLook::Grey;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!sampled(i, agentRunning)) continue;
            ++runs;
            const GeneratedStateFile& file = files[i];
            const std::string label = Label(file, i, agentRunning ? ", agent running" : ", no agent");
            PutStateFileBytes(file.bytes);

            const std::int64_t from = std::time(nullptr);
            const MonitorRun run = RunMonitorOnce(look);
            const std::int64_t to = std::time(nullptr);
            ASSERT_TRUE(run.windowFound) << label;
            EXPECT_EQ(run.look, look) << label << ": " << ToString(run.look);
            EXPECT_EQ(run.occupiedSlots, 1) << label;
            EXPECT_FALSE(run.dialogShown) << label;
            EXPECT_EQ(run.exitCode, 0) << label;
            ASSERT_TRUE(run.slotEmptyAfterwards) << label << ": the icon outlived the program";
            ExpectRewrittenOnlyOnDisagreement(file, agentRunning, from, to, label);
        }
    }
    EXPECT_GE(runs, 40);
}

}  // namespace
