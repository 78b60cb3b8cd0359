#pragma once
// The driver's output, one line per observation, for tools/bench/report.py to summarise:
//   sample <figure> <program> <value>
//   missing <figure> <program> <reason>

void Sample(const char* figure, const char* program, double value);
void Missing(const char* figure, const char* program, const char* reason);
// Progress for the person waiting, on the error stream.
void Progress(const char* what);
