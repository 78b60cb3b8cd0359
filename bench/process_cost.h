#pragma once
// What a running process costs the machine: processor time so far and private memory.

#include <windows.h>

#include <cstdint>

// Kernel plus user time the process has used so far, in milliseconds.
double ProcessCpuMilliseconds(DWORD processId);

// The process's private (committed, unshared) memory in bytes; 0 when it cannot be read.
std::uint64_t ProcessPrivateBytes(HANDLE process);
