#include "bench/message_box_watch.h"

#include "tests/win32/win32_test_support.h"

HWND FindMessageBox(DWORD processId, const wchar_t* caption) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner == processId && IsWindowVisible(box)) return box;
    }
    return nullptr;
}

bool PressOk(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr) return false;
    PostMessageW(ok, BM_CLICK, 0, 0);
    return WaitUntil([box] { return !IsWindow(box) || !IsWindowVisible(box); }, std::chrono::seconds(10));
}
