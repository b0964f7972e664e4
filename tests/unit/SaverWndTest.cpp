// The full-screen saver window in-process: geometry, the input rules that end it, the
// system commands it refuses, and the password flow of the Windows 95 family.
#include "app/Globals.h"
#include "image/PictureImage.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "platform/Monitors.h"
#include "saver/SaverWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
class SaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_settings = CChangerSettings();
        g_settings.m_nSlideShow = 5;
        g_bShowRole = true;
        g_bWin95Family = false;
        DeleteLibrary();
        // The pointer rests at a known place before the saver appears, so every move the
        // system reports for the new window is at that place and never counts as a new one.
        ::SetCursorPos(500, 500);
        saver = new CSaverWnd;
        ASSERT_TRUE(saver->Create());
        hwnd = saver->m_hWnd;
        // The first position, recorded now rather than whenever the system's move arrives.
        ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(500, 500));
        HandlePostedMessages();
        ASSERT_TRUE(::IsWindow(hwnd));
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        g_bWin95Family = false;
        ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD", nullptr);
        ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD_INPUT", nullptr);
        DeleteRegValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
        if (fake)
            ::FreeLibrary(fake);
    }

    // Sends the message; true when the saver then closes (its posted WM_CLOSE is handled).
    bool Ends(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        ::SendMessageA(hwnd, msg, wParam, lParam);
        HandlePostedMessages();
        return !::IsWindow(hwnd);
    }
    // Moves the real pointer (the saver covers the screen from (0, 0), so screen positions are
    // its client positions) and waits until the saver has seen the new position; true when the
    // saver then closes. Synthetic moves would race with the ones the system sends at the
    // pointer's real position.
    bool EndsOnMove(int x, int y)
    {
        ::SetCursorPos(x, y);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd) || (saver->m_nLastX == x && saver->m_nLastY == y); },
                              20000))
            << "the move to " << x << "," << y << " never arrived";
        HandlePostedMessages();
        return !::IsWindow(hwnd);
    }

    void UsePassword(const char* answer)
    {
        g_bWin95Family = true;
        HKEY key;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        DWORD one = 1;
        ::RegSetValueExA(key, "ScreenSaveUsePassword", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof one);
        ::RegCloseKey(key);
        ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD", answer);
        // Held loaded for the test, so its call counter survives the saver's load and unload.
        fake = ::LoadLibraryA("password.cpl");
        ASSERT_NE(fake, nullptr);
    }

    LONG PasswordCalls()
    {
        auto calls = reinterpret_cast<LONG(WINAPI*)()>(
            reinterpret_cast<void (*)()>(::GetProcAddress(fake, "FakePasswordCalls")));
        return calls ? calls() : -1;
    }

    HMODULE fake = nullptr; // the stand-in password module beside the test
    CSaverWnd* saver = nullptr;
    HWND hwnd = nullptr;
};
} // namespace

TEST_F(SaverTest, CoversThePrimaryScreenOnTop)
{
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    // One monitor: the whole window is client area, the show's as before.
    RECT client;
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, rect.right);
    EXPECT_EQ(client.bottom, rect.bottom);
    EXPECT_TRUE(::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    char title[32] = "";
    ::GetWindowTextA(hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Wallpaper");
    EXPECT_EQ(saver->m_bShowMode, 1);
    EXPECT_EQ(saver->m_bPreview, 0);
}

TEST_F(SaverTest, FirstMoveRecordsTwoMoreAreToleratedTheThirdEnds)
{
    for (int i = 0; i < 20; ++i) // the same position never counts
        ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(500, 500));
    HandlePostedMessages();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(saver->m_nLastX, 500);
    EXPECT_EQ(saver->m_nLastY, 500);
    EXPECT_EQ(saver->m_nMovesLeft, 2);
    EXPECT_FALSE(EndsOnMove(501, 500));
    EXPECT_FALSE(EndsOnMove(501, 502));
    EXPECT_TRUE(EndsOnMove(300, 12));
}

