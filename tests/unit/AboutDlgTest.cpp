// The About box run modally under Wine, driven from a script that runs inside its modal loop:
// its controls and texts, the logo (where it comes from, its key colour, where it is drawn),
// the links (colours, clicks through the shell, cursor), the ways it closes, and that it
// releases everything it made.
#include "dialogs/AboutDlg.h"
#include "framework/Dpi.h"
#include "library/Settings.h"
#include "resource.h"
#include "support/ScriptedDialog.h"
#include "support/TestSupport.h"
#include "unit/WideFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace testing_support;

namespace {
// What DoModal gives when the watchdog had to end a dialog that did not close by itself.
constexpr INT_PTR kStuck = kStuckDialog;

class CScriptedAbout : public ScriptedDialog<CAboutDlg, CScriptedAbout> {
public:
    void Cancel() { Command(IDCANCEL); }
    void Click(int id)
    {
        ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(id)));
    }
};

INT_PTR RunAbout(const std::function<void(CScriptedAbout&)>& script)
{
    CScriptedAbout dlg;
    dlg.script = script;
    return dlg.DoModal();
}

// What a control's reflected colour request leaves in a device context.
struct Colouring {
    LRESULT brush;
    COLORREF text;
    int bkMode;
    bool underlined;
};

Colouring AskColours(HWND dialog, HWND control)
{
    HDC dc = ::GetDC(control);
    const int saved = ::SaveDC(dc);
    Colouring c {};
    c.brush = ::SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    c.text = ::GetTextColor(dc);
    c.bkMode = ::GetBkMode(dc);
    LOGFONTA font {};
    ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
    c.underlined = font.lfUnderline != 0;
    ::RestoreDC(dc, saved);
    ::ReleaseDC(control, dc);
    return c;
}

LONG StyleOf(HWND control)
{
    return ::GetWindowLongA(control, GWL_STYLE);
}

// A w x h bitmap file whose pixels come from colour(x, y) as blue, green, red.
bool WriteLogo(const std::string& path, int w, int h, const std::function<void(int, int, BYTE*)>& colour)
{
    CPictureImage picture;
    if (!picture.Create(w, h))
        return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            colour(x, y, picture.m_pBits + y * picture.m_nStride + 3 * x);
    return picture.SaveFile(path.c_str()) != FALSE;
}

// Targets handed to the shell while a test runs.
std::vector<std::string> g_opened;

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_opened.clear();
        CStaticLink::s_pfnOpening = [](const std::string& target) { g_opened.push_back(target); };
        saved = g_settings;
        g_settings = CChangerSettings();
        // An installation directory without "logo.bmp": the built-in logo.
        g_settings.m_strInstallDir = ScratchDir("about-install") + "\\";
    }
    void TearDown() override
    {
        CStaticLink::s_pfnOpening = nullptr;
        g_settings = saved;
    }
    CChangerSettings saved;
};

const char* const kBuild = "Build:  Jun  1 1998  07:15:15";
const char* const kVersion = "Version  2.00";

} // namespace

TEST(FitLogo, FillsTheAreaAlongOneSideAndStaysInsideAlongTheOther)
{
    const RECT area {10, 20, 210, 200}; // 200 x 180
    struct {
        int w, h;
        RECT expected;
    } cases[] = {
        {200, 100, {10, 60, 210, 160}},  // wider than the area's shape: full width, centred vertically
        {400, 200, {10, 60, 210, 160}},  // shrunk the same way
        {50, 50, {20, 20, 200, 200}},    // square: full height, centred horizontally
        {100, 200, {65, 20, 155, 200}},  // tall
        {110, 100, {11, 20, 209, 200}},  // wider than tall, but less so than the area: full height
        {200, 180, {10, 20, 210, 200}},  // the area's own shape
        {1, 1000, {110, 20, 110, 200}},  // a sliver: truncated to nothing across
    };
    for (const auto& c : cases) {
        const RECT r = FitLogo(area, c.w, c.h);
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
        EXPECT_GE(r.left, area.left);
        EXPECT_GE(r.top, area.top);
        EXPECT_LE(r.right, area.right);
        EXPECT_LE(r.bottom, area.bottom);
    }
    // Sizes where a floating-point ratio lands just below the whole side still fill it.
    for (int w = 1; w <= 400; ++w) {
        const RECT r = FitLogo(RECT {0, 0, 236, 1000}, w, w);
        ASSERT_EQ(r.right - r.left, 236) << w;
    }
    const RECT none = FitLogo(area, 0, 10);
    EXPECT_EQ(none.right - none.left, 0);
    EXPECT_EQ(none.bottom - none.top, 0);
}

