// Editing the library in the live Settings dialog: adding playlists and pictures (the system's
// file-open dialog replaced by a stand-in), the context menus and their commands (the menu's
// tracking replaced by a stand-in that reads the menu and chooses), the Delete key, and renaming
// playlists in place.
#include "unit/SettingsDlgFixture.h"
#include "unit/WideFiles.h"

#include <cstring>
#include <iterator>
#include <map>

using namespace testing_support;

namespace {

// The file-open dialog's stand-in: keeps what it was asked and answers with `answer` (UTF-8,
// parts separated by '|', copied in UTF-16 with zero characters between them and an empty part
// at the end), or fails when `answer` is empty.
struct FakeOpenFile {
    static inline OPENFILENAMEW asked {};
    static inline std::string title, filter, answer;
    static inline int calls = 0;
    static inline wchar_t firstChar = L'x';
    static inline DWORD error = 0; // what the failed dialog reports
    static DWORD WINAPI Error() { return error; }
    static BOOL WINAPI Open(OPENFILENAMEW* ofn)
    {
        asked = *ofn;
        firstChar = ofn->lpstrFile ? ofn->lpstrFile[0] : L'x';
        title = Utf8(ofn->lpstrTitle);
        filter.clear();
        for (const wchar_t* p = ofn->lpstrFilter; p && *p; p += std::wcslen(p) + 1)
            filter += Utf8(p) + "|";
        ++calls;
        if (answer.empty())
            return FALSE;
        std::wstring buffer = Wide(answer);
        for (wchar_t& c : buffer)
            if (c == L'|')
                c = L'\0';
        buffer += std::wstring(2, L'\0');
        if (buffer.size() > ofn->nMaxFile)
            return FALSE;
        std::memcpy(ofn->lpstrFile, buffer.data(), buffer.size() * sizeof(wchar_t));
        return TRUE;
    }
};

// One entry of a pop-up as the user sees it.
struct MenuEntry {
    std::string text;
    UINT id;
    bool checked, radio, grayed;
};

// The context menu's stand-in: reads the pop-up (RightClick then sends the chosen command, as
// the menu does once it has closed).
struct FakeMenu {
    static inline std::vector<MenuEntry> shown;
    static inline HWND owner = nullptr;
    static inline POINT at {};
    static inline int calls = 0;
    static BOOL Track(HMENU menu, UINT, int x, int y, HWND o)
    {
        ++calls;
        owner = o;
        at = {x, y};
        shown.clear();
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            char text[64] = "";
            MENUITEMINFOA info {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = sizeof text;
            ::GetMenuItemInfoA(menu, i, TRUE, &info);
            shown.push_back({(info.fType & MFT_SEPARATOR) ? "-" : text, info.wID, (info.fState & MFS_CHECKED) != 0,
                (info.fType & MFT_RADIOCHECK) != 0, (info.fState & MFS_GRAYED) != 0});
        }
        return TRUE;
    }
    static const MenuEntry* Entry(UINT id)
    {
        for (const MenuEntry& entry : shown)
            if (entry.id == id && entry.text != "-")
                return &entry;
        return nullptr;
    }
};

std::vector<std::string> g_opened;
void FakeOpenWithShell(HWND, const char* path)
{
    g_opened.push_back(path);
}

class SettingsEditTest : public SettingsDlgTest {
protected:
    void SetUp() override
    {
        SettingsDlgTest::SetUp();
        CSettingsDlg::s_pfnGetOpenFileName = FakeOpenFile::Open;
        CSettingsDlg::s_pfnCommDlgExtendedError = FakeOpenFile::Error;
        FakeOpenFile::error = 0;
        CSettingsDlg::s_pfnTrackPopupMenu = FakeMenu::Track;
        CSettingsDlg::s_pfnOpenFile = FakeOpenWithShell;
        FakeOpenFile::calls = FakeMenu::calls = 0;
        FakeOpenFile::answer.clear();
        g_opened.clear();
    }
    void TearDown() override
    {
        CSettingsDlg::s_pfnGetOpenFileName = ::GetOpenFileNameW;
        CSettingsDlg::s_pfnCommDlgExtendedError = ::CommDlgExtendedError;
        SettingsDlgTest::TearDown();
    }

