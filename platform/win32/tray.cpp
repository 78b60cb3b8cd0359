// The notification-area entry.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "platform/platform.h"

// The full record of the 32-bit layout, as every add and delete passes it.
static_assert(sizeof(NOTIFYICONDATAW) == 956, "NOTIFYICONDATAW must have its full 32-bit layout");
static_assert(kTrayFlagsMessageIconTip == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
static_assert(kTrayTipCapacity == sizeof(NOTIFYICONDATAW{}.szTip) / sizeof(wchar_t));

bool NotifyTray(TrayAction action, const TrayRecord& record) {
    NOTIFYICONDATAW raw{};
    raw.cbSize = sizeof raw;
    raw.hWnd = static_cast<HWND>(record.window);
    raw.uID = record.id;
    raw.uFlags = record.flags;
    raw.uCallbackMessage = record.callbackMessage;
    raw.hIcon = static_cast<HICON>(record.icon);
    std::wmemcpy(raw.szTip, record.tip, kTrayTipCapacity);
    return Shell_NotifyIconW(action == TrayAction::Add ? NIM_ADD : NIM_DELETE, &raw) != FALSE;
}
