#include "show/ShowWnd.h"

#include "app/ChangerApp.h"
#include "app/Globals.h"
#include "app/SettingsInstance.h"
#include "app/WindowNames.h"
#include "framework/Dpi.h"
#include "framework/Handles.h"
#include "framework/WideText.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "platform/DrawDib.h"
#include "platform/Hotkeys.h"
#include "platform/Monitors.h"
#include "resource.h"
#include "show/Rotation.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

namespace {
// A message box owned by the window's top-level window (for the preview, the display settings
// it lies in), with the program's name as its title.
void ShowMessage(HWND window, const std::string& text)
{
    std::string title = LoadResourceString(IDS_APP_TITLE);
    if (title.empty())
        title = "Murlavo";
    // The changer's window is hidden: its box comes to the front on its own.
    HWND owner = ::GetAncestor(window, GA_ROOT);
    const UINT front = ::IsWindowVisible(owner) ? 0 : MB_SETFOREGROUND;
    MessageBoxUtf8(owner, text, title, MB_OK | MB_ICONEXCLAMATION | front);
}

// Tells the user that a picture was skipped for want of memory. One box at a time: a failure
// while one is up is not told again. Touches nothing of the window after the box.
void TellOutOfMemory(HWND window)
{
    static bool s_bTelling = false;
    if (s_bTelling)
        return;
    s_bTelling = true;
    const std::string text = LoadResourceString(IDS_OUT_OF_MEMORY);
    ShowMessage(window, text.empty() ? "Out of memory." : text);
    s_bTelling = false;
}

// Tells the user that no wallpaper can be set from this temporary folder. Touches nothing of
// the window after the box.
void TellTempFolderTooLong(HWND window, const std::string& folder)
{
    ShowMessage(window, "Murlavo cannot change the wallpaper: the desktop takes a wallpaper file whose path has at "
                        "most " + std::to_string(platform::kMaxWallpaperPath) +
                            " characters, and the path of the temporary folder is too long for that:\n\n" + folder +
                            "\n\nSet the TEMP and TMP variables to a shorter folder.");
}

// A screen saver is on the screen (the system's, or the program's own saver window, which the
// system does not always know about): nothing may come over it.
bool SaverOnTheScreen()
{
    if (platform::ScreenSaverRunning())
        return true;
    const HWND saver = ::FindWindowW(Wide(kSaverClassName).c_str(), nullptr);
    return saver && ::IsWindowVisible(saver);
}
} // namespace

namespace {
// The ids of the global hotkeys on the changer's window.
constexpr int kHotkeyNextId = 1;
constexpr int kHotkeyPreviousId = 2;
constexpr int kHotkeyPauseId = 3;
} // namespace

