// The users' sessions as the install's hand-over sees them, running as LocalSystem: processes with
// their sessions and users, each session's user token, and programs started as that user.

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "platform/sessions.h"

namespace {

// wtsapi32 and userenv are no known DLLs: they are loaded by their full path in the system folder,
// never from the folder the installer runs this program from.
FARPROC SystemFunction(const wchar_t* dll, const char* name) {
    const HMODULE module = LoadLibraryW(SystemProgramPath(dll).c_str());
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
UniqueOsHandle PrimaryCopy(HANDLE token) {
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(token, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &primary)) return nullptr;
    return UniqueOsHandle(primary);
}

// Of an administrator's two tokens under UAC, the Run value's programs get the limited one. Which
// one WTSQueryUserToken gives is not written down, so a full one is exchanged for its limited twin
// here, and where that cannot be had, nothing is started.
UniqueOsHandle Unelevated(UniqueOsHandle token) {
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) ||
        type != TokenElevationTypeFull) {
        return token;
    }
    TOKEN_LINKED_TOKEN linked{};
    if (!GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return nullptr;
    const UniqueOsHandle limited(linked.LinkedToken);
    return PrimaryCopy(limited.get());
}

std::wstring ProcessUserSid(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return L"";
    const UniqueOsHandle owned(token);
    return TokenUserSid(token);
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
            continue;
        }
        program.session = session;
        program.path = ImagePath(program.process.get());
        program.userSid = ProcessUserSid(program.process.get());
        if (!program.path.empty() && !program.userSid.empty()) programs.push_back(std::move(program));
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

UniqueOsHandle OpenSessionUserToken(std::uint32_t session) {
    static const auto queryUserToken = SystemFunctionAs<QueryUserTokenProc>(L"wtsapi32.dll", "WTSQueryUserToken");
    HANDLE token = nullptr;
    if (queryUserToken == nullptr || !queryUserToken(session, &token)) return nullptr;
    return Unelevated(UniqueOsHandle(token));
}

UniqueOsHandle OpenProcessUserToken(OsHandle process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, &token)) return nullptr;
    const UniqueOsHandle owned(token);
    return PrimaryCopy(token);
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

bool StartAsUser(OsHandle token, const std::wstring& program, const std::wstring& commandLine) {
    static const auto createEnvironment =
        SystemFunctionAs<CreateEnvironmentProc>(L"userenv.dll", "CreateEnvironmentBlock");
    static const auto destroyEnvironment =
        SystemFunctionAs<DestroyEnvironmentProc>(L"userenv.dll", "DestroyEnvironmentBlock");
    // Whatever the caller, nothing is ever started with LocalSystem's token.
    const std::wstring user = TokenUserSid(token);
    void* environment = nullptr;
    if (user.empty() || user == kLocalSystemSid || createEnvironment == nullptr || destroyEnvironment == nullptr ||
        !createEnvironment(&environment, token, FALSE)) {
        return false;
    }
    wchar_t desktop[] = L"winsta0\\default";  // the session's interactive desktop
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    std::wstring line = commandLine;  // CreateProcessAsUserW may write to it
    PROCESS_INFORMATION started{};
    // taskkill is a console program: no console window is opened on the user's desktop for it.
    const BOOL ok = CreateProcessAsUserW(token, program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                         CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment, nullptr,
                                         &startup, &started);
    destroyEnvironment(environment);
    if (!ok) return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

std::wstring SystemProgramPath(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return fileName;
    return std::wstring(folder) + L"\\" + fileName;
}
