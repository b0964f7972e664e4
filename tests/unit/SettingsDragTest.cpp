// Moving pictures by drag and drop in the live Settings dialog under Wine: the drag starts with
// the tree's TVN_BEGINDRAG notification, follows the mouse messages the dialog receives while
// it holds the capture, and ends with the button's release or with the drag being cut short;
// the tree and the file written at OK show what moved.
#include "unit/SettingsDlgFixture.h"
#include "unit/WideFiles.h"

#include <algorithm>

using namespace testing_support;

namespace {

// The dialog's autoscroll timer.
constexpr UINT_PTR kAutoScrollTimer = 1;

// The cursor's show count of this thread, unchanged.
int CursorCount()
{
    ::ShowCursor(FALSE);
    return ::ShowCursor(TRUE);
}

class SettingsDragTest : public SettingsDlgTest {
protected:
    // The middle of an item's label, in the tree's client coordinates.
    static POINT TreePointOf(const CScriptedSettingsDlg& dlg, HTREEITEM item)
    {
        RECT label {};
        EXPECT_TRUE(TreeView_GetItemRect(dlg.m_tree, item, &label, TRUE));
        return {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    }
    static POINT DialogPoint(const CScriptedSettingsDlg& dlg, POINT tree)
    {
        ::MapWindowPoints(dlg.m_tree, dlg.m_hWnd, &tree, 1);
        return tree;
    }
    static POINT DialogPointOf(const CScriptedSettingsDlg& dlg, HTREEITEM item)
    {
        return DialogPoint(dlg, TreePointOf(dlg, item));
    }
    // What the tree sends when the user starts dragging the item.
    static void BeginDrag(const CScriptedSettingsDlg& dlg, HTREEITEM item)
    {
        NMTREEVIEWW info {};
        info.hdr.hwndFrom = dlg.m_tree;
        info.hdr.idFrom = IDC_LIBRARY_TREE;
        info.hdr.code = TVN_BEGINDRAGW;
        info.itemNew.mask = TVIF_HANDLE | TVIF_PARAM;
        info.itemNew.hItem = item;
        info.itemNew.lParam = reinterpret_cast<LPARAM>(dlg.RecordOf(item));
        info.ptDrag = TreePointOf(dlg, item);
        ::SendMessageA(dlg.m_hWnd, WM_NOTIFY, IDC_LIBRARY_TREE, reinterpret_cast<LPARAM>(&info));
    }
    static void MoveTo(const CScriptedSettingsDlg& dlg, POINT client)
    {
        ::SendMessageA(dlg.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    }
    static void Release(const CScriptedSettingsDlg& dlg, POINT client)
    {
        ::SendMessageA(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    }
    // A whole drag: the item is grabbed, carried to the point and let go there.
    static void DragTo(const CScriptedSettingsDlg& dlg, HTREEITEM item, POINT client)
    {
        BeginDrag(dlg, item);
        MoveTo(dlg, client);
        Release(dlg, client);
    }
    static void DragOnto(const CScriptedSettingsDlg& dlg, HTREEITEM item, HTREEITEM target)
    {
        DragTo(dlg, item, DialogPointOf(dlg, target));
    }
    static void ExpandAll(const CScriptedSettingsDlg& dlg)
    {
        TreeView_Expand(dlg.m_tree, dlg.m_hRootItem, TVE_EXPAND);
        for (HTREEITEM playlist : dlg.Children(dlg.m_hRootItem))
            TreeView_Expand(dlg.m_tree, playlist, TVE_EXPAND);
    }
    // Nothing of a drag is left: no drag state, capture, highlight or hidden cursor, and the
    // autoscroll timer is stopped.
    static void ExpectIdle(const CScriptedSettingsDlg& dlg, int cursorCount)
    {
        EXPECT_FALSE(dlg.m_bDragging);
        EXPECT_NE(::GetCapture(), dlg.m_hWnd);
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), nullptr);
        EXPECT_EQ(CursorCount(), cursorCount);
        EXPECT_FALSE(::KillTimer(dlg.m_hWnd, kAutoScrollTimer));
    }

    void WriteTwoPlaylists()
    {
        CWallpaperObject dog = Picture("dog.bmp", "1", 0); // tiled, no aspect: kept through moves
        WriteLibrary({Playlist("Animals"), dog, Picture("cat.bmp"), Picture("cow.bmp"), Playlist("Lake"),
            Picture("one.bmp"), Picture("two.bmp")});
    }
};

TEST_F(SettingsDragTest, APictureGoesFirstIntoAPlaylistOrRightAfterAPictureKeepingItsRecord)
{
    WriteTwoPlaylists();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        const int cursor = CursorCount();

        // Onto its own playlist: its first picture.
        BeginDrag(dlg, dlg.Find("cow.bmp"));
        EXPECT_TRUE(dlg.m_bDragging);
        EXPECT_EQ(::GetCapture(), dlg.m_hWnd);
        EXPECT_EQ(CursorCount(), cursor - 1);
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), nullptr);
        EXPECT_FALSE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        MoveTo(dlg, DialogPointOf(dlg, dlg.Find("Animals")));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), dlg.Find("Animals"));
        Release(dlg, DialogPointOf(dlg, dlg.Find("Animals")));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{cow.bmp dog.bmp cat.bmp} Lake{one.bmp two.bmp}}");
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), dlg.Find("cow.bmp"));
        EXPECT_TRUE(dlg.Enabled(IDC_SET_NOW_PLAYING));
        ExpectIdle(dlg, cursor);

        // Onto a picture of another playlist, then onto a picture further down its own.
        DragOnto(dlg, dlg.Find("dog.bmp"), dlg.Find("one.bmp"));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{cow.bmp cat.bmp} Lake{one.bmp dog.bmp two.bmp}}");
        DragOnto(dlg, dlg.Find("dog.bmp"), dlg.Find("two.bmp"));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{cow.bmp cat.bmp} Lake{one.bmp two.bmp dog.bmp}}");
        // The moved item shows the same image.
        EXPECT_EQ(dlg.Image(dlg.Find("dog.bmp")), dlg.Image(dlg.Find("one.bmp")));
        ExpectIdle(dlg, cursor);
        dlg.Click(IDOK);
    });
    const CWallpaperList records = ReadBack();
    EXPECT_EQ(Paths(records), "Animals cow.bmp cat.bmp Lake one.bmp two.bmp dog.bmp");
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[6]->m_strTile, "1");
    EXPECT_EQ(records[6]->m_bMaintainAspect, 0);
    EXPECT_NE(records[6]->m_bPicture, 0);
}

