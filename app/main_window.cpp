#include "app/main_window.h"

#include "app/about_box.h"
#include "app/agent_commands.h"
#include "app/reconcile.h"
#include "app/tray_entry.h"
#include "app/tray_menu.h"
#include "platform/platform.h"
#include "res/resource.h"

namespace {

constexpr int kTextCapacity = 100;

// Sent by the shell to every top-level window when it has re-created the taskbar.
std::uint32_t g_taskbarCreatedMessage = 0;

MessageResult OnTrayCallback(WindowHandle window, std::intptr_t lParam) {
    const std::uint32_t notification = LowWord(static_cast<std::uintptr_t>(lParam));
    // While a command waits on its message box no menu may start another one; a press finds the
    // box instead, which may have opened behind other windows.
    if (AgentCommandInProgress()) {
        if (notification == kMsgRButtonDown || notification == kMsgLButtonDown) BringCommandBoxToFront();
        return 0;
    }
    // The press, not the release, opens the menu; every other notification is ignored.
    if (notification != kMsgRButtonDown) return 0;
    ShowTrayMenu(window);
    return 1;
}

// Ends the program as Exit does: the icon goes before the window, and the loop ends with 0.
void EndProgram(WindowHandle window) {
    RemoveTrayEntry();
    DestroyMainWindow(window);
}

MessageResult OnCommand(WindowHandle window, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (LowWord(wParam)) {
        case IDM_ABOUT:
            ShowAboutBox(window);
            return 0;
        case IDM_EXIT:
            EndProgram(window);
            return 0;
        case IDM_RESTART_AGENT:
        case IDM_STOP_AGENT:
            RunAgentCommand(LowWord(wParam));
            return 0;
    }
    return DefaultWindowProc(window, kMsgCommand, wParam, lParam);
}

}  // namespace

MessageResult MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    if (message == g_taskbarCreatedMessage && message != 0) {
        RestoreTrayEntry();
        return 0;
    }
    switch (message) {
        case kTrayCallback:
            return OnTrayCallback(window, lParam);
        case kMsgCommand:
            return OnCommand(window, wParam, lParam);
        case kMsgPaint:
            PaintNothing(window);
            return 0;
        case kMsgTimer:  // the window's one timer: the tray entry's retries
            RetryTrayEntry();
            return 0;
        case kMsgEndSession:
            // The session is ending, or the installer's restart manager is closing the program to
            // replace its file: either way the program must end, and may be ended right after
            // this answer, so it ends now. An end that was called off (wParam 0) changes nothing.
            if (wParam != 0) EndProgram(window);
            return 0;
        case kMsgDestroy:
            // Whatever the route here (Exit, a close request, the end of the session), no icon
            // may outlive the window, nor be added for it later by a command still under way.
            DetachTrayEntry();
            PostQuit(0);
            return 0;
    }
    return DefaultWindowProc(window, message, wParam, lParam);
}

int RunMainWindow(int titleChoice) {
    wchar_t title[kTextCapacity] = {};
    wchar_t className[kTextCapacity] = {};
    LoadStringResource(static_cast<unsigned>(titleChoice), title, kTextCapacity);
    LoadStringResource(IDS_WINDOW_CLASS, className, kTextCapacity);

    const bool stopped = StartupState() != kServiceRunning;
    MainWindowClass windowClass;
    windowClass.className = className;
    windowClass.procedure = MainWindowProc;
    windowClass.largeIcon = stopped ? IDI_STOPPED : IDI_RUNNING;
    windowClass.smallIcon = IDI_SMALL;
    windowClass.menu = IDR_MAIN_MENU;
    RegisterMainWindowClass(windowClass);

    g_taskbarCreatedMessage = RegisterNamedMessage(L"TaskbarCreated");
    WindowHandle window = CreateMainWindow(className, title);
    if (window == nullptr) return 0;
    // Run elevated, the program would otherwise never hear of a restarted shell's new taskbar.
    AllowMessageFromLowerIntegrity(window, g_taskbarCreatedMessage);

    wchar_t tip[kTextCapacity] = {};
    LoadStringResource(stopped ? IDS_TIP_STOPPED : IDS_TIP_RUNNING, tip, kTextCapacity);
    AttachTrayEntry(window);
    AddTrayEntry(PresentationFor(StartupState()), tip);

    return RunMessageLoop(IDR_ACCELERATORS);
}
