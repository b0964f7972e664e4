#include "platform/WallpaperCanvas.h"

#include <algorithm>
#include <cstring>

namespace platform {

WallpaperCanvas PlanWallpaperCanvas(const std::vector<MonitorInfo>& monitors)
{
    std::vector<MonitorInfo> usable;
    for (const MonitorInfo& m : monitors) {
        if (m.rect.Width() <= 0 || m.rect.Height() <= 0)
            continue;
        // A mirrored display reports the same rectangle again: one picture for both.
        auto same = std::find_if(usable.begin(), usable.end(),
                                 [&m](const MonitorInfo& u) { return u.rect == m.rect; });
        if (same != usable.end())
            same->primary = same->primary || m.primary;
        else
            usable.push_back(m);
    }
    WallpaperCanvas canvas;
    if (usable.size() < 2)
        return canvas;
    // The desktop tiles from the screen's origin: the primary monitor's corner. A list whose
    // primary is elsewhere (or missing) takes the monitor whose corner is the origin.
    auto atOrigin = [](const MonitorInfo& m) { return m.rect.left == 0 && m.rect.top == 0; };
    auto primary = std::find_if(usable.begin(), usable.end(),
                                [&](const MonitorInfo& m) { return m.primary && atOrigin(m); });
    if (primary == usable.end())
        primary = std::find_if(usable.begin(), usable.end(), atOrigin);
    if (primary == usable.end())
        return canvas;
    std::rotate(usable.begin(), primary, primary + 1);
    std::stable_sort(usable.begin() + 1, usable.end(), [](const MonitorInfo& a, const MonitorInfo& b) {
        return a.rect.left != b.rect.left ? a.rect.left < b.rect.left : a.rect.top < b.rect.top;
    });

    // The bounding rectangle, in 64 bits: rectangles from a broken driver may be far apart.
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    for (const MonitorInfo& m : usable) {
        left = std::min<int64_t>(left, m.rect.left);
        top = std::min<int64_t>(top, m.rect.top);
        right = std::max<int64_t>(right, m.rect.right);
        bottom = std::max<int64_t>(bottom, m.rect.bottom);
    }
    const int64_t width = right - left, height = bottom - top;
    if (width > kMaxCanvasSide || height > kMaxCanvasSide
        || PictureBytes(static_cast<int32_t>(width), static_cast<int32_t>(height)) == 0)
        return canvas;
    canvas.desktop = ScreenRect {int(left), int(top), int(right), int(bottom)};
    for (const MonitorInfo& m : usable)
        canvas.monitors.push_back(m.rect);
    return canvas;
}

namespace {
ScreenRect Intersect(const ScreenRect& a, const ScreenRect& b)
{
    ScreenRect r {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// The canvas row (in buffer order, bottom row first) that shows screen row y.
uint8_t* CanvasRow(const PixelImage& canvas, int y)
{
    return canvas.Row(canvas.height - 1 - CanvasCoordinate(y, canvas.height));
}

// Copies `count` pixels to screen row y from x on, splitting where the canvas wraps.
template <class Copy>
void ForEachPiece(const PixelImage& canvas, int x, int count, Copy copy)
{
    int done = 0;
    while (done < count) {
        const int cx = CanvasCoordinate(x + done, canvas.width);
        const int n = std::min(count - done, canvas.width - cx);
        copy(cx, done, n);
        done += n;
    }
}

bool Matches(const PixelImage& canvas, const ScreenRect& desktop)
{
    return canvas.bits && canvas.width == desktop.Width() && canvas.height == desktop.Height() && canvas.width > 0
        && canvas.height > 0;
}
} // namespace

void FillCanvas(const PixelImage& canvas, uint32_t color)
{
    if (!canvas.bits || canvas.width <= 0 || canvas.height <= 0)
        return;
    const uint8_t bgr[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
    uint8_t* first = canvas.Row(0);
    for (int x = 0; x < canvas.width; ++x)
        memcpy(first + 3 * x, bgr, 3);
    for (int y = 1; y < canvas.height; ++y)
        memcpy(canvas.Row(y), first, size_t(canvas.width) * 3);
}

void FillCanvasRect(const PixelImage& canvas, const ScreenRect& desktop, const ScreenRect& area, uint32_t color)
{
    if (!Matches(canvas, desktop))
        return;
    const ScreenRect r = Intersect(area, desktop);
    const uint8_t bgr[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* row = CanvasRow(canvas, y);
        ForEachPiece(canvas, r.left, r.Width(), [&](int cx, int, int n) {
            for (int i = 0; i < n; ++i)
                memcpy(row + 3 * (cx + i), bgr, 3);
        });
    }
}

void PlaceOnCanvas(const PixelImage& canvas, const ScreenRect& desktop, const PixelImage& picture, int x, int y,
                   const ScreenRect& clip)
{
    if (!Matches(canvas, desktop) || !picture.bits || picture.width <= 0 || picture.height <= 0)
        return;
    // In 64 bits: a picture placed far off must not wrap the arithmetic.
    const int64_t l = std::max<int64_t>({x, clip.left, desktop.left});
    const int64_t t = std::max<int64_t>({y, clip.top, desktop.top});
    const int64_t r = std::min<int64_t>({int64_t(x) + picture.width, clip.right, desktop.right});
    const int64_t b = std::min<int64_t>({int64_t(y) + picture.height, clip.bottom, desktop.bottom});
    if (l >= r || t >= b)
        return;
    for (int64_t sy = t; sy < b; ++sy) {
        uint8_t* dst = CanvasRow(canvas, int(sy));
        const uint8_t* src = picture.Row(picture.height - 1 - int32_t(sy - y)) + 3 * (l - x);
        ForEachPiece(canvas, int(l), int(r - l),
                     [&](int cx, int done, int n) { memcpy(dst + 3 * cx, src + 3 * done, size_t(n) * 3); });
    }
}

void CentreOnCanvas(const PixelImage& canvas, const ScreenRect& desktop, const PixelImage& picture,
                    const ScreenRect& area)
{
    const int x = area.left + (area.Width() - picture.width) / 2;
    const int y = area.top + (area.Height() - picture.height) / 2;
    PlaceOnCanvas(canvas, desktop, picture, x, y, area);
}

void TileOnCanvas(const PixelImage& canvas, const ScreenRect& desktop, const PixelImage& picture,
                  const ScreenRect& area)
{
    if (!Matches(canvas, desktop) || !picture.bits || picture.width <= 0 || picture.height <= 0)
        return;
    const ScreenRect r = Intersect(area, desktop);
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    // The first band of tiles (one picture high) is copied tile by tile, every further row
    // from the band's row above it: a tiny picture costs a copy per row, not per tile.
    const int band = std::min(picture.height, r.Height());
    for (int ty = 0; ty < band; ++ty) {
        const uint8_t* src = picture.Row(picture.height - 1 - ty);
        uint8_t* dst = CanvasRow(canvas, r.top + ty);
        for (int done = 0; done < r.Width();) {
            const int px = done % picture.width;
            const int n = std::min(picture.width - px, r.Width() - done);
            ForEachPiece(canvas, r.left + done, n,
                         [&](int cx, int d, int m) { memcpy(dst + 3 * cx, src + 3 * (px + d), size_t(m) * 3); });
            done += n;
        }
    }
    for (int sy = r.top + band; sy < r.bottom; ++sy) {
        const uint8_t* above = CanvasRow(canvas, sy - picture.height);
        uint8_t* dst = CanvasRow(canvas, sy);
        ForEachPiece(canvas, r.left, r.Width(), [&](int cx, int, int n) {
            // The same columns of the same canvas: both rows wrap alike.
            memcpy(dst + 3 * cx, above + 3 * cx, size_t(n) * 3);
        });
    }
}

std::vector<size_t> AssignPicturesToMonitors(const std::vector<ScreenRect>& monitors,
                                             const std::vector<std::pair<int, int>>& pictureSizes)
{
    std::vector<size_t> assigned(monitors.size(), 0);
    if (pictureSizes.empty())
        return assigned;
    std::vector<bool> given(pictureSizes.size(), false);
    size_t left = pictureSizes.size();
    for (size_t m = 0; m < monitors.size(); ++m) {
        if (left == 0) {
            std::fill(given.begin(), given.end(), false);
            left = given.size();
        }
        const bool portraitMonitor = monitors[m].Height() > monitors[m].Width();
        size_t choice = pictureSizes.size();
        for (size_t p = 0; p < pictureSizes.size() && choice == pictureSizes.size(); ++p) {
            const auto& size = pictureSizes[p];
            const bool known = size.first > 0 && size.second > 0;
            if (!given[p] && known && (size.second > size.first) == portraitMonitor)
                choice = p;
        }
        if (choice == pictureSizes.size())
            for (size_t p = 0; p < pictureSizes.size() && choice == pictureSizes.size(); ++p)
                if (!given[p])
                    choice = p;
        given[choice] = true;
        --left;
        assigned[m] = choice;
    }
    return assigned;
}

} // namespace platform
