// The real monitor and the stand-in agent on the Wine desktop, walked through as a user would.

#include "tests/e2e/desktop.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <memory>

namespace {

enum MenuItem { kAbout, kRestart, kStop, kExit };

TEST(Monitor, FollowsTheAgentOutlivesATaskbarRestartThenStopsRestartsAndExits) {
    // An agent left running, however the test ends, would hold the test runner's output open.
    struct AgentsEnded { ~AgentsEnded() { EndAllAgents(); } } agentsEnded;
    const std::string stateFolder = StateFile().substr(0, StateFile().rfind('\\'));
    DeleteFileA(stateFolder.c_str());  // a plain file a failed run left where the folder belongs
    CreateDirectoryA(stateFolder.c_str(), nullptr);
    WritePrivateProfileStringA("Settings", "Service", "0aaaaa1aaa", StateFile().c_str());
    Program agent(BuildFolder() + L"\\KeslWebATMAgent.exe");
    ASSERT_TRUE(WaitUntil([] { return CountAgents() == 1; }));

    // Start-up believes the process list: the colour icon, and the stored stop overwritten.
    std::time_t since = std::time(nullptr);
    Program monitor(BuildFolder() + L"\\KeslWebATMMonitor.exe");
    const DWORD id = monitor.info.dwProcessId;
    HWND window = WaitForWindow(id, L"KESLWEBATMMONITOR", nullptr, false);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(WaitForSlot(0, Look::Colour));
    EXPECT_TRUE(StoredSince('0', since));

    // The shell makes its taskbar anew without the icon, and tells every window. The monitor's add
    // fails then, as one the shell took but answered too late does, and is tried again.
    NOTIFYICONDATAW entry{sizeof entry, window, 107};
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &entry));
    ASSERT_TRUE(WaitForSlot(0, Look::Empty));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &entry));  // no image: the slot stays empty
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(WaitForSlot(0, Look::Colour));

    ClickMenuItem(OpenTrayMenu(), kAbout);
    HWND about = WaitForWindow(id, L"#32770", L"關於 Kesl銀行晶片金融卡安控元件");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(GetWindowLongW(about, GWL_STYLE) & WS_SYSMENU) << "a close button";
    std::vector<std::wstring> texts;
    for (HWND c = GetWindow(about, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) texts.push_back(TextOf(c));
    // The icon control names its icon by number: 0xFFFF, then 107.
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"\xFFFFk", L"Kesl銀行晶片金融卡安控元件 1.0.0.7 (001)版",
                                                L"Copyright (C) 2026 Kesl銀行 版權所有", L"確定"}));
    EXPECT_TRUE(ClickButton(about, IDOK));

    // Chooses item from the tray menu and returns what the message box that answers says.
    HWND box = nullptr;
    auto choose = [&](MenuItem item) {
        ClickMenuItem(OpenTrayMenu(), item);
        box = WaitForWindow(id, L"#32770", L"Kesl銀行");
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK alone: what is done cannot be called off";
        return TextOf(GetDlgItem(box, 0xFFFF));
    };

    // Stop ends the agent, and once the box is dismissed records the choice, making way for the
    // state folder where a plain file stands.
    DeleteFileA(StateFile().c_str());
    RemoveDirectoryA(stateFolder.c_str());
    CloseHandle(CreateFileA(stateFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_EQ(choose(kStop), L"停止ATM安控元件成功");
    EXPECT_EQ(CountAgents(), 0);
    // The box, lost behind another window, comes to the front at a press on the icon.
    HWND other = CreateWindowW(L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SetForegroundWindow(other));
    Click(FirstTrayIcon(), true);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }));
    DestroyWindow(other);
    since = std::time(nullptr);
    ASSERT_TRUE(ClickButton(box, IDOK));
    ASSERT_TRUE(WaitForSlot(0, Look::Grey));
    EXPECT_TRUE(StoredSince('1', since));

    ASSERT_EQ(choose(kRestart), L"重啟ATM安控元件成功");
    EXPECT_TRUE(WaitUntil([] { return CountAgents() == 1; }));
    since = std::time(nullptr);
    ASSERT_TRUE(ClickButton(box, IDOK));
    ASSERT_TRUE(WaitForSlot(0, Look::Colour));
    EXPECT_TRUE(StoredSince('0', since));
    EXPECT_TRUE(WaitForSlot(1, Look::Empty)) << "one icon only";

    ClickMenuItem(OpenTrayMenu(), kExit);
    EXPECT_EQ(monitor.WaitForExit(), 0);
    EXPECT_TRUE(WaitForSlot(0, Look::Empty));
}

}  // namespace
