#include "handover/monitor_handover.h"

#include <algorithm>
#include <vector>

#include "platform/sessions.h"

namespace {

constexpr wchar_t kMonitorImageName[] = L"KeslWebATMMonitor.exe";
// A monitor asked to close ends within a second; one that has not after this long is ended.
constexpr std::uint32_t kCloseMilliseconds = 5000;
constexpr std::uint32_t kEndMilliseconds = 5000;
constexpr std::uint32_t kTaskkillMilliseconds = 10000;  // taskkill only posts a close request
constexpr std::uint32_t kEndedByForce = 1;  // the exit code of a monitor ended by force

// WTSQueryUserToken needs the first, CreateProcessAsUserW the other two; LocalSystem holds all
// three, but which of them an installer's action gets enabled is not written down.
const std::vector<std::wstring> kPrivileges = {L"SeTcbPrivilege", L"SeAssignPrimaryTokenPrivilege",
                                               L"SeIncreaseQuotaPrivilege"};

std::wstring Error(OsError error) { return L"error " + std::to_wstring(error); }
std::wstring Number(std::size_t n) { return std::to_wstring(n); }
std::wstring Monitor(const RunningProgram& m) { return L"monitor " + Number(m.processId); }
std::wstring SessionAndUser(std::uint32_t session, const std::wstring& userSid) {
    return L"session " + Number(session) + L" as " + userSid;
}
std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// Only the installed file's monitors: a program of the same name elsewhere is none of the install's.
std::vector<RunningProgram> MonitorsOf(const std::wstring& installedPath) {
    std::vector<RunningProgram> monitors;
    for (RunningProgram& program : RunningProgramsNamed(kMonitorImageName)) {
        if (program.error != 0) {
            SayInInstallLog(L"process " + Number(program.processId) + L" of that name not examined: " +
                            Error(program.error));
        } else if (SamePath(program.path, installedPath)) {
            monitors.push_back(std::move(program));
        }
    }
    return monitors;
}

// Nothing is ever started for LocalSystem, nor in the services' session.
bool UsersOwn(std::uint32_t session, const std::wstring& userSid) {
    return session != kServicesSession && !userSid.empty() && userSid != kLocalSystemSid;
}

// The token of the user logged on to session, only while that user is userSid.
UniqueOsHandle UserTokenIn(std::uint32_t session, const std::wstring& userSid) {
    const std::wstring where = L"session " + Number(session) + L": ";
    if (!UsersOwn(session, userSid)) {
        SayInInstallLog(where + L"not a user's session: no monitor is started there");
        return nullptr;
    }
    OsError error = 0;
    UniqueOsHandle token = OpenSessionUserToken(session, error);
    if (token == nullptr) {
        SayInInstallLog(where + L"no user token (the session has ended, or nobody is logged on): " + Error(error));
        return nullptr;
    }
    const std::wstring now = TokenUserSid(token.get());
    if (now != userSid) {
        SayInInstallLog(where + now + L" is logged on now, not " + userSid + L": no monitor is started there");
        return nullptr;
    }
    return token;
}

// A close request reaches only windows of its own session, and of no higher integrity level, so
// taskkill (System32's, which every user may run) asks there with a copy of the monitor's own
// token. The monitor ends as Exit ends it, icon first. True when taskkill said it asked.
bool AskToClose(const RunningProgram& monitor) {
    if (!UsersOwn(monitor.session, monitor.userSid)) {
        SayInInstallLog(Monitor(monitor) + L" is not a user's: not asked to close");
        return false;
    }
    OsError error = 0;
    const UniqueOsHandle token = OpenProcessUserToken(monitor.process.get(), error);
    if (token == nullptr) {
        SayInInstallLog(Monitor(monitor) + L": its token could not be copied to ask it to close: " + Error(error));
        return false;
    }
    const std::wstring system = SystemFolder();
    const StartedProgram taskkill = StartAsUser(token.get(), system + L"\\taskkill.exe",
                                                L"taskkill.exe /PID " + Number(monitor.processId), system);
    if (taskkill.process == nullptr) {
        SayInInstallLog(Monitor(monitor) + L": taskkill could not be started: " + Error(taskkill.error));
        return false;
    }
    WaitForProcessesToEnd({taskkill.process.get()}, kTaskkillMilliseconds);
    std::uint32_t exitCode = 0;
    const std::wstring by = L"taskkill (process " + Number(taskkill.processId) +
                            (taskkill.job.empty() ? L"" : L", " + taskkill.job) + L")";
    if (!ProcessExitCode(taskkill.process.get(), exitCode)) {
        SayInInstallLog(Monitor(monitor) + L": " + by + L" had not ended after " + Number(kTaskkillMilliseconds) +
                        L" ms");
        return false;
    }
    if (exitCode != 0) {
        SayInInstallLog(Monitor(monitor) + L": " + by + L" could not ask it to close: exit code " + Number(exitCode));
        return false;
    }
    SayInInstallLog(Monitor(monitor) + L" asked to close by " + by);
    return true;
}

// "closed" or "ended by force", with its exit code, or still running.
void SayHowItEnded(OsHandle process, const std::wstring& monitor, const wchar_t* how) {
    std::uint32_t exitCode = 0;
    SayInInstallLog(monitor + (ProcessExitCode(process, exitCode) ? how + (L", exit code " + Number(exitCode))
                                                                   : std::wstring(L" still runs")));
}

}  // namespace

