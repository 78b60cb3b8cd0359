#include "handover/monitor_handover.h"

#include <algorithm>
#include <vector>

#include "platform/sessions.h"

namespace {

constexpr wchar_t kMonitorImageName[] = L"KeslWebATMMonitor.exe";
// A monitor asked to close ends within a second; one that has not after this long is ended.
constexpr std::uint32_t kCloseMilliseconds = 5000;
constexpr std::uint32_t kEndMilliseconds = 5000;
constexpr std::uint32_t kEndedByForce = 1;  // the exit code of a monitor ended by force

// Only the installed file's monitors: a program of the same name elsewhere is none of the install's.
std::vector<RunningProgram> MonitorsOf(const std::wstring& installedPath) {
    std::vector<RunningProgram> monitors;
    for (RunningProgram& program : RunningProgramsNamed(kMonitorImageName)) {
        if (SamePath(program.path, installedPath)) monitors.push_back(std::move(program));
    }
    return monitors;
}

// Nothing is ever started for LocalSystem, nor in the services' session.
bool UsersOwn(std::uint32_t session, const std::wstring& userSid) {
    return session != kServicesSession && !userSid.empty() && userSid != kLocalSystemSid;
}

// The token of the user logged on to session, only while that user is userSid.
UniqueOsHandle UserTokenIn(std::uint32_t session, const std::wstring& userSid) {
    if (!UsersOwn(session, userSid)) return nullptr;
    UniqueOsHandle token = OpenSessionUserToken(session);
    if (token == nullptr || TokenUserSid(token.get()) != userSid) return nullptr;
    return token;
}

std::vector<OsHandle> StillRunning(const std::vector<RunningProgram>& programs) {
    std::vector<OsHandle> running;
    for (const RunningProgram& program : programs) {
        if (!ProcessHasEnded(program.process.get())) running.push_back(program.process.get());
    }
    return running;
}

}  // namespace

void CloseMonitors(const std::wstring& installedPath, bool startAgain) {
    const std::vector<RunningProgram> monitors = MonitorsOf(installedPath);
    if (monitors.empty()) return;
    if (startAgain) {
        std::vector<MonitorSession> sessions;
        for (const RunningProgram& monitor : monitors) sessions.push_back({monitor.session, monitor.userSid});
        RecordMonitorSessions(sessions);
    }
    // A close request reaches only windows of its own session, and of no higher integrity level, so
    // taskkill (System32's, which every user may run) asks there with a copy of the monitor's own
    // token. The monitor ends as Exit ends it, icon first.
    const std::wstring taskkill = SystemProgramPath(L"taskkill.exe");
    bool asked = false;
    for (const RunningProgram& monitor : monitors) {
        const UniqueOsHandle token =
            UsersOwn(monitor.session, monitor.userSid) ? OpenProcessUserToken(monitor.process.get()) : nullptr;
        if (token != nullptr) {
            asked |= StartAsUser(token.get(), taskkill, L"taskkill.exe /PID " + std::to_wstring(monitor.processId));
        }
    }
    if (asked) WaitForProcessesToEnd(StillRunning(monitors), kCloseMilliseconds);
    // The processes stay open until here, so no number can have passed to another program meanwhile.
    const std::vector<OsHandle> left = StillRunning(monitors);
    for (OsHandle monitor : left) TerminateOsProcess(monitor, kEndedByForce);
    if (!left.empty()) WaitForProcessesToEnd(left, kEndMilliseconds);
}

void StartMonitorsAgain(const std::wstring& installedPath) {
    const std::vector<MonitorSession> recorded = TakeRecordedMonitorSessions();
    std::vector<std::uint32_t> served;  // sessions with a monitor: one is enough
    for (const RunningProgram& monitor : MonitorsOf(installedPath)) served.push_back(monitor.session);
    for (const MonitorSession& closed : recorded) {
        if (std::find(served.begin(), served.end(), closed.session) != served.end()) continue;
        // A session that has ended, or has another user now, is passed over: the Run value starts
        // the monitor at its user's next log-on.
        const UniqueOsHandle token = UserTokenIn(closed.session, closed.userSid);
        if (token != nullptr && StartAsUser(token.get(), installedPath, L"\"" + installedPath + L"\"")) {
            served.push_back(closed.session);
        }
    }
}

int RunHandover(int argumentCount, const wchar_t* const* arguments) {
    if (argumentCount != 2 || arguments[1][0] == L'\0') return 2;
    const std::wstring command = arguments[0];
    const std::wstring installedPath = arguments[1];
    if (command == L"close" || command == L"end") CloseMonitors(installedPath, command == L"close");
    else if (command == L"start") StartMonitorsAgain(installedPath);
    else return 2;
    return 0;
}
