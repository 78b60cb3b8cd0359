#pragma once
// Clocks and polling for the measurements: the performance counter, and a poll every couple of
// milliseconds, fine enough for figures of tens of milliseconds and up.

#include <windows.h>

#include <chrono>

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double Milliseconds() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};

// Polls condition until it holds or timeout passes; returns whether it held.
template <typename Condition>
bool PollUntil(Condition condition, std::chrono::milliseconds timeout) {
    constexpr DWORD kPollMilliseconds = 2;
    const Stopwatch clock;
    while (!condition()) {
        if (clock.Milliseconds() > static_cast<double>(timeout.count())) return false;
        Sleep(kPollMilliseconds);
    }
    return true;
}