TEST_F(SaverTest, ReleasesDoNotEndButPressesDo)
{
    EXPECT_FALSE(Ends(WM_KEYUP, 'A'));
    EXPECT_FALSE(Ends(WM_LBUTTONUP));
    EXPECT_FALSE(Ends(WM_RBUTTONUP));
    EXPECT_FALSE(Ends(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_FALSE(Ends(WM_SYSCOMMAND, SC_SCREENSAVE));
    EXPECT_FALSE(Ends(WM_ACTIVATE, WA_ACTIVE));
    EXPECT_TRUE(Ends(WM_KEYDOWN, 'A'));
}

TEST_F(SaverTest, ButtonPressEnds)
{
    EXPECT_TRUE(Ends(WM_MBUTTONDOWN));
}

TEST_F(SaverTest, SystemKeyEnds)
{
    EXPECT_TRUE(Ends(WM_SYSKEYDOWN, VK_F4));
}

TEST_F(SaverTest, LosingActivationEnds)
{
    EXPECT_FALSE(Ends(WM_NCACTIVATE, FALSE)); // refused, not an end request
    EXPECT_TRUE(Ends(WM_ACTIVATEAPP, FALSE));
}

TEST_F(SaverTest, WrongPasswordKeepsTheSaverRightOneEndsIt)
{
    UsePassword("wrong");
    LONG calls = PasswordCalls();
    EXPECT_FALSE(Ends(WM_KEYDOWN, 'A'));
    EXPECT_EQ(PasswordCalls(), calls + 1);
    EXPECT_EQ(saver->m_nMovesLeft, 2);
    // After a wrong password two new positions are tolerated again, the third asks again.
    EXPECT_FALSE(EndsOnMove(501, 501));
    EXPECT_FALSE(EndsOnMove(502, 502));
    EXPECT_FALSE(EndsOnMove(503, 503));
    EXPECT_FALSE(EndsOnMove(504, 504));
    EXPECT_EQ(PasswordCalls(), calls + 2);

    // The right password ends the saver; losing the activation as its window goes does not
    // ask again.
    ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD", "right");
    EXPECT_TRUE(Ends(WM_LBUTTONDOWN));
    HandlePostedMessages();
    EXPECT_EQ(PasswordCalls(), calls + 3);
}

TEST_F(SaverTest, InputDuringThePromptOpensNoSecondPrompt)
{
    UsePassword("wrong");
    ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD_INPUT", "keys");
    LONG calls = PasswordCalls();
    EXPECT_FALSE(Ends(WM_KEYDOWN, 'A'));
    EXPECT_EQ(PasswordCalls(), calls + 1);
    EXPECT_FALSE(CSaverWnd::s_bCheckingPassword);
}

TEST_F(SaverTest, CloseRequestDuringThePromptCannotBypassIt)
{
    UsePassword("wrong");
    ::SetEnvironmentVariableA("MURLAVO_FAKE_PASSWORD_INPUT", "close");
    EXPECT_FALSE(Ends(WM_KEYDOWN, 'A'));
    EXPECT_EQ(saver->m_nMovesLeft, 2);
}

TEST_F(SaverTest, NoPasswordCheckOutsideTheWindows95Family)
{
    UsePassword("wrong");
    g_bWin95Family = false;
    EXPECT_TRUE(Ends(WM_KEYDOWN, 'A'));
    EXPECT_EQ(PasswordCalls(), 0);
}

namespace {
void SetPasswordValue(DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "ScreenSaveUsePassword", 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}
} // namespace

// The password setting of another type or size reads as "no password", never as whatever its
// bytes happen to say; the decimal text other systems store is read as its number.
TEST_F(SaverTest, PasswordSettingOfAnotherTypeOrSize)
{
    const DWORD one = 1, zero = 0;
    const uint64_t eight = 0x0000000100000001ull;
    struct Form {
        DWORD type;
        const void* data;
        DWORD size;
        DWORD expected;
    } forms[] = {
        {REG_DWORD, &one, 4, 1},         {REG_DWORD, &zero, 4, 0},        {REG_BINARY, &one, 4, 1},
        {REG_BINARY, &eight, 8, 0},      {REG_QWORD, &eight, 8, 0},       {REG_BINARY, &one, 2, 0},
        {REG_SZ, "1", 2, 1},             {REG_SZ, "0", 2, 0},             {REG_SZ, "123", 4, 123},
        {REG_SZ, "yes", 4, 0},           {REG_MULTI_SZ, "1\0", 3, 0},     {REG_SZ, "12345678901234567", 18, 0},
    };
    for (const Form& form : forms) {
        SetPasswordValue(form.type, form.data, form.size);
        EXPECT_EQ(platform::ReadScreenSaveUsePassword(), form.expected) << form.type << " of " << form.size;
    }

    // An 8-byte binary value: the saver ends without asking.
    UsePassword("wrong");
    SetPasswordValue(REG_BINARY, &eight, 8);
    EXPECT_TRUE(Ends(WM_KEYDOWN, 'A'));
    EXPECT_EQ(PasswordCalls(), 0);
}

namespace {
// Two monitors side by side, as the test display's 1024 x 768 screen can show them: the window
// spans (0, 0)-(1024, 600), the primary screen is the 600 x 400 part at (300, 100).
platform::FullScreenLayout TwoMonitors()
{
    return platform::FullScreenLayout {{0, 0, 1024, 600}, {300, 100, 900, 500}, {}};
}

class SpanningSaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_settings = CChangerSettings();
        g_settings.m_crBkgndColor = kBackground;
        g_bShowRole = true;
        g_bWin95Family = false;
        DeleteLibrary();
        ::SetCursorPos(500, 300); // inside the primary part: client (200, 200)
        CSaverWnd::s_pfnLayout = TwoMonitors;
        saver = new CSaverWnd;
        ASSERT_TRUE(saver->Create());
        hwnd = saver->m_hWnd;
        ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(200, 200));
        HandlePostedMessages();
    }
    void TearDown() override
    {
        CSaverWnd::s_pfnLayout = platform::CurrentFullScreenLayout;
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
    }
    static COLORREF ScreenPixel(int x, int y)
    {
        HDC screen = ::GetDC(nullptr);
        COLORREF pixel = ::GetPixel(screen, x, y);
        ::ReleaseDC(nullptr, screen);
        return pixel;
    }
    static constexpr COLORREF kBackground = RGB(0, 128, 255);
    CSaverWnd* saver = nullptr;
    HWND hwnd = nullptr;
};
} // namespace

