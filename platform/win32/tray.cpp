// The notification-area entry.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "platform/platform.h"

// The full record, as every add and delete passes it: 956 bytes in the 32-bit program that ships,
// 976 in its 64-bit twin.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976), "NOTIFYICONDATAW must have its full layout");
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
    const DWORD message = action == TrayAction::Add ? NIM_ADD : action == TrayAction::Delete ? NIM_DELETE : NIM_SETFOCUS;
    return Shell_NotifyIconW(message, &raw) != FALSE;
}
