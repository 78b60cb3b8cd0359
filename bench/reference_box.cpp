// A stand-in for the monitor's command path with a known cost: on the Stop command it pauses for
// the milliseconds given on its command line, then shows the message box the monitor would.
// The benchmark measures it to learn what its own observation of a message box adds.

#include <windows.h>

#include <cwchar>

namespace {

constexpr wchar_t kWindowClass[] = L"KeslBenchReferenceBox";
constexpr WPARAM kStopCommand = 32773;

DWORD g_pauseMilliseconds = 0;

LRESULT CALLBACK ReferenceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) != kStopCommand) break;
            Sleep(g_pauseMilliseconds);
            MessageBoxW(nullptr, L"停止ATM安控元件成功", L"Kesl銀行", MB_OK);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, PWSTR commandLine, int /*showState*/) {
    g_pauseMilliseconds = static_cast<DWORD>(std::wcstoul(commandLine, nullptr, 10));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReferenceWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}
