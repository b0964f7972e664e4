// The Settings dialog under Wine, driven from inside its modal loop: its controls, the library
// as the tree shows it, the Now Playing item, the buttons, and what OK and Cancel write (read
// back with the library reader and byte by byte).
#include "unit/AllocationProbe.h"
#include "unit/SettingsDlgFixture.h"
#include "unit/WideFiles.h"

#include <algorithm>
#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

std::string WindowText(HWND hwnd)
{
    char text[256] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// The button of a dialog that shows this text (without its '&').
HWND ButtonWithText(HWND dialog, const std::string& text)
{
    struct Search {
        std::string text;
        HWND found;
    } search {text, nullptr};
    ::EnumChildWindows(dialog, [](HWND child, LPARAM param) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(param);
        std::string shown = WindowText(child);
        shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
        if (shown != search.text)
            return TRUE;
        search.found = child;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    EXPECT_NE(search.found, nullptr) << text;
    return search.found;
}

} // namespace

TEST_F(SettingsDlgTest, ControlsAreThoseOfTheTemplateInTabOrder)
{
    const DWORD button = WS_TABSTOP | BS_DEFPUSHBUTTON;
    const DWORD treeStyle = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS;
    const DWORD treeMask = treeStyle | TVS_DISABLEDRAGDROP | TVS_SINGLEEXPAND | WS_BORDER | WS_TABSTOP;
    const DWORD listStyle = LVS_LIST | LVS_ALIGNLEFT | LVS_SHAREIMAGELISTS | WS_BORDER | WS_TABSTOP;
    const DWORD listMask = LVS_TYPEMASK | LVS_ALIGNMASK | LVS_SHAREIMAGELISTS | WS_BORDER | WS_TABSTOP;
    const std::vector<ExpectedControl> table {
        {IDOK, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, button, {218, 182, 50, 13}},
        {IDCANCEL, "Button", "Cancel", WS_TABSTOP, button, {273, 182, 50, 13}},
        {IDC_LIBRARY_TREE, "SysTreeView32", "", treeStyle | WS_BORDER | WS_TABSTOP, treeMask, {5, 29, 180, 166}},
        {IDC_ADD_PLAYLIST, "Button", "Add &Playlist...", WS_TABSTOP, button, {192, 34, 62, 13}},
        {IDC_ADD_PICTURE, "Button", "Add P&icture...", WS_TABSTOP, button, {192, 52, 62, 13}},
        {IDC_ADD_FOLDER, "Button", "Add F&older...", WS_TABSTOP, button, {192, 70, 62, 13}},
        {IDC_SETTINGS_OPTIONS, "Button", "&Options...", WS_TABSTOP, button, {261, 34, 62, 13}},
        {IDC_SET_NOW_PLAYING, "Button", "&Set ", WS_TABSTOP, button, {192, 8, 62, 13}},
        {-1, "Button", " Now Playing ", BS_GROUPBOX, BS_TYPEMASK | WS_TABSTOP, {5, 1, 180, 25}},
        {IDC_NOW_PLAYING, "SysListView32", "", listStyle, listMask, {12, 10, 166, 13}},
        {IDC_SETTINGS_ABOUT, "Button", "&About...", WS_TABSTOP, button, {261, 52, 62, 13}},
        {IDC_PREVIEW, "Static", "", SS_OWNERDRAW, SS_TYPEMASK | WS_TABSTOP, {192, 90, 131, 74}},
        {IDC_PREVIEW_INFO, "Static", "", SS_CENTER, SS_TYPEMASK | WS_TABSTOP, {192, 167, 131, 9}},
    };
    char caption[64] = "";
    HWND focus = nullptr;
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        ::GetWindowTextA(dlg.m_hWnd, caption, sizeof caption);
        focus = ::GetFocus();
        ExpectControls(dlg.m_hWnd, table);
        dlg.Command(IDCANCEL);
    }), IDCANCEL);
    EXPECT_STREQ(caption, "Murlavo Settings");
}

TEST_F(SettingsDlgTest, WithoutALibraryOnlyTheRootIsShownAndNothingCanBeAddedOrSet)
{
    Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_EQ(dlg.Outline(), "Play Lists{}");
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), nullptr);
        EXPECT_EQ(dlg.NowPlayingRows(), 0);
        EXPECT_FALSE(dlg.Enabled(IDC_ADD_PICTURE));
        EXPECT_FALSE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        for (int id : {IDOK, IDCANCEL, IDC_ADD_PLAYLIST, IDC_SETTINGS_OPTIONS, IDC_SETTINGS_ABOUT})
            EXPECT_TRUE(dlg.Enabled(id)) << id;
        EXPECT_EQ(::GetDlgCtrlID(::GetFocus()), IDOK);
        EXPECT_EQ(dlg.Image(dlg.m_hRootItem), CSettingsDlg::kClosedFolder);
        dlg.Command(IDCANCEL);
    });
    EXPECT_FALSE(FileExists(LibraryPath()));
}

