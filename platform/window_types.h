#pragma once
// The project's own names for windows, menus, icons and messages. The values are the platform's;
// platform/win32/ checks them against <windows.h> at compile time.

#include <cstdint>

using InstanceHandle = void*;
using WindowHandle = void*;
using MenuHandle = void*;
using IconHandle = void*;

using MessageResult = std::intptr_t;
using WindowProcedure = MessageResult (*)(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);
// Returns TRUE (1) when the message was handled, FALSE (0) otherwise.
using DialogProcedure = std::intptr_t (*)(WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);

// Window messages
inline constexpr std::uint32_t kMsgNull = 0x0000;         // WM_NULL
inline constexpr std::uint32_t kMsgDestroy = 0x0002;      // WM_DESTROY
inline constexpr std::uint32_t kMsgClose = 0x0010;        // WM_CLOSE
inline constexpr std::uint32_t kMsgEndSession = 0x0016;   // WM_ENDSESSION
inline constexpr std::uint32_t kMsgPaint = 0x000F;        // WM_PAINT
inline constexpr std::uint32_t kMsgInitDialog = 0x0110;   // WM_INITDIALOG
inline constexpr std::uint32_t kMsgCommand = 0x0111;      // WM_COMMAND
inline constexpr std::uint32_t kMsgTimer = 0x0113;        // WM_TIMER
inline constexpr std::uint32_t kMsgMouseMove = 0x0200;    // WM_MOUSEMOVE
inline constexpr std::uint32_t kMsgLButtonDown = 0x0201;  // WM_LBUTTONDOWN
inline constexpr std::uint32_t kMsgLButtonUp = 0x0202;    // WM_LBUTTONUP
inline constexpr std::uint32_t kMsgLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kMsgRButtonDown = 0x0204;  // WM_RBUTTONDOWN
inline constexpr std::uint32_t kMsgRButtonUp = 0x0205;    // WM_RBUTTONUP
inline constexpr std::uint32_t kMsgContextMenu = 0x007B;  // WM_CONTEXTMENU
inline constexpr std::uint32_t kMsgUser = 0x0400;         // WM_USER

// Dialog results
inline constexpr std::uintptr_t kIdOk = 1;      // IDOK
inline constexpr std::uintptr_t kIdCancel = 2;  // IDCANCEL

// The window class of the hidden main window.
inline constexpr std::uint32_t kClassStyleRedraw = 0x0003;  // CS_HREDRAW | CS_VREDRAW
inline constexpr int kWindowColorBrush = 5 + 1;             // COLOR_WINDOW + 1

struct MainWindowClass {
    const wchar_t* className = nullptr;
    WindowProcedure procedure = nullptr;
    unsigned largeIcon = 0;
    unsigned smallIcon = 0;
    unsigned menu = 0;
};

// The notification-area record, in the fields the program sets.
inline constexpr std::uint32_t kTrayTipCapacity = 128;
inline constexpr std::uint32_t kTrayFlagsMessageIconTip = 7;  // NIF_MESSAGE | NIF_ICON | NIF_TIP
struct TrayRecord {
    WindowHandle window = nullptr;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t callbackMessage = 0;
    IconHandle icon = nullptr;
    wchar_t tip[kTrayTipCapacity] = {};
};

enum class TrayAction { Add, Delete, SetFocus };

inline std::uint32_t LowWord(std::uintptr_t value) { return static_cast<std::uint32_t>(value & 0xFFFF); }
