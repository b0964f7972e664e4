// A wallpaper for a desktop of several monitors: one bitmap the size of the desktop (the
// virtual screen), each monitor's area holding its own picture. The desktop is told to tile it
// from the primary monitor's top-left corner, which is (0, 0) of the screen coordinates, so
// screen point (x, y) shows the canvas pixel (x mod width, y mod height): a monitor left of or
// above the primary lands at the right or bottom end of the canvas. That works on every
// Windows from 7 on, and under Wine, without a per-monitor wallpaper interface.
//
// Plain values and pixel code, no <windows.h> (tested natively with given monitor lists).
#pragma once
#include "image/Pixels.h"
#include "platform/ScreenLayout.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// A monitor as the system reports it: its rectangle in screen coordinates.
struct MonitorInfo {
    ScreenRect rect;
    bool primary = false;
    bool operator==(const MonitorInfo& o) const { return rect == o.rect && primary == o.primary; }
    bool operator!=(const MonitorInfo& o) const { return !(*this == o); }
};

// The widest and highest canvas made: the largest bitmap side the desktop and GDI take
// everywhere. A larger desktop gets one picture, as with a single monitor.
constexpr int kMaxCanvasSide = 16384;

struct WallpaperCanvas {
    // The canvas is the desktop's bounding rectangle, in screen coordinates. Empty (0 x 0)
    // when the desktop gets one picture as with a single monitor (see PlanWallpaperCanvas).
    ScreenRect desktop;
    // The monitors that get pictures, in screen coordinates: the primary first, then the rest
    // from left to right (top to bottom where they start at the same column). Monitors without
    // area and copies of another (mirrored displays) are left out.
    std::vector<ScreenRect> monitors;

    bool Usable() const { return desktop.Width() > 0 && desktop.Height() > 0; }
    int Width() const { return desktop.Width(); }
    int Height() const { return desktop.Height(); }
};

// The canvas for these monitors. Unusable (the single-picture behaviour) when fewer than two
// monitors have area, when no monitor has its top-left corner at the origin (the desktop
// tiles from there), or when the desktop is more than kMaxCanvasSide across or high, or its
// bitmap would pass kMaxPictureBytes. Monitors that overlap, leave gaps between them, or lie
// at negative coordinates are all taken as they are.
WallpaperCanvas PlanWallpaperCanvas(const std::vector<MonitorInfo>& monitors);

// Where a screen coordinate lands on a canvas side of `side` pixels tiled from 0.
inline int CanvasCoordinate(int screen, int side)
{
    const int m = screen % side;
    return m < 0 ? m + side : m;
}

// Where composed rows go: pixels in memory, or straight into the bitmap file (so the
// desktop-sized bitmap never has to be held in memory). Rows are numbered as a bottom-up bitmap
// stores them (row 0 is the bottom row).
class ICanvasRows {
public:
    virtual ~ICanvasRows() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Puts count pixels (blue, green, red) at column x of row `row`; they lie inside the row.
    virtual void Put(int row, int x, const uint8_t* bgr, int count) = 0;
};

// A canvas in memory (a picture of the desktop's size).
class CMemoryCanvas : public ICanvasRows {
public:
    explicit CMemoryCanvas(const PixelImage& pixels) : m_pixels(pixels) {}
    int Width() const override { return m_pixels.width; }
    int Height() const override { return m_pixels.height; }
    void Put(int row, int x, const uint8_t* bgr, int count) override;

private:
    PixelImage m_pixels;
};

// A canvas that is a 24-bit bitmap file, written as the rows come: Create writes the headers
// and every row in one colour, Put writes in place, Close finishes the file. Any failure makes
// the file unusable (Close then returns false).
class CBitmapFileCanvas : public ICanvasRows {
public:
    CBitmapFileCanvas();
    ~CBitmapFileCanvas() override;
    CBitmapFileCanvas(const CBitmapFileCanvas&) = delete;
    CBitmapFileCanvas& operator=(const CBitmapFileCanvas&) = delete;

    bool Create(const char* path, int width, int height, uint32_t color);
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void Put(int row, int x, const uint8_t* bgr, int count) override;
    bool Close();

private:
    struct File;
    std::unique_ptr<File> m_file;
    int m_width = 0, m_height = 0;
    bool m_failed = false;
};

// Paints the whole canvas in one colour (0x00BBGGRR; row ends stay zero).
void FillCanvas(const PixelImage& canvas, uint32_t color);

// Copies a picture onto the canvas of `desktop` so that its top-left corner lies at screen
// point (x, y), only the part inside `clip` (screen coordinates): the picture larger than its
// monitor is cut to it. Each row is copied in at most two pieces, split where the canvas wraps.
void PlaceOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, int x, int y,
                   const ScreenRect& clip);

// A picture centred in `area` (cut to it when larger), as the desktop centres a wallpaper:
// the left edge at area.left + (area width - picture width) / 2, rounded toward zero.
void CentreOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, const ScreenRect& area);
// A picture tiled over `area` from its top-left corner.
void TileOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, const ScreenRect& area);

// Pictures to monitors, portrait pictures preferably to portrait monitors and landscape ones to
// landscape monitors. pictureSizes are the pictures' upright sizes in the order the rotation
// chose them (0 x 0: not known, goes anywhere); the result gives, for each monitor in order,
// the index of its picture. Each monitor in order takes the first picture not yet given whose
// shape matches its own, else the first not yet given; with fewer pictures than monitors the
// pictures are used again from the first.
std::vector<size_t> AssignPicturesToMonitors(const std::vector<ScreenRect>& monitors,
                                             const std::vector<std::pair<int, int>>& pictureSizes);

} // namespace platform
