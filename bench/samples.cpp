#include "bench/samples.h"

#include <cstdio>

void Sample(const char* figure, const char* program, double value) {
    std::printf("sample %s %s %.3f\n", figure, program, value);
    std::fflush(stdout);
}

void Missing(const char* figure, const char* program, const char* reason) {
    std::printf("missing %s %s %s\n", figure, program, reason);
    std::fflush(stdout);
}

void Progress(const char* what) {
    std::fprintf(stderr, "  %s\n", what);
    std::fflush(stderr);
}
