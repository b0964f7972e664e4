#include "platform/WallpaperCanvas.h"

#include <algorithm>
#include <cstring>

#include "framework/File.h"

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

bool Matches(const ICanvasRows& canvas, const ScreenRect& desktop)
{
    return canvas.Width() == desktop.Width() && canvas.Height() == desktop.Height() && canvas.Width() > 0
        && canvas.Height() > 0;
}

// Puts `count` pixels on screen row y from screen column x on, split where the canvas wraps.
void PutScreenRow(ICanvasRows& canvas, int y, int x, const uint8_t* bgr, int count)
{
    const int row = canvas.Height() - 1 - CanvasCoordinate(y, canvas.Height());
    int done = 0;
    while (done < count) {
        const int cx = CanvasCoordinate(x + done, canvas.Width());
        const int n = std::min(count - done, canvas.Width() - cx);
        canvas.Put(row, cx, bgr + 3 * done, n);
        done += n;
    }
}
} // namespace

void CMemoryCanvas::Put(int row, int x, const uint8_t* bgr, int count)
{
    memcpy(m_pixels.Row(row) + 3 * x, bgr, size_t(count) * 3);
}

struct CBitmapFileCanvas::File {
    CFile file;
};

CBitmapFileCanvas::CBitmapFileCanvas() : m_file(new File) {}

// The file is left as it is unless Close finished it: a canvas given up is no wallpaper.
CBitmapFileCanvas::~CBitmapFileCanvas()
{
    m_file->file.Abort();
}

namespace {
void PutLittle32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
constexpr int kHeaderBytes = 54;
} // namespace

bool CBitmapFileCanvas::Create(const char* path, int width, int height, uint32_t color)
{
    const int64_t bytes = PictureBytes(width, height);
    if (bytes == 0 || bytes > UINT32_MAX - kHeaderBytes || !m_file->file.Open(path, CFile::modeCreate))
        return false;
    m_width = width;
    m_height = height;
    uint8_t header[kHeaderBytes] = {'B', 'M'};
    PutLittle32(header + 2, uint32_t(kHeaderBytes + bytes)); // the size of the file
    PutLittle32(header + 10, kHeaderBytes);                   // offset of the rows
    PutLittle32(header + 14, 40);
    PutLittle32(header + 18, uint32_t(width));
    PutLittle32(header + 22, uint32_t(height));
    header[26] = 1;  // planes
    header[28] = 24; // bits per pixel; no compression, resolution or colours
    PutLittle32(header + 34, uint32_t(bytes));
    std::vector<uint8_t> row;
    if (!TryAssign(row, size_t(StrideFor(width))))
        return false;
    const uint8_t bgr[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
    for (int x = 0; x < width; ++x)
        memcpy(&row[3 * size_t(x)], bgr, 3);
    try {
        m_file->file.Write(header, sizeof header);
        for (int y = 0; y < height; ++y)
            m_file->file.Write(row.data(), row.size());
    } catch (const CFileException&) {
        m_failed = true;
        return false;
    }
    return true;
}

void CBitmapFileCanvas::Put(int row, int x, const uint8_t* bgr, int count)
{
    if (m_failed)
        return;
    const int64_t at = kHeaderBytes + int64_t(row) * StrideFor(m_width) + 3 * int64_t(x);
    try {
        if (!m_file->file.Seek(at))
            m_failed = true;
        else
            m_file->file.Write(bgr, size_t(count) * 3);
    } catch (const CFileException&) {
        m_failed = true;
    }
}

bool CBitmapFileCanvas::Close()
{
    if (m_failed) {
        m_file->file.Abort();
        return false;
    }
    try {
        m_file->file.Close();
        return true;
    } catch (const CFileException&) {
        m_file->file.Abort();
        return false;
    }
}

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

void PlaceOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, int x, int y,
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
        const uint8_t* src = picture.Row(picture.height - 1 - int32_t(sy - y)) + 3 * (l - x);
        PutScreenRow(canvas, int(sy), int(l), src, int(r - l));
    }
}

void CentreOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, const ScreenRect& area)
{
    const int x = area.left + (area.Width() - picture.width) / 2;
    const int y = area.top + (area.Height() - picture.height) / 2;
    PlaceOnCanvas(canvas, desktop, picture, x, y, area);
}

void TileOnCanvas(ICanvasRows& canvas, const ScreenRect& desktop, const PixelImage& picture, const ScreenRect& area)
{
    if (!Matches(canvas, desktop) || !picture.bits || picture.width <= 0 || picture.height <= 0)
        return;
    const ScreenRect r = Intersect(area, desktop);
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    // Each picture row repeated across the area once, then put on every screen row it shows on:
    // a tiny picture costs a copy per row, not per tile.
    std::vector<uint8_t> line;
    if (!TryAssign(line, size_t(r.Width()) * 3))
        return;
    for (int ty = 0; ty < std::min(picture.height, r.Height()); ++ty) {
        const uint8_t* src = picture.Row(picture.height - 1 - ty);
        for (int done = 0; done < r.Width();) {
            const int px = done % picture.width;
            const int n = std::min(picture.width - px, r.Width() - done);
            memcpy(&line[3 * size_t(done)], src + 3 * px, size_t(n) * 3);
            done += n;
        }
        for (int sy = r.top + ty; sy < r.bottom; sy += picture.height)
            PutScreenRow(canvas, sy, r.left, line.data(), r.Width());
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
