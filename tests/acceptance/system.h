#pragma once
// The machine the acceptance run checks: processes and their tokens, the shell, files, the
// registry and Windows Installer.

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/processes.h"

bool RunningUnderWine();
bool FileExists(const std::wstring& path);
bool SameBytes(const std::wstring& a, const std::wstring& b);
bool CopyInto(const std::wstring& from, const std::wstring& folder);
std::wstring FileVersion(const std::wstring& path);  // "1.0.0.7", or empty

// A primary token of the logged-on user's shell (the process that owns the shell's window), as the
// Run value's programs get it at log-on: unelevated under UAC, though this program is elevated.
UniqueHandle ShellUserToken();
// Starts commandLine with the shell user's token; false when it could not, and commandLine was
// started with this program's own token instead. how says which.
bool StartAsShellUser(const std::wstring& commandLine, Started& started, std::wstring& how);
bool UacIsOn();
// 1 when the process runs elevated, 0 when not, -1 when that cannot be read.
int ElevationOf(HANDLE process);
int ShellElevation();  // of the process that owns the shell's window; -1 without a shell

// Ends Explorer and waits for Windows to start it again (started here, as the shell's user, where it
// does not); how says what happened. False when there was no Explorer, or no taskbar came back.
bool RestartExplorer(std::wstring& how);

// An installer log (UTF-16, or ANSI read in each code page given in turn: by default 950, the
// package's own messages', then the system's) as text.
std::wstring ReadLogText(const std::wstring& path, std::initializer_list<UINT> codePages = {950, CP_ACP});
// The install hand-over's own lines in an installer log, without their "KeslMonitorHandover: ".
std::vector<std::wstring> HandoverLines(const std::wstring& logPath);
// Whether the hand-over's record of the sessions it closed is still in the registry.
bool HandoverRecordLeft();

// The Run value that starts the monitor at every log-on, in the 32-bit view; empty when absent.
std::wstring MonitorRunValue();
// The installed products of upgradeCode that the installed programs list as displayName, as their
// versions.
std::vector<std::wstring> InstalledEntries(const wchar_t* upgradeCode, const std::wstring& displayName);

// Authenticode as Windows checks it: 0 when trusted, else WinVerifyTrust's result
// (TRUST_E_NOSIGNATURE for an unsigned file); signer gets the signer's name.
LONG VerifySignature(const std::wstring& path, std::wstring& signer);
