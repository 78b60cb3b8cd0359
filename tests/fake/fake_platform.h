#pragma once
// An in-memory operating system for the native tests. Every platform call that does something
// is written to a journal, one line each ("pause 1500", "tray add 107 ..."), so that a test can
// state a whole flow, its order included, as the lines it expects.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct FakeProcess {
    std::uint32_t id = 0;
    std::wstring imageName;
    OpenProcessOutcome openOutcome = OpenProcessOutcome::Opened;
    bool terminationRefused = false;
    bool running = true;
};

// A message delivered to the main window: WM_COMMAND carries its command in wParam, the tray
// callback its notification in lParam.
struct FakeMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct FakeWorld {
    HResult appDataResult = kSOk;
    std::string appDataPath = "C:\\Users\\user\\AppData\\Roaming";
    HResult programFilesResult = kSOk;
    std::string programFilesPath = "C:\\Program Files (x86)";

    // Files and folders by exact path; a file's text is what the profile functions read and write.
    std::map<std::string, std::string> files;
    std::map<std::string, bool> folders;

    std::vector<FakeProcess> processes;
    bool snapshotFails = false;
    bool firstProcessFails = false;
    std::intptr_t shellResult = 42;
    std::int64_t now = 1700000000;
    int openHandles = 0;

    bool windowCreationFails = false;
    WindowProcedure procedure = nullptr;
    bool windowDestroyed = false;
    std::deque<FakeMessage> queued;               // delivered by the message loop
    std::deque<FakeMessage> whileMessageBoxOpen;  // delivered by the first message box's loop
    std::map<std::pair<WindowHandle, std::uint32_t>, TrayRecord> trayIcons;  // shown now

    std::vector<std::string> journal;
};

FakeWorld& Fake();
MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
void AddProcess(std::uint32_t id, const std::wstring& imageName);
std::string StateFilePath();  // %APPDATA%\KESL\info.ini in the fake world
std::string StoredValue();    // the Service value the fake's profile reader finds, or ""
// The journal lines that begin with any of prefixes.
std::vector<std::string> JournalOf(std::initializer_list<const char*> prefixes);

// Every test starts from a fresh world and must leave no handle open.
class FakeWorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { EXPECT_EQ(Fake().openHandles, 0) << "a handle was left open"; }
};
