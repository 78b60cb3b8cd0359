// The hand-over's entry point, KeslMonitorHandover.dll!Handover: Windows Installer calls it in the
// install script, as LocalSystem, from each of the package's hand-over actions, which hand it their
// command ("close PATH", "end PATH", "start PATH") as the action's data. Everything it does goes
// into the install's own log.

#include <windows.h>

#include "handover/monitor_handover.h"
#include "platform/win32/install_log.h"

extern "C" __declspec(dllexport) UINT __stdcall Handover(InstallHandle install) {
    SetInstallLog(install);
    RunHandover(ActionData(install));
    SetInstallLog(0);
    // The install goes on whatever happened: a monitor not brought back starts at its user's next
    // log-on, from the Run value.
    return ERROR_SUCCESS;
}