TEST_F(AboutTest, ControlsAfterInitialisationMatchTheTemplate)
{
    g_settings.m_strTitle = "Picture Corner";
    g_settings.m_strWebPage = "http://pictures.example/";
    g_settings.m_strEMail = "owner@pictures.example";
    std::string caption;
    const INT_PTR result = RunAbout([&](CScriptedAbout& d) {
        char text[64] = "";
        ::GetWindowTextA(d.m_hWnd, text, sizeof text);
        caption = text;
        // The badge is a picture static: it sizes itself to its 80 x 31 picture, and its text
        // is whatever the system makes of the resource number. Checked here, then given its
        // template size for the table.
        HWND badge = d.GetDlgItem(IDC_BADGE_LINK);
        char badgeText[64] = "";
        ::GetWindowTextA(badge, badgeText, sizeof badgeText);
        RECT badgeRect, templateRect {0, 0, 53, 18};
        ::GetClientRect(badge, &badgeRect);
        EXPECT_EQ(badgeRect.right, 80);
        EXPECT_EQ(badgeRect.bottom, 31);
        ::MapDialogRect(d.m_hWnd, &templateRect);
        ::SetWindowPos(badge, nullptr, 0, 0, templateRect.right, templateRect.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const DWORD kind = SS_TYPEMASK | SS_SUNKEN | WS_VISIBLE | WS_TABSTOP | WS_GROUP;
        const DWORD shown = WS_CHILD | WS_VISIBLE;
        ExpectControls(d.m_hWnd,
                       {
                           {IDC_HEADING, "Static", "Picture Corner", shown | SS_LEFT, kind, {133, 9, 153, 15}},
                           {IDC_VERSION, "Static", kVersion, shown | SS_LEFT, kind, {134, 25, 122, 9}},
                           {-1, "Static", "Copyright (C) 1998 Orvane Inc.", shown | SS_LEFT, kind, {112, 122, 163, 8}},
                           {IDCANCEL, "Button", "OK", shown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP,
                            BS_TYPEMASK | kind, {120, 187, 50, 13}},
                           {IDC_SUPPORT_LINK, "Static", MURLAVO_SUPPORT_MAIL, shown | SS_LEFT, kind, {136, 134, 137, 9}},
                           {IDC_BUILD, "Static", kBuild, shown | SS_LEFT, kind, {134, 40, 132, 8}},
                           {IDC_WEB_LINK, "Static", MURLAVO_WEB_PAGE, shown | SS_LEFT, kind, {131, 145, 122, 8}},
                           {IDC_BADGE_LINK, "Static", badgeText, shown | SS_BITMAP, kind, {24, 128, 53, 18}},
                           {IDC_LOGO_FRAME, "Static", "", SS_ETCHEDFRAME, kind, {4, 3, 118, 106}},
                           {-1, "Static",
                            "Portions of this software are based in part on the work of the Independent JPEG Group.",
                            shown | SS_LEFT, kind, {4, 163, 282, 16}},
                           {-1, "Static", "", shown | SS_LEFT | SS_SUNKEN, kind, {4, 114, 282, 1}},
                           {IDC_CUSTOM_MAIL, "Static", "owner@pictures.example", shown | SS_LEFT, kind, {134, 57, 137, 9}},
                           {IDC_CUSTOM_WEB, "Static", "http://pictures.example/", shown | SS_LEFT, kind, {134, 75, 122, 8}},
                       });
        d.Cancel();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(caption, "About Murlavo");
}

TEST_F(AboutTest, TextsFontAndLinkTargetsComeFromTheSettings)
{
    g_settings.m_strTitle = "Picture Corner";
    g_settings.m_strWebPage = "http://pictures.example/";
    g_settings.m_strEMail = "owner@pictures.example";
    RunAbout([](CScriptedAbout& d) {
        EXPECT_EQ(d.m_strHeading, "Picture Corner");
        EXPECT_EQ(d.m_strVersion, kVersion);
        EXPECT_EQ(d.m_strBuild, kBuild);
        EXPECT_EQ(d.Text(IDC_HEADING), "Picture Corner");

        LOGFONTA heading {};
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendDlgItemMessageA(d.m_hWnd, IDC_HEADING, WM_GETFONT, 0, 0));
        ASSERT_EQ(font, d.m_fontHeading.Get());
        ASSERT_TRUE(::GetObjectA(font, sizeof heading, &heading));
        EXPECT_STREQ(heading.lfFaceName, "Arial");
        EXPECT_EQ(heading.lfHeight, 22);
        EXPECT_EQ(heading.lfWeight, 400);
        EXPECT_FALSE(heading.lfUnderline);

        EXPECT_EQ(d.m_linkSupport.m_strTarget, "mailto:" MURLAVO_SUPPORT_MAIL);
        EXPECT_EQ(d.m_linkCustomMail.m_strTarget, "mailto:owner@pictures.example");
        // Links that open their own text keep an empty target until clicked.
        EXPECT_EQ(d.m_linkWeb.m_strTarget, "");
        EXPECT_EQ(d.m_linkCustomWeb.m_strTarget, "");
        // The badge has no text to open: it leads to the maker's web page.
        EXPECT_EQ(d.m_linkBadge.m_strTarget, MURLAVO_WEB_PAGE);
        for (const CStaticLink* link :
             {&d.m_linkWeb, &d.m_linkBadge, &d.m_linkSupport, &d.m_linkCustomWeb, &d.m_linkCustomMail}) {
            EXPECT_EQ(CWindow::FromHandlePermanent(link->m_hWnd), link);
            EXPECT_FALSE(link->m_bVisited);
        }
        EXPECT_EQ(d.m_linkWeb.m_hWnd, d.GetDlgItem(IDC_WEB_LINK));
        EXPECT_EQ(d.m_linkCustomMail.m_hWnd, d.GetDlgItem(IDC_CUSTOM_MAIL));
        EXPECT_EQ(d.m_frameLogo.m_hWnd, d.GetDlgItem(IDC_LOGO_FRAME));
        d.Cancel();
    });
}

LOGFONTW FontOf(HWND control)
{
    LOGFONTW font {};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST_F(AboutTest, AtAMonitorsNewScaleTheHeadingAndTheLinksTakeFontsOfThatSize)
{
    RunAbout([](CScriptedAbout& d) {
        HWND heading = d.GetDlgItem(IDC_HEADING);
        EXPECT_EQ(FontOf(heading).lfHeight, dpi::Scale(22, dpi::DialogDpi(d.m_hWnd)));
        RECT window {};
        ::GetWindowRect(d.m_hWnd, &window);
        // The heading's own font is made anew at each scale (the system rescales the
        // template's text by itself); the control holds the dialog's current one.
        for (UINT scale : {192u, 144u, 96u}) {
            SCOPED_TRACE(scale);
            RECT suggested = window;
            ::SendMessageW(d.m_hWnd, dpi::kMsgDpiChanged, MAKEWPARAM(scale, scale), reinterpret_cast<LPARAM>(&suggested));
            const LOGFONTW font = FontOf(heading);
            EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(heading, WM_GETFONT, 0, 0)), d.m_fontHeading.Get());
            EXPECT_EQ(font.lfHeight, ::MulDiv(22, int(scale), 96));
            EXPECT_STREQ(font.lfFaceName, L"Arial");
            EXPECT_FALSE(font.lfUnderline);
        }

        // The template's text and places follow the scale (the system's work where it
        // rescales dialogs): twice the scale, twice the version line's size and its font's.
        HWND version = d.GetDlgItem(IDC_VERSION);
        const LONG text = FontOf(version).lfHeight;
        RECT line {};
        ::GetWindowRect(version, &line);
        ::MapWindowPoints(nullptr, d.m_hWnd, reinterpret_cast<POINT*>(&line), 2);
        const UINT opened = dpi::DialogDpi(d.m_hWnd);
        RECT suggested = {window.left, window.top, window.left + 2 * (window.right - window.left),
            window.top + 2 * (window.bottom - window.top)};
        ::SendMessageW(d.m_hWnd, dpi::kMsgDpiChanged, MAKEWPARAM(2 * opened, 2 * opened), reinterpret_cast<LPARAM>(&suggested));
        RECT large {};
        ::GetWindowRect(version, &large);
        ::MapWindowPoints(nullptr, d.m_hWnd, reinterpret_cast<POINT*>(&large), 2);
        EXPECT_EQ(FontOf(version).lfHeight, 2 * text);
        EXPECT_EQ(large.left, 2 * line.left);
        EXPECT_EQ(large.bottom, 2 * line.bottom);
        EXPECT_EQ(FontOf(heading).lfHeight, 2 * dpi::Scale(22, opened));
        ::SendMessageW(d.m_hWnd, dpi::kMsgDpiChanged, MAKEWPARAM(opened, opened), reinterpret_cast<LPARAM>(&window));

        // A link given the dialog's font at a new scale keeps its underline at that size.
        HWND link = d.GetDlgItem(IDC_WEB_LINK);
        EXPECT_TRUE(AskColours(d.m_hWnd, link).underlined);
        LOGFONTW larger = FontOf(link);
        ASSERT_TRUE(larger.lfUnderline);
        larger.lfUnderline = FALSE;
        larger.lfHeight *= 2;
        CFontHandle dialogFont(::CreateFontIndirectW(&larger));
        ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont.Get()), TRUE);
        const LOGFONTW linked = FontOf(link);
        EXPECT_EQ(linked.lfHeight, larger.lfHeight);
        EXPECT_TRUE(linked.lfUnderline);
        EXPECT_STREQ(linked.lfFaceName, larger.lfFaceName);
        // A copy of the link's own: the font given stays the caller's to delete.
        EXPECT_NE(reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0)), dialogFont.Get());
        EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0)), d.m_linkWeb.m_fontLink.Get());
        EXPECT_TRUE(AskColours(d.m_hWnd, link).underlined);
        d.Cancel();
    });
}

