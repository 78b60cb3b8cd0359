#pragma once
// What a user sees and does on the desktop, for the acceptance program and the benchmark: bounded
// waits, clicks, the screen's and the taskbar's pixels, and the real menus, dialogs and message boxes.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Polls condition until it holds or timeout passes: a bounded wait, never a fixed sleep. The
// thread's own windows (an icon's owner, a window put in front) are answered meanwhile.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A message to another program's window, never waited for longer than 5 s, nor at all when that
// program has stopped answering; 0 then.
inline LRESULT SendBounded(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) ? result : 0;
}

// Each icon is drawn in a slot of small-icon size plus a border, from the taskbar's right end.
constexpr int kSlotBorder = 2;
inline int SlotWidth() { return GetSystemMetrics(SM_CXSMICON) + 2 * kSlotBorder; }

inline RECT AreaOf(HWND window) {
    RECT area{};
    GetWindowRect(window, &area);
    return area;
}

inline RECT Taskbar() { return AreaOf(FindWindowW(L"Shell_TrayWnd", nullptr)); }

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

// The pixels of a screen rectangle, row by row from the top, as 0x00RRGGBB: one BitBlt instead of
// a GetPixel round trip per pixel.
inline std::vector<std::uint32_t> CaptureScreen(const RECT& area) {
    const int width = std::max(0, static_cast<int>(area.right - area.left));
    const int height = std::max(0, static_cast<int>(area.bottom - area.top));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (pixels.empty()) return pixels;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB};  // top-down rows
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    if (HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

inline std::uint32_t PixelAt(int x, int y) { return CaptureScreen({x, y, x + 1, y + 1}).at(0); }

// Whether two 0x00RRGGBB colours are within tolerance of each other in each channel.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference > tolerance || -difference > tolerance) return false;
    }
    return true;
}

// What is drawn in area over background: nothing, something in colour, or only greys.
// A pixel within tolerance of the background in all three channels counts as background: Windows
// 11 draws its taskbar with a grain.
inline Look LookIn(const RECT& area, std::uint32_t background, int tolerance = 0) {
    int drawn = 0;
    int coloured = 0;
    for (const std::uint32_t c : CaptureScreen(area)) {
        if (Near(c, background, tolerance)) continue;
        ++drawn;
        const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        if (std::max({r, g, b}) - std::min({r, g, b}) > 40) ++coloured;
    }
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
inline std::uint32_t TaskbarColour() {
    const RECT bar = Taskbar();
    return PixelAt((bar.left + bar.right) / 2, bar.top + 2);
}

inline Look TraySlot(int index) { return LookIn(TraySlotArea(index), TaskbarColour()); }

inline bool WaitForSlot(int index, Look look) {
    return WaitUntil([&] { return TraySlot(index) == look; });
}

inline void ClickMenuItem(HWND menu, int index) {
    // The item's own place where the menu tells it; else a quarter of the menu, as Wine draws it.
    RECT item{};
    HMENU items = reinterpret_cast<HMENU>(SendBounded(menu, MN_GETHMENU));
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

// A window's or a control's text: GetWindowText cannot read a control of another program.
inline std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    SendBounded(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

// The dialog's one button, or null when it has none or several. A message box's lone OK button
// need not be IDOK: Windows may give it IDCANCEL's number, since Esc closes the box too.
inline HWND OnlyButton(HWND dialog) {
    HWND only = nullptr;
    int buttons = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t kind[16] = {};
        GetClassNameW(c, kind, 16);
        if (_wcsicmp(kind, L"Button") == 0 && ++buttons == 1) only = c;
    }
    return buttons == 1 ? only : nullptr;
}

// Clicks the dialog's button until the dialog has gone: a box just shown may miss the first click.
inline bool ClickButton(HWND dialog, HWND button) {
    RECT area{};
    if (button == nullptr || !GetWindowRect(button, &area)) return false;
    for (int attempt = 0; attempt < 5 && IsWindow(dialog); ++attempt) {
        Click(area);
        WaitUntil([&] { return !IsWindow(dialog); }, std::chrono::seconds(3));
    }
    return !IsWindow(dialog);
}
