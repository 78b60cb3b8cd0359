#include "tests/acceptance/tray.h"

#include <shellapi.h>

#include "desktop/tray_icon.h"
#include "tests/acceptance/system.h"

namespace {

constexpr UINT kTrayCallback = WM_USER + 1;  // the monitor's callback message
constexpr UINT kRunningId = 107;
constexpr UINT kStoppedId = 129;

bool Inside(const RECT& inner, const RECT& outer) {
    RECT both{};
    return IntersectRect(&both, &inner, &outer) && EqualRect(&both, &inner);
}

// An icon of this program's, which Windows keeps hidden as it keeps any new icon unless the user
// shows them all. The shell gives every hidden icon the same place, not its own (the overflow's
// button on Windows 10): an icon at the probe's place is hidden as the probe is. An Explorer
// started anew holds none of the old one's icons: the probe is added whenever the shell lacks it.
bool AtProbesPlace(const RECT& area) {
    static OwnTrayIcon probe(0x4B45, false);
    RECT probeArea{};
    const bool held = SUCCEEDED(probe.Rect(probeArea)) || (probe.Add() && SUCCEEDED(probe.Rect(probeArea)));
    return held && EqualRect(&area, &probeArea);
}

}  // namespace

bool ShellHoldsIcon(HWND window, UINT id) {
    RECT area{};
    return SUCCEEDED(NotifyIconRect(window, id, area));
}

bool FindTrayIcon(DWORD processId, TrayIcon& icon) {
    icon.window = FindWindowOf(processId, L"KESLWEBATMMONITOR", nullptr, false);
    if (icon.window == nullptr) return false;
    // The window shows one icon; which one is asked of the shell. Wine's cannot tell (its icon is
    // then found on the screen); Windows' holding neither means there is no icon.
    icon.id = 0;
    RECT area{};
    for (UINT id : {kRunningId, kStoppedId}) {
        const HRESULT held = NotifyIconRect(icon.window, id, area);
        if (held == E_NOTIMPL) return true;
        if (SUCCEEDED(held)) icon.id = id;
    }
    return icon.id != 0;
}

IconPlace PlaceOf(const TrayIcon& icon) {
    IconPlace place;
    place.id = icon.id;
    // S_FALSE, a success, says the icon is in the overflow.
    const HRESULT found = NotifyIconRect(icon.window, icon.id != 0 ? icon.id : kRunningId, place.area);
    if (found == E_NOTIMPL) {
        place.visible = true;
        place.area = TraySlotArea(0);
        place.how = L"at the right end of Wine's taskbar (Wine has no Shell_NotifyIconGetRect)";
    } else if (found == S_OK && !AtProbesPlace(place.area) && Inside(place.area, NotificationArea())) {
        place.visible = true;
        place.how = L"in the notification area, by Shell_NotifyIconGetRect";
    } else {
        place.how = found == S_FALSE ? L"kept hidden by Windows, in the overflow (Shell_NotifyIconGetRect: S_FALSE)"
                  : SUCCEEDED(found) ? L"kept hidden by Windows (where a new icon of this program's is kept, or outside the notification area)"
                                     : L"kept hidden by Windows (Shell_NotifyIconGetRect: no place)";
    }
    return place;
}

// Windows 11 (22H2 on) reports its taskbar's window taller than the bar, and a hidden icon's place
// wrongly: an icon counts as shown only inside the notification area's own window.
RECT NotificationArea() {
    HWND area = FindWindowExW(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr, L"TrayNotifyWnd", nullptr);
    const RECT bar = Taskbar();
    return area != nullptr ? AreaOf(area) : RECT{bar.right - 320 > bar.left ? bar.right - 320 : bar.left, bar.top, bar.right, bar.bottom};
}

Look LookOf(const IconPlace& place) {
    if (!place.visible) return place.id == kRunningId ? Look::Colour : place.id == kStoppedId ? Look::Grey : Look::Empty;
    if (RunningUnderWine()) return LookIn(place.area, TaskbarColour());
    // The taskbar's colour at the icon's place, from its corner, which the icon leaves bare.
    return LookIn(place.area, PixelAt(place.area.left, place.area.top), 24);
}

bool WaitForLook(DWORD processId, Look look, IconPlace& place) {
    return WaitUntil([&] {
        TrayIcon icon;
        if (!FindTrayIcon(processId, icon)) return false;
        place = PlaceOf(icon);
        return LookOf(place) == look;
    });
}

bool WaitForIconGone(const TrayIcon& last) {
    return WaitUntil([&] {
        if (RunningUnderWine()) return TraySlot(0) == Look::Empty;
        // The shell keeps an icon whose owner did not delete it until the pointer passes over it.
        return !ShellHoldsIcon(last.window, kRunningId) && !ShellHoldsIcon(last.window, kStoppedId);
    });
}

void PressIcon(DWORD processId, const IconPlace& place, std::wstring& how) {
    if (place.visible) {
        Click(place.area, true);
        how = L"a right-click on the icon";
        return;
    }
    TrayIcon icon;
    FindTrayIcon(processId, icon);
    // The shell lets the owner of a clicked icon take the foreground; a posted press must too.
    AllowSetForegroundWindow(processId);
    PostMessageW(icon.window, kTrayCallback, icon.id, WM_RBUTTONDOWN);
    how = L"the icon's callback message (Windows keeps it hidden)";
}

HWND OpenMenu(DWORD processId, std::wstring& how) {
    // Wine drops some clicks on the tray, mostly just after the icon came back: try again. Only
    // the monitor's own menu counts: a click that lands on the taskbar opens Explorer's.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 5 && menu == nullptr; ++attempt) {
        TrayIcon icon;
        if (!FindTrayIcon(processId, icon)) return nullptr;
        PressIcon(processId, PlaceOf(icon), how);
        WaitUntil([&] { return (menu = FindWindowOf(processId, L"#32768", nullptr)) != nullptr; }, std::chrono::seconds(2));
    }
    return menu;
}

std::wstring MenuTexts(HWND menu) {
    HMENU items = reinterpret_cast<HMENU>(SendBounded(menu, MN_GETHMENU));
    std::wstring texts;
    for (int i = 0; items != nullptr && i < GetMenuItemCount(items); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(items, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        texts += (i ? L" | " : L"") + std::wstring(text);
    }
    return texts;
}

