#pragma once
// What a user sees and does on the Wine virtual desktop: programs, the tray icons read from the
// taskbar's pixels, clicks, and the real menus, dialogs and message boxes.

#include <windows.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

// Polls condition until it holds or timeout passes: a bounded wait, never a fixed sleep.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A started program; ended and closed when it goes out of scope.
struct Program {
    PROCESS_INFORMATION info{};
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"");
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();
    bool Started() const { return info.hProcess != nullptr; }
    long WaitForExit(DWORD milliseconds = 60000);  // the exit code, or -1 when it did not end in time
};

std::wstring BuildFolder();    // where the build puts the monitor and the stand-ins
std::wstring InstallFolder();  // C:\Program Files (x86)\KESL\WebATM, where the monitor finds the agent
std::string StateFile();       // %APPDATA%\KESL\info.ini
std::string StoredValue();
// Whether the stored value is what a write of stateDigit stores at some second since from.
bool StoredSince(char stateDigit, std::time_t from);
int CountAgents();
void EndAllAgents();

enum class Look { Empty, Colour, Grey };
Look TraySlot(int index);  // counted from the right end of the notification area
bool WaitForSlot(int index, Look look);

// Right-clicks the first tray icon and returns the menu that opens, or null.
HWND OpenTrayMenu();
void ClickMenuItem(HWND menu, int index);  // of four equal items
// A window of the class (and title, when given) owned by process, now or once it shows.
HWND FindWindowOf(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly = true);
HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly = true);
std::wstring TextOf(HWND window);
// Clicks the dialog's button and waits until the dialog has gone.
bool ClickButton(HWND dialog, int id);
