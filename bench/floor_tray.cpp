// The smallest tray program there can be: a hidden window, one tray icon and a message loop.
// The benchmark holds the monitor against it; it must never grow beyond that.

#include <windows.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kWindowClass[] = L"KeslBenchFloorTray";
constexpr UINT kTrayCallback = WM_USER + 1;
constexpr UINT kIconId = 1;

NOTIFYICONDATAW g_icon{};

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        Shell_NotifyIconW(NIM_DELETE, &g_icon);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, PWSTR /*commandLine*/, int /*showState*/) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;

    g_icon.cbSize = sizeof g_icon;
    g_icon.hWnd = window;
    g_icon.uID = kIconId;
    g_icon.uFlags = NIF_MESSAGE | NIF_ICON;
    g_icon.uCallbackMessage = kTrayCallback;
    // A system icon: the floor carries no resources of its own.
    g_icon.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    Shell_NotifyIconW(NIM_ADD, &g_icon);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}