void CloseMonitors(const std::wstring& installedPath, bool startAgain) {
    // A record belongs to the install that writes it: one left by an install that never came to
    // its start (a crash, rollback disabled, a shutdown that hibernated) would start monitors now.
    // A removal records nothing, and leaves alone the record of an upgrade it may be part of.
    if (const OsError error = startAgain ? ForgetRecordedMonitorSessions() : 0) {
        SayInInstallLog(L"an earlier install's record could not be removed: " + Error(error));
    }
    const std::vector<RunningProgram> monitors = MonitorsOf(installedPath);
    SayInInstallLog((startAgain ? L"closing, to start again, " : L"closing, for good, ") + Number(monitors.size()) +
                    L" monitor(s) of " + installedPath);
    if (monitors.empty()) return;
    std::vector<MonitorSession> sessions;
    for (const RunningProgram& monitor : monitors) {
        SayInInstallLog(Monitor(monitor) + L" runs in " + SessionAndUser(monitor.session, monitor.userSid));
        sessions.push_back({monitor.session, monitor.userSid});
    }
    if (startAgain) {
        const OsError error = RecordMonitorSessions(sessions);
        SayInInstallLog(error == 0 ? L"their sessions recorded, to start them again"
                                   : L"their sessions could not be recorded, and none will be started again: " + Error(error));
    }
    std::vector<OsHandle> asked;
    for (const RunningProgram& monitor : monitors) {
        if (AskToClose(monitor)) asked.push_back(monitor.process.get());
    }
    if (!asked.empty()) WaitForProcessesToEnd(asked, kCloseMilliseconds);
    // The processes stay open until here, so no number can have passed to another program meanwhile.
    std::vector<const RunningProgram*> left;
    for (const RunningProgram& monitor : monitors) {
        if (ProcessHasEnded(monitor.process.get())) {
            SayHowItEnded(monitor.process.get(), Monitor(monitor), L" closed");
            continue;
        }
        if (!TerminateOsProcess(monitor.process.get(), kEndedByForce)) {
            SayInInstallLog(Monitor(monitor) + L" could not be ended: " + Error(LastOsError()));
        }
        left.push_back(&monitor);
    }
    if (left.empty()) return;
    std::vector<OsHandle> processes;
    for (const RunningProgram* monitor : left) processes.push_back(monitor->process.get());
    WaitForProcessesToEnd(processes, kEndMilliseconds);
    for (const RunningProgram* monitor : left) SayHowItEnded(monitor->process.get(), Monitor(*monitor), L" ended by force");
}

void StartMonitorsAgain(const std::wstring& installedPath) {
    const std::vector<MonitorSession> recorded = RecordedMonitorSessions();
    if (const OsError error = ForgetRecordedMonitorSessions()) {
        SayInInstallLog(L"the record could not be removed: " + Error(error));
    }
    SayInInstallLog(L"starting " + installedPath + L" again in " + Number(recorded.size()) + L" recorded session(s)");
    std::vector<std::uint32_t> served;  // sessions with a monitor: one is enough
    for (const RunningProgram& monitor : MonitorsOf(installedPath)) served.push_back(monitor.session);
    for (const MonitorSession& closed : recorded) {
        if (std::find(served.begin(), served.end(), closed.session) != served.end()) {
            SayInInstallLog(L"session " + Number(closed.session) + L": a monitor runs there already");
            continue;
        }
        // A session that has ended, or has another user now, is passed over: the Run value starts
        // the monitor at its user's next log-on.
        const UniqueOsHandle token = UserTokenIn(closed.session, closed.userSid);
        if (token == nullptr) continue;
        const StartedProgram monitor =
            StartAsUser(token.get(), installedPath, L"\"" + installedPath + L"\"", FolderOf(installedPath));
        const std::wstring where = SessionAndUser(closed.session, closed.userSid);
        if (monitor.process == nullptr) {
            SayInInstallLog(L"the monitor could not be started in " + where + L": " + Error(monitor.error));
            continue;
        }
        SayInInstallLog(L"monitor " + Number(monitor.processId) + L" started in " + where +
                        (monitor.job.empty() ? L"" : L", " + monitor.job));
        served.push_back(closed.session);
    }
}

bool RunHandover(const std::wstring& command) {
    const std::size_t space = command.find(L' ');
    const std::wstring verb = command.substr(0, space);
    const bool quoted = space != std::wstring::npos && command.size() > space + 3 && command[space + 1] == L'"' &&
                        command.back() == L'"';
    if (!quoted || (verb != L"close" && verb != L"end" && verb != L"start")) {
        SayInInstallLog(L"not a command: " + command);
        return false;
    }
    for (const auto& [privilege, error] : EnablePrivileges(kPrivileges)) {
        SayInInstallLog(privilege + L" could not be enabled: " + Error(error));
    }
    const std::wstring installedPath = command.substr(space + 2, command.size() - space - 3);
    if (verb == L"start") StartMonitorsAgain(installedPath);
    else CloseMonitors(installedPath, verb == L"close");
    return true;
}
