// The desktop of two monitors that tests/scripts/two_monitors_run.sh starts, as Windows
// programs see it: exactly the two monitors of the layout named in MURLAVO_MONITOR_LAYOUT, the
// virtual screen around them, and windows that stay on the monitor they are put on. The
// program's own monitor list and full-screen layout are read from the same desktop.
#include "platform/Monitors.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using platform::ScreenRect;

namespace {

struct Layout {
    ScreenRect primary;
    ScreenRect second;
    ScreenRect virtualScreen;
};

// The layouts of two_monitors_run.sh, in Windows' screen coordinates: the primary monitor's
// top-left corner is the origin, the second lies 128 pixels lower, to its right or its left.
bool ExpectedLayout(Layout& layout)
{
    const char* name = std::getenv("MURLAVO_MONITOR_LAYOUT");
    const std::string which = name ? name : "";
    if (which == "right") {
        layout = {{0, 0, 1280, 1024}, {1280, 128, 2304, 896}, {0, 0, 2304, 1024}};
        return true;
    }
    if (which == "left") {
        layout = {{0, 0, 1280, 1024}, {-1024, 128, 0, 896}, {-1024, 0, 1280, 1024}};
        return true;
    }
    ADD_FAILURE() << "MURLAVO_MONITOR_LAYOUT is '" << which
                  << "', not right or left: run this test through tests/scripts/two_monitors_run.sh";
    return false;
}

ScreenRect FromRect(const RECT& rect)
{
    return {int(rect.left), int(rect.top), int(rect.right), int(rect.bottom)};
}

struct Monitor {
    HMONITOR handle = nullptr;
    ScreenRect enumerated; // the rectangle EnumDisplayMonitors passes
    ScreenRect monitor;    // rcMonitor
    ScreenRect work;       // rcWork
    bool primary = false;
};

BOOL CALLBACK CollectMonitor(HMONITOR handle, HDC, LPRECT rect, LPARAM data)
{
    Monitor monitor;
    monitor.handle = handle;
    monitor.enumerated = FromRect(*rect);
    MONITORINFO info {};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(handle, &info)) {
        monitor.monitor = FromRect(info.rcMonitor);
        monitor.work = FromRect(info.rcWork);
        monitor.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    } else {
        ADD_FAILURE() << "GetMonitorInfoW failed, error " << ::GetLastError();
    }
    reinterpret_cast<std::vector<Monitor>*>(data)->push_back(monitor);
    return TRUE;
}

std::vector<Monitor> Monitors()
{
    std::vector<Monitor> monitors;
    EXPECT_TRUE(::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors)));
    return monitors;
}

bool Inside(const ScreenRect& inner, const ScreenRect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
        && inner.bottom <= outer.bottom;
}

} // namespace

namespace platform {
// Failure messages show the rectangles.
void PrintTo(const ScreenRect& rect, std::ostream* out)
{
    *out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
}
} // namespace platform

TEST(TwoMonitors, TheSystemReportsExactlyTheTwoMonitorsOfTheLayout)
{
    Layout expected;
    ASSERT_TRUE(ExpectedLayout(expected));
    const std::vector<Monitor> monitors = Monitors();
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(::GetSystemMetrics(SM_CMONITORS), 2);

    auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    ASSERT_NE(primary, monitors.end()) << "no monitor is the primary one";
    EXPECT_EQ(std::count_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; }), 1);
    const Monitor& second = monitors[primary == monitors.begin() ? 1 : 0];
    EXPECT_EQ(primary->monitor, expected.primary);
    EXPECT_EQ(second.monitor, expected.second);
    for (const Monitor& monitor : monitors) {
        EXPECT_EQ(monitor.enumerated, monitor.monitor);
        EXPECT_TRUE(Inside(monitor.work, monitor.monitor));
        EXPECT_GT(monitor.work.Width(), 0);
        EXPECT_GT(monitor.work.Height(), 0);
    }
    // The primary screen's metrics are the primary monitor's, not the whole desktop's.
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), expected.primary.Width());
    EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), expected.primary.Height());
    // The virtual screen is the smallest rectangle holding both.
    const ScreenRect virtualScreen {::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
        ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
        ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    EXPECT_EQ(virtualScreen, expected.virtualScreen);
}

