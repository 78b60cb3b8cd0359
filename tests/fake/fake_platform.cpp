#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/platform.h"

namespace {

FakeWorld g_world;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsReadOnly(const std::string& path) {
    const auto& paths = g_world.readOnlyPaths;
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return Lower(p) == Lower(path); });
}

bool FolderExists(const std::string& path) {
    const FakeFile* file = FindFile(path);
    return file != nullptr && file->isDirectory;
}

// Snapshots and processes are handed out as distinct small numbers cast to handles.
struct FakeSnapshot {
    std::vector<FakeProcess> rows;
    std::size_t next = 0;
};
std::map<std::uintptr_t, FakeSnapshot> g_snapshots;
std::map<std::uintptr_t, std::uint32_t> g_processHandles;
std::uintptr_t g_nextHandle = 0x100;

constexpr std::uintptr_t kIconBase = 0x10000;
WindowHandle const kFakeWindow = reinterpret_cast<WindowHandle>(0xAA00);
WindowHandle const kDesktopWindow = reinterpret_cast<WindowHandle>(0xDE00);
std::map<std::uintptr_t, std::vector<std::pair<unsigned, std::wstring>>> g_menus;
std::uintptr_t g_nextMenu = 0xB000;
bool g_dialogEnded = false;
std::intptr_t g_dialogResult = 0;

OsHandle NewHandle() {
    ++g_world.openHandles;
    ++g_world.handlesOpened;
    g_nextHandle += 4;
    return reinterpret_cast<OsHandle>(g_nextHandle);
}

bool FetchRow(OsHandle snapshot, ProcessEntry& entry) {
    auto it = g_snapshots.find(reinterpret_cast<std::uintptr_t>(snapshot));
    if (it == g_snapshots.end() || it->second.next >= it->second.rows.size()) return false;
    const FakeProcess& row = it->second.rows[it->second.next++];
    entry = ProcessEntry{};
    entry.processId = row.id;
    const std::size_t length = std::min(row.imageName.size(), kImageNameCapacity - 1);
    std::copy_n(row.imageName.begin(), length, entry.imageName);
    return true;
}

// The lines of an INI text, and the index of a key in a section (or npos).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

struct KeyPlace {
    std::size_t sectionLine = std::string::npos;  // the [section] line
    std::size_t keyLine = std::string::npos;
};

KeyPlace FindKey(const std::vector<std::string>& lines, const char* section, const char* key) {
    KeyPlace place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (!line.empty() && line.front() == '[') {
            inSection = Lower(line) == Lower(std::string("[") + section + "]");
            if (inSection && place.sectionLine == std::string::npos) place.sectionLine = i;
            continue;
        }
        const auto equals = line.find('=');
        if (inSection && equals != std::string::npos && Lower(Trim(line.substr(0, equals))) == Lower(key)) {
            place.keyLine = i;
            return place;
        }
    }
    return place;
}

}  // namespace

FakeWorld& Fake() { return g_world; }

void ResetFakeWorld() {
    g_world = FakeWorld{};
    g_snapshots.clear();
    g_processHandles.clear();
    g_menus.clear();
    PutFolder(g_world.appDataPath);
    PutFolder(g_world.programFilesPath);
    g_world.strings = {
        {103, L"Kesl銀行晶片金融卡安控元件"},
        {104, L"Kesl銀行晶片金融卡安控元件"},
        {105, L"Kesl銀行晶片金融卡安控元件已關閉"},
        {109, L"KESLWEBATMMONITOR"},
    };
}

void PutFile(const std::string& path, const std::string& content) { g_world.files[Lower(path)] = {false, content}; }
void PutFolder(const std::string& path) { g_world.files[Lower(path)] = {true, {}}; }
bool HasFile(const std::string& path) { return FindFile(path) != nullptr; }

const FakeFile* FindFile(const std::string& path) {
    auto it = g_world.files.find(Lower(path));
    return it == g_world.files.end() ? nullptr : &it->second;
}

std::string StateFolderPath() { return g_world.appDataPath + "\\KESL"; }
std::string StateFilePath() { return StateFolderPath() + "\\info.ini"; }

