#include "tests/acceptance/system.h"

#include <msi.h>
#include <shlobj.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

#include "desktop/desktop.h"

namespace {

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

// A value of key under HKLM in the registry view given, of the types flags allow, into data.
bool ReadValue(const wchar_t* key, const wchar_t* name, REGSAM view, DWORD flags, void* data, DWORD size) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return false;
    const bool read = RegGetValueW(opened, nullptr, name, flags, nullptr, data, &size) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return read;
}

}  // namespace

bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameBytes(const std::wstring& a, const std::wstring& b) {
    return FileExists(a) && FileExists(b) && ReadAll(a) == ReadAll(b);
}

bool CopyInto(const std::wstring& from, const std::wstring& folder) {
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return CopyFileW(from.c_str(), (folder + L"\\" + from.substr(from.find_last_of(L"\\/") + 1)).c_str(), FALSE) != FALSE;
}

std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr)
        return L"";
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

namespace {

DWORD ShellProcessId() {
    DWORD id = 0;
    if (HWND shell = GetShellWindow()) GetWindowThreadProcessId(shell, &id);
    return id;
}

// Starts commandLine with token, shown as the shell shows what it starts.
bool StartWithToken(HANDLE token, const std::wstring& commandLine, Started& started) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;  // as the shell starts the Run value's programs
    startup.wShowWindow = SW_SHOWNORMAL;
    return CreateProcessWithTokenW(token, 0, nullptr, line.data(), 0, nullptr, nullptr, &startup, &started.info) != FALSE;
}

}  // namespace

int ShellElevation() {
    UniqueHandle process(ShellProcessId() != 0 ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ShellProcessId()) : nullptr);
    return process ? ElevationOf(process.get()) : -1;
}

UniqueHandle ShellUserToken() {
    UniqueHandle shell(ShellProcessId() != 0 ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ShellProcessId()) : nullptr);
    HANDLE token = nullptr, primary = nullptr;
    if (shell && OpenProcessToken(shell.get(), TOKEN_DUPLICATE, &token)) {
        DuplicateTokenEx(token, TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID |
                                    TOKEN_IMPERSONATE, nullptr, SecurityImpersonation, TokenPrimary, &primary);
        CloseHandle(token);
    }
    return UniqueHandle(primary);
}

bool StartAsShellUser(const std::wstring& commandLine, Started& started, std::wstring& how) {
    const UniqueHandle token = ShellUserToken();
    if (token && StartWithToken(token.get(), commandLine, started)) {
        how = L"with the token of the shell's process (" + std::to_wstring(ShellProcessId()) + L")";
        return true;
    }
    how = !token ? (ShellProcessId() == 0 ? L"no shell window" : L"the shell's token could not be taken")
                 : L"CreateProcessWithTokenW failed (" + std::to_wstring(GetLastError()) + L")";
    how += L", so with this program's own token";
    StartProgram(commandLine, started);
    return false;
}

// Absent, EnableLUA is on, as Windows reads it.
bool UacIsOn() {
    DWORD on = 1;
    return !ReadValue(L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA", KEY_WOW64_64KEY,
                      RRF_RT_REG_DWORD, &on, sizeof on) || on != 0;
}

int ElevationOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return -1;
    UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return -1;
    return elevation.TokenIsElevated ? 1 : 0;
}

bool RestartExplorer(std::wstring& how) {
    DWORD id = 0;
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (taskbar != nullptr) GetWindowThreadProcessId(taskbar, &id);
    UniqueHandle explorer(id != 0 ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr);
    const UniqueHandle user = ShellUserToken();  // the shell's own, for an Explorer started here
    if (!explorer || !TerminateProcess(explorer.get(), 1)) {
        how = taskbar == nullptr ? L"Explorer was not running" : L"Explorer could not be ended";
        return false;
    }
    WaitForSingleObject(explorer.get(), 10000);
    // Windows starts a shell that ended unexpectedly again by itself (AutoRestartShell).
    auto taskbarBack = [] { return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; };
    how = L"Explorer was ended, and Windows started it again";
    if (WaitUntil(taskbarBack, std::chrono::seconds(20))) return true;
    // By its full path (a 32-bit program's search would meet the redirected system folder first),
    // as the shell's user: never with this program's elevated token.
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    Started explorerAgain;
    const bool started = user && StartWithToken(user.get(), L"\"" + std::wstring(windows) + L"\\explorer.exe\"", explorerAgain);
    how = started ? L"Explorer was ended; Windows did not start it again, so this program did, as the shell's user"
                  : L"Explorer was ended; Windows did not start it again, and it could not be started as the shell's user";
    return started && WaitUntil(taskbarBack, std::chrono::seconds(30));
}

std::wstring ReadLogText(const std::wstring& path, std::initializer_list<UINT> codePages) {
    const std::string bytes = ReadAll(path);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::wstring text;
    for (UINT codePage : codePages) {
        const int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (size <= 0) continue;
        std::wstring part(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), part.data(), size);
        text += part;
    }
    return text;
}

std::vector<std::wstring> HandoverLines(const std::wstring& logPath) {
    const std::wstring text = ReadLogText(logPath, {CP_ACP}), prefix = L"KeslMonitorHandover: ";
    std::vector<std::wstring> lines;
    for (std::size_t at = text.find(prefix); at != std::wstring::npos; at = text.find(prefix, at)) {
        at += prefix.size();
        lines.push_back(text.substr(at, text.find_first_of(L"\r\n", at) - at));
    }
    return lines;
}

// In this program's own registry view, which is the hand-over's: both are built for one machine.
bool HandoverRecordLeft() {
    HKEY key = nullptr;
    const bool left = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KeslWebATMMonitorHandover", 0, KEY_QUERY_VALUE, &key) == 0;
    return left && RegCloseKey(key) == 0;
}

std::wstring MonitorRunValue() {
    wchar_t value[1024] = {};
    return ReadValue(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"KeslWebATMMonitor", KEY_WOW64_32KEY,
                     RRF_RT_REG_SZ, value, sizeof value) ? value : L"";
}

std::vector<std::wstring> InstalledEntries(const wchar_t* upgradeCode, const std::wstring& displayName) {
    std::vector<std::wstring> versions;
    wchar_t product[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode, 0, i, product) == ERROR_SUCCESS; ++i) {
        auto info = [&](const wchar_t* property) {
            wchar_t value[256] = {};
            DWORD size = 256;
            MsiGetProductInfoW(product, property, value, &size);
            return std::wstring(value);
        };
        if (info(L"InstalledProductName") == displayName) versions.push_back(info(L"VersionString"));
    }
    return versions;
}

LONG VerifySignature(const std::wstring& path, std::wstring& signer) {
    WINTRUST_FILE_INFO file{sizeof file, path.c_str(), nullptr, nullptr};
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;  // offline: no CRL or OCSP is fetched
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData)) {
        if (CRYPT_PROVIDER_SGNR* first = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)) {
            if (first->csCertChain > 0 && first->pasCertChain[0].pCert != nullptr) {
                wchar_t name[256] = {};
                CertGetNameStringW(first->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
                signer = name;
            }
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}