    // A right click on the item (none: on empty space below the items); when a menu is shown and
    // `choose` is given, that command is chosen, and it has been handled on return.
    static void RightClick(CScriptedSettingsDlg& dlg, HTREEITEM item, UINT choose = 0)
    {
        RECT rect {};
        POINT point {5, 5};
        if (item) {
            ASSERT_TRUE(TreeView_GetItemRect(dlg.m_tree, item, &rect, TRUE));
            point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        } else {
            ::GetClientRect(dlg.m_tree, &rect);
            point = {rect.right / 2, rect.bottom - 3};
        }
        ::ClientToScreen(dlg.m_tree, &point);
        ASSERT_TRUE(::SetCursorPos(point.x, point.y));
        dlg.Settle(); // the menu knows whether the file is there once the look-up answered
        const int shown = FakeMenu::calls;
        NMHDR header {dlg.m_tree, IDC_LIBRARY_TREE, static_cast<UINT>(NM_RCLICK)};
        ::SendMessageA(dlg.m_hWnd, WM_NOTIFY, IDC_LIBRARY_TREE, reinterpret_cast<LPARAM>(&header));
        if (choose && FakeMenu::calls > shown)
            ::SendMessageA(FakeMenu::owner, WM_COMMAND, choose, 0);
    }
};

} // namespace

TEST_F(SettingsEditTest, AddPlaylistInsertsItSortedOpensTheRootAndKeepsTheSelection)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Playlist("Zoo")});
    std::vector<std::string> names {"Animals", "", "Beach"};
    size_t next = 0;
    DialogAnswerer add("Add Playlist", [&](HWND dlg) {
        if (next < names.size()) {
            ::SetDlgItemTextA(dlg, IDC_PLAYLIST_NAME, names[next++].c_str());
            ::PostMessageA(dlg, WM_COMMAND, next == 3 ? IDCANCEL : IDOK, 0);
        }
    });
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_COLLAPSE);
        HTREEITEM lake = dlg.Find("Lake");
        TreeView_SelectItem(dlg.m_tree, lake);
        for (int i = 0; i < 3; ++i)
            dlg.Click(IDC_ADD_PLAYLIST);
        // The empty name is accepted; the cancelled "Beach" is not added.
        EXPECT_EQ(dlg.Outline(), "Play Lists{{} Animals{} Lake{one.bmp} Zoo{}}");
        EXPECT_TRUE(dlg.Expanded(dlg.m_hRootItem));
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), lake);
        dlg.Click(IDOK);
    });
    EXPECT_EQ(add.Answered(), 3);
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0]->m_strPath, "");
    EXPECT_EQ(records[0]->m_bPicture, 0);
    EXPECT_EQ(Paths(records), "Animals Lake one.bmp Zoo");
}