TEST_F(SettingsDlgTest, PlaylistsAreSortedPicturesKeepFileOrderAndOkWritesTheTreeOrder)
{
    WriteLibrary({Playlist("Zoo"), Picture("zebra.bmp"), Playlist("Animals"), Picture("dog.bmp"), Picture("cat.bmp"),
        Playlist("Empty")});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        for (HTREEITEM playlist : dlg.Children(dlg.m_hRootItem))
            TreeView_Expand(dlg.m_tree, playlist, TVE_EXPAND);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{dog.bmp cat.bmp} Empty{} Zoo{zebra.bmp}}");
        // Folders open only when expanded with something in them.
        EXPECT_EQ(dlg.Image(dlg.Find("Animals")), CSettingsDlg::kOpenFolder);
        EXPECT_EQ(dlg.Image(dlg.Find("Empty")), CSettingsDlg::kClosedFolder);
        TreeView_Expand(dlg.m_tree, dlg.Find("Zoo"), TVE_COLLAPSE);
        EXPECT_EQ(dlg.Image(dlg.Find("Zoo")), CSettingsDlg::kClosedFolder);
        EXPECT_EQ(dlg.Image(dlg.m_hRootItem), CSettingsDlg::kOpenFolder);
        // Pictures show their file's icon, one shared image for one file type.
        const int icon = dlg.Image(dlg.Find("dog.bmp"));
        EXPECT_GT(icon, CSettingsDlg::kMissingFile);
        EXPECT_EQ(dlg.Image(dlg.Find("cat.bmp")), icon);
        EXPECT_EQ(dlg.Image(dlg.Find("zebra.bmp")), icon);
        EXPECT_EQ(ImageList_GetImageCount(dlg.m_imageList.Get()), 5);
        EXPECT_EQ(dlg.m_arrIcons.size(), 1u);
        dlg.Command(IDOK);
    });
    // An empty playlist is one record; no record is Now Playing.
    EXPECT_EQ(Paths(ReadBack()), "Animals dog.bmp cat.bmp Empty Zoo zebra.bmp");
    EXPECT_EQ(ReadWholeFile(LibraryPath()),
        ExpectedBytes({Playlist("Animals"), Picture("dog.bmp"), Picture("cat.bmp"), Playlist("Empty"), Playlist("Zoo"),
            Picture("zebra.bmp")}, -1, g_settings.m_nScaleMethod));
}

TEST_F(SettingsDlgTest, ACountBeyondTheRecordsShowsWhatIsThereAndOkWritesTheTrueCount)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Picture("two.bmp")});
    std::string bytes = ReadWholeFile(LibraryPath());
    bytes[0] = 5; // the count says 5; 3 records follow
    {
        FILE* fp = fopen(LibraryPath().c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), fp);
        fclose(fp);
    }
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp two.bmp}}");
        dlg.Command(IDOK);
    });
    const std::string written = ReadWholeFile(LibraryPath());
    ASSERT_GE(written.size(), 4u);
    EXPECT_EQ(written.substr(0, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(Paths(ReadBack()), "Lake one.bmp two.bmp");
    // The file that did not read to its end is kept beside the new one.
    EXPECT_EQ(ReadWholeFile(LibraryPath() + ".bak"), bytes);
}

TEST_F(SettingsDlgTest, PicturesBeforeAnyPlaylistAreShownAndWrittenBack)
{
    WriteLibrary({Picture("stray.bmp"), Playlist("Lake"), Picture("one.bmp")});
    Open([&](CScriptedSettingsDlg& dlg) {
        for (HTREEITEM playlist : dlg.Children(dlg.m_hRootItem))
            TreeView_Expand(dlg.m_tree, playlist, TVE_EXPAND);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{one.bmp} Pictures{stray.bmp}}");
        dlg.Command(IDOK);
    });
    const std::string written = ReadWholeFile(LibraryPath());
    EXPECT_EQ(written.substr(0, 4), std::string("\x04\0\0\0", 4));
    EXPECT_EQ(Paths(ReadBack()), "Lake one.bmp Pictures stray.bmp");
}

TEST_F(SettingsDlgTest, NowPlayingPictureIsSelectedAndShownAndSetMovesTheMark)
{
    WriteLibrary({Playlist("Animals"), Picture("dog.bmp"), Picture("cat.bmp"), Playlist("Lake"), Picture("one.bmp")}, 2);
    Open([&](CScriptedSettingsDlg& dlg) {
        HTREEITEM cat = dlg.Find("cat.bmp");
        ASSERT_NE(cat, nullptr);
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), cat);
        EXPECT_EQ(dlg.m_hNowPlaying, cat);
        EXPECT_TRUE(dlg.Expanded(dlg.Find("Animals")));
        EXPECT_FALSE(dlg.Expanded(dlg.Find("Lake")));
        EXPECT_EQ(dlg.NowPlayingRows(), 1);
        EXPECT_EQ(dlg.NowPlayingLabel(), "cat.bmp");
        EXPECT_EQ(dlg.NowPlayingImage(), dlg.Image(cat));
        // A picture can be Now Playing but takes no pictures.
        EXPECT_TRUE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        EXPECT_FALSE(dlg.Enabled(IDC_ADD_PICTURE));

        TreeView_SelectItem(dlg.m_tree, dlg.m_hRootItem);
        EXPECT_FALSE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        EXPECT_FALSE(dlg.Enabled(IDC_ADD_PICTURE));
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Lake"));
        EXPECT_TRUE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        EXPECT_TRUE(dlg.Enabled(IDC_ADD_PICTURE));
        EXPECT_EQ(dlg.NowPlayingLabel(), "cat.bmp"); // selecting alone does not set it
        dlg.Click(IDC_SET_NOW_PLAYING);
        EXPECT_EQ(dlg.m_hNowPlaying, dlg.Find("Lake"));
        EXPECT_EQ(dlg.NowPlayingRows(), 1);
        EXPECT_EQ(dlg.NowPlayingLabel(), "Lake");
        EXPECT_EQ(dlg.NowPlayingImage(), CSettingsDlg::kClosedFolder);
        dlg.Click(IDOK);
    });
    EXPECT_EQ(Paths(ReadBack()), "Animals dog.bmp cat.bmp Lake* one.bmp");

    // The show window's reader plays what the dialog marked.
    CWallpaperList shown;
    ReadShowList(LibraryPath().c_str(), shown);
    EXPECT_EQ(Paths(shown), "one.bmp");
}