std::optional<std::string> StoredServiceValue() {
    const FakeFile* file = FindFile(StateFilePath());
    if (file == nullptr || file->isDirectory) return std::nullopt;
    const auto lines = Lines(file->content);
    const KeyPlace place = FindKey(lines, "Settings", "Service");
    if (place.keyLine == std::string::npos) return std::nullopt;
    const std::string& line = lines[place.keyLine];
    return Trim(line.substr(line.find('=') + 1));
}

void AddProcess(std::uint32_t id, const std::wstring& imageName, OpenProcessOutcome openOutcome) {
    FakeProcess process;
    process.id = id;
    process.imageName = imageName;
    process.openOutcome = openOutcome;
    g_world.processes.push_back(process);
}

// ---- The platform functions ----

HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]) {
    const bool appData = folder == SpecialFolder::RoamingAppData;
    const HResult result = appData ? g_world.appDataResult : g_world.programFilesResult;
    const std::string& value = appData ? g_world.appDataPath : g_world.programFilesPath;
    // Like the real lookup, a path is written only on success and never past the buffer.
    if (result == kSOk) {
        const std::size_t length = std::min(value.size(), kPathBufferSize - 1);
        std::memcpy(path, value.data(), length);
        path[length] = '\0';
    }
    return result;
}

bool ReadFileStatus(const char* path, FileStatus& status) {
    const FakeFile* file = FindFile(path);
    if (file == nullptr) return false;
    status.isDirectory = file->isDirectory;
    status.size = file->isDirectory ? 0 : static_cast<std::int64_t>(file->content.size());
    return true;
}

void ReadProfileValue(const char* path, const char* section, const char* key, const char* defaultValue,
                       char* value, std::size_t valueSize) {
    std::string found = defaultValue;
    const FakeFile* file = FindFile(path);
    if (file != nullptr && !file->isDirectory) {
        const auto lines = Lines(file->content);
        const KeyPlace place = FindKey(lines, section, key);
        if (place.keyLine != std::string::npos) {
            const std::string& line = lines[place.keyLine];
            found = Trim(line.substr(line.find('=') + 1));
        }
    }
    const std::size_t length = std::min(found.size(), valueSize - 1);
    std::memcpy(value, found.data(), length);
    value[length] = '\0';
}

bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value) {
    g_world.journal.push_back(std::string("write ") + path + " [" + section + "] " + key + "=" + value);
    const FakeFile* existing = FindFile(path);
    if ((existing != nullptr && existing->isDirectory) || IsReadOnly(path) || !FolderExists(Parent(path))) {
        return false;
    }
    auto lines = existing != nullptr ? Lines(existing->content) : std::vector<std::string>{};
    const KeyPlace place = FindKey(lines, section, key);
    const std::string entry = std::string(key) + "=" + value;
    if (place.keyLine != std::string::npos) {
        lines[place.keyLine] = entry;
    } else if (place.sectionLine != std::string::npos) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.sectionLine) + 1, entry);
    } else {
        lines.push_back(std::string("[") + section + "]");
        lines.push_back(entry);
    }
    std::string content;
    for (const auto& line : lines) content += line + "\r\n";
    PutFile(path, content);
    return true;
}

bool CreateFolder(const char* path) {
    g_world.journal.push_back(std::string("create folder ") + path);
    if (HasFile(path) || IsReadOnly(path) || !FolderExists(Parent(path))) return false;
    PutFolder(path);
    return true;
}

bool RemoveFile(const char* path) {
    g_world.journal.push_back(std::string("remove ") + path);
    const FakeFile* file = FindFile(path);
    if (file == nullptr || file->isDirectory || IsReadOnly(path)) return false;
    g_world.files.erase(Lower(path));
    return true;
}

void CloseOsHandle(OsHandle handle) {
    if (handle == nullptr) return;
    const auto key = reinterpret_cast<std::uintptr_t>(handle);
    const bool known = g_snapshots.erase(key) + g_processHandles.erase(key) == 1;
    if (known) --g_world.openHandles;
    else g_world.journal.push_back("close of an unknown handle");
}

