#include "show/ShowWnd.h"

#include "app/ChangerApp.h"
#include "app/Globals.h"
#include "app/WindowNames.h"
#include "dialogs/AboutDlg.h"
#include "framework/FileReplace.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "library/Library.h"
#include "platform/Desktop.h"
#include "platform/DrawDib.h"
#include "platform/Monitors.h"
#include "resource.h"
#include "settings/SettingsDlg.h"
#include "show/Rotation.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include <ctime>
#include <functional>
#include <new>
#include <string>

namespace {
// More tiles than this are painted through a pattern brush.
constexpr int64_t kMaxSeparateTiles = 64;
// The pattern brush's side, about: the tile repeated to at least this many pixels.
constexpr int kBrushSide = 256;

int64_t SystemNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}

const char kWallpaperFileName[] = "Murlavo Wallpaper.bmp";

// The wallpaper bitmap's path in the temporary folder, or empty when that folder cannot be
// used: no folder, a path too long for the desktop to load, or a relative path that would put
// the file wherever the current directory happens to be.
std::string WallpaperPathInTempFolder()
{
    char temp[MAX_PATH + 1] = "";
    const DWORD length = ::GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || length + sizeof kWallpaperFileName > MAX_PATH)
        return std::string();
    const bool absolute = (temp[0] == '\\' && temp[1] == '\\') || (temp[1] == ':' && temp[2] == '\\');
    if (!absolute || temp[length - 1] != '\\')
        return std::string();
    return std::string(temp, length) + kWallpaperFileName;
}

// Writes the wallpaper bitmap beside its final place and replaces the old file only when the
// new one is complete, so the desktop never loads a cut-off file at the next logon. On failure,
// or when the window asks the work to stop meanwhile, the old file stays as it was and no
// temporary file is left.
bool WriteWallpaperFile(CPictureImage& image, const std::string& path, const std::atomic<bool>& abort)
{
    if (path.empty())
        return false;
    const std::string temp = path + ".tmp";
    if (!image.SaveBitmapFile(temp.c_str()) || abort) {
        ::DeleteFileA(temp.c_str());
        return false;
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}
INT_PTR OpenWithShell(HWND owner, const char* path)
{
    return reinterpret_cast<INT_PTR>(::ShellExecuteA(owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL));
}

// Sent to every top-level window when the shell's taskbar is created again (the shell
// restarted): the icons in the notification area are gone and must be added anew.
UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// The folder the help documents lie below: the installation directory, else the program's
// own folder (a relative path would depend on the current directory, which at logon or from
// a shortcut is anything but the program's).
std::string HelpFolder()
{
    if (!g_settings.m_strInstallDir.empty())
        return g_settings.m_strInstallDir;
    char module[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0 || length >= sizeof module)
        return std::string();
    std::string folder(module, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}
} // namespace

int g_nSaverActiveSaved = 0;

int64_t (*CShowWnd::s_pfnNow)() = SystemNow;
INT_PTR (*CShowWnd::s_pfnShellOpen)(HWND, const char*) = OpenWithShell;
BOOL(WINAPI* CShowWnd::s_pfnShellNotifyIcon)(DWORD, NOTIFYICONDATAA*) = ::Shell_NotifyIconA;
platform::FullScreenLayout (*CShowWnd::s_pfnLayout)() = platform::CurrentFullScreenLayout;
void (*CShowWnd::s_pfnPreparationEnded)() = nullptr;
DWORD CShowWnd::s_dwStopWaitMs = 5000;

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
    // Found by its class name: by Settings in another process, and by the setup program.
    const char* cls = RegisterNamedWindowClass(kChangerClassName, CS_HREDRAW | CS_VREDRAW);
    return CreateEx(0, cls, "Murlavo", WS_POPUP | WS_BORDER | WS_SYSMENU, 0, 0, 0, 0, nullptr, nullptr);
}

LRESULT CShowWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == TaskbarCreatedMessage()) {
        if (m_bTrayIcon)
            AddTrayIcon();
        return 0;
    }
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
    case WM_CONTEXTMENU: {
        POINT point {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (point.x == -1 && point.y == -1) // from the keyboard
            ::GetCursorPos(&point);
        OnContextMenu(point);
        return 0;
    }
    case WM_COMMAND:
        if (OnCommand(GET_WM_COMMAND_ID(wParam, lParam)))
            return 0;
        break;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam));
        break; // every key then gets the default processing
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_NCCALCSIZE:
        if (!Spans())
            break;
        // Both forms start with the proposed window rectangle, which becomes the client's.
        OnNcCalcSize(reinterpret_cast<RECT*>(lParam));
        return 0;
    case WM_NCPAINT:
        if (!Spans())
            break;
        OnNcPaint();
        return 0;
    case WM_NCHITTEST:
        // Pointer and buttons over the other monitors count as over the window: client
        // messages, in client coordinates (negative left of or above the primary screen).
        if (!Spans())
            break;
        return HTCLIENT;
    }
    return DefaultProc(msg, wParam, lParam);
}

