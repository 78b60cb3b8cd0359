#include "app/reconcile.h"

#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "res/resource.h"

namespace {
ServiceState g_startupState = kServiceRunning;
}

ServiceState StartupState() { return g_startupState; }

int Reconcile() {
    // A missing or unreadable file leaves Running.
    g_startupState = kServiceRunning;
    ReadServiceState(&g_startupState);

    const bool agentRunning = IsAgentRunning(kAgentImageNameW) != 0;
    const bool storedRunning = g_startupState == kServiceRunning;

    // The process list wins; the file is only rewritten when it says otherwise.
    if (agentRunning && !storedRunning) {
        WriteServiceState(kServiceRunning);
        g_startupState = kServiceRunning;
    } else if (!agentRunning && storedRunning) {
        WriteServiceState(kServiceStopped);
        g_startupState = kServiceStopped;
    }
    return agentRunning ? IDS_TITLE_RUNNING : IDS_TIP_STOPPED;
}
