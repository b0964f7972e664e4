#include "show/FullScreenShow.h"

#include "library/Settings.h"
#include "platform/Desktop.h"
#include "platform/DrawDib.h"
#include "show/Rotation.h"
#include "show/ShowWnd.h"

int g_nSaverActiveSaved = 0;

EXECUTION_STATE(WINAPI* CFullScreenShow::s_pfnSetThreadExecutionState)(EXECUTION_STATE) = ::SetThreadExecutionState;

CFullScreenShow::~CFullScreenShow()
{
    RestoreSystem();
}

void CFullScreenShow::Start()
{
    CShowWnd& window = m_window;
    if (!window.OpenDrawing())
        return;
    window.m_layout = CShowWnd::s_pfnLayout();
    window.m_bShowMode = 1;
    window.m_changer.RestartSlides();
    m_bRunning = true;
    // The first picture at once, or as soon as a preparation still running (a wallpaper) ends.
    window.StepWhenIdle();
    // Every monitor is covered, the picture shown on the primary screen as with one monitor.
    // The client area is the whole primary screen (the window's border lies outside it), and
    // the background is there at once, before the picture is ready.
    const platform::ScreenRect& w = window.m_layout.window;
    ::SetWindowPos(window.m_hWnd, HWND_TOP, w.left, w.top, w.Width(), w.Height(), SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    ::RedrawWindow(window.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    // The screen saver would end the show, and the display would go dark during it.
    SwitchScreenSaverOff();
    if (!m_bDisplayKeptOn) {
        s_pfnSetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
        m_bDisplayKeptOn = true;
    }
    ::SetTimer(window.m_hWnd, kShowTimerId, SlideShowPeriodMs(g_settings.m_nSlideShow), nullptr);
}

void CFullScreenShow::End()
{
    CShowWnd& window = m_window;
    m_bRunning = false;
    window.m_bShowMode = 0;
    window.m_bStepWaiting = false;
    window.m_pShown.reset();
    window.m_otherSlides.clear();
    window.m_preparedSlides.clear();
    window.m_layout = {};
    ::SetWindowPos(window.m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_FRAMECHANGED);
    platform::CloseDrawDib(window.m_hDrawSingle);
    window.m_hDrawSingle = nullptr;
    ::SetTimer(window.m_hWnd, kShowTimerId, 60000, nullptr);
    RestoreSystem();
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
    RestoreSystem();
}

void CFullScreenShow::SwitchScreenSaverOff()
{
    if (!m_bSaverSwitchedOff) {
        g_nSaverActiveSaved = platform::GetScreenSaveActive();
        m_bSaverSwitchedOff = true;
    }
    platform::SetScreenSaveActive(0);
}

void CFullScreenShow::RestoreSystem()
{
    if (m_bSaverSwitchedOff) {
        platform::SetScreenSaveActive(g_nSaverActiveSaved);
        m_bSaverSwitchedOff = false;
    }
    if (m_bDisplayKeptOn) {
        s_pfnSetThreadExecutionState(ES_CONTINUOUS);
        m_bDisplayKeptOn = false;
    }
}
