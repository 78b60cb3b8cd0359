#include "bench/tray_watch.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// As the notification area lays them out: a small icon plus a border on each side, from the
// right end of the taskbar.
constexpr int kSlotBorder = 2;
// A slot with fewer drawn pixels than this is empty (the border of a pressed slot is not an icon).
constexpr int kDrawnPixelsOfAnIcon = 20;

int SlotWidth() { return GetSystemMetrics(SM_CXSMICON) + 2 * kSlotBorder; }

HWND Taskbar() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

bool Near(std::uint32_t a, std::uint32_t b) {
    int difference = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        difference += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    }
    return difference < 24;
}

// The pixels of a screen rectangle, row by row, as 0x00RRGGBB; one BitBlt instead of a GetPixel
// round trip per pixel.
std::vector<std::uint32_t> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

}  // namespace

int ShownTrayIcons(int maxSlots) {
    HWND taskbar = Taskbar();
    RECT bar{};
    const bool onScreen = taskbar != nullptr && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &bar) &&
                          bar.right - bar.left > 2 * maxSlots * SlotWidth() &&
                          bar.bottom - bar.top > GetSystemMetrics(SM_CYSMICON);
    if (!onScreen) return 0;
    // The slots, and one column from the taskbar's middle where no icon or button is drawn,
    // whose colour is the background.
    const int slot = SlotWidth();
    const RECT slots{bar.right - maxSlots * slot, bar.top, bar.right, bar.bottom};
    const std::vector<std::uint32_t> pixels = CaptureScreen(slots);
    const std::vector<std::uint32_t> middle = CaptureScreen({(bar.left + bar.right) / 2, bar.top + 2,
                                                             (bar.left + bar.right) / 2 + 1, bar.top + 3});
    if (middle.empty() || pixels.empty()) return 0;
    const std::uint32_t background = middle[0];
    const int width = slots.right - slots.left;
    const int height = slots.bottom - slots.top;

    int shown = 0;
    for (int index = 0; index < maxSlots; ++index) {
        const int right = width - index * slot;
        int drawn = 0;
        for (int x = right - slot + kSlotBorder; x < right - kSlotBorder; ++x) {
            for (int y = 1; y < height - 1; ++y) {
                if (!Near(pixels[static_cast<std::size_t>(y * width + x)], background)) ++drawn;
            }
        }
        if (drawn < kDrawnPixelsOfAnIcon) break;
        ++shown;
    }
    return shown;
}

DriverTrayIcon::DriverTrayIcon(unsigned id)
    // A message-only window: it owns the icon but takes no broadcasts, which the driver's thread,
    // busy measuring, would not answer.
    : owner_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)), id_(id) {}

DriverTrayIcon::~DriverTrayIcon() {
    Remove();
    DestroyWindow(owner_);
}

void DriverTrayIcon::Add() {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = id_;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    added_ = Shell_NotifyIconW(NIM_ADD, &icon) != FALSE;
}

void DriverTrayIcon::Remove() {
    if (!added_) return;
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = id_;
    Shell_NotifyIconW(NIM_DELETE, &icon);
    added_ = false;
}
