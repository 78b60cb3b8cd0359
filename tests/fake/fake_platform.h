#pragma once
// An in-memory operating system for the native tests, and the program on it. Every platform call
// that does something is written to a journal, one line each ("pause 1500", "tray add 107 ..."),
// so that a test can state a whole flow, its order included, as the lines it expects.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/reconcile.h"
#include "app/tray_entry.h"
#include "platform/platform.h"
#include "platform/sessions.h"
#include "res/resource.h"

struct FakeProcess {
    std::uint32_t id = 0;
    std::wstring imageName;
    OpenProcessOutcome openOutcome = OpenProcessOutcome::Opened;
    bool terminationRefused = false;
    bool endsBeforeTerminate = false;  // exits on its own just before it would be ended
    std::wstring imageNow = {};        // another program's, once the number has been reused
    bool imageUnreadable = false;
    bool running = true;
    // The install's view: the program's full path, and the session and user it runs in.
    std::wstring path = {};
    std::uint32_t session = 1;
    std::wstring userSid = L"S-1-5-21-7-1001";
    bool closesWhenAsked = true;
    bool askedToClose = false;
    std::uint32_t exitCode = 0;  // once it has ended
};

// A message for the main window: a command in wParam, a tray notification in lParam.
struct FakeMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct FakeWorld {
    HResult appDataResult = kSOk;
    std::string appDataPath = "C:\\Users\\user\\AppData\\Roaming";
    std::map<std::string, std::string> files;  // by path: the text the profile functions read and write
    std::set<std::string> folders = {appDataPath, "C:\\Program Files (x86)"};

    std::vector<FakeProcess> processes;
    bool firstProcessFails = false;
    std::intptr_t shellResult = 42;
    std::int64_t now = 1700000000;
    int openHandles = 0;
    std::map<OsHandle, std::vector<FakeProcess>> snapshots;  // the rows each has yet to give
    std::map<OsHandle, std::uint32_t> processHandles;        // the process each handle opens

    WindowProcedure procedure = nullptr;
    bool windowDestroyed = false;
    std::deque<FakeMessage> queued;  // delivered by the message loop, and by a message box's
    int refusedTrayAdds = 0;         // how many of the next tray adds the shell does not take
    unsigned menuChoice = 0;         // the command the user picks from the tray menu; 0 cancels it

    // The user logged on to each session ("" when none is); a session not listed has ended.
    std::map<std::uint32_t, std::wstring> sessionUsers = {{1, L"S-1-5-21-7-1001"}};
    std::map<OsHandle, MonitorSession> tokens;  // the session and user of each token
    std::vector<MonitorSession> recorded;
    std::map<OsHandle, bool> started;  // the programs the hand-over started, and whether each has ended
    std::uint32_t nextProcessId = 900;
    std::uint32_t taskkillExitCode = 0;
    std::vector<std::wstring> installLog;

    std::vector<std::wstring> journal;
};

FakeWorld& Fake();
MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

// Every test starts from a fresh world and must leave no handle open.
class FakeWorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { EXPECT_EQ(Fake().openHandles, 0) << "a handle was left open"; }
};

using Lines = std::vector<std::wstring>;
constexpr std::uint32_t kTaskbarCreated = 0xC0DE;  // the fake's number for "TaskbarCreated"

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline const std::string kStateFolder = "C:\\Users\\user\\AppData\\Roaming\\KESL";
inline const std::wstring kStateFolderW = L"C:\\Users\\user\\AppData\\Roaming\\KESL";
inline const std::wstring kWrite = L"write " + kStateFolderW + L"\\info.ini [Settings] Service=";

// Starts the program as wWinMain does; its loop returns -1 unless the window was destroyed.
inline int StartProgram() { return RunMainWindow(Reconcile()); }
