// The record of the sessions whose monitors the install closed, between the hand-over's two runs:
// a volatile key under HKLM, which only administrators and LocalSystem may write.

#include <windows.h>

#include "platform/sessions.h"

namespace {

// Kept in memory only: gone at the next restart, and removed as soon as it has been read.
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\KeslWebATMMonitorHandover";

}  // namespace

OsError RecordMonitorSessions(const std::vector<MonitorSession>& sessions) {
    HKEY key = nullptr;
    const LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                                         nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS) return static_cast<OsError>(created);
    // One value a session and user, named "SESSION SID": a session recorded twice is one value.
    LONG written = ERROR_SUCCESS;
    for (const MonitorSession& s : sessions) {
        const std::wstring name = std::to_wstring(s.session) + L" " + s.userSid;
        const DWORD session = s.session;
        const LONG set = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&session),
                                        sizeof session);
        if (written == ERROR_SUCCESS) written = set;
    }
    RegCloseKey(key);
    return static_cast<OsError>(written);
}

std::vector<MonitorSession> RecordedMonitorSessions() {
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
    return sessions;
}

OsError ForgetRecordedMonitorSessions() {
    const LONG deleted = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecordKey);
    return deleted == ERROR_FILE_NOT_FOUND ? 0 : static_cast<OsError>(deleted);
}
