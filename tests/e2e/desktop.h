#pragma once
// What a user sees and does on the Wine virtual desktop: the tray icons in the taskbar, mouse
// clicks and key presses, menus and dialogs, read from the real windows.

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win32/win32_test_support.h"

enum class SlotLook { Empty, Colour, Grey };
const char* ToString(SlotLook look);

// The look of the tray icon slot index, counted from the right end of the notification area.
SlotLook TraySlotLook(int index);
POINT TraySlotCentre(int index);
// Waits until the slot shows look; returns whether it did in time.
bool WaitForTraySlot(int index, SlotLook look);

void ClickAt(POINT point, bool rightButton);
void MovePointer(POINT point);
void PressKey(WORD virtualKey);

// The first visible top-level window of the class (and title, when given) owned by process.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr,
                       bool visibleOnly = true);
HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr);
std::wstring WindowText(HWND window);

// The popup menu on screen, if any.
HWND FindOpenMenu();
// Right-clicks the first tray slot and returns the menu that opens, or null.
HWND OpenTrayMenu();
// Whether the open menu shows exactly these items, in this order. Closes it.
bool MenuShowsItems(HWND menuWindow, const std::vector<std::wstring>& texts);
// Clicks item index of a menu of count items.
void ClickMenuItem(HWND menuWindow, int index, int count);

struct ControlInfo {
    std::wstring className;
    std::wstring text;
    int id;
};
std::vector<ControlInfo> DialogControls(HWND dialog);

// A message box with the program's caption shown by process, and what it says.
HWND WaitForMessageBox(DWORD processId);
std::wstring MessageBoxText(HWND box);
// Clicks the box's OK button and waits until the box has gone.
bool PressOk(HWND box);

// An agent stand-in started from the build folder, once it is in the process list; not started
// when it did not show there in time.
ChildProcess StartAgentStandIn();

// The monitor, started from the build folder, with its hidden window found.
struct RunningMonitor {
    ChildProcess process;
    HWND window = nullptr;
};
RunningMonitor StartMonitor();
// Whether the monitor has handled every message sent before, within a generous bound.
bool MonitorHasSettled(HWND window);
