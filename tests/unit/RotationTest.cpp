#include "show/Rotation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ShowRandom, FollowsTheLinearCongruentialRecurrence)
{
    CShowRandom random;
    random.Seed(1);
    EXPECT_EQ(random.Next(), 41);
    EXPECT_EQ(random.Next(), 18467);
    EXPECT_EQ(random.Next(), 6334);
    EXPECT_EQ(random.Next(), 26500);
    random.Seed(0xFFFFFFFFu); // the state wraps modulo 2^32
    for (int i = 0; i < 1000; ++i) {
        int r = random.Next();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST(WallpaperInterval, CountsWholeMinutesSinceTheLastChange)
{
    const int64_t start = 1700000000;
    // Never changed: the first tick changes.
    EXPECT_TRUE(WallpaperIntervalPassed(start + 60, 0, 10));
    // Interval 10 after a change at `start`: nothing until ten whole minutes have passed.
    EXPECT_FALSE(WallpaperIntervalPassed(start + 60, static_cast<int32_t>(start), 10));
    EXPECT_FALSE(WallpaperIntervalPassed(start + 599, static_cast<int32_t>(start), 10));
    EXPECT_TRUE(WallpaperIntervalPassed(start + 600, static_cast<int32_t>(start), 10));
    // Zero or negative intervals change at every tick.
    EXPECT_TRUE(WallpaperIntervalPassed(start, static_cast<int32_t>(start), 0));
    EXPECT_TRUE(WallpaperIntervalPassed(start + 30, static_cast<int32_t>(start), -5));
    // Clock set back an hour: no change until the interval has passed again.
    EXPECT_FALSE(WallpaperIntervalPassed(start - 3600, static_cast<int32_t>(start), 10));
    EXPECT_FALSE(WallpaperIntervalPassed(start - 3600, static_cast<int32_t>(start), 0));
    // Less than a minute back truncates to zero minutes.
    EXPECT_TRUE(WallpaperIntervalPassed(start - 59, static_cast<int32_t>(start), 0));
    // Daily.
    EXPECT_FALSE(WallpaperIntervalPassed(start + 1439 * 60, static_cast<int32_t>(start), 1440));
    EXPECT_TRUE(WallpaperIntervalPassed(start + 1440 * 60, static_cast<int32_t>(start), 1440));
}

TEST(PictureChoice, SequentialWrapsAndSurvivesAShorterList)
{
    int32_t next = 0;
    std::vector<int> chosen;
    for (int i = 0; i < 7; ++i)
        chosen.push_back(ChooseSequential(&next, 3));
    EXPECT_EQ(chosen, (std::vector<int> {0, 1, 2, 0, 1, 2, 0}));
    next = 9; // left over from a longer list
    EXPECT_EQ(ChooseSequential(&next, 3), 0);
    EXPECT_EQ(next, 1);
}

TEST(PictureChoice, RandomScalesTheValueAndAvoidsTheLastWallpaper)
{
    std::vector<std::string> names {"a", "b", "c", "d", "e"};
    std::vector<const std::string*> paths;
    for (const auto& name : names)
        paths.push_back(&name);
    EXPECT_EQ(ChooseRandom(paths, 0, ""), 0);
    EXPECT_EQ(ChooseRandom(paths, 16383, ""), 2); // 5 * 16383 / 32767 = 2
    EXPECT_EQ(ChooseRandom(paths, 32767, ""), 4); // n itself becomes n - 1
    EXPECT_EQ(ChooseRandom(paths, 16383, "c"), 3); // the last wallpaper moves on
    EXPECT_EQ(ChooseRandom(paths, 32767, "e"), 0); // ... wrapping at the end
    EXPECT_EQ(ChooseRandom(paths, 16383, "C"), 2); // exact, case-sensitive comparison

    std::string only = "only";
    EXPECT_EQ(ChooseRandom({&only}, 12345, "only"), 0); // one picture: chosen again
}

TEST(PictureChoice, RandomDoesNotOverflowForLargeLists)
{
    std::string name = "x";
    std::vector<const std::string*> paths(200000, &name);
    EXPECT_EQ(ChooseRandom(paths, 32767, ""), 199999);
    EXPECT_EQ(ChooseRandom(paths, 32766, ""), static_cast<int>(200000LL * 32766 / 32767));
}

TEST(RandomOffset, StaysDefinedForEmptyAndNegativeRanges)
{
    EXPECT_EQ(RandomOffset(12345, 0), 0);
    EXPECT_EQ(RandomOffset(12345, 100), 45);
    EXPECT_EQ(RandomOffset(12345, -100), 45); // window smaller than the logo
    EXPECT_EQ(RandomOffset(0, -1), 0);
}

namespace {
// Largest size with the picture's proportions inside the box, as the picture object computes it.
std::function<ShowSize(int, int)> FitOf(int w, int h)
{
    return [w, h](int cx, int cy) {
        double rx = double(cx) / w, ry = double(cy) / h;
        if (rx < ry)
            return ShowSize {cx, static_cast<int>(h * static_cast<float>(rx))};
        return ShowSize {static_cast<int>(w * ry), cy};
    };
}
} // namespace

TEST(SlideShowGeometry, CentredPictureInScreenAndPreview)
{
    ShowRect full = CentredPictureRect(800, 600, 1024, 768, 1024, 768, false, nullptr);
    EXPECT_EQ(full.x, 112);
    EXPECT_EQ(full.y, 84);
    EXPECT_EQ(full.cx, 800);
    EXPECT_EQ(full.cy, 600);

    ShowRect preview = CentredPictureRect(800, 600, 152, 112, 1024, 768, false, nullptr);
    EXPECT_EQ(preview.cx, 118);
    EXPECT_EQ(preview.cy, 87);
    EXPECT_EQ(preview.x, 17);
    EXPECT_EQ(preview.y, 12);

    // Larger than the window: centred and clipped (negative position).
    ShowRect big = CentredPictureRect(2000, 1000, 1024, 768, 1024, 768, false, nullptr);
    EXPECT_EQ(big.x, (1024 - 2000) / 2);
    EXPECT_EQ(big.y, (768 - 1000) / 2);
}

TEST(SlideShowGeometry, FittingFillsTheWindowKeepingProportionsWhenAsked)
{
    ShowRect kept = CentredPictureRect(400, 400, 1024, 768, 1024, 768, true, FitOf(400, 400));
    EXPECT_EQ(kept.cx, 768);
    EXPECT_EQ(kept.cy, 768);
    EXPECT_EQ(kept.x, 128);
    EXPECT_EQ(kept.y, 0);

    ShowRect stretched = CentredPictureRect(400, 400, 1024, 768, 1024, 768, true, nullptr);
    EXPECT_EQ(stretched.cx, 1024);
    EXPECT_EQ(stretched.cy, 768);
    EXPECT_EQ(stretched.x, 0);
}

TEST(WallpaperInterval, StaysRightWhenTheStoredTimeWrapsIn2038)
{
    // A change at 00:01:40 UTC on 19 January 2038 is stored as a negative 32-bit time.
    const int64_t change = (int64_t(1) << 31) + 100;
    const int32_t stored = StoredTime(change);
    EXPECT_LT(stored, 0);
    EXPECT_FALSE(WallpaperIntervalPassed(change + 60, stored, 10));
    EXPECT_FALSE(WallpaperIntervalPassed(change + 599, stored, 10));
    EXPECT_TRUE(WallpaperIntervalPassed(change + 600, stored, 10));
    // Just before the wrap, just after it.
    const int32_t before = StoredTime((int64_t(1) << 31) - 120);
    EXPECT_FALSE(WallpaperIntervalPassed((int64_t(1) << 31) + 240, before, 10));
    EXPECT_TRUE(WallpaperIntervalPassed((int64_t(1) << 31) + 480, before, 10));
    // A clock set back across the wrap still waits.
    EXPECT_FALSE(WallpaperIntervalPassed(change - 3600, stored, 10));
    // Later wraps too (2106 and beyond: the unsigned time wraps as well).
    const int64_t far = (int64_t(1) << 32) + 5000;
    EXPECT_FALSE(WallpaperIntervalPassed(far + 60, StoredTime(far), 10));
    EXPECT_TRUE(WallpaperIntervalPassed(far + 600, StoredTime(far), 10));
}

TEST(SlideShowPeriod, StaysBetweenOneSecondAndOneHour)
{
    EXPECT_EQ(SlideShowPeriodMs(5), 5000u);
    EXPECT_EQ(SlideShowPeriodMs(60), 60000u);
    EXPECT_EQ(SlideShowPeriodMs(0), 1000u);
    EXPECT_EQ(SlideShowPeriodMs(-7), 1000u);
    EXPECT_EQ(SlideShowPeriodMs(INT32_MIN), 1000u);
    EXPECT_EQ(SlideShowPeriodMs(3600), 3600000u);
    EXPECT_EQ(SlideShowPeriodMs(3601), 3600000u);
    EXPECT_EQ(SlideShowPeriodMs(INT32_MAX), 3600000u); // not a timer of weeks (nor an overflow)
}