TEST_F(SettingsDlgTest, ThePlaylistMarkedInTheFileIsNowPlayingWithItsFolder)
{
    WriteLibrary({Playlist("Animals"), Picture("dog.bmp"), Playlist("Lake"), Picture("one.bmp"), Picture("two.bmp")}, 2);
    Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_EQ(dlg.m_hNowPlaying, dlg.Find("Lake"));
        EXPECT_EQ(dlg.NowPlayingLabel(), "Lake");
        EXPECT_EQ(dlg.NowPlayingImage(), CSettingsDlg::kClosedFolder);
        dlg.Click(IDCANCEL);
    });
    CWallpaperList shown;
    ReadShowList(LibraryPath().c_str(), shown);
    EXPECT_EQ(Paths(shown), "one.bmp two.bmp");
}

TEST_F(SettingsDlgTest, ScaleMethodDecidesEveryPicturesResampleFlagAndPlaylistsKeepTheirs)
{
    for (int32_t method : {0, 1}) {
        CWallpaperObject playlist = Playlist("Lake");
        playlist.m_bResample = 1; // a playlist's own flag is never touched
        WriteLibrary({playlist, Picture("one.bmp"), Picture("two.bmp")}, 0, method == 0 ? 1 : 0);
        ASSERT_TRUE(app.WriteProfileInt("Changer", "ScaleMethod", method));
        Open([&](CScriptedSettingsDlg& dlg) { dlg.Click(IDOK); });
        const CWallpaperList records = ReadBack();
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[0]->m_bResample, 1) << method;
        EXPECT_EQ(records[1]->m_bResample, method == 0 ? 1 : 0) << method;
        EXPECT_EQ(records[2]->m_bResample, method == 0 ? 1 : 0) << method;
        EXPECT_EQ(records[0]->m_bNowPlaying, 1);
    }
}

TEST_F(SettingsDlgTest, MissingPictureShowsTheCrossAndItsPathAndIsWrittenBackUnchanged)
{
    CWallpaperObject gone = PictureRecord(m_dir + "\\gone.jpg", "1", 0);
    WriteLibrary({Playlist("Lake"), gone, Picture("one.bmp")}, 1);
    const std::string before = ReadWholeFile(LibraryPath());
    Open([&](CScriptedSettingsDlg& dlg) {
        HTREEITEM item = dlg.Find(m_dir + "\\gone.jpg");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(dlg.Image(item), CSettingsDlg::kMissingFile);
        EXPECT_EQ(dlg.NowPlayingImage(), CSettingsDlg::kMissingFile);
        dlg.Click(IDOK);
    });
    // The same method as the file had: every byte is as it was.
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
}

TEST_F(SettingsDlgTest, WithoutTheShellPicturesShowTheirTitleAndMissingOnesTheirPath)
{
    app.m_bNewShell = FALSE;
    WriteLibrary({Playlist("Lake"), Picture("sunset.at.lake.bmp"), PictureRecord(m_dir + "\\gone.bmp")});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.Find("Lake"), TVE_EXPAND);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Lake{sunset.at.lake " + m_dir + "\\gone.bmp}}");
        EXPECT_EQ(dlg.Image(dlg.Find(m_dir + "\\gone.bmp")), CSettingsDlg::kMissingFile);
        EXPECT_NE(dlg.Image(dlg.Find("sunset.at.lake")), CSettingsDlg::kMissingFile);
        // The image list keeps its own copy of each icon.
        EXPECT_TRUE(dlg.m_arrIcons.empty());
        dlg.Click(IDCANCEL);
    });
}

// Pictures whose names the code page cannot hold, in a folder whose name it cannot hold, and
// one 300 characters deep; each exists except one, which is missing.
class SettingsNamesTest : public SettingsDlgTest {
protected:
    void SetUp() override
    {
        SettingsDlgTest::SetUp();
        m_folder = MakeNamedPictures(m_dir);
        ASSERT_FALSE(m_folder.empty());
        DeleteWideTree(m_dir + "\\deep");
        const std::string deep = MakeDeepFolder(m_dir + "\\deep", 300);
        ASSERT_FALSE(deep.empty());
        m_deep = deep + "\\深い 🌊.bmp";
        ASSERT_TRUE(MakeWideFile(m_deep));
        ASSERT_GT(Wide(m_deep).size(), 300u);
        m_missing = m_folder + "\\消えた 🌙.jpg";
    }
    void TearDown() override
    {
        DeleteWideTree(m_folder);
        DeleteWideTree(m_dir + "\\deep");
        SettingsDlgTest::TearDown();
    }
    std::string In(const char* name) const { return m_folder + "\\" + name; }

