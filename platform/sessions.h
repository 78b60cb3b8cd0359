#pragma once
// What the install's hand-over of the running monitors asks of the operating system: the programs
// that run in the users' sessions, each session's user token, programs started as a session's
// user, and a record of sessions that lasts until the install ends and never past a restart. The
// Win32 build implements them in platform/win32/sessions.cpp; the native tests link a fake.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

inline constexpr std::uint32_t kServicesSession = 0;  // no user's: the services' and LocalSystem's
inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";

struct RunningProgram {
    std::uint32_t processId = 0;
    std::uint32_t session = 0;
    std::wstring path;        // the full path of its program file
    std::wstring userSid;     // the user of its token, as "S-1-5-21-..."
    UniqueOsHandle process;   // open to wait for it and to end it
};

// Every running process of imageName whose path, session and user could be read.
std::vector<RunningProgram> RunningProgramsNamed(const wchar_t* imageName);
bool SamePath(const std::wstring& a, const std::wstring& b);  // as the file system compares names
// Waits until every one of processes has ended, or milliseconds have passed.
void WaitForProcessesToEnd(const std::vector<OsHandle>& processes, std::uint32_t milliseconds);

// The primary token of the user logged on to session, never an administrator's full one under UAC;
// empty when the session has ended or no user is logged on to it.
UniqueOsHandle OpenSessionUserToken(std::uint32_t session);
// A primary token that is a copy of the open process's own, its integrity level included; empty
// when it cannot be had.
UniqueOsHandle OpenProcessUserToken(OsHandle process);
std::wstring TokenUserSid(OsHandle token);  // empty when it cannot be read
// Starts program with commandLine as token's user, in token's session on its interactive desktop,
// with that user's own environment; does not wait for it.
bool StartAsUser(OsHandle token, const std::wstring& program, const std::wstring& commandLine);
std::wstring SystemProgramPath(const wchar_t* fileName);  // the file's path in the system folder

// A session whose monitor the install closed, and the user it ran as.
struct MonitorSession {
    std::uint32_t session = 0;
    std::wstring userSid;
};
// Adds sessions to the record (kept in memory, never past a restart); false when it cannot be written.
bool RecordMonitorSessions(const std::vector<MonitorSession>& sessions);
std::vector<MonitorSession> TakeRecordedMonitorSessions();  // and forgets them
