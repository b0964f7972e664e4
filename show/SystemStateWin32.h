// What holds timed wallpaper changes back, read from the system: the shell's notification
// state, the foreground window, the screen saver, battery saver, and the session's lock
// (which the system tells a registered window about).
#pragma once
#include <windows.h>

#include "framework/Handles.h"
#include "show/ChangeHold.h"

// Tracks whether this session is locked or disconnected, from the WM_WTSSESSION_CHANGE
// messages the system sends a registered window. Unregisters in its destructor.
class CSessionWatch {
public:
    CSessionWatch() = default;
    ~CSessionWatch() { Stop(); }
    CSessionWatch(const CSessionWatch&) = delete;
    CSessionWatch& operator=(const CSessionWatch&) = delete;

    // Asks for WM_WTSSESSION_CHANGE of this session at the window. False where the system
    // has no such service or refuses: the session then counts as present.
    bool Start(HWND window);
    void Stop();
    // The wParam of WM_WTSSESSION_CHANGE; true when Away() changed.
    bool OnSessionChange(WPARAM event);
    // Locked, or disconnected (another user's session is on the console, a remote
    // connection ended).
    bool Away() const { return m_locked || m_disconnected; }

private:
    CModule m_wtsapi;
    HWND m_window = nullptr;
    bool m_locked = false;
    bool m_disconnected = false;
};

// The shell's user-notification state (notification_state values); 0 where the shell has no
// such call or it fails.
int QueryNotificationState();
// The foreground window belongs to another program (not the desktop, the taskbar or this
// process) and covers its whole monitor.
bool ForegroundWindowCoversMonitor();
// The system says a screen saver runs, or our own saver's window is on the screen (the
// system does not always know about it).
bool AnySaverRunning();
// Windows' battery saver is on.
bool BatterySaverOn();

// The system's state now; whether the session is away comes from the watch.
SystemState ReadSystemState(bool sessionAway);
// What the changer reads: ReadSystemState; tests put their own state here.
extern SystemState (*g_pfnReadSystemState)(bool sessionAway);
