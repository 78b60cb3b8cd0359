#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace {

FakeWorld g_world;
std::uintptr_t g_lastHandle = 0x100;
std::wstring g_menu;  // the items of the menu being built

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0xAA00);
WindowHandle const kDesktop = reinterpret_cast<WindowHandle>(0xDE00);
constexpr std::uintptr_t kIconBase = 0x10000;

template <typename... Parts> void Log(const Parts&... parts) {
    std::wostringstream line;
    (line << ... << parts);
    g_world.journal.push_back(line.str());
}

bool IsFolder(const std::string& path) { return g_world.folders.count(path) != 0; }
std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

OsHandle NewHandle() {
    ++g_world.openHandles;
    return reinterpret_cast<OsHandle>(g_lastHandle += 4);
}

bool FetchRow(OsHandle snapshot, ProcessEntry& entry) {
    auto& rows = g_world.snapshots.at(snapshot);
    if (rows.empty()) return false;
    entry = ProcessEntry{};
    entry.processId = rows.front().id;
    rows.front().imageName.copy(entry.imageName, kImageNameCapacity - 1);
    rows.erase(rows.begin());
    return true;
}

void Deliver(std::deque<FakeMessage>& messages) {
    while (!messages.empty() && !g_world.windowDestroyed) {
        const FakeMessage m = messages.front();
        messages.pop_front();
        SendToMainWindow(m.message, m.wParam, m.lParam);
    }
}

}  // namespace

FakeWorld& Fake() { return g_world; }

void FakeWorldTest::SetUp() {
    EXPECT_EQ(g_world.openHandles, 0) << "a handle was left open";
    g_world = FakeWorld{};
}

MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return g_world.procedure(kWindow, message, wParam, lParam);
}


HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]) {
    const bool appData = folder == SpecialFolder::RoamingAppData;
    const std::string value = appData ? g_world.appDataPath : "C:\\Program Files (x86)";
    path[value.copy(path, kPathBufferSize - 1)] = '\0';
    return appData ? g_world.appDataResult : kSOk;
}

bool ReadFileStatus(const char* path, FileStatus& status) {
    const auto file = g_world.files.find(path);
    if (file != g_world.files.end()) status = {false, static_cast<std::int64_t>(file->second.size())};
    else if (IsFolder(path)) status = {true, 0};
    else return false;
    return true;
}

void ReadProfileValue(const char* path, const char*, const char* key, const char* defaultValue,
                      char* value, std::size_t valueSize) {
    // A file holds one line, "key=value", which the journal shows written to its section.
    const std::string text = g_world.files.count(path) ? g_world.files[path] : "";
    const bool hasKey = text.rfind(std::string(key) + "=", 0) == 0;
    const std::string found = hasKey ? text.substr(std::strlen(key) + 1) : defaultValue;
    value[found.copy(value, valueSize - 1)] = '\0';
}

bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value) {
    Log(L"write ", path, L" [", section, L"] ", key, L"=", value);
    if (!IsFolder(Parent(path))) return false;
    g_world.files[path] = std::string(key) + "=" + value;
    return true;
}

bool CreateFolder(const char* path) {
    Log(L"create folder ", path);
    return !g_world.files.count(path) && IsFolder(Parent(path)) && g_world.folders.insert(path).second;
}

bool RemoveFile(const char* path) {
    Log(L"remove ", path);
    return g_world.files.erase(path) == 1;
}

void CloseOsHandle(OsHandle handle) {
    if (g_world.snapshots.erase(handle) + g_world.processHandles.erase(handle) + g_world.tokens.erase(handle) +
        g_world.started.erase(handle) == 1) --g_world.openHandles;
    else Log(L"close of an unknown handle");
}

UniqueOsHandle OpenProcessSnapshot() {
    OsHandle handle = NewHandle();
    for (const FakeProcess& p : g_world.processes) {
        if (p.running) g_world.snapshots[handle].push_back(p);
    }
    g_world.snapshots[handle];  // an empty list is a list too
    return UniqueOsHandle(handle);
}

bool FirstProcess(OsHandle snapshot, ProcessEntry& entry) {
    return !g_world.firstProcessFails && FetchRow(snapshot, entry);
}

bool NextProcess(OsHandle snapshot, ProcessEntry& entry) { return FetchRow(snapshot, entry); }

OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process) {
    for (const FakeProcess& p : g_world.processes) {
        if (p.id != processId || !p.running) continue;
        if (p.openOutcome != OpenProcessOutcome::Opened) return p.openOutcome;
        process.reset(NewHandle());
        g_world.processHandles[process.get()] = processId;
        return OpenProcessOutcome::Opened;
    }
    return OpenProcessOutcome::Gone;
}

