// The painting of the slide show: the background colour, then the current picture centred at
// the size the fitting rules give or tiled from the top-left corner, or a hint at a random
// place when there is no picture.
#include "show/ShowWnd.h"

#include "app/Globals.h"
#include "framework/Handles.h"
#include "library/Settings.h"
#include "platform/DrawDib.h"
#include "resource.h"
#include "show/Rotation.h"

#include <algorithm>
#include <functional>

namespace {
// More tiles than this are painted through a pattern brush.
constexpr int64_t kMaxSeparateTiles = 64;
// The pattern brush's side, about: the tile repeated to at least this many pixels.
constexpr int kBrushSide = 256;
} // namespace

void CShowWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (m_bShowMode != 1)
        return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    PaintShow(dc.GetSafeHdc(), client.right - client.left, client.bottom - client.top);
}

void CShowWnd::PaintShow(HDC hdc, int W, int H)
{
    CBrushHandle brush(::CreateSolidBrush(g_settings.m_crBkgndColor));
    {
        CSelectObject selected(hdc, brush.Get());
        ::PatBlt(hdc, 0, 0, W, H, PATCOPY);
    }
    // The picture is the window's own: the preparation works on another one meanwhile.
    if (m_pShown)
        PaintPicture(hdc, W, H, *m_pShown, m_shownRecord, ::GetSystemMetrics(SM_CXSCREEN),
                     ::GetSystemMetrics(SM_CYSCREEN));
    else if (!m_worker.Busy())
        PaintHint(hdc, W, H);
}

void CShowWnd::PaintOtherSlides(HDC windowDc)
{
    for (size_t i = 0; i < m_layout.others.size() && i < m_otherSlides.size(); ++i) {
        const MonitorSlide& slide = m_otherSlides[i];
        if (!slide.picture)
            continue;
        const platform::ScreenRect& r = m_layout.others[i];
        const int saved = ::SaveDC(windowDc);
        ::IntersectClipRect(windowDc, r.left, r.top, r.right, r.bottom);
        ::SetViewportOrgEx(windowDc, r.left, r.top, nullptr);
        // The monitor is the screen its slide was fitted to.
        PaintPicture(windowDc, r.Width(), r.Height(), *slide.picture, slide.record, r.Width(), r.Height());
        ::RestoreDC(windowDc, saved);
    }
}

void CShowWnd::PaintPicture(HDC hdc, int W, int H, const CPictureImage& image, const CWallpaperObject& record,
                            int SW, int SH)
{
    const BITMAPINFOHEADER* header = &image.m_dibSection.dsBmih;
    const void* bits = image.m_dibSection.dsBm.bmBits;
    const int w = header->biWidth;
    const int h = header->biHeight;
    platform::RealizeDrawDib(m_hDrawSingle, hdc);

    if (record.m_strTile == "0") {
        std::function<ShowSize(int, int)> fit;
        if (record.m_bMaintainAspect)
            fit = [&image](int cx, int cy) {
                SIZE s = image.FitAspect(cx, cy);
                return ShowSize {s.cx, s.cy};
            };
        ShowRect r = CentredPictureRect(w, h, W, H, SW, SH, g_settings.m_bFitToScreen != 0, fit);
        platform::DrawDibPicture(m_hDrawSingle, hdc, r.x, r.y, r.cx, r.cy, header, bits, 0, 0, w, h, 0);
        return;
    }
    PaintTiles(hdc, W, H, image);
}

// Tiles from the top-left corner at the picture's own size. A few tiles are drawn one by one;
// many small ones (a 1 x 1 picture makes millions on a large screen) fill the area as a
// pattern brush instead, so the cost no longer grows with their number. Both give the same
// pixels. (The Windows 95 family uses only 8 x 8 pixels of a pattern: tiles one by one there.)
void CShowWnd::PaintTiles(HDC hdc, int W, int H, const CPictureImage& image)
{
    const BITMAPINFOHEADER* header = &image.m_dibSection.dsBmih;
    const void* bits = image.m_dibSection.dsBm.bmBits;
    const int w = header->biWidth;
    const int h = header->biHeight;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return;
    const int64_t tiles = ((int64_t(W) + w - 1) / w) * ((int64_t(H) + h - 1) / h);
    if (tiles > kMaxSeparateTiles && !g_bWin95Family && PaintTilesWithBrush(hdc, W, H, image))
        return;
    platform::BeginDrawDib(m_hDrawTile, hdc, header, w, h);
    for (int x = 0; x < W; x += w)
        for (int y = 0; y < H; y += h)
            platform::DrawDibPicture(m_hDrawTile, hdc, x, y, -1, -1, header, bits, 0, 0, w, h,
                                     DDF_SAME_HDC | DDF_SAME_DRAW);
    platform::EndDrawDib(m_hDrawTile);
}

