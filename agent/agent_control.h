#pragma once
// Finding, stopping and starting the agent.

#include <cstdint>

// 1 when a process of the wanted image name is running, else 0. When the first such process
// can be opened, pauses a second before answering.
int IsAgentRunning(const wchar_t* wantedName);

// Ends every running process of the wanted image name, pausing 1.5 s after each. A process that
// refuses to be ended is handed to the terminate program through the elevation prompt. Returns 1
// when the whole process list was walked, 0 when the snapshot failed or a refused process could
// not be handed on (later processes are then left alone).
int StopAgent(const wchar_t* wantedName);

// Launches the installed agent program through the shell without waiting for it. Returns a
// ResultCode: RESULT_OK, or why it was not launched (100, 105, 106 or 107).
int StartAgent(const char* imageName);

// The shell's results up to this value mean that it refused the launch.
inline constexpr std::intptr_t kShellRefusalLimit = 32;
