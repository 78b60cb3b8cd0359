#include "app/tray_entry.h"

#include <cwchar>

#include "platform/platform.h"
#include "res/resource.h"

namespace {

struct Look {
    std::uint32_t id;  // the entry's identifier, which is also its icon's resource number
    const wchar_t* tip;
};

Look LookOf(Presentation presentation) {
    return presentation == Presentation::Running ? Look{IDI_RUNNING, L"Kesl銀行晶片金融卡安控元件"}
                                                 : Look{IDI_STOPPED, L"Kesl銀行晶片金融卡安控元件已關閉"};
}

TrayRecord g_record;
Presentation g_shown = Presentation::Running;
bool g_added = false;

}  // namespace

Presentation PresentationFor(ServiceState state) {
    return state == kServiceRunning ? Presentation::Running : Presentation::Stopped;
}

void AttachTrayEntry(WindowHandle window) { g_record.window = window; }

void AddTrayEntry(Presentation presentation, const wchar_t* tip) {
    const Look look = LookOf(presentation);
    g_record.id = look.id;
    g_record.flags = kTrayFlagsMessageIconTip;
    g_record.callbackMessage = kTrayCallback;
    g_record.icon = LoadIconResource(look.id);
    std::wcsncpy(g_record.tip, tip, kTrayTipCapacity - 1);
    g_record.tip[kTrayTipCapacity - 1] = L'\0';
    g_shown = presentation;
    g_added = true;
    NotifyTray(TrayAction::Add, g_record);
}

void AddTrayEntry(Presentation presentation) { AddTrayEntry(presentation, LookOf(presentation).tip); }

void RemoveTrayEntry() {
    if (!g_added) return;
    g_added = false;
    NotifyTray(TrayAction::Delete, g_record);
}

void DetachTrayEntry() {
    RemoveTrayEntry();
    g_record.window = nullptr;
}

void ReplaceTrayEntry(Presentation presentation) {
    if (g_record.window == nullptr) return;
    NotifyTray(TrayAction::Delete, g_record);
    AddTrayEntry(presentation);
}

void RestoreTrayEntry() {
    if (g_added) NotifyTray(TrayAction::Add, g_record);
}

Presentation ShownPresentation() { return g_shown; }
