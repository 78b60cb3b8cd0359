#pragma once
// What the install's hand-over of the running monitors asks of the operating system: the programs
// that run in the users' sessions, each session's user token, programs started as a session's
// user, a record of sessions that lasts until the install ends and never past a restart, and the
// install's own log. The Win32 build implements them in platform/win32/; the native tests link a
// fake.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

inline constexpr std::uint32_t kServicesSession = 0;  // no user's: the services' and LocalSystem's
inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";

// The system's error code of a call that failed; 0 when it succeeded.
using OsError = std::uint32_t;
// The error code of this thread's last call that failed, read right after it.
OsError LastOsError();

// A line in the install's own log (msiexec /l*v), which deployment tools collect.
void SayInInstallLog(const std::wstring& line);

// Enables each named privilege of this program's token; those that could not be, with why.
std::vector<std::pair<std::wstring, OsError>> EnablePrivileges(const std::vector<std::wstring>& names);

struct RunningProgram {
    std::uint32_t processId = 0;
    std::uint32_t session = 0;
    std::wstring path;        // the full path of its program file
    std::wstring userSid;     // the user of its token, as "S-1-5-21-..."
    UniqueOsHandle process;   // open to wait for it and to end it
    OsError error = 0;        // why it could not be opened or read; nothing else is known of it then
};

// Every running process of imageName.
std::vector<RunningProgram> RunningProgramsNamed(const wchar_t* imageName);
bool SamePath(const std::wstring& a, const std::wstring& b);  // as the file system compares names
// Waits until every one of processes has ended, or milliseconds have passed.
void WaitForProcessesToEnd(const std::vector<OsHandle>& processes, std::uint32_t milliseconds);
// The exit code of a process that has ended; false while it runs or when it cannot be read.
bool ProcessExitCode(OsHandle process, std::uint32_t& exitCode);

// The primary token of the user logged on to session, never an administrator's full one under UAC;
// empty, with why, when the session has ended or no user is logged on to it.
UniqueOsHandle OpenSessionUserToken(std::uint32_t session, OsError& error);
// A primary token that is a copy of the open process's own, its integrity level included; empty,
// with why, when it cannot be had.
UniqueOsHandle OpenProcessUserToken(OsHandle process, OsError& error);
std::wstring TokenUserSid(OsHandle token);  // empty when it cannot be read

struct StartedProgram {
    UniqueOsHandle process;  // empty when it could not be started
    std::uint32_t processId = 0;
    OsError error = 0;       // why not
    std::wstring job;        // how it stands to a job this program runs in, for the log; empty when none
};
// Starts program with commandLine as token's user, in token's session on its interactive desktop,
// with that user's own environment, in folder; does not wait for it.
StartedProgram StartAsUser(OsHandle token, const std::wstring& program, const std::wstring& commandLine,
                           const std::wstring& folder);
std::wstring SystemFolder();  // System32, as this program's kind sees it

// A session whose monitor the install closed, and the user it ran as.
struct MonitorSession {
    std::uint32_t session = 0;
    std::wstring userSid;
};
// The record, kept in memory, never past a restart. Each returns 0, or why it could not.
OsError RecordMonitorSessions(const std::vector<MonitorSession>& sessions);
std::vector<MonitorSession> RecordedMonitorSessions();  // empty when there is no record
OsError ForgetRecordedMonitorSessions();                // no record left is no error
