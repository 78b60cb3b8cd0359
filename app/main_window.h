#pragma once
// The hidden main window: it owns the tray entry and receives every command.

#include "platform/window_types.h"

// Registers the class, creates the hidden window, adds the tray entry in the start-up
// presentation and runs the message loop. titleChoice is the string number Reconcile returned.
// Returns the program's exit code.
int RunMainWindow(int titleChoice);

MessageResult MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);
