#include "tests/acceptance/tray.h"

#include <shellapi.h>

#include "tests/acceptance/system.h"

namespace {

constexpr UINT kTrayCallback = WM_USER + 1;  // the monitor's callback message
constexpr UINT kRunningId = 107;
constexpr UINT kStoppedId = 129;

using GetRectProc = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);

// Shell_NotifyIconGetRect, looked up: Windows 7 on; Wine 8 has it only as a stub.
HRESULT IconRect(const TrayIcon& icon, RECT& area) {
    const auto getRect = reinterpret_cast<GetRectProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect")));
    if (getRect == nullptr) return E_NOTIMPL;
    NOTIFYICONIDENTIFIER identifier{sizeof identifier, icon.window, icon.id, {}};
    return getRect(&identifier, &area);
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top && inner.bottom <= outer.bottom &&
           inner.right > inner.left && inner.bottom > inner.top;
}

}  // namespace

bool ShellHoldsIcon(HWND window, UINT id) {
    RECT area{};
    return SUCCEEDED(IconRect({window, id}, area));
}

bool FindTrayIcon(DWORD processId, TrayIcon& icon) {
    icon.window = FindWindowOf(processId, L"KESLWEBATMMONITOR", nullptr, false);
    if (icon.window == nullptr) return false;
    // The window shows one icon; which one is asked of the shell, then of the screen under Wine.
    for (UINT id : {kRunningId, kStoppedId}) {
        RECT area{};
        if (SUCCEEDED(IconRect({icon.window, id}, area))) {
            icon.id = id;
            return true;
        }
    }
    icon.id = 0;
    return true;
}

IconPlace PlaceOf(const TrayIcon& icon) {
    IconPlace place;
    RECT area{};
    const HRESULT found = icon.id != 0 ? IconRect(icon, area) : IconRect({icon.window, kRunningId}, area);
    if (found == E_NOTIMPL || (icon.id == 0 && RunningUnderWine())) {
        place.visible = true;
        place.area = TraySlotArea(0);
        place.how = L"at the right end of Wine's taskbar (Wine has no Shell_NotifyIconGetRect)";
    } else if (SUCCEEDED(found) && Inside(area, Taskbar())) {
        place.visible = true;
        place.area = area;
        place.how = L"on the taskbar, by Shell_NotifyIconGetRect";
    } else {
        place.visible = false;
        place.area = area;
        place.how = L"kept hidden by Windows (Shell_NotifyIconGetRect: " +
                    (SUCCEEDED(found) ? std::wstring(L"outside the taskbar") : L"no place") + L")";
    }
    return place;
}

Look LookOf(const IconPlace& place) {
    if (!place.visible) return Look::Empty;
    if (RunningUnderWine()) return LookIn(place.area, TaskbarColour());
    // The taskbar's colour at the icon's place, from its corner, which the icon leaves bare.
    return LookIn(place.area, PixelAt(place.area.left, place.area.top), 24);
}

bool WaitForLook(DWORD processId, Look look, IconPlace& place) {
    return WaitUntil([&] {
        TrayIcon icon;
        if (!FindTrayIcon(processId, icon)) return false;
        place = PlaceOf(icon);
        return !place.visible || LookOf(place) == look;  // a hidden icon's look cannot be read
    });
}

bool WaitForIconGone(const TrayIcon& last) {
    return WaitUntil([&] {
        if (RunningUnderWine()) return TraySlot(0) == Look::Empty;
        // The shell keeps an icon whose owner did not delete it until the pointer passes over it.
        RECT area{};
        return FAILED(IconRect({last.window, kRunningId}, area)) && FAILED(IconRect({last.window, kStoppedId}, area));
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
    // Wine drops some clicks on the tray, mostly just after the icon came back: try again.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 5 && menu == nullptr; ++attempt) {
        TrayIcon icon;
        if (!FindTrayIcon(processId, icon)) return nullptr;
        PressIcon(processId, PlaceOf(icon), how);
        WaitUntil([&] { return IsWindowVisible(menu = FindWindowW(L"#32768", nullptr)); }, std::chrono::seconds(2));
        if (!IsWindowVisible(menu)) menu = nullptr;
    }
    return menu;
}

std::wstring MenuTexts(HWND menu) {
    HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    std::wstring texts;
    for (int i = 0; items != nullptr && i < GetMenuItemCount(items); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(items, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        texts += (i ? L" | " : L"") + std::wstring(text);
    }
    return texts;
}

void ChooseMenuItem(HWND menu, int index) { ClickMenuItem(menu, index); }