    std::string m_folder, m_deep, m_missing;
};

TEST_F(SettingsNamesTest, NamesInAnyScriptAndLongPathsAreShownFoundAndWrittenBackExactly)
{
    std::vector<CWallpaperObject> records {Playlist(kCyrillicName), PictureRecord(In(kSunset)),
        PictureRecord(In(kLodz)), PictureRecord(In(kMoscow)), PictureRecord(In(kCafe)), PictureRecord(m_deep),
        PictureRecord(m_missing)};
    WriteLibrary(records, 1);
    std::string location;
    DialogAnswerer where("Picture Location", [&](HWND box) {
        wchar_t text[1024] = L"";
        ::GetDlgItemTextW(box, IDC_LOCATION, text, ARRAYSIZE(text));
        location = Utf8(text);
        ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_EQ(dlg.Outline(), std::string("Play Lists{") + kCyrillicName + "{" + kSunset + " " + kLodz + " " + kMoscow
                + " " + kCafe + " 深い 🌊.bmp " + m_missing + "}}");
        // Each file that is there is found (no cross), the deep one too; the missing one shows
        // the cross and its whole path.
        const std::vector<HTREEITEM> pictures = dlg.Children(dlg.Find(kCyrillicName));
        ASSERT_EQ(pictures.size(), 6u);
        for (size_t i = 0; i < 5; ++i)
            EXPECT_NE(dlg.Image(pictures[i]), CSettingsDlg::kMissingFile) << records[i + 1].m_strPath;
        EXPECT_EQ(dlg.Image(pictures[5]), CSettingsDlg::kMissingFile);
        EXPECT_EQ(dlg.NowPlayingLabel(), kSunset);
        EXPECT_NE(dlg.NowPlayingImage(), CSettingsDlg::kMissingFile);

        // Picture Location shows the whole deep path.
        dlg.m_hContextItem = pictures[4];
        dlg.Command(ID_LIBRARY_LOCATION);
        EXPECT_EQ(location, m_deep);
        dlg.m_hContextItem = pictures[1];
        dlg.Command(ID_LIBRARY_LOCATION);
        EXPECT_EQ(location, In(kLodz));
        dlg.Click(IDOK);
    });
    EXPECT_EQ(where.Answered(), 2);
    const CWallpaperList saved = ReadBack();
    ASSERT_EQ(saved.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(saved[i]->m_strPath, records[i].m_strPath) << i;
    EXPECT_EQ(saved[1]->m_bNowPlaying, 1);
}

TEST_F(SettingsNamesTest, WithoutTheShellTitlesInAnyScriptAreShownAndTheFilesFound)
{
    app.m_bNewShell = FALSE;
    WriteLibrary({Playlist(kCyrillicName), PictureRecord(In(kSunset)), PictureRecord(In(kCafe)),
        PictureRecord(m_missing)});
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.Find(kCyrillicName), TVE_EXPAND);
        EXPECT_EQ(dlg.Outline(),
            std::string("Play Lists{") + kCyrillicName + "{夕焼け Cafe\u0301 " + m_missing + "}}");
        EXPECT_NE(dlg.Image(dlg.Find("夕焼け")), CSettingsDlg::kMissingFile);
        EXPECT_EQ(dlg.Image(dlg.Find(m_missing)), CSettingsDlg::kMissingFile);
        dlg.Click(IDCANCEL);
    });
}

namespace {
// Reads the text of each message box this thread shows, in UTF-16, and presses its OK: a timer
// of the thread finds the box from inside the box's own loop.
struct WideMessageBoxReader {
    static inline std::vector<std::string> texts;
    static inline HWND last = nullptr;
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND box, LPARAM) -> BOOL {
            wchar_t cls[16] = L"";
            ::GetClassNameW(box, cls, ARRAYSIZE(cls));
            if (box == last || std::wstring(cls) != L"#32770" || !::IsWindowVisible(box) || !::GetDlgItem(box, 0xFFFF))
                return TRUE;
            last = box;
            wchar_t text[512] = L"";
            ::GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
            texts.push_back(Utf8(text));
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            return FALSE;
        }, 0);
    }
};
} // namespace

TEST_F(SettingsDlgTest, MessageBoxesShowNamesInAnyScript)
{
    WideMessageBoxReader::texts.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, WideMessageBoxReader::OnTimer);
    const std::string text = std::string("The picture library C:\\") + kJapaneseFolder + "\\" + kLodz + " cannot be read";
    EXPECT_EQ(s_realMessageBox(nullptr, text.c_str(), MB_OK), IDOK);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(WideMessageBoxReader::texts, std::vector<std::string> {text});
}

