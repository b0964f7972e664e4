// The Add Playlist and Picture Location dialogs, live under Wine; every small dialog at a
// monitor's new scale.
#include "dialogs/AddPlaylistDlg.h"
#include "dialogs/LocationDlg.h"
#include "dialogs/OptionsDlg.h"
#include "framework/Dpi.h"
#include "framework/WideText.h"
#include "resource.h"
#include "support/ScriptedDialog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
constexpr DWORD kKeyStyles = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY | WS_DISABLED | WS_GROUP;

std::string WindowText(HWND hwnd)
{
    char text[256] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}
// What a dialog's scale changes: its rectangle, its controls' places and their fonts' heights.
struct Layout {
    RECT window {};
    std::vector<RECT> controls;
    std::vector<LONG> fontHeights;
    // A drop-down list sizes its closed box by its font, not by the rectangle it is given.
    std::vector<bool> sizesItself;
};

Layout LayoutOf(HWND dialog)
{
    Layout layout;
    ::GetWindowRect(dialog, &layout.window);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        layout.controls.push_back(place);
        LOGFONTW font {};
        ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
        layout.fontHeights.push_back(font.lfHeight);
        wchar_t cls[32] = L"";
        ::GetClassNameW(child, cls, 32);
        layout.sizesItself.push_back(_wcsicmp(cls, L"ComboBox") == 0);
    }
    return layout;
}

void SendScale(HWND dialog, UINT scale, RECT suggested)
{
    ::SendMessageW(dialog, dpi::kMsgDpiChanged, MAKEWPARAM(scale, scale), reinterpret_cast<LPARAM>(&suggested));
}

// Twice the scale and back: the dialog takes the suggested rectangles, its controls and their
// text twice the size (inside the dialog), then all as they were.
void ExpectItFollowsTheScale(HWND dialog)
{
    const Layout opened = LayoutOf(dialog);
    ASSERT_FALSE(opened.controls.empty());
    const UINT scale = dpi::DialogDpi(dialog);
    const RECT& w = opened.window;
    const RECT doubled = {w.left + 40, w.top - 10, w.left + 40 + 2 * (w.right - w.left), w.top - 10 + 2 * (w.bottom - w.top)};
    SendScale(dialog, 2 * scale, doubled);
    const Layout large = LayoutOf(dialog);
    EXPECT_TRUE(::EqualRect(&large.window, &doubled));
    RECT client;
    ::GetClientRect(dialog, &client);
    for (size_t i = 0; i < opened.controls.size(); ++i) {
        SCOPED_TRACE(i);
        const RECT& before = opened.controls[i];
        const RECT& after = large.controls[i];
        EXPECT_EQ(after.left, 2 * before.left);
        EXPECT_EQ(after.top, 2 * before.top);
        EXPECT_EQ(after.right, 2 * before.right);
        if (!opened.sizesItself[i]) {
            EXPECT_EQ(after.bottom, 2 * before.bottom);
        }
        EXPECT_LE(after.right, client.right);
        EXPECT_LE(after.bottom, client.bottom);
        EXPECT_EQ(large.fontHeights[i], 2 * opened.fontHeights[i]);
    }
    SendScale(dialog, scale, opened.window);
    const Layout back = LayoutOf(dialog);
    EXPECT_TRUE(::EqualRect(&back.window, &opened.window));
    for (size_t i = 0; i < opened.controls.size(); ++i) {
        EXPECT_TRUE(::EqualRect(&back.controls[i], &opened.controls[i])) << i;
        EXPECT_EQ(back.fontHeights[i], opened.fontHeights[i]) << i;
    }
}

} // namespace

TEST(SmallDialogs, FollowTheScaleOfTheMonitorTheyAreMovedTo)
{
    ScriptedDialog<CAddPlaylistDlg> add;
    add.script = [](ScriptedDialog<CAddPlaylistDlg>& d) {
        ExpectItFollowsTheScale(d.m_hWnd);
        d.Command(IDCANCEL);
    };
    EXPECT_EQ(add.DoModal(), IDCANCEL);

    ScriptedDialog<CLocationDlg> location;
    location.m_strLocation = "C:\\Pictures\\dog.bmp";
    location.script = [](ScriptedDialog<CLocationDlg>& d) {
        ExpectItFollowsTheScale(d.m_hWnd);
        d.Command(IDCANCEL);
    };
    EXPECT_EQ(location.DoModal(), IDCANCEL);

    // The colour swatch is one of the controls: it fills whatever size it is given.
    ScriptedDialog<COptionsDlg> options;
    options.script = [](ScriptedDialog<COptionsDlg>& d) {
        ExpectItFollowsTheScale(d.m_hWnd);
        d.Command(IDCANCEL);
    };
    EXPECT_EQ(options.DoModal(), IDCANCEL);
}

