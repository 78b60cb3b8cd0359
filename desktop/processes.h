#pragma once
// Programs as the acceptance program and the benchmark drive them: started, found by image name,
// waited for and ended.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A started program, its handles closed by Close or when it goes out of scope; ended then too when endWhenDone.
struct Started {
    PROCESS_INFORMATION info{};
    bool endWhenDone = false;
    Started() = default;
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    ~Started() { Close(); }
    void Close();
    bool Running() const;
    long WaitForExit(DWORD milliseconds);  // the exit code, or -1 when it did not end in time
};
bool StartProgram(const std::wstring& commandLine, Started& started);
// Starts System32's msiexec with arguments; RunMsiexec waits for it too (10 minutes at most) and
// gives its exit code, or -1, calling meanwhile, when given, with its process once started. One that
// finds another install in progress (1618) runs again once that has ended, 5 times at most.
bool StartMsiexec(const std::wstring& arguments, Started& msiexec);
long RunMsiexec(const std::wstring& arguments, const std::function<void(HANDLE)>& meanwhile = nullptr);

std::vector<DWORD> ProcessesNamed(const wchar_t* imageName);
std::wstring ImagePathOf(DWORD processId);
// Ends every process of the image name and waits (10 s at most each) until it has ended.
void EndProcessesNamed(const wchar_t* imageName);

std::wstring FolderOf(const std::wstring& path);
std::wstring ThisProgramsFolder();
