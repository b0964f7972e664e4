// The Settings dialog's size, place and preview under Wine: resizing moves and grows its
// controls, its place is remembered (and brought back onto a screen), and the preview pane
// shows the selected picture's size without holding the dialog up.
#include "unit/SettingsDlgFixture.h"

#include "framework/Dpi.h"

#include <shlwapi.h>

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

// A control's rectangle in the dialog's client coordinates.
RECT ControlRect(const CScriptedSettingsDlg& dlg, int id)
{
    RECT rect {};
    ::GetWindowRect(dlg.GetDlgItem(id), &rect);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT ClientRect(HWND hwnd)
{
    RECT rect {};
    ::GetClientRect(hwnd, &rect);
    return rect;
}

RECT WindowRect(HWND hwnd)
{
    RECT rect {};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

std::string Text(HWND hwnd)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(hwnd, text, ARRAYSIZE(text));
    return Utf8(text);
}

// What the preview's line under the pane says for a picture of this size in this file.
std::string SizeLine(int width, int height, const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data {};
    EXPECT_TRUE(::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    wchar_t bytes[64] = L"";
    ::StrFormatByteSizeW(data.nFileSizeLow, bytes, ARRAYSIZE(bytes));
    return std::to_string(width) + " \u00D7 " + std::to_string(height) + " pixels, " + Utf8(bytes);
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
        && inner.bottom <= outer.bottom;
}

RECT WorkAreaOf(HWND hwnd)
{
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

} // namespace

TEST_F(SettingsDlgTest, ResizingGrowsTheTreeAndPaneAndKeepsTheButtonsInTheirCorners)
{
    Open([&](CScriptedSettingsDlg& dlg) {
        const LONG style = ::GetWindowLongW(dlg.m_hWnd, GWL_STYLE);
        EXPECT_TRUE(style & WS_THICKFRAME);
        EXPECT_TRUE(style & WS_MAXIMIZEBOX);
        const RECT window = WindowRect(dlg.m_hWnd), client = ClientRect(dlg.m_hWnd);
        const RECT tree = ControlRect(dlg, IDC_LIBRARY_TREE), list = ControlRect(dlg, IDC_NOW_PLAYING);
        const RECT ok = ControlRect(dlg, IDOK), cancel = ControlRect(dlg, IDCANCEL);
        const RECT set = ControlRect(dlg, IDC_SET_NOW_PLAYING), folder = ControlRect(dlg, IDC_ADD_FOLDER);
        const RECT pane = ControlRect(dlg, IDC_PREVIEW);

        // The template's size is the smallest the dialog can be made.
        MINMAXINFO limits {};
        ::SendMessageW(dlg.m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, window.right - window.left);
        EXPECT_EQ(limits.ptMinTrackSize.y, window.bottom - window.top);

        ::SetWindowPos(dlg.m_hWnd, nullptr, 0, 0, window.right - window.left + 200, window.bottom - window.top + 150,
            SWP_NOMOVE | SWP_NOZORDER);
        const RECT grown = ClientRect(dlg.m_hWnd);
        ASSERT_EQ(grown.right - client.right, 200);
        ASSERT_EQ(grown.bottom - client.bottom, 150);
        const RECT tree2 = ControlRect(dlg, IDC_LIBRARY_TREE), list2 = ControlRect(dlg, IDC_NOW_PLAYING);
        EXPECT_EQ(tree2.left, tree.left);
        EXPECT_EQ(tree2.top, tree.top);
        EXPECT_EQ(tree2.right - tree.right, 100); // half the new width
        EXPECT_EQ(tree2.bottom - tree.bottom, 150);
        EXPECT_EQ(list2.right - list.right, 100);
        EXPECT_EQ(list2.bottom, list.bottom);
        // OK and Cancel keep their distance to the bottom-right corner, the other buttons to
        // the right edge at their height.
        for (const auto& [id, before] : {std::pair<int, RECT>(IDOK, ok), {IDCANCEL, cancel}}) {
            const RECT after = ControlRect(dlg, id);
            EXPECT_EQ(grown.right - after.right, client.right - before.right) << id;
            EXPECT_EQ(grown.bottom - after.bottom, client.bottom - before.bottom) << id;
            EXPECT_EQ(after.right - after.left, before.right - before.left) << id;
        }
        for (const auto& [id, before] : {std::pair<int, RECT>(IDC_SET_NOW_PLAYING, set), {IDC_ADD_FOLDER, folder}}) {
            const RECT after = ControlRect(dlg, id);
            EXPECT_EQ(grown.right - after.right, client.right - before.right) << id;
            EXPECT_EQ(after.top, before.top) << id;
        }
        // The pane takes the other half of the width and all of the height, beside the tree.
        const RECT pane2 = ControlRect(dlg, IDC_PREVIEW);
        EXPECT_EQ((pane2.right - pane2.left) - (pane.right - pane.left), 100);
        EXPECT_EQ((pane2.bottom - pane2.top) - (pane.bottom - pane.top), 150);
        EXPECT_GT(pane2.left, tree2.right);

        // Maximised: the corners follow the monitor's work area.
        ::ShowWindow(dlg.m_hWnd, SW_MAXIMIZE);
        EXPECT_TRUE(::IsZoomed(dlg.m_hWnd));
        const RECT full = ClientRect(dlg.m_hWnd);
        const RECT ok3 = ControlRect(dlg, IDOK);
        EXPECT_EQ(full.right - ok3.right, client.right - ok.right);
        EXPECT_EQ(full.bottom - ok3.bottom, client.bottom - ok.bottom);
        EXPECT_GT(ControlRect(dlg, IDC_LIBRARY_TREE).bottom, tree2.bottom);
        dlg.Command(IDCANCEL);
    });
}

bool Equal(const RECT& a, const RECT& b)
{
    return ::EqualRect(&a, &b) != FALSE;
}

int IconWidth(HIMAGELIST list)
{
    int cx = 0, cy = 0;
    ::ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cx, cy);
    return cx;
}

TEST_F(SettingsDlgTest, AtAMonitorsNewScaleTheLayoutAndTheTreesImagesFollowAndComeBack)
{
    WriteLibrary({Playlist("Animals"), Picture("dog.bmp")}, 1);
    Open([&](CScriptedSettingsDlg& dlg) {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        TreeView_Expand(dlg.m_tree, dlg.Find("Animals"), TVE_EXPAND);
        // The picture's file icon sits in the list behind the tree's own images.
        const int fileIcon = dlg.Image(dlg.Find("dog.bmp"));
        ASSERT_GT(fileIcon, CSettingsDlg::kMissingFile);
        HIMAGELIST images = TreeView_GetImageList(dlg.m_tree, TVSIL_NORMAL);
        ASSERT_NE(images, nullptr);
        const int small = IconWidth(images);
        EXPECT_EQ(small, ::GetSystemMetrics(SM_CXSMICON));
        const int count = ::ImageList_GetImageCount(images);

        const UINT opened = dpi::DialogDpi(dlg.m_hWnd);
        const int ids[] = {IDOK, IDCANCEL, IDC_LIBRARY_TREE, IDC_NOW_PLAYING, IDC_SET_NOW_PLAYING, IDC_ADD_PLAYLIST,
            IDC_ADD_PICTURE, IDC_ADD_FOLDER, IDC_SETTINGS_OPTIONS, IDC_SETTINGS_ABOUT, IDC_PREVIEW, IDC_PREVIEW_INFO};
        std::vector<RECT> before;
        for (int id : ids)
            before.push_back(ControlRect(dlg, id));
        const RECT window = WindowRect(dlg.m_hWnd), client = ClientRect(dlg.m_hWnd);
        const LONG width = window.right - window.left, height = window.bottom - window.top;

        // Twice the scale: the dialog takes the rectangle the system suggests, twice its size.
        RECT suggested = {window.left - 30, window.top - 20, window.left - 30 + 2 * width, window.top - 20 + 2 * height};
        ::SendMessageW(dlg.m_hWnd, dpi::kMsgDpiChanged, MAKEWPARAM(2 * opened, 2 * opened),
            reinterpret_cast<LPARAM>(&suggested));
        EXPECT_TRUE(Equal(WindowRect(dlg.m_hWnd), suggested));
        MINMAXINFO limits {};
        ::SendMessageW(dlg.m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, 2 * width);
        EXPECT_EQ(limits.ptMinTrackSize.y, 2 * height);

        // Every control at twice its place, the growth beyond twice the client area (the frame
        // does not double here) given to the tree and the pane; each inside the dialog, the tree
        // and the pane side by side.
        const RECT large = ClientRect(dlg.m_hWnd);
        const LONG dx = large.right - 2 * client.right, dy = large.bottom - 2 * client.bottom;
        ASSERT_GE(dx, 0);
        ASSERT_GE(dy, 0);
        for (size_t i = 0; i < before.size(); ++i) {
            const RECT after = ControlRect(dlg, ids[i]);
            SCOPED_TRACE(ids[i]);
            EXPECT_TRUE(Inside(after, large));
            EXPECT_GE(after.right - after.left, 2 * (before[i].right - before[i].left));
            EXPECT_GE(after.bottom - after.top, 2 * (before[i].bottom - before[i].top));
        }
        const RECT ok = ControlRect(dlg, IDOK), tree = ControlRect(dlg, IDC_LIBRARY_TREE);
        EXPECT_EQ(large.right - ok.right, 2 * (client.right - before[0].right));
        EXPECT_EQ(large.bottom - ok.bottom, 2 * (client.bottom - before[0].bottom));
        EXPECT_EQ(tree.left, 2 * before[2].left);
        EXPECT_EQ(tree.top, 2 * before[2].top);
        EXPECT_EQ(tree.bottom, 2 * before[2].bottom + dy);
        EXPECT_LT(tree.right, ControlRect(dlg, IDC_PREVIEW).left);

        // The tree's and the list's images at the small-icon size of that scale, the file's
        // icon still at its place.
        HIMAGELIST scaled = TreeView_GetImageList(dlg.m_tree, TVSIL_NORMAL);
        EXPECT_EQ(IconWidth(scaled), dpi::SystemMetric(SM_CXSMICON, 2 * opened));
        EXPECT_EQ(IconWidth(scaled), 2 * small);
        EXPECT_EQ(ListView_GetImageList(dlg.m_listNowPlaying, LVSIL_SMALL), scaled);
        EXPECT_EQ(::ImageList_GetImageCount(scaled), count);
        EXPECT_EQ(dlg.Image(dlg.Find("dog.bmp")), fileIcon);

        // Back at the first scale and place: everything where it was.
        RECT back = window;
        ::SendMessageW(dlg.m_hWnd, dpi::kMsgDpiChanged, MAKEWPARAM(opened, opened), reinterpret_cast<LPARAM>(&back));
        EXPECT_TRUE(Equal(WindowRect(dlg.m_hWnd), window));
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_TRUE(Equal(ControlRect(dlg, ids[i]), before[i])) << ids[i];
        EXPECT_EQ(IconWidth(TreeView_GetImageList(dlg.m_tree, TVSIL_NORMAL)), small);
        EXPECT_EQ(::ImageList_GetImageCount(TreeView_GetImageList(dlg.m_tree, TVSIL_NORMAL)), count);
        dlg.Command(IDCANCEL);
    });
}

TEST_F(SettingsDlgTest, ItsPlaceAndSizeAndMaximisedStateAreRememberedForTheNextTime)
{
    RECT left {};
    Open([&](CScriptedSettingsDlg& dlg) {
        const RECT window = WindowRect(dlg.m_hWnd);
        const RECT work = WorkAreaOf(dlg.m_hWnd);
        ::SetWindowPos(dlg.m_hWnd, nullptr, work.left + 20, work.top + 30, window.right - window.left + 60,
            window.bottom - window.top + 40, SWP_NOZORDER);
        left = WindowRect(dlg.m_hWnd);
        dlg.Command(IDCANCEL);
    });
    std::string stored;
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Settings", "Placement", &stored));
    EXPECT_FALSE(stored.empty());

    RECT reopened {};
    Open([&](CScriptedSettingsDlg& dlg) {
        reopened = WindowRect(dlg.m_hWnd);
        EXPECT_FALSE(::IsZoomed(dlg.m_hWnd));
        ::ShowWindow(dlg.m_hWnd, SW_MAXIMIZE);
        dlg.Command(IDCANCEL);
    });
    EXPECT_TRUE(::EqualRect(&reopened, &left)) << reopened.left << "," << reopened.top << " " << reopened.right << ","
                                               << reopened.bottom;

    // Maximised it opens maximised, and its normal place is the one it had.
    Open([&](CScriptedSettingsDlg& dlg) {
        EXPECT_TRUE(::IsZoomed(dlg.m_hWnd));
        ::ShowWindow(dlg.m_hWnd, SW_RESTORE);
        const RECT restored = WindowRect(dlg.m_hWnd);
        EXPECT_TRUE(::EqualRect(&restored, &left));
        dlg.Command(IDCANCEL);
    });
}

TEST_F(SettingsDlgTest, APlaceOnAMonitorThatIsGoneOrUnreadableComesBackOnTheScreen)
{
    // A monitor far to the left that is no more; one larger than any screen; text that is no
    // place at all; a place on the screen but with the caption above the top.
    for (const char* stored : {"-30000,-30000,-29400,-29550,0", "10,10,40000,30000,0", "12,abc,3", "100,-500,700,-80,0",
             "1,2,3,4,5,6"}) {
        SCOPED_TRACE(stored);
        ASSERT_TRUE(app.WriteProfileString("Settings", "Placement", stored));
        Open([&](CScriptedSettingsDlg& dlg) {
            const RECT window = WindowRect(dlg.m_hWnd);
            EXPECT_TRUE(Inside(window, WorkAreaOf(dlg.m_hWnd)))
                << window.left << "," << window.top << " " << window.right << "," << window.bottom;
            MINMAXINFO limits {};
            ::SendMessageW(dlg.m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
            EXPECT_GE(window.right - window.left, limits.ptMinTrackSize.x);
            EXPECT_GE(window.bottom - window.top, limits.ptMinTrackSize.y);
            dlg.Command(IDCANCEL);
        });
    }
}

TEST_F(SettingsDlgTest, ThePreviewShowsTheSelectedPicturesSizeOrWhyItCannotBeShown)
{
    const std::string photo = m_dir + "\\photo.jpg", small = m_dir + "\\small.bmp";
    ASSERT_TRUE(WritePatternPicture(photo, 1600, 1200));
    ASSERT_TRUE(WritePatternPicture(small, 40, 30));
    const CWallpaperObject broken = Picture("broken.bmp"); // two bytes: no picture
    WriteLibrary({Playlist("Mixed"), PictureRecord(photo), PictureRecord(small), broken,
                     PictureRecord(m_dir + "\\gone.bmp")},
        1);
    Open([&](CScriptedSettingsDlg& dlg) {
        const std::vector<HTREEITEM> pictures = dlg.Children(dlg.Find("Mixed"));
        ASSERT_EQ(pictures.size(), 4u);
        HWND info = dlg.GetDlgItem(IDC_PREVIEW_INFO);
        // The Now Playing picture is selected as the dialog opens.
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        EXPECT_EQ(Text(info), SizeLine(1600, 1200, photo));
        EXPECT_EQ(dlg.PreviewMessage(), "");

        TreeView_SelectItem(dlg.m_tree, pictures[1]);
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        EXPECT_EQ(Text(info), SizeLine(40, 30, small));

        TreeView_SelectItem(dlg.m_tree, pictures[2]);
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        EXPECT_EQ(Text(info), "");
        EXPECT_NE(dlg.PreviewMessage(), "");

        TreeView_SelectItem(dlg.m_tree, pictures[3]);
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        EXPECT_EQ(dlg.PreviewMessage(), "The file is missing.");

        // A playlist has nothing to preview.
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Mixed"));
        EXPECT_EQ(Text(info), "");
        EXPECT_EQ(dlg.PreviewMessage(), "");
        dlg.Command(IDCANCEL);
    });
}

// A decode that waits until the test lets it go, as a large photo on a slow disk would.
struct HeldDecode {
    static inline HANDLE release = nullptr;
    static inline std::atomic<int> started {0};
    static inline std::atomic<int> finished {0};
    static bool Decode(const std::string& path, int cx, int cy, CPictureImage& picture, int& width, int& height,
        std::string& reason)
    {
        ++started;
        if (path.find("slow") != std::string::npos)
            ::WaitForSingleObject(release, 20000);
        const bool read = CPicturePreview::DecodeFitted(path, cx, cy, picture, width, height, reason);
        ++finished;
        return read;
    }
};

TEST_F(SettingsDlgTest, ASlowPictureDoesNotHoldTheDialogUpAndANewerSelectionWins)
{
    const std::string slow = m_dir + "\\slow.bmp", quick = m_dir + "\\quick.bmp";
    ASSERT_TRUE(WritePatternPicture(slow, 64, 48));
    ASSERT_TRUE(WritePatternPicture(quick, 32, 20));
    WriteLibrary({Playlist("Pictures"), PictureRecord(quick), PictureRecord(slow)}, 0);
    CKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HeldDecode::release = release.Get();
    HeldDecode::started = HeldDecode::finished = 0;
    CPicturePreview::s_pfnDecode = HeldDecode::Decode;
    Open([&](CScriptedSettingsDlg& dlg) {
        const std::vector<HTREEITEM> pictures = dlg.Children(dlg.Find("Pictures"));
        ASSERT_EQ(pictures.size(), 2u);
        TreeView_SelectItem(dlg.m_tree, pictures[1]);
        ASSERT_TRUE(PumpUntil([&] { return HeldDecode::started > 0; }, 10000));
        // Another thread's message is answered while the picture is being read.
        std::atomic<bool> answered {false}, finished {false};
        std::thread other([&] {
            DWORD_PTR result = 0;
            answered = ::SendMessageTimeoutW(dlg.m_hWnd, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
            finished = true;
        });
        EXPECT_TRUE(PumpUntil([&] { return finished.load(); }, 10000));
        other.join();
        EXPECT_TRUE(answered);
        EXPECT_TRUE(dlg.PreviewPending());

        // The user moves on before the slow picture is read: the newer one is shown.
        TreeView_SelectItem(dlg.m_tree, pictures[0]);
        ::SetEvent(release.Get());
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        EXPECT_EQ(Text(dlg.GetDlgItem(IDC_PREVIEW_INFO)), SizeLine(32, 20, quick));
        // The slow answer, once it is through, does not replace it.
        EXPECT_TRUE(PumpUntil([&] { return HeldDecode::finished >= 2; }, 10000));
        HandlePostedMessages();
        EXPECT_EQ(Text(dlg.GetDlgItem(IDC_PREVIEW_INFO)), SizeLine(32, 20, quick));
        dlg.Command(IDCANCEL);
    });
    ::SetEvent(release.Get());
    CPicturePreview::s_pfnDecode = CPicturePreview::DecodeFitted;
}
