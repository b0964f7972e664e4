#include "show/FullScreenShow.h"

#include "library/Settings.h"
#include "platform/Desktop.h"
#include "platform/DrawDib.h"
#include "show/Rotation.h"
#include "show/ShowWnd.h"

int g_nSaverActiveSaved = 0;

void CFullScreenShow::Start()
{
    CShowWnd& window = m_window;
    if (!window.OpenDrawing())
        return;
    // Every monitor is covered, the picture shown on the primary screen as with one monitor.
    window.m_layout = CShowWnd::s_pfnLayout();
    const platform::ScreenRect& w = window.m_layout.window;
    ::SetWindowPos(window.m_hWnd, HWND_TOP, w.left, w.top, w.Width(), w.Height(), SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    window.m_bShowMode = 1;
    window.m_changer.RestartSlides();
    m_bRunning = true;
    // The screen saver would end the show.
    SwitchScreenSaverOff();
    window.OnTimer(); // the first picture at once
    ::SetTimer(window.m_hWnd, kShowTimerId, SlideShowPeriodMs(g_settings.m_nSlideShow), nullptr);
}

void CFullScreenShow::End()
{
    CShowWnd& window = m_window;
    m_bRunning = false;
    window.m_bShowMode = 0;
    window.m_layout = {};
    ::SetWindowPos(window.m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_FRAMECHANGED);
    platform::CloseDrawDib(window.m_hDrawSingle);
    window.m_hDrawSingle = nullptr;
    ::SetTimer(window.m_hWnd, kShowTimerId, 60000, nullptr);
    RestoreScreenSaver();
}

bool CFullScreenShow::OnKeyDown(UINT key)
{
    // Only Escape ends the show.
    if (key != VK_ESCAPE || !m_bRunning)
        return false;
    End();
    return true;
}

void CFullScreenShow::OnWindowDestroyed()
{
    m_bRunning = false;
    RestoreScreenSaver();
}

void CFullScreenShow::SwitchScreenSaverOff()
{
    if (!m_bSaverSwitchedOff) {
        g_nSaverActiveSaved = platform::GetScreenSaveActive();
        m_bSaverSwitchedOff = true;
    }
    platform::SetScreenSaveActive(0);
}

void CFullScreenShow::RestoreScreenSaver()
{
    if (!m_bSaverSwitchedOff)
        return;
    platform::SetScreenSaveActive(g_nSaverActiveSaved);
    m_bSaverSwitchedOff = false;
}
