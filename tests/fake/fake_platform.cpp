#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace {

FakeWorld g_world;
std::map<std::uintptr_t, std::vector<FakeProcess>> g_snapshots;  // rows not yet fetched
std::map<std::uintptr_t, std::uint32_t> g_processHandles;
std::uintptr_t g_lastHandle = 0x100;
std::string g_menu;  // the items of the menu being built

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0xAA00);
WindowHandle const kDesktop = reinterpret_cast<WindowHandle>(0xDE00);
constexpr std::uintptr_t kIconBase = 0x10000;

void Log(const std::string& line) { g_world.journal.push_back(line); }

std::string Utf8(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        const auto c = static_cast<std::uint32_t>(*text);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

bool IsFolder(const std::string& path) { return g_world.folders.count(path) != 0; }
std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

OsHandle NewHandle() {
    ++g_world.openHandles;
    return reinterpret_cast<OsHandle>(g_lastHandle += 4);
}

bool FetchRow(OsHandle snapshot, ProcessEntry& entry) {
    auto& rows = g_snapshots[reinterpret_cast<std::uintptr_t>(snapshot)];
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
    g_snapshots.clear();
    g_processHandles.clear();
    g_world.folders = {{g_world.appDataPath, true}, {g_world.programFilesPath, true}};
}

MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return g_world.procedure(kWindow, message, wParam, lParam);
}

void AddProcess(std::uint32_t id, const std::wstring& imageName) { g_world.processes.push_back({id, imageName}); }

std::string StateFilePath() { return g_world.appDataPath + "\\KESL\\info.ini"; }

std::string StoredValue() {
    char value[32] = {};
    ReadProfileValue(StateFilePath().c_str(), "Settings", "Service", "", value, sizeof value);
    return value;
}

std::vector<std::string> JournalOf(std::initializer_list<const char*> prefixes) {
    std::vector<std::string> lines;
    for (const std::string& line : g_world.journal) {
        for (const char* prefix : prefixes) {
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        }
    }
    return lines;
}

// ---- Folders and files ----

HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]) {
    const bool appData = folder == SpecialFolder::RoamingAppData;
    const std::string& value = appData ? g_world.appDataPath : g_world.programFilesPath;
    path[value.copy(path, kPathBufferSize - 1)] = '\0';
    return appData ? g_world.appDataResult : g_world.programFilesResult;
}

bool ReadFileStatus(const char* path, FileStatus& status) {
    if (IsFolder(path)) {
        status = {true, 0};
        return true;
    }
    const auto file = g_world.files.find(path);
    if (file == g_world.files.end()) return false;
    status = {false, static_cast<std::int64_t>(file->second.size())};
    return true;
}

void ReadProfileValue(const char* path, const char* section, const char* key, const char* defaultValue,
                      char* value, std::size_t valueSize) {
    // Enough of an INI reader for one key: its line under its section.
    std::string found = defaultValue;
    const auto file = g_world.files.find(path);
    const std::string text = file == g_world.files.end() ? "" : file->second;
    const std::size_t sectionAt = text.find(std::string("[") + section + "]");
    const std::size_t keyAt = text.find(std::string("\n") + key + "=", sectionAt);
    if (sectionAt != std::string::npos && keyAt != std::string::npos) {
        const std::size_t start = keyAt + std::strlen(key) + 2;
        found = text.substr(start, text.find('\r', start) - start);
    }
    value[found.copy(value, valueSize - 1)] = '\0';
}

bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value) {
    Log(std::string("write ") + path + " [" + section + "] " + key + "=" + value);
    if (!IsFolder(Parent(path))) return false;
    g_world.files[path] = std::string("[") + section + "]\r\n" + key + "=" + value + "\r\n";
    return true;
}

bool CreateFolder(const char* path) {
    Log(std::string("create folder ") + path);
    if (IsFolder(path) || g_world.files.count(path) || !IsFolder(Parent(path))) return false;
    g_world.folders[path] = true;
    return true;
}

bool RemoveFile(const char* path) {
    Log(std::string("remove ") + path);
    return g_world.files.erase(path) == 1;
}

// ---- Processes, launches and time ----

void CloseOsHandle(OsHandle handle) {
    const auto key = reinterpret_cast<std::uintptr_t>(handle);
    if (g_snapshots.erase(key) + g_processHandles.erase(key) == 1) --g_world.openHandles;
    else Log("close of an unknown handle");
}

UniqueOsHandle OpenProcessSnapshot() {
    if (g_world.snapshotFails) return UniqueOsHandle();
    OsHandle handle = NewHandle();
    auto& rows = g_snapshots[reinterpret_cast<std::uintptr_t>(handle)];
    std::copy_if(g_world.processes.begin(), g_world.processes.end(), std::back_inserter(rows),
                 [](const FakeProcess& p) { return p.running; });
    return UniqueOsHandle(handle);
}

bool FirstProcess(OsHandle snapshot, ProcessEntry& entry) {
    return !g_world.firstProcessFails && FetchRow(snapshot, entry);
}

bool NextProcess(OsHandle snapshot, ProcessEntry& entry) { return FetchRow(snapshot, entry); }

OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process) {
    for (const FakeProcess& row : g_world.processes) {
        if (row.id != processId || !row.running) continue;
        if (row.openOutcome != OpenProcessOutcome::Opened) return row.openOutcome;
        process.reset(NewHandle());
        g_processHandles[reinterpret_cast<std::uintptr_t>(process.get())] = processId;
        return OpenProcessOutcome::Opened;
    }
    return OpenProcessOutcome::Gone;
}

bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode) {
    const std::uint32_t id = g_processHandles.at(reinterpret_cast<std::uintptr_t>(process));
    Log("terminate " + std::to_string(id) + " exit " + std::to_string(exitCode));
    for (FakeProcess& row : g_world.processes) {
        if (row.id == id && !row.terminationRefused) row.running = false;
        if (row.id == id) return !row.terminationRefused;
    }
    return false;
}

WindowHandle DesktopWindow() { return kDesktop; }

std::intptr_t LaunchThroughShell(WindowHandle owner, const char* verb, const char* path) {
    Log(std::string("launch ") + verb + " " + path + (owner == kDesktop ? " over the desktop" : ""));
    return g_world.shellResult;
}

void PauseMilliseconds(std::uint32_t milliseconds) { Log("pause " + std::to_string(milliseconds)); }

std::int64_t CurrentTime() { return g_world.now; }

// ---- Windows, menus, dialogs and the notification area ----

void SetProgramInstance(InstanceHandle) {}

int LoadStringResource(unsigned id, wchar_t* buffer, int capacity) {
    // The string table as the resource script has it.
    static const std::map<unsigned, std::wstring> strings = {{103, L"Kesl銀行晶片金融卡安控元件"},
                                                             {104, L"Kesl銀行晶片金融卡安控元件"},
                                                             {105, L"Kesl銀行晶片金融卡安控元件已關閉"},
                                                             {109, L"KESLWEBATMMONITOR"}};
    const auto text = strings.find(id);
    const std::size_t length = text == strings.end() ? 0 : text->second.copy(buffer, capacity - 1);
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

IconHandle LoadIconResource(unsigned id) { return reinterpret_cast<IconHandle>(kIconBase + id); }

bool RegisterMainWindowClass(const MainWindowClass& c) {
    g_world.procedure = c.procedure;
    Log("register class " + Utf8(c.className) + " icon " + std::to_string(c.largeIcon) + " small " +
        std::to_string(c.smallIcon) + " menu " + std::to_string(c.menu));
    return true;
}

WindowHandle CreateMainWindow(const wchar_t* className, const wchar_t* title) {
    Log("create window " + Utf8(className) + " titled " + Utf8(title));
    return g_world.windowCreationFails ? nullptr : kWindow;
}

bool DestroyMainWindow(WindowHandle window) {
    Log("destroy window");
    if (window != kWindow || g_world.windowDestroyed) return false;
    g_world.windowDestroyed = true;
    SendToMainWindow(kMsgDestroy);
    return true;
}

MessageResult DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    Log("default " + std::to_string(message) + " " + std::to_string(wParam));
    if (message == kMsgClose) DestroyMainWindow(window);
    return 0;
}

void PaintNothing(WindowHandle) { Log("paint"); }
void PostQuit(int exitCode) { Log("quit " + std::to_string(exitCode)); }
void PostWindowMessage(WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    Log("post " + std::to_string(message));
}

std::uint32_t RegisterNamedMessage(const wchar_t* name) { return std::wstring(name) == L"TaskbarCreated" ? 0xC0DE : 1; }

int RunMessageLoop(unsigned acceleratorsId) {
    Log("loop " + std::to_string(acceleratorsId));
    Deliver(g_world.queued);
    return g_world.windowDestroyed ? 0 : -1;
}

bool NotifyTray(TrayAction action, const TrayRecord& r) {
    const std::string owner = r.window == kWindow ? "" : " of another window";
    const auto key = std::make_pair(r.window, r.id);
    if (action == TrayAction::Delete) {
        Log("tray delete " + std::to_string(r.id) + owner);
        return g_world.trayIcons.erase(key) == 1;
    }
    Log("tray add " + std::to_string(r.id) + owner + " icon " +
        std::to_string(reinterpret_cast<std::uintptr_t>(r.icon) - kIconBase) + " flags " + std::to_string(r.flags) +
        " callback " + std::to_string(r.callbackMessage) + " tip " + Utf8(r.tip));
    return g_world.trayIcons.emplace(key, r).second;
}

ScreenPoint CursorScreenPosition() { return {640, 700}; }

MenuHandle CreatePopup() {
    g_menu.clear();
    return &g_menu;
}

bool AppendMenuItem(MenuHandle, unsigned command, const wchar_t* text) {
    g_menu += " " + std::to_string(command) + " " + Utf8(text);
    return true;
}

void BringToForeground(WindowHandle) { Log("foreground"); }

void TrackPopup(MenuHandle, ScreenPoint point, WindowHandle) {
    Log("menu at " + std::to_string(point.x) + "," + std::to_string(point.y) + ":" + g_menu);
}

void DestroyPopup(MenuHandle) { Log("destroy menu"); }

std::intptr_t ShowModalDialog(unsigned templateId, WindowHandle, DialogProcedure) {
    Log("dialog " + std::to_string(templateId));
    return 0;
}

void EndDialogBox(WindowHandle, std::intptr_t result) { Log("end dialog " + std::to_string(result)); }

void ShowMessageBoxOk(const wchar_t* text, const wchar_t* caption) {
    Log("message box " + Utf8(text) + " | " + Utf8(caption));
    // The box's own loop goes on dispatching until the user presses OK.
    std::deque<FakeMessage> nested;
    nested.swap(g_world.whileMessageBoxOpen);
    Deliver(nested);
    Log("message box dismissed");
}
