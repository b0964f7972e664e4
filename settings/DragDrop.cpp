// Moving pictures by drag and drop in the Settings dialog's tree.
//
// A picture item dragged with the left button goes onto a playlist (it becomes the playlist's
// first picture) or onto a picture (it goes right after that picture, in that picture's
// playlist). During the drag the dialog holds the mouse capture, the cursor is hidden behind
// the tree's drag image, the item under the cursor carries the drop highlight (never the
// root), and the tree scrolls one item at a time while the cursor rests near its top or
// bottom edge.
#include "settings/SettingsDlg.h"

#include "library/WallpaperObject.h"

#include <cstdlib>

// The cursor on the screen at the start of the drag or at the last autoscroll step taken inside
// the tree: the autoscroll waits for the cursor to slow down against this point.
POINT g_ptLastCursor = {0, 0};

namespace {

// Runs for the length of a drag, from its start to its end (drop, Escape, the capture lost, the
// dialog closing); each tick is an autoscroll step.
constexpr UINT_PTR kAutoScrollTimer = 1;
constexpr UINT kAutoScrollPeriodMs = 200;
// A cursor that moved this far (horizontal plus vertical distance) since the previous step is
// moving fast: it does not scroll.
constexpr int kAutoScrollStillDistance = 20;

} // namespace

POINT CSettingsDlg::TreeWindowPoint(POINT screen) const
{
    RECT window {};
    ::GetWindowRect(m_tree, &window);
    return {screen.x - window.left, screen.y - window.top};
}

void CSettingsDlg::OnBeginDrag(const NMTREEVIEWW& info)
{
    if (m_bDragging)
        return;
    // Only pictures move; playlists and the root stay where they are.
    const CWallpaperObject* record = RecordOf(info.itemNew.hItem);
    if (!record || !record->m_bPicture)
        return;
    m_hDragItem = info.itemNew.hItem;

    // No caret item during the drag (which also disables "Add Picture" and "Set").
    TreeView_SelectItem(m_tree, nullptr);

    m_dragImage.Reset(TreeView_CreateDragImage(m_tree, m_hDragItem));
    RECT label {};
    TreeView_GetItemRect(m_tree, m_hDragItem, &label, TRUE);
    // The image keeps the place under the cursor where the label was grabbed.
    const POINT hotSpot = {info.ptDrag.x - label.left, info.ptDrag.y - label.top};
    if (m_dragImage && ::ImageList_BeginDrag(m_dragImage.Get(), 0, hotSpot.x, hotSpot.y)) {
        ::UpdateWindow(m_tree);
        POINT start = info.ptDrag;
        ::ClientToScreen(m_tree, &start);
        const POINT at = TreeWindowPoint(start);
        ::ImageList_DragEnter(m_tree, at.x, at.y);
    } else {
        // Some systems' trees give an image list without an image: the picture is moved all
        // the same, without an image under the cursor (the drag functions then do nothing).
        m_dragImage.Reset();
    }

    ::ShowCursor(FALSE);
    ::SetCapture(m_hWnd);
    m_bDragging = true;
    // The tree sends no click for a press that becomes a drag: the autoscroll starts here.
    ::GetCursorPos(&g_ptLastCursor);
    ::SetTimer(m_hWnd, kAutoScrollTimer, kAutoScrollPeriodMs, nullptr);
}

void CSettingsDlg::OnMouseMove(POINT client)
{
    if (!m_bDragging)
        return;
    POINT screen = client;
    ::ClientToScreen(m_hWnd, &screen);
    AutoScrollDrag(screen);

    const POINT at = TreeWindowPoint(screen);
    ::ImageList_DragMove(at.x, at.y);

    TVHITTESTINFO hit {};
    hit.pt = screen;
    ::ScreenToClient(m_tree, &hit.pt);
    HTREEITEM target = TreeView_HitTest(m_tree, &hit);
    if (target == m_hRootItem)
        target = nullptr;

    // The image is hidden while the tree repaints the highlight, or it would leave trails.
    ::ImageList_DragLeave(m_tree);
    if (target)
        TreeView_SelectDropTarget(m_tree, target);
    else
        ClearDropHighlight();
    ::ImageList_DragEnter(m_tree, at.x, at.y);
}

void CSettingsDlg::OnLButtonUp()
{
    ::KillTimer(m_hWnd, kAutoScrollTimer);
    if (!m_bDragging)
        return;
    HTREEITEM target = TreeView_GetDropHilight(m_tree);
    // The drop is decided; releasing the capture below must not read as the capture being
    // taken away, which cancels a drag.
    m_bDragging = false;
    EndDragFeedback();
    ClearDropHighlight();
    if (target && target != m_hDragItem)
        MoveDraggedPicture(target);
    m_hDragItem = nullptr;
}