TEST_F(SettingsDragTest, DropsOnItselfOrNowhereAndDragsOfPlaylistsMoveNothingAndTheNextDragWorks)
{
    WriteTwoPlaylists();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        const std::string before = dlg.Outline();
        const int cursor = CursorCount();

        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("cat.bmp"));
        EXPECT_EQ(dlg.Outline(), before);
        EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), nullptr);
        ExpectIdle(dlg, cursor);

        // Over an item and then off the items: the highlight goes, and so does the drop.
        RECT client {};
        ::GetClientRect(dlg.m_tree, &client);
        const POINT nowhere = DialogPoint(dlg, {client.right / 2, client.bottom - 3});
        BeginDrag(dlg, dlg.Find("cat.bmp"));
        MoveTo(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), dlg.Find("Lake"));
        MoveTo(dlg, nowhere);
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), nullptr);
        Release(dlg, nowhere);
        EXPECT_EQ(dlg.Outline(), before);
        ExpectIdle(dlg, cursor);

        // The root is never the drop target.
        BeginDrag(dlg, dlg.Find("cat.bmp"));
        MoveTo(dlg, DialogPointOf(dlg, dlg.m_hRootItem));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), nullptr);
        Release(dlg, DialogPointOf(dlg, dlg.m_hRootItem));
        EXPECT_EQ(dlg.Outline(), before);

        // Playlists and the root do not move, and the selection stays.
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Lake"));
        for (HTREEITEM item : {dlg.Find("Animals"), dlg.m_hRootItem}) {
            BeginDrag(dlg, item);
            EXPECT_FALSE(dlg.m_bDragging) << dlg.Label(item);
            EXPECT_EQ(CursorCount(), cursor);
            EXPECT_EQ(TreeView_GetSelection(dlg.m_tree), dlg.Find("Lake"));
            MoveTo(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
            EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), nullptr);
            Release(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
            EXPECT_EQ(dlg.Outline(), before);
        }

        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Lake"));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{dog.bmp cow.bmp} Lake{cat.bmp one.bmp two.bmp}}");
        ExpectIdle(dlg, cursor);
        dlg.Click(IDOK);
    });
    EXPECT_EQ(Paths(ReadBack()), "Animals dog.bmp cow.bmp Lake cat.bmp one.bmp two.bmp");
}