TEST_F(SettingsEditTest, AddPicturesAppendsOneFileAndSortsSeveralIntoThePlaylist)
{
    WriteLibrary({Playlist("Lake"), Picture("m.bmp"), Picture("c.bmp"), Playlist("Zoo")});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Lake"));
        FakeOpenFile::answer = Picture("b.bmp").m_strPath;
        dlg.Click(IDC_ADD_PICTURE);
        // The dialog as it was asked for.
        EXPECT_EQ(FakeOpenFile::asked.hwndOwner, dlg.m_hWnd);
        EXPECT_EQ(FakeOpenFile::title, "Add Pictures to Playlist");
        EXPECT_EQ(FakeOpenFile::filter,
                  "All pictures|*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif;*.png;*.gif;*.webp;*.tga;*.tif;*.tiff|"
                  "Bitmap Files|*.bmp|JPEG Files|*.jpg;*.jpeg;*.jpe;*.jfif|PNG Files|*.png|GIF Files|*.gif|"
                  "WebP Files|*.webp|TGA Files|*.tga|TIFF Files|*.tif;*.tiff|All Files (*.*)|*.*|");
        EXPECT_EQ(FakeOpenFile::asked.nFilterIndex, 1u);
        EXPECT_EQ(FakeOpenFile::asked.Flags & ~OFN_ENABLESIZING, DWORD(OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT
            | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_NOCHANGEDIR));
        EXPECT_GE(FakeOpenFile::asked.nMaxFile, 2000u);
        EXPECT_EQ(FakeOpenFile::firstChar, L'\0');
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{m.bmp c.bmp b.bmp} Zoo{}}");
        EXPECT_TRUE(dlg.Expanded(dlg.Find("Lake")));

        // Several files: each in its sorted place among the playlist's pictures (before the
        // first one whose name sorts after it).
        Picture("a.bmp"), Picture("n.bmp"), Picture("d.bmp");
        FakeOpenFile::answer = m_dir + "|n.bmp|a.bmp|d.bmp";
        dlg.Click(IDC_ADD_PICTURE);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{a.bmp d.bmp m.bmp c.bmp b.bmp n.bmp} Zoo{}}");

        // Cancelled: nothing, silently. Too many names for the buffer: nothing, and the user
        // is told.
        FakeOpenFile::answer.clear();
        dlg.Click(IDC_ADD_PICTURE);
        EXPECT_TRUE(FakeMessageBoxes::shown.empty());
        FakeOpenFile::error = FNERR_BUFFERTOOSMALL;
        dlg.Click(IDC_ADD_PICTURE);
        EXPECT_EQ(FakeMessageBoxes::Count("Too many files were selected at once"), 1);
        EXPECT_EQ(FakeMessageBoxes::shown.size(), 1u);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{a.bmp d.bmp m.bmp c.bmp b.bmp n.bmp} Zoo{}}");
        dlg.Click(IDOK);
    });
    EXPECT_EQ(FakeOpenFile::calls, 4);
    EXPECT_EQ(Paths(ReadBack()), "Lake a.bmp d.bmp m.bmp c.bmp b.bmp n.bmp Zoo");
    const CWallpaperList records = ReadBack();
    EXPECT_EQ(records[1]->m_strPath, m_dir + "\\a.bmp");
    EXPECT_EQ(records[1]->m_strTile, "0");
    EXPECT_EQ(records[1]->m_bMaintainAspect, 1);
}

TEST_F(SettingsEditTest, AddPicturesWithoutTheShellSplitsTheAnswerAtSpaces)
{
    app.m_bNewShell = FALSE;
    WriteLibrary({Playlist("Lake"), Picture("m.bmp")});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Lake"));
        Picture("z.bmp"), Picture("b.bmp");
        FakeOpenFile::answer = m_dir + " z.bmp b.bmp";
        dlg.Click(IDC_ADD_PICTURE);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{b m z}}");
        dlg.Click(IDCANCEL);
    });
}