bool CShowWnd::Spans() const
{
    return !(m_layout.primary == platform::ScreenRect {0, 0, m_layout.window.Width(), m_layout.window.Height()});
}

// The client area is the primary screen's part of the window (kept inside the window should
// the window ever be resized).
void CShowWnd::OnNcCalcSize(RECT* rect) const
{
    const RECT window = *rect;
    const platform::ScreenRect& p = m_layout.primary;
    rect->left = std::min(window.right, window.left + p.left);
    rect->top = std::min(window.bottom, window.top + p.top);
    rect->right = std::max(rect->left, std::min(window.right, window.left + p.right));
    rect->bottom = std::max(rect->top, std::min(window.bottom, window.top + p.bottom));
}

// The other monitors show the background colour, also while a picture is being prepared.
void CShowWnd::OnNcPaint()
{
    HDC dc = ::GetWindowDC(m_hWnd);
    if (!dc)
        return;
    RECT window, client;
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    CBrushHandle brush(::CreateSolidBrush(g_settings.m_crBkgndColor));
    RECT all {0, 0, window.right - window.left, window.bottom - window.top};
    ::FillRect(dc, &all, brush.Get());
    ::ReleaseDC(m_hWnd, dc);
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
        if (!::SetTimer(m_hWnd, kShowTimerId, SlideShowPeriodMs(g_settings.m_nSlideShow), nullptr))
            return -1;
    }

    try {
        m_pImage = std::make_shared<CPictureImage>();
    } catch (const std::bad_alloc&) {
        return -1;
    }

    m_arrShowList.reserve(10);
    ReadLibrary(m_arrShowList);

    if (g_bShowRole) {
        // The first picture appears at once.
        ::PostMessageA(m_hWnd, WM_TIMER, kShowTimerId, 0);
    } else {
        // The changer's own path: the settings may be read again (the Settings dialog), and
        // "TempImage" holds only what the last process end stored. It is written at the end.
        m_strWallpaperPath = WallpaperPathInTempFolder();
        g_settings.m_strTempImage = m_strWallpaperPath;
    }
    g_showRandom.Seed(static_cast<uint32_t>(s_pfnNow()));
    return 0;
}

void CShowWnd::OnDestroy()
{
    if (m_bBusy && m_thread) {
        // Ask the preparation to stop and wait for the thread, within a bound: the thread runs
        // at the lowest priority and a busy machine may starve it. It only touches what it
        // shares with this window (m_prep, the picture), so should it outlive the wait, it
        // ends on its own later and writes and posts nothing.
        m_prep->abort = true;
        g_bAbortImageWork = 1;
        const bool ended = ::WaitForSingleObject(m_thread.Get(), s_dwStopWaitMs) == WAIT_OBJECT_0;
        m_thread.Reset();
        m_bBusy = false;
        // The thread may have replaced the wallpaper file just before the request: the desktop's
        // settings and the record of the last change then follow the file the desktop loads.
        if (ended && !m_prep->bShowMode && m_prep->loaded && m_prep->written)
            ApplyWallpaper();
        // A later show window of this process starts with a clear flag.
        g_bAbortImageWork = 0;
    }
    DefaultProc(WM_DESTROY, 0, 0);
    RestoreScreenSaver();
    if (m_bTrayIcon)
        RemoveTrayIcon();
    platform::CloseDrawDib(m_hDrawSingle);
    platform::CloseDrawDib(m_hDrawTile);
    m_hDrawSingle = m_hDrawTile = nullptr;
    m_pImage.reset();
    m_prep.reset();
    m_pCurrent = nullptr;
    m_arrShowList.clear();
    ::KillTimer(m_hWnd, kShowTimerId);
}

