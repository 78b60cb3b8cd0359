#pragma once
#include "platform/window_types.h"

// Shows the About box and returns when the user closes it.
void ShowAboutBox(WindowHandle owner);

std::intptr_t AboutDialogProc(WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);