static FakeProcess& ProcessOf(OsHandle handle) {
    const std::uint32_t id = g_world.processHandles.at(handle);
    return *std::find_if(g_world.processes.begin(), g_world.processes.end(),
                         [id](const FakeProcess& p) { return p.id == id; });
}

bool ReadProcessImageName(OsHandle process, wchar_t (&imageName)[kImageNameCapacity]) {
    const FakeProcess& p = ProcessOf(process);
    if (p.imageUnreadable) return false;
    (p.imageNow.empty() ? p.imageName : p.imageNow).copy(imageName, kImageNameCapacity - 1);
    return true;
}

bool ProcessHasEnded(OsHandle process) { return !ProcessOf(process).running; }

bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode) {
    FakeProcess& p = ProcessOf(process);
    Log(L"terminate ", p.id, L" exit ", exitCode);
    if (p.endsBeforeTerminate) p.running = false;
    if (p.terminationRefused || p.endsBeforeTerminate) return false;
    p.running = false;
    p.exitCode = exitCode;
    return true;
}

WindowHandle DesktopWindow() { return kDesktop; }

std::intptr_t LaunchThroughShell(WindowHandle owner, const char* verb, const char* path) {
    Log(L"launch ", verb, L" ", path, owner == kDesktop ? L" over the desktop" : L"");
    return g_world.shellResult;
}

void PauseMilliseconds(std::uint32_t milliseconds) { Log(L"pause ", milliseconds); }

std::int64_t CurrentTime() { return g_world.now; }

void SetProgramInstance(InstanceHandle) {}

int LoadStringResource(unsigned id, wchar_t* buffer, int capacity) {
    // The texts themselves are the resource script's; the program is seen asking for the right one.
    const std::size_t length = (L"string " + std::to_wstring(id)).copy(buffer, static_cast<std::size_t>(capacity) - 1);
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

IconHandle LoadIconResource(unsigned id) { return reinterpret_cast<IconHandle>(kIconBase + id); }

bool RegisterMainWindowClass(const MainWindowClass& c) {
    g_world.procedure = c.procedure;
    Log(L"register class ", c.className, L" icon ", c.largeIcon, L" small ", c.smallIcon, L" menu ", c.menu);
    return true;
}

WindowHandle CreateMainWindow(const wchar_t* className, const wchar_t* title) {
    Log(L"create window ", className, L" titled ", title);
    return kWindow;
}

bool DestroyMainWindow(WindowHandle) {
    Log(L"destroy window");
    g_world.windowDestroyed = true;
    SendToMainWindow(kMsgDestroy);
    return true;
}

MessageResult DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    Log(L"default ", message, L" ", wParam);
    if (message == kMsgClose) DestroyMainWindow(window);
    return 0;
}

void PaintNothing(WindowHandle) { Log(L"paint"); }
void PostQuit(int exitCode) { Log(L"quit ", exitCode); }
void PostWindowMessage(WindowHandle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    if (wParam == 0) Log(L"post ", message);
    else Log(L"post ", message, L" ", wParam);
}

std::uint32_t RegisterNamedMessage(const wchar_t* name) {
    return std::wstring(name) == L"TaskbarCreated" ? kTaskbarCreated : 1;
}

bool AllowMessageFromLowerIntegrity(WindowHandle, std::uint32_t message) {
    Log(L"allow ", message, L" from lower integrity");
    return true;
}

int RunMessageLoop(unsigned acceleratorsId) {
    Log(L"loop ", acceleratorsId);
    Deliver(g_world.queued);
    return g_world.windowDestroyed ? 0 : -1;
}

bool NotifyTray(TrayAction action, const TrayRecord& r) {
    const auto icon = reinterpret_cast<std::uintptr_t>(r.icon) - kIconBase;
    if (action == TrayAction::SetFocus) Log(L"tray focus ", r.id);
    else if (action == TrayAction::Delete) Log(L"tray delete ", r.id);
    else Log(L"tray add ", r.id, L" icon ", icon, L" flags ", r.flags, L" callback ", r.callbackMessage, L" tip ",
             r.tip);
    if (action != TrayAction::Add || g_world.refusedTrayAdds == 0) return true;
    --g_world.refusedTrayAdds;
    Log(L"refused");
    return false;
}

void StartWindowTimer(WindowHandle, std::uintptr_t id, std::uint32_t every) { Log(L"timer ", id, L" every ", every); }
void StopWindowTimer(WindowHandle, std::uintptr_t id) { Log(L"timer ", id, L" stopped"); }

ScreenPoint CursorScreenPosition() { return {640, 700}; }

MenuHandle CreatePopup() {
    g_menu.clear();
    return &g_menu;
}

bool AppendMenuItem(MenuHandle, unsigned command, const wchar_t* text) {
    g_menu += L" " + std::to_wstring(command) + L" " + text;
    return true;
}