TEST_F(SpanningSaverTest, ThePrimaryScreenIsTheClientAreaTheOtherMonitorsShowTheBackground)
{
    RECT window;
    ::GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, 1024);
    EXPECT_EQ(window.bottom, 600);
    // The show paints into the primary screen's size and place, as on one monitor.
    RECT client;
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 400);
    POINT origin {0, 0};
    ::ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.x, 300);
    EXPECT_EQ(origin.y, 100);
    // Every part outside the primary screen, on each side of it.
    for (POINT p : {POINT {5, 5}, POINT {150, 300}, POINT {1000, 300}, POINT {600, 50}, POINT {600, 580},
                    POINT {1020, 595}}) {
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(p.x, p.y) == kBackground; }, 10000))
            << p.x << "," << p.y << " shows " << std::hex << ScreenPixel(p.x, p.y);
    }
}

TEST_F(SpanningSaverTest, ThePointerOverTheOtherMonitorsIsSeenAndEndsTheSaver)
{
    EXPECT_EQ(::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(50, 50)), HTCLIENT);
    // Left of and above the primary screen: negative client coordinates. The third new
    // position ends the saver.
    const POINT moves[] = {{50, 50}, {1000, 550}, {100, 580}};
    for (int i = 0; i < 3; ++i) {
        ::SetCursorPos(moves[i].x, moves[i].y);
        const int x = moves[i].x - 300, y = moves[i].y - 100;
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd) || (saver->m_nLastX == x && saver->m_nLastY == y); },
                              20000))
            << "the move to " << moves[i].x << "," << moves[i].y << " never arrived";
        HandlePostedMessages();
        EXPECT_EQ(::IsWindow(hwnd) != FALSE, i < 2) << "after move " << i + 1;
    }
}

