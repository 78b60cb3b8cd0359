// Start-up when the place of the state file cannot be written: the monitor follows the process
// list all the same, reports nothing and changes nothing on disk.

#include <gtest/gtest.h>
#include <shlobj.h>

#include "tests/sweep/sweep_support.h"
#include "tests/sweep/unwritable_places.h"

namespace {

// Each disagrees with the process list it is paired with below, so start-up tries to write.
const std::string kStoredRunning = "[Settings]\r\nService=0aaaaa0aaa\r\n";
const std::string kStoredStopped = "[Settings]\r\nService=0aaaaa1aaa\r\n";

// The application-data folder, known even while it is missing, and where it is moved to.
std::string AppDataFolder() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
std::string MovedAppDataFolder() { return AppDataFolder() + ".moved-away"; }
std::string ProfileFolder() { return AppDataFolder().substr(0, AppDataFolder().find_last_of('\\')); }
std::string StateFolder() { return AppDataFolder() + "\\KESL"; }
std::string StateFile() { return StateFolder() + "\\info.ini"; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Undoes every arrangement below, also one left by an interrupted run.
void RestoreEverything() {
    if (!Exists(AppDataFolder()) && Exists(MovedAppDataFolder())) {
        MoveFileA(MovedAppDataFolder().c_str(), AppDataFolder().c_str());
    }
    for (const std::string& path : {StateFile(), StateFolder()}) {
        if (Exists(path) && !CanWrite(path)) SetUnwritable(path, false);
    }
    SetFileAttributesA(StateFolder().c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveStateFile();
    RemoveDirectoryA(StateFolder().c_str());
}

class UnwritablePlaces : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllAgents();
        RestoreEverything();
        ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << "a tray icon is left from before";
    }
    void TearDown() override {
        EndAllAgents();
        RestoreEverything();
    }
};

TEST_F(UnwritablePlaces, TheMonitorFollowsTheProcessListSilentlyAndTouchesNothing) {
    struct Case {
        const char* name;
        bool (*arrange)();  // returns whether the place really cannot be written
        bool agentRunning;
    };
    const Case cases[] = {
        {"info.ini says Running and cannot be written, no agent", [] {
             PutStateFileBytes(kStoredRunning);
             return SetUnwritable(StateFile(), true);
         }, false},
        {"info.ini says Stopped and cannot be written, the agent runs", [] {
             PutStateFileBytes(kStoredStopped);
             return SetUnwritable(StateFile(), true);
         }, true},
        {"the KESL folder is empty and cannot be written, no agent", [] {
             CreateDirectoryA(StateFolder().c_str(), nullptr);
             return SetUnwritable(StateFolder(), true);
         }, false},
        {"KESL is a read-only plain file, which start-up cannot remove, no agent", [] {
             HANDLE file = CreateFileA(StateFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_READONLY, nullptr);
             DWORD written = 0;
             WriteFile(file, "in the way", 10, &written, nullptr);
             CloseHandle(file);
             return (GetFileAttributesA(StateFolder().c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
         }, false},
        {"the application-data folder is missing, no agent", [] {
             return MoveFileA(AppDataFolder().c_str(), MovedAppDataFolder().c_str()) && !Exists(AppDataFolder());
         }, false},
        {"the application-data folder is missing, the agent runs", [] {
             return MoveFileA(AppDataFolder().c_str(), MovedAppDataFolder().c_str()) && !Exists(AppDataFolder());
         }, true},
    };
    for (const Case& c : cases) {
        RestoreEverything();
        ChildProcess agent;
        if (c.agentRunning) agent = StartAgentStandIn();
        ASSERT_TRUE(c.arrange()) << c.name << ": could not be arranged";
        const std::string before = FolderTreeListing(ProfileFolder());

        const SlotLook look = c.agentRunning ? SlotLook::Colour : SlotLook::Grey;
        const MonitorRun run = RunMonitorOnce(look);
        ASSERT_TRUE(run.windowFound) << c.name;
        EXPECT_EQ(run.look, look) << c.name << ": " << ToString(run.look);
        EXPECT_EQ(run.occupiedSlots, 1) << c.name;
        EXPECT_FALSE(run.dialogShown) << c.name;
        EXPECT_EQ(run.exitCode, 0) << c.name;
        ASSERT_TRUE(run.slotEmptyAfterwards) << c.name;
        EXPECT_EQ(FolderTreeListing(ProfileFolder()), before) << c.name;
    }
}

}  // namespace
