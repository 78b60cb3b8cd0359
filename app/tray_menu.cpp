#include "app/tray_menu.h"

#include "app/tray_entry.h"
#include "platform/platform.h"
#include "res/resource.h"

namespace {

struct MenuItem {
    unsigned command;
    const wchar_t* text;
};

constexpr MenuItem kTrayMenuItems[] = {
    {IDM_ABOUT, L"關於"},
    {IDM_RESTART_AGENT, L"重啟ATM安控元件"},
    {IDM_STOP_AGENT, L"停止ATM安控元件"},
    {IDM_EXIT, L"結束"},
};

}  // namespace

void ShowTrayMenu(WindowHandle owner) {
    const ScreenPoint cursor = CursorScreenPosition();
    MenuHandle menu = CreatePopup();
    for (const MenuItem& item : kTrayMenuItems) AppendMenuItem(menu, item.command, item.text);

    // Without the foreground the menu would not close when the user clicks elsewhere.
    BringToForeground(owner);
    const unsigned chosen = TrackPopup(menu, cursor, owner);
    DestroyPopup(menu);
    // Lets the menu's loop see a message, so that it closes properly the next time.
    PostWindowMessage(owner, kMsgNull, 0, 0);
    if (chosen != 0) {
        PostWindowMessage(owner, kMsgCommand, chosen, 0);
    } else {
        // Cancelled, the menu would leave the hidden window in the foreground, where a key meant
        // for another window (Alt+F4) would end the program.
        GiveFocusToNotificationArea();
    }
}