TEST_F(SettingsDlgTest, OptionsChangeTheRegistryOnlyThroughOk)
{
    ASSERT_TRUE(app.WriteProfileInt("Changer", "Interval", 10));
    for (INT_PTR end : {IDCANCEL, IDOK}) {
        DialogAnswerer options("Options", [](HWND dlg) {
            ::SendMessageA(::GetDlgItem(dlg, IDC_HOURLY), BM_CLICK, 0, 0);
            ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
            dlg.Click(IDC_SETTINGS_OPTIONS); // returns when the Options dialog has ended
            EXPECT_EQ(dlg.m_settings.m_nInterval, 60);
            EXPECT_EQ(g_settings.m_nInterval, 10); // the dialog's copy only
            dlg.Command(int(end));
        }), end);
        EXPECT_EQ(options.Answered(), 1);
        DWORD interval = 0;
        ASSERT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "Interval", &interval));
        EXPECT_EQ(interval, end == IDOK ? 60u : 10u);
    }
    // An Options dialog that is cancelled changes nothing in memory either.
    g_settings.m_nInterval = 10;
    DialogAnswerer options("Options", [](HWND dlg) {
        ::SendMessageA(::GetDlgItem(dlg, IDC_DAILY), BM_CLICK, 0, 0);
        ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    Open([&](CScriptedSettingsDlg& dlg) {
        dlg.Click(IDC_SETTINGS_OPTIONS);
        EXPECT_EQ(dlg.m_settings.m_nInterval, 60); // read from the registry when the dialog opened
        dlg.Command(IDCANCEL);
    });
}

TEST_F(SettingsDlgTest, OkWithPicturesButNothingNowPlayingWarnsAndCancelGoesBack)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")});
    const std::string before = ReadWholeFile(LibraryPath());
    FakeMessageBoxes::answers = {IDCANCEL, IDOK};
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        dlg.Click(IDOK);
        EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
        dlg.Click(IDOK);
    }), IDOK);
    ASSERT_EQ(FakeMessageBoxes::shown.size(), 2u);
    EXPECT_EQ(FakeMessageBoxes::Count("the changer will have nothing to play"), 2);
    EXPECT_EQ(FakeMessageBoxes::shown[0].type & MB_TYPEMASK, UINT(MB_OKCANCEL));

    // With something Now Playing, or nothing to play at all, OK asks nothing.
    FakeMessageBoxes::shown.clear();
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")}, 0);
    Open([&](CScriptedSettingsDlg& dlg) { dlg.Click(IDOK); });
    WriteLibrary({Playlist("Lake")});
    Open([&](CScriptedSettingsDlg& dlg) { dlg.Click(IDOK); });
    EXPECT_TRUE(FakeMessageBoxes::shown.empty());
}

TEST_F(SettingsDlgTest, CancelAfterAnEditAsksBeforeDiscardingAndWithoutEditsClosesAtOnce)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp"), Playlist("Zoo")}, 1);
    const std::string before = ReadWholeFile(LibraryPath());
    // No edit, or an edit undone in the options: no question.
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_SelectItem(dlg.m_tree, dlg.Find("one.bmp"));
        dlg.Click(IDC_SET_NOW_PLAYING); // it already was
        dlg.m_settings.m_nInterval += 5;
        dlg.m_settings.m_nInterval -= 5;
        dlg.Click(IDCANCEL);
    }), IDCANCEL);
    EXPECT_TRUE(FakeMessageBoxes::shown.empty());

    // Each kind of edit: No goes back to the dialog, Yes discards.
    const std::vector<std::pair<const char*, std::function<void(CScriptedSettingsDlg&)>>> edits {
        {"Set", [](CScriptedSettingsDlg& dlg) {
             TreeView_SelectItem(dlg.m_tree, dlg.Find("Zoo"));
             dlg.Click(IDC_SET_NOW_PLAYING);
         }},
        {"delete", [](CScriptedSettingsDlg& dlg) {
             TreeView_SelectItem(dlg.m_tree, dlg.Find("Zoo"));
             ::SendMessageA(dlg.m_tree, WM_KEYDOWN, VK_DELETE, 0);
         }},
        {"options", [](CScriptedSettingsDlg& dlg) { dlg.m_settings.m_nSlideShow = 33; }},
    };
    for (const auto& [name, edit] : edits) {
        FakeMessageBoxes::shown.clear();
        FakeMessageBoxes::answers = {IDNO, IDYES};
        int stayed = 0;
        EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
            // Shown, so that an end of the dialog would show: EndDialog hides it.
            ::ShowWindow(dlg.m_hWnd, SW_SHOW);
            edit(dlg);
            ::SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            stayed += ::IsWindowVisible(dlg.m_hWnd) != FALSE;
            dlg.Command(IDCANCEL);
        }), IDCANCEL) << name;
        EXPECT_EQ(stayed, 1) << name;
        ASSERT_EQ(FakeMessageBoxes::shown.size(), 2u) << name;
        EXPECT_EQ(FakeMessageBoxes::shown[0].text, "Discard your changes to the picture library?");
        EXPECT_EQ(FakeMessageBoxes::shown[0].type & (MB_TYPEMASK | MB_DEFMASK), UINT(MB_YESNO | MB_DEFBUTTON2));
    }
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
}

