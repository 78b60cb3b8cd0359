#include "desktop/tray_icon.h"

#include <shellapi.h>

HRESULT NotifyIconRect(HWND window, UINT id, RECT& area) {
    using GetRectProc = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    const auto getRect = reinterpret_cast<GetRectProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect")));
    if (getRect == nullptr) return E_NOTIMPL;
    NOTIFYICONIDENTIFIER identifier{sizeof identifier, window, id, {}};
    return getRect(&identifier, &area);
}

OwnTrayIcon::OwnTrayIcon(unsigned id, bool messageOnly)
    : owner_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, messageOnly ? HWND_MESSAGE : nullptr, nullptr, nullptr,
                             nullptr)),
      id_(id) {}

OwnTrayIcon::~OwnTrayIcon() {
    Remove();
    DestroyWindow(owner_);
}

bool OwnTrayIcon::Add() {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = id_;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    return added_ = Shell_NotifyIconW(NIM_ADD, &icon) != FALSE;
}

void OwnTrayIcon::Remove() {
    if (!added_) return;
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = id_;
    Shell_NotifyIconW(NIM_DELETE, &icon);
    added_ = false;
}
