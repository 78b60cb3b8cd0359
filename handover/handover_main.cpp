// The hand-over program's entry point: the installer starts it with its command on the command line.

#include <windows.h>

#include <cstdlib>

#include "handover/monitor_handover.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/, PWSTR /*commandLine*/, int /*showState*/) {
    return RunHandover(__argc - 1, __wargv + 1);
}
