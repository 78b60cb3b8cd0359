// The real monitor on the Wine virtual desktop, driven and read as a user would.

#include "tests/e2e/clean_desktop_test.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kRunningTitle = L"Kesl銀行晶片金融卡安控元件";
const std::wstring kStoppedTitle = L"Kesl銀行晶片金融卡安控元件已關閉";
const std::wstring kAboutCaption = L"關於 Kesl銀行晶片金融卡安控元件";

class TrayProgram : public CleanDesktopTest {};

TEST_F(TrayProgram, ShowsOneIconInTheLookOfTheAgentsStateAndAHiddenWindow) {
    struct Case {
        bool agentRunning;
        const std::wstring& title;
        SlotLook look;
    };
    for (const Case& c : {Case{true, kRunningTitle, SlotLook::Colour}, Case{false, kStoppedTitle, SlotLook::Grey}}) {
        ChildProcess agent;
        if (c.agentRunning) agent = StartAgentStandIn();
        RunningMonitor monitor = StartMonitor();
        ASSERT_NE(monitor.window, nullptr);
        EXPECT_EQ(WindowText(monitor.window), c.title);
        EXPECT_FALSE(IsWindowVisible(monitor.window));
        EXPECT_TRUE(WaitForTraySlot(0, c.look)) << ToString(TraySlotLook(0));
        EXPECT_EQ(TraySlotLook(1), SlotLook::Empty) << "one entry only";

        PostMessageW(monitor.window, WM_CLOSE, 0, 0);
        EXPECT_EQ(monitor.process.WaitForExit(), 0);
        EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty));
    }
}

TEST_F(TrayProgram, TheRightButtonOpensTheFourItemMenuAndTheLeftDoesNot) {
    RunningMonitor monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));

    ClickAt(TraySlotCentre(0), false);
    ClickAt(TraySlotCentre(0), false);
    // Give a wrongly opened menu its chance to appear before saying none did.
    EXPECT_FALSE(WaitUntil([] { return FindOpenMenu() != nullptr; }, std::chrono::seconds(2)));

    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(MenuShowsItems(menu, {L"關於", L"重啟ATM安控元件", L"停止ATM安控元件", L"結束"}));
    // The same check can tell a different menu apart.
    menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(MenuShowsItems(menu, {L"關於", L"停止ATM安控元件", L"重啟ATM安控元件", L"結束"}));
}

TEST_F(TrayProgram, AboutBoxShowsItsTextsAndClosesWithEnterEscapeOrItsCloseButton) {
    RunningMonitor monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
    const DWORD id = monitor.process.info.dwProcessId;

    enum class Way { Enter, Escape, CloseButton };
    for (Way way : {Way::Enter, Way::Escape, Way::CloseButton}) {
        HWND menu = OpenTrayMenu();
        ASSERT_NE(menu, nullptr);
        ClickMenuItem(menu, 0, 4);
        HWND about = WaitForProcessWindow(id, L"#32770", kAboutCaption.c_str());
        ASSERT_NE(about, nullptr);

        const std::vector<ControlInfo> controls = DialogControls(about);
        ASSERT_EQ(controls.size(), 4u);
        EXPECT_EQ(controls[0].className, L"Static");
        EXPECT_EQ(controls[1].text, L"Kesl銀行晶片金融卡安控元件 1.0.0.7 (001)版");
        EXPECT_NE(controls[2].text.find(L"Kesl"), std::wstring::npos);
        EXPECT_EQ(controls[3].text, L"確定");
        EXPECT_EQ(controls[3].id, IDOK);

        SetForegroundWindow(about);
        switch (way) {
            case Way::Enter: PressKey(VK_RETURN); break;
            case Way::Escape: PressKey(VK_ESCAPE); break;
            case Way::CloseButton: PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); })) << static_cast<int>(way);
    }
    EXPECT_EQ(TraySlotLook(0), SlotLook::Grey);
}

TEST_F(TrayProgram, ExitRemovesTheIconAndEndsWithZero) {
    RunningMonitor monitor = StartMonitor();
    ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Grey));
    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    ClickMenuItem(menu, 3, 4);
    EXPECT_EQ(monitor.process.WaitForExit(), 0);
    EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty));
}

}  // namespace
