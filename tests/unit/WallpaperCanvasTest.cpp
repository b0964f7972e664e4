// The wallpaper of several monitors, from given monitor lists: which monitors get pictures, the
// canvas's size, and the composed canvas compared pixel for pixel with what each monitor must
// show once the desktop tiles the canvas from the primary monitor's corner.
#include "image/Pixels.h"
#include "platform/WallpaperCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>

using namespace platform;

namespace {

// The rows of a canvas in memory, as the composing functions take them.
CMemoryCanvas& Rows(const CMemoryPicture& canvas)
{
    static std::unique_ptr<CMemoryCanvas> rows;
    rows.reset(new CMemoryCanvas(canvas.Pixels()));
    return *rows;
}

// A picture whose every pixel tells where it came from: blue = x, green = y, red = id.
void Stamp(CMemoryPicture& picture, int w, int h, uint8_t id)
{
    ASSERT_TRUE(picture.CreatePixels(w, h));
    const PixelImage p = picture.Pixels();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.Row(h - 1 - y); // y counts from the top
        for (int x = 0; x < w; ++x) {
            row[3 * x] = uint8_t(x);
            row[3 * x + 1] = uint8_t(y);
            row[3 * x + 2] = id;
        }
    }
}

struct Rgb {
    uint8_t b, g, r;
    bool operator==(const Rgb& o) const { return b == o.b && g == o.g && r == o.r; }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c)
{
    return out << "(b " << int(c.b) << ", g " << int(c.g) << ", r " << int(c.r) << ")";
}

// What the desktop shows at screen point (x, y) when it tiles the canvas from (0, 0).
Rgb Shown(const PixelImage& canvas, int x, int y)
{
    const int cx = CanvasCoordinate(x, canvas.width), cy = CanvasCoordinate(y, canvas.height);
    const uint8_t* p = canvas.Row(canvas.height - 1 - cy) + 3 * cx;
    return {p[0], p[1], p[2]};
}

constexpr uint32_t kGrey = 0x00404040;
constexpr Rgb kGreyPixel {0x40, 0x40, 0x40};

// Every screen point of the desktop against an expectation.
void ExpectDesktop(const PixelImage& canvas, const ScreenRect& desktop, const std::function<Rgb(int, int)>& expected)
{
    int wrong = 0;
    for (int y = desktop.top; y < desktop.bottom; ++y)
        for (int x = desktop.left; x < desktop.right; ++x)
            if (!(Shown(canvas, x, y) == expected(x, y)) && ++wrong <= 5)
                ADD_FAILURE() << "at (" << x << ", " << y << "): " << Shown(canvas, x, y) << ", expected "
                              << expected(x, y);
    EXPECT_EQ(wrong, 0);
}

bool Inside(const ScreenRect& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Composes pictures centred on their monitors over grey, as the wallpaper does, and checks
// every point: a monitor shows its own picture centred, everything else is grey.
void ComposeAndCheckCentred(const std::vector<MonitorInfo>& monitors, const std::vector<std::pair<int, int>>& sizes)
{
    const WallpaperCanvas plan = PlanWallpaperCanvas(monitors);
    ASSERT_TRUE(plan.Usable());
    ASSERT_EQ(plan.monitors.size(), sizes.size());
    CMemoryPicture canvas;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    std::vector<CMemoryPicture> pictures(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        Stamp(pictures[i], sizes[i].first, sizes[i].second, uint8_t(i + 1));
        CentreOnCanvas(Rows(canvas), plan.desktop, pictures[i].Pixels(), plan.monitors[i]);
    }
    ExpectDesktop(canvas.Pixels(), plan.desktop, [&](int x, int y) {
        for (size_t i = 0; i < plan.monitors.size(); ++i) {
            const ScreenRect& m = plan.monitors[i];
            if (!Inside(m, x, y))
                continue;
            const int left = m.left + (m.Width() - sizes[i].first) / 2;
            const int top = m.top + (m.Height() - sizes[i].second) / 2;
            if (x < left || x >= left + sizes[i].first || y < top || y >= top + sizes[i].second)
                return kGreyPixel;
            return Rgb {uint8_t(x - left), uint8_t(y - top), uint8_t(i + 1)};
        }
        return kGreyPixel;
    });
}

} // namespace

