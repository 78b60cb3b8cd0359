#include <windows.h>

#include <ctime>

#include "platform/platform.h"

void PauseMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::int64_t CurrentTime() { return _time64(nullptr); }
