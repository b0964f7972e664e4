// The full-screen slide show the wallpaper changer runs from its icon's menu ("&Murlavo"), in
// its own hidden window: the window covers every monitor (the show on the primary screen as
// with one monitor), the screen saver is switched off and the display kept on while it runs,
// both given back however the show ends, and Escape alone ends it.
#pragma once
#include <windows.h>

class CShowWnd;

class CFullScreenShow {
public:
    explicit CFullScreenShow(CShowWnd& window) : m_window(window) {}
    ~CFullScreenShow();
    CFullScreenShow(const CFullScreenShow&) = delete;
    CFullScreenShow& operator=(const CFullScreenShow&) = delete;

    // Shows the window over the screen and starts the slides from the first picture. Does
    // nothing visible when the drawing handles cannot be opened.
    void Start();
    // Hides the window again and goes back to the wallpaper changer's minute timer.
    void End();
    bool Running() const { return m_bRunning; }
    // Escape ends the show; true when the key did.
    bool OnKeyDown(UINT key);
    // The window is being destroyed: what the show switched off comes back.
    void OnWindowDestroyed();

    // SetThreadExecutionState; replaceable by tests.
    static EXECUTION_STATE(WINAPI* s_pfnSetThreadExecutionState)(EXECUTION_STATE flags);

private:
    void SwitchScreenSaverOff();
    // The screen saver's setting and the display's idle timeout as they were before the show.
    void RestoreSystem();

    CShowWnd& m_window;
    bool m_bRunning = false;
    // The show switched the screen saver off; it is switched back however the show ends.
    bool m_bSaverSwitchedOff = false;
    // The show asked the system to keep the display on.
    bool m_bDisplayKeptOn = false;
};

// The system's screen-saver-active setting, saved while the full-screen show runs.
extern int g_nSaverActiveSaved;