TEST(WallpaperCanvas, OneMonitorOrNothingUsableKeepsTheSinglePicture)
{
    EXPECT_FALSE(PlanWallpaperCanvas({}).Usable());
    EXPECT_FALSE(PlanWallpaperCanvas({{{0, 0, 1920, 1080}, true}}).Usable());
    // A mirrored display, monitors without area and a 0 x 0 one leave one monitor.
    EXPECT_FALSE(PlanWallpaperCanvas({{{0, 0, 1920, 1080}, true}, {{0, 0, 1920, 1080}, false},
                                      {{1920, 0, 1920, 1080}, false}, {{0, 0, 0, 0}, false},
                                      {{50, 50, 40, 60}, false}})
                     .Usable());
    // Nothing at the origin: the desktop has nowhere to tile from.
    EXPECT_FALSE(PlanWallpaperCanvas({{{10, 0, 100, 100}, true}, {{100, 0, 200, 100}, false}}).Usable());
    // Wider or higher than any bitmap the desktop takes.
    EXPECT_FALSE(PlanWallpaperCanvas({{{0, 0, 8192, 100}, true}, {{8192, 0, 16385, 100}, false}}).Usable());
    EXPECT_FALSE(PlanWallpaperCanvas({{{0, 0, 100, 100}, true}, {{0, -16300, 100, 100}, false}}).Usable());
    // Rectangles from a broken driver, far apart, do not overflow.
    EXPECT_FALSE(PlanWallpaperCanvas({{{0, 0, 100, 100}, true}, {{2147483000, 0, 2147483600, 100}, false}}).Usable());
    // 16384 across is still taken.
    EXPECT_TRUE(PlanWallpaperCanvas({{{0, 0, 8192, 100}, true}, {{8192, 0, 16384, 100}, false}}).Usable());
}

TEST(WallpaperCanvas, PrimaryFirstThenLeftToRightAndTheDesktopIsTheUnion)
{
    const WallpaperCanvas plan = PlanWallpaperCanvas({{{1920, 0, 3200, 1024}, false},
                                                      {{-1024, 100, 0, 868}, false},
                                                      {{0, 0, 1920, 1080}, true},
                                                      {{0, -900, 1600, 0}, false}});
    ASSERT_TRUE(plan.Usable());
    EXPECT_EQ(plan.desktop, (ScreenRect {-1024, -900, 3200, 1080}));
    const std::vector<ScreenRect> order {{0, 0, 1920, 1080}, {-1024, 100, 0, 868}, {0, -900, 1600, 0},
                                         {1920, 0, 3200, 1024}};
    EXPECT_EQ(plan.monitors, order);
    // A list without the primary flag takes the monitor at the origin.
    const WallpaperCanvas unflagged = PlanWallpaperCanvas({{{1280, 0, 2304, 768}, false}, {{0, 0, 1280, 1024}, false}});
    ASSERT_TRUE(unflagged.Usable());
    EXPECT_EQ(unflagged.monitors.front(), (ScreenRect {0, 0, 1280, 1024}));
}

// Two side by side of different heights: the second's picture at its own place, the gap below it grey.
TEST(WallpaperCanvas, TwoSideBySideOfDifferentHeights)
{
    ComposeAndCheckCentred({{{0, 0, 40, 32}, true}, {{40, 4, 72, 28}, false}}, {{40, 32}, {20, 24}});
}

// A monitor left of the primary has negative coordinates: its picture lands at the canvas's
// right end and the desktop's tiling brings it back to its place.
TEST(WallpaperCanvas, MonitorsLeftOfAndAboveThePrimaryWrapAround)
{
    ComposeAndCheckCentred({{{0, 0, 40, 32}, true}, {{-32, 4, 0, 28}, false}}, {{40, 32}, {32, 24}});
    ComposeAndCheckCentred({{{0, 0, 40, 32}, true}, {{-10, -20, 30, 0}, false}}, {{36, 30}, {40, 20}});
    // Left and above at once, and a picture larger than its monitor is cut to it.
    ComposeAndCheckCentred({{{0, 0, 40, 32}, true}, {{-30, -24, 0, 0}, false}, {{40, -8, 64, 40}, false}},
                           {{50, 40}, {30, 24}, {24, 48}});
}

