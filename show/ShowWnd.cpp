#include "show/ShowWnd.h"

#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "library/Library.h"
#include "platform/Desktop.h"
#include "platform/DrawDib.h"
#include "resource.h"
#include "show/Rotation.h"

#include <shellapi.h>

#include <ctime>
#include <functional>
#include <new>
#include <string>

namespace {
int64_t SystemNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}
} // namespace

int64_t (*CShowWnd::s_pfnNow)() = SystemNow;

CShowWnd::CShowWnd() = default;

CShowWnd::~CShowWnd() = default;

void CShowWnd::PostNcDestroy()
{
    // Show windows live on the heap and go with their window (a failed creation leaves the
    // object to its creator).
    if (m_bCreated)
        delete this;
}

BOOL CShowWnd::CreateAsChild(const RECT& rect, HWND parent)
{
    const char* cls = RegisterWindowClass(CS_HREDRAW | CS_VREDRAW);
    if (!CreateEx(0, cls, "Murlavo", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1))))
        return FALSE;
    m_bShowMode = 1;
    m_bPreview = 1;
    return TRUE;
}

BOOL CShowWnd::CreateHidden()
{
    const char* cls = RegisterWindowClass(CS_HREDRAW | CS_VREDRAW);
    return CreateEx(0, cls, "Murlavo", WS_POPUP | WS_BORDER | WS_SYSMENU, 0, 0, 0, 0, nullptr, nullptr);
}

LRESULT CShowWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        if (DefaultProc(msg, wParam, lParam) == -1)
            return -1;
        return OnCreate();
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_TIMER:
        OnTimer();
        return 0;
    case WM_PICTUREREADY:
        OnPictureReady();
        return 0;
    case WM_DISPLAYCHANGE:
        ChangeNow();
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYNEWPALETTE:
        return OnQueryNewPalette();
    case WM_PALETTECHANGED:
        DefaultProc(msg, wParam, lParam);
        if (reinterpret_cast<HWND>(wParam) != m_hWnd)
            OnQueryNewPalette();
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        break;
    case WM_TRAYNOTIFY:
        return OnTrayNotify(static_cast<UINT>(lParam));
    }
    return DefaultProc(msg, wParam, lParam);
}

int CShowWnd::OnCreate()
{
    if (!g_bShowRole) {
        if (!::SetTimer(m_hWnd, kShowTimerId, 60000, nullptr))
            return -1;
        AddTrayIcon();
    } else {
        m_hDrawSingle = platform::OpenDrawDib();
        m_hDrawTile = platform::OpenDrawDib();
        if (!::SetTimer(m_hWnd, kShowTimerId, static_cast<UINT>(g_settings.m_nSlideShow) * 1000u, nullptr))
            return -1;
    }

    m_pImage.reset(new (std::nothrow) CPictureImage);
    if (!m_pImage)
        return -1;

    m_arrShowList.reserve(10);
    ReadLibrary(m_arrShowList);

    if (g_bShowRole) {
        // The first picture appears at once.
        ::PostMessageA(m_hWnd, WM_TIMER, kShowTimerId, 0);
    } else {
        char temp[MAX_PATH + 1] = "";
        ::GetTempPathA(MAX_PATH, temp);
        g_settings.m_strTempImage = std::string(temp) + "Murlavo Wallpaper.bmp";
    }
    g_showRandom.Seed(static_cast<uint32_t>(s_pfnNow()));
    return 0;
}

void CShowWnd::OnDestroy()
{
    if (m_bBusy && m_thread) {
        // Ask the scaling to stop and wait for the thread; the handle stays ours until the
        // thread is gone, so the wait is safe even when it has already ended.
        g_bAbortImageWork = 1;
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
        m_bBusy = false;
        // The thread is gone; a later show window of this process starts with a clear flag.
        g_bAbortImageWork = 0;
    }
    DefaultProc(WM_DESTROY, 0, 0);
    if (m_bTrayIcon)
        RemoveTrayIcon();
    platform::CloseDrawDib(m_hDrawSingle);
    platform::CloseDrawDib(m_hDrawTile);
    m_hDrawSingle = m_hDrawTile = nullptr;
    m_pImage.reset();
    m_pCurrent = nullptr;
    m_arrShowList.clear();
    ::KillTimer(m_hWnd, kShowTimerId);
}