TEST_F(SettingsDragTest, TheNowPlayingPictureStaysNowPlayingWhenMoved)
{
    WriteLibrary({Playlist("Animals"), Picture("dog.bmp"), Picture("cat.bmp"), Playlist("Lake"), Picture("one.bmp")}, 2);
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Lake"));
        HTREEITEM moved = dlg.Find("cat.bmp");
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{dog.bmp} Lake{cat.bmp one.bmp}}");
        EXPECT_EQ(dlg.m_hNowPlaying, moved);
        EXPECT_EQ(dlg.NowPlayingRows(), 1);
        EXPECT_EQ(dlg.NowPlayingLabel(), "cat.bmp");
        EXPECT_EQ(dlg.NowPlayingImage(), dlg.Image(moved));
        // Another picture moved leaves the mark where it is.
        DragOnto(dlg, dlg.Find("dog.bmp"), dlg.Find("one.bmp"));
        EXPECT_EQ(dlg.m_hNowPlaying, moved);
        EXPECT_EQ(dlg.NowPlayingLabel(), "cat.bmp");
        dlg.Click(IDOK);
    });
    EXPECT_EQ(Paths(ReadBack()), "Animals Lake cat.bmp* one.bmp dog.bmp");
}

// A playlist long enough for the tree to need its vertical scroll bar.
class SettingsAutoScrollTest : public SettingsDragTest {
protected:
    void WriteLongPlaylist()
    {
        std::vector<CWallpaperObject> records {Playlist("Lake")};
        for (int i = 1; i <= 30; ++i) {
            char name[16];
            snprintf(name, sizeof name, "%02d.bmp", i);
            records.push_back(Picture(name));
        }
        WriteLibrary(records);
    }
    // Points on the screen at the tree's horizontal middle: just inside its top and bottom
    // edges, and in the middle.
    static POINT TopZone(const CScriptedSettingsDlg& dlg) { return ScreenPoint(dlg, 0); }
    static POINT BottomZone(const CScriptedSettingsDlg& dlg) { return ScreenPoint(dlg, 2); }
    static POINT Middle(const CScriptedSettingsDlg& dlg) { return ScreenPoint(dlg, 1); }
    static POINT ScreenPoint(const CScriptedSettingsDlg& dlg, int where)
    {
        RECT r {};
        ::GetWindowRect(dlg.m_tree, &r);
        const LONG y = where == 0 ? r.top + 2 : where == 2 ? r.bottom - 3 : (r.top + r.bottom) / 2;
        return {(r.left + r.right) / 2, y};
    }
};

