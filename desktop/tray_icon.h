#pragma once
// Icons in the notification area: where the shell keeps one, and an icon of the driving program's
// own, added and removed at will.

#include <windows.h>

// Shell_NotifyIconGetRect, looked up (Windows 7 on): the icon's place on the screen. Wine 8 has it
// only as a stub (E_NOTIMPL), and Windows gives a hidden icon a place that is not its own.
HRESULT NotifyIconRect(HWND window, UINT id, RECT& area);

// An icon owned by a window of this program's (a message-only one by default, which takes no
// broadcasts that a busy thread would not answer).
class OwnTrayIcon {
public:
    explicit OwnTrayIcon(unsigned id, bool messageOnly = true);
    ~OwnTrayIcon();
    OwnTrayIcon(const OwnTrayIcon&) = delete;
    OwnTrayIcon& operator=(const OwnTrayIcon&) = delete;
    bool Add();
    void Remove();
    HRESULT Rect(RECT& area) const { return NotifyIconRect(owner_, id_, area); }

private:
    HWND owner_;
    unsigned id_;
    bool added_ = false;
};