TEST_F(SettingsEditTest, ContextMenusShowTheRecordsOptionsAndTheirCommandsChangeThem)
{
    CWallpaperObject gone = PictureRecord(m_dir + "\\gone.jpg");
    WriteLibrary({Playlist("Lake"), Picture("one.bmp", "1", 0), gone});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        HTREEITEM selected = TreeView_GetSelection(dlg.m_tree);
        // The root and empty space show no menu.
        RightClick(dlg, dlg.m_hRootItem);
        RightClick(dlg, nullptr);
        EXPECT_EQ(FakeMenu::calls, 0);

        RightClick(dlg, dlg.Find("Lake"));
        ASSERT_EQ(FakeMenu::shown.size(), 2u);
        EXPECT_EQ(FakeMenu::shown[0].text, "Delete");
        EXPECT_EQ(FakeMenu::shown[1].text, "Rename");
        EXPECT_EQ(FakeMenu::owner, dlg.m_hWnd);

        HTREEITEM one = dlg.Find("one.bmp");
        RightClick(dlg, one, ID_LIBRARY_ASPECT);
        std::string texts;
        for (const MenuEntry& entry : FakeMenu::shown)
            texts += entry.text + ";";
        EXPECT_EQ(texts, "&Delete;-;&Location...;&Preview;-;&Tile;&Center;-;&Maintain Aspect Ratio;");
        EXPECT_TRUE(FakeMenu::Entry(ID_LIBRARY_TILE)->checked && FakeMenu::Entry(ID_LIBRARY_TILE)->radio);
        EXPECT_FALSE(FakeMenu::Entry(ID_LIBRARY_CENTER)->checked);
        EXPECT_FALSE(FakeMenu::Entry(ID_LIBRARY_ASPECT)->checked);
        EXPECT_FALSE(FakeMenu::Entry(ID_LIBRARY_PREVIEW)->grayed);
        EXPECT_EQ(dlg.RecordOf(one)->m_bMaintainAspect, 1);
        RightClick(dlg, one, ID_LIBRARY_CENTER);
        EXPECT_TRUE(FakeMenu::Entry(ID_LIBRARY_ASPECT)->checked);
        EXPECT_EQ(dlg.RecordOf(one)->m_strTile, "0");
        RightClick(dlg, one, ID_LIBRARY_PREVIEW);
        EXPECT_TRUE(FakeMenu::Entry(ID_LIBRARY_CENTER)->checked && !FakeMenu::Entry(ID_LIBRARY_TILE)->checked);
        EXPECT_EQ(g_opened, std::vector<std::string> {m_dir + "\\one.bmp"});

        // A file that is gone: no preview, but its location is shown.
        HTREEITEM missing = dlg.Find(m_dir + "\\gone.jpg");
        std::string location;
        DialogAnswerer where("Picture Location", [&](HWND box) {
            wchar_t text[300] = L"";
            ::GetDlgItemTextW(box, IDC_LOCATION, text, ARRAYSIZE(text));
            location = Utf8(text);
            ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        });
        RightClick(dlg, missing, ID_LIBRARY_LOCATION);
        EXPECT_TRUE(FakeMenu::Entry(ID_LIBRARY_PREVIEW)->grayed);
        EXPECT_EQ(location, m_dir + "\\gone.jpg");
        RightClick(dlg, missing, ID_LIBRARY_TILE);
        EXPECT_EQ(dlg.RecordOf(missing)->m_strTile, "1");

        // Picture commands do nothing to a playlist; the selection never moved.
        RightClick(dlg, dlg.Find("Lake"), ID_LIBRARY_TILE);
        EXPECT_EQ(dlg.RecordOf(dlg.Find("Lake"))->m_strTile, "0");
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), selected);
        dlg.Click(IDOK);
    });
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1]->m_strTile, "0");
    EXPECT_EQ(records[1]->m_bMaintainAspect, 1);
    EXPECT_EQ(records[2]->m_strTile, "1");
}

TEST_F(SettingsEditTest, DeletingTheNowPlayingPlaylistTakesItsPicturesAndTheMark)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Picture("two.bmp"), Playlist("Zoo"), Picture("z.bmp")}, 0);
    Open([&](CScriptedSettingsDlg& dlg) {
        ASSERT_EQ(dlg.NowPlayingRows(), 1);
        RightClick(dlg, dlg.Find("Lake"), ID_LIBRARY_DELETE);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Zoo{z.bmp}}");
        EXPECT_EQ(dlg.NowPlayingRows(), 0);
        EXPECT_EQ(dlg.m_hNowPlaying, nullptr);
        dlg.Click(IDOK);
    });
    EXPECT_EQ(Paths(ReadBack()), "Zoo z.bmp");
}

