// The users' sessions as the install's hand-over sees them, running as LocalSystem: processes with
// their sessions and users, each session's user token, and programs started as that user, outside
// any job the installer runs the hand-over in.

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "platform/sessions.h"

namespace {

// wtsapi32 and userenv are no known DLLs: they are loaded by their full path in the system folder,
// never from the folder the installer runs this program from.
FARPROC SystemFunction(const wchar_t* dll, const char* name) {
    const HMODULE module = LoadLibraryW((SystemFolder() + L"\\" + dll).c_str());
    return module == nullptr ? nullptr : GetProcAddress(module, name);
}

template <typename Function> Function SystemFunctionAs(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemFunction(dll, name)));
}

using QueryUserTokenProc = BOOL(WINAPI*)(ULONG, PHANDLE);
using CreateEnvironmentProc = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using DestroyEnvironmentProc = BOOL(WINAPI*)(LPVOID);

std::wstring ImagePath(HANDLE process) {
    std::vector<wchar_t> path(32768);
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return L"";
    return std::wstring(path.data(), length);
}

// A program started by the short (8.3) names of its folders and file runs under those names: a
// path is compared in its long form, where it has one.
std::wstring LongPath(const std::wstring& path) {
    std::vector<wchar_t> longPath(32768);
    const DWORD length = GetLongPathNameW(path.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    return length == 0 || length >= longPath.size() ? path : std::wstring(longPath.data(), length);
}

// A primary token that is a copy of token, which CreateProcessAsUserW takes; empty when none.
UniqueOsHandle PrimaryCopy(HANDLE token, OsError& error) {
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(token, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &primary)) {
        error = GetLastError();
        return nullptr;
    }
    return UniqueOsHandle(primary);
}

// Of an administrator's two tokens under UAC, the Run value's programs get the limited one. Which
// one WTSQueryUserToken gives is not written down, so a full one is exchanged for its limited twin
// here, and where that cannot be had, nothing is started.
UniqueOsHandle Unelevated(UniqueOsHandle token, OsError& error) {
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) ||
        type != TokenElevationTypeFull) {
        return token;
    }
    TOKEN_LINKED_TOKEN linked{};
    if (!GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
        error = GetLastError();
        return nullptr;
    }
    const UniqueOsHandle limited(linked.LinkedToken);
    return PrimaryCopy(limited.get(), error);
}

std::wstring ProcessUserSid(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return L"";
    const UniqueOsHandle owned(token);
    return TokenUserSid(token);
}

// A program started by a process in a job joins that job, and a job's processes all share one
// session; a job that ends its processes as it closes would end the monitor with it. So a program
// is started outside the job where the job lets it leave, and inside it where the job refuses.
bool InJob() {
    BOOL inJob = FALSE;
    return IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) && inJob;
}

}  // namespace

std::vector<RunningProgram> RunningProgramsNamed(const wchar_t* imageName) {
    std::vector<RunningProgram> programs;
    const UniqueOsHandle snapshot = OpenProcessSnapshot();
    ProcessEntry entry;
    for (bool more = snapshot != nullptr && FirstProcess(snapshot.get(), entry); more;
         more = NextProcess(snapshot.get(), entry)) {
        if (CompareStringOrdinal(entry.imageName, -1, imageName, -1, TRUE) != CSTR_EQUAL) continue;
        // Open first: while the handle is open, the process number cannot pass to another program.
        RunningProgram program;
        program.processId = entry.processId;
        DWORD session = 0;
        if (OpenProcessForTerminate(entry.processId, program.process) != OpenProcessOutcome::Opened ||
            !ProcessIdToSessionId(entry.processId, &session)) {
            program.error = GetLastError();
        } else {
            program.session = session;
            program.path = ImagePath(program.process.get());
            program.userSid = program.path.empty() ? L"" : ProcessUserSid(program.process.get());
            if (program.userSid.empty()) program.error = GetLastError();
        }
        if (program.userSid.empty() && program.error == 0) program.error = ERROR_GEN_FAILURE;
        if (program.error != 0) program.process.reset();
        programs.push_back(std::move(program));
    }
    return programs;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring longA = LongPath(a), longB = LongPath(b);
    return CompareStringOrdinal(longA.c_str(), static_cast<int>(longA.size()), longB.c_str(),
                                static_cast<int>(longB.size()), TRUE) == CSTR_EQUAL;
}

