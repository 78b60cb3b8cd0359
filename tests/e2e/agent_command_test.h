#pragma once
// The real monitor with the stand-ins installed, driven through its tray menu: what each command's
// message box says, and what the state file holds once it is dismissed.

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "tests/common/stored_value.h"
#include "tests/e2e/clean_desktop_test.h"

inline const std::wstring kRestartSucceeded = L"重啟ATM安控元件成功";
inline const std::wstring kRestartFailed = L"重啟AT安控M元件失敗,請再重新啟動ATM安控元件";
inline const std::wstring kStopSucceeded = L"停止ATM安控元件成功";
inline constexpr int kRestartItem = 1;
inline constexpr int kStopItem = 2;

class AgentCommandTest : public CleanDesktopTest {
protected:
    void SetUp() override {
        CleanDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(InstallStandIns());
    }
    void TearDown() override {
        if (monitor.window != nullptr) {
            PostMessageW(monitor.window, WM_CLOSE, 0, 0);
            EXPECT_EQ(monitor.process.WaitForExit(), 0);
            EXPECT_TRUE(WaitForTraySlot(0, SlotLook::Empty));
        }
        CleanDesktopTest::TearDown();
        InstallStandIns();
    }

    // Chooses item from the tray menu and returns the message box that answers it.
    HWND Choose(int item) {
        HWND menu = OpenTrayMenu();
        EXPECT_NE(menu, nullptr);
        if (menu == nullptr) return nullptr;
        ClickMenuItem(menu, item, 4);
        return WaitForMessageBox(monitor.process.info.dwProcessId);
    }

    // Dismisses box and checks that the stored value is one written for stateDigit just now.
    void DismissAndExpectRecorded(HWND box, char stateDigit) {
        const std::int64_t before = std::time(nullptr);
        ASSERT_TRUE(PressOk(box));
        ASSERT_TRUE(MonitorHasSettled(monitor.window));
        const std::string value = ReadStoredValue();
        EXPECT_TRUE(IsStoredValueWrittenBetween(value, stateDigit, before, std::time(nullptr))) << value;
    }

    RunningMonitor monitor;
};