TEST(AddPlaylistDlg, HandsBackAnyNameTheEmptyOneIncluded)
{
    ScriptedDialog<CAddPlaylistDlg> dlg;
    dlg.m_strName = "old";
    dlg.script = [](ScriptedDialog<CAddPlaylistDlg>& d) {
        EXPECT_EQ(WindowText(d.m_hWnd), "Add Playlist");
        ExpectControls(d.m_hWnd, {
            {-1, "Static", "Playlist:", SS_LEFT, SS_TYPEMASK, {6, 8, 68, 9}},
            {IDC_PLAYLIST_NAME, "Edit", "old", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kKeyStyles, {5, 19, 180, 11}},
            {IDOK, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, BS_TYPEMASK | WS_TABSTOP, {203, 7, 50, 14}},
            {IDCANCEL, "Button", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, BS_TYPEMASK | WS_TABSTOP, {203, 24, 50, 14}},
        });
        d.SetText(IDC_PLAYLIST_NAME, "");
        d.Command(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strName, "");

    // A name of any length, typed: no limit cuts it.
    const std::string longName(40000, 'n');
    dlg.script = [&longName](ScriptedDialog<CAddPlaylistDlg>& d) {
        HWND edit = d.GetDlgItem(IDC_PLAYLIST_NAME);
        ::SendMessageA(edit, EM_SETSEL, 0, -1);
        ::SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(longName.c_str()));
        d.Command(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strName, longName);

    // Cancel hands nothing back.
    dlg.m_strName = "kept";
    dlg.script = [](ScriptedDialog<CAddPlaylistDlg>& d) {
        d.SetText(IDC_PLAYLIST_NAME, "typed");
        d.Command(IDCANCEL);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_strName, "kept");
}

TEST(LocationDlg, ShowsThePathReadOnlyAndClosesOnEnterOrEscape)
{
    const std::string path = "C:\\Pictures\\" + std::string(200, 'p') + "\\holiday.jpg";
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        ScriptedDialog<CLocationDlg> dlg;
        dlg.m_strLocation = path;
        dlg.m_strNote = "The file is missing.";
        bool scrolled = false, unchanged = false;
        dlg.script = [&](ScriptedDialog<CLocationDlg>& d) {
            EXPECT_EQ(WindowText(d.m_hWnd), "Picture Location");
            ExpectControls(d.m_hWnd, {{IDC_LOCATION, "Edit", path.c_str(),
                                          WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY, kKeyStyles,
                                          {3, 4, 229, 12}},
                                         {IDC_LOCATION_NOTE, "Static", "The file is missing.", SS_LEFT,
                                          SS_TYPEMASK | WS_TABSTOP, {4, 20, 228, 9}}});
            HWND edit = d.GetDlgItem(IDC_LOCATION);
            // Typing changes nothing.
            ::SendMessageA(edit, WM_CHAR, 'x', 0);
            ::SendMessageA(edit, WM_PASTE, 0, 0);
            unchanged = d.Text(IDC_LOCATION) == path;
            // The end of a long path scrolls into view.
            const int length = static_cast<int>(path.size());
            ::SendMessageA(edit, EM_SETSEL, length, length);
            ::SendMessageA(edit, EM_SCROLLCARET, 0, 0);
            scrolled = LOWORD(::SendMessageA(edit, EM_CHARFROMPOS, 0, MAKELPARAM(2, 2))) > 0;
            // The key goes through the dialog's own loop, as typed keys do.
            ::SetFocus(edit);
            ::PostMessageA(edit, WM_KEYDOWN, key, 1);
        };
        EXPECT_EQ(dlg.DoModal(), key == VK_RETURN ? IDOK : IDCANCEL);
        EXPECT_TRUE(unchanged);
        EXPECT_TRUE(scrolled);
        EXPECT_EQ(dlg.m_strLocation, path);
    }
}

TEST(SmallDialogs, NamesInAnyScriptAreTypedAndShownExactly)
{
    // A playlist name typed one UTF-16 unit at a time (the emoji as its two halves), through
    // the dialog's own loop.
    const std::wstring typed = L"\u0424\u043e\u0442\u043e \u2728 \U0001F305 Cafe\u0301";
    ScriptedDialog<CAddPlaylistDlg> add;
    add.script = [&](ScriptedDialog<CAddPlaylistDlg>& d) {
        HWND edit = d.GetDlgItem(IDC_PLAYLIST_NAME);
        for (wchar_t unit : typed)
            ::PostMessageW(edit, WM_CHAR, unit, 1);
        ::PostMessageW(d.m_hWnd, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(add.DoModal(), IDOK);
    EXPECT_EQ(add.m_strName, Utf8(typed));

    // A path of more than 260 characters in folders named in Japanese and Cyrillic.
    std::string path = "C:\\写真 🌸";
    for (int i = 0; i < 3; ++i)
        path += "\\" + std::string(100, 'x') + "Москва";
    path += "\\夕焼け.jpg";
    ScriptedDialog<CLocationDlg> location;
    location.m_strLocation = path;
    std::string shown;
    location.script = [&](ScriptedDialog<CLocationDlg>& d) {
        wchar_t text[1024] = L"";
        ::GetDlgItemTextW(d.m_hWnd, IDC_LOCATION, text, ARRAYSIZE(text));
        shown = Utf8(text);
        d.Command(IDOK);
    };
    EXPECT_EQ(location.DoModal(), IDOK);
    EXPECT_EQ(shown, path);
    EXPECT_EQ(location.m_strLocation, path);
}

TEST(SmallDialogs, OpenAndCloseWithoutLeaks)
{
    auto cycle = [] {
        ScriptedDialog<CAddPlaylistDlg> add;
        add.endAtInit = true;
        add.DoModal();
        ScriptedDialog<CLocationDlg> location;
        location.m_strLocation = "C:\\a.bmp";
        location.endAtInit = true;
        location.DoModal();
    };
    for (int i = 0; i < 10; ++i)
        cycle();
    const ResourceCounts before = CountResources();
    for (int i = 0; i < 200; ++i)
        cycle();
    const ResourceCounts after = CountResources();
    EXPECT_LE(after.probedGdi, before.probedGdi + 2);
    EXPECT_LE(after.probedHandles, before.probedHandles + 2);
    EXPECT_LE(after.user, before.user + 2);
}
