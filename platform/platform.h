#pragma once
// The operating-system services that the subsystems use. The Win32 build implements them in
// platform/win32/; the native tests link an in-memory fake in their place.

#include <memory>

#include "platform/types.h"
#include "platform/window_types.h"

// Folders and files
HResult GetSpecialFolderPath(SpecialFolder folder, char (&path)[kPathBufferSize]);
bool ReadFileStatus(const char* path, FileStatus& status);
// Copies the value of key in section into value (at most valueSize - 1 characters and a
// terminator), or defaultValue when the file holds no such key.
void ReadProfileValue(const char* path, const char* section, const char* key, const char* defaultValue,
                       char* value, std::size_t valueSize);
bool WriteProfileValue(const char* path, const char* section, const char* key, const char* value);
bool CreateFolder(const char* path);
bool RemoveFile(const char* path);

// Processes
void CloseOsHandle(OsHandle handle);

struct OsHandleCloser {
    void operator()(OsHandle handle) const { CloseOsHandle(handle); }
};
using UniqueOsHandle = std::unique_ptr<void, OsHandleCloser>;

UniqueOsHandle OpenProcessSnapshot();  // empty when no snapshot could be taken
bool FirstProcess(OsHandle snapshot, ProcessEntry& entry);
bool NextProcess(OsHandle snapshot, ProcessEntry& entry);
// Opens the process to end it, with the rights to read its image name and to see whether it has ended.
OpenProcessOutcome OpenProcessForTerminate(std::uint32_t processId, UniqueOsHandle& process);
// The image name (a file name without a folder) of the program that the open process runs; false
// when it cannot be read.
bool ReadProcessImageName(OsHandle process, wchar_t (&imageName)[kImageNameCapacity]);
bool ProcessHasEnded(OsHandle process);
bool TerminateOsProcess(OsHandle process, std::uint32_t exitCode);

// Launching programs through the shell
WindowHandle DesktopWindow();
// Hands path to the shell with verb ("open", or "runas" for the elevation prompt), no parameters
// and no working folder, shown normally. Returns the shell's result: greater than 32 when the
// launch was accepted.
std::intptr_t LaunchThroughShell(WindowHandle owner, const char* verb, const char* path);

// Time
void PauseMilliseconds(std::uint32_t milliseconds);
std::int64_t CurrentTime();  // seconds since 1970-01-01 UTC

// ---- Windows, menus, dialogs and the notification area ----

// The program's module, which every resource is loaded from.
void SetProgramInstance(InstanceHandle instance);

// Loads string resource id into buffer (at most capacity - 1 characters and a terminator).
int LoadStringResource(unsigned id, wchar_t* buffer, int capacity);
IconHandle LoadIconResource(unsigned id);

bool RegisterMainWindowClass(const MainWindowClass& windowClass);
// A top-level overlapped window that is never shown; null when it cannot be created.
WindowHandle CreateMainWindow(const wchar_t* className, const wchar_t* title);
bool DestroyMainWindow(WindowHandle window);
MessageResult DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
void PaintNothing(WindowHandle window);  // validates the window without drawing
void PostQuit(int exitCode);
void PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
std::uint32_t RegisterNamedMessage(const wchar_t* name);
// Lets message reach window from programs of a lower integrity level (the shell, when this
// program runs elevated); the system filters such messages out otherwise.
bool AllowMessageFromLowerIntegrity(WindowHandle window, std::uint32_t message);
// Runs the thread's message loop with accelerator table acceleratorsId until the quit message,
// and returns its exit code.
int RunMessageLoop(unsigned acceleratorsId);
// Sends window WM_TIMER with timerId every intervalMilliseconds until stopped; starting it again
// under the same identifier starts its interval over.
void StartWindowTimer(WindowHandle window, std::uintptr_t timerId, std::uint32_t intervalMilliseconds);
void StopWindowTimer(WindowHandle window, std::uintptr_t timerId);

bool NotifyTray(TrayAction action, const TrayRecord& record);

struct ScreenPoint {
    int x = 0;
    int y = 0;
};
ScreenPoint CursorScreenPosition();
MenuHandle CreatePopup();
bool AppendMenuItem(MenuHandle menu, unsigned command, const wchar_t* text);
void BringToForeground(WindowHandle window);
// Shows the menu with its lower-left corner at point and returns when it closes: the chosen
// item's command, or 0 when the menu was closed without a choice.
unsigned TrackPopup(MenuHandle menu, ScreenPoint point, WindowHandle owner);
void DestroyPopup(MenuHandle menu);

// A modal dialog from template templateId; returns the value given to EndDialogBox.
std::intptr_t ShowModalDialog(unsigned templateId, WindowHandle owner, DialogProcedure procedure);
void EndDialogBox(WindowHandle dialog, std::intptr_t result);

// A message box with no owner and only an OK button; returns once the user has dismissed it.
// Its modal loop goes on dispatching the thread's messages meanwhile.
void ShowMessageBoxOk(const wchar_t* text, const wchar_t* caption);
// Brings this thread's visible dialog box captioned caption, if there is one, to the foreground.
void BringDialogToForeground(const wchar_t* caption);
