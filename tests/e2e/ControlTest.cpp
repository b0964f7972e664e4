// The running wallpaper changer controlled from outside, as processes: the command line's
// requests with their exit codes, pause and resume, a full-screen program of another process
// holding the timed change, and a global hotkey pressed on the keyboard.
#include "app/WindowNames.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <ctime>

using namespace testing_support;

namespace {
const char kChanger[] = "Software\\Orvane Inc.\\Murlavo\\Changer";

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("control");
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc."));
        ::DeleteFileA(WallpaperFile().c_str());
        a = dir + "\\a.bmp";
        b = dir + "\\b.bmp";
        ASSERT_TRUE(WritePatternPicture(a, 8, 8, 1));
        ASSERT_TRUE(WritePatternPicture(b, 8, 8, 2));
        ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(a), PictureRecord(b)}));
        SetChangerInt("Order", 1);
    }
    void TearDown() override
    {
        if (changer)
            ::PostMessageA(changer, WM_CLOSE, 0, 0);
        if (process.Id())
            process.WaitForExit(10000);
        DeleteLibrary();
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc.");
    }
    // Starts the changer; `justChanged`: the interval counts from now (no timed change due).
    void StartChanger(bool justChanged)
    {
        SetChangerInt("LastChange", justChanged ? static_cast<unsigned long>(std::time(nullptr)) : 0);
        ASSERT_TRUE(process.Start(MurlavoExe(), "/v"));
        ASSERT_TRUE(PumpUntil([this] { return (changer = ::FindWindowA(kChangerClassName, nullptr)) != nullptr; },
                              15000));
    }
    // Runs murlavo.exe with a request; its exit code.
    static DWORD Request(const char* line)
    {
        ChildProcess request;
        DWORD code = 99;
        EXPECT_TRUE(request.Start(MurlavoExe(), line));
        EXPECT_TRUE(request.WaitForExit(15000, &code)) << line;
        return code;
    }
    // The changer's last wallpaper, once its window has handled everything sent before.
    std::string LastWallpaper() const
    {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(changer, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
        std::string path;
        ReadRegString(HKEY_CURRENT_USER, kChanger, "LastWallpaper", &path);
        return path;
    }
    bool WaitForWallpaper(const std::string& path) const
    {
        return PumpUntil([&] { return LastWallpaper() == path; }, 20000);
    }
    // The minute's tick, as the changer's timer gives it.
    void Tick() const { ::PostMessageA(changer, WM_TIMER, 1, 0); }

    std::string dir, a, b;
    ChildProcess process;
    HWND changer = nullptr;
};
} // namespace

TEST_F(ControlTest, RequestsWithoutAChangerStartNothingAndEndWithTwo)
{
    for (const char* line : {"/next", "-PREVIOUS", "/pause", "/Resume"}) {
        EXPECT_EQ(Request(line), 2u) << line;
        EXPECT_EQ(::FindWindowA(kChangerClassName, nullptr), nullptr) << line;
        EXPECT_EQ(::FindWindowA(kSaverClassName, nullptr), nullptr) << line;
    }
}

// Started from a console with its standard error redirected, the request says why in one line.
TEST_F(ControlTest, WithoutAChangerTheConsoleIsToldInOneLine)
{
    const std::string log = dir + "\\stderr.txt";
    ChildProcess shell;
    ASSERT_TRUE(shell.Start("C:\\windows\\system32\\cmd.exe",
                            "/c \"\"" + MurlavoExe() + "\" /next 2> \"" + log + "\"\""));
    DWORD code = 99;
    ASSERT_TRUE(shell.WaitForExit(15000, &code));
    EXPECT_EQ(code, 2u); // cmd ends with the program's code
    const std::string text = ReadWholeFile(log);
    EXPECT_NE(text.find("no wallpaper changer runs"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

TEST_F(ControlTest, NextAndPreviousReachTheRunningChanger)
{
    StartChanger(true);
    EXPECT_EQ(Request("/next"), 0u);
    EXPECT_TRUE(WaitForWallpaper(a));
    EXPECT_EQ(Request("/next"), 0u);
    EXPECT_TRUE(WaitForWallpaper(b));
    EXPECT_EQ(Request("/previous"), 0u);
    EXPECT_TRUE(WaitForWallpaper(a));
}

TEST_F(ControlTest, PauseHoldsTheTimedChangeUntilResume)
{
    StartChanger(false);
    EXPECT_EQ(Request("/pause"), 0u);
    DWORD paused = 0;
    EXPECT_TRUE(PumpUntil([&] { return ReadRegDword(HKEY_CURRENT_USER, kChanger, "Paused", &paused) && paused == 1; },
                          10000));
    Tick();
    EXPECT_EQ(LastWallpaper(), "");
    EXPECT_EQ(Request("/resume"), 0u);
    Tick();
    EXPECT_TRUE(WaitForWallpaper(a));
}

TEST_F(ControlTest, AFullScreenProgramHoldsTheTimedChangeAndClosingItReleasesOne)
{
    StartChanger(false);
    ChildProcess program;
    ASSERT_TRUE(program.Start(ExeDir() + "\\foreground_window_helper.exe", "full"));
    HWND full = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] { return (full = ::FindWindowA("Murlavo.TestForeground", nullptr)) && ::GetForegroundWindow() == full; },
        15000));
    Tick();
    EXPECT_EQ(LastWallpaper(), "");
    ::PostMessageA(full, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(10000));
    EXPECT_TRUE(WaitForWallpaper(a));
    // One change: the next one waits for its interval.
    Tick();
    EXPECT_EQ(LastWallpaper(), a);
}

TEST_F(ControlTest, AGlobalHotkeyPressedChangesThePicture)
{
    // Ctrl+Alt+F12 for Next, as the Options dialog stores it.
    SetChangerInt("HotkeyNext", VK_F12 | ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8));
    StartChanger(true);
    LastWallpaper(); // the window has registered its hotkeys
    // The keys go to whatever program has the keyboard: a window of this test here.
    HWND typing = ::CreateWindowExA(0, "STATIC", "typing", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(typing, nullptr);
    ::SetForegroundWindow(typing);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == typing; }, 10000));
    INPUT keys[6] = {};
    const WORD sequence[6] = {VK_CONTROL, VK_MENU, VK_F12, VK_F12, VK_MENU, VK_CONTROL};
    for (int i = 0; i < 6; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i];
        keys[i].ki.dwFlags = i >= 3 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(::SendInput(6, keys, sizeof(INPUT)), 6u);
    EXPECT_TRUE(WaitForWallpaper(a));
    ::DestroyWindow(typing);
}
