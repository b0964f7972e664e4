#include "show/ChangeHold.h"

#include <cstring>

HoldReason WhyHold(const SystemState& state, bool notOnBatterySaver)
{
    if (state.sessionAway)
        return HoldReason::Locked;
    if (state.saverRunning)
        return HoldReason::Saver;
    if (state.fullScreenForeground)
        return HoldReason::FullScreen;
    if (notOnBatterySaver && state.batterySaver)
        return HoldReason::BatterySaver;
    return HoldReason::None;
}

bool NotificationStateHolds(int state)
{
    return state == notification_state::kBusy || state == notification_state::kD3dFullScreen ||
           state == notification_state::kPresentationMode;
}

bool IsShellWindowClass(const char* className)
{
    static const char* const kShellClasses[] = {"Progman", "WorkerW", "Shell_TrayWnd",
                                                "Shell_SecondaryTrayWnd"};
    if (!className)
        return false;
    for (const char* shellClass : kShellClasses)
        if (std::strcmp(className, shellClass) == 0)
            return true;
    return false;
}

bool CoversWholeMonitor(const ForegroundWindow& foreground)
{
    if (foreground.ignored || foreground.maximisedWithCaption)
        return false;
    const HoldRect& w = foreground.window;
    const HoldRect& m = foreground.monitor;
    if (m.right <= m.left || m.bottom <= m.top)
        return false;
    return w.left <= m.left && w.top <= m.top && w.right >= m.right && w.bottom >= m.bottom;
}

bool CChangeHold::Check(HoldReason reason, bool changeDue)
{
    m_reason = reason;
    m_checkSoon = false;
    if (reason != HoldReason::None) {
        // Remember only whether one is due now: a change by hand meanwhile cancels it.
        m_pending = changeDue;
        return false;
    }
    m_pending = false;
    return changeDue;
}
