// When the wallpaper changer holds its timed changes back: a full-screen program in the
// foreground, a locked or disconnected session, a running screen saver, battery saver (when
// the user asked). A change that falls due meanwhile happens once, soon after the hold ends.
// Plain values and rules, free of window code (portable); SystemStateWin32 reads the system.
#pragma once
#include <cstdint>

// Why timed changes wait now; the first that applies, in this order of precedence.
enum class HoldReason {
    None,
    Locked,       // the session is locked or disconnected
    Saver,        // a screen saver runs
    FullScreen,   // a full-screen program is in the foreground
    BatterySaver, // battery saver is on and the user ticked "Not on battery saver"
};

struct SystemState {
    bool fullScreenForeground = false;
    bool sessionAway = false; // locked or disconnected
    bool saverRunning = false;
    bool batterySaver = false;
};

// The lock and the saver come first: both cover the screen with a window of their own, which
// would otherwise read as a full-screen program.
HoldReason WhyHold(const SystemState& state, bool notOnBatterySaver);

// Values of the shell's user-notification state.
namespace notification_state {
constexpr int kNotPresent = 1;         // saver, lock or another user's session
constexpr int kBusy = 2;               // a full-screen program or presentation settings
constexpr int kD3dFullScreen = 3;      // an exclusive full-screen Direct3D program
constexpr int kPresentationMode = 4;   // the user turned presentation mode on
constexpr int kAcceptsNotifications = 5;
constexpr int kQuietTime = 6;          // the first hour after a new user's first logon
constexpr int kApp = 7;                // a store app is in the foreground
} // namespace notification_state

// Whether the shell's notification state means a full-screen program or a presentation.
// Unknown values (0 when the shell gives none) do not hold.
bool NotificationStateHolds(int state);

struct HoldRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The foreground window as far as the full-screen rule needs it.
struct ForegroundWindow {
    HoldRect window;  // its rectangle on the screen
    HoldRect monitor; // the whole rectangle of the monitor it is on
    bool ignored = false;              // the desktop, the taskbar, or a window of our own
    bool maximisedWithCaption = false; // an ordinary maximised window
};

// The shell's own desktop and taskbar windows, by class: they never count as a program.
bool IsShellWindowClass(const char* className);

// The window covers its whole monitor. A maximised window with a title bar does not, even
// where an auto-hidden taskbar lets it reach every edge: it is an ordinary window.
bool CoversWholeMonitor(const ForegroundWindow& foreground);

// Holds timed changes back while a reason applies. The window calls Check at its minute
// tick, at the short timer NextCheckMs asks for, and at the events that may end a hold
// (unlock, resume, power change). Whether a change is due stays the window's own rule (the
// interval since the last change), so any number of intervals that passed while held give
// one change, and a change made meanwhile by hand leaves none.
class CChangeHold {
public:
    // Period of the short timer while a due change waits: a hold the window cannot be told
    // about (a full-screen program or the saver ending) is noticed within this time.
    static constexpr uint32_t kRecheckMs = 2000;

    // The present reason and whether the interval has passed: true when the window should
    // change the wallpaper now.
    bool Check(HoldReason reason, bool changeDue);
    // After resume from sleep or hibernation: the next check comes soon rather than at the
    // next minute. Both resume messages may arrive; they give one check.
    void OnResume() { m_checkSoon = true; }
    // Milliseconds until the window should call Check again outside its minute tick; 0 when
    // the minute tick is enough.
    uint32_t NextCheckMs() const { return m_pending || m_checkSoon ? kRecheckMs : 0; }

    HoldReason Reason() const { return m_reason; }
    bool Holding() const { return m_reason != HoldReason::None; }
    // A change fell due while held and waits for the hold to end.
    bool Pending() const { return m_pending; }

private:
    HoldReason m_reason = HoldReason::None;
    bool m_pending = false;
    bool m_checkSoon = false;
};
