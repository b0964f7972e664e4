// Where a full-screen window goes when the desktop spans several monitors. Plain values, no
// <windows.h>: the full-screen saver and the full-screen show use it, and it is tested with
// given monitor rectangles.
#pragma once
#include <vector>

namespace platform {

// A rectangle in screen or client coordinates; right and bottom are exclusive.
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const ScreenRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct FullScreenLayout {
    // The window, in screen coordinates: the primary screen and every monitor (the virtual
    // screen), so no monitor shows the desktop.
    ScreenRect window;
    // The primary screen inside the window, in coordinates relative to the window's top-left
    // corner: where the show keeps the size and place it has on one monitor.
    ScreenRect primary;
    // The other monitors inside the window, in the same coordinates, each its own slide: those
    // with area that are not the primary screen, lie not wholly inside it (a mirror) and are not
    // listed twice.
    std::vector<ScreenRect> others;
};

// The layout for a primary screen of primaryWidth x primaryHeight (its top-left corner is (0, 0)
// by definition) and the monitors' rectangles in screen coordinates (the primary among them or
// not; empty rectangles are ignored). With one monitor, or none listed, the window is exactly
// the primary screen at (0, 0).
FullScreenLayout CoverAllMonitors(int primaryWidth, int primaryHeight, const std::vector<ScreenRect>& monitors);

} // namespace platform