platform::FullScreenLayout (*CShowWnd::s_pfnLayout)() = platform::CurrentFullScreenLayout;
std::vector<platform::MonitorInfo> (*CShowWnd::s_pfnMonitors)() = platform::MonitorInfos;

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
    if (msg == CTrayIcon::TaskbarCreatedMessage()) {
        m_tray.OnTaskbarCreated();
        // A restarted shell loads the wallpaper again, for the monitors it finds.
        Recompose();
        return 0;
    }
    if (msg == SettingsChangedMessage() && msg != 0) {
        OnSettingsChanged();
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
        if (wParam == kTrayRetryTimerId) {
            m_tray.OnRetryTimer();
        } else if (wParam == kHoldTimerId) {
            ::KillTimer(m_hWnd, kHoldTimerId);
            OnTimer(); // armed again while the wait goes on
        } else {
            OnTimer();
        }
        return 0;
    case WM_PICTUREREADY:
        OnPictureReady();
        return 0;
    case WM_FOLDERSSCANNED:
        OnFoldersScanned();
        return 0;
    case WM_TELLTEMPFOLDER:
        OnTellTempFolder();
        return 0;
    case WM_DISPLAYCHANGE:
        // A change now, for the monitors as they are; during a preparation, once it has ended.
        if (m_bShowMode != 1 && m_worker.Busy())
            m_bChangeWaiting = true;
        else
            ChangeNow();
        return 1;
    case dpi::kMsgDpiChanged:
        // The icon at the new scale's size, and the wallpaper for the monitors as they are.
        m_tray.OnDpiChanged();
        Recompose();
        break;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            Recompose();
        break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            // A change that fell due during the sleep comes once, soon.
            m_hold.OnResume();
            ArmHoldTimer();
            Recompose();
        } else if (wParam == PBT_APMPOWERSTATUSCHANGE && !g_bShowRole) {
            // Battery saver may have ended.
            ::SetTimer(m_hWnd, kHoldTimerId, CChangeHold::kRecheckMs, nullptr);
        }
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        // Unlocked or connected again: a change that waited comes now.
        if (m_session.OnSessionChange(wParam) && !m_session.Away() && !m_worker.Busy())
            OnTimer();
        return 0;
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
        return m_tray.OnNotify(static_cast<UINT>(lParam));
    case WM_HOTKEY:
        OnHotkey(static_cast<int>(wParam));
        return 0;
    case WM_CONTEXTMENU: {
        POINT point {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (point.x == -1 && point.y == -1) // from the keyboard
            ::GetCursorPos(&point);
        m_tray.ShowMenu(point);
        return 0;
    }
    case WM_COMMAND:
        if (m_tray.OnCommand(GET_WM_COMMAND_ID(wParam, lParam)))
            return 0;
        break;
    case WM_KEYDOWN:
        m_fullScreen.OnKeyDown(static_cast<UINT>(wParam));
        break; // every key then gets the default processing
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        return 0;
    case WM_NCCALCSIZE:
        if (!FullScreen())
            break;
        // Both forms start with the proposed window rectangle, which becomes the client's.
        OnNcCalcSize(reinterpret_cast<RECT*>(lParam));
        return 0;
    case WM_NCPAINT:
        if (!FullScreen())
            break;
        OnNcPaint();
        return 0;
    case WM_NCHITTEST:
        // Pointer and buttons over the other monitors count as over the window: client
        // messages, in client coordinates (negative left of or above the primary screen).
        if (!FullScreen())
            break;
        return HTCLIENT;
    }
    return DefaultProc(msg, wParam, lParam);
}

bool CShowWnd::FullScreen() const
{
    return m_layout.window.Width() > 0 && m_layout.window.Height() > 0;
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

// The other monitors show their own slides on the background colour (only the colour while the
// first ones are being prepared). (On one monitor there is no non-client area left to paint: no
// border either.)
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
    PaintOtherSlides(dc);
    ::ReleaseDC(m_hWnd, dc);
}

int CShowWnd::OnCreate()
{
    if (!g_bShowRole) {
        if (!::SetTimer(m_hWnd, kShowTimerId, 60000, nullptr))
            return -1;
        m_tray.SetTip(TipText());
        m_tray.Add();
        RegisterHotkeys();
        m_session.Start(m_hWnd);
    } else {
        m_hDrawSingle = platform::OpenDrawDib();
        m_hDrawTile = platform::OpenDrawDib();
        if (!::SetTimer(m_hWnd, kShowTimerId, SlideShowPeriodMs(g_settings.m_nSlideShow), nullptr))
            return -1;
    }
    m_changer.Load(!g_bShowRole);
    // The first picture appears at once (or once the library's folders are scanned).
    if (g_bShowRole && !ScanFoldersFirst())
        ::PostMessageA(m_hWnd, WM_TIMER, kShowTimerId, 0);
    g_showRandom.Seed(static_cast<uint32_t>(CWallpaperChanger::s_pfnNow()));
    return 0;
}

void CShowWnd::StopPreparation()
{
    // A wallpaper written just before the stop request: the desktop's settings and the record
    // of the last change follow the file the desktop loads.
    const bool recomposed = m_bRecomposeJob;
    m_bRecomposeJob = false;
    if (m_worker.Stop())
        ApplyPrepared(recomposed);
}

void CShowWnd::ApplyPrepared(bool recomposed)
{
    if (recomposed)
        m_changer.ApplyRecomposed(m_worker.WallpaperPath(), m_worker.Composite(), m_worker.Record());
    else if (m_worker.Composite())
        m_changer.ApplyComposite(m_worker.Record(), m_worker.WallpaperPath());
    else
        m_changer.ApplyWallpaper(m_worker.Record(), m_worker.WallpaperPath());
    m_wallpaperMonitors = m_jobMonitors;
    UpdateTip();
}

size_t CShowWnd::PicturesPerChange() const
{
    if (g_settings.m_nSeveralMonitors != kDifferentPictures)
        return 1;
    const platform::WallpaperCanvas canvas = platform::PlanWallpaperCanvas(s_pfnMonitors());
    return canvas.Usable() ? canvas.monitors.size() : 1;
}