TEST(WallpaperCanvas, PortraitMonitorAndOverlappingMonitorsStayWhole)
{
    // One monitor turned to portrait beside the primary.
    ComposeAndCheckCentred({{{0, 0, 48, 27}, true}, {{48, 0, 75, 48}, false}}, {{48, 27}, {27, 40}});
    // A monitor of a single pixel shows the middle of its picture.
    ComposeAndCheckCentred({{{0, 0, 40, 32}, true}, {{40, 0, 41, 1}, false}}, {{40, 32}, {5, 5}});

    // Monitors that overlap: each is painted in turn (primary first), nothing outside them.
    const WallpaperCanvas plan = PlanWallpaperCanvas({{{0, 0, 40, 30}, true}, {{30, 10, 70, 40}, false}});
    ASSERT_TRUE(plan.Usable());
    CMemoryPicture canvas, a, b;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    Stamp(a, 40, 30, 1);
    Stamp(b, 40, 30, 2);
    CentreOnCanvas(Rows(canvas), plan.desktop, a.Pixels(), plan.monitors[0]);
    CentreOnCanvas(Rows(canvas), plan.desktop, b.Pixels(), plan.monitors[1]);
    ExpectDesktop(canvas.Pixels(), plan.desktop, [&](int x, int y) {
        if (Inside(plan.monitors[1], x, y))
            return Rgb {uint8_t(x - 30), uint8_t(y - 10), 2};
        if (Inside(plan.monitors[0], x, y))
            return Rgb {uint8_t(x), uint8_t(y), 1};
        return kGreyPixel;
    });
}

TEST(WallpaperCanvas, TilesStartAtEachMonitorsCornerAndAcrossTheWrap)
{
    // The second monitor lies left of the primary and straddles nothing; the third, above,
    // straddles the canvas's wrap line (x = 0).
    const WallpaperCanvas plan = PlanWallpaperCanvas(
        {{{0, 0, 40, 30}, true}, {{-25, 5, 0, 25}, false}, {{-15, -12, 20, 0}, false}});
    ASSERT_TRUE(plan.Usable());
    CMemoryPicture canvas, tile;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    Stamp(tile, 7, 5, 9);
    for (const ScreenRect& m : plan.monitors)
        TileOnCanvas(Rows(canvas), plan.desktop, tile.Pixels(), m);
    ExpectDesktop(canvas.Pixels(), plan.desktop, [&](int x, int y) {
        for (const ScreenRect& m : plan.monitors)
            if (Inside(m, x, y))
                return Rgb {uint8_t((x - m.left) % 7), uint8_t((y - m.top) % 5), 9};
        return kGreyPixel;
    });
    // A 1 x 1 picture tiles a whole monitor.
    CMemoryPicture dot;
    Stamp(dot, 1, 1, 5);
    TileOnCanvas(Rows(canvas), plan.desktop, dot.Pixels(), plan.monitors[0]);
    EXPECT_EQ(Shown(canvas.Pixels(), 39, 29), (Rgb {0, 0, 5}));
    EXPECT_EQ(Shown(canvas.Pixels(), 0, 0), (Rgb {0, 0, 5}));
}

TEST(WallpaperCanvas, OnePictureAcrossTheWholeDesktop)
{
    const WallpaperCanvas plan = PlanWallpaperCanvas({{{0, 0, 40, 30}, true}, {{-20, 10, 0, 30}, false}});
    ASSERT_TRUE(plan.Usable());
    CMemoryPicture canvas, wide;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    Stamp(wide, 60, 30, 3);
    CentreOnCanvas(Rows(canvas), plan.desktop, wide.Pixels(), plan.desktop);
    ExpectDesktop(canvas.Pixels(), plan.desktop,
                  [&](int x, int y) { return Rgb {uint8_t(x + 20), uint8_t(y), 3}; });
}

// Three 4K monitors side by side (the primary in the middle): the canvas and every monitor's
// corners, without comparing 25 million pixels one by one.
TEST(WallpaperCanvas, ThreeMonitorsOf4K)
{
    const WallpaperCanvas plan = PlanWallpaperCanvas(
        {{{0, 0, 3840, 2160}, true}, {{-3840, 0, 0, 2160}, false}, {{3840, 0, 7680, 2160}, false}});
    ASSERT_TRUE(plan.Usable());
    EXPECT_EQ(plan.Width(), 11520);
    EXPECT_EQ(plan.Height(), 2160);
    CMemoryPicture canvas;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    for (size_t i = 0; i < plan.monitors.size(); ++i) {
        CMemoryPicture picture;
        Stamp(picture, 3840, 2160, uint8_t(i + 1));
        CentreOnCanvas(Rows(canvas), plan.desktop, picture.Pixels(), plan.monitors[i]);
    }
    for (size_t i = 0; i < plan.monitors.size(); ++i) {
        const ScreenRect& m = plan.monitors[i];
        for (auto [x, y] : {std::pair<int, int> {m.left, m.top}, {m.right - 1, m.bottom - 1}, {m.left + 300, m.top + 7}})
            EXPECT_EQ(Shown(canvas.Pixels(), x, y), (Rgb {uint8_t(x - m.left), uint8_t(y - m.top), uint8_t(i + 1)}))
                << "monitor " << i << " at (" << x << ", " << y << ")";
    }
}

