#include "tests/e2e/desktop.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The notification area draws each icon in a slot of small-icon size plus a border on each side,
// from the right end of the taskbar.
constexpr int kSlotBorder = 2;

int SlotWidth() { return GetSystemMetrics(SM_CXSMICON) + 2 * kSlotBorder; }

HWND Taskbar() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

struct Rgb {
    int r, g, b;
};

Rgb ScreenPixel(HDC screen, int x, int y) {
    const COLORREF c = GetPixel(screen, x, y);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool Near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 24;
}

}  // namespace

const char* ToString(SlotLook look) {
    switch (look) {
        case SlotLook::Empty: return "empty";
        case SlotLook::Colour: return "colour";
        case SlotLook::Grey: return "grey";
    }
    return "?";
}

POINT TraySlotCentre(int index) {
    RECT bar{};
    GetWindowRect(Taskbar(), &bar);
    return {bar.right - index * SlotWidth() - SlotWidth() / 2, (bar.top + bar.bottom) / 2};
}

SlotLook TraySlotLook(int index) {
    HWND taskbar = Taskbar();
    if (taskbar == nullptr) return SlotLook::Empty;
    RECT bar{};
    GetWindowRect(taskbar, &bar);
    HDC screen = GetDC(nullptr);
    // The taskbar's own colour, taken from its middle where no icon or button is drawn.
    const Rgb background = ScreenPixel(screen, (bar.left + bar.right) / 2, bar.top + 2);
    const int right = bar.right - index * SlotWidth();
    int drawn = 0;
    int coloured = 0;
    for (int x = right - SlotWidth() + kSlotBorder; x < right - kSlotBorder; ++x) {
        for (int y = bar.top + 1; y < bar.bottom - 1; ++y) {
            const Rgb p = ScreenPixel(screen, x, y);
            if (Near(p, background)) continue;
            ++drawn;
            const int spread = std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b});
            if (spread > 40) ++coloured;
        }
    }
    ReleaseDC(nullptr, screen);
    if (drawn < 20) return SlotLook::Empty;
    return coloured * 10 > drawn ? SlotLook::Colour : SlotLook::Grey;
}

bool WaitForTraySlot(int index, SlotLook look) {
    return WaitUntil([&] { return TraySlotLook(index) == look; });
}

void ClickAt(POINT point, bool rightButton) {
    SetCursorPos(point.x, point.y);
    INPUT inputs[2]{};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void MovePointer(POINT point) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = point.x * 65536 / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = point.y * 65536 / GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
    INPUT inputs[2]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && (!visibleOnly || IsWindowVisible(window))) return window;
    }
    return nullptr;
}

HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(processId, className, title)) != nullptr; });
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

HWND FindOpenMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

HWND OpenTrayMenu() {
    // Right after a dialog closes or the entry is re-added, Wine may drop the first click on the
    // tray; moving onto the icon first helps, and like a user the test clicks again, a few times
    // at most.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 5 && menu == nullptr; ++attempt) {
        const POINT slot = TraySlotCentre(0);
        MovePointer({slot.x - 3, slot.y});
        WaitUntil(
            [&] {
                POINT at{};
                return GetCursorPos(&at) && at.x == slot.x - 3;
            },
            std::chrono::seconds(2));
        ClickAt(slot, true);
        WaitUntil([&] { return (menu = FindOpenMenu()) != nullptr; }, std::chrono::milliseconds(1500));
    }
    return menu;
}

HWND WaitForMessageBox(DWORD processId) { return WaitForProcessWindow(processId, L"#32770", L"Kesl銀行"); }

std::wstring MessageBoxText(HWND box) {
    constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
    return WindowText(GetDlgItem(box, kMessageTextId));
}

bool PressOk(HWND box) {
    RECT button{};
    if (!GetWindowRect(GetDlgItem(box, IDOK), &button)) return false;
    // Like the tray, a freshly shown box may miss the very first click.
    for (int attempt = 0; attempt < 5 && IsWindow(box); ++attempt) {
        ClickAt({(button.left + button.right) / 2, (button.top + button.bottom) / 2}, false);
        WaitUntil([&] { return !IsWindow(box); }, std::chrono::seconds(3));
    }
    return !IsWindow(box);
}

namespace {

// A popup menu's items, in screen coordinates; items are of equal height when none is a separator.
RECT MenuItemRect(HWND menuWindow, int index, int count) {
    RECT client{};
    GetClientRect(menuWindow, &client);
    POINT origin{0, 0};
    ClientToScreen(menuWindow, &origin);
    const int height = (client.bottom - client.top) / count;
    return {origin.x, origin.y + index * height, origin.x + client.right, origin.y + (index + 1) * height};
}

std::vector<COLORREF> ScreenPixels(const RECT& area) {
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) pixels.push_back(GetPixel(screen, x, y));
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The tray icon's tooltip pops up over a menu that opens at the icon, and stays; what it
// covers is left out of the comparison.
std::vector<RECT> VisibleTooltips() {
    std::vector<RECT> tips;
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) != nullptr) {
        RECT area{};
        if (IsWindowVisible(tip) && GetWindowRect(tip, &area)) tips.push_back(area);
    }
    return tips;
}

