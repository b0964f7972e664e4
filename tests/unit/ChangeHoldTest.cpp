// The rules that hold timed wallpaper changes back, over an injected system state and a
// simulated clock: a window that ticks each minute, arms the short timer the hold asks for,
// checks at once on events, and counts a change as made when it makes one.
#include "show/ChangeHold.h"
#include "show/Rotation.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr int64_t kStart = 1700000000; // seconds since 1970
constexpr int64_t kMinuteMs = 60000;

class SimulatedChanger {
public:
    // The system's state at a time in milliseconds since the start.
    std::function<SystemState(int64_t)> state = [](int64_t) { return SystemState(); };
    bool notOnBatterySaver = false;
    int32_t intervalMinutes = 10;
    int32_t lastChange = static_cast<int32_t>(kStart);
    std::vector<int64_t> changes; // when each change was made, in ms since the start
    CChangeHold hold;

    // Runs the minute tick and the short timer up to this time.
    void RunUntil(int64_t endMs)
    {
        for (;;) {
            int64_t next = m_nextMinute;
            if (m_recheckAt >= 0 && m_recheckAt < next)
                next = m_recheckAt;
            if (next > endMs)
                break;
            m_now = next;
            if (next == m_nextMinute)
                m_nextMinute += kMinuteMs;
            else
                m_recheckAt = -1;
            Check();
        }
        m_now = endMs;
    }
    // An event that may end a hold (unlock, power change): checked at once.
    void Event() { Check(); }
    void Resume()
    {
        hold.OnResume();
        ArmRecheck();
    }
    // A change by hand (the icon's double click).
    void ChangeByHand() { MakeChange(); }
    int64_t Now() const { return m_now; }

private:
    void Check()
    {
        const int64_t seconds = kStart + m_now / 1000;
        const bool due = WallpaperIntervalPassed(seconds, lastChange, intervalMinutes);
        if (hold.Check(WhyHold(state(m_now), notOnBatterySaver), due))
            MakeChange();
        ArmRecheck();
    }
    void ArmRecheck()
    {
        const uint32_t ms = hold.NextCheckMs();
        m_recheckAt = ms ? m_now + ms : -1;
    }
    void MakeChange()
    {
        changes.push_back(m_now);
        lastChange = StoredTime(kStart + m_now / 1000);
    }

    int64_t m_now = 0;
    int64_t m_nextMinute = kMinuteMs;
    int64_t m_recheckAt = -1;
};

SystemState HeldBy(HoldReason reason)
{
    SystemState s;
    s.sessionAway = reason == HoldReason::Locked;
    s.saverRunning = reason == HoldReason::Saver;
    s.fullScreenForeground = reason == HoldReason::FullScreen;
    s.batterySaver = reason == HoldReason::BatterySaver;
    return s;
}

// Held from 'from' to 'until' (ms since the start) for this reason.
std::function<SystemState(int64_t)> HeldBetween(HoldReason reason, int64_t from, int64_t until)
{
    return [=](int64_t t) { return t >= from && t < until ? HeldBy(reason) : SystemState(); };
}

} // namespace

TEST(WhyHold, EachReasonHoldsAndTheLockComesFirst)
{
    EXPECT_EQ(WhyHold(SystemState(), true), HoldReason::None);
    for (HoldReason r : {HoldReason::Locked, HoldReason::Saver, HoldReason::FullScreen, HoldReason::BatterySaver})
        EXPECT_EQ(WhyHold(HeldBy(r), true), r);

    // The saver and the lock screen are full-screen windows themselves: their own reason wins.
    SystemState all = {true, true, true, true};
    EXPECT_EQ(WhyHold(all, true), HoldReason::Locked);
    all.sessionAway = false;
    EXPECT_EQ(WhyHold(all, true), HoldReason::Saver);
    all.saverRunning = false;
    EXPECT_EQ(WhyHold(all, true), HoldReason::FullScreen);
}

TEST(WhyHold, BatterySaverHoldsOnlyWithTheOption)
{
    EXPECT_EQ(WhyHold(HeldBy(HoldReason::BatterySaver), false), HoldReason::None);
    EXPECT_EQ(WhyHold(HeldBy(HoldReason::BatterySaver), true), HoldReason::BatterySaver);
}

TEST(NotificationState, BusyFullScreenAndPresentationHold)
{
    using namespace notification_state;
    EXPECT_TRUE(NotificationStateHolds(kBusy));
    EXPECT_TRUE(NotificationStateHolds(kD3dFullScreen));
    EXPECT_TRUE(NotificationStateHolds(kPresentationMode));
    for (int other : {0, kNotPresent, kAcceptsNotifications, kQuietTime, kApp, 8, -1})
        EXPECT_FALSE(NotificationStateHolds(other)) << other;
}