void CShowWnd::StartWallpaper(const std::vector<CWallpaperObject>& records, bool recompose)
{
    if (records.empty())
        return;
    m_jobMonitors = s_pfnMonitors();
    CompositeRequest request;
    request.canvas = platform::PlanWallpaperCanvas(m_jobMonitors);
    bool started;
    if (request.canvas.Usable()) {
        request.monitors = g_settings.m_nSeveralMonitors;
        request.records = records;
        request.fit = g_settings.m_bFitToScreen != 0;
        request.background = ::GetSysColor(COLOR_BACKGROUND);
        started = m_worker.StartComposite(m_hWnd, std::move(request), m_changer.WallpaperPath());
    } else {
        int cx = 0, cy = 0;
        if (g_settings.m_bFitToScreen) {
            cx = ::GetSystemMetrics(SM_CXSCREEN);
            cy = ::GetSystemMetrics(SM_CYSCREEN);
        }
        started = m_worker.Start(m_hWnd, records.front(), cx, cy, PrepareMode::wallpaper, m_changer.WallpaperPath());
    }
    if (started)
        m_bRecomposeJob = recompose;
}

void CShowWnd::Recompose()
{
    if (m_bShowMode == 1 || g_bShowRole)
        return;
    if (m_worker.Busy()) {
        m_bRecomposeWaiting = true;
        return;
    }
    m_bRecomposeWaiting = false;
    // Nothing of this changer's on the desktop yet, or made for these very monitors.
    if (m_wallpaperMonitors.empty() || m_wallpaperMonitors == s_pfnMonitors())
        return;
    StartWallpaper(m_changer.ShownSet(PicturesPerChange()), true);
}

void CShowWnd::OnDestroy()
{
    m_scanner.Stop(1000);
    StopPreparation();
    DefaultProc(WM_DESTROY, 0, 0);
    m_fullScreen.OnWindowDestroyed();
    m_tray.Remove();
    UnregisterHotkeys();
    m_session.Stop();
    ::KillTimer(m_hWnd, kHoldTimerId);
    CloseDrawing();
    m_changer.Clear();
    ::KillTimer(m_hWnd, kShowTimerId);
}

// The session ends (logoff, shutdown): the process may be ended right after this message,
// without WM_DESTROY and without the application's end. What the normal end leaves behind is
// done here: the preparation stopped and its wallpaper applied, the screen saver switched back,
// the icon removed and "TempImage" stored. No new preparation starts; the window stays.
void CShowWnd::OnEndSession()
{
    ::KillTimer(m_hWnd, kShowTimerId);
    m_scanner.Stop(0);
    StopPreparation();
    m_fullScreen.OnWindowDestroyed(); // as good as destroyed: the screen saver comes back
    m_tray.Remove();
    if (CChangerApp* app = dynamic_cast<CChangerApp*>(GetApp()))
        g_settings.SaveTempImage(*app);
}

// Settings in another process ended with OK: its options, as stored, and the library it
// wrote are taken as after the changer's own Settings (which stores them itself).
void CShowWnd::OnSettingsChanged()
{
    CApplication* app = GetApp();
    if (g_bShowRole || !app)
        return;
    CChangerSettings stored;
    stored.Load(*app);
    m_changer.ReloadSettingsAndLibrary(stored);
    OnOptionsChanged();
}

void CShowWnd::OnOptionsChanged()
{
    RegisterHotkeys();
    UpdateTip();
}

void CShowWnd::RegisterHotkeys()
{
    UnregisterHotkeys();
    // A combination another program took since the options were chosen is simply not had.
    platform::RegisterHotkey(m_hWnd, kHotkeyNextId, g_settings.m_nHotkeyNext);
    platform::RegisterHotkey(m_hWnd, kHotkeyPreviousId, g_settings.m_nHotkeyPrevious);
    platform::RegisterHotkey(m_hWnd, kHotkeyPauseId, g_settings.m_nHotkeyPause);
}

void CShowWnd::UnregisterHotkeys()
{
    for (int id : {kHotkeyNextId, kHotkeyPreviousId, kHotkeyPauseId})
        ::UnregisterHotKey(m_hWnd, id);
}

void CShowWnd::OnHotkey(int id)
{
    if (m_bShowMode == 1)
        return; // the full-screen show has its own keys
    switch (id) {
    case kHotkeyNextId:
        ChangeNow();
        break;
    case kHotkeyPreviousId:
        ChangeBack();
        break;
    case kHotkeyPauseId:
        SetPaused(!g_settings.m_bPaused);
        break;
    default:
        break;
    }
}

