// The program's entry point: reconcile, then run the tray window until it is closed.

#include <windows.h>

#include "app/main_window.h"
#include "app/reconcile.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, PWSTR /*commandLine*/, int /*showState*/) {
    SetProgramInstance(instance);
    const int titleChoice = Reconcile();
    return RunMainWindow(titleChoice);
}