TEST(FullScreenWindow, CoversItsWholeMonitor)
{
    ForegroundWindow f;
    f.monitor = {0, 0, 1920, 1080};
    f.window = {0, 0, 1920, 1080};
    EXPECT_TRUE(CoversWholeMonitor(f));
    f.window = {-10, -10, 1930, 1090}; // beyond every edge
    EXPECT_TRUE(CoversWholeMonitor(f));

    // A monitor left of and above the primary.
    f.monitor = {-1024, -768, 0, 0};
    f.window = {-1024, -768, 0, 0};
    EXPECT_TRUE(CoversWholeMonitor(f));
}

TEST(FullScreenWindow, SmallerOrElsewhereOrOrdinaryDoesNot)
{
    ForegroundWindow f;
    f.monitor = {0, 0, 1920, 1080};
    for (HoldRect w : {HoldRect{0, 0, 1919, 1080}, HoldRect{0, 1, 1920, 1080}, HoldRect{1, 0, 1920, 1080},
                       HoldRect{0, 0, 1920, 1040}, // a maximised window above the taskbar
                       HoldRect{1920, 0, 3200, 1024}}) { // covering the monitor beside this one
        f.window = w;
        EXPECT_FALSE(CoversWholeMonitor(f)) << w.left << "," << w.top << "," << w.right << "," << w.bottom;
    }
    // Minimised windows lie far outside every monitor.
    f.window = {-32000, -32000, -31840, -31972};
    EXPECT_FALSE(CoversWholeMonitor(f));
    // No monitor found: an empty rectangle.
    f.window = {0, 0, 1920, 1080};
    f.monitor = {};
    EXPECT_FALSE(CoversWholeMonitor(f));
}

TEST(FullScreenWindow, DesktopTaskbarAndMaximisedWindowsNeverCount)
{
    ForegroundWindow f;
    f.monitor = {0, 0, 1920, 1080};
    f.window = {-8, -8, 1928, 1088};
    f.maximisedWithCaption = true; // with an auto-hidden taskbar
    EXPECT_FALSE(CoversWholeMonitor(f));
    f.maximisedWithCaption = false;
    f.ignored = true;
    EXPECT_FALSE(CoversWholeMonitor(f));

    for (const char* shell : {"Progman", "WorkerW", "Shell_TrayWnd", "Shell_SecondaryTrayWnd"})
        EXPECT_TRUE(IsShellWindowClass(shell)) << shell;
    for (const char* other : {"progman", "WorkerW2", "Notepad", "", "Murlavo.ScreenSaver"})
        EXPECT_FALSE(IsShellWindowClass(other)) << other;
    EXPECT_FALSE(IsShellWindowClass(nullptr));
}

TEST(ChangeHold, WithoutAHoldTheIntervalRules)
{
    SimulatedChanger c;
    c.RunUntil(35 * kMinuteMs);
    EXPECT_EQ(c.changes, (std::vector<int64_t>{10 * kMinuteMs, 20 * kMinuteMs, 30 * kMinuteMs}));
    EXPECT_EQ(c.hold.NextCheckMs(), 0u); // no short timer when nothing waits
}

TEST(ChangeHold, EachReasonHoldsAndTheDueChangeFollowsOnceWithinFiveSeconds)
{
    for (HoldReason r : {HoldReason::Saver, HoldReason::FullScreen, HoldReason::BatterySaver}) {
        SCOPED_TRACE(static_cast<int>(r));
        SimulatedChanger c;
        c.notOnBatterySaver = true;
        // Held from 5 minutes to 37.5 minutes: three intervals pass meanwhile.
        const int64_t end = 37 * kMinuteMs + 30000;
        c.state = HeldBetween(r, 5 * kMinuteMs, end);
        c.RunUntil(end - 1);
        EXPECT_TRUE(c.changes.empty());
        EXPECT_TRUE(c.hold.Holding());
        EXPECT_EQ(c.hold.Reason(), r);
        EXPECT_TRUE(c.hold.Pending());
        EXPECT_GT(c.hold.NextCheckMs(), 0u);
        EXPECT_LE(c.hold.NextCheckMs(), 5000u);

        c.RunUntil(end + 5000);
        ASSERT_EQ(c.changes.size(), 1u);
        EXPECT_GE(c.changes[0], end);
        EXPECT_LE(c.changes[0], end + 5000);
        EXPECT_FALSE(c.hold.Pending());
        EXPECT_EQ(c.hold.NextCheckMs(), 0u);

        // Then the interval counts from that change again.
        c.RunUntil(end + 12 * kMinuteMs);
        ASSERT_EQ(c.changes.size(), 2u);
        EXPECT_GE(c.changes[1] - c.changes[0], 10 * kMinuteMs);
    }
}