TEST_F(SettingsAutoScrollTest, StepsNearAnEdgeMoveTheHighlightOneVisibleItemButNeverOntoTheRoot)
{
    WriteLongPlaylist();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        ASSERT_TRUE(::GetWindowLongA(dlg.m_tree, GWL_STYLE) & WS_VSCROLL);
        HTREEITEM lake = dlg.Find("Lake");
        const std::vector<HTREEITEM> pictures = dlg.Children(lake);
        TreeView_Select(dlg.m_tree, pictures[9], TVGN_FIRSTVISIBLE);
        TreeView_SelectDropTarget(dlg.m_tree, pictures[9]);

        // A fast move into the zone does not scroll; resting there does, one item a step, and
        // the items come into view.
        dlg.AutoScrollDrag(Middle(dlg));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[9]);
        dlg.AutoScrollDrag(TopZone(dlg));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[9]);
        for (int i = 8; i >= 0; --i) {
            dlg.AutoScrollDrag(TopZone(dlg));
            ASSERT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[i]) << i;
            EXPECT_EQ(TreeView_GetFirstVisible(dlg.m_tree), pictures[i]) << i;
        }
        // A point outside the tree is no step and is not remembered: the next step near the
        // edge still counts as resting.
        POINT above = TopZone(dlg);
        above.y -= 10;
        dlg.AutoScrollDrag(above);
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[0]);
        dlg.AutoScrollDrag(TopZone(dlg));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), lake);
        for (int i = 0; i < 3; ++i) {
            dlg.AutoScrollDrag(TopZone(dlg));
            EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), lake);
        }

        // The bottom edge goes the other way.
        dlg.AutoScrollDrag(BottomZone(dlg)); // from the top edge: too fast
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), lake);
        dlg.AutoScrollDrag(BottomZone(dlg));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[0]);
        // Resting in the middle scrolls nothing.
        dlg.AutoScrollDrag(Middle(dlg));
        dlg.AutoScrollDrag(Middle(dlg));
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), pictures[0]);
        TreeView_SelectDropTarget(dlg.m_tree, nullptr);
        dlg.Click(IDCANCEL);
    });
}

TEST_F(SettingsAutoScrollTest, WithoutAScrollBarTheEdgesDoNothing)
{
    WriteTwoPlaylists();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        ASSERT_FALSE(::GetWindowLongA(dlg.m_tree, GWL_STYLE) & WS_VSCROLL);
        TreeView_SelectDropTarget(dlg.m_tree, dlg.Find("two.bmp"));
        for (POINT p : {TopZone(dlg), TopZone(dlg), BottomZone(dlg), BottomZone(dlg)}) {
            dlg.AutoScrollDrag(p);
            EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), dlg.Find("two.bmp"));
        }
        TreeView_SelectDropTarget(dlg.m_tree, nullptr);
        dlg.Click(IDCANCEL);
    });
}

TEST_F(SettingsAutoScrollTest, ACursorRestingInTheTopZoneDuringADragScrollsOneItemPerTimerTick)
{
    WriteLongPlaylist();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        HTREEITEM lake = dlg.Find("Lake");
        const std::vector<HTREEITEM> pictures = dlg.Children(lake);
        TreeView_Select(dlg.m_tree, pictures[5], TVGN_FIRSTVISIBLE);
        const POINT top = TopZone(dlg);
        ASSERT_TRUE(::SetCursorPos(top.x, top.y));
        HandlePostedMessages(); // the pointer's own moves reach the tree before the drag
        POINT at {};
        ::GetCursorPos(&at);
        ASSERT_EQ(at.x, top.x);
        ASSERT_EQ(at.y, top.y);

        // The tree sends no click for a press that becomes a drag: the drag alone starts it.
        BeginDrag(dlg, pictures[5]);
        TreeView_SelectDropTarget(dlg.m_tree, pictures[5]);
        // Every highlight the ticks show, in order, and when each came.
        std::vector<HTREEITEM> seen {pictures[5]};
        std::vector<DWORD> when {::GetTickCount()};
        EXPECT_TRUE(PumpUntil([&] {
            HTREEITEM now = TreeView_GetDropHilight(dlg.m_tree);
            if (now != seen.back()) {
                seen.push_back(now);
                when.push_back(::GetTickCount());
            }
            return now == lake;
        }, 10000));
        // The shared pointer can be moved under a test running beside this one, and a mouse
        // move puts the highlight under it: what counts is the steady climb at the end.
        const std::vector<HTREEITEM> climb {pictures[5], pictures[4], pictures[3], pictures[2], pictures[1],
            pictures[0], lake};
        ASSERT_GE(seen.size(), climb.size());
        const size_t first = seen.size() - climb.size();
        EXPECT_EQ(std::vector<HTREEITEM>(seen.begin() + first, seen.end()), climb);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), dlg.m_hRootItem), 0);
        // Six steps of 200 ms, the first of which may come at once.
        EXPECT_GE(when.back() - when[first], 900u);
        // Nothing is above the playlist but the root.
        PumpUntil([] { return false; }, 500);
        EXPECT_EQ(TreeView_GetDropHilight(dlg.m_tree), lake);

        // Let go on the playlist: the picture is its first, and the timer stops.
        const int cursor = CursorCount();
        POINT client = top;
        ::ScreenToClient(dlg.m_hWnd, &client);
        Release(dlg, client);
        EXPECT_EQ(dlg.Label(dlg.Children(lake).front()), "06.bmp");
        EXPECT_EQ(dlg.Children(lake).size(), 30u);
        ExpectIdle(dlg, cursor + 1);
        dlg.Click(IDCANCEL);
    });
}