void CShowWnd::OnTimer()
{
    if (m_bBusy) {
        // A preparation runs: the tick is dropped. Should its message have been lost (a full
        // queue), its end is taken from here instead of leaving the window busy for good.
        if (m_prep && m_prep->done)
            OnPictureReady();
        return;
    }

    const int n = static_cast<int>(m_arrShowList.size());
    if (m_bShowMode == 1) {
        if (n < 1) {
            m_bLoaded = false;
        } else {
            // The show roles always go in list order.
            m_pCurrent = m_arrShowList[ChooseSequential(&m_nNextShow, n)].get();
            StartPreparation();
        }
    } else {
        // Nothing to show, or nowhere to write the wallpaper (an unusable temporary folder).
        if (n == 0 || m_strWallpaperPath.empty())
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
        StartPreparation();
    }
    DefaultProc(WM_TIMER, kShowTimerId, 0);
}

// The picture is decoded, fitted and (as wallpaper) written on the preparation thread, so a
// large photo never freezes this window, the notification icon or, for the preview, the
// display settings that share its input queue.
void CShowWnd::StartPreparation()
{
    std::shared_ptr<PrepareParams> prep;
    std::unique_ptr<std::shared_ptr<PrepareParams>> threadShare;
    try {
        prep = std::make_shared<PrepareParams>();
        threadShare.reset(new std::shared_ptr<PrepareParams>(prep));
    } catch (const std::bad_alloc&) {
        return; // tried again at the next tick
    }
    if (g_settings.m_bFitToScreen) {
        prep->cx = ::GetSystemMetrics(SM_CXSCREEN);
        prep->cy = ::GetSystemMetrics(SM_CYSCREEN);
    }
    prep->hWnd = m_hWnd;
    prep->pImage = m_pImage;
    prep->record = *m_pCurrent;
    prep->bShowMode = m_bShowMode;
    prep->bPreview = m_bPreview;
    prep->wallpaperPath = m_strWallpaperPath;

    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, PreparePicture, threadShare.get(), CREATE_SUSPENDED, &id);
    if (!thread)
        return; // no thread, no hand-over: the window keeps its picture and tries again next tick
    threadShare.release(); // the thread's share now
    m_prep = prep;
    m_bBusy = true;
    ::SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    m_thread.Reset(thread);
    ::ResumeThread(thread);
}

DWORD WINAPI CShowWnd::PreparePicture(void* param)
{
    const std::unique_ptr<std::shared_ptr<PrepareParams>> share(static_cast<std::shared_ptr<PrepareParams>*>(param));
    PrepareParams& prep = **share;
    CPictureImage& image = *prep.pImage;
    BOOL result = FALSE;
    const char* path = prep.record.m_strPath.c_str();
    // In the preview the thread never fits; the painting scales instead.
    if (prep.cx != 0 && !prep.bPreview)
        prep.loaded = image.LoadFitted(path, prep.cx, prep.cy, prep.record.m_bMaintainAspect != 0,
                                       prep.record.m_bResample != 0, &result) != FALSE;
    else
        prep.loaded = image.LoadFile(path) != FALSE;
    // A stop request ends the work here: nothing is written over the file the desktop loads,
    // and the picture, perhaps half scaled, counts as not loaded.
    if (prep.abort || g_bAbortImageWork)
        prep.loaded = false;
    else if (prep.loaded && !prep.bShowMode)
        prep.written = WriteWallpaperFile(image, prep.wallpaperPath, prep.abort);
    // A window that is being destroyed gets no message; any other learns that the work ended.
    if (!prep.abort) {
        prep.done = true;
        ::PostMessageA(prep.hWnd, WM_PICTUREREADY, 0, 0);
    }
    if (s_pfnPreparationEnded)
        s_pfnPreparationEnded();
    return static_cast<DWORD>(result);
}

void CShowWnd::OnPictureReady()
{
    // The message is in the application range and anybody may post it: only the end of this
    // window's own running preparation counts.
    if (!m_bBusy || !m_prep || !m_prep->done)
        return;
    // The thread posted its last message and touches nothing after it: no need to wait for
    // its end, the handle is simply closed.
    m_thread.Reset();
    m_bBusy = false;
    m_bLoaded = m_prep->loaded;
    if (!m_bLoaded)
        return; // the screen or the wallpaper keeps the previous picture
    // What the job was started for decides: a wallpaper written while the full-screen show
    // began is still applied, a slide prepared for a show that has ended is not shown.
    if (m_prep->bShowMode == 1) {
        if (m_bShowMode == 1) {
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            ::UpdateWindow(m_hWnd);
        }
    } else if (m_prep->written) {
        ApplyWallpaper();
    }
}

void CShowWnd::ApplyWallpaper()
{
    // The style and tile mode first, so the desktop uses them when it reloads the wallpaper.
    platform::WriteTileWallpaper(m_prep->record.m_strTile.c_str());
    platform::SetDesktopWallpaper(m_prep->wallpaperPath.c_str());
    g_settings.m_strLastWallpaper = m_prep->record.m_strPath;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow());
    ++m_nApplied;
}

