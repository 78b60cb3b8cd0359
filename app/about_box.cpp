#include "app/about_box.h"

#include "platform/platform.h"
#include "res/resource.h"

void ShowAboutBox(WindowHandle owner) { ShowModalDialog(IDD_ABOUTBOX, owner, AboutDialogProc); }

std::intptr_t AboutDialogProc(WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t /*lParam*/) {
    switch (message) {
        case kMsgInitDialog:
            return 1;  // the default focus
        case kMsgCommand:
            // OK and Enter give IDOK; Escape and the close button give IDCANCEL.
            if (LowWord(wParam) == kIdOk || LowWord(wParam) == kIdCancel) {
                EndDialogBox(dialog, static_cast<std::intptr_t>(LowWord(wParam)));
                return 1;
            }
            break;
    }
    return 0;
}