namespace {
// A primary monitor of 512 x 400 and another of 512 x 600 right of it: each shows its own slide.
platform::FullScreenLayout PrimaryAndRight()
{
    return platform::FullScreenLayout {{0, 0, 1024, 600}, {0, 100, 512, 500}, {{512, 0, 1024, 600}}};
}

// A bitmap of one colour.
std::string SolidPicture(const std::string& dir, const char* name, COLORREF colour)
{
    const std::string path = dir + "\\" + name;
    CPictureImage picture;
    EXPECT_TRUE(picture.Create(64, 48));
    const PixelImage pixels = picture.Pixels();
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            uint8_t* p = pixels.Row(y) + 3 * x;
            p[0] = GetBValue(colour), p[1] = GetGValue(colour), p[2] = GetRValue(colour);
        }
    EXPECT_TRUE(picture.SaveBitmapFile(path.c_str()));
    return path;
}
} // namespace

// Every monitor its own slide, fitted to it, and all of them change together at the tick.
TEST(MonitorSlides, EachMonitorShowsItsOwnSlideAndTheyChangeTogether)
{
    g_settings = CChangerSettings();
    g_settings.m_nSlideShow = 60;
    g_settings.m_bFitToScreen = 1;
    g_settings.m_crBkgndColor = RGB(0, 0, 0);
    g_bShowRole = true;
    g_bWin95Family = false;
    const std::string dir = ScratchDir("slides");
    const COLORREF red = RGB(200, 0, 0), green = RGB(0, 200, 0), blue = RGB(0, 0, 200);
    ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(SolidPicture(dir, "r.bmp", red)),
                                        PictureRecord(SolidPicture(dir, "g.bmp", green)),
                                        PictureRecord(SolidPicture(dir, "b.bmp", blue))}));
    ::SetCursorPos(256, 300);
    CSaverWnd::s_pfnLayout = PrimaryAndRight;
    CSaverWnd* saver = new CSaverWnd;
    ASSERT_TRUE(saver->Create());
    const HWND hwnd = saver->m_hWnd;
    auto pixel = [](int x, int y) {
        HDC screen = ::GetDC(nullptr);
        const COLORREF colour = ::GetPixel(screen, x, y);
        ::ReleaseDC(nullptr, screen);
        return colour;
    };
    // The primary's slide over its whole screen, the other monitor's over its own, near its
    // corners too (fitted to 512 x 600: 512 x 384, centred).
    EXPECT_TRUE(PumpUntil([&] { return pixel(256, 300) == red && pixel(768, 300) == green; }, 20000))
        << std::hex << pixel(256, 300) << " " << pixel(768, 300);
    EXPECT_EQ(pixel(515, 100), RGB(0, 0, 0));
    EXPECT_EQ(pixel(515, 495), RGB(0, 0, 0));
    EXPECT_EQ(pixel(515, 120), green);
    EXPECT_EQ(pixel(1020, 480), green);
    ::PostMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
    EXPECT_TRUE(PumpUntil([&] { return pixel(256, 300) == blue && pixel(768, 300) == red; }, 20000))
        << std::hex << pixel(256, 300) << " " << pixel(768, 300);
    CSaverWnd::s_pfnLayout = platform::CurrentFullScreenLayout;
    ::DestroyWindow(hwnd);
    DeleteLibrary();
}