// The tree refuses every new item while set: the moved picture's insertion fails.
bool g_refuseInsertion = false;
WNDPROC g_treeProc = nullptr;
LRESULT CALLBACK RefusingTreeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (g_refuseInsertion && (msg == TVM_INSERTITEMA || msg == TVM_INSERTITEMW))
        return 0;
    return ::CallWindowProcA(g_treeProc, hwnd, msg, wParam, lParam);
}

TEST_F(SettingsDragTest, AFailedInsertionLeavesThePictureWhereItWas)
{
    WriteLibrary({Playlist("Animals"), Picture("dog.bmp", "1", 0), Picture("cat.bmp"), Playlist("Lake"),
        Picture("one.bmp")}, 1);
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        const std::string before = dlg.Outline();
        const int cursor = CursorCount();
        g_treeProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(dlg.m_tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingTreeProc)));
        g_refuseInsertion = true;
        HTREEITEM dog = dlg.Find("dog.bmp");
        DragOnto(dlg, dog, dlg.Find("one.bmp"));
        g_refuseInsertion = false;
        ::SetWindowLongPtrA(dlg.m_tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_treeProc));

        // The old item and its record are still there, still Now Playing.
        EXPECT_EQ(dlg.Outline(), before);
        EXPECT_EQ(dlg.Find("dog.bmp"), dog);
        ASSERT_NE(dlg.RecordOf(dog), nullptr);
        EXPECT_EQ(dlg.RecordOf(dog)->m_strTile, "1");
        EXPECT_EQ(dlg.m_hNowPlaying, dog);
        EXPECT_EQ(dlg.NowPlayingLabel(), "dog.bmp");
        ExpectIdle(dlg, cursor);

        // And it moves once the tree takes new items again.
        DragOnto(dlg, dog, dlg.Find("one.bmp"));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{cat.bmp} Lake{one.bmp dog.bmp}}");
        dlg.Click(IDOK);
    });
    const CWallpaperList records = ReadBack();
    EXPECT_EQ(Paths(records), "Animals cat.bmp Lake one.bmp dog.bmp*");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[4]->m_strTile, "1");
    EXPECT_EQ(records[4]->m_bMaintainAspect, 0);
}

TEST_F(SettingsDragTest, ADragCutShortByEscapeOrACaptureTakenMovesNothingAndShowsTheCursorOnce)
{
    WriteTwoPlaylists();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        const std::string before = dlg.Outline();
        const int cursor = CursorCount();
        // Shown now, so that an ending that closed the dialog would hide it.
        ::ShowWindow(dlg.m_hWnd, SW_SHOW);
        HWND other = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(other, nullptr);
        const std::vector<std::pair<const char*, std::function<void()>>> endings {
            {"Escape", [&] { dlg.Command(IDCANCEL); }},
            {"WM_CANCELMODE", [&] { ::SendMessageA(dlg.m_hWnd, WM_CANCELMODE, 0, 0); }},
            {"capture taken", [&] { ::SetCapture(other); }},
        };
        for (const auto& [name, end] : endings) {
            BeginDrag(dlg, dlg.Find("cat.bmp"));
            MoveTo(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
            ASSERT_TRUE(dlg.m_bDragging) << name;
            end();
            EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd)) << name;
            ExpectIdle(dlg, cursor);
            if (::GetCapture() == other)
                ::ReleaseCapture();
            // A release after the end moves nothing.
            Release(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
            EXPECT_EQ(dlg.Outline(), before) << name;
            EXPECT_EQ(CursorCount(), cursor) << name;
        }
        ::DestroyWindow(other);
        // The next drag works.
        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Lake"));
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{dog.bmp cow.bmp} Lake{cat.bmp one.bmp two.bmp}}");
        dlg.Click(IDCANCEL);
    });
}

