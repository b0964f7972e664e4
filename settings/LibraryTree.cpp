// The library in the Settings dialog's tree: how the records of the library file become tree
// items, how the items look, how the tree is written back, and who deletes the records.
#include "settings/SettingsDlg.h"

#include "app/ChangerApp.h"
#include "framework/Dpi.h"
#include "framework/WideText.h"
#include "library/FolderRecord.h"
#include "library/Library.h"
#include "library/Settings.h"
#include "resource.h"

#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <new>

namespace {

// The playlist made for pictures that stand before any playlist in a file, so that they are
// shown and written back rather than lost.
const char kLeadingPicturesName[] = "Pictures";

} // namespace

bool CSettingsDlg::NewShell()
{
    const CChangerApp* app = dynamic_cast<CChangerApp*>(GetApp());
    return !app || app->m_bNewShell;
}

HTREEITEM CSettingsDlg::InsertItem(TVINSERTSTRUCTW& insert) const
{
    return reinterpret_cast<HTREEITEM>(::SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool CSettingsDlg::GetItem(TVITEMW& item) const
{
    return ::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool CSettingsDlg::SetItem(TVITEMW& item) const
{
    return ::SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::wstring CSettingsDlg::ItemText(HTREEITEM item) const
{
    // The tree tells no label's length: a label that fills the buffer is read again with more
    // room (a missing picture shows its full path, which may be thousands of characters).
    std::wstring text;
    for (size_t room = 512; item && room <= 65536; room *= 4) {
        text.assign(room, L'\0');
        TVITEMW data {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = &text[0];
        data.cchTextMax = static_cast<int>(room);
        if (!GetItem(data))
            return std::wstring();
        // The tree may answer with a pointer to its own copy instead of filling the buffer.
        if (data.pszText != text.data())
            return data.pszText && data.pszText != LPSTR_TEXTCALLBACKW ? std::wstring(data.pszText) : std::wstring();
        const size_t length = text.find(L'\0');
        if (length != std::wstring::npos && length + 1 < room) {
            text.resize(length);
            return text;
        }
    }
    const size_t length = text.find(L'\0');
    if (length != std::wstring::npos)
        text.resize(length);
    return text;
}

CWallpaperObject* CSettingsDlg::RecordOf(HTREEITEM item) const
{
    if (!item)
        return nullptr;
    TVITEMW data {};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!GetItem(data))
        return nullptr;
    return reinterpret_cast<CWallpaperObject*>(data.lParam);
}

namespace {

// The images of the tree's strip are drawn 16 pixels square.
constexpr int kStripImage = 16;

// The strip with each image at size x size: pixels repeated or dropped, never blended, so the
// magenta that keys the background out stays exactly magenta.
CBitmapHandle ScaledStrip(HBITMAP strip, int size)
{
    BITMAP info {};
    if (!::GetObjectW(strip, sizeof info, &info) || info.bmHeight <= 0)
        return CBitmapHandle();
    const int count = info.bmWidth / info.bmHeight;
    CClientDC screen(nullptr);
    CBitmapHandle scaled(::CreateCompatibleBitmap(screen.GetSafeHdc(), count * size, size));
    CMemoryDC from(screen.GetSafeHdc()), to(screen.GetSafeHdc());
    if (!scaled || !from.GetSafeHdc() || !to.GetSafeHdc())
        return CBitmapHandle();
    CSelectObject source(from.GetSafeHdc(), strip), target(to.GetSafeHdc(), scaled.Get());
    ::SetStretchBltMode(to.GetSafeHdc(), COLORONCOLOR);
    if (!::StretchBlt(to.GetSafeHdc(), 0, 0, count * size, size, from.GetSafeHdc(), 0, 0, count * info.bmHeight,
            info.bmHeight, SRCCOPY))
        return CBitmapHandle();
    return scaled;
}

} // namespace

bool CSettingsDlg::CreateImageList(UINT dpi, HIMAGELIST earlier)
{
    // 32-bit colour keeps the shell's icons as the shell draws them; the tree's own images
    // are keyed out by magenta. Their size is the small icons' on the dialog's monitor.
    const int size = std::max(dpi::SystemMetric(SM_CXSMICON, dpi), 1);
    CImageListHandle list(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 3));
    CBitmapHandle strip(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TREE), IMAGE_BITMAP, 0, 0, 0)));
    if (strip && size != kStripImage)
        strip = ScaledStrip(strip.Get(), size);
    if (!list || !strip || ::ImageList_AddMasked(list.Get(), strip.Get(), RGB(255, 0, 255)) < 0)
        return false;
    // The files' icons keep their places: the items hold their indexes.
    const int own = ::ImageList_GetImageCount(list.Get());
    const int count = earlier ? ::ImageList_GetImageCount(earlier) : 0;
    for (int i = own; i < count; ++i) {
        CIconHandle icon(::ImageList_GetIcon(earlier, i, ILD_NORMAL));
        if (::ImageList_ReplaceIcon(list.Get(), -1, icon.Get()) != i)
            return false;
    }
    m_imageList = std::move(list);
    return true;
}

