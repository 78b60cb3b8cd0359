#pragma once
// The install the hand-over runs in: its handle, which Windows Installer gives each call of the
// hand-over's action, and which the install's log is written through.

#include <string>

using InstallHandle = unsigned long;  // an MSIHANDLE

// From now on, SayInInstallLog writes to this install's log; 0 writes nowhere.
void SetInstallLog(InstallHandle install);
// The action's own data (CustomActionData), which a deferred action is given instead of properties.
std::wstring ActionData(InstallHandle install);
