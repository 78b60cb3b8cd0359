#pragma once
// An in-memory stand-in for the operating system, which the native tests arrange and inspect.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

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

    // Time: pauses are recorded, not waited for.
    std::int64_t now = 1700000000;
    std::vector<std::uint32_t> pauses;

    // Handles currently open, and how many were ever opened.
    int openHandles = 0;
    int handlesOpened = 0;

    // Every platform call that changes something, in order ("write C:\...=value", "pause 1000").
    std::vector<std::string> journal;
};

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