// The picture drawn once into a memory bitmap, repeated there by doubling blits until it is
// a few hundred pixels wide and high (long runs fill faster than a tiny pattern), then used as
// the brush. False when GDI memory is short.
bool CShowWnd::PaintTilesWithBrush(HDC hdc, int W, int H, const CPictureImage& image)
{
    const BITMAPINFOHEADER* header = &image.m_dibSection.dsBmih;
    const int w = header->biWidth;
    const int h = header->biHeight;
    const int bw = w * std::max(1, (std::min(W, kBrushSide) + w - 1) / w);
    const int bh = h * std::max(1, (std::min(H, kBrushSide) + h - 1) / h);
    CMemoryDC memory(hdc);
    CBitmapHandle pattern(::CreateCompatibleBitmap(hdc, bw, bh));
    if (!memory.GetSafeHdc() || !pattern)
        return false;
    {
        CSelectObject selected(memory.GetSafeHdc(), pattern.Get());
        platform::DrawDibPicture(m_hDrawTile, memory.GetSafeHdc(), 0, 0, -1, -1, header,
                                 image.m_dibSection.dsBm.bmBits, 0, 0, w, h, 0);
        for (int done = w; done < bw; done *= 2)
            ::BitBlt(memory.GetSafeHdc(), done, 0, std::min(done, bw - done), h, memory.GetSafeHdc(), 0, 0, SRCCOPY);
        for (int done = h; done < bh; done *= 2)
            ::BitBlt(memory.GetSafeHdc(), 0, done, bw, std::min(done, bh - done), memory.GetSafeHdc(), 0, 0, SRCCOPY);
    }
    CBrushHandle brush(::CreatePatternBrush(pattern.Get()));
    if (!brush)
        return false;
    // The pattern starts at the area's corner (the monitor's, where the origin was moved).
    POINT corner {0, 0}, previous;
    ::GetViewportOrgEx(hdc, &corner);
    ::SetBrushOrgEx(hdc, corner.x, corner.y, &previous);
    {
        CSelectObject selected(hdc, brush.Get());
        ::PatBlt(hdc, 0, 0, W, H, PATCOPY);
    }
    ::SetBrushOrgEx(hdc, previous.x, previous.y, nullptr);
    return true;
}

void CShowWnd::PaintHint(HDC hdc, int W, int H)
{
    if (m_bPreview || g_settings.m_strInstallDir.empty()) {
        CBitmapHandle logo(static_cast<HBITMAP>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_HINT_LOGO), IMAGE_BITMAP, 0, 0, 0)));
        BITMAP bm {};
        if (!logo || !::GetObjectW(logo.Get(), sizeof bm, &bm))
            return;
        const int x = RandomOffset(g_showRandom.Next(), W - bm.bmWidth);
        const int y = RandomOffset(g_showRandom.Next(), H - bm.bmHeight);
        CMemoryDC memory(hdc);
        CSelectObject selected(memory.GetSafeHdc(), logo.Get());
        ::BitBlt(hdc, x, y, bm.bmWidth, bm.bmHeight, memory.GetSafeHdc(), 0, 0, SRCCOPY);
        return;
    }
    wchar_t text[256] = L"";
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_SELECT_PICTURES, text, 256);
    SIZE extent {};
    ::GetTextExtentPoint32W(hdc, text, length, &extent);
    const int x = RandomOffset(g_showRandom.Next(), W - extent.cx);
    const int y = RandomOffset(g_showRandom.Next(), H - extent.cy);
    ::SetBkColor(hdc, RGB(0, 0, 0));
    ::SetTextColor(hdc, RGB(255, 0, 0));
    ::TextOutW(hdc, x, y, text, length);
}
