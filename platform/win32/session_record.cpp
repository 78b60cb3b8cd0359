// The record of the sessions whose monitors the install closed, between the hand-over's two runs:
// a volatile key under HKLM, which only administrators and LocalSystem may write.

#include <windows.h>

#include "platform/sessions.h"

namespace {

// Kept in memory only: gone at the next restart, and removed as soon as it has been read.
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\KeslWebATMMonitorHandover";

}  // namespace

bool RecordMonitorSessions(const std::vector<MonitorSession>& sessions) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // One value a session and user, named "SESSION SID": a session recorded twice is one value.
    bool written = true;
    for (const MonitorSession& s : sessions) {
        const std::wstring name = std::to_wstring(s.session) + L" " + s.userSid;
        const DWORD session = s.session;
        written &= RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&session),
                                  sizeof session) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return written;
}

std::vector<MonitorSession> TakeRecordedMonitorSessions() {
    std::vector<MonitorSession> sessions;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return sessions;
    wchar_t name[256];
    DWORD session = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256, type = 0, size = sizeof session;
        const LONG read = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(&session), &size);
        if (read == ERROR_NO_MORE_ITEMS) break;
        const std::wstring text(name, nameLength);
        const std::size_t space = text.find(L' ');
        if (read == ERROR_SUCCESS && type == REG_DWORD && space != std::wstring::npos) {
            sessions.push_back({session, text.substr(space + 1)});
        }
    }
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecordKey);
    return sessions;
}
