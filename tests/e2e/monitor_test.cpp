// The real monitor on the Wine virtual desktop, with the stand-in agent installed, walked through
// as a user would: one launch a story, everything on the way checked.

#include "tests/e2e/desktop.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <ctime>
#include <memory>

namespace {

const std::wstring kRunningTitle = L"Kesl銀行晶片金融卡安控元件";
const std::wstring kStoppedTitle = L"Kesl銀行晶片金融卡安控元件已關閉";
const std::wstring kAgent = L"\\KeslWebATMAgent.exe";
enum MenuItem { kAbout, kRestart, kStop, kExit };

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllAgents();
        DeleteFileA((StateFolder() + "\\info.ini").c_str());
        const std::wstring folder = InstallFolder();
        CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const std::wstring& name : {kAgent, std::wstring(L"\\KeslTerminateService.exe")}) {
            ASSERT_TRUE(CopyFileW((BuildFolder() + name).c_str(), (folder + name).c_str(), FALSE));
        }
        ASSERT_TRUE(WaitForSlot(0, Look::Empty)) << "an icon is left from before";
    }
    void TearDown() override { EndAllAgents(); }

    // The monitor's hidden window, which is never visible.
    HWND HiddenWindow() { return WaitForWindow(monitor->info.dwProcessId, L"KESLWEBATMMONITOR", nullptr, false); }

    // Chooses item from the tray menu and returns the message box that answers it.
    HWND Choose(MenuItem item) {
        HWND menu = OpenTrayMenu();
        if (menu == nullptr) return nullptr;
        ClickMenuItem(menu, item);
        return WaitForWindow(monitor->info.dwProcessId, L"#32770", L"Kesl銀行");
    }

    std::unique_ptr<Program> monitor;
};

TEST_F(Monitor, FollowsTheAgentThenStopsRestartsAndExitsFromItsMenu) {
    CreateDirectoryA(StateFolder().c_str(), nullptr);
    WritePrivateProfileStringA("Settings", "Service", "0aaaaa1aaa", (StateFolder() + "\\info.ini").c_str());
    Program first(BuildFolder() + kAgent), second(BuildFolder() + kAgent);
    ASSERT_TRUE(WaitUntil([] { return AgentImagePaths().size() == 2; }));
    std::time_t since = std::time(nullptr);
    monitor = std::make_unique<Program>(BuildFolder() + L"\\KeslWebATMMonitor.exe");

    // Start-up believes the process list: the colour icon, and the stored stop overwritten.
    HWND window = HiddenWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), kRunningTitle);
    ASSERT_TRUE(WaitForSlot(0, Look::Colour));
    EXPECT_TRUE(StoredSince('0', since));
    EXPECT_EQ(AgentImagePaths().size(), 2u);

    ClickMenuItem(OpenTrayMenu(), kAbout);
    HWND about = WaitForWindow(monitor->info.dwProcessId, L"#32770", L"關於 Kesl銀行晶片金融卡安控元件");
    ASSERT_NE(about, nullptr);
    // The icon control names its icon by number: 0xFFFF, then 107.
    EXPECT_EQ(ControlTexts(about), (std::vector<std::wstring>{L"\xFFFFk", L"Kesl銀行晶片金融卡安控元件 1.0.0.7 (001)版",
                                                              L"Copyright (C) 2026 Kesl銀行 版權所有", L"確定"}));
    EXPECT_TRUE(ClickButton(about, IDOK));

    // Stop ends both agents; the choice is recorded only once the box is dismissed.
    std::string file = ReadStateFile();
    HWND box = Choose(kStop);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), L"停止ATM安控元件成功");
    EXPECT_TRUE(AgentImagePaths().empty());
    EXPECT_EQ(ReadStateFile(), file);
    since = std::time(nullptr);
    ASSERT_TRUE(ClickButton(box, IDOK));
    EXPECT_TRUE(WaitForSlot(0, Look::Grey));
    EXPECT_TRUE(StoredSince('1', since));

    // Restart launches the installed agent.
    box = Choose(kRestart);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), L"重啟ATM安控元件成功");
    EXPECT_TRUE(WaitUntil([] { return AgentImagePaths().size() == 1; }));
    EXPECT_EQ(AgentImagePaths(), std::vector<std::wstring>{InstallFolder() + kAgent});
    since = std::time(nullptr);
    ASSERT_TRUE(ClickButton(box, IDOK));
    EXPECT_TRUE(WaitForSlot(0, Look::Colour));
    EXPECT_TRUE(StoredSince('0', since));
    EXPECT_EQ(TraySlot(1), Look::Empty) << "one icon only";

    // A Restart that finds the agent's program emptied says so and changes nothing.
    EndAllAgents();
    HANDLE emptied = CreateFileW((InstallFolder() + kAgent).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(emptied, INVALID_HANDLE_VALUE);
    CloseHandle(emptied);
    file = ReadStateFile();
    box = Choose(kRestart);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), L"重啟AT安控M元件失敗,請再重新啟動ATM安控元件");
    ASSERT_TRUE(ClickButton(box, IDOK));
    EXPECT_EQ(ReadStateFile(), file);
    EXPECT_EQ(TraySlot(0), Look::Colour);

    ClickMenuItem(OpenTrayMenu(), kExit);
    EXPECT_EQ(monitor->WaitForExit(), 0);
    EXPECT_TRUE(WaitForSlot(0, Look::Empty));
}

TEST_F(Monitor, WithoutTheAgentRecordsTheStopAndOutlivesATaskbarRestart) {
    // A plain file where the state folder belongs makes way for the folder.
    RemoveDirectoryA(StateFolder().c_str());
    CloseHandle(CreateFileA(StateFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::time_t since = std::time(nullptr);
    monitor = std::make_unique<Program>(BuildFolder() + L"\\KeslWebATMMonitor.exe");
    HWND window = HiddenWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), kStoppedTitle);
    EXPECT_TRUE(WaitForSlot(0, Look::Grey));
    EXPECT_TRUE(StoredSince('1', since));

    // The shell makes its taskbar anew without the icon, and tells every window.
    NOTIFYICONDATAW entry{};
    entry.cbSize = sizeof entry;
    entry.hWnd = window;
    entry.uID = 129;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &entry));
    ASSERT_TRUE(WaitForSlot(0, Look::Empty));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitForSlot(0, Look::Grey));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(monitor->WaitForExit(), 0);
    EXPECT_TRUE(WaitForSlot(0, Look::Empty));
}

}  // namespace
