#pragma once
// Start-up: settle what the program believes about the agent before any window exists.

#include "state/service_state.h"

// Reconciles the stored state with the process list, rewriting the state file when the two
// disagree. Leaves the start-up state set and returns the string number of the window title:
// IDS_TITLE_RUNNING when the agent was found running, IDS_TIP_STOPPED otherwise.
int Reconcile();

// The start-up state settled by Reconcile; it does not change afterwards.
ServiceState StartupState();
