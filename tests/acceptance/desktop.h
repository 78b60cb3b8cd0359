#pragma once
// What a user sees and does on the Wine virtual desktop: programs, the tray icons read from the
// taskbar's pixels, clicks, and the real menus, dialogs and message boxes.

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

// A started program; ended and closed when it goes out of scope.
struct Program {
    PROCESS_INFORMATION info{};
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"") {
        std::wstring line = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup{sizeof startup};
        if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, 0, 0, nullptr, nullptr, &startup, &info))
            info = {};
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (info.hProcess == nullptr) return;
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    long WaitForExit(DWORD milliseconds = 60000) {  // the exit code, or -1 when it did not end in time
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        return GetExitCodeProcess(info.hProcess, &code) ? static_cast<long>(code) : -1;
    }
};

inline std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path).substr(0, std::wstring(path).find_last_of(L"\\/"));
}

inline std::string StateFile() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\KESL\\info.ini";
}

// Whether the stored value is what a write of stateDigit stores at some second since from: the
// time's low 32 bits as nine hex digits, the state digit at 6, position 3 again at 9.
inline bool StoredSince(char stateDigit, std::time_t from) {
    char stored[64] = {};
    GetPrivateProfileStringA("Settings", "Service", "", stored, sizeof stored, StateFile().c_str());
    for (std::time_t time = from; time <= std::time(nullptr); ++time) {
        char value[16] = {};
        std::snprintf(value, sizeof value, "%09x", static_cast<unsigned>(time));
        value[6] = stateDigit;
        value[9] = value[3];
        if (std::string(stored) == value) return true;
    }
    return false;
}

inline std::vector<DWORD> Agents() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"KeslWebATMAgent.exe") == 0) ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

inline int CountAgents() { return static_cast<int>(Agents().size()); }

inline void EndAllAgents() {
    for (DWORD id : Agents()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
    WaitUntil([] { return CountAgents() == 0; });
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
inline Look LookIn(const RECT& area, COLORREF background) {
    HDC screen = GetDC(nullptr);
    int drawn = 0;
    int coloured = 0;
    for (int x = area.left; x < area.right; ++x) {
        for (int y = area.top; y < area.bottom; ++y) {
            const COLORREF c = GetPixel(screen, x, y);
            if (c == background) continue;
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

// The first tray icon's slot, at the taskbar's right end.
inline RECT FirstTrayIcon() {
    const RECT bar = Taskbar();
    return {bar.right - SlotWidth(), bar.top, bar.right, bar.bottom};
}

// Right-clicks the first tray icon and returns the menu that opens, or null.
inline HWND OpenTrayMenu() {
    // Wine drops some clicks on the tray, mostly just after the icon came back: try again.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 5 && menu == nullptr; ++attempt) {
        Click(FirstTrayIcon(), true);
        WaitUntil([&] { return IsWindowVisible(menu = FindWindowW(L"#32768", nullptr)); }, std::chrono::seconds(2));
        if (!IsWindowVisible(menu)) menu = nullptr;
    }
    return menu;
}

inline void ClickMenuItem(HWND menu, int index) {
    RECT items{};
    GetWindowRect(menu, &items);
    const int height = (items.bottom - items.top) / 4;
    // A click the menu did not take leaves it open: click again, a few times at most.
    for (int attempt = 0; attempt < 5 && IsWindowVisible(menu); ++attempt) {
        Click({items.left, items.top + index * height, items.right, items.top + (index + 1) * height});
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
