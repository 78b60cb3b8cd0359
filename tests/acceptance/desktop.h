#pragma once
// What a user sees and does on the desktop: bounded waits, clicks, the taskbar's pixels, and the
// real menus, dialogs and message boxes.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>

// Polls condition until it holds or timeout passes: a bounded wait, never a fixed sleep.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Each icon is drawn in a slot of small-icon size plus a border, from the taskbar's right end.
constexpr int kSlotBorder = 2;
inline int SlotWidth() { return GetSystemMetrics(SM_CXSMICON) + 2 * kSlotBorder; }

inline RECT Taskbar() {
    RECT bar{};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &bar);
    return bar;
}

inline void Click(const RECT& area, bool right = false) {
    // Clicks land more reliably once the pointer is seen where they go.
    const POINT at{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    SetCursorPos(at.x, at.y);
    WaitUntil([&] {
        POINT now{};
        return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
    }, std::chrono::seconds(2));
    INPUT inputs[2] = {{INPUT_MOUSE}, {INPUT_MOUSE}};
    inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

enum class Look { Empty, Colour, Grey };

inline const wchar_t* NameOf(Look look) {
    return look == Look::Empty ? L"empty" : look == Look::Colour ? L"colour" : L"grey";
}

// What is drawn in area over background: nothing, something in colour, or only greys.
// A pixel within tolerance of the background in all three channels counts as background: Windows
// 11 draws its taskbar with a grain.
inline Look LookIn(const RECT& area, COLORREF background, int tolerance = 0) {
    HDC screen = GetDC(nullptr);
    int drawn = 0;
    int coloured = 0;
    auto within = [&](int a, int b) { return a - b <= tolerance && b - a <= tolerance; };
    for (int x = area.left; x < area.right; ++x) {
        for (int y = area.top; y < area.bottom; ++y) {
            const COLORREF c = GetPixel(screen, x, y);
            if (within(GetRValue(c), GetRValue(background)) && within(GetGValue(c), GetGValue(background)) &&
                within(GetBValue(c), GetBValue(background)))
                continue;
            ++drawn;
            const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (std::max({r, g, b}) - std::min({r, g, b}) > 40) ++coloured;
        }
    }
    ReleaseDC(nullptr, screen);
    if (drawn < 20) return Look::Empty;
    return coloured * 10 > drawn ? Look::Colour : Look::Grey;
}

// Tray icon index's slot, counted from the right end of Wine's taskbar.
inline RECT TraySlotArea(int index) {
    const RECT bar = Taskbar();
    const int right = bar.right - index * SlotWidth() - kSlotBorder;
    return {right - GetSystemMetrics(SM_CXSMICON), bar.top + 1, right, bar.bottom - 1};
}

// The taskbar's own colour, from its middle where nothing is drawn.
inline COLORREF TaskbarColour() {
    const RECT bar = Taskbar();
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, (bar.left + bar.right) / 2, bar.top + 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

inline Look TraySlot(int index) { return LookIn(TraySlotArea(index), TaskbarColour()); }

inline bool WaitForSlot(int index, Look look) {
    return WaitUntil([&] { return TraySlot(index) == look; });
}

inline void ClickMenuItem(HWND menu, int index) {
    // The item's own place where the menu tells it; else a quarter of the menu, as Wine draws it.
    RECT item{};
    HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    if (items == nullptr || !GetMenuItemRect(nullptr, items, static_cast<UINT>(index), &item)) {
        GetWindowRect(menu, &item);
        const int height = (item.bottom - item.top) / 4;
        item.top += index * height;
        item.bottom = item.top + height;
    }
    // A click the menu did not take leaves it open: click again, a few times at most.
    for (int attempt = 0; attempt < 5 && IsWindowVisible(menu); ++attempt) {
        Click(item);
        WaitUntil([&] { return !IsWindowVisible(menu); }, std::chrono::seconds(2));
    }
}

// A window of the class (and title, when given) owned by process.
inline HWND FindWindowOf(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly = true) {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, className, title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(found, &owner);
        if (owner == processId && (!visibleOnly || IsWindowVisible(found))) return found;
    }
    return nullptr;
}

inline HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly = true) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOf(processId, className, title, visibleOnly)) != nullptr; });
    return found;
}

inline std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Clicks the dialog's button until the dialog has gone: a box just shown may miss the first click.
inline bool ClickButton(HWND dialog, int id) {
    RECT button{};
    GetWindowRect(GetDlgItem(dialog, id), &button);
    for (int attempt = 0; attempt < 5 && IsWindow(dialog); ++attempt) {
        Click(button);
        WaitUntil([&] { return !IsWindow(dialog); }, std::chrono::seconds(3));
    }
    return !IsWindow(dialog);
}
