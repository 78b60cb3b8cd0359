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

// An add the shell does not take (at log-on it may not be ready, or too busy to answer in time)
// is tried again every 3 s for 5 min, from a timer on the entry's window.
constexpr std::uintptr_t kRetryTimer = 1;
constexpr std::uint32_t kRetryIntervalMilliseconds = 3000;
constexpr int kRetries = 5 * 60 * 1000 / kRetryIntervalMilliseconds;

TrayRecord g_record;
Presentation g_shown = Presentation::Running;
bool g_added = false;
int g_retriesLeft = 0;  // the retry timer runs while this is above 0

void StopRetries() {
    if (g_retriesLeft > 0) StopWindowTimer(g_record.window, kRetryTimer);
    g_retriesLeft = 0;
}

// Adds the record. When the shell does not take it, the timer tries again, retries more times at
// most; once the entry shows, or the tries are spent, the timer stops and nothing more runs.
void AddRecord(int retries) {
    if (NotifyTray(TrayAction::Add, g_record) || retries == 0) {
        StopRetries();
        return;
    }
    if (g_retriesLeft == 0) StartWindowTimer(g_record.window, kRetryTimer, kRetryIntervalMilliseconds);
    g_retriesLeft = retries;
}

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
    AddRecord(kRetries);
}

void AddTrayEntry(Presentation presentation) { AddTrayEntry(presentation, LookOf(presentation).tip); }

void RemoveTrayEntry() {
    if (!g_added) return;
    g_added = false;
    StopRetries();
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
    if (g_added) AddRecord(kRetries);
}

void RetryTrayEntry() {
    if (g_retriesLeft == 0) return;  // a timer message from before the entry showed
    // An add that timed out may have shown the entry after all, and a second add would then fail.
    NotifyTray(TrayAction::Delete, g_record);
    AddRecord(g_retriesLeft - 1);
}

void GiveFocusToNotificationArea() {
    if (g_record.window != nullptr) NotifyTray(TrayAction::SetFocus, g_record);
}

Presentation ShownPresentation() { return g_shown; }