TEST_F(SettingsDlgTest, OpeningReadsTheStoredSettingsAndCancelWritesNothing)
{
    ASSERT_TRUE(app.WriteProfileInt("Changer", "SlideShow", 7));
    g_settings.m_nSlideShow = 99;
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")});
    const std::string before = ReadWholeFile(LibraryPath());
    // Cancel, Escape and the close box.
    for (int way = 0; way < 3; ++way) {
        EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
            EXPECT_EQ(g_settings.m_nSlideShow, 7);
            TreeView_SelectItem(dlg.m_tree, dlg.Find("Lake"));
            dlg.Click(IDC_SET_NOW_PLAYING);
            if (way == 0)
                dlg.Click(IDCANCEL);
            else if (way == 1)
                ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
            else
                ::SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }), IDCANCEL) << way;
    }
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, kChanger), std::vector<std::string> {"SlideShow"});
    EXPECT_EQ(FakeMessageBoxes::Count("Discard your changes"), 3);
}

TEST_F(SettingsDlgTest, LibraryThatCannotBeWrittenIsToldWithRetryAsTheDefaultAndTheSettingsAreStillWritten)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")}, 0);
    const std::string before = ReadWholeFile(LibraryPath());
    ASSERT_TRUE(::SetFileAttributesA(LibraryPath().c_str(), FILE_ATTRIBUTE_READONLY));
    // A folder stands where the user's own library would go: no place takes the library.
    const std::string user = UserLibraryPath();
    const std::string folder = user.substr(0, user.find_last_of('\\'));
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(user.c_str(), nullptr));
    // The question as the user sees it: its default button, then the button pressed. Cancel
    // goes back to the edits (nothing written, the dialog not ended); Retry tries again; the
    // third answer closes without them and writes the settings.
    const std::vector<std::string> presses {"Cancel", "Retry", "Close without saving the playlists"};
    std::vector<std::string> defaults;
    size_t asked = 0;
    DialogAnswerer question("Murlavo", [&](HWND box) {
        const LRESULT id = ::SendMessageA(box, DM_GETDEFID, 0, 0);
        defaults.push_back(HIWORD(id) == DC_HASDEFID ? WindowText(::GetDlgItem(box, LOWORD(id))) : "");
        if (asked < presses.size())
            ::PostMessageA(ButtonWithText(box, presses[asked++]), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_DeleteItem(dlg.m_tree, dlg.Find("Lake"));
        dlg.Click(IDOK);
        EXPECT_EQ(asked, 1u);
        DWORD unwritten = 0;
        EXPECT_FALSE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "Interval", &unwritten));
        dlg.Click(IDOK);
    }), IDOK);
    EXPECT_EQ(asked, 3u);
    EXPECT_EQ(defaults, std::vector<std::string>(3, "Retry"));
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
    DWORD interval = 1;
    EXPECT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "Interval", &interval));
    ::RemoveDirectoryA(user.c_str());

    // With only the Windows directory's file refusing, the library goes to the user's own file.
    Open([&](CScriptedSettingsDlg& dlg) { dlg.Click(IDOK); });
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
    EXPECT_EQ(Paths(ReadBack(user)), "Lake* one.bmp");
}

TEST_F(SettingsDlgTest, ALibraryHeldOpenByAnotherProgramIsToldAndNeverReplaced)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")}, 0);
    const std::string before = ReadWholeFile(LibraryPath());
    {
        // Another program holds the file open and shares it with no one.
        CFileHandle held(::CreateFileA(LibraryPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
            EXPECT_EQ(dlg.Outline(), "Play Lists{}");
            dlg.m_settings.m_nInterval = 60;
            dlg.Click(IDOK);
        }), IDOK);
    }
    EXPECT_EQ(ReadWholeFile(LibraryPath()), before);
    EXPECT_FALSE(FileExists(LibraryPath() + ".bak"));
    DWORD interval = 0;
    EXPECT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "Interval", &interval));
    EXPECT_EQ(interval, 60u);
    // Told when the dialog opened, with the system's reason, and again at OK.
    ASSERT_EQ(FakeMessageBoxes::shown.size(), 2u);
    const std::string told = FakeMessageBoxes::shown[0].text;
    const std::string start = "The picture library " + LibraryPath() + " cannot be read: ";
    const std::string end = "; changes will not be saved";
    ASSERT_GT(told.size(), start.size() + end.size()) << told;
    EXPECT_EQ(told.substr(0, start.size()), start);
    EXPECT_EQ(told.substr(told.size() - end.size()), end);
    EXPECT_EQ(FakeMessageBoxes::Count("changes were not saved"), 1);
}