bool CShowWnd::TimedChangeHeld()
{
    const bool due = m_changer.ChangeDue();
    const HoldReason why = WhyHold(g_pfnReadSystemState(m_session.Away()), g_settings.m_bNotOnBatterySaver != 0);
    const bool change = m_hold.Check(why, due);
    ArmHoldTimer();
    return due && !change;
}

void CShowWnd::ArmHoldTimer()
{
    if (const UINT ms = m_hold.NextCheckMs())
        ::SetTimer(m_hWnd, kHoldTimerId, ms, nullptr);
    else
        ::KillTimer(m_hWnd, kHoldTimerId);
}

void CShowWnd::SetPaused(bool paused)
{
    g_settings.m_bPaused = paused ? 1 : 0;
    if (CApplication* app = GetApp())
        g_settings.SavePaused(*app);
    UpdateTip();
}

std::wstring CShowWnd::TipText() const
{
    if (g_settings.m_bPaused)
        return L"Murlavo \u2014 paused";
    std::wstring when;
    const int64_t next = int64_t(g_settings.m_timeLastChange) + int64_t(g_settings.m_nInterval) * 60;
    if (g_settings.m_timeLastChange == 0 || next <= CWallpaperChanger::s_pfnNow()) {
        when = L"Next change within a minute";
    } else {
        // The time of day in the user's own format, without seconds.
        const ULONGLONG ticks = (ULONGLONG(next) + 11644473600ULL) * 10000000ULL;
        FILETIME utc {DWORD(ticks), DWORD(ticks >> 32)}, local;
        SYSTEMTIME time {};
        wchar_t text[64] = L"";
        if (::FileTimeToLocalFileTime(&utc, &local) && ::FileTimeToSystemTime(&local, &time)
            && ::GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, 64) > 0)
            when = std::wstring(L"Next change at ") + text;
    }
    std::wstring name = Wide(g_settings.m_strLastWallpaper);
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    if (name.empty())
        return when.empty() ? L"Murlavo" : when;
    // The tip holds 63 characters: the name gives way to the time.
    const size_t room = when.size() + 1 < 63 ? 63 - when.size() - 1 : 0;
    if (name.size() > room)
        name = name.substr(0, room > 3 ? room - 3 : 0) + L"...";
    return when.empty() ? name : name + L"\n" + when;
}

void CShowWnd::UpdateTip()
{
    if (!g_bShowRole && m_bShowMode != 1)
        m_tray.SetTip(TipText());
}

bool CShowWnd::OpenDrawing()
{
    CloseDrawing();
    m_hDrawSingle = platform::OpenDrawDib();
    m_hDrawTile = platform::OpenDrawDib();
    return m_hDrawSingle && m_hDrawTile;
}

void CShowWnd::CloseDrawing()
{
    platform::CloseDrawDib(m_hDrawSingle);
    platform::CloseDrawDib(m_hDrawTile);
    m_hDrawSingle = m_hDrawTile = nullptr;
}

void CShowWnd::OnTimer()
{
    // Whether this step was asked for; it stays so only while it waits for a folder scan.
    const bool asked = m_bChangeAsked;
    m_bChangeAsked = false;
    if (m_worker.Busy()) {
        // A preparation runs: the tick is dropped. Should its message have been lost (a full
        // queue), its end is taken from here instead of leaving the window busy for good.
        if (m_worker.Ended())
            OnPictureReady();
        return;
    }
    if (m_bShowMode == 1) {
        if (const CWallpaperObject* record = m_changer.ChooseSlide()) {
            // A slide for every monitor, prepared one after the other from the primary's on.
            m_preparedSlides.assign(m_bPreview ? 1 : 1 + m_layout.others.size(), MonitorSlide());
            m_nSlidePart = 0;
            StartPreparation(*record);
        } else {
            m_bLoaded = false;
            m_pShown.reset();
        }
    } else if (!asked && (g_settings.m_bPaused || TimedChangeHeld())) {
        // Paused, or a change that must wait: no timed change now.
    } else if (m_changer.ChangeDue() && !m_bScanFresh && ScanFoldersFirst()) {
        // The folders' pictures are found first, so files added meanwhile count now.
        m_bChangeAsked = asked;
    } else if (const CWallpaperObject* record = m_changer.ChooseWallpaper(PicturesPerChange())) {
        m_bJobAsked = asked;
        StartPreparation(*record);
    } else if (m_tempFolderTold == Told::no && m_changer.TempFolderTooLong() && m_changer.ChangeDue() &&
               !SaverOnTheScreen()) {
        // Told from a message of its own: the box's loop may end the window, and this step's
        // callers go on using it.
        m_tempFolderTold = Told::pending;
        ::PostMessageW(m_hWnd, WM_TELLTEMPFOLDER, 0, 0);
    }
    m_bScanFresh = false;
    UpdateTip();
    DefaultProc(WM_TIMER, kShowTimerId, 0);
}

