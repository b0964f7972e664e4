// The Add Playlist and Picture Location dialogs, live under Wine.
#include "dialogs/AddPlaylistDlg.h"
#include "dialogs/LocationDlg.h"
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
} // namespace

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
