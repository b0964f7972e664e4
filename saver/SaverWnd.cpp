#include "saver/SaverWnd.h"

#include "app/Globals.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "platform/Monitors.h"
#include "resource.h"

#include <windowsx.h>

#include <algorithm>

bool CSaverWnd::s_bCheckingPassword = false;
platform::FullScreenLayout (*CSaverWnd::s_pfnLayout)() = platform::CurrentFullScreenLayout;

CSaverWnd::CSaverWnd()
{
    m_bShowMode = 1;
}

CSaverWnd::~CSaverWnd() = default;

BOOL CSaverWnd::Create()
{
    HCURSOR cursor = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_TRANSPARENT));
    const char* cls = RegisterWindowClass(CS_HREDRAW | CS_VREDRAW, cursor);
    // One monitor: the primary screen's size at (0, 0). Several: the virtual screen.
    m_layout = s_pfnLayout();
    const platform::ScreenRect& w = m_layout.window;
    return CreateEx(WS_EX_TOPMOST, cls, "Wallpaper", WS_POPUP | WS_VISIBLE, w.left, w.top, w.Width(), w.Height(),
                    nullptr, nullptr);
}

bool CSaverWnd::Spans() const
{
    return !(m_layout.primary == platform::ScreenRect {0, 0, m_layout.window.Width(), m_layout.window.Height()});
}

// The client area is the primary screen's part of the window (kept inside the window should
// the window ever be resized).
void CSaverWnd::OnNcCalcSize(RECT* rect) const
{
    const RECT window = *rect;
    const platform::ScreenRect& p = m_layout.primary;
    rect->left = std::min(window.right, window.left + p.left);
    rect->top = std::min(window.bottom, window.top + p.top);
    rect->right = std::max(rect->left, std::min(window.right, window.left + p.right));
    rect->bottom = std::max(rect->top, std::min(window.bottom, window.top + p.bottom));
}

// The other monitors show the background colour, also while a picture is being prepared.
void CSaverWnd::OnNcPaint()
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

// What the saver handles itself; every other message goes on to the show window. Where the
// saver wants the system's own behaviour instead (while the password prompt runs), it asks
// DefaultProc for it explicitly, bypassing the show window's handling.
LRESULT CSaverWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool checking = s_bCheckingPassword;
    switch (msg) {
    case WM_CREATE:
        if (CShowWnd::WindowProc(msg, wParam, lParam) == -1)
            return -1;
        if (g_bWin95Family)
            platform::SetScreenSaverRunning(TRUE);
        return 0;
    case WM_DESTROY:
        CShowWnd::WindowProc(msg, wParam, lParam);
        if (g_bWin95Family)
            platform::SetScreenSaverRunning(FALSE);
        return 0;
    case WM_NCCALCSIZE:
        if (!Spans())
            return CShowWnd::WindowProc(msg, wParam, lParam);
        // Both forms start with the proposed window rectangle, which becomes the client's.
        OnNcCalcSize(reinterpret_cast<RECT*>(lParam));
        return 0;
    case WM_NCPAINT:
        if (!Spans())
            return CShowWnd::WindowProc(msg, wParam, lParam);
        OnNcPaint();
        return 0;
    case WM_NCHITTEST:
        // Pointer and buttons over the other monitors count as over the saver: client
        // messages, in client coordinates (negative left of or above the primary screen).
        if (!Spans())
            return CShowWnd::WindowProc(msg, wParam, lParam);
        return HTCLIENT;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        RequestEnd();
        return 0;
    case WM_ACTIVATE:
        if (checking)
            return DefaultProc(msg, wParam, lParam);
        if (LOWORD(wParam) == WA_INACTIVE)
            RequestEnd();
        return 0;
    case WM_ACTIVATEAPP:
        if (checking)
            return DefaultProc(msg, wParam, lParam);
        if (!wParam)
            RequestEnd();
        return 0;
    case WM_NCACTIVATE:
        if (checking || wParam)
            return DefaultProc(msg, wParam, lParam);
        return FALSE; // refuse to be drawn inactive
    case WM_SETCURSOR:
        if (checking)
            return DefaultProc(msg, wParam, lParam); // the class cursor: transparent
        ::SetCursor(nullptr);
        return TRUE;
    case WM_CLOSE:
        // Closed from elsewhere while the password prompt runs: the prompt decides.
        if (checking)
            return 0;
        return DefaultProc(msg, wParam, lParam);
    case WM_SYSCOMMAND:
        // Neither a second screen saver nor Alt+F4's close may bypass the password.
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_CLOSE)
            return 0;
        return DefaultProc(msg, wParam, lParam);
    default:
        return CShowWnd::WindowProc(msg, wParam, lParam);
    }
}

void CSaverWnd::OnMouseMove(int x, int y)
{
    if (m_nLastX == -1 && m_nLastY == -1) {
        // The system sends a move when the window appears: it only tells where the pointer is.
        m_nLastX = x;
        m_nLastY = y;
        return;
    }
    if (x == m_nLastX && y == m_nLastY)
        return;
    m_nLastX = x;
    m_nLastY = y;
    if (m_nMovesLeft > 0)
        --m_nMovesLeft;
    else
        RequestEnd();
}

void CSaverWnd::RequestEnd()
{
    if (s_bCheckingPassword || m_bEnding)
        return;
    s_bCheckingPassword = true;
    bool mayEnd = true;
    if (g_bWin95Family && platform::ReadScreenSaveUsePassword() != 0)
        mayEnd = platform::VerifyScreenSavePassword(m_hWnd) != platform::PasswordService::Refused;
    m_nMovesLeft = 2;
    if (mayEnd) {
        m_bEnding = true;
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
    s_bCheckingPassword = false;
}
