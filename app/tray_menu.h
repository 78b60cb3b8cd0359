#pragma once
#include "platform/window_types.h"

// Shows the four-item popup menu at the cursor; the chosen command reaches owner as WM_COMMAND.
void ShowTrayMenu(WindowHandle owner);
