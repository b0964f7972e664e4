// The full-screen geometry over several monitors, from given monitor rectangles.
#include "platform/ScreenLayout.h"

#include <gtest/gtest.h>

using platform::CoverAllMonitors;
using platform::ScreenRect;

TEST(ScreenLayout, OneMonitorIsExactlyThePrimaryScreenAtTheOrigin)
{
    for (const std::vector<ScreenRect>& monitors :
         {std::vector<ScreenRect> {}, std::vector<ScreenRect> {{0, 0, 1024, 768}},
          // The system may list the primary screen twice (mirrored displays).
          std::vector<ScreenRect> {{0, 0, 1024, 768}, {0, 0, 1024, 768}},
          // A smaller mirror inside the primary screen changes nothing.
          std::vector<ScreenRect> {{0, 0, 1024, 768}, {0, 0, 800, 600}}}) {
        auto layout = CoverAllMonitors(1024, 768, monitors);
        EXPECT_EQ(layout.window, (ScreenRect {0, 0, 1024, 768}));
        EXPECT_EQ(layout.primary, (ScreenRect {0, 0, 1024, 768}));
    }
}

TEST(ScreenLayout, MonitorsRightOfOrBelowThePrimaryWidenTheWindowOnly)
{
    auto right = CoverAllMonitors(1920, 1080, {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}});
    EXPECT_EQ(right.window, (ScreenRect {0, 0, 3200, 1080}));
    EXPECT_EQ(right.primary, (ScreenRect {0, 0, 1920, 1080}));

    auto below = CoverAllMonitors(1280, 1024, {{0, 1024, 1280, 2048}, {0, 0, 1280, 1024}});
    EXPECT_EQ(below.window, (ScreenRect {0, 0, 1280, 2048}));
    EXPECT_EQ(below.primary, (ScreenRect {0, 0, 1280, 1024}));
}

TEST(ScreenLayout, MonitorsLeftOfOrAboveThePrimaryMoveItInsideTheWindow)
{
    // A secondary monitor to the left has negative screen coordinates.
    auto left = CoverAllMonitors(1920, 1080, {{-1280, 56, 0, 1080}, {0, 0, 1920, 1080}});
    EXPECT_EQ(left.window, (ScreenRect {-1280, 0, 1920, 1080}));
    EXPECT_EQ(left.primary, (ScreenRect {1280, 0, 3200, 1080}));

    auto above = CoverAllMonitors(1024, 768, {{0, 0, 1024, 768}, {200, -900, 1800, 0}});
    EXPECT_EQ(above.window, (ScreenRect {0, -900, 1800, 768}));
    EXPECT_EQ(above.primary, (ScreenRect {0, 900, 1024, 1668}));
}

TEST(ScreenLayout, ThreeMonitorsOfDifferentSizesGiveTheirBoundingBox)
{
    // Left, primary, and one right and higher: the window includes the corners no monitor
    // shows; the primary keeps its size.
    auto layout = CoverAllMonitors(2560, 1440, {{-1920, 300, 0, 1380}, {0, 0, 2560, 1440}, {2560, -400, 3640, 1520}});
    EXPECT_EQ(layout.window, (ScreenRect {-1920, -400, 3640, 1520}));
    EXPECT_EQ(layout.primary, (ScreenRect {1920, 400, 4480, 1840}));
    EXPECT_EQ(layout.primary.Width(), 2560);
    EXPECT_EQ(layout.primary.Height(), 1440);
    // Each other monitor, in window coordinates, for a slide of its own.
    const std::vector<ScreenRect> others {{0, 700, 1920, 1780}, {4480, 0, 5560, 1920}};
    EXPECT_EQ(layout.others, others);
}

TEST(ScreenLayout, MirrorsAndMonitorsListedTwiceGetNoSlideOfTheirOwn)
{
    auto layout = CoverAllMonitors(1024, 768, {{0, 0, 1024, 768}, {0, 0, 800, 600}, {1024, 0, 2048, 768},
                                               {1024, 0, 2048, 768}, {1024, 0, 1024, 768}});
    EXPECT_EQ(layout.others, (std::vector<ScreenRect> {{1024, 0, 2048, 768}}));
    EXPECT_TRUE(CoverAllMonitors(1024, 768, {{0, 0, 1024, 768}}).others.empty());
}

TEST(ScreenLayout, EmptyOrInvertedRectanglesAreIgnored)
{
    auto layout = CoverAllMonitors(800, 600, {{-500, -500, -500, 100}, {900, 0, 850, 600}, {0, 0, 800, 600}});
    EXPECT_EQ(layout.window, (ScreenRect {0, 0, 800, 600}));
    EXPECT_EQ(layout.primary, (ScreenRect {0, 0, 800, 600}));
    // A negative primary size is no size.
    EXPECT_EQ(CoverAllMonitors(-5, 600, {}).window, (ScreenRect {0, 0, 0, 600}));
}