TEST_F(AboutTest, EmptyCustomSettingsLeaveEmptyLinesAndLinksThatOpenNothing)
{
    RunAbout([](CScriptedAbout& d) {
        EXPECT_EQ(d.Text(IDC_HEADING), "");
        EXPECT_EQ(d.Text(IDC_CUSTOM_WEB), "");
        EXPECT_EQ(d.Text(IDC_CUSTOM_MAIL), "");
        EXPECT_EQ(d.m_linkCustomMail.m_strTarget, "mailto:");
        // A click on the empty web-page line beeps: no shell call with an empty name.
        d.Click(IDC_CUSTOM_WEB);
        EXPECT_EQ(d.m_linkCustomWeb.m_strTarget, "");
        EXPECT_FALSE(d.m_linkCustomWeb.m_bVisited);
        d.Cancel();
    });
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(AboutTest, BuiltInLogoWithoutALogoFile)
{
    RunAbout([](CScriptedAbout& d) {
        EXPECT_TRUE(d.m_bLogo);
        EXPECT_EQ(d.m_logo.m_nWidth, 192);
        EXPECT_EQ(d.m_logo.m_nHeight, 192);
        d.Cancel();
    });
}

// logo.bmp of the installation directory wins over the built-in logo; pure blue (the key
// colour) becomes the menu colour, every colour one step away stays.
TEST_F(AboutTest, LogoFileIsPreferredAndOnlyPureBlueTakesTheMenuColour)
{
    const std::string dir = ScratchDir("about-logo");
    // Blue, green, red of each pixel of the 5 x 2 picture, bottom row first.
    const BYTE colours[2][5][3] = {{{255, 0, 0}, {254, 0, 0}, {255, 1, 0}, {255, 0, 1}, {255, 0, 0}},
                                   {{0, 0, 255}, {255, 255, 255}, {255, 0, 0}, {0, 0, 0}, {255, 0, 0}}};
    ASSERT_TRUE(WriteLogo(dir + "\\logo.bmp", 5, 2, [&](int x, int y, BYTE* p) {
        p[0] = colours[y][x][0];
        p[1] = colours[y][x][1];
        p[2] = colours[y][x][2];
    }));
    g_settings.m_strInstallDir = dir + "\\";
    const COLORREF menu = ::GetSysColor(COLOR_MENU);
    ASSERT_NE(menu, RGB(0, 0, 255));
    RunAbout([&](CScriptedAbout& d) {
        ASSERT_TRUE(d.m_bLogo);
        ASSERT_EQ(d.m_logo.m_nWidth, 5);
        ASSERT_EQ(d.m_logo.m_nHeight, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x) {
                const BYTE* p = d.m_logo.m_pBits + y * d.m_logo.m_nStride + 3 * x;
                const BYTE* c = colours[y][x];
                const bool key = c[0] == 255 && c[1] == 0 && c[2] == 0;
                SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
                EXPECT_EQ(p[0], key ? GetBValue(menu) : c[0]);
                EXPECT_EQ(p[1], key ? GetGValue(menu) : c[1]);
                EXPECT_EQ(p[2], key ? GetRValue(menu) : c[2]);
            }
        d.Cancel();
    });
}

TEST_F(AboutTest, EmptyInstallDirectoryReadsLogoFromTheCurrentFolder)
{
    const std::string dir = ScratchDir("about-current");
    ASSERT_TRUE(WriteLogo(dir + "\\logo.bmp", 7, 3, [](int, int, BYTE* p) { p[1] = 200; }));
    char previous[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    g_settings.m_strInstallDir = "";
    int width = 0;
    RunAbout([&](CScriptedAbout& d) {
        width = d.m_logo.m_nWidth;
        d.Cancel();
    });
    ::SetCurrentDirectoryA(previous);
    EXPECT_EQ(width, 7);
}

TEST_F(AboutTest, UnreadableLogoFileShowsNoLogo)
{
    const std::string dir = ScratchDir("about-broken");
    std::ofstream(dir + "\\logo.bmp", std::ios::binary) << "not a picture";
    g_settings.m_strInstallDir = dir + "\\";
    const INT_PTR result = RunAbout([](CScriptedAbout& d) {
        EXPECT_FALSE(d.m_bLogo);
        EXPECT_EQ(::SendMessageA(d.m_hWnd, WM_QUERYNEWPALETTE, 0, 0), 0);
        // Painting without a logo is harmless.
        ::ShowWindow(d.m_hWnd, SW_SHOW);
        ::UpdateWindow(d.m_hWnd);
        d.Cancel();
    });
    EXPECT_EQ(result, IDCANCEL);
}

// The painted logo covers exactly the fitted rectangle of the hidden frame's area.
TEST_F(AboutTest, PaintsTheLogoFittedIntoTheFrame)
{
    const std::string dir = ScratchDir("about-paint");
    // Wider than tall, but less so than the frame: drawn full height, with room left and right.
    ASSERT_TRUE(WriteLogo(dir + "\\logo.bmp", 60, 58, [](int, int, BYTE* p) { p[2] = 255; }));
    g_settings.m_strInstallDir = dir + "\\";
    RunAbout([](CScriptedAbout& d) {
        ::ShowWindow(d.m_hWnd, SW_SHOW);
        ::UpdateWindow(d.m_hWnd);
        RECT area;
        ::GetWindowRect(d.GetDlgItem(IDC_LOGO_FRAME), &area);
        ::MapWindowPoints(nullptr, d.m_hWnd, reinterpret_cast<POINT*>(&area), 2);
        const RECT logo = FitLogo(area, 60, 58);
        ASSERT_EQ(logo.top, area.top);
        ASSERT_EQ(logo.bottom, area.bottom);
        ASSERT_GT(logo.left - area.left, 2);
        HDC dc = ::GetDC(d.m_hWnd);
        const int midY = (logo.top + logo.bottom) / 2, midX = (logo.left + logo.right) / 2;
        EXPECT_EQ(::GetPixel(dc, midX, midY), RGB(255, 0, 0));
        EXPECT_EQ(::GetPixel(dc, logo.left + 1, logo.top + 1), RGB(255, 0, 0));
        EXPECT_EQ(::GetPixel(dc, logo.right - 2, logo.bottom - 2), RGB(255, 0, 0));
        EXPECT_NE(::GetPixel(dc, area.left + 1, midY), RGB(255, 0, 0));
        EXPECT_NE(::GetPixel(dc, area.right - 2, midY), RGB(255, 0, 0));
        ::ReleaseDC(d.m_hWnd, dc);
        d.Cancel();
    });
}

TEST_F(AboutTest, LinksAreUnderlinedBlueAndTurnPurpleOnlyWhenTheShellOpensThem)
{
    const std::string dir = ScratchDir("about-links");
    // A target the shell runs: it leaves a file behind, so the test sees it was opened.
    const std::string batch = dir + "\\open.bat";
    std::ofstream(batch) << "@echo opened> \"%~dp0opened.txt\"\r\n";
    g_settings.m_strWebPage = "Z:\\no\\such\\file.xyz";
    g_settings.m_strEMail = "owner@pictures.example";
    const COLORREF blue = RGB(0, 0, 255), purple = RGB(128, 0, 128);
    RunAbout([&](CScriptedAbout& d) {
        HWND web = d.GetDlgItem(IDC_CUSTOM_WEB), mail = d.GetDlgItem(IDC_CUSTOM_MAIL);
        ::SetWindowLongA(web, GWL_STYLE, StyleOf(web) & ~SS_NOTIFY);
        Colouring c = AskColours(d.m_hWnd, web);
        EXPECT_EQ(c.brush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(c.text, blue);
        EXPECT_EQ(c.bkMode, TRANSPARENT);
        EXPECT_TRUE(c.underlined);
        EXPECT_TRUE(StyleOf(web) & SS_NOTIFY); // so that clicks are reported
        // The control itself draws with the underlined font.
        EXPECT_EQ(::SendMessageA(web, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(d.m_linkCustomWeb.m_fontLink.Get()));

        d.Click(IDC_CUSTOM_WEB); // a file that does not exist
        EXPECT_EQ(d.m_linkCustomWeb.m_strTarget, "Z:\\no\\such\\file.xyz");
        EXPECT_FALSE(d.m_linkCustomWeb.m_bVisited);
        EXPECT_EQ(AskColours(d.m_hWnd, web).text, blue);

        d.m_linkCustomMail.m_strTarget = batch;
        EXPECT_EQ(AskColours(d.m_hWnd, mail).text, blue);
        d.Click(IDC_CUSTOM_MAIL);
        EXPECT_TRUE(d.m_linkCustomMail.m_bVisited);
        EXPECT_EQ(AskColours(d.m_hWnd, mail).text, purple);
        d.Cancel();
    });
    EXPECT_EQ(g_opened, (std::vector<std::string> {"Z:\\no\\such\\file.xyz", batch}));
    EXPECT_TRUE(PumpUntil([&] { return FileExists(dir + "\\opened.txt"); }, 20000));
}

TEST_F(AboutTest, LinksInAnyScriptAreShownAndOpenedExactly)
{
    const std::string dir = ScratchDir("about-names");
    const std::string folder = dir + "\\" + kJapaneseFolder;
    DeleteWideTree(folder);
    ASSERT_TRUE(MakeWideFolder(folder));
    // A target the shell runs, named in scripts the code page lacks: it leaves a file behind.
    const std::string batch = folder + "\\開く 🌅.bat";
    const std::string opened = dir + "\\opened.txt";
    ASSERT_TRUE(MakeWideFile(batch, "@echo opened> \"" + opened + "\"\r\n"));
    g_settings.m_strWebPage = batch;
    g_settings.m_strEMail = "фото@пример.рф";
    RunAbout([&](CScriptedAbout& d) {
        wchar_t text[512] = L"";
        ::GetDlgItemTextW(d.m_hWnd, IDC_CUSTOM_MAIL, text, ARRAYSIZE(text));
        EXPECT_EQ(Utf8(text), "фото@пример.рф");
        EXPECT_EQ(d.m_linkCustomMail.m_strTarget, "mailto:фото@пример.рф");
        // The web line opens its own text.
        d.Click(IDC_CUSTOM_WEB);
        EXPECT_EQ(d.m_linkCustomWeb.m_strTarget, batch);
        EXPECT_TRUE(d.m_linkCustomWeb.m_bVisited);
        d.Cancel();
    });
    EXPECT_EQ(g_opened, std::vector<std::string> {batch});
    EXPECT_TRUE(PumpUntil([&] { return FileExists(opened); }, 20000));
    DeleteWideTree(folder);
}

TEST_F(AboutTest, PictureLinkKeepsItsLookButReportsClicks)
{
    RunAbout([](CScriptedAbout& d) {
        HWND badge = d.GetDlgItem(IDC_BADGE_LINK);
        const Colouring c = AskColours(d.m_hWnd, badge);
        EXPECT_NE(c.brush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
        EXPECT_TRUE(StyleOf(badge) & SS_NOTIFY);
        EXPECT_FALSE(d.m_linkBadge.m_fontLink);
        EXPECT_EQ(d.m_linkBadge.m_hLinkCursor, nullptr);
        d.Cancel();
    });
}

TEST_F(AboutTest, HandCursorOverALinkOnceItHasBeenColoured)
{
    RunAbout([](CScriptedAbout& d) {
        HWND link = d.GetDlgItem(IDC_WEB_LINK);
        const HCURSOR hand = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND));
        ASSERT_NE(hand, nullptr);
        const auto setCursor = [link](int hit) {
            return ::SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(hit, WM_MOUSEMOVE));
        };
        ::SetCursor(nullptr);
        setCursor(HTCLIENT);
        EXPECT_NE(::GetCursor(), hand); // not loaded before the first colour request

        AskColours(d.m_hWnd, link);
        EXPECT_EQ(d.m_linkWeb.m_hLinkCursor, hand);
        ::SetCursor(nullptr);
        EXPECT_EQ(setCursor(HTCLIENT), TRUE);
        EXPECT_EQ(::GetCursor(), hand);
        ::SetCursor(nullptr);
        setCursor(HTBORDER);
        EXPECT_NE(::GetCursor(), hand);
        d.Cancel();
    });
}

// OK carries the cancel id, so the button, Enter, Escape and the close box end it alike.
TEST_F(AboutTest, OkEnterEscapeAndTheCloseBoxAllClose)
{
    const std::function<void(CScriptedAbout&)> ways[] = {
        [](CScriptedAbout& d) { ::SendMessageA(d.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0); },
        [](CScriptedAbout& d) { ::PostMessageA(d.GetDlgItem(IDCANCEL), WM_KEYDOWN, VK_RETURN, 0); },
        [](CScriptedAbout& d) { ::PostMessageA(d.GetDlgItem(IDC_BUILD), WM_KEYDOWN, VK_RETURN, 0); },
        [](CScriptedAbout& d) { ::PostMessageA(d.GetDlgItem(IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0); },
        [](CScriptedAbout& d) { ::PostMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int way = 0;
    for (const auto& close : ways) {
        SCOPED_TRACE("way " + std::to_string(way++));
        EXPECT_EQ(RunAbout([&close](CScriptedAbout& d) {
                      ::ShowWindow(d.m_hWnd, SW_SHOW);
                      ::SetForegroundWindow(d.m_hWnd);
                      close(d);
                  }),
                  IDCANCEL);
    }
}

// Title font, logo and the link fonts are all made on every run and all released again.
TEST_F(AboutTest, OpeningAndClosingRepeatedlyLeaksNothing)
{
    const auto run = [] {
        return RunAbout([](CScriptedAbout& d) {
            for (int id : {IDC_WEB_LINK, IDC_BADGE_LINK, IDC_SUPPORT_LINK, IDC_CUSTOM_WEB, IDC_CUSTOM_MAIL})
                AskColours(d.m_hWnd, d.GetDlgItem(id));
            EXPECT_TRUE(d.m_linkSupport.m_fontLink);
            ::SendMessageA(d.m_hWnd, WM_QUERYNEWPALETTE, 0, 0);
            d.Cancel();
        });
    };
    ASSERT_EQ(run(), IDCANCEL); // classes, cursors and caches of the first run stay
    const ResourceCounts before = CountResources();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(run(), IDCANCEL) << i;
    const ResourceCounts after = CountResources();
    EXPECT_LE(after.probedGdi, before.probedGdi + 2);
    EXPECT_LE(after.probedHandles, before.probedHandles + 2);
    EXPECT_LE(after.gdi, before.gdi + 2);
    EXPECT_LE(after.handles, before.handles + 2);
}