TEST_F(SettingsEditTest, DeleteKeyRemovesTheSelectedPlaylistOrPictureButNeverTheRoot)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Picture("two.bmp"), Playlist("Zoo")}, 2);
    Open([&](CScriptedSettingsDlg& dlg) {
        ASSERT_EQ(TreeView_GetSelection(dlg.m_tree), dlg.Find("two.bmp"));
        ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_DELETE, 0);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp} Zoo{}}");
        EXPECT_EQ(dlg.NowPlayingRows(), 0);
        TreeView_SelectItem(dlg.m_tree, dlg.m_hRootItem);
        ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_DELETE, 0);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp} Zoo{}}");
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Zoo"));
        ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_DELETE, 0);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp}}");
        dlg.Click(IDOK);
    });
    EXPECT_EQ(Paths(ReadBack()), "Lake one.bmp");
}

TEST_F(SettingsEditTest, RenamingAPlaylistInPlaceKeepsItsPlaceAndMakesTheSelectionNowPlaying)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Playlist("Zoo"), Picture("z.bmp")});
    // The keys go through the dialog's own message loop, as typed keys do; each phase of the
    // script runs once the edit they end is over.
    int phase = 0;
    HTREEITEM zoo = nullptr, lake = nullptr;
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        if (TreeView_GetEditControl(dlg.m_tree)) {
            dlg.RunScriptAgain();
            return;
        }
        switch (phase++) {
        case 0: {
            // Shown, so that an end of the dialog would show: EndDialog hides it.
            ::ShowWindow(dlg.m_hWnd, SW_SHOW);
            // The root and pictures refuse the edit.
            EXPECT_EQ(TreeView_EditLabel(dlg.m_tree, dlg.m_hRootItem), nullptr);
            EXPECT_EQ(TreeView_EditLabel(dlg.m_tree, dlg.Find("one.bmp")), nullptr);
            EXPECT_EQ(dlg.m_pLabelEdit, nullptr);
            zoo = dlg.Find("Zoo");
            TreeView_SelectItem(dlg.m_tree, zoo);
            RightClick(dlg, zoo, ID_LIBRARY_RENAME);
            HWND edit = TreeView_GetEditControl(dlg.m_tree);
            ASSERT_NE(edit, nullptr);
            EXPECT_NE(dlg.m_pLabelEdit, nullptr);
            EXPECT_EQ(::SendMessageA(edit, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
            ::SetWindowTextA(edit, "Aardvarks");
            ::SetFocus(edit);
            ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
            dlg.RunScriptAgain();
            return;
        }
        case 1: {
            // Enter kept the text and did not press OK.
            EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
            EXPECT_EQ(dlg.m_pLabelEdit, nullptr);
            EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp} Aardvarks{z.bmp}}"); // not sorted again
            EXPECT_EQ(dlg.RecordOf(zoo)->m_strPath, "Aardvarks");
            EXPECT_EQ(dlg.m_hNowPlaying, zoo);
            EXPECT_EQ(dlg.NowPlayingLabel(), "Aardvarks");
            lake = dlg.Find("Lake");
            TreeView_SelectItem(dlg.m_tree, lake);
            HWND edit = TreeView_EditLabel(dlg.m_tree, lake);
            ASSERT_NE(edit, nullptr);
            ::SetWindowTextA(edit, "Sea");
            ::SetFocus(edit);
            ::PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
            dlg.RunScriptAgain();
            return;
        }
        case 2:
            // Escape dropped the text, did not press Cancel, and changed nothing else: the
            // Now Playing item stays.
            EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
            EXPECT_EQ(dlg.Label(lake), "Lake");
            EXPECT_EQ(dlg.RecordOf(lake)->m_strPath, "Lake");
            EXPECT_EQ(dlg.m_hNowPlaying, zoo);
            EXPECT_EQ(dlg.NowPlayingLabel(), "Aardvarks");
            // F2 renames the selected playlist, and nothing else.
            TreeView_SelectItem(dlg.m_tree, dlg.Find("one.bmp"));
            ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_F2, 0);
            EXPECT_EQ(TreeView_GetEditControl(dlg.m_tree), nullptr);
            TreeView_SelectItem(dlg.m_tree, lake);
            ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_F2, 0);
            ASSERT_NE(TreeView_GetEditControl(dlg.m_tree), nullptr);
            ::SetWindowTextA(TreeView_GetEditControl(dlg.m_tree), "Sea");
            ::SetFocus(TreeView_GetEditControl(dlg.m_tree));
            ::PostMessageA(TreeView_GetEditControl(dlg.m_tree), WM_KEYDOWN, VK_RETURN, 0);
            dlg.RunScriptAgain();
            return;
        default:
            EXPECT_EQ(dlg.RecordOf(lake)->m_strPath, "Sea");
            EXPECT_EQ(dlg.m_hNowPlaying, lake);
            dlg.Click(IDOK);
        }
    }), IDOK);
    EXPECT_EQ(phase, 4);
    EXPECT_EQ(Paths(ReadBack()), "Sea* one.bmp Aardvarks z.bmp");
    // The next opening sorts it into its place.
    Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_EQ(dlg.Outline(), "Play Lists{Aardvarks{z.bmp} Sea{one.bmp}}");
        dlg.Click(IDCANCEL);
    });
}