void CShowWnd::ChangeNow()
{
    const int64_t interval = g_settings.m_nInterval;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow() - (interval + 1) * 60);
    OnTimer();
}

void CShowWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (m_bBusy || m_bShowMode != 1)
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
    if (m_bLoaded && m_pImage && m_prep)
        PaintPicture(hdc, W, H);
    else
        PaintHint(hdc, W, H);
}

void CShowWnd::PaintPicture(HDC hdc, int W, int H)
{
    const BITMAPINFOHEADER* header = &m_pImage->m_dibSection.dsBmih;
    const void* bits = m_pImage->m_dibSection.dsBm.bmBits;
    const int w = header->biWidth;
    const int h = header->biHeight;
    const CWallpaperObject& record = m_prep->record;
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
    PaintTiles(hdc, W, H);
}

// Tiles from the top-left corner at the picture's own size. A few tiles are drawn one by one;
// many small ones (a 1 x 1 picture makes millions on a large screen) fill the area as a
// pattern brush instead, so the cost no longer grows with their number. Both give the same
// pixels. (The Windows 95 family uses only 8 x 8 pixels of a pattern: tiles one by one there.)
void CShowWnd::PaintTiles(HDC hdc, int W, int H)
{
    const BITMAPINFOHEADER* header = &m_pImage->m_dibSection.dsBmih;
    const void* bits = m_pImage->m_dibSection.dsBm.bmBits;
    const int w = header->biWidth;
    const int h = header->biHeight;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return;
    const int64_t tiles = ((int64_t(W) + w - 1) / w) * ((int64_t(H) + h - 1) / h);
    if (tiles > kMaxSeparateTiles && !g_bWin95Family && PaintTilesWithBrush(hdc, W, H))
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
bool CShowWnd::PaintTilesWithBrush(HDC hdc, int W, int H)
{
    const BITMAPINFOHEADER* header = &m_pImage->m_dibSection.dsBmih;
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
                                 m_pImage->m_dibSection.dsBm.bmBits, 0, 0, w, h, 0);
        for (int done = w; done < bw; done *= 2)
            ::BitBlt(memory.GetSafeHdc(), done, 0, std::min(done, bw - done), h, memory.GetSafeHdc(), 0, 0, SRCCOPY);
        for (int done = h; done < bh; done *= 2)
            ::BitBlt(memory.GetSafeHdc(), 0, done, bw, std::min(done, bh - done), memory.GetSafeHdc(), 0, 0, SRCCOPY);
    }
    CBrushHandle brush(::CreatePatternBrush(pattern.Get()));
    if (!brush)
        return false;
    POINT previous;
    ::SetBrushOrgEx(hdc, 0, 0, &previous);
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
    switch (mouseMessage) {
    case WM_RBUTTONUP: {
        POINT point;
        ::GetCursorPos(&point);
        point.x += 5;
        point.y += 5;
        // A menu of a window that is not in the foreground would not close when the user
        // clicks elsewhere.
        ::SetForegroundWindow(m_hWnd);
        OnContextMenu(point);
        return 1;
    }
    case WM_LBUTTONDBLCLK:
        ChangeNow();
        return 1;
    default:
        return 0;
    }
}

