#pragma once
// The two programs of the component's own installation that the monitor controls.

// The agent's image name: UTF-16 for the process list, narrow for its launch path.
inline constexpr wchar_t kAgentImageNameW[] = L"KeslWebATMAgent.exe";
inline constexpr char kAgentImageNameA[] = "KeslWebATMAgent.exe";

// Both programs live in this folder under Program Files.
inline constexpr char kInstallFolderSuffix[] = "\\KESL\\WebATM\\";
inline constexpr char kTerminateProgramName[] = "KeslTerminateService.exe";
