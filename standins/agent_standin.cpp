// Stand-in for the security agent, for tests and demonstrations: no window, no work, and it
// lives until it is terminated.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    for (;;) Sleep(INFINITE);
}