void CSettingsDlg::MoveDraggedPicture(HTREEITEM target)
{
    HTREEITEM dragged = m_hDragItem;
    // The label is copied whole (a missing picture's is its full path, longer than a path
    // once was): the new item shows exactly what the old one did.
    std::wstring label = ItemText(dragged);
    TVINSERTSTRUCTW insert {};
    insert.item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.hItem = dragged;
    if (!GetItem(insert.item))
        return;
    insert.item.mask |= TVIF_TEXT;
    insert.item.pszText = &label[0];
    insert.item.hItem = nullptr;

    HTREEITEM parent = TreeView_GetParent(m_tree, target);
    if (parent == m_hRootItem) {
        // Onto a playlist: its first picture.
        insert.hParent = target;
        insert.hInsertAfter = TVI_FIRST;
    } else {
        // Onto a picture: right after it, in its playlist.
        insert.hParent = parent;
        insert.hInsertAfter = target;
    }
    // The new item first: if it cannot be made, the picture stays where it was.
    HTREEITEM moved = InsertItem(insert);
    if (!moved)
        return;

    const bool wasNowPlaying = dragged == m_hNowPlaying;
    // An outstanding look-up answers for the new item.
    for (auto& pending : m_pendingInfo)
        if (pending.second == dragged)
            pending.second = moved;
    // The record now belongs to the new item: while m_bDragging is set, deleting the old item
    // leaves its record alone (and the Now Playing item as it is, set again below).
    m_bDragging = true;
    TreeView_DeleteItem(m_tree, dragged);
    m_bDragging = false;
    // A folder's count goes on showing in the new item.
    const auto folder = m_folders.find(RecordOf(moved));
    if (folder != m_folders.end())
        folder->second.item = moved;
    m_bModified = true;

    TreeView_SelectItem(m_tree, moved);
    if (wasNowPlaying)
        SetNowPlaying();
}

void CSettingsDlg::OnTimer(UINT_PTR id)
{
    if (id != kAutoScrollTimer || !m_bDragging)
        return;
    POINT cursor {};
    if (::GetCursorPos(&cursor))
        AutoScrollDrag(cursor);
}

void CSettingsDlg::AutoScrollDrag(POINT screen)
{
    RECT tree {};
    ::GetWindowRect(m_tree, &tree);
    if (!::PtInRect(&tree, screen))
        return;
    if (::GetWindowLongA(m_tree, GWL_STYLE) & WS_VSCROLL) {
        const int moved = std::abs(screen.x - g_ptLastCursor.x) + std::abs(screen.y - g_ptLastCursor.y);
        // The edge zones are as high as the scroll bar's arrows.
        const int zone = ::GetSystemMetrics(SM_CYVSCROLL);
        HTREEITEM current = TreeView_GetDropHilight(m_tree);
        if (current && moved < kAutoScrollStillDistance) {
            HTREEITEM next = nullptr;
            if (screen.y < tree.top + zone)
                next = TreeView_GetPrevVisible(m_tree, current);
            else if (screen.y > tree.bottom - zone)
                next = TreeView_GetNextVisible(m_tree, current);
            if (next && next != m_hRootItem) {
                ::ImageList_DragLeave(m_tree);
                TreeView_SelectDropTarget(m_tree, nullptr);
                TreeView_EnsureVisible(m_tree, next);
                TreeView_SelectDropTarget(m_tree, next);
                const POINT at = TreeWindowPoint(screen);
                ::ImageList_DragEnter(m_tree, at.x, at.y);
            }
        }
    }
    g_ptLastCursor = screen;
}

void CSettingsDlg::ClearDropHighlight()
{
    if (!TreeView_GetDropHilight(m_tree))
        return;
    TreeView_SelectDropTarget(m_tree, nullptr);
    HTREEITEM stuck = TreeView_GetDropHilight(m_tree);
    if (!stuck)
        return;
    // Some trees (Wine's) take a request for "no drop target" as a request for the caret item
    // and ignore it while nothing is selected, as during a drag. With the highlighted item as
    // the caret for a moment the request is honoured; the empty selection then comes back.
    HTREEITEM selected = TreeView_GetSelection(m_tree);
    TreeView_SelectItem(m_tree, stuck);
    TreeView_SelectDropTarget(m_tree, nullptr);
    TreeView_SelectItem(m_tree, selected);
}

void CSettingsDlg::EndDragFeedback()
{
    // Once for the one hiding at the start: the show count returns where it was.
    ::ShowCursor(TRUE);
    // Only the dialog's own capture: a window that took it keeps it.
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    ::ImageList_DragLeave(m_tree);
    ::ImageList_EndDrag();
    m_dragImage.Reset();
}

void CSettingsDlg::CancelDrag()
{
    ::KillTimer(m_hWnd, kAutoScrollTimer);
    if (!m_bDragging)
        return;
    // Cleared first: releasing the capture comes back here through WM_CAPTURECHANGED.
    m_bDragging = false;
    EndDragFeedback();
    ClearDropHighlight();
    m_hDragItem = nullptr;
}
