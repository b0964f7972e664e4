#include "settings/SettingsDlg.h"

#include "app/ChangerApp.h"
#include "app/WindowNames.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/OptionsDlg.h"
#include "library/Settings.h"
#include "library/WallpaperObject.h"
#include "resource.h"

#include <windowsx.h>

CSettingsDlg::CSettingsDlg(HWND owner) : CSettingsDlg(owner, g_settings) {}

CSettingsDlg::CSettingsDlg(HWND owner, const CChangerSettings& settings) : CDialog(IDD_SETTINGS, owner), m_settings(settings)
{
    // The template names this class: other processes find the dialog by it.
    RegisterDialogClass(kSettingsClassName);
}

CSettingsDlg::~CSettingsDlg()
{
    // The icons normally go with the window; a dialog that never ran has none.
    for (HICON icon : m_arrIcons)
        ::DestroyIcon(icon);
}

BOOL CSettingsDlg::OnInitDialog()
{
    m_tree = GetDlgItem(IDC_LIBRARY_TREE);
    m_listNowPlaying = GetDlgItem(IDC_NOW_PLAYING);
    CDialog::OnInitDialog();
    CenterWindow();
    if (CreateImageList()) {
        TreeView_SetImageList(m_tree, m_imageList.Get(), TVSIL_NORMAL);
        ListView_SetImageList(m_listNowPlaying, m_imageList.Get(), LVSIL_SMALL);
    }
    OnSelectionChanged(nullptr);
    LoadPictureLibrary();
    return TRUE; // the focus goes to the first tab stop, OK
}

void CSettingsDlg::SetNowPlaying()
{
    m_hNowPlaying = TreeView_GetSelection(m_tree);
    if (!m_hNowPlaying) {
        ListView_DeleteAllItems(m_listNowPlaying);
        return;
    }
    char label[257] = "";
    TVITEMA item {};
    item.mask = TVIF_TEXT | TVIF_IMAGE;
    item.hItem = m_hNowPlaying;
    item.pszText = label;
    item.cchTextMax = sizeof label;
    TreeView_GetItem(m_tree, &item);
    // Folders take their image on request; ask the same rule the tree asks.
    const int image = RecordOf(m_hNowPlaying) && RecordOf(m_hNowPlaying)->m_bPicture ? item.iImage
                                                                                     : FolderImage(m_hNowPlaying);
    if (ListView_GetItemCount(m_listNowPlaying) > 0)
        ListView_DeleteItem(m_listNowPlaying, 0);
    LVITEMA row {};
    row.mask = LVIF_TEXT | LVIF_IMAGE;
    row.pszText = label;
    row.iImage = image;
    ListView_InsertItem(m_listNowPlaying, &row);
}

void CSettingsDlg::OnSelectionChanged(HTREEITEM selected)
{
    const CWallpaperObject* record = RecordOf(selected);
    // Pictures go into playlists only; any item but the root can be Now Playing.
    ::EnableWindow(GetDlgItem(IDC_ADD_PICTURE), record && !record->m_bPicture);
    ::EnableWindow(GetDlgItem(IDC_SET_NOW_PLAYING), record != nullptr);
}

void CSettingsDlg::OnOptions()
{
    COptionsDlg dlg;
    OptionsFromSettings(m_settings, dlg);
    // Only the dialog's copy changes; the opener applies and stores it after OK.
    if (dlg.DoModal() == IDOK)
        SettingsFromOptions(dlg, m_settings);
}

void CSettingsDlg::OnAbout()
{
    CAboutDlg dlg;
    dlg.DoModal();
}

void CSettingsDlg::OnOK()
{
    if (m_bDragging)
        CancelDrag();
    // A library that cannot be written keeps the old file. The edits are still in the tree:
    // the user decides whether to go back to them (and try again) or to close without them;
    // the settings are written either way.
    m_bLibrarySaved = SavePictureLibrary();
    if (!m_bLibrarySaved
        && ::MessageBoxA(m_hWnd,
               "Your playlists could not be saved: the library file could not be written (the disk "
               "may be full, or the file may be in use or read-only). The library stays as it was.\n\n"
               "Choose OK to close Settings without the playlist changes (the other settings are "
               "saved), or Cancel to go back to them and try again.",
               "Murlavo", MB_OKCANCEL | MB_ICONEXCLAMATION)
            == IDCANCEL)
        return;
    EndDialog(IDOK);
}

void CSettingsDlg::OnCancel()
{
    // Escape during a drag ends the drag, not the dialog.
    if (m_bDragging) {
        CancelDrag();
        return;
    }
    CDialog::OnCancel();
}

bool CSettingsDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_ADD_PLAYLIST:
        OnAddPlaylist();
        return true;
    case IDC_ADD_PICTURE:
        OnAddPictures();
        return true;
    case ID_LIBRARY_DELETE:
    case ID_LIBRARY_PREVIEW:
    case ID_LIBRARY_RENAME:
    case ID_LIBRARY_LOCATION:
    case ID_LIBRARY_CENTER:
    case ID_LIBRARY_TILE:
    case ID_LIBRARY_ASPECT:
        OnContextCommand(id);
        return true;
    case IDC_SET_NOW_PLAYING:
        SetNowPlaying();
        return true;
    case IDC_SETTINGS_OPTIONS:
        OnOptions();
        return true;
    case IDC_SETTINGS_ABOUT:
        OnAbout();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

LRESULT CSettingsDlg::OnNotify(NMHDR& header)
{
    if (header.hwndFrom != m_tree)
        return 0;
    // The tree speaks ANSI to this ANSI dialog; the fields read here lie in the same places in
    // the wide forms, so both are answered.
    switch (header.code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        OnSelectionChanged(reinterpret_cast<const NMTREEVIEWA&>(header).itemNew.hItem);
        return 0;
    case TVN_GETDISPINFOA:
    case TVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMTVDISPINFOA&>(header));
        return 0;
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
        OnDeleteItem(reinterpret_cast<const NMTREEVIEWA&>(header));
        return 0;
    case TVN_KEYDOWN:
        OnTreeKeyDown(reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey);
        return 0;
    case NM_RCLICK:
        OnContextMenu();
        return 0;
    // The label is text: only the ANSI forms, which this ANSI dialog is sent.
    case TVN_BEGINLABELEDITA:
        return OnBeginLabelEdit(reinterpret_cast<const NMTVDISPINFOA&>(header));
    case TVN_ENDLABELEDITA:
        return OnEndLabelEdit(reinterpret_cast<const NMTVDISPINFOA&>(header));
    case NM_CLICK:
        OnTreeClick();
        return 0;
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
        OnBeginDrag(reinterpret_cast<const NMTREEVIEWA&>(header));
        return 0;
    default:
        return 0;
    }
}

void CSettingsDlg::OnDestroy()
{
    for (HICON icon : m_arrIcons)
        ::DestroyIcon(icon);
    m_arrIcons.clear();
    m_sharedIcons.clear();
}

LRESULT CSettingsDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_LBUTTONUP:
        OnLButtonUp();
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_TIMER:
        OnTimer(wParam);
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a pop-up, a click elsewhere): the drag is over.
        if (m_bDragging && reinterpret_cast<HWND>(lParam) != m_hWnd)
            CancelDrag();
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_DESTROY: {
        if (m_bDragging)
            CancelDrag();
        const LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
        OnDestroy();
        return result;
    }
    default:
        return CDialog::WindowProc(msg, wParam, lParam);
    }
}