TEST_F(SettingsEditTest, ChildDialogsAreOwnedByTheSettingsDialogWhichIsDisabledWhileTheyRun)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")});
    // Another window of this thread is the active one: a child owned by the active window
    // would leave the Settings dialog usable underneath.
    HWND other = ::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
        nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    struct Seen {
        HWND owner = nullptr;
        bool settingsEnabled = true;
    };
    std::map<std::string, Seen> seen;
    HWND settings = nullptr;
    auto note = [&](const char* caption) {
        return [&, caption](HWND child) {
            seen[caption] = {::GetWindow(child, GW_OWNER), ::IsWindowEnabled(settings) != FALSE};
            ::PostMessageA(child, WM_COMMAND, IDCANCEL, 0);
        };
    };
    Open([&](CScriptedSettingsDlg& dlg) {
        settings = dlg.m_hWnd;
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        for (const char* caption : {"Options", "Add Playlist", "Picture Location"}) {
            ::SetActiveWindow(other);
            DialogAnswerer child(caption, note(caption));
            if (caption == std::string("Options"))
                dlg.Command(IDC_SETTINGS_OPTIONS);
            else if (caption == std::string("Add Playlist"))
                dlg.Command(IDC_ADD_PLAYLIST);
            else
                RightClick(dlg, dlg.Find("one.bmp"), ID_LIBRARY_LOCATION);
            EXPECT_EQ(child.Answered(), 1) << caption;
        }
        EXPECT_TRUE(::IsWindowEnabled(dlg.m_hWnd));
        dlg.Click(IDCANCEL);
    });
    ::DestroyWindow(other);
    for (const char* caption : {"Options", "Add Playlist", "Picture Location"}) {
        EXPECT_EQ(seen[caption].owner, settings) << caption;
        EXPECT_FALSE(seen[caption].settingsEnabled) << caption;
    }
}

namespace {

// Presses and releases keys as the keyboard does (the first ones pressed first, released last).
void PressKeys(const std::vector<WORD>& keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT input {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    ASSERT_EQ(::SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), UINT(inputs.size()));
}

// Handles the keys pressed so far, and whatever they send on: a key pressed behind them is
// awaited (its toggle state flips when this thread takes it).
void HandleKeys()
{
    const SHORT before = ::GetKeyState(VK_F24) & 1;
    PressKeys({VK_F24});
    EXPECT_TRUE(PumpUntil([&] { return (::GetKeyState(VK_F24) & 1) != before; }, 5000));
}

} // namespace

