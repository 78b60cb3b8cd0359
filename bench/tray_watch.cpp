#include "bench/tray_watch.h"

#include <cstdint>
#include <vector>

#include "desktop/desktop.h"

namespace {

// A slot with fewer drawn pixels than this is empty (the border of a pressed slot is not an icon).
constexpr int kDrawnPixelsOfAnIcon = 20;

}  // namespace

int ShownTrayIcons(int maxSlots) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    const RECT bar = Taskbar();
    const bool onScreen = taskbar != nullptr && IsWindowVisible(taskbar) &&
                          bar.right - bar.left > 2 * maxSlots * SlotWidth() &&
                          bar.bottom - bar.top > GetSystemMetrics(SM_CYSMICON);
    if (!onScreen) return 0;
    // Every slot in one capture, so that it can be polled every few milliseconds.
    const int slot = SlotWidth();
    const RECT slots{bar.right - maxSlots * slot, bar.top, bar.right, bar.bottom};
    const std::vector<std::uint32_t> pixels = CaptureScreen(slots);
    if (pixels.empty()) return 0;
    const std::uint32_t background = TaskbarColour();
    const int width = slots.right - slots.left;
    const int height = slots.bottom - slots.top;

    int shown = 0;
    for (int index = 0; index < maxSlots; ++index) {
        const int right = width - index * slot;
        int drawn = 0;
        for (int x = right - slot + kSlotBorder; x < right - kSlotBorder; ++x) {
            for (int y = 1; y < height - 1; ++y) {
                if (!Near(pixels[static_cast<std::size_t>(y * width + x)], background, 8)) ++drawn;
            }
        }
        if (drawn < kDrawnPixelsOfAnIcon) break;
        ++shown;
    }
    return shown;
}
