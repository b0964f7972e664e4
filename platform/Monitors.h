// The monitors of the desktop as the system reports them now.
#pragma once
#include "platform/ScreenLayout.h"
#include "platform/WallpaperCanvas.h"

namespace platform {

// The rectangle of every monitor attached to the desktop, in screen coordinates.
std::vector<ScreenRect> MonitorRects();
// Every monitor with its rectangle (in physical pixels: the program is per-monitor DPI aware)
// and whether it is the primary one.
std::vector<MonitorInfo> MonitorInfos();
// CoverAllMonitors for the primary screen's size and the monitors of the desktop now.
FullScreenLayout CurrentFullScreenLayout();

} // namespace platform