TEST(ChangeHold, BatterySaverWithoutTheOptionDoesNotHold)
{
    SimulatedChanger c;
    c.state = HeldBetween(HoldReason::BatterySaver, 0, 60 * kMinuteMs);
    c.RunUntil(10 * kMinuteMs);
    EXPECT_EQ(c.changes, std::vector<int64_t>{10 * kMinuteMs});
}

TEST(ChangeHold, UnlockChangesAtOnceAndHeldMinutesGiveOneChange)
{
    SimulatedChanger c;
    bool locked = false;
    c.state = [&](int64_t) {
        SystemState s;
        s.sessionAway = locked;
        return s;
    };
    c.RunUntil(3 * kMinuteMs);
    locked = true;
    c.Event();
    // Due at 10 minutes, then every minute tick up to 25 minutes finds it still due.
    c.RunUntil(25 * kMinuteMs + 20000);
    EXPECT_TRUE(c.changes.empty());
    locked = false;
    c.Event();
    EXPECT_EQ(c.changes, std::vector<int64_t>{c.Now()});
    c.RunUntil(30 * kMinuteMs);
    EXPECT_EQ(c.changes.size(), 1u);
}

TEST(ChangeHold, NothingDueNothingAtTheEnd)
{
    SimulatedChanger c;
    c.state = HeldBetween(HoldReason::FullScreen, 1 * kMinuteMs, 4 * kMinuteMs + 500);
    c.RunUntil(3 * kMinuteMs);
    EXPECT_TRUE(c.hold.Holding());
    EXPECT_FALSE(c.hold.Pending());
    EXPECT_EQ(c.hold.NextCheckMs(), 0u); // the minute tick is enough
    c.RunUntil(9 * kMinuteMs + 59000);
    EXPECT_FALSE(c.hold.Holding());
    EXPECT_TRUE(c.changes.empty());
}

TEST(ChangeHold, AChangeByHandDuringTheHoldLeavesNoneDue)
{
    SimulatedChanger c;
    c.state = HeldBetween(HoldReason::FullScreen, 0, 15 * kMinuteMs + 100);
    c.RunUntil(12 * kMinuteMs);
    EXPECT_TRUE(c.hold.Pending());
    c.ChangeByHand();
    c.RunUntil(20 * kMinuteMs);
    EXPECT_EQ(c.changes, std::vector<int64_t>{12 * kMinuteMs});
}

TEST(ChangeHold, ResumeGivesOneChangeSoon)
{
    SimulatedChanger c;
    c.RunUntil(5 * kMinuteMs);
    // Asleep for an hour: no tick ran; then both resume messages arrive.
    c.lastChange = static_cast<int32_t>(kStart - 55 * 60);
    c.Resume();
    c.Resume();
    EXPECT_GT(c.hold.NextCheckMs(), 0u);
    c.RunUntil(5 * kMinuteMs + 5000);
    EXPECT_EQ(c.changes.size(), 1u);
    c.RunUntil(5 * kMinuteMs + 59000);
    EXPECT_EQ(c.changes.size(), 1u);
    EXPECT_EQ(c.hold.NextCheckMs(), 0u);
}

TEST(ChangeHold, ResumeIntoALockedSessionWaitsForTheUnlock)
{
    SimulatedChanger c;
    bool locked = true;
    c.state = [&](int64_t) {
        SystemState s;
        s.sessionAway = locked;
        return s;
    };
    c.lastChange = static_cast<int32_t>(kStart - 3600);
    c.Resume();
    c.RunUntil(2 * kMinuteMs);
    EXPECT_TRUE(c.changes.empty());
    EXPECT_TRUE(c.hold.Pending());
    locked = false;
    c.Event();
    c.Resume(); // a late second resume message
    c.RunUntil(3 * kMinuteMs);
    EXPECT_EQ(c.changes.size(), 1u);
}

TEST(ChangeHold, ResumeWithNothingDueChangesNothing)
{
    SimulatedChanger c;
    c.RunUntil(2 * kMinuteMs);
    c.Resume();
    c.RunUntil(3 * kMinuteMs);
    EXPECT_TRUE(c.changes.empty());
    EXPECT_EQ(c.hold.NextCheckMs(), 0u);
}