UniqueOsHandle OpenProcessSnapshot() {
    if (g_world.snapshotFails) return UniqueOsHandle();
    OsHandle handle = NewHandle();
    FakeSnapshot snapshot;
    for (const auto& process : g_world.processes) {
        if (process.running) snapshot.rows.push_back(process);
    }
    g_snapshots[reinterpret_cast<std::uintptr_t>(handle)] = snapshot;
    return UniqueOsHandle(handle);
}

bool FirstProcess(OsHandle snapshot, ProcessEntry& entry) {
    if (g_world.firstProcessFails) return false;
    return FetchRow(snapshot, entry);
}

bool NextProcess(OsHandle snapshot, ProcessEntry& entry) { return FetchRow(snapshot, entry); }

OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process) {
    for (const auto& row : g_world.processes) {
        if (row.id != processId) continue;
        if (!row.running) return OpenProcessOutcome::Gone;
        if (row.openOutcome != OpenProcessOutcome::Opened) return row.openOutcome;
        OsHandle handle = NewHandle();
        g_processHandles[reinterpret_cast<std::uintptr_t>(handle)] = processId;
        process.reset(handle);
        return OpenProcessOutcome::Opened;
    }
    return OpenProcessOutcome::Gone;
}

bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode) {
    auto it = g_processHandles.find(reinterpret_cast<std::uintptr_t>(process));
    if (it == g_processHandles.end()) return false;
    for (auto& row : g_world.processes) {
        if (row.id != it->second) continue;
        g_world.journal.push_back("terminate " + std::to_string(row.id) + " exit " + std::to_string(exitCode));
        if (row.terminationRefused) return false;
        row.running = false;
        return true;
    }
    return false;
}

WindowHandle DesktopWindow() { return kDesktopWindow; }

std::intptr_t LaunchThroughShell(WindowHandle owner, const char* verb, const char* path) {
    g_world.launches.push_back({owner, verb, path});
    g_world.journal.push_back(std::string("launch ") + verb + " " + path);
    return g_world.shellResult;
}

void PauseMilliseconds(std::uint32_t milliseconds) {
    g_world.pauses.push_back(milliseconds);
    g_world.journal.push_back("pause " + std::to_string(milliseconds));
}

std::int64_t CurrentTime() { return g_world.now; }

// ---- Windows, menus, dialogs and the notification area ----


MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return g_world.windowClass.procedure(g_world.window, message, wParam, lParam);
}

unsigned IconNumber(IconHandle icon) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(icon) - kIconBase);
}

void SetProgramInstance(InstanceHandle) {}

int LoadStringResource(unsigned id, wchar_t* buffer, int capacity) {
    auto it = g_world.strings.find(id);
    const std::wstring text = it == g_world.strings.end() ? std::wstring() : it->second;
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

IconHandle LoadIconResource(unsigned id) { return reinterpret_cast<IconHandle>(kIconBase + id); }

bool RegisterMainWindowClass(const MainWindowClass& windowClass) {
    g_world.classRegistered = true;
    g_world.windowClass = windowClass;
    g_world.registeredClassName = windowClass.className;
    g_world.journal.push_back("register class");
    return true;
}

WindowHandle CreateMainWindow(const wchar_t* className, const wchar_t* title) {
    g_world.journal.push_back("create window");
    if (g_world.windowCreationFails) return nullptr;
    g_world.window = kFakeWindow;
    g_world.windowClassName = className;
    g_world.windowTitle = title;
    return g_world.window;
}

bool DestroyMainWindow(WindowHandle window) {
    g_world.journal.push_back("destroy window");
    if (window != g_world.window || g_world.windowDestroyed) return false;
    g_world.windowDestroyed = true;
    SendToMainWindow(kMsgDestroy);
    return true;
}

MessageResult DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    g_world.journal.push_back("default " + std::to_string(message) + " " + std::to_string(wParam));
    if (message == kMsgClose) DestroyMainWindow(window);
    return 0;
}

void PaintNothing(WindowHandle) { g_world.journal.push_back("paint"); }

void PostQuit(int exitCode) {
    g_world.journal.push_back("quit " + std::to_string(exitCode));
    g_world.quitCode = exitCode;
}

void PostWindowMessage(WindowHandle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    g_world.journal.push_back("post " + std::to_string(message));
    g_world.posted.emplace_back(message, wParam);
}