TEST_F(SettingsDragTest, ClosingTheDialogDuringADragEndsItAndOkWritesTheUnmovedLibrary)
{
    WriteTwoPlaylists();
    const int cursor = CursorCount();
    EXPECT_EQ(Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        BeginDrag(dlg, dlg.Find("cat.bmp"));
        MoveTo(dlg, DialogPointOf(dlg, dlg.Find("Lake")));
        dlg.Command(IDOK);
    }), IDOK);
    EXPECT_EQ(CursorCount(), cursor);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(Paths(ReadBack()), "Animals dog.bmp cat.bmp cow.bmp Lake one.bmp two.bmp");
}

TEST_F(SettingsDragTest, RepeatedDragsLeakNoGdiObjects)
{
    WriteTwoPlaylists();
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        // Warm up: the first drag creates what the control keeps for good.
        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Lake"));
        DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Animals"));
        const int gdi = CountResources().probedGdi;
        for (int i = 0; i < 10; ++i) {
            DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("two.bmp"));
            DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("cat.bmp"));
            BeginDrag(dlg, dlg.Find("cat.bmp"));
            dlg.Command(IDCANCEL);
            DragOnto(dlg, dlg.Find("cat.bmp"), dlg.Find("Animals"));
        }
        EXPECT_EQ(CountResources().probedGdi, gdi);
        EXPECT_EQ(dlg.Outline(), "Play Lists{Animals{cat.bmp dog.bmp cow.bmp} Lake{one.bmp two.bmp}}");
        dlg.Click(IDCANCEL);
    });
}

} // namespace

TEST_F(SettingsDragTest, AMovedPictureKeepsItsLabelInAnyScriptAndAMissingOnesWholeLongPath)
{
    const std::string folder = MakeNamedPictures(m_dir);
    ASSERT_FALSE(folder.empty());
    const std::string sunset = folder + "\\" + kSunset;
    // Missing, so its label is its path, longer than the classic 260 characters.
    std::string gone = m_dir;
    for (int i = 0; i < 3; ++i)
        gone += "\\" + std::string(100, 'x');
    gone += "\\消えた 🌙.jpg";
    WriteLibrary({Playlist(kCyrillicName), PictureRecord(sunset), PictureRecord(gone), Playlist("Lake"),
        Picture("one.bmp")});
    Open([&](CScriptedSettingsDlg& dlg) {
        ExpandAll(dlg);
        EXPECT_EQ(dlg.Image(dlg.Find(gone)), CSettingsDlg::kMissingFile);
        DragOnto(dlg, dlg.Find(kSunset), dlg.Find("Lake"));
        DragOnto(dlg, dlg.Find(gone), dlg.Find("one.bmp"));
        EXPECT_EQ(dlg.Outline(), std::string("Play Lists{Lake{") + kSunset + " one.bmp " + gone + "} " + kCyrillicName
                + "{}}");
        EXPECT_EQ(dlg.Image(dlg.Find(gone)), CSettingsDlg::kMissingFile);
        EXPECT_NE(dlg.Image(dlg.Find(kSunset)), CSettingsDlg::kMissingFile);
        dlg.Click(IDOK);
    });
    DeleteWideTree(folder);
    const CWallpaperList records = ReadBack();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[1]->m_strPath, sunset);
    EXPECT_EQ(records[3]->m_strPath, gone);
}
