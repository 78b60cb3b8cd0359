#include "app/agent_commands.h"

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "app/tray_entry.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "state/service_state.h"

namespace {

constexpr wchar_t kCaption[] = L"Kesl銀行";
constexpr wchar_t kRestartSucceeded[] = L"重啟ATM安控元件成功";
constexpr wchar_t kRestartFailed[] = L"重啟AT安控M元件失敗,請再重新啟動ATM安控元件";
constexpr wchar_t kStopSucceeded[] = L"停止ATM安控元件成功";
constexpr wchar_t kStopFailed[] = L"停止ATM安控元件失敗,請再重新停止ATM安控元件";

constexpr std::uint32_t kPauseBeforeRunningLook = 20;

bool g_commandInProgress = false;

// Held for the whole of a command, so that it is released on every way out.
struct CommandInProgress {
    CommandInProgress() { g_commandInProgress = true; }
    ~CommandInProgress() { g_commandInProgress = false; }
    CommandInProgress(const CommandInProgress&) = delete;
    CommandInProgress& operator=(const CommandInProgress&) = delete;
};

void Restart() {
    StopAgent(kAgentImageNameW);  // even a failed stop goes on to the start
    if (StartAgent(kAgentImageNameA) != RESULT_OK) {
        ShowMessageBoxOk(kRestartFailed, kCaption);
        return;
    }
    ShowMessageBoxOk(kRestartSucceeded, kCaption);
    WriteServiceState(kServiceRunning);
    PauseMilliseconds(kPauseBeforeRunningLook);
    ReplaceTrayEntry(Presentation::Running);
}

void Stop() {
    if (StopAgent(kAgentImageNameW) == 0) {
        ShowMessageBoxOk(kStopFailed, kCaption);
        return;
    }
    ShowMessageBoxOk(kStopSucceeded, kCaption);
    WriteServiceState(kServiceStopped);
    ReplaceTrayEntry(Presentation::Stopped);
}

}  // namespace

void RunAgentCommand(unsigned command) {
    // A second command started from the first one's message box would finish first, and the
    // first would then record and show its own outcome over it.
    if (g_commandInProgress) return;
    const CommandInProgress inProgress;
    if (command == IDM_RESTART_AGENT) Restart();
    if (command == IDM_STOP_AGENT) Stop();
}

bool AgentCommandInProgress() { return g_commandInProgress; }

void BringCommandBoxToFront() { BringDialogToForeground(kCaption); }