TEST(TwoMonitors, PointsAndRectanglesBelongToTheMonitorUnderThem)
{
    Layout expected;
    ASSERT_TRUE(ExpectedLayout(expected));
    const HMONITOR primary = ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTONULL);
    const HMONITOR second = ::MonitorFromPoint({expected.second.left + 10, expected.second.top + 10},
        MONITOR_DEFAULTTONULL);
    ASSERT_NE(primary, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(primary, second);
    EXPECT_EQ(::MonitorFromPoint({expected.second.right - 1, expected.second.bottom - 1}, MONITOR_DEFAULTTONULL),
        second);
    EXPECT_EQ(::MonitorFromPoint({expected.primary.right - 1, expected.primary.bottom - 1}, MONITOR_DEFAULTTONULL),
        primary);

    // Above the lower monitor, beside the primary, lies no monitor; the nearest is the second.
    const POINT gap {expected.second.left + 10, expected.second.top - 10};
    EXPECT_EQ(::MonitorFromPoint(gap, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(::MonitorFromPoint(gap, MONITOR_DEFAULTTONEAREST), second);
    EXPECT_EQ(::MonitorFromPoint(gap, MONITOR_DEFAULTTOPRIMARY), primary);

    // A rectangle across the seam between them belongs to the monitor holding most of it.
    const bool secondOnTheRight = expected.second.left > 0;
    const int seam = secondOnTheRight ? expected.second.left : 0;
    const HMONITOR rightMonitor = secondOnTheRight ? second : primary;
    const HMONITOR leftMonitor = secondOnTheRight ? primary : second;
    const RECT mostlyRight {seam - 10, 200, seam + 300, 300};
    const RECT mostlyLeft {seam - 300, 200, seam + 10, 300};
    EXPECT_EQ(::MonitorFromRect(&mostlyRight, MONITOR_DEFAULTTONULL), rightMonitor);
    EXPECT_EQ(::MonitorFromRect(&mostlyLeft, MONITOR_DEFAULTTONULL), leftMonitor);
}

TEST(TwoMonitors, AWindowStaysWhereItIsPutOnEitherMonitor)
{
    Layout expected;
    ASSERT_TRUE(ExpectedLayout(expected));
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TwoMonitorsTestWindow";
    ASSERT_TRUE(::RegisterClassW(&windowClass) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);

    // A borderless window filling each monitor, and one over the whole virtual screen, which
    // belongs to the monitor holding most of it: the larger primary.
    const HMONITOR primary = ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTONULL);
    const HMONITOR second = ::MonitorFromPoint({expected.second.left, expected.second.top}, MONITOR_DEFAULTTONULL);
    ASSERT_NE(second, nullptr);
    struct Place {
        ScreenRect rect;
        HMONITOR monitor;
    };
    for (const Place& place : {Place {expected.second, second}, Place {expected.primary, primary},
             Place {expected.virtualScreen, primary}}) {
        SCOPED_TRACE(testing::PrintToString(place.rect));
        const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
            place.rect.left, place.rect.top, place.rect.Width(), place.rect.Height(), nullptr, nullptr, instance,
            nullptr);
        ASSERT_NE(window, nullptr);
        RECT rect {};
        ::GetWindowRect(window, &rect);
        EXPECT_EQ(FromRect(rect), place.rect);
        EXPECT_EQ(::MonitorFromWindow(window, MONITOR_DEFAULTTONULL), place.monitor);
        ::DestroyWindow(window);
    }
}

TEST(TwoMonitors, TheProgramsFullScreenLayoutCoversBothMonitors)
{
    Layout expected;
    ASSERT_TRUE(ExpectedLayout(expected));
    std::vector<ScreenRect> rects = platform::MonitorRects();
    auto byLeft = [](const ScreenRect& a, const ScreenRect& b) { return a.left < b.left; };
    std::sort(rects.begin(), rects.end(), byLeft);
    std::vector<ScreenRect> wanted {expected.primary, expected.second};
    std::sort(wanted.begin(), wanted.end(), byLeft);
    EXPECT_EQ(rects, wanted);

    const platform::FullScreenLayout layout = platform::CurrentFullScreenLayout();
    EXPECT_EQ(layout.window, expected.virtualScreen);
    // The primary screen, relative to the window's top-left corner.
    const ScreenRect primaryInWindow {expected.primary.left - expected.virtualScreen.left,
        expected.primary.top - expected.virtualScreen.top, expected.primary.right - expected.virtualScreen.left,
        expected.primary.bottom - expected.virtualScreen.top};
    EXPECT_EQ(layout.primary, primaryInWindow);
}
