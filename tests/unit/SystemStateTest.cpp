// The system's state as the changer reads it: a borderless window of another program that
// covers the screen counts as full screen (and no longer once closed), a smaller one and our
// own do not; our saver's window counts as a running saver; the session's lock and
// disconnection as the system reports them.
#include "app/WindowNames.h"
#include "show/SystemStateWin32.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A window of another process in the foreground ("full" or "small"), closed at the end.
class ForegroundProgram {
public:
    ~ForegroundProgram() { Close(); }
    void Start(const char* size)
    {
        ASSERT_TRUE(m_process.Start(ExeDir() + "\\foreground_window_helper.exe", size));
        ASSERT_TRUE(PumpUntil(
            [this] {
                for (HWND w : WindowsOfProcess(m_process.Id()))
                    if (::IsWindowVisible(w))
                        m_window = w;
                return m_window != nullptr;
            },
            20000));
        ASSERT_TRUE(PumpUntil(
            [this] {
                if (::GetForegroundWindow() != m_window)
                    ::SetForegroundWindow(m_window);
                return ::GetForegroundWindow() == m_window;
            },
            10000));
    }
    void Close()
    {
        if (m_window && ::IsWindow(m_window)) {
            ::PostMessageA(m_window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(m_process.WaitForExit(20000));
        }
        m_window = nullptr;
    }

private:
    ChildProcess m_process;
    HWND m_window = nullptr;
};

// A plain top-level window of this process.
HWND OwnWindow(const char* cls, DWORD style, int cx, int cy)
{
    WNDCLASSA wc {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, cls, "Own", style, 0, 0, cx, cy, nullptr, nullptr, wc.hInstance, nullptr);
}

} // namespace

TEST(SystemState, AnotherProgramCoveringTheScreenIsFullScreenUntilItCloses)
{
    {
        ForegroundProgram program;
        program.Start("full");
        EXPECT_TRUE(PumpUntil([] { return ForegroundWindowCoversMonitor(); }, 10000));
        EXPECT_TRUE(ReadSystemState(false).fullScreenForeground);
        EXPECT_EQ(WhyHold(ReadSystemState(false), false), HoldReason::FullScreen);
        program.Close();
    }
    EXPECT_TRUE(PumpUntil([] { return !ForegroundWindowCoversMonitor(); }, 10000));
}

TEST(SystemState, ASmallerWindowIsNotFullScreen)
{
    ForegroundProgram program;
    program.Start("small");
    EXPECT_FALSE(ForegroundWindowCoversMonitor());
}

TEST(SystemState, OurOwnWindowsDoNotCount)
{
    const HWND own = OwnWindow("Murlavo.TestOwnFullScreen", WS_POPUP | WS_VISIBLE, ::GetSystemMetrics(SM_CXSCREEN),
                               ::GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(own);
    ASSERT_TRUE(PumpUntil(
        [own] {
            ::SetForegroundWindow(own);
            return ::GetForegroundWindow() == own;
        },
        10000));
    EXPECT_FALSE(ForegroundWindowCoversMonitor());
    ::DestroyWindow(own);
}

TEST(SystemState, NotificationStateIsKnownOrAbsent)
{
    // Wine may lack the call (0) or give a fixed value; Windows gives one of 1..7.
    const int state = QueryNotificationState();
    EXPECT_TRUE(state == 0 || (state >= notification_state::kNotPresent && state <= notification_state::kApp))
        << state;
}

TEST(SystemState, OurSaverWindowCountsAsARunningSaver)
{
    ASSERT_FALSE(AnySaverRunning());
    const HWND saver = OwnWindow(kSaverClassName, WS_POPUP, 100, 100);
    ASSERT_TRUE(saver);
    EXPECT_FALSE(AnySaverRunning()); // not yet on the screen
    ::ShowWindow(saver, SW_SHOWNA);
    EXPECT_TRUE(AnySaverRunning());
    EXPECT_EQ(WhyHold(ReadSystemState(false), false), HoldReason::Saver);
    ::DestroyWindow(saver);
    EXPECT_FALSE(AnySaverRunning());
}

TEST(SessionWatch, LockAndDisconnectionAsTheSystemReportsThem)
{
    const HWND window = OwnWindow("Murlavo.TestSessionWatch", WS_OVERLAPPED, 10, 10);
    ASSERT_TRUE(window);
    {
        CSessionWatch watch;
        watch.Start(window); // refused where the system has no such service: the messages still count
        EXPECT_FALSE(watch.Away());

        EXPECT_TRUE(watch.OnSessionChange(WTS_SESSION_LOCK));
        EXPECT_TRUE(watch.Away());
        EXPECT_EQ(WhyHold(ReadSystemState(watch.Away()), false), HoldReason::Locked);
        EXPECT_FALSE(watch.OnSessionChange(WTS_SESSION_LOCK));
        EXPECT_TRUE(watch.OnSessionChange(WTS_SESSION_UNLOCK));
        EXPECT_FALSE(watch.Away());

        // Switching users: lock, the console goes to the other session, comes back, unlock.
        watch.OnSessionChange(WTS_SESSION_LOCK);
        watch.OnSessionChange(WTS_CONSOLE_DISCONNECT);
        EXPECT_FALSE(watch.OnSessionChange(WTS_CONSOLE_CONNECT)); // the lock screen shows first
        EXPECT_TRUE(watch.Away());
        EXPECT_TRUE(watch.OnSessionChange(WTS_SESSION_UNLOCK));
        EXPECT_FALSE(watch.Away());

        // A remote session whose connection ended, then came back.
        EXPECT_TRUE(watch.OnSessionChange(WTS_REMOTE_DISCONNECT));
        EXPECT_TRUE(watch.Away());
        EXPECT_TRUE(watch.OnSessionChange(WTS_REMOTE_CONNECT));
        EXPECT_FALSE(watch.Away());

        // Logon, logoff and the like say nothing about being away.
        EXPECT_FALSE(watch.OnSessionChange(WTS_SESSION_LOGON));
        EXPECT_FALSE(watch.OnSessionChange(WTS_SESSION_REMOTE_CONTROL));
        EXPECT_FALSE(watch.Away());
    }
    ::DestroyWindow(window);
}