bool CShowWnd::ScanFoldersFirst()
{
    std::vector<FolderRequest> folders = m_changer.FolderRequests();
    if (folders.empty() || m_scanner.Busy())
        return false;
    if (!m_scanner.Start(m_hWnd, WM_FOLDERSSCANNED, std::move(folders)))
        return false;
    m_bStepWaitsForScan = true;
    return true;
}

void CShowWnd::OnFoldersScanned()
{
    // Anybody may post the message: only a scan that has ended gives listings.
    if (m_scanner.Busy())
        return;
    std::vector<FolderResult> results = m_scanner.Take();
    if (results.empty() && !m_bStepWaitsForScan)
        return;
    m_changer.TakeFolderListings(std::move(results));
    if (m_bStepWaitsForScan) {
        m_bStepWaitsForScan = false;
        m_bScanFresh = true;
        StepWhenIdle();
    }
}

// A change failed because the temporary folder's path is too long for the desktop: told once,
// unless a screen saver or the full-screen show came up meanwhile (a later change tells it).
void CShowWnd::OnTellTempFolder()
{
    if (m_tempFolderTold != Told::pending)
        return; // a stray message
    if (m_bShowMode == 1 || SaverOnTheScreen()) {
        m_tempFolderTold = Told::no;
        return;
    }
    m_tempFolderTold = Told::yes;
    // Last: the window may be gone once the box has closed.
    TellTempFolderTooLong(m_hWnd, m_changer.TempFolder());
}

// The picture is decoded, fitted and (as wallpaper) written on the preparation thread, so a
// large photo never freezes this window, the notification icon or, for the preview, the
// display settings that share its input queue. Should no job start, the window keeps its
// picture and tries again at the next tick.
void CShowWnd::StartPreparation(const CWallpaperObject& record)
{
    if (m_bShowMode != 1) {
        const std::vector<CWallpaperObject>& set = m_changer.ChosenSet();
        StartWallpaper(set.empty() ? std::vector<CWallpaperObject> {record} : set, false);
        return;
    }
    int cx = 0, cy = 0;
    if (g_settings.m_bFitToScreen) {
        cx = ::GetSystemMetrics(SM_CXSCREEN);
        cy = ::GetSystemMetrics(SM_CYSCREEN);
        // Another monitor's slide is fitted to that monitor.
        if (m_nSlidePart > 0 && m_nSlidePart <= m_layout.others.size()) {
            cx = m_layout.others[m_nSlidePart - 1].Width();
            cy = m_layout.others[m_nSlidePart - 1].Height();
        }
    }
    const PrepareMode mode = m_bShowMode != 1 ? PrepareMode::wallpaper
                                              : (m_bPreview ? PrepareMode::preview : PrepareMode::show);
    m_worker.Start(m_hWnd, record, cx, cy, mode, m_changer.WallpaperPath());
}

void CShowWnd::StepWhenIdle()
{
    if (m_worker.Busy())
        m_bStepWaiting = true;
    else
        OnTimer();
}

