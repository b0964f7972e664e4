#include "show/SystemStateWin32.h"

#include "app/WindowNames.h"
#include "platform/Desktop.h"

namespace {
// wtsapi32 and shell32 calls are looked up where they are used: a system may lack them.
template <typename Fn>
Fn Export(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Event codes of WM_WTSSESSION_CHANGE.
constexpr WPARAM kConsoleConnect = 1;
constexpr WPARAM kConsoleDisconnect = 2;
constexpr WPARAM kRemoteConnect = 3;
constexpr WPARAM kRemoteDisconnect = 4;
constexpr WPARAM kSessionLock = 7;
constexpr WPARAM kSessionUnlock = 8;
constexpr DWORD kNotifyForThisSession = 0;

HoldRect ToHoldRect(const RECT& r)
{
    HoldRect h;
    h.left = r.left;
    h.top = r.top;
    h.right = r.right;
    h.bottom = r.bottom;
    return h;
}
} // namespace

bool CSessionWatch::Start(HWND window)
{
    Stop();
    using RegisterFn = BOOL(WINAPI*)(HWND, DWORD);
    m_wtsapi.Reset(::LoadLibraryA("wtsapi32.dll"));
    auto registerWindow = Export<RegisterFn>(m_wtsapi.Get(), "WTSRegisterSessionNotification");
    if (!registerWindow || !registerWindow(window, kNotifyForThisSession)) {
        m_wtsapi.Reset();
        return false;
    }
    m_window = window;
    return true;
}

void CSessionWatch::Stop()
{
    if (m_window) {
        using UnregisterFn = BOOL(WINAPI*)(HWND);
        if (auto unregisterWindow = Export<UnregisterFn>(m_wtsapi.Get(), "WTSUnRegisterSessionNotification"))
            unregisterWindow(m_window);
        m_window = nullptr;
    }
    m_wtsapi.Reset();
}

bool CSessionWatch::OnSessionChange(WPARAM event)
{
    const bool away = Away();
    switch (event) {
    case kSessionLock:
        m_locked = true;
        break;
    case kSessionUnlock:
        m_locked = false;
        break;
    case kConsoleDisconnect:
    case kRemoteDisconnect:
        m_disconnected = true;
        break;
    case kConsoleConnect:
    case kRemoteConnect:
        // A session that comes back shows its lock screen first: still locked until unlocked.
        m_disconnected = false;
        break;
    default:
        break;
    }
    return Away() != away;
}

int QueryNotificationState()
{
    using QueryFn = HRESULT(WINAPI*)(int*);
    // Windows Vista and later; the module is loaded already in a program with an icon.
    CModule shell(::LoadLibraryA("shell32.dll"));
    auto query = Export<QueryFn>(shell.Get(), "SHQueryUserNotificationState");
    int state = 0;
    if (!query || FAILED(query(&state)))
        return 0;
    return state;
}

bool ForegroundWindowCoversMonitor()
{
    const HWND window = ::GetForegroundWindow();
    if (!window || !::IsWindowVisible(window))
        return false;
    ForegroundWindow f;
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    char className[64] = "";
    ::GetClassNameA(window, className, sizeof className);
    f.ignored = window == ::GetDesktopWindow() || window == ::GetShellWindow() ||
                process == ::GetCurrentProcessId() || IsShellWindowClass(className);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    f.maximisedWithCaption = ::IsZoomed(window) && (style & WS_CAPTION) == WS_CAPTION;

    RECT rect {};
    if (!::GetWindowRect(window, &rect))
        return false;
    f.window = ToHoldRect(rect);
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    const HMONITOR hmonitor = ::MonitorFromWindow(window, MONITOR_DEFAULTTONULL);
    if (!hmonitor || !::GetMonitorInfoW(hmonitor, &monitor))
        return false;
    f.monitor = ToHoldRect(monitor.rcMonitor);
    return CoversWholeMonitor(f);
}

bool AnySaverRunning()
{
    if (platform::ScreenSaverRunning())
        return true;
    const HWND saver = ::FindWindowA(kSaverClassName, nullptr);
    return saver && ::IsWindowVisible(saver);
}

bool BatterySaverOn()
{
    SYSTEM_POWER_STATUS status {};
    // The fourth byte is SystemStatusFlag (1: battery saver on); older headers call it Reserved1.
    return ::GetSystemPowerStatus(&status) && status.Reserved1 == 1;
}

SystemState ReadSystemState(bool sessionAway)
{
    SystemState state;
    state.sessionAway = sessionAway;
    state.saverRunning = AnySaverRunning();
    state.fullScreenForeground = NotificationStateHolds(QueryNotificationState()) || ForegroundWindowCoversMonitor();
    state.batterySaver = BatterySaverOn();
    return state;
}

SystemState (*g_pfnReadSystemState)(bool sessionAway) = ReadSystemState;
