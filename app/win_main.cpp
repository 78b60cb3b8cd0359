// The program's entry point: reconcile, then run the tray window until it is closed.

#include <windows.h>

#include "app/reconcile.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/, PWSTR /*commandLine*/, int /*showState*/) {
    Reconcile();
    return 0;
}
