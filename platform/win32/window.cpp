// Windows, the message loop, menus and dialogs.

#include <windows.h>

#include <cwchar>

#include "platform/platform.h"

static_assert(kMsgNull == WM_NULL && kMsgDestroy == WM_DESTROY && kMsgClose == WM_CLOSE && kMsgPaint == WM_PAINT);
static_assert(kMsgInitDialog == WM_INITDIALOG && kMsgCommand == WM_COMMAND && kMsgUser == WM_USER);
static_assert(kMsgTimer == WM_TIMER);
static_assert(kMsgRButtonDown == WM_RBUTTONDOWN && kMsgRButtonUp == WM_RBUTTONUP &&
              kMsgLButtonDown == WM_LBUTTONDOWN && kMsgLButtonDblClk == WM_LBUTTONDBLCLK &&
              kMsgMouseMove == WM_MOUSEMOVE && kMsgContextMenu == WM_CONTEXTMENU);
static_assert(kMsgEndSession == WM_ENDSESSION);
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL);
static_assert(kClassStyleRedraw == (CS_HREDRAW | CS_VREDRAW) && kWindowColorBrush == COLOR_WINDOW + 1);

namespace {

// Room for the class and caption sought and more, so that a longer name, cut to fit, still differs.
constexpr int kNameCapacity = 64;
constexpr wchar_t kDialogClass[] = L"#32770";

HINSTANCE g_instance = nullptr;
WindowProcedure g_windowProcedure = nullptr;
DialogProcedure g_dialogProcedure = nullptr;

// The subsystems' procedures use the project's types and calling convention.
LRESULT CALLBACK WindowTrampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_windowProcedure(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_dialogProcedure(dialog, message, wParam, lParam);
}

// Brings window to the foreground and ends the search when it is a visible dialog box captioned
// as reference says.
BOOL CALLBACK ForegroundIfCaptioned(HWND window, LPARAM reference) {
    wchar_t className[kNameCapacity] = {};
    wchar_t caption[kNameCapacity] = {};
    GetClassNameW(window, className, kNameCapacity);
    GetWindowTextW(window, caption, kNameCapacity);
    if (!IsWindowVisible(window) || std::wcscmp(className, kDialogClass) != 0 ||
        std::wcscmp(caption, reinterpret_cast<const wchar_t*>(reference)) != 0)
        return TRUE;
    SetForegroundWindow(window);
    return FALSE;
}

}  // namespace

void SetProgramInstance(InstanceHandle instance) { g_instance = static_cast<HINSTANCE>(instance); }

int LoadStringResource(unsigned id, wchar_t* buffer, int capacity) {
    return LoadStringW(g_instance, id, buffer, capacity);
}

IconHandle LoadIconResource(unsigned id) { return LoadIconW(g_instance, MAKEINTRESOURCEW(id)); }

bool RegisterMainWindowClass(const MainWindowClass& windowClass) {
    g_windowProcedure = windowClass.procedure;
    WNDCLASSEXW raw{};
    raw.cbSize = sizeof raw;
    raw.style = kClassStyleRedraw;
    raw.lpfnWndProc = WindowTrampoline;
    raw.hInstance = g_instance;
    raw.hIcon = LoadIconW(g_instance, MAKEINTRESOURCEW(windowClass.largeIcon));
    raw.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    raw.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(kWindowColorBrush));
    raw.lpszMenuName = MAKEINTRESOURCEW(windowClass.menu);
    raw.lpszClassName = windowClass.className;
    raw.hIconSm = LoadIconW(g_instance, MAKEINTRESOURCEW(windowClass.smallIcon));
    return RegisterClassExW(&raw) != 0;
}

WindowHandle CreateMainWindow(const wchar_t* className, const wchar_t* title) {
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                           nullptr, g_instance, nullptr);
}

bool DestroyMainWindow(WindowHandle window) { return DestroyWindow(static_cast<HWND>(window)) != FALSE; }

MessageResult DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return DefWindowProcW(static_cast<HWND>(window), message, wParam, lParam);
}

void PaintNothing(WindowHandle window) {
    PAINTSTRUCT paint;
    BeginPaint(static_cast<HWND>(window), &paint);
    EndPaint(static_cast<HWND>(window), &paint);
}

void PostQuit(int exitCode) { PostQuitMessage(exitCode); }

void PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    PostMessageW(static_cast<HWND>(window), message, wParam, lParam);
}

std::uint32_t RegisterNamedMessage(const wchar_t* name) { return RegisterWindowMessageW(name); }

bool AllowMessageFromLowerIntegrity(WindowHandle window, std::uint32_t message) {
    return ChangeWindowMessageFilterEx(static_cast<HWND>(window), message, MSGFLT_ALLOW, nullptr) != FALSE;
}

int RunMessageLoop(unsigned acceleratorsId) {
    HACCEL accelerators = LoadAcceleratorsW(g_instance, MAKEINTRESOURCEW(acceleratorsId));
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

void StartWindowTimer(WindowHandle window, std::uintptr_t timerId, std::uint32_t intervalMilliseconds) {
    SetTimer(static_cast<HWND>(window), timerId, intervalMilliseconds, nullptr);
}

void StopWindowTimer(WindowHandle window, std::uintptr_t timerId) { KillTimer(static_cast<HWND>(window), timerId); }

ScreenPoint CursorScreenPosition() {
    POINT point{};
    GetCursorPos(&point);
    return {point.x, point.y};
}

MenuHandle CreatePopup() { return CreatePopupMenu(); }

bool AppendMenuItem(MenuHandle menu, unsigned command, const wchar_t* text) {
    return InsertMenuW(static_cast<HMENU>(menu), static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, command, text) !=
           FALSE;
}

void BringToForeground(WindowHandle window) { SetForegroundWindow(static_cast<HWND>(window)); }

unsigned TrackPopup(MenuHandle menu, ScreenPoint point, WindowHandle owner) {
    const UINT flags = TPM_BOTTOMALIGN | TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
    const BOOL chosen =
        TrackPopupMenu(static_cast<HMENU>(menu), flags, point.x, point.y, 0, static_cast<HWND>(owner), nullptr);
    return chosen > 0 ? static_cast<unsigned>(chosen) : 0;
}

void DestroyPopup(MenuHandle menu) { DestroyMenu(static_cast<HMENU>(menu)); }

std::intptr_t ShowModalDialog(unsigned templateId, WindowHandle owner, DialogProcedure procedure) {
    g_dialogProcedure = procedure;
    return DialogBoxParamW(g_instance, MAKEINTRESOURCEW(templateId), static_cast<HWND>(owner), DialogTrampoline, 0);
}

void EndDialogBox(WindowHandle dialog, std::intptr_t result) { EndDialog(static_cast<HWND>(dialog), result); }

void ShowMessageBoxOk(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(nullptr, text, caption, MB_OK);
}

void BringDialogToForeground(const wchar_t* caption) {
    // This thread's windows only: a second copy of the program keeps its own boxes where they are.
    EnumThreadWindows(GetCurrentThreadId(), ForegroundIfCaptioned, reinterpret_cast<LPARAM>(caption));
}
