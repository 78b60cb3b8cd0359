#pragma once
// Finding the agent among the running processes.

// 1 when a process of the wanted image name is running, else 0. When the first such process
// can be opened, pauses a second before answering.
int IsAgentRunning(const wchar_t* wantedName);