void BringToForeground(WindowHandle) { Log(L"foreground"); }
unsigned TrackPopup(MenuHandle, ScreenPoint at, WindowHandle) {
    Log(L"menu at ", at.x, L",", at.y, L":", g_menu);
    return g_world.menuChoice;
}
void DestroyPopup(MenuHandle) { Log(L"destroy menu"); }

std::intptr_t ShowModalDialog(unsigned templateId, WindowHandle, DialogProcedure) {
    Log(L"dialog ", templateId);
    return 0;
}

void EndDialogBox(WindowHandle, std::intptr_t result) { Log(L"end dialog ", result); }

void ShowMessageBoxOk(const wchar_t* text, const wchar_t* caption) {
    Log(L"message box ", text, L" | ", caption);
    Deliver(g_world.queued);  // the box's own loop goes on dispatching until the user presses OK
    Log(L"message box dismissed");
}

void BringDialogToForeground(const wchar_t* caption) { Log(L"to the front ", caption); }

// ---- The install's hand-over ----

OsError LastOsError() { return 5; }  // ERROR_ACCESS_DENIED: the fake's calls fail for no other reason

void SayInInstallLog(const std::wstring& line) { g_world.installLog.push_back(line); }

std::vector<std::pair<std::wstring, OsError>> EnablePrivileges(const std::vector<std::wstring>&) { return {}; }

std::vector<RunningProgram> RunningProgramsNamed(const wchar_t* imageName) {
    std::vector<RunningProgram> programs;
    for (const FakeProcess& p : g_world.processes) {
        if (!p.running || p.imageName != imageName) continue;
        programs.push_back({p.id, p.session, p.path, p.userSid, UniqueOsHandle(NewHandle()), 0});
        g_world.processHandles[programs.back().process.get()] = p.id;
    }
    return programs;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

// Those asked to close that close when asked end during the wait; taskkill has ended by then.
void WaitForProcessesToEnd(const std::vector<OsHandle>& processes, std::uint32_t milliseconds) {
    Log(L"wait for ", processes.size(), L" up to ", milliseconds, L" ms");
    for (OsHandle process : processes) {
        if (g_world.started.count(process) != 0) continue;
        FakeProcess& p = ProcessOf(process);
        if (p.askedToClose && p.closesWhenAsked) p.running = false;
    }
}

bool ProcessExitCode(OsHandle process, std::uint32_t& exitCode) {
    const auto started = g_world.started.find(process);
    const bool ended = started != g_world.started.end() ? started->second : !ProcessOf(process).running;
    if (ended) exitCode = started != g_world.started.end() ? g_world.taskkillExitCode : ProcessOf(process).exitCode;
    return ended;
}

UniqueOsHandle OpenSessionUserToken(std::uint32_t session, OsError& error) {
    const auto user = g_world.sessionUsers.find(session);
    if (user == g_world.sessionUsers.end() || user->second.empty()) {
        error = 1008;  // ERROR_NO_TOKEN
        return nullptr;
    }
    UniqueOsHandle token(NewHandle());
    g_world.tokens[token.get()] = {session, user->second};
    return token;
}

UniqueOsHandle OpenProcessUserToken(OsHandle process, OsError&) {
    UniqueOsHandle token(NewHandle());
    g_world.tokens[token.get()] = {ProcessOf(process).session, ProcessOf(process).userSid};
    return token;
}

std::wstring TokenUserSid(OsHandle token) { return g_world.tokens.at(token).userSid; }

// A taskkill without /F asks the process it names to close, and has ended by the time it is waited for.
StartedProgram StartAsUser(OsHandle token, const std::wstring& program, const std::wstring& commandLine,
                           const std::wstring& folder) {
    Log(L"start in session ", g_world.tokens.at(token).session, L" as ", TokenUserSid(token), L" in ", folder, L": ",
        program, L" ", commandLine);
    const std::size_t pid = commandLine.find(L"/PID ");
    StartedProgram started;
    for (FakeProcess& p : g_world.processes) {
        if (pid != std::wstring::npos && std::to_wstring(p.id) == commandLine.substr(pid + 5)) p.askedToClose = true;
    }
    started.process.reset(NewHandle());
    started.processId = g_world.nextProcessId++;
    g_world.started[started.process.get()] = pid != std::wstring::npos;
    return started;
}

std::wstring SystemFolder() { return L"C:\\Windows\\system32"; }

OsError RecordMonitorSessions(const std::vector<MonitorSession>& sessions) {
    for (const MonitorSession& s : sessions) Log(L"record session ", s.session, L" ", s.userSid);
    g_world.recorded.insert(g_world.recorded.end(), sessions.begin(), sessions.end());
    return 0;
}

std::vector<MonitorSession> RecordedMonitorSessions() { return g_world.recorded; }

OsError ForgetRecordedMonitorSessions() {
    if (!g_world.recorded.empty()) Log(L"forget the record");
    g_world.recorded.clear();
    return 0;
}
