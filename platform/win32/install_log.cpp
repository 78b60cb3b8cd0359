// The install's own log: each informative message of an action goes to it (msiexec /l*v), where the
// deployment tools that ran the install collect it.

#include "platform/win32/install_log.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "platform/sessions.h"

namespace {

MSIHANDLE g_install = 0;

}  // namespace

void SetInstallLog(InstallHandle install) { g_install = install; }

void SayInInstallLog(const std::wstring& line) {
    if (g_install == 0) return;
    // Field 0 is a template, whose brackets and braces the installer reads as properties and
    // conditions; the line goes in field 1, which is taken as it stands.
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"KeslMonitorHandover: [1]");
    MsiRecordSetStringW(record, 1, line.c_str());
    MsiProcessMessage(g_install, INSTALLMESSAGE_INFO, record);
}

std::wstring ActionData(InstallHandle install) {
    wchar_t none[1] = L"";
    DWORD size = 0;
    if (MsiGetPropertyW(install, L"CustomActionData", none, &size) != ERROR_MORE_DATA) return L"";
    std::wstring data(++size, L'\0');  // the size it gives leaves out the terminator
    if (MsiGetPropertyW(install, L"CustomActionData", data.data(), &size) != ERROR_SUCCESS) return L"";
    data.resize(size);
    return data;
}