void CShowWnd::OnTimer()
{
    if (m_bBusy)
        return; // a preparation runs: the tick is dropped

    const int n = static_cast<int>(m_arrShowList.size());
    if (m_bShowMode == 1) {
        if (n < 1) {
            m_bLoaded = false;
        } else {
            // The show roles always go in list order.
            m_pCurrent = m_arrShowList[ChooseSequential(&m_nNextShow, n)].get();
            m_bLoaded = m_pImage->LoadFile(m_pCurrent->m_strPath.c_str()) != FALSE;
        }
    } else {
        if (n == 0)
            return;
        if (!WallpaperIntervalPassed(s_pfnNow(), g_settings.m_timeLastChange, g_settings.m_nInterval)) {
            DefaultProc(WM_TIMER, kShowTimerId, 0);
            return;
        }
        int index;
        if (g_settings.m_nOrder == 1) {
            index = ChooseSequential(&m_nNextWallpaper, n);
        } else {
            std::vector<const std::string*> paths;
            paths.reserve(m_arrShowList.size());
            for (const auto& record : m_arrShowList)
                paths.push_back(&record->m_strPath);
            index = ChooseRandom(paths, g_showRandom.Next(), g_settings.m_strLastWallpaper);
            m_nNextWallpaper = index;
        }
        m_pCurrent = m_arrShowList[index].get();
        m_bLoaded = m_pImage->LoadFile(m_pCurrent->m_strPath.c_str()) != FALSE;
    }

    if (m_bLoaded)
        StartPreparation();
    DefaultProc(WM_TIMER, kShowTimerId, 0);
}

void CShowWnd::StartPreparation()
{
    int cx = 0, cy = 0;
    if (g_settings.m_bFitToScreen) {
        cx = ::GetSystemMetrics(SM_CXSCREEN);
        cy = ::GetSystemMetrics(SM_CYSCREEN);
        if (m_pCurrent->m_bMaintainAspect) {
            SIZE fitted = m_pImage->FitAspect(cx, cy);
            cx = fitted.cx;
            cy = fitted.cy;
        }
    }
    m_prep.hWnd = m_hWnd;
    m_prep.pImage = m_pImage.get();
    m_prep.record = *m_pCurrent;
    m_prep.cx = cx;
    m_prep.cy = cy;
    m_prep.bShowMode = m_bShowMode;
    m_prep.bPreview = m_bPreview;
    m_prep.wallpaperPath = g_settings.m_strTempImage;

    m_bBusy = true;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, PreparePicture, &m_prep, CREATE_SUSPENDED, &id);
    if (!thread) {
        // No thread, no hand-over: the window keeps the picture and tries again next tick.
        m_bBusy = false;
        return;
    }
    ::SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    m_thread.Reset(thread);
    ::ResumeThread(thread);
}

DWORD WINAPI CShowWnd::PreparePicture(void* param)
{
    const PrepareParams& prep = *static_cast<const PrepareParams*>(param);
    CPictureImage& image = *prep.pImage;
    BOOL result = FALSE;
    if (prep.cx != 0 && (image.m_nWidth != prep.cx || image.m_nHeight != prep.cy) && !prep.bPreview)
        result = prep.record.m_bResample ? image.Resample(prep.cx, prep.cy) : image.Resize(prep.cx, prep.cy);
    if (g_bAbortImageWork)
        return 0;
    if (!prep.bShowMode)
        image.SaveFile(prep.wallpaperPath.c_str());
    ::PostMessageA(prep.hWnd, WM_PICTUREREADY, 0, 0);
    return static_cast<DWORD>(result);
}

void CShowWnd::OnPictureReady()
{
    if (m_thread) {
        // The thread has posted its last message and is about to return.
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
    }
    m_bBusy = false;
    if (m_bShowMode == 1) {
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        ::UpdateWindow(m_hWnd);
    } else {
        ApplyWallpaper();
    }
}

void CShowWnd::ApplyWallpaper()
{
    // The tile mode first, so the desktop uses it when it reloads the wallpaper.
    platform::WriteTileWallpaper(m_prep.record.m_strTile.c_str());
    platform::SetDesktopWallpaper(m_prep.wallpaperPath.c_str());
    g_settings.m_strLastWallpaper = m_prep.record.m_strPath;
    g_settings.m_timeLastChange = static_cast<int32_t>(s_pfnNow());
}

void CShowWnd::ChangeNow()
{
    const int64_t interval = g_settings.m_nInterval;
    g_settings.m_timeLastChange = static_cast<int32_t>(s_pfnNow() - (interval + 1) * 60);
    OnTimer();
}

void CShowWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (m_bBusy || m_bShowMode != 1)
        return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int W = client.right - client.left;
    const int H = client.bottom - client.top;
    CBrushHandle brush(::CreateSolidBrush(g_settings.m_crBkgndColor));
    CSelectObject selected(dc.GetSafeHdc(), brush.Get());
    ::PatBlt(dc.GetSafeHdc(), 0, 0, W, H, PATCOPY);
    if (m_bLoaded && m_pImage)
        PaintPicture(dc.GetSafeHdc(), W, H);
    else
        PaintHint(dc.GetSafeHdc(), W, H);
}

void CShowWnd::PaintPicture(HDC hdc, int W, int H)
{
    const BITMAPINFOHEADER* header = &m_pImage->m_dibSection.dsBmih;
    const void* bits = m_pImage->m_dibSection.dsBm.bmBits;
    const int w = header->biWidth;
    const int h = header->biHeight;
    const CWallpaperObject& record = m_prep.record;
    platform::RealizeDrawDib(m_hDrawSingle, hdc);

    if (record.m_strTile == "0") {
        std::function<ShowSize(int, int)> fit;
        if (record.m_bMaintainAspect)
            fit = [this](int cx, int cy) {
                SIZE s = m_pImage->FitAspect(cx, cy);
                return ShowSize {s.cx, s.cy};
            };
        ShowRect r = CentredPictureRect(w, h, W, H, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                        g_settings.m_bFitToScreen != 0, fit);
        platform::DrawDibPicture(m_hDrawSingle, hdc, r.x, r.y, r.cx, r.cy, header, bits, 0, 0, w, h, 0);
        return;
    }
    platform::BeginDrawDib(m_hDrawTile, hdc, header, w, h);
    for (const ShowRect& tile : TilePositions(w, h, W, H))
        platform::DrawDibPicture(m_hDrawTile, hdc, tile.x, tile.y, -1, -1, header, bits, 0, 0, w, h,
                                 DDF_SAME_HDC | DDF_SAME_DRAW);
    platform::EndDrawDib(m_hDrawTile);
}

void CShowWnd::PaintHint(HDC hdc, int W, int H)
{
    if (m_bPreview || g_settings.m_strInstallDir.empty()) {
        CBitmapHandle logo(static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_HINT_LOGO), IMAGE_BITMAP, 0, 0, 0)));
        BITMAP bm {};
        if (!logo || !::GetObjectA(logo.Get(), sizeof bm, &bm))
            return;
        const int x = RandomOffset(g_showRandom.Next(), W - bm.bmWidth);
        const int y = RandomOffset(g_showRandom.Next(), H - bm.bmHeight);
        CMemoryDC memory(hdc);
        CSelectObject selected(memory.GetSafeHdc(), logo.Get());
        ::BitBlt(hdc, x, y, bm.bmWidth, bm.bmHeight, memory.GetSafeHdc(), 0, 0, SRCCOPY);
        return;
    }
    char text[256] = "";
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), IDS_SELECT_PICTURES, text, sizeof text);
    SIZE extent {};
    ::GetTextExtentPoint32A(hdc, text, length, &extent);
    const int x = RandomOffset(g_showRandom.Next(), W - extent.cx);
    const int y = RandomOffset(g_showRandom.Next(), H - extent.cy);
    ::SetBkColor(hdc, RGB(0, 0, 0));
    ::SetTextColor(hdc, RGB(255, 0, 0));
    ::TextOutA(hdc, x, y, text, length);
}

LRESULT CShowWnd::OnQueryNewPalette()
{
    if (!m_hDrawSingle || m_bBusy)
        return 0;
    CClientDC dc(m_hWnd);
    UINT changed = platform::RealizeDrawDib(m_hDrawSingle, dc.GetSafeHdc());
    if (changed)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return changed;
}

BOOL CShowWnd::OnSetCursor()
{
    if (m_bShowMode == 1 && !m_bPreview) {
        ::SetCursor(nullptr);
        return TRUE;
    }
    return FALSE;
}

LRESULT CShowWnd::OnTrayNotify(UINT mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        ChangeNow();
        return 1;
    }
    return 0;
}

void CShowWnd::AddTrayIcon()
{
    CIconHandle icon(static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    NOTIFYICONDATAA data {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = m_hWnd;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = icon.Get();
    lstrcpynA(data.szTip, "Murlavo", sizeof data.szTip);
    ::Shell_NotifyIconA(NIM_ADD, &data); // the shell keeps its own copy of the icon
    m_bTrayIcon = true;
}

void CShowWnd::RemoveTrayIcon()
{
    NOTIFYICONDATAA data {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = m_hWnd;
    data.uID = kTrayIconId;
    ::Shell_NotifyIconA(NIM_DELETE, &data);
    m_bTrayIcon = false;
}