TEST_F(SettingsDlgTest, OpeningAndClosingLeavesNoHandleBehind)
{
    // Two kinds of icon: the pictures', and a folder's (a path that names a folder). The Now
    // Playing picture's playlist opens, so each opening fetches icons.
    const std::string folder = m_dir + "\\folder";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    std::vector<CWallpaperObject> records;
    for (int playlist = 0; playlist < 10; ++playlist) {
        records.push_back(Playlist("List " + std::to_string(playlist)));
        for (int i = 0; i < 50; ++i)
            records.push_back(playlist == 9 && i % 10 == 0 ? PictureRecord(folder) : Picture("p" + std::to_string(i) + ".bmp"));
    }
    WriteLibrary(records, 3);
    std::vector<HICON> icons;
    auto cycle = [&] {
        CScriptedSettingsDlg dlg;
        dlg.endAtInit = true;
        dlg.DoModal();
    };
    cycle(); // the shell's lists are made on first use
    const ResourceCounts before = CountResources();
    const long blocks = g_liveAllocations;
    for (int i = 0; i < 100; ++i)
        cycle();
    EXPECT_EQ(g_liveAllocations, blocks); // every record deleted with its item
    const ResourceCounts after = CountResources();
    EXPECT_LE(after.probedGdi, before.probedGdi + 2);
    EXPECT_LE(after.probedHandles, before.probedHandles + 2);
    EXPECT_EQ(after.modules, before.modules);

    // Two images beside the tree's own four, two icons, both destroyed at the end.
    Open([&](CScriptedSettingsDlg& dlg) {
        dlg.Outline(); // every label and image fetched
        EXPECT_EQ(ImageList_GetImageCount(dlg.m_imageList.Get()), 6);
        icons = dlg.m_arrIcons;
        dlg.Click(IDCANCEL);
    });
    ASSERT_EQ(icons.size(), 2u);
    for (HICON icon : icons) {
        ICONINFO info {};
        EXPECT_FALSE(::GetIconInfo(icon, &info));
    }
}

TEST_F(SettingsDlgTest, AboutOpensOnItsOwnAndChangesNothing)
{
    HWND aboutOwner = reinterpret_cast<HWND>(1);
    DialogAnswerer about("About Murlavo", [&](HWND dlg) {
        aboutOwner = ::GetWindow(dlg, GW_OWNER);
        ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        dlg.Click(IDC_SETTINGS_ABOUT);
        dlg.Click(IDCANCEL);
    }), IDCANCEL);
    EXPECT_EQ(about.Answered(), 1);
    EXPECT_EQ(aboutOwner, nullptr);
}

