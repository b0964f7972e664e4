// Editing the library in the Settings dialog: adding playlists and pictures, the tree's context
// menus and their commands, the Delete key, and renaming playlists in place. Every change goes to
// the tree and its records; nothing reaches the library file before OK.
#include "settings/SettingsDlg.h"

#include "dialogs/AddPlaylistDlg.h"
#include "dialogs/LocationDlg.h"
#include "framework/WideText.h"
#include "library/FolderRecord.h"
#include "library/WallpaperObject.h"
#include "resource.h"
#include "settings/FolderPicker.h"

#include <shellapi.h>

#include <memory>
#include <vector>

namespace {

// Room for the names the file-open dialog returns: there is room for some hundreds of files;
// when the chosen names do not fit, the system's dialog fails and the user is told.
constexpr DWORD kNamesBuffer = 32768;

BOOL TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    return ::TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

void OpenWithShell(HWND owner, const char* path)
{
    ::ShellExecuteW(owner, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

} // namespace

BOOL(WINAPI* CSettingsDlg::s_pfnGetOpenFileName)(OPENFILENAMEW*) = ::GetOpenFileNameW;
DWORD(WINAPI* CSettingsDlg::s_pfnCommDlgExtendedError)() = ::CommDlgExtendedError;
BOOL (*CSettingsDlg::s_pfnTrackPopupMenu)(HMENU, UINT, int, int, HWND) = TrackMenu;
void (*CSettingsDlg::s_pfnOpenFile)(HWND, const char*) = OpenWithShell;
bool (*CSettingsDlg::s_pfnPickFolder)(HWND, std::string&, bool&) = PickFolderWithShell;

void CSettingsDlg::OnAddPlaylist()
{
    // Owned by this dialog, which stays disabled underneath while it runs.
    CAddPlaylistDlg dlg(m_hWnd);
    if (dlg.DoModal() != IDOK)
        return;
    // An empty name is a name too. The selection stays where it is.
    if (InsertPlaylistItem(std::make_unique<CWallpaperObject>(dlg.m_strName, 0).release())) {
        TreeView_Expand(m_tree, m_hRootItem, TVE_EXPAND);
        m_bModified = true;
    }
}

void CSettingsDlg::OnAddPictures()
{
    HTREEITEM playlist = TreeView_GetSelection(m_tree);
    const CWallpaperObject* selected = RecordOf(playlist);
    if (!selected || selected->m_bPicture)
        return; // pictures go into playlists only (the button is disabled otherwise)

    const std::string titleText = LoadResourceString(IDS_ADD_PICTURES);
    const std::wstring title = Wide(titleText.empty() ? "Add Pictures to Playlist" : titleText);
    // Every kind the program reads, then each kind, then anything (a picture is read by its
    // content, so a file of another name loads too).
    static const wchar_t kFilter[] =
        L"All pictures\0*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif;*.png;*.gif;*.webp;*.tga;*.tif;*.tiff\0"
        L"Bitmap Files\0*.bmp\0"
        L"JPEG Files\0*.jpg;*.jpeg;*.jpe;*.jfif\0"
        L"PNG Files\0*.png\0"
        L"GIF Files\0*.gif\0"
        L"WebP Files\0*.webp\0"
        L"TGA Files\0*.tga\0"
        L"TIFF Files\0*.tif;*.tiff\0"
        L"All Files (*.*)\0*.*\0";
    std::vector<wchar_t> names(kNamesBuffer, L'\0');
    OPENFILENAMEW ofn {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = names.data();
    ofn.nMaxFile = kNamesBuffer;
    ofn.lpstrTitle = title.c_str();
    // The program's current folder stays where it was: a folder of pictures left current would
    // keep its drive (a USB stick) in use for as long as the program runs.
    ofn.Flags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER
        | OFN_NOCHANGEDIR;
    if (!s_pfnGetOpenFileName(&ofn)) {
        // Cancelled, or failed: a choice too long for the buffer is told, not dropped unseen.
        if (s_pfnCommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            Ask("Too many files were selected at once, and none of them was added. Please add them in smaller "
                "groups.",
                MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    names.back() = L'\0'; // whatever came back, it ends inside the buffer

    // One file: its full path. Several: the folder, then each name. The names are taken in
    // the dialog's own UTF-16 and become the library's UTF-8 only whole, so a character
    // outside the basic plane (two UTF-16 units) is never split.
    std::vector<std::wstring> parts;
    if (NewShell()) {
        // Each part ends with a zero character, the list with an empty part.
        for (const wchar_t* part = names.data(); *part && part < names.data() + names.size();
             part += parts.back().size() + 1)
            parts.emplace_back(part);
    } else {
        // The folder and the names separated by spaces.
        const std::wstring text = names.data();
        size_t start = 0;
        for (size_t space; (space = text.find(L' ', start)) != std::wstring::npos; start = space + 1)
            parts.push_back(text.substr(start, space - start));
        parts.push_back(text.substr(start));
    }
    if (parts.size() == 1) {
        m_bModified |= InsertPictureItem(playlist, std::make_unique<CWallpaperObject>(Utf8(parts[0]), 1).release(),
                           false)
            != nullptr;
    } else {
        for (size_t i = 1; i < parts.size(); ++i)
            m_bModified |= InsertPictureItem(playlist,
                               std::make_unique<CWallpaperObject>(Utf8(JoinPath(parts[0], parts[i])), 1).release(),
                               true)
                != nullptr;
    }
    TreeView_Expand(m_tree, playlist, TVE_EXPAND);
}

void CSettingsDlg::OnAddFolder()
{
    HTREEITEM playlist = TreeView_GetSelection(m_tree);
    const CWallpaperObject* selected = RecordOf(playlist);
    if (!selected || selected->m_bPicture)
        return; // folders go into playlists only (the button is disabled otherwise)
    std::string folder;
    bool withSubFolders = true;
    if (!s_pfnPickFolder(m_hWnd, folder, withSubFolders) || folder.empty())
        return;
    // A folder is a picture record with the options a picture is given; its count follows.
    m_bModified |= InsertPictureItem(playlist,
                       std::make_unique<CWallpaperObject>(FolderRecordPath(folder, withSubFolders), 1).release(), true)
        != nullptr;
    TreeView_Expand(m_tree, playlist, TVE_EXPAND);
}

void CSettingsDlg::OnTreeRightClick()
{
    POINT screen;
    ::GetCursorPos(&screen);
    TVHITTESTINFO hit {};
    hit.pt = screen;
    ::ScreenToClient(m_tree, &hit.pt);
    ShowContextMenu(TreeView_HitTest(m_tree, &hit), screen, TPM_RIGHTBUTTON);
}

void CSettingsDlg::OnTreeContextMenu(POINT screen)
{
    // A right click has had its menu (NM_RCLICK); this is the keyboard's request, (-1, -1).
    if (screen.x != -1 || screen.y != -1)
        return;
    // The Menu key also came as a key, whose menu has been shown.
    if (m_bKeyMenuShown) {
        m_bKeyMenuShown = false;
        return;
    }
    OnKeyboardContextMenu();
}

void CSettingsDlg::OnKeyboardContextMenu()
{
    // The selected item's menu, just below its label (the pointer may be anywhere).
    HTREEITEM item = TreeView_GetSelection(m_tree);
    RECT label {};
    if (!item)
        return;
    TreeView_EnsureVisible(m_tree, item);
    if (!TreeView_GetItemRect(m_tree, item, &label, TRUE))
        return;
    POINT screen = {label.left, label.bottom};
    ::ClientToScreen(m_tree, &screen);
    ShowContextMenu(item, screen, TPM_LEFTALIGN | TPM_TOPALIGN);
}

void CSettingsDlg::ShowContextMenu(HTREEITEM item, POINT screen, UINT flags)
{
    m_hContextItem = item;
    const CWallpaperObject* record = GetContextRecord();
    if (!record)
        return; // empty space, or the root

    CMenuHandle menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_LIBRARY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), record->m_bPicture ? 0 : 1) : nullptr;
    if (!popup)
        return;
    if (record->m_bPicture) {
        ::CheckMenuRadioItem(popup, ID_LIBRARY_CENTER, ID_LIBRARY_TILE,
            record->m_strTile == "0" ? ID_LIBRARY_CENTER : ID_LIBRARY_TILE, MF_BYCOMMAND);
        ::CheckMenuItem(popup, ID_LIBRARY_ASPECT, MF_BYCOMMAND | (record->m_bMaintainAspect ? MF_CHECKED : MF_UNCHECKED));
        // The look-up has told whether the file is there (asking now could wait for an offline
        // share): a picture known to be missing has nothing to preview.
        TVITEMW shown {};
        shown.mask = TVIF_IMAGE;
        shown.hItem = item;
        if (GetItem(shown) && shown.iImage == kMissingFile)
            ::EnableMenuItem(popup, ID_LIBRARY_PREVIEW, MF_BYCOMMAND | MF_GRAYED);
        // A folder previews its first picture, once one is found.
        if (FolderScopeOf(record->m_strPath) != FolderScope::none) {
            const auto folder = m_folders.find(record);
            if (folder == m_folders.end() || folder->second.count.first.empty())
                ::EnableMenuItem(popup, ID_LIBRARY_PREVIEW, MF_BYCOMMAND | MF_GRAYED);
        }
    }
    s_pfnTrackPopupMenu(popup, flags, screen.x, screen.y, m_hWnd);
}

void CSettingsDlg::OnContextCommand(int id)
{
    CWallpaperObject* record = GetContextRecord();
    if (!record)
        return;
    switch (id) {
    case ID_LIBRARY_DELETE:
        // A playlist goes with its pictures; each deletion deletes its record.
        TreeView_DeleteItem(m_tree, m_hContextItem);
        m_hContextItem = nullptr;
        m_bModified = true;
        return;
    case ID_LIBRARY_RENAME:
        TreeView_EditLabel(m_tree, m_hContextItem);
        return;
    default:
        break;
    }
    if (!record->m_bPicture)
        return;
    switch (id) {
    case ID_LIBRARY_PREVIEW:
        if (FolderScopeOf(record->m_strPath) == FolderScope::none) {
            s_pfnOpenFile(m_hWnd, record->m_strPath.c_str());
        } else {
            const auto folder = m_folders.find(record);
            if (folder != m_folders.end() && !folder->second.count.first.empty())
                s_pfnOpenFile(m_hWnd, folder->second.count.first.c_str());
        }
        break;
    case ID_LIBRARY_LOCATION: {
        // Owned by this dialog: the item cannot be deleted while its path is shown.
        CLocationDlg dlg(m_hWnd);
        dlg.m_strLocation = FolderOfRecord(record->m_strPath);
        dlg.m_strNote = LocationNote(m_hContextItem);
        dlg.DoModal();
        break;
    }
    case ID_LIBRARY_CENTER:
    case ID_LIBRARY_TILE: {
        const char* tile = id == ID_LIBRARY_CENTER ? "0" : "1";
        m_bModified |= record->m_strTile != tile;
        record->m_strTile = tile;
        break;
    }
    case ID_LIBRARY_ASPECT:
        record->m_bMaintainAspect = record->m_bMaintainAspect ? 0 : 1;
        m_bModified = true;
        break;
    default:
        break;
    }
}

void CSettingsDlg::OnTreeKeyDown(const NMTVKEYDOWN& key)
{
    // A new key press: a keyboard menu request that follows is its own.
    m_bKeyMenuShown = false;
    HTREEITEM selected = TreeView_GetSelection(m_tree);
    const CWallpaperObject* record = RecordOf(selected);
    switch (key.wVKey) {
    case VK_DELETE:
        if (record) {
            TreeView_DeleteItem(m_tree, selected);
            m_bModified = true;
        }
        break;
    case VK_F2:
        // Playlists are renamed in place (OnBeginLabelEdit refuses the rest).
        if (record && !record->m_bPicture)
            TreeView_EditLabel(m_tree, selected);
        break;
    case VK_F10:
        if (::GetKeyState(VK_SHIFT) >= 0)
            break;
        [[fallthrough]];
    case VK_APPS:
        // Set first: a WM_CONTEXTMENU of the same press may come while the menu is open.
        m_bKeyMenuShown = true;
        OnKeyboardContextMenu();
        break;
    default:
        break;
    }
}

LRESULT CSettingsDlg::OnBeginLabelEdit(const NMTVDISPINFOW& info)
{
    // Only playlists are renamed: the root's label is fixed, a picture's is its file's name.
    const CWallpaperObject* record = RecordOf(info.item.hItem);
    if (!record || record->m_bPicture)
        return TRUE;
    auto edit = std::make_unique<CLabelEdit>();
    if (edit->SubclassWindow(TreeView_GetEditControl(m_tree)))
        m_pLabelEdit = std::move(edit);
    return FALSE;
}

LRESULT CSettingsDlg::OnEndLabelEdit(const NMTVDISPINFOW& info)
{
    if (m_pLabelEdit) {
        m_pLabelEdit->UnsubclassWindow();
        m_pLabelEdit.reset();
    }
    // A text means the edit was kept (an empty one too); a cancelled edit changes nothing at
    // all. The label is set here, not left to the tree after this answer, so that the Now
    // Playing list below shows the new name. The playlist stays where it is: the tree is not
    // sorted again.
    CWallpaperObject* record = RecordOf(info.item.hItem);
    if (!info.item.pszText || !record)
        return FALSE;
    const std::string name = Utf8(info.item.pszText);
    m_bModified |= record->m_strPath != name;
    record->m_strPath = name;
    TVITEMW label {};
    label.mask = TVIF_TEXT;
    label.hItem = info.item.hItem;
    label.pszText = info.item.pszText;
    SetItem(label);
    // A kept name marks the selected item Now Playing (the list shows the new name).
    HTREEITEM before = m_hNowPlaying;
    SetNowPlaying();
    m_bModified |= m_hNowPlaying != before;
    return TRUE;
}
