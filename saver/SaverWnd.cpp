#include "saver/SaverWnd.h"

#include "app/Globals.h"
#include "app/WindowNames.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "resource.h"

#include <windowsx.h>


bool CSaverWnd::s_bCheckingPassword = false;

CSaverWnd::CSaverWnd()
{
    m_bShowMode = 1;
}

CSaverWnd::~CSaverWnd() = default;

BOOL CSaverWnd::Create()
{
    HCURSOR cursor = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_TRANSPARENT));
    // Found by its class name by the setup program.
    const char* cls = RegisterNamedWindowClass(kSaverClassName, CS_HREDRAW | CS_VREDRAW, cursor);
    // One monitor: the primary screen's size at (0, 0). Several: the virtual screen.
    m_layout = s_pfnLayout();
    const platform::ScreenRect& w = m_layout.window;
    return CreateEx(WS_EX_TOPMOST, cls, "Wallpaper", WS_POPUP | WS_VISIBLE, w.left, w.top, w.Width(), w.Height(),
                    nullptr, nullptr);
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
