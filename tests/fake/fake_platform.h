#pragma once
// An in-memory stand-in for the operating system, which the native tests arrange and inspect.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct FakeFile {
    bool isDirectory = false;
    std::string content;  // a profile file's text, lines ending in \r\n
};

struct FakeProcess {
    std::uint32_t id = 0;
    std::wstring imageName;
    OpenProcessOutcome openOutcome = OpenProcessOutcome::Opened;
    bool terminationRefused = false;
    bool running = true;
};

struct FakeWorld {
    // Folder lookups
    HResult appDataResult = kSOk;
    std::string appDataPath = "C:\\Users\\user\\AppData\\Roaming";
    HResult programFilesResult = kSOk;
    std::string programFilesPath = "C:\\Program Files (x86)";

    // The file system, keyed by lower-cased path. The two folders above exist from the start.
    std::map<std::string, FakeFile> files;
    std::vector<std::string> readOnlyPaths;  // creating, removing or writing these fails

    // The process list, in snapshot order.
    std::vector<FakeProcess> processes;
    bool snapshotFails = false;
    bool firstProcessFails = false;

    // Shell launches: every one in order, answered with shellResult (accepted when above 32).
    struct Launch {
        WindowHandle owner;
        std::string verb;
        std::string path;
    };
    std::vector<Launch> launches;
    std::intptr_t shellResult = 42;

    // Time: pauses are recorded, not waited for.
    std::int64_t now = 1700000000;
    std::vector<std::uint32_t> pauses;

    // Handles currently open, and how many were ever opened.
    int openHandles = 0;
    int handlesOpened = 0;

    // Resources: the string table as the resource script has it.
    std::map<unsigned, std::wstring> strings;

    // The main window: its class, the window itself and what reached it.
    bool classRegistered = false;
    MainWindowClass windowClass;
    std::wstring registeredClassName;
    bool windowCreationFails = false;
    WindowHandle window = nullptr;
    std::wstring windowClassName;
    std::wstring windowTitle;
    bool windowDestroyed = false;
    std::optional<int> quitCode;
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> posted;  // message, wParam
    std::deque<std::pair<std::uint32_t, std::intptr_t>> queued;    // delivered by RunMessageLoop
    unsigned loopAccelerators = 0;
    std::vector<std::pair<WindowHandle, std::uint32_t>> messagesAllowedFromBelow;  // window, message

    // The notification area: the entries visible now, and every add and delete in order.
    std::map<std::pair<WindowHandle, std::uint32_t>, TrayRecord> trayIcons;
    std::vector<std::pair<TrayAction, TrayRecord>> trayCalls;

    // Popup menus: what each shown menu held, and how many were made and destroyed.
    std::vector<std::vector<std::pair<unsigned, std::wstring>>> shownMenus;
    int menusCreated = 0;
    int menusDestroyed = 0;
    ScreenPoint cursor{640, 700};
    std::vector<ScreenPoint> menuPositions;

    // Dialogs: each shown template, and the commands the "user" gives while one is open.
    std::vector<unsigned> dialogsShown;
    std::deque<std::uintptr_t> dialogCommands;
    std::vector<std::intptr_t> dialogResults;

    // Message boxes: each one's text and caption, and the messages (message, lParam; a command's
    // id for WM_COMMAND) that reach the main window while the first box is open.
    std::vector<std::pair<std::wstring, std::wstring>> messageBoxes;
    std::deque<std::pair<std::uint32_t, std::intptr_t>> whileMessageBoxOpen;

    // Every platform call that changes something, in order ("write C:\...=value", "pause 1000").
    std::vector<std::string> journal;
};

// Delivers a message to the registered window procedure, as the message loop would.
MessageResult SendToMainWindow(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
// Delivers queued messages (message, lParam; a command's id for WM_COMMAND) to the main window.
void DeliverMessages(std::deque<std::pair<std::uint32_t, std::intptr_t>>& messages);
// The icon resource number behind an icon handle the fake gave out.
unsigned IconNumber(IconHandle icon);

// The world the fake platform functions act on; ResetFakeWorld starts a fresh one.
FakeWorld& Fake();
void ResetFakeWorld();

// Test helpers over the fake file system.
void PutFile(const std::string& path, const std::string& content);
void PutFolder(const std::string& path);
bool HasFile(const std::string& path);
const FakeFile* FindFile(const std::string& path);
std::string StateFilePath();    // %APPDATA%\KESL\info.ini in the fake world
std::string StateFolderPath();  // %APPDATA%\KESL
std::optional<std::string> StoredServiceValue();  // Settings/Service of the state file, if any

void AddProcess(std::uint32_t id, const std::wstring& imageName,
                OpenProcessOutcome openOutcome = OpenProcessOutcome::Opened);
