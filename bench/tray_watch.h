#pragma once
// The notification area of Wine's taskbar as the user sees it: how many icons it shows, read from
// the screen in one capture so that it can be polled every few milliseconds.

#include <windows.h>

// The number of slots, counted from the right end of the notification area, that show an icon
// before the first empty one (at most maxSlots); 0 while the taskbar is hidden, as Wine keeps it
// while no program has an icon.
int ShownTrayIcons(int maxSlots = 8);