void CSettingsDlg::LoadPictureLibrary()
{
    std::string rootName = LoadResourceString(IDS_PLAYLISTS);
    std::wstring rootLabel = Wide(rootName.empty() ? "Play Lists" : rootName);
    TVINSERTSTRUCTW root {};
    root.hParent = TVI_ROOT;
    root.hInsertAfter = TVI_LAST;
    root.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    root.item.pszText = &rootLabel[0];
    root.item.iImage = root.item.iSelectedImage = I_IMAGECALLBACK;
    m_hRootItem = InsertItem(root);
    if (!m_hRootItem)
        return;

    FillLibraryPath();
    CWallpaperList records;
    // A file that fails part-way gives what was read before the fault; one that exists but
    // cannot be opened gives nothing, is told when the dialog is up, and is never replaced.
    m_libraryRead = ReadLibraryForEditing(records);
    try {
        GroupLeadingPictures(records, kLeadingPicturesName);
    } catch (const std::bad_alloc&) {
        // Without their playlist the leading pictures cannot be shown; the rest still can.
    }
    const CWallpaperObject* nowPlaying = FindNowPlaying(records);

    HTREEITEM playlist = nullptr;
    for (auto& owned : records) {
        CWallpaperObject* record = owned.release(); // the item owns it from here on
        const bool marked = record == nowPlaying;
        HTREEITEM item = record->m_bPicture ? InsertPictureItem(playlist, record, false) : InsertPlaylistItem(record);
        if (!record->m_bPicture)
            playlist = item;
        if (marked && item)
            m_hNowPlaying = item;
    }
    if (m_hNowPlaying) {
        // Selecting shows the item (its playlist expands) and sets the buttons.
        TreeView_SelectItem(m_tree, m_hNowPlaying);
        SetNowPlaying();
    }
}

HTREEITEM CSettingsDlg::InsertPlaylistItem(CWallpaperObject* record)
{
    std::wstring label;
    try {
        label = Wide(record->m_strPath);
    } catch (const std::bad_alloc&) {
        delete record;
        return nullptr;
    }
    TVINSERTSTRUCTW insert {};
    insert.hParent = m_hRootItem;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = &label[0];
    insert.item.iImage = insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    HTREEITEM item = m_hRootItem ? InsertItem(insert) : nullptr;
    if (!item)
        delete record;
    return item;
}

HTREEITEM CSettingsDlg::InsertPictureItem(HTREEITEM parent, CWallpaperObject* record, bool sorted)
{
    if (!parent) {
        delete record;
        return nullptr;
    }
    TVINSERTSTRUCTW insert {};
    insert.hParent = parent;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    std::wstring label;
    if (sorted) {
        // The sorted place depends on the label: the provisional one, the file's name, which
        // is what the shell shows too, or near it.
        const bool folder = FolderScopeOf(record->m_strPath) != FolderScope::none;
        try {
            label = folder ? FolderLabel(*record) : Wide(ProvisionalLabel(record->m_strPath));
        } catch (const std::bad_alloc&) {
            delete record;
            return nullptr;
        }
        insert.hInsertAfter = TVI_SORT;
        insert.item.iImage = insert.item.iSelectedImage = folder ? kClosedFolder : kPicturePage;
        insert.item.pszText = &label[0];
    } else {
        // A library holds thousands of pictures: the label and the image are looked up when
        // the tree first needs them (OnGetDispInfo).
        insert.hInsertAfter = TVI_LAST;
        insert.item.iImage = insert.item.iSelectedImage = I_IMAGECALLBACK;
        insert.item.pszText = LPSTR_TEXTCALLBACKW;
    }
    HTREEITEM item = InsertItem(insert);
    if (!item) {
        delete record;
        return nullptr;
    }
    if (sorted)
        RequestPictureInfo(item, *record);
    return item;
}