TEST(WallpaperCanvas, PicturesGoToMonitorsOfTheirShape)
{
    const std::vector<ScreenRect> landscapeThenPortrait {{0, 0, 1920, 1080}, {1920, 0, 3000, 1920}};
    // The portrait picture chosen first still goes to the portrait monitor.
    EXPECT_EQ(AssignPicturesToMonitors(landscapeThenPortrait, {{800, 1200}, {1600, 900}}),
              (std::vector<size_t> {1, 0}));
    EXPECT_EQ(AssignPicturesToMonitors(landscapeThenPortrait, {{1600, 900}, {800, 1200}}),
              (std::vector<size_t> {0, 1}));
    // No picture of the monitor's shape: the rotation's order.
    EXPECT_EQ(AssignPicturesToMonitors(landscapeThenPortrait, {{1600, 900}, {1700, 900}}),
              (std::vector<size_t> {0, 1}));
    // Sizes not known go anywhere; square counts as landscape.
    EXPECT_EQ(AssignPicturesToMonitors(landscapeThenPortrait, {{0, 0}, {500, 500}}), (std::vector<size_t> {1, 0}));
    // Fewer pictures than monitors: used again.
    EXPECT_EQ(AssignPicturesToMonitors({{0, 0, 10, 10}, {10, 0, 20, 10}, {20, 0, 30, 10}}, {{4, 3}, {3, 4}}),
              (std::vector<size_t> {0, 1, 0}));
    EXPECT_EQ(AssignPicturesToMonitors(landscapeThenPortrait, {}), (std::vector<size_t> {0, 0}));
}

// The bitmap file canvas gets exactly the bytes the program writes for the same canvas in
// memory, wrap-around and tiles included; a file that cannot be made says so.
TEST(WallpaperCanvas, TheFileCanvasHoldsTheSameBytesAsTheCanvasInMemory)
{
    const WallpaperCanvas plan = PlanWallpaperCanvas(
        {{{0, 0, 41, 30}, true}, {{-25, 5, 0, 25}, false}, {{-15, -12, 20, 0}, false}});
    ASSERT_TRUE(plan.Usable());
    CMemoryPicture canvas, a, b, tile;
    ASSERT_TRUE(canvas.CreatePixels(plan.Width(), plan.Height()));
    FillCanvas(canvas.Pixels(), kGrey);
    Stamp(a, 50, 20, 1);
    Stamp(b, 20, 30, 2);
    Stamp(tile, 7, 5, 3);
    const std::string path = ::testing::TempDir() + "canvas-test.bmp";
    CBitmapFileCanvas file;
    ASSERT_TRUE(file.Create(path.c_str(), plan.Width(), plan.Height(), kGrey));
    for (ICanvasRows* rows : {static_cast<ICanvasRows*>(&Rows(canvas)), static_cast<ICanvasRows*>(&file)}) {
        CentreOnCanvas(*rows, plan.desktop, a.Pixels(), plan.monitors[0]);
        CentreOnCanvas(*rows, plan.desktop, b.Pixels(), plan.monitors[1]);
        TileOnCanvas(*rows, plan.desktop, tile.Pixels(), plan.monitors[2]);
    }
    ASSERT_TRUE(file.Close());
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const PixelImage p = canvas.Pixels();
    ASSERT_EQ(bytes.size(), 54 + size_t(p.stride) * p.height);
    EXPECT_EQ(bytes.compare(0, 2, "BM"), 0);
    EXPECT_EQ(bytes.compare(54, std::string::npos, reinterpret_cast<const char*>(p.bits), size_t(p.stride) * p.height), 0);
    std::remove(path.c_str());

    CBitmapFileCanvas nowhere;
    EXPECT_FALSE(nowhere.Create((::testing::TempDir() + "no-such-folder/x.bmp").c_str(), 10, 10, kGrey));
    CBitmapFileCanvas huge;
    EXPECT_FALSE(huge.Create(path.c_str(), 40000, 40000, kGrey));
}