void WaitForProcessesToEnd(const std::vector<OsHandle>& processes, std::uint32_t milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (OsHandle process : processes) {
        const ULONGLONG now = GetTickCount64();
        WaitForSingleObject(process, now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    }
}

bool ProcessExitCode(OsHandle process, std::uint32_t& exitCode) {
    DWORD code = 0;
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) return false;
    exitCode = code;
    return true;
}

UniqueOsHandle OpenSessionUserToken(std::uint32_t session, OsError& error) {
    static const auto queryUserToken = SystemFunctionAs<QueryUserTokenProc>(L"wtsapi32.dll", "WTSQueryUserToken");
    HANDLE token = nullptr;
    if (queryUserToken == nullptr || !queryUserToken(session, &token)) {
        error = queryUserToken == nullptr ? ERROR_PROC_NOT_FOUND : GetLastError();
        return nullptr;
    }
    return Unelevated(UniqueOsHandle(token), error);
}

UniqueOsHandle OpenProcessUserToken(OsHandle process, OsError& error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, &token)) {
        error = GetLastError();
        return nullptr;
    }
    const UniqueOsHandle owned(token);
    return PrimaryCopy(token, error);
}

std::wstring TokenUserSid(OsHandle token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        return L"";
    }
    const std::wstring sid = text;
    LocalFree(text);
    return sid;
}

StartedProgram StartAsUser(OsHandle token, const std::wstring& program, const std::wstring& commandLine,
                           const std::wstring& folder) {
    static const auto createEnvironment =
        SystemFunctionAs<CreateEnvironmentProc>(L"userenv.dll", "CreateEnvironmentBlock");
    static const auto destroyEnvironment =
        SystemFunctionAs<DestroyEnvironmentProc>(L"userenv.dll", "DestroyEnvironmentBlock");
    StartedProgram started;
    // Whatever the caller, nothing is ever started with LocalSystem's token.
    const std::wstring user = TokenUserSid(token);
    if (user.empty() || user == kLocalSystemSid) {
        started.error = ERROR_ACCESS_DENIED;
        return started;
    }
    void* environment = nullptr;
    if (createEnvironment == nullptr || destroyEnvironment == nullptr || !createEnvironment(&environment, token, FALSE)) {
        started.error = createEnvironment == nullptr ? ERROR_PROC_NOT_FOUND : GetLastError();
        return started;
    }
    wchar_t desktop[] = L"winsta0\\default";  // the session's interactive desktop
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    // taskkill is a console program: no console window is opened on the user's desktop for it.
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW;
    PROCESS_INFORMATION info{};
    auto start = [&](DWORD extra) {
        std::wstring line = commandLine;  // CreateProcessAsUserW may write to it
        const bool ok = CreateProcessAsUserW(token, program.c_str(), line.data(), nullptr, nullptr, FALSE, flags | extra,
                                             environment, folder.c_str(), &startup, &info) != FALSE;
        started.error = ok ? 0 : GetLastError();
        return ok;
    };
    if (!InJob()) {
        start(0);
    } else if (start(CREATE_BREAKAWAY_FROM_JOB)) {
        started.job = L"outside this program's job";
    } else if (started.error == ERROR_ACCESS_DENIED && start(0)) {
        started.job = L"inside this program's job, which does not let it leave";
    }
    destroyEnvironment(environment);
    if (started.error != 0) return started;
    CloseHandle(info.hThread);
    started.process.reset(info.hProcess);
    started.processId = info.dwProcessId;
    return started;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? L"C:\\Windows\\System32" : folder;
}

OsError LastOsError() { return GetLastError(); }

std::vector<std::pair<std::wstring, OsError>> EnablePrivileges(const std::vector<std::wstring>& names) {
    std::vector<std::pair<std::wstring, OsError>> refused;
    HANDLE token = nullptr;
    const bool opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) != FALSE;
    const OsError openError = opened ? 0 : GetLastError();
    const UniqueOsHandle owned(token);
    for (const std::wstring& name : names) {
        TOKEN_PRIVILEGES privilege{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        OsError error = openError;
        if (opened && !LookupPrivilegeValueW(nullptr, name.c_str(), &privilege.Privileges[0].Luid)) {
            error = GetLastError();
        } else if (opened) {
            // It succeeds without enabling a privilege the token lacks, and says so in the last error.
            AdjustTokenPrivileges(token, FALSE, &privilege, 0, nullptr, nullptr);
            error = GetLastError();
        }
        if (error != ERROR_SUCCESS) refused.emplace_back(name, error);
    }
    return refused;
}