TEST_F(SettingsEditTest, ShiftF10AndTheMenuKeyShowOneMenuAtTheSelectedItem)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Playlist("Zoo")});
    Open([&](CScriptedSettingsDlg& dlg) {
        ::ShowWindow(dlg.m_hWnd, SW_SHOW);
        ::SetForegroundWindow(dlg.m_hWnd);
        ::SetFocus(dlg.m_tree);
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        HTREEITEM one = dlg.Find("one.bmp");
        TreeView_SelectItem(dlg.m_tree, one);
        RECT label {};
        TreeView_GetItemRect(dlg.m_tree, one, &label, TRUE);
        POINT below = {label.left, label.bottom};
        ::ClientToScreen(dlg.m_tree, &below);
        // The menu goes to the item, not to the pointer.
        POINT pointer {};
        ::GetCursorPos(&pointer);
        ASSERT_TRUE(pointer.x != below.x || pointer.y != below.y);
        for (const auto& keys : {std::vector<WORD> {VK_SHIFT, VK_F10}, std::vector<WORD> {VK_APPS}}) {
            const int before = FakeMenu::calls;
            PressKeys(keys);
            HandleKeys();
            EXPECT_EQ(FakeMenu::calls, before + 1) << keys.back();
            EXPECT_EQ(FakeMenu::at.x, below.x) << keys.back();
            EXPECT_EQ(FakeMenu::at.y, below.y) << keys.back();
            EXPECT_EQ(dlg.m_hContextItem, one);
            EXPECT_NE(FakeMenu::Entry(ID_LIBRARY_PREVIEW), nullptr);
        }
        // The command acts on the item the menu was shown for, wherever the selection is now.
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Zoo"));
        ::SendMessageA(dlg.m_hWnd, WM_COMMAND, ID_LIBRARY_TILE, 0);
        EXPECT_EQ(dlg.RecordOf(one)->m_strTile, "1");
        // The root has no menu.
        TreeView_SelectItem(dlg.m_tree, dlg.m_hRootItem);
        const int before = FakeMenu::calls;
        PressKeys({VK_APPS});
        HandleKeys();
        EXPECT_EQ(FakeMenu::calls, before);
        dlg.Click(IDCANCEL);
    });
}

namespace {

// Types text into a window as the keyboard does: one character message per UTF-16 unit (a
// character outside the basic plane comes as its two halves), through the thread's loop.
void Type(HWND window, const std::string& text)
{
    for (wchar_t unit : Wide(text))
        ::PostMessageW(window, WM_CHAR, unit, 1);
}

// The shell's real "open", as Preview uses it.
void (*const g_openWithShell)(HWND, const char*) = CSettingsDlg::s_pfnOpenFile;

class SettingsEditNamesTest : public SettingsEditTest {
protected:
    void SetUp() override
    {
        SettingsEditTest::SetUp();
        m_folder = MakeNamedPictures(m_dir);
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override
    {
        CSettingsDlg::s_pfnOpenFile = g_openWithShell;
        DeleteWideTree(m_folder);
        SettingsEditTest::TearDown();
    }
    std::string In(const char* name) const { return m_folder + "\\" + name; }

    std::string m_folder;
};

} // namespace

TEST_F(SettingsEditNamesTest, AddPlaylistTakesATypedNameInAnyScript)
{
    WriteLibrary({Playlist("Lake")});
    DialogAnswerer add("Add Playlist", [&](HWND dlg) {
        Type(::GetDlgItem(dlg, IDC_PLAYLIST_NAME), kCyrillicName);
        ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    Open([&](CScriptedSettingsDlg& dlg) {
        dlg.Click(IDC_ADD_PLAYLIST);
        // In its sorted place, after the Latin name.
        EXPECT_EQ(dlg.Outline(), std::string("Play Lists{Lake{} ") + kCyrillicName + "{}}");
        dlg.Click(IDOK);
    });
    EXPECT_EQ(add.Answered(), 1);
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1]->m_strPath, kCyrillicName);
    EXPECT_EQ(records[1]->m_bPicture, 0);
}

TEST_F(SettingsEditNamesTest, RenamingInPlaceTakesATypedNameInAnyScript)
{
    WriteLibrary({Playlist("Lake"), PictureRecord(In(kSunset))});
    const std::string name = std::string(kCyrillicName) + " Łódź 🌅";
    int phase = 0;
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        if (TreeView_GetEditControl(dlg.m_tree)) {
            dlg.RunScriptAgain();
            return;
        }
        if (phase++ == 0) {
            HTREEITEM lake = dlg.Find("Lake");
            TreeView_SelectItem(dlg.m_tree, lake);
            HWND edit = TreeView_EditLabel(dlg.m_tree, lake);
            ASSERT_NE(edit, nullptr);
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            Type(edit, name);
            ::SetFocus(edit);
            ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
            dlg.RunScriptAgain();
            return;
        }
        HTREEITEM renamed = TreeView_GetChild(dlg.m_tree, dlg.m_hRootItem);
        EXPECT_EQ(dlg.RecordOf(renamed)->m_strPath, name);
        EXPECT_EQ(dlg.Outline(), "Play Lists{" + name + "{" + kSunset + "}}");
        EXPECT_EQ(dlg.NowPlayingLabel(), name);
        dlg.Click(IDOK);
    }), IDOK);
    EXPECT_EQ(phase, 2);
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->m_strPath, name);
    EXPECT_EQ(records[1]->m_strPath, In(kSunset));
}

