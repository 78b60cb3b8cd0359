#pragma once
// Message boxes of another process, found and answered as a user would.

#include <windows.h>

// The visible message box (dialog class #32770) of the process with this caption, if any.
HWND FindMessageBox(DWORD processId, const wchar_t* caption);

// Presses the box's OK button (control 1); returns whether the box then went away in time.
bool PressOk(HWND box);