std::string CSettingsDlg::ProvisionalLabel(const std::string& path)
{
    return NewShell() ? CPictureLookup::FileNameOf(path) : CPictureLookup::TitleOf(path);
}

void CSettingsDlg::ShowPictureItem(NMTVDISPINFOW& info, const CWallpaperObject& record)
{
    // Whether the file is there, its icon and its name can take the file system or the shell
    // long to tell (a share that is offline): the item shows its file's name and the neutral
    // picture until the look-up answers.
    // A folder shows its own name (its count follows).
    const bool folder = FolderScopeOf(record.m_strPath) != FolderScope::none;
    std::wstring label = folder ? FolderLabel(record) : Wide(ProvisionalLabel(record.m_strPath));
    const int image = folder ? kClosedFolder : kPicturePage;
    // The answer to this request first: the tree's buffer may move once the item is changed.
    if ((info.item.mask & TVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0)
        ::lstrcpynW(info.item.pszText, label.c_str(), info.item.cchTextMax);
    info.item.iImage = info.item.iSelectedImage = image;
    // Then the label and the image become the item's own, and the tree asks no more.
    TVITEMW fixed {};
    fixed.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    fixed.hItem = info.item.hItem;
    fixed.pszText = &label[0];
    fixed.iImage = fixed.iSelectedImage = image;
    SetItem(fixed);
    RequestPictureInfo(info.item.hItem, record);
}

void CSettingsDlg::RequestPictureInfo(HTREEITEM item, const CWallpaperObject& record)
{
    const uint64_t id = ++m_nLastLookup;
    try {
        m_pendingInfo[id] = item;
    } catch (const std::bad_alloc&) {
        return; // the item keeps the neutral picture
    }
    if (!m_lookup.Request(id, record.m_strPath, NewShell())) {
        m_pendingInfo.erase(id);
        return;
    }
    ::SetTimer(m_hWnd, kLookupTimer, USER_TIMER_MINIMUM, nullptr);
    if (FolderScopeOf(record.m_strPath) != FolderScope::none)
        StartFolderCount(item, record);
}

void CSettingsDlg::OnLookupTimer()
{
    ::KillTimer(m_hWnd, kLookupTimer);
    if (!m_lookup.Flush())
        m_pendingInfo.clear(); // no worker: the pictures keep the neutral picture
}

void CSettingsDlg::OnPictureInfoReady()
{
    for (CPictureLookup::Result& result : m_lookup.TakeResults())
        ApplyPictureInfo(result);
}

bool CSettingsDlg::WaitForPictureInfo(DWORD timeoutMs)
{
    if (!m_pendingInfo.empty() && m_lookup.WaitUntilIdle(timeoutMs))
        OnPictureInfoReady();
    return m_pendingInfo.empty();
}

void CSettingsDlg::ApplyPictureInfo(CPictureLookup::Result& result)
{
    // An item deleted meanwhile has no entry any more: its answer is dropped.
    const auto pending = m_pendingInfo.find(result.id);
    if (pending == m_pendingInfo.end())
        return;
    HTREEITEM item = pending->second;
    m_pendingInfo.erase(pending);

    // Why the picture cannot be shown is kept for the Location dialog and the preview.
    const CWallpaperObject* record = RecordOf(item);
    if (record) {
        try {
            if (result.reason.empty())
                m_reasons.erase(record);
            else
                m_reasons[record] = result.reason;
        } catch (const std::bad_alloc&) {
            // The item still shows the red cross.
        }
    }
    // The selected picture's preview waited for this answer.
    const bool selected = item == TreeView_GetSelection(m_tree);
    if (record && FolderScopeOf(record->m_strPath) != FolderScope::none) {
        // A folder shows its name and count (kept up by the counting), the red cross when it
        // is gone.
        std::wstring label = result.exists ? FolderLabel(*record) : Wide(FolderOfRecord(record->m_strPath));
        TVITEMW shown {};
        shown.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        shown.hItem = item;
        shown.pszText = &label[0];
        shown.iImage = shown.iSelectedImage = result.exists ? kClosedFolder : kMissingFile;
        SetItem(shown);
        if (item == m_hNowPlaying)
            ShowNowPlayingRow();
        if (selected)
            UpdatePreview();
        return;
    }

    int image = kMissingFile;
    if (result.exists) {
        image = kPicturePage;
        if (result.systemIcon >= 0) {
            // Files of one type show one icon: they share one image and one icon handle, so a
            // large library does not run out of the process's window-manager objects.
            if (result.icon && m_imageList && !m_sharedIcons.count(result.systemIcon)) {
                const int index = ::ImageList_ReplaceIcon(m_imageList.Get(), -1, result.icon.Get());
                if (index >= 0) {
                    m_arrIcons.push_back(result.icon.Release());
                    m_sharedIcons[result.systemIcon] = index;
                }
            }
            const auto shared = m_sharedIcons.find(result.systemIcon);
            if (shared != m_sharedIcons.end())
                image = shared->second;
        } else if (result.icon && m_imageList) {
            // Without the shell each picture has its own copy of its icon in the list.
            const int index = ::ImageList_ReplaceIcon(m_imageList.Get(), -1, result.icon.Get());
            if (index >= 0)
                image = index;
        }
    }
    std::wstring label = Wide(result.label);
    TVITEMW shown {};
    shown.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    shown.hItem = item;
    shown.pszText = &label[0];
    shown.iImage = shown.iSelectedImage = image;
    SetItem(shown);
    if (item == m_hNowPlaying)
        ShowNowPlayingRow();
    if (selected)
        UpdatePreview();
}

int CSettingsDlg::FolderImage(HTREEITEM item) const
{
    const bool expanded = (TreeView_GetItemState(m_tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    return expanded && TreeView_GetChild(m_tree, item) ? kOpenFolder : kClosedFolder;
}

void CSettingsDlg::OnGetDispInfo(NMTVDISPINFOW& info)
{
    const auto* record = reinterpret_cast<const CWallpaperObject*>(info.item.lParam);
    if (record && record->m_bPicture) {
        ShowPictureItem(info, *record);
        return;
    }
    // The root and the playlists: the folder opens while it shows its pictures.
    if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE))
        info.item.iImage = info.item.iSelectedImage = FolderImage(info.item.hItem);
}

void CSettingsDlg::OnDeleteItem(const NMTREEVIEWW& info)
{
    // The answer of an outstanding look-up finds no item (a moved picture's entry went to its
    // new item before).
    for (auto pending = m_pendingInfo.begin(); pending != m_pendingInfo.end(); ++pending)
        if (pending->second == info.itemOld.hItem) {
            m_pendingInfo.erase(pending);
            break;
        }
    // A picture being moved keeps its record: the moved item takes it over.
    if (m_bDragging)
        return;
    const auto* record = reinterpret_cast<const CWallpaperObject*>(info.itemOld.lParam);
    m_reasons.erase(record);
    const auto folder = m_folders.find(record);
    if (folder != m_folders.end()) {
        // A count still running is dropped when it answers.
        m_counting.erase(folder->second.count.id);
        m_folders.erase(folder);
    }
    delete record;
    if (info.itemOld.hItem == m_hNowPlaying) {
        ListView_DeleteItem(m_listNowPlaying, 0);
        m_hNowPlaying = nullptr;
    }
}

bool CSettingsDlg::SavePictureLibrary()
{
    // A library that cannot be written leaves the old file as it was.
    try {
        std::vector<CLibraryEntry> entries;
        for (HTREEITEM playlist = TreeView_GetChild(m_tree, m_hRootItem); playlist;
             playlist = TreeView_GetNextSibling(m_tree, playlist)) {
            entries.push_back({RecordOf(playlist), playlist == m_hNowPlaying});
            for (HTREEITEM picture = TreeView_GetChild(m_tree, playlist); picture;
                 picture = TreeView_GetNextSibling(m_tree, picture))
                entries.push_back({RecordOf(picture), picture == m_hNowPlaying});
        }
        return SavePictureLibraryFile(entries, m_settings.m_nScaleMethod, m_libraryRead, nullptr);
    } catch (const std::exception&) {
        return false;
    }
}