bool SamePixelsOutside(const RECT& area, const std::vector<COLORREF>& a, const std::vector<COLORREF>& b,
                       const std::vector<RECT>& covered) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x, ++i) {
            const POINT p{x, y};
            const bool hidden = std::any_of(covered.begin(), covered.end(), [&](const RECT& r) { return PtInRect(&r, p); });
            if (!hidden && a[i] != b[i]) return false;
        }
    }
    return true;
}

HWND FindMenuOf(DWORD processId) { return FindProcessWindow(processId, L"#32768"); }

// Shows a popup menu of texts from a thread of this process, its lower-left corner at corner.
struct ReferenceMenu {
    std::vector<std::wstring> texts;
    POINT corner;
    HWND owner = nullptr;
    static DWORD WINAPI Run(void* self) {
        auto* menu = static_cast<ReferenceMenu*>(self);
        menu->owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        HMENU popup = CreatePopupMenu();
        for (const auto& text : menu->texts) AppendMenuW(popup, MF_STRING, 1, text.c_str());
        SetForegroundWindow(menu->owner);
        TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_LEFTALIGN | TPM_LEFTBUTTON, menu->corner.x, menu->corner.y, 0,
                       menu->owner, nullptr);
        DestroyMenu(popup);
        DestroyWindow(menu->owner);
        return 0;
    }
};

}  // namespace

bool MenuShowsItems(HWND menuWindow, const std::vector<std::wstring>& texts) {
    // Another process's menu cannot be read through its handle, so compare what it shows with a
    // menu of the expected texts drawn by this process in the same place.
    // Moving the pointer off the icon lets its tooltip go; any still showing is masked.
    MovePointer({10, 10});
    std::vector<RECT> covered = VisibleTooltips();
    RECT shown{};
    GetWindowRect(menuWindow, &shown);
    const std::vector<COLORREF> shownPixels = ScreenPixels(shown);
    PressKey(VK_ESCAPE);
    if (!WaitUntil([] { return FindOpenMenu() == nullptr; })) return false;

    ReferenceMenu reference{texts, {shown.left, shown.bottom}};
    HANDLE thread = CreateThread(nullptr, 0, ReferenceMenu::Run, &reference, 0, nullptr);
    HWND referenceWindow = nullptr;
    WaitUntil([&] { return (referenceWindow = FindMenuOf(GetCurrentProcessId())) != nullptr; });
    bool same = false;
    if (referenceWindow != nullptr) {
        RECT drawn{};
        GetWindowRect(referenceWindow, &drawn);
        const std::vector<COLORREF> drawnPixels = ScreenPixels(drawn);
        const std::vector<RECT> tips = VisibleTooltips();
        covered.insert(covered.end(), tips.begin(), tips.end());
        same = EqualRect(&drawn, &shown) && SamePixelsOutside(shown, drawnPixels, shownPixels, covered);
        PostMessageW(reference.owner, WM_CANCELMODE, 0, 0);
    }
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return same;
}

void ClickMenuItem(HWND menuWindow, int index, int count) {
    const RECT item = MenuItemRect(menuWindow, index, count);
    ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2}, false);
}

std::vector<ControlInfo> DialogControls(HWND dialog) {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        controls.push_back({className, WindowText(child), GetDlgCtrlID(child)});
    }
    return controls;
}

bool MonitorHasSettled(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored) != 0;
}

ChildProcess StartAgentStandIn() {
    const int before = CountProcessesNamed(L"KeslWebATMAgent.exe");
    ChildProcess agent = StartProgram(BuildFolder() + L"\\KeslWebATMAgent.exe");
    if (!WaitUntil([&] { return CountProcessesNamed(L"KeslWebATMAgent.exe") == before + 1; })) return {};
    return agent;
}

RunningMonitor StartMonitor() {
    RunningMonitor monitor;
    monitor.process = StartProgram(BuildFolder() + L"\\KeslWebATMMonitor.exe");
    if (!monitor.process.Started()) return monitor;
    const DWORD id = monitor.process.info.dwProcessId;
    // The hidden window is never visible, so look for it among all windows. The start-up probe
    // may pause a second first.
    WaitUntil([&] { return (monitor.window = FindProcessWindow(id, L"KESLWEBATMMONITOR", nullptr, false)); });
    return monitor;
}