void CShowWnd::OnPictureReady()
{
    // The message is in the application range and anybody may post it: only the end of this
    // window's own running preparation counts.
    if (!m_worker.Finish())
        return;
    m_bLoaded = m_worker.Loaded();
    const bool outOfMemory = m_worker.RanOutOfMemory();
    // What the job was started for decides: a wallpaper written while the full-screen show
    // began is still applied, a slide prepared for a show that has ended is not shown. A
    // picture that was not loaded leaves the wallpaper as it was.
    bool tryAnother = false, goBack = false;
    const bool recomposed = m_bRecomposeJob;
    m_bRecomposeJob = false;
    if (m_worker.Mode() == PrepareMode::wallpaper && recomposed) {
        // Composed again for new monitors: applied as it is; a picture gone meanwhile waits
        // for the next change.
        if (m_bLoaded && m_worker.Written())
            ApplyPrepared(true);
    } else if (m_worker.Mode() == PrepareMode::wallpaper) {
        if (m_bLoaded && m_worker.Written()) {
            ApplyPrepared(false);
            m_nFailedInARow = 0;
        } else if (m_worker.Composite() && !m_worker.FailedPaths().empty()) {
            goBack = m_changer.LastChoiceWentBack();
            m_changer.PicturesFailed(m_worker.FailedPaths());
            tryAnother = ++m_nFailedInARow < kMaxFailuresPerStep;
            if (!tryAnother)
                m_nFailedInARow = 0;
        } else if (!m_bLoaded && !m_worker.Composite()) {
            // A picture that cannot be shown is left out from now on, and the next one in the
            // same direction is tried at once (a few in a row; the next tick goes on).
            goBack = m_changer.LastChoiceWentBack();
            m_changer.ChosenPictureFailed();
            tryAnother = ++m_nFailedInARow < kMaxFailuresPerStep;
            if (!tryAnother)
                m_nFailedInARow = 0;
        }
    } else if (m_bShowMode == 1 && m_preparedSlides.size() > 1) {
        // One monitor's slide of several: the next monitor's is prepared, and once all are
        // ready they are shown together.
        if (m_nSlidePart < m_preparedSlides.size())
            m_preparedSlides[m_nSlidePart] = MonitorSlide {m_bLoaded ? m_worker.Picture() : nullptr, m_worker.Record()};
        const CWallpaperObject* next = nullptr;
        if (++m_nSlidePart < m_preparedSlides.size())
            next = m_changer.ChooseSlide();
        if (next)
            StartPreparation(*next);
        else
            ShowPreparedSlides();
    } else if (m_bShowMode == 1) {
        m_pShown = m_bLoaded ? m_worker.Picture() : nullptr;
        m_shownRecord = m_worker.Record();
        // A slide that failed leaves the screen as it is; an exposure then paints the hint.
        if (m_bLoaded) {
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            ::UpdateWindow(m_hWnd);
        }
    }
    if (tryAnother && goBack && !m_bStepWaiting) {
        ChangeBack();
    } else if (m_bStepWaiting || tryAnother) {
        m_bStepWaiting = false;
        m_bScanFresh = tryAnother; // the folders were scanned for this step already
        // Another picture for a step that was asked for is asked for too.
        m_bChangeAsked = tryAnother && m_bJobAsked;
        OnTimer();
    }
    // A display change while this job ran: the change it asks for, now. Monitors that changed
    // otherwise: the pictures composed again (a change just started composes for them anyway,
    // and this then waits for its end).
    if (m_bChangeWaiting && !m_worker.Busy()) {
        m_bChangeWaiting = false;
        ChangeNow();
    }
    if (m_bRecomposeWaiting)
        Recompose();
    // Last: the box's own loop goes on dispatching this window's messages, and a close request
    // meanwhile may destroy the window and this object.
    if (outOfMemory && ShowsMessages())
        TellOutOfMemory(m_hWnd);
}

void CShowWnd::ShowPreparedSlides()
{
    std::vector<MonitorSlide> slides;
    slides.swap(m_preparedSlides);
    m_nSlidePart = 0;
    if (slides.empty())
        return;
    // A slide that failed leaves its monitor as it is.
    m_bLoaded = slides[0].picture != nullptr;
    if (slides[0].picture) {
        m_pShown = slides[0].picture;
        m_shownRecord = slides[0].record;
    }
    m_otherSlides.resize(m_layout.others.size());
    for (size_t i = 1; i < slides.size() && i - 1 < m_otherSlides.size(); ++i)
        if (slides[i].picture)
            m_otherSlides[i - 1] = std::move(slides[i]);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

void CShowWnd::ChangeNow()
{
    m_bChangeAsked = true;
    m_changer.ExpireInterval();
    OnTimer();
}

void CShowWnd::ChangeBack()
{
    if (m_bShowMode == 1 || m_worker.Busy())
        return;
    if (const CWallpaperObject* record = m_changer.ChoosePrevious(PicturesPerChange()))
        StartPreparation(*record);
}

void CShowWnd::StartFullScreenShow()
{
    m_fullScreen.Start();
}

LRESULT CShowWnd::OnQueryNewPalette()
{
    if (!m_hDrawSingle || m_worker.Busy())
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

// "&Close", the installer or the session: with a dialog of the icon's menu open, the dialog is
// cancelled first and the window closes once its loop has returned.
void CShowWnd::OnClose()
{
    if (m_tray.DeferClose())
        return;
    ::DestroyWindow(m_hWnd);
}