TEST_F(SettingsDlgTest, AnsiNotificationsAreNotReadAsWideOnes)
{
    WriteLibrary({Playlist("Lake"), Picture("one.bmp")});
    Open([&](CScriptedSettingsDlg& dlg) {
        HTREEITEM one = TreeView_GetChild(dlg.m_tree, dlg.Find("Lake"));
        ASSERT_NE(one, nullptr);
        // The tree was told to send the wide forms: an ANSI request for a picture's text gets no
        // UTF-16 in its byte buffer.
        char text[32];
        std::fill(std::begin(text), std::end(text), '#');
        NMTVDISPINFOA info {};
        info.hdr = {dlg.m_tree, IDC_LIBRARY_TREE, static_cast<UINT>(TVN_GETDISPINFOA)};
        info.item.mask = TVIF_TEXT | TVIF_IMAGE;
        info.item.hItem = one;
        info.item.lParam = reinterpret_cast<LPARAM>(dlg.RecordOf(one));
        info.item.pszText = text;
        info.item.cchTextMax = 32;
        info.item.iImage = -7;
        ::SendMessageA(dlg.m_hWnd, WM_NOTIFY, IDC_LIBRARY_TREE, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(text[0], '#');
        EXPECT_EQ(info.item.iImage, -7);
        // Nor does an ANSI drag notification start a drag.
        NMTREEVIEWA drag {};
        drag.hdr = {dlg.m_tree, IDC_LIBRARY_TREE, static_cast<UINT>(TVN_BEGINDRAGA)};
        drag.itemNew.hItem = one;
        drag.itemNew.lParam = info.item.lParam;
        ::SendMessageA(dlg.m_hWnd, WM_NOTIFY, IDC_LIBRARY_TREE, reinterpret_cast<LPARAM>(&drag));
        EXPECT_FALSE(dlg.m_bDragging);
        dlg.Click(IDCANCEL);
    });
}

namespace {

// The file system as an offline share makes it look: a question about a path on \\server\share
// waits until released, then fails as unreachable. Other paths are asked for real.
struct OfflineShare {
    static inline HANDLE release = nullptr;
    static inline std::atomic<int> asked {0};
    static DWORD WINAPI GetFileAttributes(LPCWSTR path)
    {
        if (_wcsnicmp(path, L"\\\\server\\share\\", 15) != 0)
            return ::GetFileAttributesW(path);
        ++asked;
        ::WaitForSingleObject(release, 60000);
        ::SetLastError(ERROR_BAD_NETPATH);
        return INVALID_FILE_ATTRIBUTES;
    }
    // The shell is not asked about pictures on a share that cannot be reached.
    static inline std::atomic<int> shellAsked {0};
    static DWORD_PTR WINAPI GetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags)
    {
        if (_wcsnicmp(path, L"\\\\server\\", 9) == 0)
            ++shellAsked;
        return ::SHGetFileInfoW(path, attributes, info, size, flags);
    }
};

class SettingsOfflineShareTest : public SettingsDlgTest {
protected:
    void SetUp() override
    {
        SettingsDlgTest::SetUp();
        m_release.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        OfflineShare::release = m_release.Get();
        OfflineShare::asked = OfflineShare::shellAsked = 0;
        CPictureLookup::s_pfnGetFileAttributes = OfflineShare::GetFileAttributes;
        CPictureLookup::s_pfnSHGetFileInfo = OfflineShare::GetFileInfo;
    }
    void TearDown() override
    {
        ::SetEvent(m_release.Get());
        CPictureLookup::s_pfnGetFileAttributes = ::GetFileAttributesW;
        CPictureLookup::s_pfnSHGetFileInfo = ::SHGetFileInfoW;
        SettingsDlgTest::TearDown();
    }
    // A local playlist, then 10,000 pictures on the share in 100 playlists; the first of them
    // is Now Playing, so its playlist opens with the dialog and its pictures are looked up.
    void WriteSharedLibrary()
    {
        std::vector<CWallpaperObject> records {Playlist("Local"), Picture("one.bmp")};
        for (int list = 0; list < 100; ++list) {
            records.push_back(Playlist("Share " + std::to_string(list)));
            for (int i = 0; i < 100; ++i)
                records.push_back(PictureRecord("\\\\server\\share\\p" + std::to_string(list * 100 + i) + ".bmp"));
        }
        WriteLibrary(records, 3);
    }
    // The item's label and image as they are now (the fixture's helpers wait for the answers).
    static std::pair<std::string, int> Shown(const CScriptedSettingsDlg& dlg, HTREEITEM item)
    {
        wchar_t text[300] = L"";
        TVITEMW data {};
        data.mask = TVIF_TEXT | TVIF_IMAGE;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = ARRAYSIZE(text);
        ::SendMessageW(dlg.m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        return {Utf8(data.pszText), data.iImage};
    }

    CKernelHandle m_release;
};

} // namespace

TEST_F(SettingsOfflineShareTest, TheDialogIsUpAtOnceAndThePicturesShowWhatTheShareAnswersOnceAsked)
{
    WriteSharedLibrary();
    const DWORD start = ::GetTickCount();
    DWORD upAfter = 0;
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        upAfter = ::GetTickCount() - start;
        HTREEITEM first = dlg.m_hNowPlaying;
        ASSERT_NE(first, nullptr);
        // The share is being asked; meanwhile the dialog answers another thread.
        EXPECT_TRUE(PumpUntil([] { return OfflineShare::asked > 0; }, 5000));
        std::atomic<bool> answered {false};
        std::thread asker([&] {
            DWORD_PTR count = 0;
            answered = ::SendMessageTimeoutA(dlg.m_tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)
                && count > 10000;
        });
        EXPECT_TRUE(PumpUntil([&] { return answered.load(); }, 5000));
        asker.join();
        // The picture shows its name and the neutral picture until the share answers.
        EXPECT_EQ(Shown(dlg, first), std::make_pair(std::string("p0.bmp"), int(CSettingsDlg::kPicturePage)));

        ::SetEvent(m_release.Get());
        EXPECT_TRUE(PumpUntil([&] { return Shown(dlg, first).second == CSettingsDlg::kMissingFile; }, 10000));
        EXPECT_EQ(Shown(dlg, first).first, "\\\\server\\share\\p0.bmp");
        EXPECT_EQ(dlg.NowPlayingImage(), CSettingsDlg::kMissingFile);
        EXPECT_EQ(dlg.NowPlayingLabel(), "\\\\server\\share\\p0.bmp");
        // The share was asked once; a local picture is looked up as usual.
        EXPECT_EQ(dlg.Image(TreeView_GetNextSibling(dlg.m_tree, first)), CSettingsDlg::kMissingFile);
        EXPECT_EQ(OfflineShare::asked, 1);
        EXPECT_EQ(OfflineShare::shellAsked, 0);
        EXPECT_GT(dlg.Image(dlg.Find("one.bmp")), CSettingsDlg::kMissingFile);
        dlg.Click(IDCANCEL);
    }), IDCANCEL);
    EXPECT_LT(upAfter, 1000u);
}

TEST_F(SettingsOfflineShareTest, ClosingWhileTheShareIsAskedDoesNotWaitForItAndLeavesNothingBehind)
{
    WriteSharedLibrary();
    {
        CScriptedSettingsDlg warmUp; // the shell's and COM's first use
        warmUp.script = [](CScriptedSettingsDlg& dlg) { dlg.Click(IDCANCEL); };
        ::SetEvent(m_release.Get());
        warmUp.DoModal();
        ::ResetEvent(m_release.Get());
        OfflineShare::asked = 0;
    }
    const ResourceCounts before = CountResources();
    DWORD closing = 0;
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_TRUE(PumpUntil([] { return OfflineShare::asked > 0; }, 5000));
        closing = ::GetTickCount();
        dlg.Click(IDCANCEL);
    }), IDCANCEL);
    EXPECT_LT(::GetTickCount() - closing, 2000u);
    // Once the share answers, the worker ends and takes everything of its own with it.
    ::SetEvent(m_release.Get());
    EXPECT_TRUE(PumpUntil([&] { return CountResources().probedHandles <= before.probedHandles + 2; }, 10000));
    EXPECT_LE(CountResources().probedGdi, before.probedGdi + 2);
}
