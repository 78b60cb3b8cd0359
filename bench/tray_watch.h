#pragma once
// The notification area of Wine's taskbar as the user sees it: how many icons it shows, read from
// the screen in one capture so that it can be polled every few milliseconds.

#include <windows.h>
#include <shellapi.h>

// The number of slots, counted from the right end of the notification area, that show an icon
// before the first empty one (at most maxSlots); 0 while the taskbar is hidden, as Wine keeps it
// while no program has an icon.
int ShownTrayIcons(int maxSlots = 8);

// An icon of the driver's own, added and removed at will. One kept for the whole run holds the
// taskbar on screen, so that the programs' icons are never the ones that bring it up.
class DriverTrayIcon {
public:
    explicit DriverTrayIcon(unsigned id);
    ~DriverTrayIcon();
    DriverTrayIcon(const DriverTrayIcon&) = delete;
    DriverTrayIcon& operator=(const DriverTrayIcon&) = delete;
    void Add();
    void Remove();

private:
    HWND owner_;
    unsigned id_;
    bool added_ = false;
};