#pragma once
// The monitor's icon as a user meets it: found in the real notification area, its look read from
// the screen, and pressed with the right button. Where Windows keeps the icon hidden in the
// overflow, its look is told by its identifier and it is pressed through its own callback message
// instead; under Wine, which has no Shell_NotifyIconGetRect, it is found at the right end of
// Wine's taskbar.

#include <windows.h>

#include <string>

#include "desktop/desktop.h"

struct TrayIcon {
    HWND window = nullptr;  // the monitor's hidden window, which owns the icon
    UINT id = 0;            // 107 in colour (running), 129 in greys (stopped); 0 where the shell cannot say
};

// Whether the shell holds an icon of window under id (Windows 7 on; never under Wine).
bool ShellHoldsIcon(HWND window, UINT id);

// The monitor's icon as it is now: its window (owned by processId) and the identifier it shows
// (0 under Wine, whose shell cannot say); false when there is none.
bool FindTrayIcon(DWORD processId, TrayIcon& icon);

struct IconPlace {
    bool visible = false;  // in the notification area, where a user can see and click it
    UINT id = 0;           // the identifier the shell holds (TrayIcon's)
    RECT area{};
    std::wstring how;      // how it was found, for the report
};
IconPlace PlaceOf(const TrayIcon& icon);
// The notification area's own window where the taskbar has one, else the taskbar's right end.
RECT NotificationArea();

// The icon's look: on the screen where it is visible (Empty when it is not drawn where it should
// be), else by the identifier the shell holds.
Look LookOf(const IconPlace& place);
// Waits (30 s at most) until the monitor of processId shows an icon of that look.
bool WaitForLook(DWORD processId, Look look, IconPlace& place);
// Waits (30 s at most) until the icon that window showed has gone from the notification area.
bool WaitForIconGone(const TrayIcon& last);

// A right-button press on the icon: a real click where it is visible, else its callback message.
// how says which.
void PressIcon(DWORD processId, const IconPlace& place, std::wstring& how);
// Presses the icon until its menu opens (a few tries); the menu's window, or null.
HWND OpenMenu(DWORD processId, std::wstring& how);
// The menu's items, as their texts.
std::wstring MenuTexts(HWND menu);