TEST_F(SettingsEditNamesTest, AddPicturesTakesNamesInAnyScriptFromTheOpenDialog)
{
    WriteLibrary({Playlist(kCyrillicName)});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_SelectItem(dlg.m_tree, dlg.Find(kCyrillicName));
        // One file: its full path.
        FakeOpenFile::answer = In(kSunset);
        dlg.Click(IDC_ADD_PICTURE);
        // Several: the folder, then the names (one with a character in two UTF-16 units).
        FakeOpenFile::answer = m_folder + "|" + kMoscow + "|" + kLodz + "|" + kCafe;
        dlg.Click(IDC_ADD_PICTURE);
        // Each of the several in its sorted place, before the first one that sorts after it.
        EXPECT_EQ(dlg.Outline(), std::string("Play Lists{") + kCyrillicName + "{" + kCafe + " " + kLodz + " " + kMoscow
                + " " + kSunset + "}}");
        for (HTREEITEM picture : dlg.Children(dlg.Find(kCyrillicName)))
            EXPECT_NE(dlg.Image(picture), CSettingsDlg::kMissingFile) << dlg.Label(picture);
        dlg.Click(IDOK);
    });
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 5u);
    std::vector<std::string> paths;
    for (size_t i = 1; i < records.size(); ++i)
        paths.push_back(records[i]->m_strPath);
    EXPECT_EQ(paths, (std::vector<std::string> {In(kCafe), In(kLodz), In(kMoscow), In(kSunset)}));
}

TEST_F(SettingsEditNamesTest, PreviewOpensAFileWhoseNameTheCodePageLacks)
{
    // A file the shell runs: it leaves a file behind, so the test sees it was opened.
    const std::string opened = m_dir + "\\opened.txt";
    ::DeleteFileA(opened.c_str());
    const std::string batch = In("開く 🌅.bat");
    ASSERT_TRUE(MakeWideFile(batch, "@echo opened> \"" + opened + "\"\r\n"));
    WriteLibrary({Playlist("Lake"), PictureRecord(batch)});
    CSettingsDlg::s_pfnOpenFile = g_openWithShell;
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        RightClick(dlg, dlg.Find("開く 🌅.bat"), ID_LIBRARY_PREVIEW);
        EXPECT_FALSE(FakeMenu::Entry(ID_LIBRARY_PREVIEW)->grayed);
        dlg.Click(IDCANCEL);
    });
    EXPECT_TRUE(PumpUntil([&] { return FileExists(opened); }, 20000));
}
