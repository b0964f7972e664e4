// The monitors of the desktop as the system reports them now.
#pragma once
#include "platform/ScreenLayout.h"

namespace platform {

// The rectangle of every monitor attached to the desktop, in screen coordinates.
std::vector<ScreenRect> MonitorRects();
// CoverAllMonitors for the primary screen's size and the monitors of the desktop now.
FullScreenLayout CurrentFullScreenLayout();

} // namespace platform
