#include "platform/Monitors.h"

#include <windows.h>

namespace platform {

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data)
{
    reinterpret_cast<std::vector<ScreenRect>*>(data)->push_back(
        ScreenRect {int(rect->left), int(rect->top), int(rect->right), int(rect->bottom)});
    return TRUE;
}

BOOL CALLBACK CollectMonitorInfo(HMONITOR monitor, HDC, LPRECT rect, LPARAM data)
{
    MONITORINFO info {};
    info.cbSize = sizeof info;
    const bool primary = ::GetMonitorInfoW(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY);
    reinterpret_cast<std::vector<MonitorInfo>*>(data)->push_back(
        MonitorInfo {ScreenRect {int(rect->left), int(rect->top), int(rect->right), int(rect->bottom)}, primary});
    return TRUE;
}
} // namespace

std::vector<MonitorInfo> MonitorInfos()
{
    std::vector<MonitorInfo> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitorInfo, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

std::vector<ScreenRect> MonitorRects()
{
    std::vector<ScreenRect> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

FullScreenLayout CurrentFullScreenLayout()
{
    return CoverAllMonitors(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), MonitorRects());
}

} // namespace platform