void CShowWnd::OnContextMenu(POINT screen)
{
    if (m_bShowMode == 1)
        return; // the full-screen show, the preview and the saver have no menu
    if (m_pOpenDialog && m_pOpenDialog->m_hWnd) {
        ::SetForegroundWindow(m_pOpenDialog->m_hWnd);
        return;
    }
    CMenuHandle menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return;
    ::SetMenuDefaultItem(popup, 0, TRUE); // "&Next", in bold
    HWND owner = m_hWnd;
    while (owner && (::GetWindowLongA(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
    // With this message behind the menu, the next click after a menu that was dismissed by a
    // click elsewhere reaches its window as it should.
    ::PostMessageA(owner, WM_NULL, 0, 0);
}

bool CShowWnd::OnCommand(int id)
{
    switch (id) {
    case ID_TRAY_NEXT:
        ChangeNow();
        return true;
    case ID_TRAY_SHOW:
        StartFullScreenShow();
        return true;
    case ID_TRAY_SETTINGS:
        OnSettings();
        return true;
    case ID_TRAY_HELP:
        OnHelp();
        return true;
    case ID_TRAY_ABOUT: {
        CAboutDlg dlg;
        RunMenuDialog(dlg);
        return true;
    }
    case ID_TRAY_CLOSE:
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}

void CShowWnd::StartFullScreenShow()
{
    platform::CloseDrawDib(m_hDrawSingle);
    platform::CloseDrawDib(m_hDrawTile);
    m_hDrawSingle = platform::OpenDrawDib();
    m_hDrawTile = platform::OpenDrawDib();
    if (!m_hDrawSingle || !m_hDrawTile)
        return;
    // Every monitor is covered, the picture shown on the primary screen as with one monitor.
    m_layout = s_pfnLayout();
    const platform::ScreenRect& w = m_layout.window;
    ::SetWindowPos(m_hWnd, HWND_TOP, w.left, w.top, w.Width(), w.Height(), SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    m_bShowMode = 1;
    m_nNextShow = 0;
    // The screen saver would end the show; its setting comes back when the show ends.
    if (!m_bSaverSwitchedOff) {
        g_nSaverActiveSaved = platform::GetScreenSaveActive();
        m_bSaverSwitchedOff = true;
    }
    platform::SetScreenSaveActive(0);
    OnTimer(); // the first picture at once
    ::SetTimer(m_hWnd, kShowTimerId, SlideShowPeriodMs(g_settings.m_nSlideShow), nullptr);
}

void CShowWnd::OnKeyDown(UINT key)
{
    // Only Escape ends the full-screen show of the wallpaper changer.
    if (key == VK_ESCAPE && m_bShowMode == 1 && !m_bPreview && !g_bShowRole)
        EndFullScreenShow();
}

void CShowWnd::EndFullScreenShow()
{
    m_bShowMode = 0;
    m_layout = {};
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_FRAMECHANGED);
    platform::CloseDrawDib(m_hDrawSingle);
    m_hDrawSingle = nullptr;
    ::SetTimer(m_hWnd, kShowTimerId, 60000, nullptr);
    RestoreScreenSaver();
}

void CShowWnd::RestoreScreenSaver()
{
    if (!m_bSaverSwitchedOff)
        return;
    platform::SetScreenSaveActive(g_nSaverActiveSaved);
    m_bSaverSwitchedOff = false;
}

INT_PTR CShowWnd::RunMenuDialog(CDialog& dlg)
{
    m_pOpenDialog = &dlg;
    const INT_PTR result = dlg.DoModal();
    m_pOpenDialog = nullptr;
    if (m_bCloseAfterDialog) {
        m_bCloseAfterDialog = false;
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
    return result;
}

// "&Close", the installer or the session: with a dialog of the menu open, the dialog is
// cancelled first and the window closes once its loop has returned.
void CShowWnd::OnClose()
{
    if (m_pOpenDialog && m_pOpenDialog->m_hWnd) {
        m_bCloseAfterDialog = true;
        ::PostMessageA(m_pOpenDialog->m_hWnd, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    ::DestroyWindow(m_hWnd);
}

void CShowWnd::OnSettings()
{
    // The dialog edits a copy of the settings; the changer takes the options from it after OK
    // and stores them with its own wallpaper path and rotation state, which stay as they are
    // (a wallpaper applied while the dialog was open has set them anew).
    CSettingsDlg dlg(nullptr, g_settings);
    if (RunMenuDialog(dlg) != IDOK)
        return;
    g_settings.TakeOptionsFrom(dlg.m_settings);
    if (CChangerApp* app = dynamic_cast<CChangerApp*>(GetApp()))
        app->SaveSettings();
    // The new library takes effect at the next choice. A preparation still running, or its
    // message still queued, works on its own copy of the record.
    m_pCurrent = nullptr;
    m_arrShowList.clear();
    m_nNextWallpaper = 0;
    ReadLibrary(m_arrShowList);
}

void CShowWnd::OnHelp()
{
    const std::string folder = HelpFolder();
    // Above 32 means the document was opened.
    if (s_pfnShellOpen(m_hWnd, (folder + "help\\mainpage.htm").c_str()) <= 32)
        s_pfnShellOpen(m_hWnd, (folder + "help\\readme.doc").c_str());
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
    s_pfnShellNotifyIcon(NIM_ADD, &data); // the shell keeps its own copy of the icon
    m_bTrayIcon = true;
}

void CShowWnd::RemoveTrayIcon()
{
    NOTIFYICONDATAA data {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = m_hWnd;
    data.uID = kTrayIconId;
    s_pfnShellNotifyIcon(NIM_DELETE, &data);
    m_bTrayIcon = false;
}