std::uint32_t RegisterNamedMessage(const wchar_t* name) {
    return std::wstring(name) == L"TaskbarCreated" ? 0xC0DE : 0xC100;
}

bool AllowMessageFromLowerIntegrity(WindowHandle window, std::uint32_t message) {
    g_world.messagesAllowedFromBelow.emplace_back(window, message);
    return true;
}

void DeliverMessages(std::deque<std::pair<std::uint32_t, std::intptr_t>>& messages) {
    while (!g_world.quitCode && !messages.empty()) {
        const auto [message, lParam] = messages.front();
        messages.pop_front();
        SendToMainWindow(message, message == kMsgCommand ? static_cast<std::uintptr_t>(lParam) : 0,
                         message == kMsgCommand ? 0 : lParam);
    }
}

int RunMessageLoop(unsigned acceleratorsId) {
    g_world.loopAccelerators = acceleratorsId;
    g_world.journal.push_back("loop");
    DeliverMessages(g_world.queued);
    return g_world.quitCode.value_or(-1);
}

bool NotifyTray(TrayAction action, const TrayRecord& record) {
    g_world.trayCalls.emplace_back(action, record);
    g_world.journal.push_back(std::string(action == TrayAction::Add ? "tray add " : "tray delete ") +
                              std::to_string(record.id));
    const auto key = std::make_pair(record.window, record.id);
    if (action == TrayAction::Add) return g_world.trayIcons.emplace(key, record).second;
    return g_world.trayIcons.erase(key) == 1;
}

ScreenPoint CursorScreenPosition() { return g_world.cursor; }

MenuHandle CreatePopup() {
    ++g_world.menusCreated;
    g_nextMenu += 4;
    g_menus[g_nextMenu] = {};
    return reinterpret_cast<MenuHandle>(g_nextMenu);
}

bool AppendMenuItem(MenuHandle menu, unsigned command, const wchar_t* text) {
    g_menus[reinterpret_cast<std::uintptr_t>(menu)].emplace_back(command, text);
    return true;
}

void BringToForeground(WindowHandle) { g_world.journal.push_back("foreground"); }

void TrackPopup(MenuHandle menu, ScreenPoint point, WindowHandle) {
    g_world.journal.push_back("track menu");
    g_world.shownMenus.push_back(g_menus[reinterpret_cast<std::uintptr_t>(menu)]);
    g_world.menuPositions.push_back(point);
}

void DestroyPopup(MenuHandle menu) {
    g_world.journal.push_back("destroy menu");
    if (g_menus.erase(reinterpret_cast<std::uintptr_t>(menu)) == 1) ++g_world.menusDestroyed;
}

std::intptr_t ShowModalDialog(unsigned templateId, WindowHandle, DialogProcedure procedure) {
    g_world.dialogsShown.push_back(templateId);
    g_world.journal.push_back("dialog " + std::to_string(templateId));
    WindowHandle dialog = reinterpret_cast<WindowHandle>(0xD000);
    g_dialogEnded = false;
    g_dialogResult = 0;
    const std::intptr_t initResult = procedure(dialog, kMsgInitDialog, 0, 0);
    g_world.dialogResults.push_back(initResult);
    // The "user" gives each command in turn until the dialog ends.
    while (!g_dialogEnded && !g_world.dialogCommands.empty()) {
        const std::uintptr_t command = g_world.dialogCommands.front();
        g_world.dialogCommands.pop_front();
        g_world.dialogResults.push_back(procedure(dialog, kMsgCommand, command, 0));
    }
    return g_dialogEnded ? g_dialogResult : -1;
}

void EndDialogBox(WindowHandle, std::intptr_t result) {
    g_world.journal.push_back("end dialog " + std::to_string(result));
    g_dialogEnded = true;
    g_dialogResult = result;
}

void ShowMessageBoxOk(const wchar_t* text, const wchar_t* caption) {
    g_world.messageBoxes.emplace_back(text, caption);
    g_world.journal.push_back("message box");
    // The box's own loop goes on dispatching; the user then presses OK.
    std::deque<std::pair<std::uint32_t, std::intptr_t>> nested;
    nested.swap(g_world.whileMessageBoxOpen);
    DeliverMessages(nested);
    g_world.journal.push_back("message box dismissed");
}
